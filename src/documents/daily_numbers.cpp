#include "documents/daily_numbers.h"

#include <QSqlQuery>

#include "data/database.h"
#include "platform/errors.h"

DailyNumbers::DailyNumbers(Database& db, const QString& prefix, const QString& table, const QString& field)
    : m_prefix(prefix), m_table(table), m_field(field) {
    QSqlQuery q = db.query(QStringLiteral("select %1 from %2 where %1 like :p")
                               .arg(Database::checkIdentifier(field), Database::checkIdentifier(table)),
                           {{"p", prefix + '%'}});
    while (q.next()) {
        seen(q.value(0).toString());
    }
    seen(db.scalar("select CurrID from Sys_ID_Autoincrement where tablename=:t and fieldname=:f",
                   {{"t", table.toLower()}, {"f", field.toLower()}})
             .toString());
}

QString DailyNumbers::next(const QDate& day) {
    const QString key = day.toString("yyMMdd");
    const int n = ++m_last[key];
    if (n > 9999) {
        throw UserError(QStringLiteral("%1 的编号一天最多 9999 个，%2 已用完").arg(m_table, key));
    }
    m_issued.insert(key);
    return number(key, n);
}

QString DailyNumbers::lastIssued(const QDate& day) const {
    const QString key = day.toString("yyMMdd");
    return m_issued.contains(key) ? number(key, m_last.value(key)) : QString();
}

void DailyNumbers::settleCounter(Database& db, const QDate& today) const {
    const QString last = lastIssued(today);
    if (!last.isEmpty()) {
        db.execute("update Sys_ID_Autoincrement set CurrID=:c where tablename=:t and fieldname=:f",
                   {{"c", last}, {"t", m_table.toLower()}, {"f", m_field.toLower()}});
    }
}

void DailyNumbers::seen(const QString& no) {
    if (no.size() != m_prefix.size() + 10 || !no.startsWith(m_prefix)) {
        return;
    }
    bool ok = false;
    const int n = no.right(4).toInt(&ok);
    const QString key = no.mid(m_prefix.size(), 6);
    if (ok && n > m_last.value(key)) {
        m_last.insert(key, n);
    }
}

QString DailyNumbers::number(const QString& key, int n) const {
    return m_prefix + key + QStringLiteral("%1").arg(n, 4, 10, QChar('0'));
}
