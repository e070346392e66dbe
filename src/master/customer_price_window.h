#pragma once

#include <QHash>
#include <QList>

#include "master/price_table.h"
#include "ui/base_window.h"

class MemoEdit;
class PriceCellEdit;
class QAbstractButton;
class QLabel;
class QScrollArea;

// "客户报价单" (window Base_CustomerPrice_Frm): the standard price table or
// one customer's, as the printed sheet lays it out: sections A to E with a
// box per price cell and their remarks, and the general remark. "保存",
// "获取默认值" (customers only), "清空", "打印" (asks to save first) and
// "关闭" (asks about unsaved changes).
//
//     CustomerPriceWindow window(context, code, name, this);  // empty code: the standard table
//     if (window.load()) window.showModal();
class CustomerPriceWindow : public BaseWindow {
    Q_OBJECT
public:
    // A customer's table, or with `standard` the standard table (the code
    // is not used then).
    CustomerPriceWindow(AppContext& context, bool standard, const QString& customerCode,
                        const QString& customerName = {}, QWidget* parent = nullptr);
    ~CustomerPriceWindow() override;

    // Opens the table (a customer's first opening makes it); false, with
    // the reason shown, when that fails.
    bool load();

    PriceTable& table() { return m_table; }
    PriceCellEdit* cellEdit(const QString& cell) const;
    MemoEdit* remarkEdit(const QString& field) const;
    QAbstractButton* button(const QString& actionName) const;
    QLabel* customerLabel() const { return m_customerLabel; }

protected:
    bool confirmClose() override;

private:
    void buildActions();
    QWidget* buildSheet();
    QWidget* buildSection(const PriceSection& section, QWidget* parent);
    MemoEdit* addRemark(const QString& field, QWidget* parent);
    // Shows the table's values in every editor.
    void refresh();
    // Hands a text still being typed in a cell to the table; throws the
    // refusal (the cell shows its value again).
    void commitPending();
    void commitCell(PriceCellEdit* edit, const QString& text);
    // Texts still being typed in the cells are dropped.
    void dropPending();
    void save();
    void print();

    PriceTable m_table;
    bool m_standard;
    QString m_code;
    QString m_name;
    QLabel* m_customerLabel = nullptr;
    QScrollArea* m_scroll = nullptr;
    QList<PriceCellEdit*> m_cells;               // reading order
    QHash<QString, MemoEdit*> m_remarks;         // by field
    QHash<QString, QAbstractButton*> m_buttons;  // lower-case action name
    bool m_refreshing = false;
    bool m_saveDone = false;
};
