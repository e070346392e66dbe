#pragma once

#include <QString>
#include <functional>

class Database;
class DataModule;
struct UserRecord;

// Decides whether the logged-in user may run an action of a window. The
// built-in user may run everything; an action that is not listed, or listed
// as free, is open to all; otherwise the user's group must hold a grant.
// While no book is open (a switch of book failed), the actions a new book
// leaves free still run, so that the user can log in again; the others are
// refused.
class PermissionChecker {
public:
    static QString builtInUser() { return QStringLiteral("超级用户"); }
    static QString refusalText() { return QStringLiteral("对不起，您没有该功能的操作权限，详情请询问管理员。"); }

    PermissionChecker(Database& db, const UserRecord& user);
    // Follows the data module's current book, for windows that outlive a
    // switch of book (the main window).
    PermissionChecker(DataModule& data, const UserRecord& user);

    // True when allowed; throws UserError with the refusal text when not.
    // Names are compared without regard to letter case.
    bool CheckActionPermission(const QString& actionName, const QString& formName);
    // The same answer without throwing.
    bool isAllowed(const QString& actionName, const QString& formName);

private:
    // The book the rights are read from; null while no book is open.
    std::function<Database*()> m_db;
    const UserRecord& m_user;
};
