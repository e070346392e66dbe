#include "data/server_row_stream.h"

#include <QAtomicInt>
#include <QSqlQuery>
#include <QSqlRecord>
#include <functional>

#include "data/database.h"
#include "data/dataset_reader.h"
#include "data/server_message_ahead.h"
#include "platform/errors.h"

namespace {
// Cursors live in the server session, which windows share: each gets a
// name of its own.
QString newCursorName() {
    static QAtomicInt last;
    return QStringLiteral("olvend_rows_%1").arg(last.fetchAndAddRelaxed(1) + 1);
}
}  // namespace

ServerRowStream::ServerRowStream(Database& db, const QString& updateTable, const QString& sql,
                                 const QVariantMap& params, const QStringList& summed, int firstRows,
                                 const QHash<QString, QString>& formats)
    : m_db(db), m_dbAlive(db.lifetime()), m_session(db.reconnectCount()), m_cursor(newCursorName()) {
    if (db.isAccess() || db.transactionDepth() > 0) {
        // A cursor declared inside a transaction would go with its rollback.
        throw UserError(QStringLiteral("列表只能在事务之外分批读取"));
    }
    const QList<FieldDef> tableFields =
        updateTable.isEmpty() ? QList<FieldDef>() : TableSchema::columns(db, updateTable);
    QString totals = QStringLiteral("select count(*)");
    for (const QString& f : summed) {
        totals += QStringLiteral(", sum(%1)").arg(Database::checkIdentifier(f));
    }
    totals += QStringLiteral(" from (%1) olvend_whole").arg(sql);
    m_summed = summed;
    // The first rows come in the first round trip: the cursor's statement
    // runs only as far as they go.
    const QList<Database::BatchStatement> batch{
        {"begin transaction isolation level repeatable read, read only"},
        {QStringLiteral("declare %1 no scroll cursor with hold for %2").arg(m_cursor, sql), params},
        {QStringLiteral("fetch forward %1 from %2").arg(qMax(1, firstRows)).arg(m_cursor)}};
    // A failed statement leaves the server's transaction open (unless the
    // connection went with it).
    auto readOrRollBack = [&db](const QList<Database::BatchStatement>& statements,
                                const std::function<void(int, QSqlQuery&)>& each) {
        auto rollBack = [&db] {
            try {
                db.execute(QStringLiteral("rollback"));
            } catch (...) {
                // Nothing more to undo.
            }
        };
        try {
            db.readBatch(statements, each);
        } catch (const DbError& e) {
            if (e.kind() != DbError::Kind::ConnectionLost) {
                rollBack();
            }
            throw;
        } catch (...) {
            // Not the server's failure (memory): its transaction still ends.
            rollBack();
            throw;
        }
    };
    int got = 0;
    readOrRollBack(batch, [&](int i, QSqlQuery& q) { readFirst(i, q, tableFields, formats, &got); });
    // The cursor lives in the session the batch ran in (opened again first,
    // when it had been lost before).
    m_session = db.reconnectCount();
    // The count and sums in the same snapshot, then the end of the
    // transaction, at which the server runs the cursor's statement to its
    // end to keep its rows: they go without waiting, while the first rows
    // show. A list that came whole needs neither count nor cursor. Either
    // way the server counts the cursor's statement as one of its own when
    // it ends.
    const bool whole = got < firstRows;
    const QList<Database::BatchStatement> rest =
        whole ? QList<Database::BatchStatement>{{QStringLiteral("close %1").arg(m_cursor)}, {"commit"}}
              : QList<Database::BatchStatement>{{totals, params}, {"commit"}};
    db.countStatement();
    const std::shared_ptr<ServerMessageAhead> sent = db.sendAhead(rest);
    if (!whole) {
        // (A list that came whole needs nothing of the answer.)
        m_ahead = sent;
    }
    if (!sent) {
        // It cannot go ahead (the driver runs on another libpq than this
        // program's, or the connection is busy): it runs now.
        readOrRollBack(rest, [&](int i, QSqlQuery& q) {
            if (i == 0 && !whole && q.next()) {
                QList<QVariant> values;
                for (int k = 0; k <= m_summed.size(); ++k) {
                    values.append(q.value(k));
                }
                takeTotals(values);
            }
        });
        m_totalsKnown = true;
    }
    if (whole) {
        m_open = false;
        m_totalsKnown = true;
        m_totals.rows = got;
    }
}

void ServerRowStream::takeTotals(const QList<QVariant>& values) {
    m_totals.rows = values.value(0).toLongLong();
    for (int k = 0; k < m_summed.size(); ++k) {
        const QVariant v = values.value(k + 1);
        if (!v.isNull()) {
            m_totals.sums.insert(m_summed[k].toLower(), v.toDouble());
        }
    }
}

