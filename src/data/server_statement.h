#pragma once

#include <QString>

class Database;

// Statements a user typed for a server book.
class ServerStatement {
public:
    // Has the server parse `sql` without running it and throws UserError
    // unless it is exactly one valid statement. A statement string sent as
    // it stands may hold several ("select 1; commit; delete ..."), which
    // would step out of any transaction the caller opened around it.
    static void requireSingle(Database& db, const QString& sql);
};
