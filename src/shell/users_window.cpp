#include "shell/users_window.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
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
      m_admin(context.data().main(), context.prompter()),
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

    {
        RunTimeInfoScope note(context.progress(), QStringLiteral("正在读取权限列表，请稍候"));
        m_admin.open();
    }

    m_users->setImages({style()->standardIcon(QStyle::SP_DirIcon), style()->standardIcon(QStyle::SP_FileIcon)});
    m_users->bind(&m_admin.users(), "User_name", "User_Group", "User_name", "type");
    // Groups open, so that every user can be seen at once.
    m_users->expandAll();
    connect(m_users, &TreeList::currentNodeChanged, this, [this](const QVariant& id) {
        if (!m_selecting) {
            selectNode(id.toString());
        }
    });

    // Page 0: the user's data.
    auto* userPage = new QWidget(m_pages);
    auto* binder = new FieldBinder(&m_admin.users(), this);
    connect(binder, &FieldBinder::editFailed, this, [this](const QString& m) { this->context().prompter().error(m); });
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

    // Commands.
    QAction* save = actions().add(QStringLiteral("Action_SaveOperation"), QStringLiteral("保存权限设置"), [this] {
        {
            RunTimeInfoScope note(this->context().progress(), QStringLiteral("正在执行更新"));
            m_admin.save();
        }
        afterUsersChanged();
    });
    QAction* addUser = actions().add(QStringLiteral("Action_AddUser"), QStringLiteral("增加用户"), [this] {
        const QString current = m_admin.selectedName();
        const QString group = m_admin.isGroup(current) ? current : m_admin.users().value("User_Group").toString();
        m_admin.addUser(group);
        m_pages->setCurrentIndex(0);
        m_userName->setReadOnly(false);
        m_userName->setFocus();
    });
    QAction* addGroup = actions().add(QStringLiteral("Action_AddGroup"), QStringLiteral("增加组"), [this] {
        m_admin.addGroup();
        m_pages->setCurrentIndex(1);
        m_rights->clear();
        m_groupName->setReadOnly(false);
        m_groupName->setFocus();
    });
    QAction* remove = actions().add(QStringLiteral("Action_DeleteUser"), QStringLiteral("删除"), [this] {
        if (m_admin.deleteSelected()) {
            afterUsersChanged();
        }
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

    m_selecting = true;
    m_users->setCurrentId(UserAdministration::systemGroup());
    m_selecting = false;
    m_pages->setCurrentIndex(1);
    showRights();
    m_groupName->setReadOnly(true);
}

void UsersWindow::selectNode(const QString& name) {
    actions().guard([this, &name] { m_admin.select(name); });
    const bool group = m_admin.isGroup(name);
    m_userName->setReadOnly(!m_admin.canEditUserName(name));
    m_groupName->setReadOnly(!m_admin.canEditGroupName(name));
    m_password->clear();
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
    if (name.isEmpty() || m_admin.isGroup(name)) {
        return;
    }
    if (!actions().guard([this, &name] { m_admin.setPassword(name, m_password->text()); })) {
        return;
    }
    m_password->clear();
    context().prompter().inform(QStringLiteral("密码已设置"));
}

void UsersWindow::afterUsersChanged() {
    m_selecting = true;
    m_users->setCurrentId(m_admin.selectedName());
    m_selecting = false;
}

bool UsersWindow::confirmClose() {
    return actions().execute(QStringLiteral("Action_SaveOperation"));
}
