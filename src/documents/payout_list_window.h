#pragma once

#include "documents/payout_list.h"
#include "ui/base_window.h"
#include "ui/list_window_frame.h"

class DataGrid;
class NullableDateEdit;
class QLabel;

// "支出管理" for one kind of payout (运输费, 工资, 日杂费, 汇款): the payouts
// with their count and sum, the date filter, and adding, editing and
// deleting them.
class PayoutListWindow : public BaseWindow {
    Q_OBJECT
public:
    PayoutListWindow(AppContext& context, int payoutKind, QWidget* parent = nullptr);

    PayoutList& list() { return m_list; }
    DataGrid* grid() const { return m_grid; }
    NullableDateEdit* fromDate() const { return m_frame->from(); }
    NullableDateEdit* toDate() const { return m_frame->to(); }
    QLabel* title() const { return m_frame->title(); }
    // "查询": the payouts of the From day to the To day, both included.
    void filterByDate();

private:
    void buildActions();
    // Runs the editor on the list (mode PayoutEditor::New or Existing).
    void runEditor(int mode);
    QVariantList selectedIds() const;
    // Reads the rows again and makes the payout with this id current (the
    // newest when it is gone or not given).
    void reread(const QVariant& id);
    // Makes the payout with this id current and selects it, when the grid
    // shows it; else the first row shown.
    void showRow(const QVariant& id);

    PayoutList m_list;
    DataGrid* m_grid;
    std::unique_ptr<ListWindowFrame> m_frame;
};
