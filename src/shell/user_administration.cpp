#include "shell/user_administration.h"

#include <QSqlQuery>

#include "data/database.h"
#include "data/user_accounts.h"
#include "platform/errors.h"
#include "platform/prompter.h"

UserAdministration::UserAdministration(Database& db, Prompter& prompter)
    : m_db(db), m_prompter(prompter), m_users(db) {}

void UserAdministration::open() {
    m_modified = false;
    m_users.setUpdateTable("Sys_user");
    // The password column is never shown; it is written only through
    // setPassword().
    m_users.open("select id, User_name, telephone, email, User_Group, Remark, type from Sys_user order by type, id");
    select(systemGroup());
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

void UserAdministration::select(const QString& name) {
    if (m_users.isEditing()) {
        postUser();
    }
    if (!m_users.locate("User_name", name)) {
        return;
    }
    if (isGroupRow(m_users.currentRow())) {
        // Rights are written under the group they were loaded for.
        save();
        loadRights(name);
    }
}

void UserAdministration::loadRights(const QString& group) {
    m_rights.clear();
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
        m_rights.append(r);
    }
    m_rightsGroup = group;
    m_modified = false;
}

bool UserAdministration::toggle(int actionId) {
    if (m_rightsGroup == systemGroup()) {
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
    for (Right& r : m_rights) {
        r.granted = granted;
    }
    m_modified = true;
}

void UserAdministration::save() {
    if (m_modified && !m_rightsGroup.isEmpty() && isGroup(m_rightsGroup)) {
        WriteTransaction tx(m_db);
        m_db.execute("delete from Sys_user_Operation where user_name=:user_name", {{"user_name", m_rightsGroup}});
        const std::shared_ptr<QSqlQuery> insertStatement =
            m_db.prepared("insert into Sys_user_Operation(user_name,action_id) values (:u, :a)");
        QSqlQuery& insert = *insertStatement;
        for (const Right& r : m_rights) {
            if (r.granted) {
                m_db.run(insert, {{"u", m_rightsGroup}, {"a", r.id}});
            }
        }
        tx.commit();
        m_modified = false;
    }
    if (m_users.isEditing()) {
        postUser();
    }
}

void UserAdministration::addUser(const QString& groupName) {
    if (m_users.isEditing()) {
        postUser();
    }
    m_users.append();
    m_users.setValue("User_Group", groupName);
    m_users.setValue("type", 1);
}

void UserAdministration::addGroup() {
    if (m_users.isEditing()) {
        postUser();
    }
    m_users.append();
    m_users.setValue("User_Group", "0");
    m_users.setValue("type", 0);
}

void UserAdministration::postUser() {
    if (!m_users.isEditing()) {
        return;
    }
    const QString name = m_users.value("User_name").toString().trimmed();
    if (name.isEmpty()) {
        // A row left without a name is not kept.
        m_users.cancel();
        return;
    }
    m_users.setValue("User_name", name);
    const bool isNew = m_users.state() == Dataset::State::Insert;
    const int row = m_users.currentRow();
    m_users.post();
    const QString oldName = isNew ? QString() : m_users.originalValue(row, "User_name").toString();
    WriteTransaction tx(m_db);
    try {
        m_users.applyUpdates();
        if (!isNew && oldName != name && isGroupRow(row)) {
            m_db.execute("update Sys_user set User_Group=:n where User_Group=:o and type=1",
                         {{"n", name}, {"o", oldName}});
            m_db.execute("update Sys_user_Operation set User_name=:n where User_name=:o",
                         {{"n", name}, {"o", oldName}});
            if (m_rightsGroup == oldName) {
                m_rightsGroup = name;
            }
        }
        tx.commit();
    } catch (const DbError& e) {
        // The same name twice: the unique index says no.
        if (m_db.scalar("select count(*) from Sys_user where User_name=:n", {{"n", name}}).toInt() > 0) {
            throw UserError(QStringLiteral("用户名[%1]已经存在").arg(name));
        }
        throw;
    }
    if (!isNew) {
        return;
    }
    // Other users under a renamed group follow in the list.
    m_users.refresh();
    m_users.locate("User_name", name);
}

bool UserAdministration::deleteSelected() {
    const QString name = selectedName();
    if (name.isEmpty()) {
        return false;
    }
    if (name == builtInUser()) {
        m_prompter.inform(QStringLiteral("这是系统默认用户,不能删除"));
        return false;
    }
    if (name == systemGroup()) {
        m_prompter.inform(QStringLiteral("这是系统组,不能删除"));
        return false;
    }
    const bool group = isGroupRow(m_users.currentRow());
    if (group &&
        m_db.scalar("select count(*) from Sys_user where User_Group=:g and type=1", {{"g", name}}).toInt() > 0) {
        m_prompter.inform(QStringLiteral("该组中还有用户,请先删除或移走这些用户"));
        return false;
    }
    if (!m_prompter.askYesNo(QStringLiteral("该操作不能恢复，确定要删除吗？"))) {
        return false;
    }
    WriteTransaction tx(m_db);
    if (group) {
        m_db.execute("delete from Sys_user_Operation where User_name=:n", {{"n", name}});
    }
    m_users.deleteCurrent();
    m_users.applyUpdates();
    tx.commit();
    if (group && m_rightsGroup == name) {
        m_rights.clear();
        m_rightsGroup.clear();
        m_modified = false;
    }
    return true;
}

void UserAdministration::setPassword(const QString& userName, const QString& password) {
    if (!UserAccounts::setPassword(m_db, userName, password)) {
        throw UserError(QStringLiteral("找不到用户: %1").arg(userName));
    }
}
