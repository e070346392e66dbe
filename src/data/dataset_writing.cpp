#include <QSqlQuery>

#include "data/database.h"
#include "data/dataset.h"
#include "data/db_failure.h"
#include "data/name_initials.h"
#include "platform/errors.h"

// How a dataset writes its changes: the statements of a save, what a failed
// write is told as, and the rows' state once the outermost commit is made
// or the write is dropped.

QString Dataset::keyWhere(const QString& prefix) const {
    QStringList parts;
    for (int i = 0; i < m_keyFields.size(); ++i) {
        parts.append(QStringLiteral("%1=:%2%3").arg(m_keyFields[i], prefix).arg(i));
    }
    return parts.join(QStringLiteral(" and "));
}

QVariantMap Dataset::keyParams(const Row& row, const QString& prefix) const {
    QVariantMap p;
    for (int i = 0; i < m_keyFields.size(); ++i) {
        const int c = requireField(m_keyFields[i]);
        p.insert(prefix + QString::number(i), row.original.isEmpty() ? cell(row, c) : row.original.value(c));
    }
    return p;
}

namespace {
QVariant boundValue(const Database& db, const FieldDef& f, const QVariant& v) {
    if (!db.isAccess() && f.type == FieldDef::Type::Decimal && !v.isNull()) {
        // Exact decimal text for NUMERIC columns: the digits the number was
        // written with, never a double's trailing noise.
        return formatFixed(v.toDouble(), f.scale);
    }
    return v;
}
}  // namespace

void Dataset::requireKeyFields() {
    if (m_table.isEmpty()) {
        throw UserError(QStringLiteral("数据集没有设置写入的表"));
    }
    if (m_keyFields.isEmpty()) {
        for (const FieldDef& f : m_fields) {
            if (f.primaryKey && f.inTable) {
                m_keyFields.append(f.name);
            }
        }
        if (m_keyFields.isEmpty()) {
            throw UserError(QStringLiteral("表[%1]没有主键，不能写入").arg(m_table));
        }
    }
    for (const QString& k : m_keyFields) {
        Database::checkIdentifier(k);
        requireField(k);
    }
}

bool Dataset::deriveNameInitials() {
    const NameInitials::Source* source = NameInitials::sourceOf(m_table);
    const int target = source ? fieldIndex(NameInitials::column()) : -1;
    if (target < 0) {
        return !source;  // without the column the rows are refreshed once written
    }
    QVector<int> names;
    QStringList missing;  // names the dataset does not hold: as stored
    for (const QString& name : source->names) {
        names.append(fieldIndex(name));
        if (names.last() < 0) {
            missing << Database::checkIdentifier(name);
        }
    }
    for (Row& r : m_rows) {
        if (r.status != Status::Inserted && r.status != Status::Modified) {
            continue;
        }
        QVariantList stored;
        if (!missing.isEmpty() && r.status == Status::Modified) {
            QSqlQuery q =
                m_db.query(QStringLiteral("select %1 from %2 where %3").arg(missing.join(','), m_table, keyWhere("k")),
                           keyParams(r, "k"));
            for (int i = 0; q.next() && i < missing.size(); ++i) {
                stored << q.value(i);
            }
        }
        QStringList texts;
        for (int c : names) {
            texts.append(c >= 0 ? r.values[c].toString() : stored.value(0).toString());
            if (c < 0 && !stored.isEmpty()) {
                stored.removeFirst();
            }
        }
        r.values[target] = NameInitials::valueOf(texts);
    }
    return true;
}

