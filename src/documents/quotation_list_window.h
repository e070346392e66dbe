#pragma once

#include "documents/document_windows.h"
#include "documents/quotation_list.h"
#include "ui/base_window.h"
#include "ui/list_window_frame.h"

class DataGrid;
class NullableDateEdit;
class QPushButton;

// The list of quotations with their amounts: the date filter, and the
// commands that add, copy, edit, delete, print and put quotations in or
// out of force, and open their receipts.
class QuotationListWindow : public BaseWindow {
    Q_OBJECT
public:
    explicit QuotationListWindow(AppContext& context, QWidget* parent = nullptr);

    QuotationList& list() { return m_list; }
    DataGrid* grid() const { return m_grid; }
    NullableDateEdit* fromDate() const { return m_frame->from(); }
    NullableDateEdit* toDate() const { return m_frame->to(); }
    QPushButton* extraButton() const { return m_extraButton; }
    // Filters the loaded rows by entry date, both days included.
    void filterByEntryDate();
    // The quotation of the current row, or empty.
    QString currentBillNo() const;

private:
    void buildActions();
    void runEditor(int mode, const QString& billNo);
    QString selectedBillNo() const;
    // Reads the list again and makes the quotation current (the newest one
    // when it is gone or not given).
    void reread(const QString& billNo);
    // Makes the quotation current in the rows as read (the newest one when
    // it is not there or not given).
    void showRow(const QString& billNo);
    void print(DocumentWindows::QuotationPrint kind);
    void toggleExtraColumns();

    QuotationList m_list;
    DataGrid* m_grid;
    QPushButton* m_extraButton;
    std::unique_ptr<ListWindowFrame> m_frame;
    bool m_extraShown = false;
    bool m_seesCost = false;
};
