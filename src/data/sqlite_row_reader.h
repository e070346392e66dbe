#pragma once

#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include "data/column_store.h"

class Database;

// Reads every row of a statement straight from SQLite, without the
// driver's per-value row cache: large lists load in a fraction of the time.
class SqliteRowReader {
public:
    struct Result {
        QStringList names;
        QStringList declaredTypes;  // as the columns were declared ("" for expressions)
        ColumnStore rows;
    };
    // False when the rows cannot be read directly (not an embedded book,
    // direct reads turned off for it, or a driver with its own SQLite): use
    // QSqlQuery then. Throws DbError when the statement fails.
    static bool readAll(Database& db, const QString& sql, const QVariantMap& params, Result* out);
    // The statement's column names and declared types, found by preparing
    // it on the driver's connection; no row is read. False when that
    // connection cannot be used here; throws DbError when the statement is
    // faulty.
    static bool describe(Database& db, const QString& sql, Result* out);
    // The file of the driver's connection, when that connection may be used
    // here and is outside a transaction (so another connection to the file
    // sees what it sees); empty otherwise.
    static QByteArray committedFile(Database& db);

    // Whether Qt's SQLite driver runs on the very SQLite library this program
    // links, so that its connection handle may be used here. Debian's driver
    // links the system library; Qt's own Windows and macOS builds carry a
    // copy of their own. Found out once per process.
    static bool driverSharesLibrary(Database& db);

    // The declared types of a statement's columns ("" for expressions), for
    // rows read through the driver, which does not tell them. Found on a
    // connection of this program's own to the book's file, and only when the
    // driver shares this program's SQLite: a second copy of SQLite closing
    // its own handle on the file would drop the driver's file locks. Empty
    // otherwise.
    static QStringList declaredTypes(Database& db, const QString& sql);

    // For tests: behave as with a driver that carries its own SQLite.
    static void assumeSeparateLibrary(bool on);
};
