#pragma once

#include <QVector>
#include <vector>

// Which dataset row each grid row shows, and which grid row shows a dataset
// row, for grids over lists of 100,000 rows and more.
//
// Removing a dataset row renumbers every row after it, in the grid's order
// too, which is arbitrary once the grid is sorted or filtered. Rewriting both
// directions on every removal would make deleting k rows cost k passes over
// the list. Instead each row keeps the key it had when the index was last
// assigned (its dataset row then) and its grid slot; two counters of live
// keys and live slots turn a key into today's dataset row and a slot into
// today's grid row in O(log n). While nothing has been removed the answers
// are plain array reads. Assigning again (a filter, a sort, a reload)
// compacts the index.
class GridRowIndex {
public:
    // The grid shows `datasetRows` in this order, out of `datasetRowCount`.
    void assign(const QVector<int>& datasetRows, int datasetRowCount);

    int gridRowCount() const { return static_cast<int>(m_slotKey.size()) - m_deadSlots; }
    int datasetRowCount() const { return static_cast<int>(m_keySlot.size()) - m_deadKeys; }
    // The dataset row a grid row shows, or -1.
    int datasetRow(int gridRow) const;
    // The grid row showing a dataset row, or -1 when it is filtered out.
    int gridRow(int datasetRow) const;
    // The dataset rows in grid order.
    QVector<int> datasetRows() const;

    // The grid row is no longer shown; its dataset row stays.
    void removeGridRow(int gridRow);
    // The dataset row is gone (and its grid row, if it had one); the rows
    // after it move up by one.
    void removeDatasetRow(int datasetRow);
    // A dataset row was inserted at `datasetRow`; it shows as the last grid
    // row.
    void insertDatasetRow(int datasetRow);

private:
    // Counts the live positions among 0..n-1 (a Fenwick tree); positions
    // start live and can be appended or killed.
    class LiveCounter {
    public:
        void reset(int n);
        void append();
        void kill(int position);
        // Live positions before `position`.
        int rank(int position) const;
        // The position of the live one with rank `k`.
        int select(int k) const;

    private:
        std::vector<int> m_tree{0};  // 1-based
        int m_top = 0;               // the highest power of two <= size
    };

    int slotOfGridRow(int gridRow) const;
    int keyOfDatasetRow(int datasetRow) const;

    static constexpr int kHidden = -1;  // m_keySlot: the row is filtered out
    static constexpr int kGone = -2;    // m_keySlot: the row was removed

    std::vector<int> m_slotKey;  // grid slot -> key, kGone once removed
    std::vector<int> m_keySlot;  // key -> grid slot, kHidden or kGone
    LiveCounter m_liveSlots;
    LiveCounter m_liveKeys;
    int m_deadSlots = 0;
    int m_deadKeys = 0;
};
