#include "data/server_book_import.h"

#include <algorithm>

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStringList>

#include "data/database.h"
#include "data/name_initials.h"
#include "data/schema_installer.h"
#include "platform/errors.h"

namespace {
// Values sent in one statement, so that a large table does not cost a
// round trip to the server per row.
constexpr int kValuesPerStatement = 1000;
// How long the restore waits for other workstations' transactions on the
// book's tables before it gives up.
constexpr const char* kLockTimeout = "10s";

// Tables the program keeps for itself: the schema's version stays the
// book's, and the quotations' totals are computed from the restored rows.
bool restoredTable(const QString& name) {
    const QString n = name.toLower();
    return n != QLatin1String("schema_version") && n != QLatin1String("quotation_sum");
}

QStringList names(Database& db, const QString& sql, const QVariantMap& params = {}) {
    QStringList out;
    QSqlQuery q = db.query(sql, params);
    while (q.next()) {
        out << Database::checkIdentifier(q.value(0).toString());
    }
    return out;
}

// The file's tables by lower-case name.
QHash<QString, QString> fileTables(Database& file) {
    QHash<QString, QString> out;
    QSqlQuery q = file.query(QStringLiteral("select name from sqlite_master where type='table'"));
    while (q.next()) {
        out.insert(q.value(0).toString().toLower(), q.value(0).toString());
    }
    return out;
}

QStringList fileColumns(Database& file, const QString& table) {
    QStringList out;
    QSqlQuery q = file.query(QStringLiteral("PRAGMA table_info(%1)").arg(Database::checkIdentifier(table)));
    while (q.next()) {
        out << q.value(1).toString().toLower();
    }
    return out;
}

// A value of the file as it is sent to the server. Whole numbers and texts
// go as they are; a floating-point number as the shortest text that reads
// back as the same number (the decimal that was stored), which the server
// turns into its column's type.
QVariant serverValue(const QSqlQuery& q, int column) {
    if (q.isNull(column)) {
        return QVariant();
    }
    const QVariant v = q.value(column);
    if (v.typeId() == QMetaType::Double) {
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    }
    return v;
}

// What kind of fault a refused row has, in the user's words.
QString faultOf(const DbError& e) {
    switch (e.kind()) {
        case DbError::Kind::Duplicate:
            return QStringLiteral("有重复的编号或名称");
        case DbError::Kind::MissingValue:
            return QStringLiteral("有必须填写的内容是空的");
        case DbError::Kind::NumberTooLarge:
            return QStringLiteral("有数值超出了允许的位数");
        default:
            return QStringLiteral("有内容与账本的数据类型不符");
    }
}

// Sends the file's rows of one table, many rows to a statement.
void copyRows(Database& file, const QString& fileTable, Database& server, const QString& table,
              const QStringList& columns) {
    const int perStatement = qMax(1, kValuesPerStatement / int(columns.size()));
    auto statementFor = [&](int rows) {
        QStringList tuples;
        for (int r = 0; r < rows; ++r) {
            QStringList holders;
            for (int c = 0; c < columns.size(); ++c) {
                holders << QStringLiteral(":v%1").arg(r * columns.size() + c);
            }
            tuples << '(' + holders.join(QStringLiteral(", ")) + ')';
        }
        return server.prepared(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                                   .arg(table, columns.join(QStringLiteral(", ")), tuples.join(QStringLiteral(", "))));
    };
    QVariantList pending;
    auto send = [&](int rows) {
        const std::shared_ptr<QSqlQuery> insert = statementFor(rows);
        for (int i = 0; i < pending.size(); ++i) {
            insert->bindValue(i, pending[i]);
        }
        server.runBound(*insert);
        pending.clear();
    };
    QSqlQuery rows = file.query(QStringLiteral("select %1 from %2").arg(columns.join(QStringLiteral(", ")), fileTable));
    int buffered = 0;
    while (rows.next()) {
        for (int c = 0; c < columns.size(); ++c) {
            pending << serverValue(rows, c);
        }
        if (++buffered == perStatement) {
            send(buffered);
            buffered = 0;
        }
    }
    if (buffered > 0) {
        send(buffered);
    }
}

// A trigger that keeps the quotations' totals, as the totals' script names it.
struct TotalsTrigger {
    QString name;
    QString table;
};

QList<TotalsTrigger> scriptTriggers(Database& server) {
    static const QRegularExpression drop(QStringLiteral("^DROP TRIGGER IF EXISTS (\\w+) ON (\\w+)"),
                                         QRegularExpression::CaseInsensitiveOption);
    QList<TotalsTrigger> out;
    for (const QString& statement :
         SchemaInstaller::blocks(server, QStringLiteral(":/schema/book_totals_postgres.sql"))) {
        const QRegularExpressionMatch m = drop.match(statement);
        if (m.hasMatch()) {
            out.append({Database::checkIdentifier(m.captured(1)), Database::checkIdentifier(m.captured(2))});
        }
    }
    return out;
}

// Those of the book's schema that exist.
QList<TotalsTrigger> totalsTriggers(Database& server) {
    QList<TotalsTrigger> out;
    for (const TotalsTrigger& t : scriptTriggers(server)) {
        const bool exists = server
                                .scalar(QStringLiteral("SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = "
                                                       "t.tgrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
                                                       "WHERE n.nspname = current_schema() AND lower(t.tgname) = "
                                                       "lower(:name) AND lower(c.relname) = lower(:table)"),
                                        {{"name", t.name}, {"table", t.table}})
                                .toInt() > 0;
        if (exists) {
            out.append(t);
        }
    }
    return out;
}

// Makes the totals' functions as the script has them and those of its
// triggers that are not among `present`.
void createMissingTriggers(Database& server, const QList<TotalsTrigger>& present) {
    static const QRegularExpression create(QStringLiteral("^CREATE TRIGGER (\\w+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QList<TotalsTrigger> all = scriptTriggers(server);
    if (all.size() == present.size()) {
        return;
    }
    for (const QString& statement :
         SchemaInstaller::blocks(server, QStringLiteral(":/schema/book_totals_postgres.sql"))) {
        if (statement.startsWith(QLatin1String("CREATE OR REPLACE FUNCTION"), Qt::CaseInsensitive)) {
            server.query(statement);
            continue;
        }
        const QRegularExpressionMatch m = create.match(statement);
        if (!m.hasMatch()) {
            continue;
        }
        const bool exists = std::any_of(present.cbegin(), present.cend(), [&](const TotalsTrigger& t) {
            return t.name.compare(m.captured(1), Qt::CaseInsensitive) == 0;
        });
        if (!exists) {
            server.query(statement);
        }
    }
}

// Every auto-numbered key continues after the largest restored one. A
// sequence is only ever moved forward: setting it is not undone by a
// rollback, and one moved back would hand out keys that are in use.
void continueSequences(Database& server) {
    QSqlQuery q = server.query(
        QStringLiteral("SELECT table_name, column_name FROM information_schema.columns WHERE table_schema = "
                       "current_schema() AND (is_identity = 'YES' OR column_default LIKE 'nextval(%')"));
    QList<QPair<QString, QString>> keys;
    while (q.next()) {
        keys.append(
            {Database::checkIdentifier(q.value(0).toString()), Database::checkIdentifier(q.value(1).toString())});
    }
    for (const auto& [table, column] : keys) {
        // The sequence as the catalogue names it ("schema.name"), checked
        // before it is put into a statement.
        QStringList parts =
            server.scalar(QStringLiteral("SELECT pg_get_serial_sequence(:t, :c)"), {{"t", table}, {"c", column}})
                .toString()
                .split('.');
        for (QString& part : parts) {
            part = QLatin1Char('"') + Database::checkIdentifier(part.remove(QLatin1Char('"'))) + QLatin1Char('"');
        }
        const QString sequence = parts.join('.');
        const qint64 next =
            server
                .scalar(
                    QStringLiteral("SELECT last_value + CASE WHEN is_called THEN 1 ELSE 0 END FROM %1").arg(sequence))
                .toLongLong();
        const qint64 needed =
            server.scalar(QStringLiteral("SELECT COALESCE(MAX(%1), 0) + 1 FROM %2").arg(column, table)).toLongLong();
        if (needed > next) {
            server.query(QStringLiteral("SELECT setval(:s, :v, false)"), {{"s", sequence}, {"v", needed}});
        }
    }
}
}  // namespace

void ServerBookImport::replace(Database& server, const QString& file, const std::function<void()>& whileLocked) {
    if (server.isAccess()) {
        throw DbError(QStringLiteral("只有服务器账本才能这样恢复"));
    }
    auto backup = Database::openSqlite(file, QStringLiteral("备份"));
    const QHash<QString, QString> inFile = fileTables(*backup);

    const QStringList tables =
        names(server, QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = "
                                     "current_schema() AND table_type = 'BASE TABLE' ORDER BY table_name"));
    // Every table the restore replaces must be in the file: emptying one
    // would lose its rows with nothing in their place. Checked before
    // anything is locked or copied.
    for (const QString& table : tables) {
        if (restoredTable(table) && !inFile.contains(table.toLower())) {
            throw UserError(QStringLiteral("备份文件中没有表[%1]，不能恢复；账本没有改变。").arg(table));
        }
    }

    WriteTransaction tx(server);
    server.query(QStringLiteral("SET LOCAL lock_timeout TO '%1'").arg(QLatin1String(kLockTimeout)));
    // The transaction waits while the copy of the book is read on another
    // connection; a server that ends idle transactions must not end it.
    server.query(QStringLiteral("SET LOCAL idle_in_transaction_session_timeout TO 0"));
    // Every table at once, before anything changes: no one else writes
    // until the commit, and everyone goes on reading the old rows.
    if (!tables.isEmpty()) {
        server.query(QStringLiteral("LOCK TABLE %1 IN EXCLUSIVE MODE").arg(tables.join(QStringLiteral(", "))));
    }
    if (whileLocked) {
        whileLocked();
    }
    // The totals' triggers would follow every row; they are switched off
    // for this transaction's rows (a lock that readers do not wait for) and
    // the totals computed once the rows are in.
    const QList<TotalsTrigger> triggers = totalsTriggers(server);
    for (const TotalsTrigger& t : triggers) {
        server.query(QStringLiteral("ALTER TABLE %1 DISABLE TRIGGER %2").arg(t.table, t.name));
    }
    for (const QString& table : tables) {
        if (!restoredTable(table)) {
            continue;
        }
        const auto from = inFile.constFind(table.toLower());
        server.execute(QStringLiteral("DELETE FROM %1").arg(table));
        const QStringList theirs = fileColumns(*backup, from.value());
        QStringList columns;
        for (const QString& column :
             names(server,
                   QStringLiteral("SELECT column_name FROM information_schema.columns WHERE table_schema = "
                                  "current_schema() AND table_name = :t AND is_generated = 'NEVER' ORDER BY "
                                  "ordinal_position"),
                   {{"t", table}})) {
            if (theirs.contains(column.toLower())) {
                columns << column;
            }
        }
        if (columns.isEmpty()) {
            continue;
        }
        try {
            copyRows(*backup, Database::checkIdentifier(from.value()), server, table, columns);
        } catch (const DbError& e) {
            if (e.kind() == DbError::Kind::Busy || e.kind() == DbError::Kind::ConnectionLost) {
                throw;
            }
            throw UserError(
                QStringLiteral("备份中表 %1 的数据%2，不能恢复到这个账本；账本没有改变").arg(from.value(), faultOf(e)),
                e.details());
        }
    }
    for (const TotalsTrigger& t : triggers) {
        server.query(QStringLiteral("ALTER TABLE %1 ENABLE TRIGGER %2").arg(t.table, t.name));
    }
    // A book without some of them gets those made (without dropping any,
    // which would shut readers out); then the totals are computed.
    createMissingTriggers(server, triggers);
    SchemaInstaller::rebuildTotals(server);
    continueSequences(server);
    // A backup made before initials were kept leaves them to compute.
    NameInitials::fillMissing(server);
    tx.commit();
}
