#pragma once

#include <QList>
#include <QString>

#include "data/dataset.h"

class Database;
class Prompter;

// The rules of the users, groups and rights window: the users and groups in
// one list, a group's rights loaded into memory, granted and withdrawn, and
// written back in one transaction; adding, renaming and deleting users and
// groups with the protections of the built-in ones.
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

    UserAdministration(Database& db, Prompter& prompter);

    // Opens the users and shows the rights of the system group.
    void open();
    Dataset& users() { return m_users; }

    bool isGroupRow(int row) const;
    bool isGroup(const QString& name) const;
    // Moves to a user or group. For a group, pending rights of the group
    // shown before are saved first, then the group's rights are loaded.
    void select(const QString& name);
    QString selectedName() const;

    const QList<Right>& rights() const { return m_rights; }
    QString rightsGroup() const { return m_rightsGroup; }
    bool rightsModified() const { return m_modified; }
    // Flips one right; the system group's rights cannot be clicked away.
    bool toggle(int actionId);
    // Grants or withdraws every right (also for the system group).
    void setAll(bool granted);
    // Writes the shown group's rights when they were changed, and a pending
    // edit of the users.
    void save();

    // A new user under a group, or a new group; the name is typed next.
    void addUser(const QString& groupName);
    void addGroup();
    // Writes the row being added or edited. A new row without a name is
    // dropped. A renamed group takes its users and rights along.
    void postUser();
    // Deletes the selected user or group after the confirmation; false when
    // it is protected, still has users, or the user says no.
    bool deleteSelected();
    // Stores a new password for a user (hashed).
    void setPassword(const QString& userName, const QString& password);

    bool canEditUserName(const QString& name) const { return name != builtInUser(); }
    bool canEditGroupName(const QString& name) const { return name != systemGroup(); }

private:
    void loadRights(const QString& group);

    Database& m_db;
    Prompter& m_prompter;
    Dataset m_users;
    QList<Right> m_rights;
    QString m_rightsGroup;
    bool m_modified = false;
};
