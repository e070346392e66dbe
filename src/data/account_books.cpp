#include "data/account_books.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include "data/database.h"
#include "platform/app_paths.h"

namespace {
AccountBookRow readRow(const QSqlQuery& q) {
    const QSqlRecord r = q.record();
    AccountBookRow row;
    row.ID = q.value(r.indexOf("ID")).toInt();
    row.AccountBookName = q.value(r.indexOf("AccountBookName")).toString();
    row.DatabaseName = q.value(r.indexOf("DatabaseName")).toString();
    row.FilePath = AppPaths::normalizeSeparators(q.value(r.indexOf("FilePath")).toString());
    row.description = q.value(r.indexOf("description")).toString();
    row.version = q.value(r.indexOf("version")).toInt();
    row.Builtdate = QDate::fromString(q.value(r.indexOf("Builtdate")).toString().left(10), "yyyy-MM-dd");
    row.Type = q.value(r.indexOf("Type")).toInt();
    return row;
}

QList<AccountBookRow> readRows(QSqlQuery query) {
    QList<AccountBookRow> out;
    while (query.next()) {
        out.append(readRow(query));
    }
    return out;
}
}  // namespace

QList<AccountBookRow> AccountBooks::offered() {
    return readRows(m_db.query("select * from AccountBook where type=0 order by ID"));
}

QList<AccountBookRow> AccountBooks::all() {
    return readRows(m_db.query("select * from AccountBook order by ID"));
}

std::optional<AccountBookRow> AccountBooks::findById(int id) {
    QSqlQuery q = m_db.query("select * from AccountBook where ID=:id", {{"id", id}});
    if (q.next()) {
        return readRow(q);
    }
    return std::nullopt;
}

std::optional<AccountBookRow> AccountBooks::findByName(const QString& name) {
    QSqlQuery q = m_db.query("select * from AccountBook where LOWER(AccountBookName)=LOWER(:name) order by ID",
                             {{"name", name.trimmed()}});
    if (q.next()) {
        return readRow(q);
    }
    return std::nullopt;
}

AccountBookRow AccountBooks::add(AccountBookRow row) {
    m_db.query(
        "insert into AccountBook (AccountBookName, DatabaseName, FilePath, description, version, Builtdate, Type) "
        "values (:name, :dbname, :path, :description, :version, :built, :type)",
        {{"name", row.AccountBookName},
         {"dbname", row.DatabaseName},
         {"path", row.FilePath},
         {"description", row.description},
         {"version", row.version},
         {"built", row.Builtdate},
         {"type", row.Type}});
    row.ID = m_db.scalar("select ID from AccountBook where LOWER(DatabaseName)=LOWER(:dbname)",
                         {{"dbname", row.DatabaseName}})
                 .toInt();
    return row;
}

std::optional<AccountBookRow> AccountBooks::findByNameOrId(const QString& text) {
    if (auto row = findByName(text)) {
        return row;
    }
    bool isNumber = false;
    const int id = text.trimmed().toInt(&isNumber);
    return isNumber ? findById(id) : std::nullopt;
}
