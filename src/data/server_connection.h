#pragma once

class QSqlDatabase;
class QSqlDriver;
class QSqlError;

// Tells a connection to a PostgreSQL server that is gone (the server was
// restarted, the network dropped, an administrator ended the session) from
// a statement that merely failed.
class ServerConnection {
public:
    // True when `error` says the connection itself failed: SQLSTATE class 08
    // (connection exception), 57P01-57P03 (the server shut the session
    // down), or libpq reports the connection as bad.
    static bool isLost(const QSqlDatabase& db, const QSqlError& error);
    // The driver's libpq connection (a PGconn*), or null when the driver has
    // none or uses another libpq than the one linked here (checked by where
    // `symbol` resolves, against `ours`, this program's copy of it).
    static void* libpqConnection(const QSqlDriver* driver, const char* symbol, const void* ours);
};
