#include "shell/user_administration.h"

#include <QSqlQuery>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/permission_checker.h"
#include "data/records.h"
#include "data/user_accounts.h"
#include "platform/errors.h"
#include "platform/progress_reporter.h"
#include "platform/prompter.h"

namespace {
const char* const kLoadingText = "正在读取权限列表，请稍候";
const char* const kSavingText = "正在执行更新";
}  // namespace

UserAdministration::UserAdministration(AppContext& context, PermissionChecker& permissions)
    : m_db(context.data().main()),
      m_prompter(context.prompter()),
      m_progress(context.progress()),
      m_permissions(permissions),
      m_currentUser(context.CurrentUser),
      m_users(m_db) {}

void UserAdministration::open() {
    m_modified = false;
    m_addingGroup = false;
    m_newUserPassword.clear();
    m_users.setUpdateTable("Sys_user");
    // The password column is never shown; it is written only through
    // setPassword() and with a new user.
    m_users.open("select id, User_name, telephone, email, User_Group, Remark, type from Sys_user order by type, id");
    m_users.locate("User_name", systemGroup());
    loadCurrentRights();
}

bool UserAdministration::isGroupRow(int row) const {
    return m_users.value(row, "type").toInt() == 0;
}

bool UserAdministration::isGroup(const QString& name) const {
    for (int r = 0; r < m_users.rowCount(); ++r) {
        if (m_users.value(r, "User_name").toString() == name) {
            return isGroupRow(r);
        }
    }
    return false;
}

QString UserAdministration::selectedName() const {
    return m_users.currentRow() >= 0 ? m_users.value("User_name").toString() : QString();
}

QString UserAdministration::storedName() const {
    const int row = m_users.currentRow();
    if (row < 0 || isAdding()) {
        return {};
    }
    return m_users.originalValue(row, "User_name").toString();
}

bool UserAdministration::selectedIsGroup() const {
    return m_users.currentRow() >= 0 && m_users.value("type").toInt() == 0;
}

bool UserAdministration::isAdding() const {
    if (m_users.state() == Dataset::State::Insert) {
        return true;
    }
    // A new row whose write failed stays cached as an insert.
    const int row = m_users.currentRow();
    return row >= 0 && m_users.rowStatus(row) == Dataset::RowStatus::Inserted;
}

void UserAdministration::require(const QString& action) const {
    m_permissions.CheckActionPermission(action, formName());
}

bool UserAdministration::select(const QString& name) {
    if (name == selectedName() && !isAdding()) {
        if (selectedIsGroup() && !m_modified) {
            loadCurrentRights();
        }
        return true;
    }
    if (!settlePending()) {
        return false;
    }
    const bool found = m_users.locate("User_name", name);
    loadCurrentRights();
    return found;
}

bool UserAdministration::mayWritePending() const {
    const QString save = saveAction();
    if (m_modified && !m_permissions.isAllowed(save, formName())) {
        return false;
    }
    if (!m_users.hasChanges()) {
        return true;
    }
    if (isAdding()) {
        // A new row without a name is dropped, which needs no right.
        if (m_users.value("User_name").toString().trimmed().isEmpty()) {
            return true;
        }
        return m_permissions.isAllowed(m_addingGroup ? addGroupAction() : addUserAction(), formName());
    }
    return m_permissions.isAllowed(save, formName());
}

bool UserAdministration::settlePending() {
    if (!hasPendingChanges()) {
        return true;
    }
    if (mayWritePending()) {
        save();
        return true;
    }
    if (!m_prompter.askYesNo(QStringLiteral("您没有保存这些修改的权限，放弃这些修改吗？"))) {
        return false;
    }
    discardPending();
    return true;
}

void UserAdministration::loadRights(const QString& group) {
    RunTimeInfoScope note(m_progress, QString::fromUtf8(kLoadingText));
    QList<Right> rights;
    QSqlQuery q = m_db.query(
        " SELECT a.*,b.user_name, (case when b.Action_id is null then 0 else 1 end) AS img_no "
        "FROM Sys_Operation_Table AS a "
        "LEFT JOIN (select * from Sys_user_Operation where user_name=:user_name ) AS b ON a.id=b.Action_id "
        "order by a.id",
        {{"user_name", group}});
    while (q.next()) {
        Right r;
        r.id = q.value("id").toInt();
        r.actionName = q.value("Action_Name").toString();
        r.title = q.value("Action_Title").toString();
        r.formName = q.value("Form_Name").toString();
        r.parentId = q.value("Parent_ID").toString();
        r.granted = q.value("img_no").toInt() == 1;
        rights.append(r);
    }
    m_rights = rights;
    m_rightsGroup = group;
    m_modified = false;
}

