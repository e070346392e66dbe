#include "data/server_message_ahead.h"

#include <libpq-fe.h>

std::shared_ptr<ServerMessageAhead> ServerMessageAhead::send(void* connection, const QString& text) {
    auto* conn = static_cast<PGconn*>(connection);
    if (!conn || PQisBusy(conn) || PQsendQuery(conn, text.toUtf8().constData()) != 1) {
        return nullptr;
    }
    return std::shared_ptr<ServerMessageAhead>(new ServerMessageAhead(connection));
}

bool ServerMessageAhead::take(void* given) {
    auto* result = static_cast<PGresult*>(given);
    if (!result) {
        return false;
    }
    Result r;
    const ExecStatusType status = PQresultStatus(result);
    r.ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    r.commandTag = QString::fromLatin1(PQcmdStatus(result));
    if (r.ok && PQntuples(result) > 0) {
        for (int c = 0; c < PQnfields(result); ++c) {
            r.firstRow.append(PQgetisnull(result, 0, c) ? QVariant()
                                                        : QVariant(QString::fromUtf8(PQgetvalue(result, 0, c))));
        }
    }
    if (!r.ok) {
        r.error = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
    }
    PQclear(result);
    m_results.append(r);
    return true;
}

void ServerMessageAhead::finish() {
    m_lost = PQstatus(static_cast<PGconn*>(m_connection)) == CONNECTION_BAD;
    m_connection = nullptr;
}

bool ServerMessageAhead::ready() {
    auto* conn = static_cast<PGconn*>(m_connection);
    if (!conn) {
        return true;
    }
    if (PQconsumeInput(conn) != 1) {
        // The connection failed: what is left to read says so at once.
        collect();
        return true;
    }
    while (!PQisBusy(conn)) {
        if (!take(PQgetResult(conn))) {
            finish();
            return true;
        }
    }
    return false;
}

void ServerMessageAhead::collect() {
    auto* conn = static_cast<PGconn*>(m_connection);
    if (!conn) {
        return;
    }
    while (take(PQgetResult(conn))) {
    }
    finish();
}

void ServerMessageAhead::cancel() {
    auto* conn = static_cast<PGconn*>(m_connection);
    if (!conn) {
        return;
    }
    if (PGcancel* request = PQgetCancel(conn)) {
        char why[256];
        PQcancel(request, why, sizeof why);
        PQfreeCancel(request);
    }
}

void ServerMessageAhead::abandon() {
    if (m_connection) {
        m_lost = true;
        m_connection = nullptr;
    }
}
