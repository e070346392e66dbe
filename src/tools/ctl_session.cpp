#include "tools/ctl_session.h"

#include <QSqlQuery>

#include "data/account_books.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "data/first_start.h"
#include "data/permission_checker.h"
#include "platform/errors.h"

CtlSession::CtlSession(AppContext& context, QTextStream& out, QTextStream& err)
    : m_context(context), m_out(out), m_err(err) {}

void CtlSession::openBook(const QString& name) {
    if (FirstStart::isNeeded(m_context)) {
        throw UserError(QStringLiteral("程序目录尚未初始化，请先运行 olvendctl init"));
    }
    if (!name.isEmpty()) {
        const auto row = AccountBooks(m_context.data().openSystem()).findByNameOrId(name);
        if (!row) {
            throw UserError(QStringLiteral("找不到账本: %1").arg(name));
        }
        m_context.SettingsFile.setString("DB", "Path", row->FilePath);
        m_context.CurrentAccountBook = {row->ID, row->AccountBookName, row->FilePath, row->Type};
    }
    m_context.data().ConnectDatabases();
}

void CtlSession::becomeActingUser() {
    QString name = m_userName;
    if (name.isEmpty()) {
        name = m_context.SettingsFile.readString("DefaultSetting", "Username");
    }
    if (name.isEmpty()) {
        name = QStringLiteral("admin");
    }
    QSqlQuery q = m_context.data().main().query(
        "select user_name, password, User_Group from sys_user where user_name=:user_name", {{"user_name", name}});
    if (!q.next()) {
        throw UserError(QStringLiteral("找不到用户: %1（用 --user 指定操作员）").arg(name));
    }
    m_context.CurrentUser = {q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
}

bool CtlSession::actingUserMay(const QString& action, const QString& form) {
    becomeActingUser();
    return allowed(action, form);
}

bool CtlSession::allowed(const QString& action, const QString& form) {
    if (PermissionChecker(m_context.data().main(), m_context.CurrentUser).isAllowed(action, form)) {
        return true;
    }
    m_err << PermissionChecker::refusalText() << Qt::endl;
    return false;
}

bool CtlSession::flushMessages() {
    bool failed = false;
    for (const ScriptedPrompter::Message& m : m_prompter.messages()) {
        m_err << m.text << Qt::endl;
        failed = failed || m.kind == Prompter::Kind::Error;
    }
    m_prompter.clear();
    return failed;
}