void UserAdministration::showEmptyRights() {
    loadRights(QString());
    for (Right& r : m_rights) {
        r.granted = false;
    }
}

void UserAdministration::loadCurrentRights() {
    if (isAddingGroup()) {
        showEmptyRights();
    } else if (!isAdding() && selectedIsGroup()) {
        loadRights(selectedName());
    } else {
        // A user's page shows no rights; none are kept in memory.
        m_rights.clear();
        m_rightsGroup.clear();
        m_modified = false;
    }
}

bool UserAdministration::keptForSystemGroup(const Right& right) const {
    return right.formName.compare(formName(), Qt::CaseInsensitive) == 0 ||
           right.actionName.compare(QLatin1String("Action_ManuItemPowerManger"), Qt::CaseInsensitive) == 0;
}

bool UserAdministration::rightsOnShowAreTheRowsOwn() const {
    // Compared with the name the book holds: a name being typed does not
    // change whose list it is.
    return isAddingGroup() ? m_rightsGroup.isEmpty()
                           : (!isAdding() && selectedIsGroup() && m_rightsGroup == storedName());
}

bool UserAdministration::toggle(int actionId) {
    if (m_rightsGroup == systemGroup()) {
        return false;
    }
    // Only the list of the group on show can change.
    const bool shownGroup = rightsOnShowAreTheRowsOwn();
    if (!shownGroup) {
        return false;
    }
    for (Right& r : m_rights) {
        if (r.id == actionId) {
            r.granted = !r.granted;
            m_modified = true;
            return true;
        }
    }
    return false;
}

void UserAdministration::setAll(bool granted) {
    const bool shownGroup = rightsOnShowAreTheRowsOwn();
    if (!shownGroup) {
        return;
    }
    const bool systemList = m_rightsGroup == systemGroup();
    for (Right& r : m_rights) {
        r.granted = granted || (systemList && keptForSystemGroup(r));
    }
    m_modified = true;
}

void UserAdministration::save() {
    RunTimeInfoScope note(m_progress, QString::fromUtf8(kSavingText));
    if (!hasPendingChanges()) {
        return;
    }
    WriteTransaction tx(m_db);
    // The row first: a new group gets its name before its rights are written.
    postUser();
    if (m_modified) {
        writeRights();
    }
    tx.commit();
}

void UserAdministration::saveAsked() {
    if (isAdding() && m_users.value("User_name").toString().trimmed().isEmpty()) {
        throw UserError(m_addingGroup ? QStringLiteral("组名不能为空") : QStringLiteral("用户名不能为空"));
    }
    save();
}

void UserAdministration::writeRights() {
    require(saveAction());
    if (m_rightsGroup.isEmpty()) {
        // The list of a new group that was dropped without a name.
        m_modified = false;
        return;
    }
    if (m_db.scalar("select count(*) from Sys_user where User_name=:g and type=0", {{"g", m_rightsGroup}}).toInt() ==
        0) {
        throw UserError(QStringLiteral("组[%1]已不存在，权限没有保存").arg(m_rightsGroup));
    }
    if (m_rightsGroup == systemGroup()) {
        // The administrators never lose the administration of rights.
        for (Right& r : m_rights) {
            r.granted = r.granted || keptForSystemGroup(r);
        }
    }
    m_db.execute("delete from Sys_user_Operation where user_name=:user_name", {{"user_name", m_rightsGroup}});
    const std::shared_ptr<QSqlQuery> insertStatement =
        m_db.prepared("insert into Sys_user_Operation(user_name,action_id) values (:u, :a)");
    QSqlQuery& insert = *insertStatement;
    for (const Right& r : m_rights) {
        if (r.granted) {
            m_db.run(insert, {{"u", m_rightsGroup}, {"a", r.id}});
        }
    }
    m_modified = false;
    // Should the transaction around this not commit, the list is still
    // unsaved.
    const std::weak_ptr<int> life = m_life;
    m_db.whenTransactionEnds({}, [this, life] {
        if (life.lock()) {
            m_modified = true;
        }
    });
}

