#include "shell/users_window.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSet>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeWidget>

#include "data/app_context.h"
#include "data/data_module.h"
#include "platform/prompter.h"
#include "ui/editors.h"
#include "ui/field_binder.h"
#include "ui/style_holder.h"
#include "ui/tree_list.h"

UsersWindow::UsersWindow(AppContext& context, QWidget* parent)
    : BaseWindow(context, QStringLiteral("Sys_User_Operation_Frm"), parent),
      m_admin(context, permissions()),
      m_users(new TreeList(this)),
      m_pages(new QStackedWidget(this)),
      m_rights(new QTreeWidget(this)),
      m_userName(new QLineEdit(this)),
      m_groupName(new QLineEdit(this)),
      m_password(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("用户权限管理"));
    setStyleSheet(StyleHolder::editorStyleSheet());
    m_userName->setObjectName(QStringLiteral("cxDBTextEdit_Username"));
    m_groupName->setObjectName(QStringLiteral("cxDBTextEdit_GropName"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(QStringLiteral("输入新密码后按\"设置密码\""));

    m_admin.open();

    // The tree is filled from the administration's rows after each command,
    // so that moving in it always passes the administration's rules.
    m_users->setImages({style()->standardIcon(QStyle::SP_DirIcon), style()->standardIcon(QStyle::SP_FileIcon)});
    connect(m_users, &TreeList::currentNodeChanged, this, [this](const QVariant& id) {
        if (!m_selecting) {
            selectNode(id.toString());
        }
    });
    connect(m_password, &QLineEdit::textEdited, this, [this](const QString& text) {
        // A new user is written with the password typed for it.
        if (m_admin.isAdding() && !m_admin.isAddingGroup()) {
            m_admin.setNewUserPassword(text);
        }
    });

    // Page 0: the user's data.
    auto* userPage = new QWidget(m_pages);
    auto* binder = new FieldBinder(&m_admin.users(), this);
    connect(binder, &FieldBinder::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    auto* account = new QGroupBox(QStringLiteral("帐号设置"), userPage);
    auto* accountForm = new QFormLayout(account);
    auto* setPassword = new QPushButton(QStringLiteral("设置密码"), account);
    connect(setPassword, &QPushButton::clicked, this, &UsersWindow::setPasswordOfSelected);
    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(m_password, 1);
    passwordRow->addWidget(setPassword);
    accountForm->addRow(QStringLiteral("用户名"), m_userName);
    accountForm->addRow(QStringLiteral("用户密码"), passwordRow);
    auto* contact = new QGroupBox(QStringLiteral("联系方式"), userPage);
    auto* contactForm = new QFormLayout(contact);
    auto* telephone = new QLineEdit(contact);
    auto* email = new QLineEdit(contact);
    contactForm->addRow(QStringLiteral("联系电话"), telephone);
    contactForm->addRow(QStringLiteral("电子邮件"), email);
    auto* remarkBox = new QGroupBox(QStringLiteral("备注"), userPage);
    auto* remark = new MemoEdit(remarkBox);
    (new QVBoxLayout(remarkBox))->addWidget(remark);
    binder->bind(m_userName, "User_name");
    binder->bind(telephone, "telephone");
    binder->bind(email, "email");
    binder->bind(remark, "Remark");
    auto* userLayout = new QVBoxLayout(userPage);
    userLayout->addWidget(account);
    userLayout->addWidget(contact);
    userLayout->addWidget(remarkBox, 1);

    // Page 1: the group's rights.
    auto* rightsPage = new QWidget(m_pages);
    auto* groupForm = new QFormLayout;
    auto* description = new QLineEdit(rightsPage);
    binder->bind(m_groupName, "User_name");
    binder->bind(description, "Remark");
    groupForm->addRow(QStringLiteral("组名："), m_groupName);
    groupForm->addRow(QStringLiteral("描述："), description);
    m_rights->setHeaderHidden(true);
    StyleHolder::applyTree(m_rights);
    connect(m_rights, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { clickRight(item->data(0, Qt::UserRole).toInt()); });
    auto* rightsButtons = new QHBoxLayout;
    const QList<QPair<QString, std::function<void()>>> rightButtons = {
        {QStringLiteral("全选"),
         [this] {
             m_admin.setAll(true);
             refreshRightMarks();
         }},
        {QStringLiteral("全不选"),
         [this] {
             m_admin.setAll(false);
             refreshRightMarks();
         }},
        {QStringLiteral("全部展开"), [this] { m_rights->expandAll(); }},
        {QStringLiteral("全部折叠"), [this] { m_rights->collapseAll(); }}};
    for (const auto& [caption, handler] : rightButtons) {
        auto* b = new QPushButton(caption, rightsPage);
        connect(b, &QPushButton::clicked, this, handler);
        rightsButtons->addWidget(b);
    }
    auto* rightsLayout = new QVBoxLayout(rightsPage);
    rightsLayout->addWidget(new QLabel(QStringLiteral("权限列表"), rightsPage));
    rightsLayout->addWidget(m_rights, 1);
    rightsLayout->addLayout(groupForm);
    rightsLayout->addLayout(rightsButtons);
    m_pages->addWidget(userPage);
    m_pages->addWidget(rightsPage);

    // Commands. Whatever happened, the window shows the row that is current
    // afterwards.
    QAction* save = actions().add(QStringLiteral("Action_SaveOperation"), QStringLiteral("保存权限设置"), [this] {
        const auto show = qScopeGuard([this] { showCurrent(); });
        m_admin.saveAsked();
    });
    QAction* addUser = actions().add(QStringLiteral("Action_AddUser"), QStringLiteral("增加用户"), [this] {
        const auto show = qScopeGuard([this] { showCurrent(); });
        const QString current = m_admin.selectedName();
        const QString group = m_admin.selectedIsGroup() ? current : m_admin.users().value("User_Group").toString();
        m_password->clear();
        if (m_admin.addUser(group)) {
            m_userName->setFocus();
        }
    });
    QAction* addGroup = actions().add(QStringLiteral("Action_AddGroup"), QStringLiteral("增加组"), [this] {
        const auto show = qScopeGuard([this] { showCurrent(); });
        if (m_admin.addGroup()) {
            m_groupName->setFocus();
        }
    });
    QAction* remove = actions().add(QStringLiteral("Action_DeleteUser"), QStringLiteral("删除"), [this] {
        const auto show = qScopeGuard([this] { showCurrent(); });
        m_admin.deleteSelected();
    });
    auto* toolbar = new QHBoxLayout;
    for (QAction* a : {addUser, addGroup, remove, save}) {
        auto* b = new QPushButton(a->text(), this);
        connect(b, &QPushButton::clicked, a, &QAction::trigger);
        toolbar->addWidget(b);
    }
    toolbar->addStretch();
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(close, &QPushButton::clicked, this, &UsersWindow::reject);
    toolbar->addWidget(close);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_users);
    splitter->addWidget(m_pages);
    splitter->setSizes({200, 500});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(toolbar);
    layout->addWidget(splitter, 1);
    resize(760, 540);

    // The tree opens collapsed, on the system group.
    showCurrent();
    m_users->collapseAll();
}

void UsersWindow::selectNode(const QString& name) {
    bool moved = false;
    actions().guard([this, &name, &moved] { moved = m_admin.select(name); });
    showCurrent();
    if (!moved) {
        // A mouse press marks the row pressed once this handler is done:
        // the tree goes back to the row still shown after that.
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_selecting = true;
                m_users->setCurrentId(m_admin.selectedName());
                m_selecting = false;
            },
            Qt::QueuedConnection);
    }
}

