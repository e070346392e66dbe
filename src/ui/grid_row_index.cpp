#include "ui/grid_row_index.h"

namespace {
int lowBit(int i) {
    return i & -i;
}
}  // namespace

void GridRowIndex::LiveCounter::reset(int n) {
    m_tree.assign(static_cast<size_t>(n) + 1, 0);
    for (int i = 1; i <= n; ++i) {
        m_tree[i] = lowBit(i);  // every position under node i is live
    }
    m_top = n > 0 ? 1 : 0;
    while (n > 0 && m_top * 2 <= n) {
        m_top *= 2;
    }
}

void GridRowIndex::LiveCounter::append() {
    const int i = static_cast<int>(m_tree.size());
    // Node i covers (i - lowBit(i), i]: the new position and the nodes that
    // already cover the rest of that range.
    int count = 1;
    for (int j = i - 1; j > i - lowBit(i); j -= lowBit(j)) {
        count += m_tree[j];
    }
    m_tree.push_back(count);
    if (m_top * 2 <= i) {
        m_top = m_top ? m_top * 2 : 1;
    }
}

void GridRowIndex::LiveCounter::kill(int position) {
    const int n = static_cast<int>(m_tree.size()) - 1;
    for (int i = position + 1; i <= n; i += lowBit(i)) {
        --m_tree[i];
    }
}

int GridRowIndex::LiveCounter::rank(int position) const {
    int count = 0;
    for (int i = position; i > 0; i -= lowBit(i)) {
        count += m_tree[i];
    }
    return count;
}

int GridRowIndex::LiveCounter::select(int k) const {
    const int n = static_cast<int>(m_tree.size()) - 1;
    int position = 0;
    int remaining = k + 1;
    for (int step = m_top; step > 0; step /= 2) {
        if (position + step <= n && m_tree[position + step] < remaining) {
            position += step;
            remaining -= m_tree[position];
        }
    }
    return position;  // the answer is node position + 1, 0-based: position
}

void GridRowIndex::assign(const QVector<int>& datasetRows, int datasetRowCount) {
    m_slotKey.assign(datasetRows.begin(), datasetRows.end());
    m_keySlot.assign(static_cast<size_t>(datasetRowCount), kHidden);
    for (size_t slot = 0; slot < m_slotKey.size(); ++slot) {
        m_keySlot[m_slotKey[slot]] = static_cast<int>(slot);
    }
    m_liveSlots.reset(static_cast<int>(m_slotKey.size()));
    m_liveKeys.reset(datasetRowCount);
    m_deadSlots = 0;
    m_deadKeys = 0;
}

int GridRowIndex::slotOfGridRow(int gridRow) const {
    return m_deadSlots == 0 ? gridRow : m_liveSlots.select(gridRow);
}

int GridRowIndex::keyOfDatasetRow(int datasetRow) const {
    return m_deadKeys == 0 ? datasetRow : m_liveKeys.select(datasetRow);
}

int GridRowIndex::datasetRow(int gridRow) const {
    if (gridRow < 0 || gridRow >= gridRowCount()) {
        return -1;
    }
    const int key = m_slotKey[slotOfGridRow(gridRow)];
    return m_deadKeys == 0 ? key : m_liveKeys.rank(key);
}

int GridRowIndex::gridRow(int datasetRow) const {
    if (datasetRow < 0 || datasetRow >= datasetRowCount()) {
        return -1;
    }
    const int slot = m_keySlot[keyOfDatasetRow(datasetRow)];
    if (slot < 0) {
        return -1;
    }
    return m_deadSlots == 0 ? slot : m_liveSlots.rank(slot);
}

QVector<int> GridRowIndex::datasetRows() const {
    // Today's dataset row of every key, in one pass.
    std::vector<int> rowOfKey(m_keySlot.size(), -1);
    int row = 0;
    for (size_t key = 0; key < m_keySlot.size(); ++key) {
        if (m_keySlot[key] != kGone) {
            rowOfKey[key] = row++;
        }
    }
    QVector<int> rows;
    rows.reserve(gridRowCount());
    for (int key : m_slotKey) {
        if (key != kGone) {
            rows.append(rowOfKey[key]);
        }
    }
    return rows;
}

void GridRowIndex::removeGridRow(int gridRow) {
    if (gridRow < 0 || gridRow >= gridRowCount()) {
        return;
    }
    const int slot = slotOfGridRow(gridRow);
    m_keySlot[m_slotKey[slot]] = kHidden;
    m_slotKey[slot] = kGone;
    m_liveSlots.kill(slot);
    ++m_deadSlots;
}

void GridRowIndex::removeDatasetRow(int datasetRow) {
    if (datasetRow < 0 || datasetRow >= datasetRowCount()) {
        return;
    }
    removeGridRow(gridRow(datasetRow));
    const int key = keyOfDatasetRow(datasetRow);
    m_keySlot[key] = kGone;
    m_liveKeys.kill(key);
    ++m_deadKeys;
}

void GridRowIndex::insertDatasetRow(int datasetRow) {
    if (datasetRow < 0 || datasetRow > datasetRowCount()) {
        return;
    }
    if (datasetRow < datasetRowCount()) {
        // Rows are only ever appended by the dataset; an insertion before
        // the end renumbers the rows after it and is rebuilt in one pass.
        QVector<int> rows = datasetRows();
        for (int& r : rows) {
            if (r >= datasetRow) {
                ++r;
            }
        }
        rows.append(datasetRow);
        assign(rows, datasetRowCount() + 1);
        return;
    }
    const int key = static_cast<int>(m_keySlot.size());
    const int slot = static_cast<int>(m_slotKey.size());
    m_keySlot.push_back(slot);
    m_slotKey.push_back(key);
    m_liveKeys.append();
    m_liveSlots.append();
}
