#pragma once

#include "ui/base_window.h"

class PartnerDirectory;
class QTreeWidget;

// Chooses an order form's customer from the tree of customer groups and
// customers. A double click or "确定" on a customer chooses it; "新增客户…"
// opens the editor on a new customer, which is chosen once it is saved.
class CustomerPickerDialog : public BaseWindow {
    Q_OBJECT
public:
    explicit CustomerPickerDialog(AppContext& context, QWidget* parent = nullptr);

    QString chosenCode() const { return m_chosen; }
    QTreeWidget* tree() const { return m_tree; }
    // Chooses the customer of the current tree item; false (with a
    // message) when it is a group or there is none.
    bool choose();
    // A new customer in the group of the current tree item (the top group
    // when there is none), chosen when saved; false when not saved.
    bool addCustomer();

private:
    QTreeWidget* m_tree;
    QString m_chosen;
};