void UsersWindow::rebuildTree() {
    QList<TreeNodeData> nodes;
    QSet<QString> expanded;
    for (int r = 0; r < m_users->treeModel()->rowCount(); ++r) {
        const QModelIndex i = m_users->treeModel()->index(r, 0);
        if (m_users->isExpanded(i)) {
            expanded.insert(m_users->treeModel()->node(i)->id.toString());
        }
    }
    const Dataset& users = m_admin.users();
    for (int r = 0; r < users.rowCount(); ++r) {
        TreeNodeData n;
        n.id = users.value(r, "User_name");
        const bool group = users.value(r, "type").toInt() == 0;
        n.parentId = group ? QVariant(-1) : users.value(r, "User_Group");
        n.caption = n.id.toString();
        if (n.caption.isEmpty()) {
            n.caption = group ? QStringLiteral("(新组)") : QStringLiteral("(新用户)");
        }
        n.image = group ? 0 : 1;
        nodes.append(n);
    }
    m_users->setNodes(nodes);
    for (const QString& id : expanded) {
        m_users->expand(m_users->treeModel()->indexOfId(id));
    }
}

void UsersWindow::showCurrent() {
    m_selecting = true;
    rebuildTree();
    const QString name = m_admin.selectedName();
    // setCurrentId opens the group of a user so that the row can be seen.
    m_users->setCurrentId(name);
    m_selecting = false;

    const bool group = m_admin.isAdding() ? m_admin.isAddingGroup() : m_admin.selectedIsGroup();
    m_userName->setReadOnly(!m_admin.canEditUserName(name) && !m_admin.isAdding());
    m_groupName->setReadOnly(!m_admin.canEditGroupName(name) && !m_admin.isAdding());
    if (!m_admin.isAdding()) {
        m_password->clear();
    }
    if (group) {
        showRights();
        m_pages->setCurrentIndex(1);
    } else {
        m_pages->setCurrentIndex(0);
    }
}