void UserAdministration::discardPending() {
    const bool dropsNewRow = isAdding();
    m_newUserPassword.clear();
    if (m_users.isEditing()) {
        m_users.cancel();
    }
    if (m_users.hasChanges()) {
        m_users.cancelUpdates();
    }
    if (dropsNewRow) {
        // Back to the row the new one was added from.
        m_users.locate("User_name", m_addedFrom);
    }
    m_addingGroup = false;
    m_modified = false;
    loadCurrentRights();
}

bool UserAdministration::addUser(const QString& groupName) {
    if (!settlePending()) {
        return false;
    }
    require(addUserAction());
    // A member of the system group holds every right there is.
    if (groupName == systemGroup()) {
        require(saveAction());
    }
    m_addedFrom = selectedName();
    if (groupName.trimmed().isEmpty() ||
        m_db.scalar("select count(*) from Sys_user where User_name=:g and type=0", {{"g", groupName}}).toInt() == 0) {
        throw UserError(QStringLiteral("请先选择新用户所属的组"));
    }
    m_users.append();
    m_users.setValue("User_Group", groupName);
    m_users.setValue("type", 1);
    m_addingGroup = false;
    m_newUserPassword.clear();
    loadCurrentRights();
    return true;
}

bool UserAdministration::addGroup() {
    if (!settlePending()) {
        return false;
    }
    require(addGroupAction());
    m_addedFrom = selectedName();
    m_users.append();
    m_users.setValue("User_Group", "0");
    m_users.setValue("type", 0);
    m_addingGroup = true;
    m_newUserPassword.clear();
    // A new group starts with nothing granted, and its list is the one
    // on show from now on.
    loadCurrentRights();
    return true;
}

void UserAdministration::postUser() {
    if (!m_users.hasChanges()) {
        return;
    }
    const bool isNew = isAdding();
    const int row = m_users.currentRow();
    const bool group = isNew ? m_addingGroup : isGroupRow(row);
    const QString name = m_users.value("User_name").toString().trimmed();
    if (name.isEmpty()) {
        if (isNew) {
            // A new row left without a name is not kept.
            discardPending();
            return;
        }
        throw UserError(group ? QStringLiteral("组名不能为空") : QStringLiteral("用户名不能为空"));
    }
    require(isNew ? (group ? addGroupAction() : addUserAction()) : saveAction());

    const QString oldName = isNew ? QString() : m_users.originalValue(row, "User_name").toString();
    if (!isNew && oldName != name && (oldName == builtInUser() || oldName == systemGroup())) {
        throw UserError(QStringLiteral("[%1]是系统内置的，不能改名").arg(oldName));
    }
    const QVariant id = m_users.value("id");
    const int sameName =
        isNew ? m_db.scalar("select count(*) from Sys_user where User_name=:n", {{"n", name}}).toInt()
              : m_db.scalar("select count(*) from Sys_user where User_name=:n and id<>:id", {{"n", name}, {"id", id}})
                    .toInt();
    if (sameName > 0) {
        throw UserError(QStringLiteral("用户名[%1]已经存在").arg(name));
    }
    if (!group) {
        const QString userGroup = m_users.value("User_Group").toString();
        if (m_db.scalar("select count(*) from Sys_user where User_name=:g and type=0", {{"g", userGroup}}).toInt() ==
            0) {
            throw UserError(QStringLiteral("用户[%1]所属的组[%2]不存在").arg(name, userGroup));
        }
    }
    if (m_users.value("User_name").toString() != name) {
        m_users.setValue("User_name", name);
    }
    m_users.post();

    WriteTransaction tx(m_db);
    m_users.applyUpdates();
    if (isNew && !group) {
        // Every user can log in: with the password given, or an empty one.
        UserAccounts::setPassword(m_db, name, m_newUserPassword);
    }
    if (!isNew && oldName != name) {
        if (group) {
            m_db.execute("update Sys_user set User_Group=:n where User_Group=:o and type=1",
                         {{"n", name}, {"o", oldName}});
            m_db.execute("update Sys_user_Operation set User_name=:n where User_name=:o",
                         {{"n", name}, {"o", oldName}});
        }
        // The logged-in user, and the rights on show, follow the rename;
        // back again should the rename not commit.
        // The context's record outlives this object; the rights on show
        // are undone only while it lives.
        UserRecord& me = m_currentUser;
        const std::weak_ptr<int> life = m_life;
        if (group && me.UserGroup == oldName) {
            me.UserGroup = name;
            m_db.whenTransactionEnds({}, [&me, oldName] { me.UserGroup = oldName; });
        }
        if (!group && me.UserName == oldName) {
            me.UserName = name;
            m_db.whenTransactionEnds({}, [&me, oldName] { me.UserName = oldName; });
        }
        if (group && m_rightsGroup == oldName) {
            m_rightsGroup = name;
            m_db.whenTransactionEnds({}, [this, life, oldName] {
                if (life.lock()) {
                    m_rightsGroup = oldName;
                }
            });
        }
    }
    if (isNew) {
        // What belongs to the row being added is forgotten only once it is
        // written for good; a rollback finds the row new again.
        const std::weak_ptr<int> life = m_life;
        if (group && m_rightsGroup.isEmpty()) {
            m_rightsGroup = name;
            m_db.whenTransactionEnds({}, [this, life] {
                if (life.lock()) {
                    m_rightsGroup.clear();
                }
            });
        }
        m_db.whenTransactionEnds(
            [this, life] {
                if (life.lock()) {
                    m_newUserPassword.clear();
                    m_addingGroup = false;
                }
            },
            {});
    }
    tx.commit();
    if (group && !isNew && oldName != name) {
        // The group's users follow in the list.
        m_users.refresh();
        m_users.locate("User_name", name);
    }
}

