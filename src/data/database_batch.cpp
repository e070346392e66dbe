#include <QSqlQuery>
#include <algorithm>
#include <optional>

#include "data/database.h"
#include "data/server_literals.h"

// Writes of many rows: one round trip per batch on a server, where each
// statement sent on its own would wait for the network.

namespace {
// A batch stays well below what a server takes in one message, and small
// enough that a failure names its statement without much to send again.
constexpr int kBatchStatements = 500;
constexpr qsizetype kBatchChars = 1 << 20;
}  // namespace

QVariantMap Database::dbValues(const QVariantMap& params) const {
    QVariantMap values;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        values.insert(it.key(), m_dialect->toDbValue(it.value()));
    }
    return values;
}

QVector<Database::BatchOutcome> Database::executeBatch(const QList<BatchStatement>& statements, int* failedAt) {
    QVector<BatchOutcome> outcomes(statements.size());
    if (failedAt) {
        *failedAt = -1;
    }
    if (isAccess()) {
        for (int i = 0; i < statements.size(); ++i) {
            const BatchStatement& s = statements[i];
            const std::shared_ptr<QSqlQuery> q = prepared(s.sql);
            try {
                run(*q, s.params);
            } catch (...) {
                if (failedAt) {
                    *failedAt = i;
                }
                throw;
            }
            outcomes[i].changed = q->numRowsAffected();
            if (s.returnsKey) {
                outcomes[i].key = q->lastInsertId();
            }
            q->finish();
        }
        return outcomes;
    }
    checkConnection();
    // The batches of a write stand or fall together.
    std::optional<WriteTransaction> tx;
    if (m_depth == 0) {
        tx.emplace(*this);
    }
    int first = 0;
    while (first < statements.size()) {
        QString text;
        int end = first;
        while (end < statements.size() && end - first < kBatchStatements &&
               (end == first || text.size() < kBatchChars)) {
            if (end > first) {
                text += QStringLiteral(";\n");
            }
            text += ServerLiterals::inlined(statements[end].sql, dbValues(statements[end].params));
            ++end;
        }
        QSqlQuery q(qdb());
        // Every result of the batch is read at once: one for each statement.
        q.setForwardOnly(false);
        count(end - first, 1);
        bool ok = sendWithDeferred(q, text);
        int at = first;
        bool sendAgain = false;
        for (;;) {
            if (!ok) {
                const QSqlError failed = q.lastError();
                // A batch that began the transaction went with a lost
                // connection before anything of it ran: it is sent again.
                if (recoverLostConnection(failed, false, false)) {
                    sendAgain = true;
                    break;
                }
                if (failedAt) {
                    // No row of the batch to name when one sent ahead failed.
                    *failedAt = m_deferredFailedAt >= 0 ? -1 : at;
                }
                throw failure(failed, statements[at].sql);
            }
            outcomes[at].changed = q.numRowsAffected();
            if (statements[at].returnsKey && q.isSelect() && q.next()) {
                outcomes[at].key = q.value(0);
            }
            if (++at == end) {
                break;
            }
            ok = q.nextResult();
        }
        if (!sendAgain) {
            first = end;
        }
    }
    if (tx) {
        tx->commit();
    }
    return outcomes;
}

void Database::readBatch(const QList<BatchStatement>& statements, const std::function<void(int, QSqlQuery&)>& each) {
    if (statements.isEmpty()) {
        return;
    }
    if (isAccess()) {
        for (int i = 0; i < statements.size(); ++i) {
            QSqlQuery q = query(statements[i].sql, statements[i].params);
            each(i, q);
        }
        return;
    }
    checkConnection();
    QStringList texts;
    for (const BatchStatement& s : statements) {
        texts << ServerLiterals::inlined(s.sql, dbValues(s.params));
    }
    // Reads outside a transaction may be sent again on a reopened
    // connection, as long as none of their results was handed on.
    const bool reading = m_depth == 0 && std::all_of(statements.cbegin(), statements.cend(),
                                                     [](const BatchStatement& s) { return isReadStatement(s.sql); });
    bool mayRetry = reading;
    for (;;) {
        QSqlQuery q(qdb());
        q.setForwardOnly(false);
        count(statements.size(), 1);
        bool ok = sendWithDeferred(q, texts.join(QStringLiteral(";\n")));
        if (!ok && mayRetry) {
            const QSqlError failed = q.lastError();
            mayRetry = false;
            if (recoverLostConnection(failed, true, reading)) {
                continue;
            }
            throw failure(failed, statements.first().sql);
        }
        for (int at = 0;;) {
            if (!ok) {
                const QSqlError failed = q.lastError();
                if (at > 0) {
                    // Results were handed on: the batch is never sent again.
                    m_inFlight.clear();
                }
                if (recoverLostConnection(failed, false, reading)) {
                    // The message that began the transaction was lost
                    // before any of it ran: it is sent again.
                    break;
                }
                throw failure(failed, statements[at].sql);
            }
            each(at, q);
            if (++at == statements.size()) {
                return;
            }
            ok = q.nextResult();
        }
    }
}
