#include <libpq-fe.h>

#include <QSqlDriver>
#include <QSqlQuery>

#include "data/database.h"
#include "data/server_connection.h"
#include "data/server_literals.h"
#include "data/server_message_ahead.h"

// Transactions: levels as savepoints, what runs when they end, and on a
// server the control statements that wait to go with the next statement.

void Database::executeWithNext(const QString& sql, const QVariantMap& params) {
    if (isAccess() || m_depth == 0) {
        const std::shared_ptr<QSqlQuery> q = prepared(sql);
        run(*q, params);
        q->finish();
        return;
    }
    checkConnection();
    m_deferred.append(ServerLiterals::inlined(sql, dbValues(params)));
}

void Database::beginWrite() {
    if (isAccess()) {
        if (m_depth == 0) {
            // Nothing has run yet: a lost connection may be reopened first.
            rawExec(m_dialect->beginWriteStatement(), /*mayRetry=*/true);
        } else {
            const QString name = QStringLiteral("olvend_sp%1").arg(++m_savepointSerial);
            rawExec(QStringLiteral("SAVEPOINT ") + name);
            m_savepoints.append(name);
        }
    } else if (m_depth == 0) {
        checkConnection();
        m_deferred = QStringList{m_dialect->beginWriteStatement()};
        m_beginSentAgain = false;
        m_savepoints.clear();
    } else {
        const QString name = QStringLiteral("olvend_sp%1").arg(++m_savepointSerial);
        m_deferred.append(QStringLiteral("SAVEPOINT ") + name);
        m_savepoints.append(name);
    }
    ++m_depth;
}

std::shared_ptr<ServerMessageAhead> Database::sendAhead(const QList<BatchStatement>& statements) {
    if (isAccess() || m_depth > 0 || !m_deferred.isEmpty() || statements.isEmpty()) {
        return nullptr;
    }
    checkConnection();
    auto* connection = static_cast<PGconn*>(
        ServerConnection::libpqConnection(qdb().driver(), "PQsendQuery", reinterpret_cast<const void*>(&PQsendQuery)));
    QStringList texts;
    for (const BatchStatement& s : statements) {
        texts << ServerLiterals::inlined(s.sql, dbValues(s.params));
    }
    std::shared_ptr<ServerMessageAhead> sent = ServerMessageAhead::send(connection, texts.join(QStringLiteral(";\n")));
    if (sent) {
        count(statements.size(), 1);
        m_ahead = sent;
    }
    return sent;
}

void Database::settleAhead() const {
    if (!m_ahead) {
        return;
    }
    const std::shared_ptr<ServerMessageAhead> ahead = std::exchange(m_ahead, nullptr);
    ahead->collect();
    if (ahead->connectionLost()) {
        m_aheadLost = true;
        return;
    }
    // A statement of the message that failed left the rest of it unrun,
    // the end of its transaction among them: that transaction ends here, so
    // that what follows runs on its own.
    auto* connection = static_cast<PGconn*>(ServerConnection::libpqConnection(
        QSqlDatabase::database(m_connectionName, false).driver(), "PQexec", reinterpret_cast<const void*>(&PQexec)));
    if (connection && m_depth == 0 && PQtransactionStatus(connection) != PQTRANS_IDLE) {
        count(1, 1);
        PQclear(PQexec(connection, "ROLLBACK"));
    }
}

int Database::serverTransactionStatus() const {
    auto* connection = static_cast<PGconn*>(ServerConnection::libpqConnection(
        qdb().driver(), "PQtransactionStatus", reinterpret_cast<const void*>(&PQtransactionStatus)));
    return connection ? int(PQtransactionStatus(connection)) : -1;
}

bool Database::sendWithDeferred(QSqlQuery& q, const QString& text) {
    m_inFlight = std::exchange(m_deferred, {});
    m_deferredFailedAt = -1;
    if (m_inFlight.isEmpty()) {
        return q.exec(text);
    }
    count(m_inFlight.size(), 0);
    bool ok = q.exec(m_inFlight.join(QStringLiteral(";\n")) + QStringLiteral(";\n") + text);
    // The first result is the first statement's; each nextResult() the next.
    qsizetype at = 0;
    while (ok && at < m_inFlight.size()) {
        ok = q.nextResult();
        ++at;
    }
    if (!ok && at < m_inFlight.size()) {
        // One of those ahead failed; or, as with a statement the server
        // could not parse, nothing of the message ran.
        m_deferredFailedAt = at;
    }
    return ok;
}

void Database::noteFailedMessage() {
    if (m_deferredFailedAt < 0 || m_depth == 0) {
        return;
    }
    m_failedLevel = 1;
    if (serverTransactionStatus() == PQTRANS_IDLE) {
        // The message that was to begin the transaction ran nothing: what
        // follows until the rollback still runs in one, never on its own.
        m_deferred = QStringList{m_dialect->beginWriteStatement()};
    }
}