void Dataset::writeChanges(QHash<int, QVariant>* newKeys, QHash<int, QVector<QVariant>>* defaults) {
    requireKeyFields();
    checkWrittenRowsUnchanged();
    // A row written with its names gets their initials in the same
    // statement; a dataset that does not hold them all has them computed
    // from the stored row once written.
    const bool initialsHeld = deriveNameInitials();
    // Each kind of change goes as one batch: a save of many lines takes a
    // few round trips to a server, not one per line. A failed statement
    // names its row.
    auto runBatch = [this](const QList<Database::BatchStatement>& statements, const QVector<int>& rows) {
        int failedAt = -1;
        try {
            return m_db.executeBatch(statements, &failedAt);
        } catch (const DbError& e) {
            if (failedAt >= 0) {
                throw explain(e, m_rows[rows[failedAt]]);
            }
            throw;
        }
    };
    // Deletes first, so that a code freed by a deleted row can be reused by
    // a new one in the same save.
    QList<Database::BatchStatement> statements;
    QVector<int> rows;
    for (int idx = 0; idx < static_cast<int>(m_rows.size()); ++idx) {
        const Row& r = m_rows[idx];
        if (r.status == Status::Deleted) {
            statements.append(
                {QStringLiteral("delete from %1 where %2").arg(m_table, keyWhere("k")), keyParams(r, "k")});
            rows.append(idx);
        }
    }
    runBatch(statements, rows);
    statements.clear();
    rows.clear();
    for (int idx = 0; idx < static_cast<int>(m_rows.size()); ++idx) {
        const Row& r = m_rows[idx];
        if (r.status != Status::Modified) {
            continue;
        }
        QStringList sets;
        QVariantMap params = keyParams(r, "k");
        for (int i = 0; i < m_fields.size(); ++i) {
            const FieldDef& f = m_fields[i];
            if (f.inTable && !sameValue(r.values[i], r.original[i])) {
                sets.append(QStringLiteral("%1=:v%2").arg(Database::checkIdentifier(f.name)).arg(i));
                params.insert(QStringLiteral("v%1").arg(i), boundValue(m_db, f, r.values[i]));
            }
        }
        if (!sets.isEmpty()) {
            statements.append(
                {QStringLiteral("update %1 set %2 where %3").arg(m_table, sets.join(','), keyWhere("k")), params});
            rows.append(idx);
        }
    }
    const QVector<Database::BatchOutcome> updated = runBatch(statements, rows);
    for (int k = 0; k < updated.size(); ++k) {
        if (updated[k].changed == 0) {
            throw changedElsewhere(m_rows[rows[k]], {});
        }
    }
    statements.clear();
    rows.clear();
    int autoColumn = -1;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].autoIncrement && m_fields[i].inTable) {
            autoColumn = i;
        }
    }
    const bool returning = m_db.dialect().insertReturnsKey();
    for (int idx = 0; idx < static_cast<int>(m_rows.size()); ++idx) {
        const Row& r = m_rows[idx];
        if (r.status != Status::Inserted) {
            continue;
        }
        QStringList cols;
        QStringList holders;
        QVariantMap params;
        for (int i = 0; i < m_fields.size(); ++i) {
            if (m_fields[i].inTable && !r.values[i].isNull()) {
                cols.append(Database::checkIdentifier(m_fields[i].name));
                holders.append(QStringLiteral(":v%1").arg(i));
                params.insert(QStringLiteral("v%1").arg(i), boundValue(m_db, m_fields[i], r.values[i]));
            }
        }
        const bool wantKey = autoColumn >= 0 && r.values[autoColumn].isNull();
        QString sql =
            cols.isEmpty()
                ? QStringLiteral("insert into %1 default values").arg(m_table)
                : QStringLiteral("insert into %1 (%2) values (%3)").arg(m_table, cols.join(','), holders.join(','));
        if (wantKey && returning) {
            sql += QStringLiteral(" returning ") + m_fields[autoColumn].name;
        }
        statements.append({sql, params, wantKey});
        rows.append(idx);
    }
    const QVector<Database::BatchOutcome> inserted = runBatch(statements, rows);
    for (int k = 0; k < inserted.size(); ++k) {
        if (statements[k].returnsKey) {
            newKeys->insert(rows[k], inserted[k].key);
        }
    }
    readDefaults(*newKeys, defaults);
    if (!initialsHeld) {
        // Rows whose names changed have their initials computed afresh from
        // the stored row; new rows have none yet.
        bool stale = false;
        const NameInitials::Source* source = NameInitials::sourceOf(m_table);
        for (const Row& r : m_rows) {
            stale = stale || r.status == Status::Inserted;
            if (r.status != Status::Modified) {
                continue;
            }
            bool renamed = false;
            for (const QString& name : source->names) {
                const int c = fieldIndex(name);
                renamed = renamed || (c >= 0 && !sameValue(r.values[c], r.original[c]));
            }
            if (renamed) {
                QVariantMap key;
                for (int i = 0; i < m_keyFields.size(); ++i) {
                    key.insert(QStringLiteral("k%1").arg(i), cell(r, requireField(m_keyFields[i])));
                }
                m_db.execute(QStringLiteral("update %1 set %2=null where %3")
                                 .arg(m_table, NameInitials::column(), keyWhere("k")),
                             key);
                stale = true;
            }
        }
        if (stale) {
            NameInitials::fillMissing(m_db, m_table);
        }
    }
}

