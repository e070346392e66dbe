#include "data/server_row_stream.h"

#include <QAtomicInt>
#include <QSqlQuery>
#include <QSqlRecord>

#include "data/database.h"
#include "data/dataset_reader.h"
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
    // One snapshot for the cursor, the count and the sums: they see the
    // same rows whatever other workstations commit meanwhile. The cursor
    // keeps its rows when the transaction ends.
    const QList<Database::BatchStatement> batch{
        {"begin transaction isolation level repeatable read, read only"},
        {QStringLiteral("declare %1 no scroll cursor with hold for %2").arg(m_cursor, sql), params},
        {totals, params},
        {QStringLiteral("fetch forward %1 from %2").arg(qMax(1, firstRows)).arg(m_cursor)},
        {"commit"}};
    int got = 0;
    try {
        db.readBatch(batch, [&](int i, QSqlQuery& q) { readFirst(i, q, summed, tableFields, formats, &got); });
    } catch (const DbError& e) {
        // The server left the failed transaction open (unless the
        // connection went with it).
        if (e.kind() != DbError::Kind::ConnectionLost) {
            try {
                db.execute(QStringLiteral("rollback"));
            } catch (...) {
                // Nothing more to undo.
            }
        }
        throw;
    }
    // The cursor lives in the session the batch ran in (opened again first,
    // when it had been lost before).
    m_session = db.reconnectCount();
    // When the transaction ends the server runs the cursor's statement to
    // its end, to keep its rows: a statement of its own.
    db.countStatement();
    if (got < firstRows || m_read >= m_totals.rows) {
        close();
    }
}

void ServerRowStream::readFirst(int i, QSqlQuery& q, const QStringList& summed, const QList<FieldDef>& tableFields,
                                const QHash<QString, QString>& formats, int* got) {
    if (i == 1) {
        m_open = true;
    } else if (i == 2 && q.next()) {
        m_totals.rows = q.value(0).toLongLong();
        for (int k = 0; k < summed.size(); ++k) {
            if (!q.value(k + 1).isNull()) {
                m_totals.sums.insert(summed[k].toLower(), q.value(k + 1).toDouble());
            }
        }
    } else if (i == 3) {
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
    if (!m_open) {
        return 0;
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
    m_open = false;
    m_db.execute(QStringLiteral("close %1").arg(m_cursor));
}
