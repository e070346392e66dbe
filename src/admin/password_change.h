#pragma once

#include <QString>

class AppContext;

// The logged-in user's new password: both entries must match exactly; the
// old password is not asked for; an empty password is allowed.
class PasswordChange {
public:
    explicit PasswordChange(AppContext& context) : m_context(context) {}

    static QString mismatchText() { return QStringLiteral("两次输入的密码不相符，请重新输入"); }
    // Stores the password (hashed) and returns true; false when the entries
    // differ.
    bool apply(const QString& newPassword, const QString& repeated);

private:
    AppContext& m_context;
};
