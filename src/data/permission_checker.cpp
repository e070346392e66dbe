#include "data/permission_checker.h"

#include <QSqlQuery>

#include "data/data_module.h"
#include "data/database.h"
#include "data/records.h"
#include "data/schema_installer.h"
#include "platform/errors.h"

namespace {
// The three counts of the check in one statement: free rows, all rows, and
// grants to the group. Rights are read afresh at every action, so a change
// made in the administration window takes effect with the next action.
const char* const kCheckSql =
    "select "
    "(select count(*) from Sys_Operation_Table a where LOWER(a.Action_Name)=:Action_Name "
    "and LOWER(a.Form_Name)=:Form_Name and isControl=0) as free_rc, "
    "(select count(*) from Sys_Operation_Table a where LOWER(a.Action_Name)=:Action_Name "
    "and LOWER(a.Form_Name)=:Form_Name) as all_rc, "
    "(select count(*) from Sys_Operation_Table a, Sys_user_Operation b where LOWER(a.Action_Name)=:Action_Name "
    "and LOWER(a.Form_Name)=:Form_Name and b.User_name=:User_name and a.id=b.Action_id) as grant_rc";
}  // namespace

PermissionChecker::PermissionChecker(Database& db, const UserRecord& user)
    : m_db([&db] { return &db; }), m_user(user) {}

PermissionChecker::PermissionChecker(DataModule& data, const UserRecord& user)
    : m_db([&data] { return data.isMainOpen() ? &data.main() : nullptr; }), m_user(user) {}

bool PermissionChecker::isAllowed(const QString& actionName, const QString& formName) {
    if (m_user.UserName == builtInUser()) {
        return true;
    }
    Database* book = m_db();
    if (!book) {
        return !SchemaInstaller::shippedAsControlled(actionName, formName);
    }
    Database& db = *book;
    const std::shared_ptr<QSqlQuery> qStatement = db.prepared(QString::fromLatin1(kCheckSql));
    QSqlQuery& q = *qStatement;
    db.run(q,
           {{"Action_Name", actionName.toLower()}, {"Form_Name", formName.toLower()}, {"User_name", m_user.UserGroup}});
    bool allowed = false;
    if (q.next()) {
        const qlonglong freeRows = q.value(0).toLongLong();
        const qlonglong allRows = q.value(1).toLongLong();
        const qlonglong grants = q.value(2).toLongLong();
        allowed = freeRows > 0 || allRows == 0 || grants > 0;
    }
    q.finish();
    return allowed;
}

bool PermissionChecker::CheckActionPermission(const QString& actionName, const QString& formName) {
    if (!isAllowed(actionName, formName)) {
        if (!m_db()) {
            throw UserError(QStringLiteral("没有打开的账本，请重新登陆"));
        }
        throw UserError(refusalText());
    }
    return true;
}
