#pragma once

#include <QVariantMap>

#include "data/sqlite_row_reader.h"

class Database;

// Reads every row of a statement on two cores: a thread of its own steps
// through the statement on a read-only connection of its own to the book's
// file and hands the values over in batches, while the calling thread keeps
// them in the rows. A long list is read in about the time of the slower of
// the two halves instead of their sum.
//
// Only for what is committed: while the calling connection is inside a
// transaction, its own uncommitted writes would not be seen, so the rows
// are read the usual way then.
class SqliteParallelReader {
public:
    // False when the rows cannot be read this way (see
    // SqliteRowReader::readAll, and: a book without a file, a connection
    // inside a transaction, a second connection to the file refused):
    // read them another way then. Throws DbError when the statement fails.
    static bool readAll(Database& db, const QString& sql, const QVariantMap& params, SqliteRowReader::Result* out);
};
