#include "data/server_book_export.h"

#include <QHash>
#include <QSqlQuery>
#include <QStringList>

#include "data/database.h"
#include "data/schema_installer.h"
#include "platform/errors.h"

namespace {
// Rows fetched from the server at a time: a large table never has to fit
// in memory at once.
constexpr int kFetchRows = 5000;

// Tables the copy keeps for itself: its schema version is the program's,
// and the quotations' totals are computed from the copied rows.
bool copiedTable(const QString& name) {
    const QString n = name.toLower();
    return !n.startsWith(QLatin1String("sqlite_")) && n != QLatin1String("schema_version") &&
           n != QLatin1String("quotation_sum");
}

QStringList localTables(Database& copy) {
    QStringList out;
    QSqlQuery q = copy.query(QStringLiteral("select name from sqlite_master where type='table' order by name"));
    while (q.next()) {
        out << q.value(0).toString();
    }
    return out;
}

// The columns a row is written to (computed ones are left out).
QStringList localColumns(Database& copy, const QString& table) {
    QStringList out;
    QSqlQuery q = copy.query(QStringLiteral("PRAGMA table_info(%1)").arg(Database::checkIdentifier(table)));
    while (q.next()) {
        out << q.value(1).toString();
    }
    return out;
}

// The server's tables of the book, by lower-case name.
QHash<QString, QString> serverTables(Database& server) {
    QHash<QString, QString> out;
    QSqlQuery q = server.query(
        QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema() AND "
                       "table_type = 'BASE TABLE'"));
    while (q.next()) {
        const QString name = Database::checkIdentifier(q.value(0).toString());
        out.insert(name.toLower(), name);
    }
    return out;
}

// How each stored column of the server's tables is read, by lower-case
// table and column name: as the server writes the value as text (numbers
// exactly as stored, date-times in ISO form), bytes as they are.
QHash<QString, QHash<QString, QString>> serverReads(Database& server) {
    QHash<QString, QHash<QString, QString>> out;
    QSqlQuery q =
        server.query(QStringLiteral("SELECT table_name, column_name, data_type FROM information_schema.columns WHERE "
                                    "table_schema = current_schema() AND is_generated = 'NEVER'"));
    while (q.next()) {
        const QString column = Database::checkIdentifier(q.value(1).toString());
        const QString type = q.value(2).toString();
        QString read;
        if (type == QLatin1String("bytea")) {
            read = column;
        } else if (type == QLatin1String("numeric")) {
            // A whole number as an integer literal ("12", not "12.00"):
            // SQLite reads a decimal point as floating point, which holds
            // only 53 bits of it.
            read = QStringLiteral("CAST(CASE WHEN %1 = trunc(%1) THEN trunc(%1) ELSE %1 END AS text)").arg(column);
        } else if (type == QLatin1String("boolean")) {
            read = QStringLiteral("CAST(CAST(%1 AS integer) AS text)").arg(column);
        } else {
            read = QStringLiteral("CAST(%1 AS text)").arg(column);
        }
        out[q.value(0).toString().toLower()].insert(column.toLower(), read);
    }
    return out;
}

// One table on its way: the server's cursor over its rows and the copy's
// statement that writes them.
struct TableCopy {
    QString cursor;
    int columns = 0;
    std::shared_ptr<QSqlQuery> insert;
    bool done = false;
};