bool ServerRowStream::ready() {
    return !m_ahead || m_ahead->ready();
}

bool ServerRowStream::totalsKnown() {
    if (m_ahead && m_ahead->collected()) {
        takeAhead();
    }
    return m_totalsKnown;
}

void ServerRowStream::takeAhead() {
    const std::shared_ptr<ServerMessageAhead> ahead = std::exchange(m_ahead, nullptr);
    if (!ahead) {
        return;
    }
    if (!ahead->collected()) {
        m_db.settleAhead();
    }
    const QList<ServerMessageAhead::Result>& results = ahead->results();
    // The count and sums, then the commit that keeps the cursor's rows: a
    // commit answered as a rollback kept nothing.
    const bool counted = !results.isEmpty() && results[0].ok;
    const bool kept =
        counted && results.size() >= 2 && results[1].ok && results[1].commandTag == QLatin1String("COMMIT");
    if (counted) {
        takeTotals(results[0].firstRow);
        m_totalsKnown = true;
    }
    if (kept) {
        return;
    }
    m_open = false;
    m_restLost = true;
    m_restLostWith = ahead->connectionLost();
    for (const ServerMessageAhead::Result& r : results) {
        if (!r.ok) {
            m_restLostWhy = r.error;
            break;
        }
    }
}

void ServerRowStream::readFirst(int i, QSqlQuery& q, const QList<FieldDef>& tableFields,
                                const QHash<QString, QString>& formats, int* got) {
    if (i == 1) {
        m_open = true;
    } else if (i == 2) {
        m_fields = DatasetReader::serverFields(q.record(), tableFields, formats);
        m_first = ColumnStore(static_cast<int>(m_fields.size()));
        *got = append(m_first, q);
    }
}

ServerRowStream::~ServerRowStream() {
    // Inside a transaction a failed CLOSE would spoil the caller's work;
    // the cursor then ends with the session.
    if (m_open && !m_dbAlive.expired() && m_db.transactionDepth() == 0 && m_db.reconnectCount() == m_session) {
        try {
            close();
        } catch (...) {
            // The connection is gone, and the cursor with it.
        }
    }
}

int ServerRowStream::append(ColumnStore& store, QSqlQuery& q) {
    const int n = static_cast<int>(m_fields.size());
    int got = 0;
    while (q.next()) {
        for (int i = 0; i < n; ++i) {
            store.append(i, m_fields[i].normalize(q.value(i)));
        }
        store.endRow();
        ++got;
    }
    m_read += got;
    return got;
}

int ServerRowStream::readInto(ColumnStore& store, int rows) {
    takeAhead();
    if (!m_open && !m_restLost) {
        return 0;
    }
    if (m_restLost) {
        if (m_restLostWith) {
            throw DbError(Database::connectionRestoredText(), {}, {}, DbError::Kind::ConnectionLost);
        }
        throw DbError(QStringLiteral("列表的其余行无法读取"), m_restLostWhy);
    }
    if (m_db.reconnectCount() != m_session) {
        // Another statement found the connection lost and opened it again:
        // the cursor went with the old session.
        m_open = false;
        throw DbError(Database::connectionRestoredText(), {}, {}, DbError::Kind::ConnectionLost);
    }
    rows = qMax(1, rows);
    // The part that reaches the count closes the cursor in the same round
    // trip.
    const bool last = m_read + rows >= m_totals.rows;
    QList<Database::BatchStatement> batch{{QStringLiteral("fetch forward %1 from %2").arg(rows).arg(m_cursor)}};
    if (last) {
        batch.append(Database::BatchStatement(QStringLiteral("close %1").arg(m_cursor)));
    }
    int got = 0;
    try {
        m_db.readBatch(batch, [&](int i, QSqlQuery& q) {
            if (i == 0) {
                got = append(store, q);
            }
        });
    } catch (...) {
        m_open = false;
        throw;
    }
    if (last) {
        m_open = false;
    } else if (got < rows) {
        close();
    }
    return got;
}

void ServerRowStream::close() {
    if (!m_open) {
        return;
    }
    if (m_ahead && !m_ahead->collected()) {
        // The count and the commit are still under way: called off, the
        // server ends the transaction and the cursor with it.
        m_ahead->cancel();
    }
    takeAhead();
    const bool cursorKept = !m_restLost;
    m_open = false;
    if (cursorKept) {
        m_db.execute(QStringLiteral("close %1").arg(m_cursor));
    }
}
