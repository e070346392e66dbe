#include "data/stored_rows.h"

#include <QDateTime>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>

#include "data/database.h"

namespace {
// Keys bound in one statement: well below what either engine accepts.
constexpr int kKeysPerStatement = 400;

// A null text is no value, as the book stores it.
QVariant storedForm(const FieldDef& f, const QVariant& v) {
    const QVariant n = f.normalize(v);
    return n.typeId() == QMetaType::QString && n.toString().isNull() ? QVariant() : n;
}

bool sameStored(const FieldDef& f, const QVariant& a, const QVariant& b) {
    const QVariant x = storedForm(f, a);
    const QVariant y = storedForm(f, b);
    if (x.isNull() || y.isNull()) {
        return x.isNull() == y.isNull();
    }
    if (f.type == FieldDef::Type::DateTime) {
        // The book keeps whole seconds: a time held with its milliseconds
        // is the one written.
        return wallClockText(x.toDateTime()) == wallClockText(y.toDateTime());
    }
    return x == y;
}
}  // namespace

StoredRows::StoredRows(Database& db, const QString& table, const QList<FieldDef>& fields, const QStringList& keyFields)
    : m_db(db), m_table(Database::checkIdentifier(table)), m_fields(fields) {
    for (const QString& k : keyFields) {
        for (int i = 0; i < m_fields.size(); ++i) {
            if (m_fields[i].name.compare(k, Qt::CaseInsensitive) == 0) {
                m_keyColumns.append(i);
                break;
            }
        }
    }
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].inTable) {
            m_tableColumns.append(i);
        }
    }
}

QString StoredRows::keyOf(const QVector<QVariant>& row) const {
    QStringList parts;
    for (int c : m_keyColumns) {
        const QVariant v = m_fields[c].normalize(row.value(c));
        parts.append(v.isNull() ? QStringLiteral("\x01") : v.toString());
    }
    return parts.join(QChar(0x1f));
}

QString StoredRows::selectByKey(const QList<QVector<QVariant>>& rows, int from, bool lock, QVariantMap* params) const {
    QStringList columns;
    for (int c : m_tableColumns) {
        columns.append(Database::checkIdentifier(m_fields[c].name));
    }
    const int c = m_keyColumns.first();
    QVariantList keys;
    for (int i = from; i < std::min<int>(rows.size(), from + kKeysPerStatement); ++i) {
        keys.append(m_fields[c].normalize(rows[i].value(c)));
    }
    const QString in = Database::bindList("k", keys, params);
    return QStringLiteral("select %1 from %2 where %3 in (%4)")
               .arg(columns.join(','), m_table, Database::checkIdentifier(m_fields[c].name), in) +
           (lock ? m_db.dialect().lockRowsSuffix() : QString());
}

void StoredRows::collect(QSqlQuery& q, QHash<QString, QVector<QVariant>>* out) const {
    while (q.next()) {
        QVector<QVariant> values(m_fields.size());
        for (int k = 0; k < m_tableColumns.size(); ++k) {
            const int c = m_tableColumns[k];
            values[c] = m_fields[c].normalize(q.value(k));
        }
        out->insert(keyOf(values), values);
    }
}

QHash<QString, QVector<QVariant>> StoredRows::read(const QList<QVector<QVariant>>& rows, bool lock) const {
    QHash<QString, QVector<QVariant>> out;
    if (rows.isEmpty() || m_keyColumns.isEmpty()) {
        return out;
    }
    if (m_keyColumns.size() == 1) {
        for (int from = 0; from < rows.size(); from += kKeysPerStatement) {
            QVariantMap params;
            const QString select = selectByKey(rows, from, lock, &params);
            QSqlQuery q = m_db.query(select, params);
            collect(q, &out);
        }
        return out;
    }
    QStringList columns;
    for (int c : m_tableColumns) {
        columns.append(Database::checkIdentifier(m_fields[c].name));
    }
    QStringList conditions;
    for (int k = 0; k < m_keyColumns.size(); ++k) {
        conditions.append(
            QStringLiteral("%1=:k%2").arg(Database::checkIdentifier(m_fields[m_keyColumns[k]].name)).arg(k));
    }
    const std::shared_ptr<QSqlQuery> q =
        m_db.prepared(QStringLiteral("select %1 from %2 where ").arg(columns.join(','), m_table) +
                      conditions.join(QStringLiteral(" and ")) + (lock ? m_db.dialect().lockRowsSuffix() : QString()));
    for (const QVector<QVariant>& row : rows) {
        QVariantMap params;
        for (int k = 0; k < m_keyColumns.size(); ++k) {
            params.insert(QStringLiteral("k%1").arg(k),
                          m_fields[m_keyColumns[k]].normalize(row.value(m_keyColumns[k])));
        }
        m_db.run(*q, params);
        collect(*q, &out);
        q->finish();
    }
    return out;
}

QHash<QString, QVector<QVariant>> StoredRows::readWithKeysOf(const QList<QVector<QVariant>>& rows, bool lock,
                                                             const QString& sql, const QVariantMap& params,
                                                             QSet<QString>* keys) const {
    const bool together = m_keyColumns.size() == 1 && !rows.isEmpty() && rows.size() <= kKeysPerStatement &&
                          m_fields[m_keyColumns.first()].inTable;
    if (!together) {
        QHash<QString, QVector<QVariant>> out = read(rows, lock);
        *keys = keysOf(sql, params);
        return out;
    }
    QHash<QString, QVector<QVariant>> out;
    QVariantMap keyParams;
    const QString select = selectByKey(rows, 0, lock, &keyParams);
    // The statement's columns are the dataset's first fields, in order: the
    // key is read by its place, as the names of a result read together
    // with another would cost a statement of their own.
    const int c = m_keyColumns.first();
    m_db.readBatch({{select, keyParams}, {sql, params}}, [&](int at, QSqlQuery& q) {
        if (at == 0) {
            collect(q, &out);
            return;
        }
        while (q.next()) {
            QVector<QVariant> row(m_fields.size());
            row[c] = q.value(c);
            keys->insert(keyOf(row));
        }
    });
    return out;
}

QStringList StoredRows::differences(const QVector<QVariant>& asRead, const QVector<QVariant>& stored) const {
    QStringList out;
    for (int c : m_tableColumns) {
        if (!sameStored(m_fields[c], asRead.value(c), stored.value(c))) {
            out.append(m_fields[c].label());
        }
    }
    return out;
}

QSet<QString> StoredRows::keysOf(const QString& sql, const QVariantMap& params) const {
    QSet<QString> out;
    QSqlQuery q = m_db.query(sql, params);
    const QSqlRecord rec = q.record();
    QVector<int> at;
    for (int c : m_keyColumns) {
        at.append(rec.indexOf(m_fields[c].name));
    }
    while (q.next()) {
        QVector<QVariant> row(m_fields.size());
        for (int k = 0; k < m_keyColumns.size(); ++k) {
            row[m_keyColumns[k]] = at[k] >= 0 ? q.value(at[k]) : QVariant();
        }
        out.insert(keyOf(row));
    }
    return out;
}
