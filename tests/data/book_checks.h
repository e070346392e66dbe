#pragma once

#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <functional>
#include <optional>

#include "data/database.h"
#include "data/dataset.h"
#include "platform/errors.h"

// Checks the data, platform and administration suites share.
namespace BookChecks {
// The rows of `sql`: fields joined by ',', rows by '|', null as '~', numbers in their shortest form.
inline QString rows(Database& db, const QString& sql, const QVariantMap& params = {}) {
    QSqlQuery q = db.query(sql, params);
    QStringList out;
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < q.record().count(); ++i) {
            const QVariant v = q.value(i);
            fields << (v.isNull()                         ? QString("~")
                       : v.typeId() == QMetaType::QString ? v.toString()
                                                          : QString::number(v.toDouble()));
        }
        out << fields.join(',');
    }
    return out.join('|');
}
// The number of rows of "select count(*) from `from`".
inline int count(Database& db, const QString& from, const QVariantMap& params = {}) {
    return db.scalar("select count(*) from " + from, params).toInt();
}
// Appends a row to `ds` with these values (set in the order of their names).
inline void appendRow(Dataset& ds, const QVariantMap& values) {
    ds.append();
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        ds.setValue(it.key(), it.value());
    }
}
// The error of kind E that `f` throws; none when it goes through.
template <class E = OlvendError>
std::optional<E> thrown(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e;
    }
    return std::nullopt;
}
// The message of the UserError `f` throws, "" when it goes through.
inline QString refusal(const std::function<void()>& f) {
    const auto e = thrown<UserError>(f);
    return e ? e->message() : QString();
}
// Writes `bytes` to `file` (a test's own file) and gives its name back.
inline QString written(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", qPrintable(file));
    }
    return file;
}
}  // namespace BookChecks
