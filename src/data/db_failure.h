#pragma once

#include <QString>

#include "platform/errors.h"

// What a statement the database refused means, and what the user is told
// about it: pure functions of the codes and texts a database gives, so that
// every kind of failure can be checked without producing it.
class DbFailure {
public:
    // The kind of failure, from the SQLSTATE of a server or the (extended)
    // result code of SQLite (`embedded`); `systemErrno` is the system's
    // error behind an I/O failure of SQLite, 0 when unknown.
    static DbError::Kind classify(bool embedded, const QString& nativeCode, const QString& databaseText,
                                  int systemErrno);
    // The message for a failure of that kind. `where` names the database
    // ("账本[默认帐册]"), `file` its file or the server's address.
    static QString userText(DbError::Kind kind, const QString& where, const QString& file);
    // The column a unique index refused, as the driver's text names it, or
    // empty.
    static QString failedColumn(const QString& driverText);
};
