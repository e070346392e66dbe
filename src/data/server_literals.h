#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

// Statements for a PostgreSQL server with their values written in as
// literals, so that each runs in one round trip: a statement the driver
// prepares costs three (prepare, execute, deallocate), and the values of
// its EXECUTE are sent as literals all the same. Strings are quoted with their quotes
// doubled; the session keeps standard_conforming_strings on, so a backslash
// is an ordinary character.
class ServerLiterals {
public:
    // `sql` with every `:name` outside quotes, comments and `::` casts
    // replaced by the literal of params[name] (keys with or without the
    // colon); a name without a value becomes NULL.
    static QString inlined(const QString& sql, const QVariantMap& params);
    // The same for values given by position: each `?`, and each name the
    // first time it appears, takes the next value.
    static QString inlinedInOrder(const QString& sql, const QVariantList& values);
    // The literal a value is written as: NULL, TRUE/FALSE, or quoted (a
    // number too, so that it takes its type from where it stands; byte
    // arrays in PostgreSQL's hex form). Text holding a NUL character is
    // refused (UserError).
    static QString literal(const QVariant& value);
    // Whether a value is what the database stores as NULL (a null string,
    // an invalid date, ...).
    static bool isNull(const QVariant& value);
};