// Copies the tables' rows through a cursor each, a batch of rows at a
// time; each round fetches from every table not yet done in one round
// trip. SQLite stores each text by the column's declared type, as it
// stores what the program itself writes: whole numbers as 64-bit integers,
// so no digit is lost, other numbers as floating point, everything else as
// text.
void copyRows(Database& server, const QList<QPair<QString, QString>>& tables, Database& copy) {
    const QHash<QString, QHash<QString, QString>> reads = serverReads(server);
    std::vector<TableCopy> copies;
    QList<Database::BatchStatement> declarations;
    for (const auto& [serverTable, localTable] : tables) {
        const QHash<QString, QString> known = reads.value(serverTable.toLower());
        QStringList selects;
        QStringList columns;
        QStringList holders;
        for (const QString& column : localColumns(copy, localTable)) {
            const auto read = known.constFind(column.toLower());
            if (read == known.constEnd()) {
                continue;
            }
            selects << read.value();
            columns << Database::checkIdentifier(column);
            holders << QStringLiteral(":c%1").arg(columns.size() - 1);
        }
        if (columns.isEmpty()) {
            continue;
        }
        TableCopy table;
        table.cursor = QStringLiteral("olvend_export%1").arg(copies.size());
        table.columns = int(columns.size());
        table.insert = copy.prepared(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                         .arg(Database::checkIdentifier(localTable), columns.join(QStringLiteral(", ")),
                                              holders.join(QStringLiteral(", "))));
        declarations << Database::BatchStatement{
            QStringLiteral("DECLARE %1 NO SCROLL CURSOR FOR SELECT %2 FROM %3")
                .arg(table.cursor, selects.join(QStringLiteral(", ")), serverTable)};
        copies.push_back(std::move(table));
    }
    server.readBatch(declarations, [](int, QSqlQuery&) {});
    for (;;) {
        QList<Database::BatchStatement> fetches;
        QVector<int> fetched;
        for (int i = 0; i < int(copies.size()); ++i) {
            if (!copies[i].done) {
                fetches << Database::BatchStatement{
                    QStringLiteral("FETCH FORWARD %1 FROM %2").arg(kFetchRows).arg(copies[i].cursor)};
                fetched << i;
            }
        }
        if (fetches.isEmpty()) {
            return;
        }
        server.readBatch(fetches, [&](int k, QSqlQuery& rows) {
            TableCopy& table = copies[fetched[k]];
            int count = 0;
            while (rows.next()) {
                ++count;
                for (int i = 0; i < table.columns; ++i) {
                    table.insert->bindValue(i, rows.isNull(i) ? QVariant() : rows.value(i));
                }
                copy.runBound(*table.insert);
            }
            // A short batch is the last: the cursor has no more rows.
            table.done = count < kFetchRows;
        });
    }
}
}  // namespace

void ServerBookExport::write(Database& server, const QString& file, const QString& label) {
    if (server.isAccess()) {
        throw DbError(QStringLiteral("只有服务器账本才能这样复制"));
    }
    // A new local book with the whole schema; its own first rows go.
    SchemaInstaller::createBookFile(file, label);
    auto copy = Database::openSqlite(file, label);
    WriteTransaction local(*copy);
    // Without the totals' triggers while the rows go in; they are made
    // again, and the totals computed, at the end.
    for (const QString& statement : SchemaInstaller::blocks(*copy, QStringLiteral(":/schema/book_totals_sqlite.sql"))) {
        if (statement.startsWith(QLatin1String("DROP TRIGGER"), Qt::CaseInsensitive)) {
            copy->query(statement);
        }
    }
    const QStringList tables = localTables(*copy);
    for (const QString& table : tables) {
        if (table.toLower() != QLatin1String("schema_version")) {
            copy->execute(QStringLiteral("DELETE FROM %1").arg(Database::checkIdentifier(table)));
        }
    }

    {
        // One snapshot for every table; a read-only transaction has nothing
        // to keep, so it ends with a rollback.
        WriteTransaction snapshot(server);
        // Date-times in ISO form and floating-point numbers to their last
        // digit, whatever the server's own settings. A table another
        // session waits to lock whole (an administrator's change, a
        // restore) makes these reads wait behind it; the copy gives up
        // rather than wait for ever.
        server.readBatch(
            {QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"),
             QStringLiteral("SET LOCAL DateStyle TO ISO"), QStringLiteral("SET LOCAL extra_float_digits TO 3"),
             QStringLiteral("SET LOCAL lock_timeout TO '30s'")},
            [](int, QSqlQuery&) {});
        const int version = SchemaInstaller::storedVersion(server);
        if (version != SchemaInstaller::kBookVersion) {
            throw UserError(
                QStringLiteral("服务器账本的版本(%1)与本程序的账本版本(%2)不同，请先用本程序登录该账本再备份")
                    .arg(version)
                    .arg(SchemaInstaller::kBookVersion));
        }
        const QHash<QString, QString> onServer = serverTables(server);
        QList<QPair<QString, QString>> copied;  // server table, local table
        for (const QString& table : tables) {
            const auto source = onServer.constFind(table.toLower());
            if (copiedTable(table) && source != onServer.constEnd()) {
                copied.append({source.value(), table});
            }
        }
        copyRows(server, copied, *copy);
    }
    SchemaInstaller::installTotals(*copy);
    local.commit();
}
