#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

#include "data/column_store.h"
#include "data/field_def.h"

class Database;
class QSqlQuery;
class ServerMessageAhead;

// The rows of a server statement read a part at a time through a cursor
// held past its transaction. The parts together are the rows as they were
// when the cursor opened, and between parts the connection is free for
// other statements (a held cursor locks nothing). A long list so shows its
// first rows after one round trip instead of after all its bytes crossed
// the network.
class ServerRowStream {
public:
    // What the whole statement gives, counted on the server when the cursor
    // opened: its rows, and the sums of the columns asked for (by lower-case
    // name; a null sum has no entry).
    struct Totals {
        qint64 rows = 0;
        QHash<QString, double> sums;
    };

    // Opens the cursor outside any transaction and reads the first
    // `firstRows` rows in one round trip; the totals, of the same snapshot,
    // follow without being waited for (totalsKnown()). Columns of
    // `updateTable` take that table's definitions (as DatasetReader does);
    // `formats` are display formats by lower-case column name.
    ServerRowStream(Database& db, const QString& updateTable, const QString& sql, const QVariantMap& params,
                    const QStringList& summed, int firstRows, const QHash<QString, QString>& formats);
    // Closes the cursor if it is still open; never throws.
    ~ServerRowStream();
    ServerRowStream(const ServerRowStream&) = delete;
    ServerRowStream& operator=(const ServerRowStream&) = delete;

    const QList<FieldDef>& fields() const { return m_fields; }
    // The totals once known (totalsKnown()).
    const Totals& totals() const { return m_totals; }
    // Whether the totals have come (never waits).
    bool totalsKnown();
    // Whether the next part can be read without waiting for the server to
    // finish the statement (never waits).
    bool ready();
    // The rows read so far; later parts are appended to the store taken.
    ColumnStore takeRows() { return std::move(m_first); }
    qint64 rowsRead() const { return m_read; }
    bool atEnd() const { return !m_open; }

    // Appends up to `rows` more rows to `store`, normalized to their
    // columns, and returns how many came; the cursor closes with the last
    // part. A failure (a lost connection) leaves the stream at its end and
    // the rows appended before it in the store.
    int readInto(ColumnStore& store, int rows);
    // Closes the cursor now (one round trip).
    void close();

private:
    // Takes the `i`-th result of the opening batch.
    void readFirst(int i, QSqlQuery& q, const QList<FieldDef>& tableFields, const QHash<QString, QString>& formats,
                   int* got);
    // The count and the sums, in the order of `m_summed`.
    void takeTotals(const QList<QVariant>& values);
    // Takes the answer to the totals and the commit (waiting for it); when
    // the commit kept no rows the stream ends, and the next part says why.
    void takeAhead();
    int append(ColumnStore& store, QSqlQuery& q);

    Database& m_db;
    std::weak_ptr<const void> m_dbAlive;
    // The session the cursor lives in: a reopened connection has lost it.
    int m_session = 0;
    QString m_cursor;
    QList<FieldDef> m_fields;
    Totals m_totals;
    bool m_totalsKnown = false;
    QStringList m_summed;
    std::shared_ptr<ServerMessageAhead> m_ahead;
    // The rest of the rows was lost at the commit (with the connection, or
    // for the server's reason).
    bool m_restLost = false;
    bool m_restLostWith = false;
    QString m_restLostWhy;
    ColumnStore m_first;
    qint64 m_read = 0;
    bool m_open = false;
};