bool UserAdministration::deleteSelected() {
    if (m_users.currentRow() < 0) {
        return false;
    }
    if (isAdding()) {
        // A row that was never written just goes.
        discardPending();
        return true;
    }
    // Every check and the rights deleted go by the name the book holds, not
    // one being typed.
    const QString name = storedName();
    if (name == builtInUser()) {
        m_prompter.inform(QStringLiteral("这是系统默认用户,不能删除"));
        return false;
    }
    if (name == systemGroup()) {
        m_prompter.inform(QStringLiteral("这是系统组,不能删除"));
        return false;
    }
    if (name == m_currentUser.UserName) {
        m_prompter.inform(QStringLiteral("不能删除当前登录的用户"));
        return false;
    }
    const bool group = selectedIsGroup();
    if (group &&
        m_db.scalar("select count(*) from Sys_user where User_Group=:g and type=1", {{"g", name}}).toInt() > 0) {
        m_prompter.inform(QStringLiteral("该组中还有用户,请先删除或移走这些用户"));
        return false;
    }
    if (!m_prompter.askYesNo(QStringLiteral("该操作不能恢复，确定要删除吗？"))) {
        return false;
    }
    require(QStringLiteral("Action_DeleteUser"));
    if (m_users.isEditing()) {
        m_users.cancel();
    }
    {
        WriteTransaction tx(m_db);
        if (group) {
            m_db.execute("delete from Sys_user_Operation where User_name=:n", {{"n", name}});
        }
        m_users.deleteCurrent();
        m_users.applyUpdates();
        tx.commit();
    }
    m_modified = false;
    loadCurrentRights();
    return true;
}

void UserAdministration::setPassword(const QString& userName, const QString& password) {
    if (isAdding() && !m_addingGroup && userName == selectedName()) {
        m_newUserPassword = password;
        save();
        return;
    }
    require(saveAction());
    if (userName == selectedName() && selectedName() != storedName()) {
        throw UserError(QStringLiteral("请先保存用户名的修改，再设置密码"));
    }
    if (isGroup(userName)) {
        throw UserError(QStringLiteral("[%1]是组，不能设置密码").arg(userName));
    }
    if (!UserAccounts::setPassword(m_db, userName, password)) {
        throw UserError(QStringLiteral("找不到用户: %1").arg(userName));
    }
}