QString Dataset::recordLabel(const Row& row) const {
    QStringList fields{m_labelField};
    if (fieldIndex(m_labelField) < 0) {
        fields = m_keyFields;
    }
    QStringList parts;
    for (const QString& name : fields) {
        const int c = fieldIndex(name);
        if (c >= 0 && !m_fields[c].displayText(cell(row, c)).isEmpty()) {
            parts.append(QStringLiteral("%1“%2”").arg(m_fields[c].label(), m_fields[c].displayText(cell(row, c))));
        }
    }
    return parts.isEmpty() ? QStringLiteral("该记录")
                           : QStringLiteral("记录（%1）").arg(parts.join(QStringLiteral("，")));
}

DbError Dataset::explain(const DbError& e, const Row& row) const {
    switch (e.kind()) {
        case DbError::Kind::Duplicate: {
            const int c = fieldIndex(DbFailure::failedColumn(e.driverText()));
            if (c < 0) {
                return e.withMessage(
                    QStringLiteral("保存失败：%1与已有的记录重复（编号或名称已存在）。请修改后再保存。")
                        .arg(recordLabel(row)));
            }
            const FieldDef& f = m_fields[c];
            return e.withMessage(QStringLiteral("保存失败：%1为“%2”的记录已经存在，不能重复。请换一个%1后再保存。")
                                     .arg(f.label(), f.displayText(cell(row, c))));
        }
        case DbError::Kind::NumberTooLarge: {
            // The column's definition as the database has it says which
            // value does not fit (read when the rows were, so no statement
            // runs in the failed transaction).
            QList<FieldDef> columns;
            try {
                columns = TableSchema::columns(m_db, m_table);
            } catch (const OlvendError&) {
            }
            for (FieldDef column : columns) {
                const int c = fieldIndex(column.name);
                if (c < 0) {
                    continue;
                }
                column.caption = m_fields[c].label();
                const QString refused = column.rangeError(m_fields[c].normalize(cell(row, c)));
                if (!refused.isEmpty()) {
                    return e.withMessage(
                        QStringLiteral("保存失败：%1中%2。请改小后再保存。").arg(recordLabel(row), refused));
                }
            }
            return e.withMessage(
                QStringLiteral("保存失败：%1中有数值超出了允许的位数。请改小后再保存。").arg(recordLabel(row)));
        }
        case DbError::Kind::Reference:
            return e.withMessage(
                QStringLiteral("保存失败：%1仍被其他资料使用，或它引用的资料已不存在。请检查后再保存。")
                    .arg(recordLabel(row)));
        case DbError::Kind::MissingValue:
            return e.withMessage(
                QStringLiteral("保存失败：%1有必须填写的内容没有填写。请填写后再保存。").arg(recordLabel(row)));
        default:
            return e;
    }
}

