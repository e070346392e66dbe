#include "documents/customer_picker_dialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/permission_checker.h"
#include "documents/customer_tree.h"
#include "master/partner_directory.h"
#include "master/partner_edit_window.h"
#include "platform/prompter.h"

namespace {
// The group an item's customer would go into: the group itself, or the
// group a customer hangs under.
constexpr int kGroupRole = Qt::UserRole + 1;
}  // namespace

CustomerPickerDialog::CustomerPickerDialog(AppContext& context, QWidget* parent)
    : BaseWindow(context, QStringLiteral("Customer_Pick_Frm"), parent),
      m_search(new QLineEdit(this)),
      m_tree(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("选择客户"));
    m_tree->setHeaderLabels({QStringLiteral("客户"), QStringLiteral("客户编码")});
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    actions().guard([this] {
        QHash<int, QTreeWidgetItem*> items;
        const QList<CustomerTree::Node> nodes = CustomerTree::load(this->context().data().main());
        for (const CustomerTree::Node& n : nodes) {
            auto* item = new QTreeWidgetItem({n.name, n.corpCode});
            item->setData(0, Qt::UserRole, n.isGroup() ? QString() : n.corpCode);
            if (!n.isGroup()) {
                m_customers.append({item, n});
            }
            const int group = n.isGroup() ? -n.id : -n.parentId;
            item->setData(0, kGroupRole, group > 0 ? QVariant(group) : QVariant());
            items.insert(n.id, item);
        }
        // A node whose parent is missing (or a loop) hangs at the top.
        for (const CustomerTree::Node& n : nodes) {
            QTreeWidgetItem* item = items.value(n.id);
            QTreeWidgetItem* parent = n.parentId != 0 && n.parentId != n.id ? items.value(n.parentId) : nullptr;
            for (QTreeWidgetItem* up = parent; up; up = up->parent()) {
                if (up == item) {
                    parent = nullptr;
                    break;
                }
            }
            if (item->parent() || m_tree->indexOfTopLevelItem(item) >= 0) {
                continue;
            }
            if (parent) {
                parent->addChild(item);
            } else {
                m_tree->addTopLevelItem(item);
            }
        }
        m_tree->expandAll();
    });
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (!m_tree->currentItem() || m_tree->currentItem()->data(0, Qt::UserRole).toString().isEmpty()) {
            return;  // a group opens or closes
        }
        actions().guard([this] {
            if (choose()) {
                accept();
            }
        });
    });
    auto* add = new QPushButton(QStringLiteral("新增客户…"), this);
    connect(add, &QPushButton::clicked, this, [this] {
        actions().guard([this] {
            if (addCustomer()) {
                accept();
            }
        });
    });
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setDefault(true);  // Enter chooses, it does not start a new customer
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    connect(ok, &QPushButton::clicked, this, [this] {
        actions().guard([this] {
            if (choose()) {
                accept();
            }
        });
    });
    connect(cancel, &QPushButton::clicked, this, &CustomerPickerDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    m_search->setPlaceholderText(QStringLiteral("查找：名称、老板、编号、拼音首字母或电话"));
    connect(m_search, &QLineEdit::textChanged, this, &CustomerPickerDialog::filter);
    // Enter in the search box is 确定 (the default button): the first
    // customer found. Down goes on to the customers found.
    m_search->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_tree, 1);
    m_search->setFocus();
    layout->addLayout(buttons);
    resize(540, 480);
}

void CustomerPickerDialog::filter(const QString& text) {
    QTreeWidgetItem* first = nullptr;
    for (const auto& [item, node] : m_customers) {
        const bool shown = node.matches(text);
        item->setHidden(!shown);
        if (shown && !first) {
            first = item;
        }
    }
    // A group shows while it holds a customer found (all of them for no text).
    std::function<bool(QTreeWidgetItem*)> showGroups = [&](QTreeWidgetItem* item) {
        if (!item->data(0, Qt::UserRole).toString().isEmpty()) {
            return !item->isHidden();
        }
        bool any = false;
        for (int i = 0; i < item->childCount(); ++i) {
            any = showGroups(item->child(i)) || any;
        }
        item->setHidden(!text.trimmed().isEmpty() && !any);
        return any;
    };
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        showGroups(m_tree->topLevelItem(i));
    }
    if (!text.trimmed().isEmpty()) {
        m_tree->setCurrentItem(first);  // none when nothing is found
    }
}

bool CustomerPickerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_search && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
        // On to the list, and down it from the customer found first.
        m_tree->setFocus();
        QCoreApplication::sendEvent(m_tree, event);
        return true;
    }
    return BaseWindow::eventFilter(watched, event);
}

bool CustomerPickerDialog::choose() {
    const QTreeWidgetItem* item = m_tree->currentItem();
    const QString code = item ? item->data(0, Qt::UserRole).toString() : QString();
    if (code.isEmpty()) {
        context().prompter().inform(QStringLiteral("请选择客户"));
        return false;
    }
    m_chosen = code;
    return true;
}

bool CustomerPickerDialog::addCustomer() {
    // Adding here is adding to the order customers' list: its right.
    const PartnerSide& side = PartnerSide::orderCustomers();
    permissions().CheckActionPermission(QStringLiteral("Action_AddCustomer"), side.listWindow);
    PartnerDirectory directory(context().data().main(), context().clock(), context().prompter(), side);
    directory.open();
    const QTreeWidgetItem* item = m_tree->currentItem();
    const GroupedDirectory& groups = directory.groupedDirectory();
    // Nothing chosen: the top group, which holds customers while it has no
    // groups under it (a new book).
    const QVariant group = item ? item->data(0, kGroupRole) : groups.rootId();
    if (!group.isValid() || groups.groupRow(group) < 0 || groups.hasChildGroups(group)) {
        // Customers are kept in the lowest groups only: say which to choose
        // instead of refusing the group the picker happened to stand on.
        context().prompter().inform(
            QStringLiteral("请先选择新客户所属的类别（没有子类的类别，或其中的一个客户），再新增客户"));
        return false;
    }
    directory.focusGroup(group);
    if (!directory.addRecord()) {
        return false;
    }
    PartnerEditWindow edit(context(), directory, this);
    edit.showModal();
    if (!edit.saved()) {
        return false;
    }
    m_chosen = directory.records().value("corp_code").toString();
    return !m_chosen.isEmpty();
}
