#include "data/server_book_copier.h"

#include <QSqlQuery>
#include <QStringList>

#include "data/database.h"
#include "data/schema_installer.h"
#include "platform/errors.h"

namespace {
QStringList names(Database& db, const QString& sql, const QVariantMap& params) {
    QStringList out;
    QSqlQuery q = db.query(sql, params);
    while (q.next()) {
        out.append(Database::checkIdentifier(q.value(0).toString()));
    }
    return out;
}
}  // namespace

bool ServerBookCopier::schemaExists(Database& db, const QString& name) {
    return db.scalar("SELECT count(*) FROM pg_namespace WHERE nspname = :s", {{"s", name.toLower()}}).toInt() > 0;
}

void ServerBookCopier::copy(Database& db, const QString& from, const QString& to) {
    if (db.transactionDepth() == 0) {
        throw DbError(QStringLiteral("复制账本必须在事务中进行"));
    }
    const QString source = Database::quotedSchema(from);
    const QString target = Database::quotedSchema(to);
    if (!schemaExists(db, from)) {
        throw UserError(QStringLiteral("所选帐册在服务器上不存在(模式 %1)").arg(from.toLower()));
    }
    db.query(QStringLiteral("CREATE SCHEMA ") + target);

    const QStringList tables =
        names(db,
              "SELECT table_name FROM information_schema.tables WHERE table_schema = :s AND table_type = 'BASE TABLE' "
              "ORDER BY table_name",
              {{"s", from.toLower()}});
    if (tables.isEmpty()) {
        throw UserError(QStringLiteral("所选帐册在服务器上没有数据表(模式 %1)").arg(from.toLower()));
    }
    for (const QString& table : tables) {
        const QString src = source + '.' + table;
        const QString dst = target + '.' + table;
        // Columns, defaults, keys, constraints and indexes; an identity
        // column gets a sequence of its own in the new schema.
        db.query(QStringLiteral("CREATE TABLE %1 (LIKE %2 INCLUDING ALL)").arg(dst, src));
        // Computed columns are computed again as the rows go in.
        const QString columns =
            names(db,
                  "SELECT column_name FROM information_schema.columns WHERE table_schema = :s AND table_name = :t "
                  "AND is_generated = 'NEVER' ORDER BY ordinal_position",
                  {{"s", from.toLower()}, {"t", table}})
                .join(',');
        db.query(QStringLiteral("INSERT INTO %1 (%3) SELECT %3 FROM %2").arg(dst, src, columns));

        // A serial default copied as it stands still draws from the source's
        // sequence: give the column a sequence in the new schema.
        const QStringList serials = names(db,
                                          "SELECT column_name FROM information_schema.columns WHERE table_schema = :s "
                                          "AND table_name = :t AND column_default LIKE 'nextval(%'",
                                          {{"s", to.toLower()}, {"t", table}});
        for (const QString& column : serials) {
            const QString sequence = target + '.' + table + '_' + column + "_seq";
            db.query(QStringLiteral("CREATE SEQUENCE %1 OWNED BY %2.%3").arg(sequence, dst, column));
            db.query(
                QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 SET DEFAULT nextval('%3')").arg(dst, column, sequence));
        }
        // Every auto-numbered key continues after the copied rows.
        const QStringList numbered =
            names(db,
                  "SELECT column_name FROM information_schema.columns WHERE table_schema = :s AND table_name = :t "
                  "AND (is_identity = 'YES' OR column_default LIKE 'nextval(%')",
                  {{"s", to.toLower()}, {"t", table}});
        for (const QString& column : numbered) {
            db.query(QStringLiteral("SELECT setval(pg_get_serial_sequence(:t, :c), "
                                    "COALESCE((SELECT MAX(%1) FROM %2), 0) + 1, false)")
                         .arg(column, dst),
                     {{"t", dst}, {"c", column}});
        }
    }

    // The saved queries, made again inside the new schema; the caller's
    // search path comes back when this step ends.
    const QString previous = db.scalar("SELECT current_setting('search_path')").toString();
    db.query("SELECT set_config('search_path', :p, true)", {{"p", target}});
    db.forgetColumns();
    // A book not opened since an older version of the program still has
    // the tables of that version: the copy is brought up to date first.
    SchemaInstaller::ensureBook(db, false);
    for (const QString& statement : SchemaInstaller::statements(db, ":/schema/book_views.sql")) {
        db.query(statement);
    }
    // The triggers that keep the quotation totals (copied with the rows).
    for (const QString& statement : SchemaInstaller::blocks(db, ":/schema/book_totals_postgres.sql")) {
        db.query(statement);
    }
    db.query("SELECT set_config('search_path', :p, true)", {{"p", previous}});
    db.forgetColumns();
}