void Dataset::applyUpdates() {
    if (isEditing()) {
        post();
    }
    if (!hasChanges()) {
        return;
    }
    const bool nested = m_db.transactionDepth() > 0;
    QHash<int, QVariant> newKeys;
    QHash<int, QVector<QVariant>> defaults;
    {
        WriteTransaction tx(m_db);
        if (m_writeGuard) {
            m_writeGuard();
        }
        writeChanges(&newKeys, &defaults);
        tx.commit();
    }
    if (!nested) {
        // Everything is written for good: the rows take their new state.
        acceptWritten(newKeys, defaults);
        emit afterApply();
        return;
    }
    // The caller's transaction may still roll back: keep what to return to.
    auto before = std::make_shared<Snapshot>(Snapshot{m_rows, m_visible, m_current, m_generation});
    acceptWritten(newKeys, defaults);
    const QPointer<Dataset> self(this);
    m_db.whenTransactionEnds(
        [self] {
            if (self) {
                emit self->afterApply();
            }
        },
        [self, before] {
            if (self) {
                self->restore(*before);
            }
        });
}

void Dataset::acceptWritten(const QHash<int, QVariant>& newKeys, const QHash<int, QVector<QVariant>>& defaults) {
    int autoColumn = -1;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].autoIncrement && m_fields[i].inTable) {
            autoColumn = i;
        }
    }
    std::vector<Row> kept;
    kept.reserve(m_rows.size());
    QVector<int> remap(static_cast<int>(m_rows.size()), -1);
    for (int idx = 0; idx < static_cast<int>(m_rows.size()); ++idx) {
        Row& r = m_rows[idx];
        if (r.status == Status::Deleted || r.status == Status::Discarded) {
            continue;
        }
        if (r.status == Status::Inserted && autoColumn >= 0 && newKeys.contains(idx)) {
            r.values[autoColumn] = m_fields[autoColumn].normalize(newKeys.value(idx));
        }
        if (r.status == Status::Inserted && defaults.contains(idx)) {
            const QVector<QVariant>& stored = defaults[idx];
            for (int i = 0; i < m_fields.size(); ++i) {
                if (m_fields[i].inTable && r.values[i].isNull()) {
                    r.values[i] = stored.value(i);
                }
            }
        }
        r.status = Status::Unchanged;
        r.original.clear();
        remap[idx] = static_cast<int>(kept.size());
        kept.push_back(std::move(r));
    }
    m_rows = std::move(kept);
    for (int& v : m_visible) {
        v = remap[v];
    }
    emit valuesRefreshed();
}

void Dataset::restore(const Snapshot& snapshot) {
    if (snapshot.generation != m_generation) {
        // The rows were read again inside the failed transaction; what was
        // read may be gone now.
        refresh();
        return;
    }
    if (isEditing()) {
        cancel();
    }
    emit aboutToReset();
    m_rows = snapshot.rows;
    // The master may have moved since: the rows on show are the ones of its
    // current row now.
    collectVisible();
    const int current = m_visible == snapshot.visible ? snapshot.current : 0;
    m_current = m_visible.isEmpty() ? -1 : std::clamp(current, 0, rowCount() - 1);
    m_eof = m_visible.isEmpty();
    emit resetDone();
    emit currentRowChanged(m_current);
}

void Dataset::cancelUpdates() {
    if (isEditing()) {
        cancel();
    }
    emit aboutToReset();
    std::vector<Row> kept;
    kept.reserve(m_rows.size());
    for (Row& r : m_rows) {
        if (r.status == Status::Inserted || r.status == Status::Discarded) {
            continue;
        }
        if (!r.original.isEmpty()) {
            r.values = r.original;
            r.original.clear();
        }
        r.status = Status::Unchanged;
        kept.push_back(std::move(r));
    }
    m_rows = std::move(kept);
    collectVisible();
    m_current = m_visible.isEmpty() ? -1 : std::clamp(m_current, 0, rowCount() - 1);
    m_eof = m_visible.isEmpty();
    emit resetDone();
    emit currentRowChanged(m_current);
}
