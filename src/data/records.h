#pragma once

#include <QString>

// The logged-in user; empty until a successful log-in.
struct UserRecord {
    QString UserName;
    QString Password;  // the stored hash, never the typed text
    QString UserGroup;
};

// The account book in use.
struct AccountBookRecord {
    int BookID = 0;
    QString BookName;
    QString BookFilePath;
    int BookType = 0;
};

// The program's identity and database kind.
struct SoftwareInfoRecord {
    QString ProductName;
    bool IsAccess = true;  // true: embedded SQLite books; false: one server database
    QString Version;
    QString Title;
};