void UsersWindow::showRights() {
    m_rights->clear();
    QHash<QString, QTreeWidgetItem*> byId;
    QList<QPair<QTreeWidgetItem*, QString>> pending;
    for (const UserAdministration::Right& r : m_admin.rights()) {
        auto* item = new QTreeWidgetItem({r.title});
        item->setData(0, Qt::UserRole, r.id);
        byId.insert(QString::number(r.id), item);
        pending.append({item, r.parentId});
    }
    for (const auto& [item, parent] : pending) {
        if (QTreeWidgetItem* p = byId.value(parent)) {
            p->addChild(item);
        } else {
            m_rights->addTopLevelItem(item);
        }
    }
    refreshRightMarks();
}

void UsersWindow::refreshRightMarks() {
    const QIcon granted = style()->standardIcon(QStyle::SP_DialogApplyButton);
    const QIcon withdrawn = style()->standardIcon(QStyle::SP_DialogCancelButton);
    QHash<int, bool> state;
    for (const UserAdministration::Right& r : m_admin.rights()) {
        state.insert(r.id, r.granted);
    }
    for (QTreeWidgetItemIterator it(m_rights); *it; ++it) {
        const bool on = state.value((*it)->data(0, Qt::UserRole).toInt());
        (*it)->setIcon(0, on ? granted : withdrawn);
        (*it)->setData(0, Qt::UserRole + 1, on);
    }
}

void UsersWindow::clickRight(int id) {
    if (m_admin.toggle(id)) {
        refreshRightMarks();
    }
}

void UsersWindow::setPasswordOfSelected() {
    const QString name = m_admin.selectedName();
    if (m_admin.selectedIsGroup() || m_admin.isAddingGroup()) {
        return;
    }
    if (name.trimmed().isEmpty()) {
        context().prompter().inform(QStringLiteral("请先输入用户名"));
        return;
    }
    const bool done = actions().guard([this, &name] { m_admin.setPassword(name, m_password->text()); });
    showCurrent();
    if (done) {
        m_password->clear();
        context().prompter().inform(QStringLiteral("密码已设置"));
    }
}

bool UsersWindow::confirmClose() {
    // Nothing to write: the window closes without asking for any right.
    if (!m_admin.hasPendingChanges()) {
        return true;
    }
    bool mayWrite = false;
    actions().guard([this, &mayWrite] { mayWrite = m_admin.mayWritePending(); });
    if (mayWrite) {
        // Saved as moving away would save it.
        bool saved = false;
        actions().guard([this, &saved] {
            m_admin.save();
            saved = true;
        });
        if (saved) {
            return true;
        }
        showCurrent();
    }
    if (!context().prompter().askYesNo(QStringLiteral("修改没有保存，放弃这些修改并关闭窗口吗？"))) {
        return false;
    }
    actions().guard([this] { m_admin.discardPending(); });
    return true;
}
