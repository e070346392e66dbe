#pragma once

#include "documents/derived_form_list.h"
#include "ui/base_window.h"

class DataGrid;
class QLabel;
class QPlainTextEdit;

// The work, ware-out or shipment forms made from order forms: the forms
// above, the rows of the current one below (the ware-out form: its goods
// and lock summaries), and printing the current form.
class DerivedFormWindow : public BaseWindow {
    Q_OBJECT
public:
    DerivedFormWindow(AppContext& context, DerivedFormList::Kind kind, QWidget* parent = nullptr);

    DerivedFormList& list() { return m_list; }
    const DerivedFormList& list() const { return m_list; }
    DataGrid* formsGrid() const { return m_forms; }
    DataGrid* rowsGrid() const { return m_rows; }
    QPlainTextEdit* goodsSummary() const { return m_goods; }
    QPlainTextEdit* lockSummary() const { return m_locks; }
    // Shows only the forms made from this order, the first one current.
    void showOrder(const QString& orderCode);
    // Selects the first form the grid shows (after a filter) and shows its
    // rows; nothing is selected when the filter hides every form.
    void selectFirstShown();
    // The code of the current form, or empty.
    QString currentCode() const;
    // "订单已修改，请重新生成" when the current form was made before its
    // order last changed; empty otherwise.
    QString currentStaleNote() const;

private:
    void showCurrentRows();

    DerivedFormList m_list;
    DataGrid* m_forms;
    DataGrid* m_rows = nullptr;
    QPlainTextEdit* m_goods = nullptr;
    QPlainTextEdit* m_locks = nullptr;
    QLabel* m_staleNote = nullptr;
};
