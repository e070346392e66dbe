#include "data/server_statement.h"

#include <libpq-fe.h>

#include <QSqlDriver>

#include "data/database.h"
#include "data/server_connection.h"
#include "platform/errors.h"

void ServerStatement::requireSingle(Database& db, const QString& sql) {
    // The driver's connection is used with the libpq linked here only when
    // both are the same library.
    auto* connection = static_cast<PGconn*>(
        ServerConnection::libpqConnection(db.qdb().driver(), "PQprepare", reinterpret_cast<const void*>(&PQprepare)));
    if (!connection) {
        throw UserError(QStringLiteral("无法检查这条语句，没有执行"));
    }
    // A prepared statement holds one command at most; parsing it runs
    // nothing. The unnamed statement is replaced by the next one.
    const QByteArray text = sql.toUtf8();
    PGresult* result = PQprepare(connection, "", text.constData(), 0, nullptr);
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    const QString why = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
    PQclear(result);
    if (!ok) {
        throw UserError(QStringLiteral("语句只能是一条有效的查询语句: %1").arg(why));
    }
}
