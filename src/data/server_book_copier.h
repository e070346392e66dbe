#pragma once

#include <QString>

class Database;

// Copies an account book on the server kind: the schema `from` into a new
// schema `to` of the same database, tables with their keys, indexes,
// defaults and rows, each auto-numbered key continuing after the copied
// rows, and the saved queries made again in the new schema.
class ServerBookCopier {
public:
    // Runs on `db` inside the transaction the caller holds open, so that a
    // failure at any step leaves no schema behind when it rolls back. Both
    // names are the program's own (checked as identifiers); `to` must not
    // exist yet.
    static void copy(Database& db, const QString& from, const QString& to);
    static bool schemaExists(Database& db, const QString& name);
};
