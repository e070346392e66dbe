#include "data/server_connection.h"

#include <libpq-fe.h>

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include "data/driver_library.h"

void* ServerConnection::libpqConnection(const QSqlDriver* driver, const char* symbol, const void* ours) {
    const QVariant handle = driver ? driver->handle() : QVariant();
    // The handle's type is named after libpq's typedef or, as Qt 6 spells
    // it, after the struct behind it.
    const char* type = handle.isValid() ? handle.typeName() : nullptr;
    if (!type || (qstrcmp(type, "PGconn*") != 0 && qstrcmp(type, "pg_conn*") != 0) ||
        !DriverLibrary::resolvesLikeUs(driver, symbol, ours)) {
        return nullptr;
    }
    return *static_cast<PGconn* const*>(handle.constData());
}

namespace {
// libpq's own view of the connection, when the driver's handle may be used
// with the libpq linked here.
bool libpqSaysBad(const QSqlDatabase& db) {
    auto* connection = static_cast<PGconn*>(
        ServerConnection::libpqConnection(db.driver(), "PQstatus", reinterpret_cast<const void*>(&PQstatus)));
    return connection != nullptr && PQstatus(connection) == CONNECTION_BAD;
}
}  // namespace

bool ServerConnection::isLost(const QSqlDatabase& db, const QSqlError& error) {
    if (error.type() == QSqlError::ConnectionError) {
        return true;
    }
    const QString state = error.nativeErrorCode();
    if (state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") || state == QLatin1String("57P02") ||
        state == QLatin1String("57P03")) {
        return true;
    }
    return libpqSaysBad(db);
}
