#pragma once

#include <QList>
#include <QString>
#include <memory>

#include "data/dataset.h"

class AppContext;
class Database;
class PermissionChecker;
class ProgressReporter;
class Prompter;
struct UserRecord;

// The rules of the users, groups and rights window: the users and groups in
// one list, a group's rights loaded into memory, granted and withdrawn, and
// written back in one transaction; adding, renaming and deleting users and
// groups with the protections of the built-in ones.
//
// Every write passes the permission check of the window's commands: rights,
// passwords and edits of saved rows need the saving right; the first write
// of a new row needs the right of the command that added it. The logged-in
// user's record follows a rename of that user or of that user's group.
class UserAdministration {
public:
    struct Right {
        int id = 0;
        QString actionName;
        QString title;
        QString formName;
        QString parentId;
        bool granted = false;
    };

    static QString builtInUser() { return QStringLiteral("超级用户"); }
    static QString systemGroup() { return QStringLiteral("管理员组"); }
    static QString formName() { return QStringLiteral("Sys_User_Operation_Frm"); }
    static QString saveAction() { return QStringLiteral("Action_SaveOperation"); }
    static QString addUserAction() { return QStringLiteral("Action_AddUser"); }
    static QString addGroupAction() { return QStringLiteral("Action_AddGroup"); }

    // Works on the context's current book for its logged-in user, checking
    // writes with `permissions` (the window's check).
    UserAdministration(AppContext& context, PermissionChecker& permissions);

    // Opens the users and shows the rights of the system group.
    void open();
    Dataset& users() { return m_users; }

    bool isGroupRow(int row) const;
    bool isGroup(const QString& name) const;
    // Moves to a user or group; false when the move did not happen because
    // pending changes could not be written and the user kept them. Pending
    // changes are written first (or, when the user may not write them and
    // agrees, dropped); a group's rights are then read afresh.
    bool select(const QString& name);
    // The current row's name as typed, and as the book holds it (empty for
    // a row being added).
    QString selectedName() const;
    QString storedName() const;
    bool selectedIsGroup() const;
    // The current row is being added (not yet written).
    bool isAdding() const;
    bool isAddingGroup() const { return isAdding() && m_addingGroup; }

    const QList<Right>& rights() const { return m_rights; }
    // The group the rights list belongs to; empty for a new group not yet
    // written (its list starts with nothing granted).
    QString rightsGroup() const { return m_rightsGroup; }
    bool rightsModified() const { return m_modified; }
    bool hasPendingChanges() const { return m_modified || m_users.hasChanges(); }
    // Flips one right; the system group's rights cannot be clicked away.
    bool toggle(int actionId);
    // Grants or withdraws every right (also for the system group, which
    // keeps the rights of this window and of opening it).
    void setAll(bool granted);
    // Writes a pending edit of the users and the shown group's rights when
    // they were changed, in one transaction.
    void save();
    // The save the user asks for: a new row without a name is refused with
    // a message and kept, with what was set for it, where moving away
    // drops it.
    void saveAsked();
    // Forgets pending edits: a row being added is dropped, an edited row
    // goes back to what is stored, the rights are read again.
    void discardPending();

    // A new user under a saved group, or a new group; the name is typed next.
    // False when pending changes were kept (nothing added).
    bool addUser(const QString& groupName);
    bool addGroup();
    // Writes the row being added or edited. A new row without a name is
    // dropped. A renamed group takes its users and rights along.
    void postUser();
    // Deletes the selected user or group after the confirmation; false when
    // it is protected, still has users, or the user says no. The rights of
    // the group that is current afterwards are loaded.
    bool deleteSelected();
    // Stores a new password for a user (hashed). For the user being added,
    // the row is written with it.
    void setPassword(const QString& userName, const QString& password);
    // The password a user being added gets when the row is written; without
    // one the new user logs in with an empty password.
    void setNewUserPassword(const QString& password) { m_newUserPassword = password; }

    bool canEditUserName(const QString& name) const { return name != builtInUser(); }
    bool canEditGroupName(const QString& name) const { return name != systemGroup(); }

    // Whether the user may write what is pending (rights, a user edit).
    bool mayWritePending() const;

private:
    void require(const QString& action) const;
    bool rightsOnShowAreTheRowsOwn() const;
    // Writes or, with the user's consent, drops what is pending before the
    // cursor moves; false when the user keeps the changes.
    bool settlePending();
    void writeRights();
    void loadRights(const QString& group);
    void loadCurrentRights();
    void showEmptyRights();
    bool keptForSystemGroup(const Right& right) const;

    Database& m_db;
    Prompter& m_prompter;
    ProgressReporter& m_progress;
    PermissionChecker& m_permissions;
    UserRecord& m_currentUser;
    Dataset m_users;
    QList<Right> m_rights;
    QString m_rightsGroup;
    bool m_modified = false;
    bool m_addingGroup = false;
    QString m_newUserPassword;
    QString m_addedFrom;  // the row that was current when a row was added
    // Lives as long as this object: the undo steps given to a transaction
    // do nothing once it is gone.
    std::shared_ptr<int> m_life = std::make_shared<int>(0);
};
