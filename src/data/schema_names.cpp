#include "data/schema_names.h"

#include <sqlite3.h>
#include <QFile>
#include <QHash>

namespace {
struct Spellings {
    QHash<QString, QHash<QString, QString>> byRelation;  // lower-case relation -> lower-case column -> spelling
    QHash<QString, QString> anywhere;                    // lower-case column -> spelling
};

QString resourceText(const char* name) {
    QFile f(QString::fromLatin1(name));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

Spellings readSpellings() {
    Spellings out;
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) {
        sqlite3_close(db);
        return out;
    }
    QString script = resourceText(":/schema/book_tables.sql") + '\n' + resourceText(":/schema/book_views.sql");
    script.replace(QStringLiteral("@ID@"), QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"));
    sqlite3_exec(db, script.toUtf8().constData(), nullptr, nullptr, nullptr);
    QList<QPair<QString, bool>> relations;  // name, is a table
    sqlite3_stmt* list = nullptr;
    if (sqlite3_prepare_v2(db,
                           "select name, type from sqlite_master where type in ('table', 'view') order by type, rowid",
                           -1, &list, nullptr) == SQLITE_OK) {
        while (sqlite3_step(list) == SQLITE_ROW) {
            relations.append({QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(list, 0))),
                              qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(list, 1)), "table") == 0});
        }
    }
    sqlite3_finalize(list);
    for (const auto& [relation, table] : relations) {
        Q_UNUSED(table);
        sqlite3_stmt* columns = nullptr;
        const QByteArray pragma = "PRAGMA table_info(\"" + relation.toUtf8() + "\")";
        if (sqlite3_prepare_v2(db, pragma.constData(), -1, &columns, nullptr) != SQLITE_OK) {
            sqlite3_finalize(columns);
            continue;
        }
        QHash<QString, QString>& known = out.byRelation[relation.toLower()];
        while (sqlite3_step(columns) == SQLITE_ROW) {
            const QString name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(columns, 1)));
            known.insert(name.toLower(), name);
            if (!out.anywhere.contains(name.toLower())) {
                out.anywhere.insert(name.toLower(), name);
            }
        }
        sqlite3_finalize(columns);
    }
    sqlite3_close(db);
    return out;
}

const Spellings& spellings() {
    static const Spellings known = readSpellings();
    return known;
}
}  // namespace

QString SchemaNames::inRelation(const QString& relation, const QString& name) {
    const auto r = spellings().byRelation.constFind(relation.toLower());
    if (r == spellings().byRelation.cend()) {
        return name;
    }
    return r->value(name.toLower(), name);
}

QString SchemaNames::canonical(const QString& name) {
    return spellings().anywhere.value(name.toLower(), name);
}
