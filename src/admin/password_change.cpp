#include "admin/password_change.h"

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/user_accounts.h"
#include "platform/errors.h"

bool PasswordChange::apply(const QString& newPassword, const QString& repeated) {
    if (newPassword != repeated) {
        return false;
    }
    const QString user = m_context.CurrentUser.UserName;
    if (!UserAccounts::setPassword(m_context.data().main(), user, newPassword)) {
        throw UserError(QStringLiteral("找不到用户: %1").arg(user));
    }
    return true;
}
