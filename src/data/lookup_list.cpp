#include "data/lookup_list.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include "data/database.h"

QString LookupList::codeListSql() {
    // The names are compared without regard to case: the lists are named
    // by table and field, and those are spelled in more than one case.
    return QStringLiteral(
        "select d.StatusValue,d.StatusName from Sys_Status_Describe d , Sys_Status_Describe_head h "
        "where  d.paramentName=h.paramentName "
        "and LOWER(h.TableName)=LOWER(:TableName) "
        "and LOWER(h.FieldName)=LOWER(:FieldName) order by d.id");
}

void LookupList::load(Database& db, const QString& sql, const QVariantMap& params) {
    QList<Entry> entries;
    QSqlQuery q = db.query(sql, params);
    const int columns = q.record().count();
    while (q.next()) {
        Entry e;
        e.key = q.value(0);
        e.text = columns > 1 ? q.value(1).toString() : q.value(0).toString();
        for (int i = 2; i < columns; ++i) {
            e.extra.append(q.value(i).toString());
        }
        entries.append(e);
    }
    if (q.lastError().isValid()) {
        throw db.failure(q.lastError(), sql);  // the rows ended early
    }
    setEntries(entries);
}

void LookupList::loadCodeList(Database& db, const QString& table, const QString& field) {
    load(db, codeListSql(), {{"TableName", table}, {"FieldName", field}});
}

void LookupList::setEntries(const QList<Entry>& entries) {
    m_entries = entries;
    m_index.clear();
    for (int i = 0; i < m_entries.size(); ++i) {
        const QString k = m_entries[i].key.toString();
        if (!m_index.contains(k)) {
            m_index.insert(k, i);
        }
    }
}

QString LookupList::text(const QVariant& key) const {
    if (key.isNull()) {
        return {};
    }
    const auto it = m_index.constFind(key.toString());
    return it == m_index.constEnd() ? QString() : m_entries[it.value()].text;
}

bool LookupList::contains(const QVariant& key) const {
    return m_index.contains(key.toString());
}

QVariant LookupList::keyOf(const QString& text) const {
    for (const Entry& e : m_entries) {
        if (e.text == text) {
            return e.key;
        }
    }
    return {};
}
