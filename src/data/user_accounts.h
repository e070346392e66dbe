#pragma once

#include <QString>
#include <optional>

#include "data/records.h"

class Database;

// Users' passwords in an account book: checking a log-in, setting a new
// password, and hashing any passwords that a book still holds as text.
class UserAccounts {
public:
    // The Sys_user row named exactly `userName` whose password is exactly
    // `password` (hashed, or still as text in an older book), or nothing.
    // Never writes.
    static std::optional<UserRecord> verifyLogin(Database& db, const QString& userName, const QString& password);
    // Stores `password` as the hash for the row named `userName`; false when
    // there is no such row.
    static bool setPassword(Database& db, const QString& userName, const QString& password);
    // Replaces every plain-text password with its hash, in one transaction.
    // Returns how many were replaced.
    static int migratePlainPasswords(Database& db);
};
