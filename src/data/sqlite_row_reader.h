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
    // False when the database is not an embedded one (use QSqlQuery then);
    // throws DbError when the statement fails.
    static bool readAll(Database& db, const QString& sql, const QVariantMap& params, Result* out);
};
