#pragma once

#include <QList>
#include <QPair>

#include "documents/customer_tree.h"
#include "ui/base_window.h"

class PartnerDirectory;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// Chooses an order form's customer from the tree of customer groups and
// customers. A double click or "确定" on a customer chooses it; "新增客户…"
// opens the editor on a new customer, which is chosen once it is saved.
// The search box above the tree keeps the customers a typed text finds
// (code, name, boss, telephone, pinyin initials); Enter chooses the first.
class CustomerPickerDialog : public BaseWindow {
    Q_OBJECT
public:
    explicit CustomerPickerDialog(AppContext& context, QWidget* parent = nullptr);

    QString chosenCode() const { return m_chosen; }
    QTreeWidget* tree() const { return m_tree; }
    QLineEdit* searchBox() const { return m_search; }
    // Shows the customers `text` finds, and the groups that hold them; the
    // first found becomes current.
    void filter(const QString& text);
    // Chooses the customer of the current tree item; false (with a
    // message) when it is a group or there is none.
    bool choose();
    // A new customer in the group of the current tree item (the top group
    // when there is none), chosen when saved; false when not saved.
    bool addCustomer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_search;
    QTreeWidget* m_tree;
    QList<QPair<QTreeWidgetItem*, CustomerTree::Node>> m_customers;
    QString m_chosen;
};
