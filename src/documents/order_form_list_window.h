#pragma once

#include "documents/order_form_list.h"
#include "reports/document_printouts.h"
#include "ui/base_window.h"
#include "ui/list_window_frame.h"

class DataGrid;
class NullableDateEdit;
class QMenu;
class QPushButton;

// "收据记录表": the order forms with the amount of their goods, the date
// filter, and the commands that add, edit, delete and print orders and
// make work, ware-out and shipment forms from one (buttons and the grid's
// context menu).
class OrderFormListWindow : public BaseWindow {
    Q_OBJECT
public:
    explicit OrderFormListWindow(AppContext& context, QWidget* parent = nullptr);

    OrderFormList& list() { return m_list; }
    DataGrid* grid() const { return m_grid; }
    NullableDateEdit* fromDate() const { return m_frame->from(); }
    NullableDateEdit* toDate() const { return m_frame->to(); }
    QPushButton* extraButton() const { return m_extraButton; }
    QMenu* operateMenu() const { return m_operate; }
    // Filters the loaded rows by order date, both days included.
    void filterByOrderDate();

private:
    void buildActions();
    void runEditor(int mode, const QString& code);
    QStringList selectedCodes() const;
    QString currentCode() const;
    // Reads the list again and makes the order current (the first row when
    // it is gone or not given).
    void reread(const QString& code);
    // Makes the order current and selects it (the newest when it is not
    // there or not given).
    void showRow(const QString& code);
    void toggleExtraColumns();
    // 查看单据 for the forms of one kind.
    void showForms(DocumentPrintouts::Kind kind);

    OrderFormList m_list;
    DataGrid* m_grid;
    QPushButton* m_extraButton;
    std::unique_ptr<ListWindowFrame> m_frame;
    QMenu* m_operate;
    bool m_extraShown = false;
    // The kind of forms 查看单据 shows next.
    DocumentPrintouts::Kind m_formsKind = DocumentPrintouts::Kind::WorkForm;
};
