#include <QPointer>
#include <QSet>

#include "data/database.h"
#include "data/dataset.h"
#include "data/stored_rows.h"
#include "platform/errors.h"

// How a dataset tells that the rows it writes are no longer what it read:
// another workstation changed, deleted or added them since.

QVector<QVariant> Dataset::baseline(const Row& row) const {
    return row.original.isEmpty() ? cells(row) : row.original;
}

DbError Dataset::changedElsewhere(const Row& row, const QStringList& fields) const {
    const QString details =
        fields.isEmpty() ? QStringLiteral("表[%1]中已没有这条记录").arg(m_table)
                         : QStringLiteral("表[%1]中这条记录读取后被修改的字段：%2").arg(m_table, fields.join("、"));
    const QString message =
        fields.isEmpty() ? QStringLiteral("保存失败：%1已被其他用户删除，您的修改没有保存。").arg(recordLabel(row))
                         : QStringLiteral("保存失败：%1已被其他用户修改，您的修改没有保存。请重新打开后再修改。")
                               .arg(recordLabel(row));
    return DbError(message, QString(), QString(), DbError::Kind::RecordChanged, details);
}

void Dataset::checkWrittenRowsUnchanged() {
    QList<QVector<QVariant>> asRead;
    QVector<int> rows;
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i) {
        const Row& r = m_rows[i];
        if (r.status == Status::Modified || r.status == Status::Deleted) {
            asRead.append(baseline(r));
            rows.append(i);
        }
    }
    if (rows.isEmpty() || (m_lockedUnchanged != 0 && m_lockedUnchanged == m_generation)) {
        return;
    }
    const StoredRows stored(m_db, m_table, m_fields, m_keyFields);
    const QHash<QString, QVector<QVariant>> now = stored.read(asRead, true);
    for (int k = 0; k < rows.size(); ++k) {
        const auto it = now.constFind(stored.keyOf(asRead[k]));
        if (it == now.constEnd()) {
            if (m_rows[rows[k]].status == Status::Deleted) {
                continue;  // deleted on both sides: what this save wants
            }
            throw changedElsewhere(m_rows[rows[k]], {});
        }
        const QStringList changed = stored.differences(asRead[k], *it);
        if (!changed.isEmpty()) {
            throw changedElsewhere(m_rows[rows[k]], changed);
        }
    }
}

void Dataset::checkUnchangedElsewhere() {
    if (m_state == State::Inactive) {
        return;
    }
    requireKeyFields();
    const StoredRows stored(m_db, m_table, m_fields, m_keyFields);
    QList<QVector<QVariant>> asRead;
    QVector<int> rows;
    QSet<QString> held;
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i) {
        const Row& r = m_rows[i];
        if (r.status == Status::Inserted || r.status == Status::Discarded) {
            continue;
        }
        asRead.append(baseline(r));
        rows.append(i);
        held.insert(stored.keyOf(asRead.last()));
    }
    // The rows as read, locked, and the keys the statement reads now.
    QSet<QString> keysNow;
    const QHash<QString, QVector<QVariant>> now = stored.readWithKeysOf(asRead, true, m_sql, m_params, &keysNow);
    for (int k = 0; k < rows.size(); ++k) {
        const auto it = now.constFind(stored.keyOf(asRead[k]));
        if (it == now.constEnd()) {
            throw changedElsewhere(m_rows[rows[k]], {});
        }
        const QStringList changed = stored.differences(asRead[k], *it);
        if (!changed.isEmpty()) {
            throw changedElsewhere(m_rows[rows[k]], changed);
        }
    }
    // A row another user added to what the statement reads.
    for (const QString& key : keysNow) {
        if (!held.contains(key)) {
            throw DbError(
                QStringLiteral("保存失败：其他用户在您打开之后增加了记录，您的修改没有保存。请重新打开后再修改。"),
                QString(), m_sql, DbError::Kind::RecordChanged,
                QStringLiteral("表[%1]中读取后增加了记录").arg(m_table));
        }
    }
    if (m_db.transactionDepth() > 0) {
        // Nobody changes these rows until the transaction ends.
        m_lockedUnchanged = m_generation;
        const QPointer<Dataset> self(this);
        auto forget = [self] {
            if (self) {
                self->m_lockedUnchanged = 0;
            }
        };
        m_db.whenTransactionEnds(forget, forget);
    }
}

void Dataset::readDefaults(const QHash<int, QVariant>& newKeys, QHash<int, QVector<QVariant>>* defaults) {
    // A new row's empty columns hold what the book put there (a column's
    // default), which later saves compare against.
    QList<QVector<QVariant>> written;
    QVector<int> rows;
    int autoColumn = -1;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].autoIncrement && m_fields[i].inTable) {
            autoColumn = i;
        }
    }
    for (int idx = 0; idx < static_cast<int>(m_rows.size()); ++idx) {
        const Row& r = m_rows[idx];
        if (r.status != Status::Inserted) {
            continue;
        }
        bool leftEmpty = false;
        for (int i = 0; i < m_fields.size() && !leftEmpty; ++i) {
            leftEmpty = i != autoColumn && m_fields[i].inTable && r.values[i].isNull();
        }
        if (!leftEmpty) {
            continue;
        }
        QVector<QVariant> values = r.values;
        if (autoColumn >= 0 && newKeys.contains(idx)) {
            values[autoColumn] = newKeys.value(idx);
        }
        written.append(values);
        rows.append(idx);
    }
    if (rows.isEmpty()) {
        return;
    }
    const StoredRows stored(m_db, m_table, m_fields, m_keyFields);
    const QHash<QString, QVector<QVariant>> now = stored.read(written, false);
    for (int k = 0; k < rows.size(); ++k) {
        const auto it = now.constFind(stored.keyOf(written[k]));
        if (it != now.constEnd()) {
            defaults->insert(rows[k], *it);
        }
    }
}