void Database::commit() {
    if (m_depth <= 0) {
        return;
    }
    if (m_transactionLost) {
        rollback();
        throw lostError();
    }
    if (m_failedLevel >= m_depth) {
        // A statement of this level failed: nothing of it is kept.
        rollback();
        throw error(QStringLiteral("保存失败：其中一步没有执行成功，这次的修改都已撤销"), QString());
    }
    const int level = m_depth--;
    if (m_depth > 0) {
        const QString savepoint = QStringLiteral("SAVEPOINT ") + m_savepoints.takeLast();
        if (isAccess()) {
            rawExec(QStringLiteral("RELEASE ") + savepoint);
        } else if (!m_deferred.isEmpty() && m_deferred.last() == savepoint) {
            // Nothing ran inside it: it need not reach the server at all.
            m_deferred.removeLast();
        } else {
            m_deferred.append(QStringLiteral("RELEASE ") + savepoint);
        }
        for (Pending& p : m_pending) {
            if (p.level == level) {
                p.level = m_depth;
            }
        }
        return;
    }
    if (m_deferred == QStringList{m_dialect->beginWriteStatement()}) {
        // Nothing was written: there is no transaction on the server to end.
        m_deferred.clear();
        finishCommitted();
        return;
    }
    try {
        // With the releases still waiting, in one message.
        QString tag;
        rawExec("COMMIT", false, &tag);
        if (tag == QLatin1String("ROLLBACK")) {
            // The server held the transaction as failed (a statement failed
            // after the rows it had sent were taken as all of them).
            throw error(QStringLiteral("保存失败：其中一步没有执行成功，这次的修改都已撤销"), QString());
        }
    } catch (...) {
        try {
            rawExec("ROLLBACK");
        } catch (...) {
        }
        undoFrom(level);
        throw;
    }
    finishCommitted();
}

void Database::rollback() {
    if (m_depth <= 0) {
        return;
    }
    const int level = m_depth--;
    if (m_failedLevel >= level) {
        m_failedLevel = 0;
    }
    const QString savepoint = m_depth > 0 ? m_savepoints.takeLast() : QString();
    // What was done in memory is undone even when the server cannot be told.
    struct UndoOnExit {
        Database* db;
        int level;
        ~UndoOnExit() { db->undoFrom(level); }
    } undo{this, level};
    if (m_transactionLost) {
        // The server ended the transaction with the lost connection; the
        // reopened one has none to roll back.
        if (m_depth == 0) {
            m_transactionLost = false;
            m_deferred.clear();
        }
        return;
    }
    if (!isAccess()) {
        const QString opened =
            m_depth == 0 ? m_dialect->beginWriteStatement() : QStringLiteral("SAVEPOINT ") + savepoint;
        if (const qsizetype at = m_deferred.indexOf(opened); at >= 0) {
            // Nothing of this level reached the server: nothing to undo there.
            m_deferred.resize(at);
            return;
        }
        // What waits is the release of savepoints inside this level, which
        // the rollback drops anyway.
        m_deferred.clear();
    }
    if (m_depth == 0) {
        rawExec("ROLLBACK");
    } else {
        if (!isAccess()) {
            m_deferred.append(QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepoint);
        } else {
            rawExec(QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepoint);
        }
        rawExec(QStringLiteral("RELEASE SAVEPOINT ") + savepoint);
    }
}

void Database::whenTransactionEnds(std::function<void()> committed, std::function<void()> rolledBack) {
    if (m_depth == 0) {
        if (committed) {
            committed();
        }
        return;
    }
    m_pending.push_back({m_depth, std::move(committed), std::move(rolledBack)});
}

void Database::undoFrom(int level) {
    while (!m_pending.empty() && m_pending.back().level >= level) {
        const std::function<void()> undo = std::move(m_pending.back().rolledBack);
        m_pending.pop_back();
        if (undo) {
            try {
                undo();
            } catch (...) {
                // Undoing runs while an error unwinds; that error is the one
                // the caller reports.
            }
        }
    }
}

void Database::finishCommitted() {
    std::vector<Pending> done;
    done.swap(m_pending);
    std::exception_ptr first;
    for (Pending& p : done) {
        if (!p.committed) {
            continue;
        }
        try {
            p.committed();
        } catch (...) {
            if (!first) {
                first = std::current_exception();
            }
        }
    }
    if (first) {
        std::rethrow_exception(first);
    }
}

WriteTransaction::~WriteTransaction() {
    if (!m_done) {
        try {
            m_db.rollback();
        } catch (...) {
            // The original error is what the caller reports.
        }
    }
}

void WriteTransaction::commit() {
    m_done = true;
    m_db.commit();
}
