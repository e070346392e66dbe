#pragma once

#include <QString>

// Passwords are kept as Argon2id hashes in the encoded form that carries
// its own salt and cost, so a stored value never reveals the password.
class PasswordHasher {
public:
    static QString hash(const QString& password);
    // True when `stored` is a hash of `password`. A null or empty stored
    // value (a group row) matches nothing.
    static bool verify(const QString& stored, const QString& password);
    static bool isHash(const QString& stored);
};
