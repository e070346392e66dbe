#pragma once

#include "ui/base_window.h"

class QTreeWidget;

// Chooses an order form's customer from the tree of customer groups and
// customers. A double click or "确定" on a customer chooses it.
class CustomerPickerDialog : public BaseWindow {
    Q_OBJECT
public:
    explicit CustomerPickerDialog(AppContext& context, QWidget* parent = nullptr);

    QString chosenCode() const { return m_chosen; }
    QTreeWidget* tree() const { return m_tree; }
    // Chooses the customer of the current tree item; false (with a
    // message) when it is a group or there is none.
    bool choose();

private:
    QTreeWidget* m_tree;
    QString m_chosen;
};
