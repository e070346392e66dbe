#include "data/dataset.h"

#include <QSet>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>

#include "data/database.h"
#include "data/dataset_reader.h"
#include "platform/errors.h"

namespace {
bool sameValue(const QVariant& a, const QVariant& b) {
    const bool an = a.isNull() || !a.isValid();
    const bool bn = b.isNull() || !b.isValid();
    if (an || bn) {
        return an == bn;
    }
    return a == b;
}

// An empty text left by a cell editor counts as nothing typed.
bool sameOrBlank(const QVariant& a, const QVariant& b) {
    auto blank = [](const QVariant& v) {
        return v.isNull() || !v.isValid() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
    };
    return (blank(a) && blank(b)) || sameValue(a, b);
}

}  // namespace

Dataset::Dataset(Database& db, QObject* parent) : QObject(parent), m_db(db) {}

Dataset::~Dataset() = default;

void Dataset::setUpdateTable(const QString& table, const QStringList& keyFields) {
    m_table = table.isEmpty() ? QString() : Database::checkIdentifier(table);
    m_keyFields = keyFields;
}

void Dataset::openTable(const QString& table, const QString& orderBy) {
    setUpdateTable(table, m_keyFields);
    QString sql = QStringLiteral("select * from ") + m_table;
    if (!orderBy.isEmpty()) {
        sql += QStringLiteral(" order by ") + orderBy;
    }
    open(sql);
}

void Dataset::open(const QString& sql, const QVariantMap& params) {
    // Display formats and captions set by the window survive a re-open.
    QHash<QString, QString> formats;
    QHash<QString, QString> captions;
    for (const FieldDef& f : m_fields) {
        if (!f.displayFormat.isEmpty()) {
            formats.insert(f.name.toLower(), f.displayFormat);
        }
        if (!f.caption.isEmpty()) {
            captions.insert(f.name.toLower(), f.caption);
        }
    }
    DatasetReader::Result read = DatasetReader::read(m_db, m_table, sql, params, formats, m_readInParallel);

    emit aboutToReset();
    m_sql = sql;
    m_params = params;
    m_fields = std::move(read.fields);
    m_fieldIndex.clear();
    for (int i = 0; i < m_fields.size(); ++i) {
        m_fieldIndex.insert(m_fields[i].name.toLower(), i);
        m_fields[i].caption = captions.value(m_fields[i].name.toLower(), m_fields[i].caption);
    }
    m_store = std::move(read.rows);
    m_rows.clear();
    m_rows.resize(static_cast<size_t>(m_store.rowCount()));
    for (int i = 0; i < m_store.rowCount(); ++i) {
        m_rows[i].stored = i;
    }
    ++m_generation;
    m_state = State::Browse;
    m_editRow = -1;
    m_buffer.clear();
    collectVisible();
    m_current = m_visible.isEmpty() ? -1 : 0;
    m_eof = m_visible.isEmpty();
    emit resetDone();
    emit stateChanged(m_state);
    emit currentRowChanged(m_current);
}

void Dataset::refresh() {
    if (m_sql.isEmpty()) {
        return;
    }
    const int keep = m_current;
    open(m_sql, m_params);
    if (keep >= 0 && keep < rowCount()) {
        setCurrentRow(keep);
    }
}

void Dataset::close() {
    emit aboutToReset();
    ++m_generation;
    m_rows.clear();
    m_store = ColumnStore();
    m_visible.clear();
    m_buffer.clear();
    m_editRow = -1;
    m_current = -1;
    m_eof = true;
    m_state = State::Inactive;
    emit resetDone();
    emit stateChanged(m_state);
}

int Dataset::fieldIndex(const QString& name) const {
    return m_fieldIndex.value(name.toLower(), -1);
}

int Dataset::requireField(const QString& name) const {
    const int i = fieldIndex(name);
    if (i < 0) {
        throw UserError(QStringLiteral("数据集中没有字段[%1]").arg(name));
    }
    return i;
}

FieldDef& Dataset::field(const QString& name) {
    return m_fields[requireField(name)];
}

void Dataset::setDisplayFormat(const QString& name, const QString& format) {
    field(name).displayFormat = format;
}

void Dataset::setCaption(const QString& name, const QString& caption) {
    field(name).caption = caption;
}

void Dataset::setCurrentRow(int row) {
    if (m_visible.isEmpty()) {
        m_eof = true;
        return;
    }
    row = std::clamp(row, 0, rowCount() - 1);
    if (row == m_current) {
        return;
    }
    if (isEditing()) {
        post();
    }
    m_current = std::clamp(row, 0, rowCount() - 1);
    m_eof = false;
    emit currentRowChanged(m_current);
}

void Dataset::next() {
    if (m_current + 1 >= rowCount()) {
        m_eof = true;
        return;
    }
    setCurrentRow(m_current + 1);
}

void Dataset::prior() {
    if (m_current > 0) {
        setCurrentRow(m_current - 1);
    }
}

const Dataset::Row* Dataset::rowAt(int viewRow) const {
    if (viewRow < 0 || viewRow >= m_visible.size()) {
        return nullptr;
    }
    return &m_rows[m_visible[viewRow]];
}

QVariant Dataset::cell(const Row& row, int column) const {
    if (row.stored >= 0) {
        return column < m_store.columnCount() ? m_store.value(row.stored, column) : QVariant();
    }
    return row.values.value(column);
}

QVector<QVariant> Dataset::cells(const Row& row) const {
    return row.stored >= 0 ? m_store.row(row.stored) : row.values;
}

void Dataset::materialize(Row& row) const {
    if (row.stored >= 0) {
        row.values = m_store.row(row.stored);
        row.stored = -1;
    }
}

Dataset::Row& Dataset::currentRowData() {
    if (m_current < 0 || m_current >= m_visible.size()) {
        throw UserError(QStringLiteral("没有当前记录"));
    }
    return m_rows[m_visible[m_current]];
}

QVariant Dataset::value(int row, int column) const {
    if (row < 0 || row >= m_visible.size() || column < 0 || column >= m_fields.size()) {
        return {};
    }
    if (isEditing() && m_visible[row] == m_editRow) {
        return m_buffer.value(column);
    }
    return cell(m_rows[m_visible[row]], column);
}

QVariant Dataset::value(int row, const QString& field) const {
    return value(row, requireField(field));
}

QVariant Dataset::value(const QString& field) const {
    return value(m_current, requireField(field));
}

QString Dataset::displayText(int row, int column) const {
    if (column < 0 || column >= m_fields.size()) {
        return {};
    }
    return m_fields[column].displayText(value(row, column));
}

Dataset::RowStatus Dataset::rowStatus(int row) const {
    const Row* r = rowAt(row);
    if (!r) {
        return RowStatus::Unchanged;
    }
    switch (r->status) {
        case Status::Modified:
            return RowStatus::Modified;
        case Status::Inserted:
            return RowStatus::Inserted;
        case Status::Deleted:
        case Status::Discarded:
            return RowStatus::Deleted;
        default:
            return RowStatus::Unchanged;
    }
}

QVariant Dataset::originalValue(int row, const QString& field) const {
    const Row* r = rowAt(row);
    if (!r) {
        return {};
    }
    const int c = requireField(field);
    return r->original.isEmpty() ? cell(*r, c) : r->original.value(c);
}

void Dataset::setState(State s) {
    if (m_state != s) {
        m_state = s;
        emit stateChanged(s);
    }
}

void Dataset::edit() {
    if (m_state == State::Inactive) {
        throw UserError(QStringLiteral("数据集没有打开"));
    }
    if (isEditing()) {
        return;
    }
    m_buffer = cells(currentRowData());
    m_editRow = m_visible[m_current];
    setState(State::Edit);
}

void Dataset::append() {
    if (m_state == State::Inactive) {
        throw UserError(QStringLiteral("数据集没有打开"));
    }
    if (isEditing()) {
        post();
    }
    Row r;
    r.values.resize(m_fields.size());
    r.status = Status::Inserted;
    if (m_master && m_detailColumn >= 0) {
        r.values[m_detailColumn] = m_fields[m_detailColumn].normalize(masterValue());
    }
    m_rows.push_back(r);
    const int viewRow = rowCount();
    emit rowAboutToBeInserted(viewRow);
    m_visible.append(static_cast<int>(m_rows.size()) - 1);
    emit rowInserted(viewRow);
    m_current = viewRow;
    m_eof = false;
    m_editRow = m_visible[viewRow];
    m_buffer = r.values;
    m_draft.clear();
    setState(State::Insert);
    emit currentRowChanged(m_current);
}

void Dataset::appendDraft(const QVariantMap& presets) {
    append();
    for (auto it = presets.begin(); it != presets.end(); ++it) {
        setValue(it.key(), it.value());
    }
    m_draft = m_buffer;
}

bool Dataset::holdsUntouchedDraft() const {
    if (m_state != State::Insert || m_draft.isEmpty()) {
        return false;
    }
    for (int i = 0; i < m_buffer.size(); ++i) {
        if (!sameOrBlank(m_buffer[i], m_draft[i])) {
            return false;
        }
    }
    return true;
}

void Dataset::setValue(const QString& name, const QVariant& v) {
    const int c = requireField(name);
    if (!isEditing()) {
        edit();
    }
    const QVariant normalized = m_fields[c].normalize(v);
    // Text that is no number (letters typed into an amount) is refused
    // rather than stored as an empty value; the row keeps its value.
    const FieldDef::Type type = m_fields[c].type;
    if (normalized.isNull() && (type == FieldDef::Type::Integer || type == FieldDef::Type::Decimal) &&
        v.typeId() == QMetaType::QString && !v.toString().trimmed().isEmpty()) {
        throw UserError(QStringLiteral("[%1]必须是数字，不能是\"%2\"").arg(m_fields[c].label(), v.toString()));
    }
    // A number the column cannot hold is refused as it is typed, on both
    // kinds of database (an embedded book would keep it, a server refuses
    // the save); the row keeps its value.
    const QString refused = m_fields[c].rangeError(normalized);
    if (!refused.isEmpty()) {
        throw UserError(refused + QStringLiteral("。请改小后再输入。"));
    }
    if ((type == FieldDef::Type::Integer || type == FieldDef::Type::Decimal) && !normalized.isNull()) {
        bool typedNumber = false;
        const double typed = v.toDouble(&typedNumber);
        if (typedNumber && std::isfinite(typed) && typed != normalized.toDouble()) {
            emit valueRounded(m_fields[c].name, typed, normalized.toDouble());
        }
    }
    if (sameValue(m_buffer[c], normalized) && m_buffer[c].typeId() == normalized.typeId()) {
        return;
    }
    m_buffer[c] = normalized;
    emit rowChanged(m_current);
    emit fieldChanged(m_fields[c].name);
}

void Dataset::editCell(int row, int column, const QVariant& value) {
    // An editor left empty on a blank cell of a new row nothing was typed
    // into keeps the row a draft: Escape or leaving the row drops it.
    if (row == m_current && holdsUntouchedDraft() && column >= 0 && column < m_buffer.size() &&
        sameOrBlank(value, QVariant()) && sameOrBlank(m_buffer[column], QVariant())) {
        return;
    }
    QVector<QVariant> before;
    try {
        setCurrentRow(row);
        before = m_buffer;
        setValue(m_fields.value(column).name, value);
        post();
    } catch (const OlvendError&) {
        // A new row waiting for its first entry stays, as it was, for the
        // entry to be typed again.
        if (m_state == State::Insert && !m_draft.isEmpty() && before.size() == m_buffer.size()) {
            m_buffer = before;
        } else {
            cancel();
        }
        throw;
    }
}

void Dataset::checkLengths(const QVector<QVariant>& values) const {
    for (int i = 0; i < m_fields.size(); ++i) {
        const FieldDef& f = m_fields[i];
        if (f.type == FieldDef::Type::Text && f.size > 0 && values[i].toString().size() > f.size) {
            throw UserError(QStringLiteral("[%1]的内容太长，最多%2个字符").arg(f.label()).arg(f.size));
        }
    }
}

void Dataset::post() {
    if (!isEditing()) {
        return;
    }
    if (holdsUntouchedDraft()) {
        cancel();
        return;
    }
    m_draft.clear();
    emit beforePost();
    checkLengths(m_buffer);
    Row& r = m_rows[m_editRow];
    if (m_state == State::Edit) {
        bool changed = false;
        for (int i = 0; i < m_buffer.size(); ++i) {
            if (!sameValue(m_buffer[i], cell(r, i))) {
                changed = true;
                break;
            }
        }
        if (changed) {
            materialize(r);
            if (r.status == Status::Unchanged) {
                r.original = r.values;
                r.status = Status::Modified;
            }
            r.values = m_buffer;
        }
    } else {
        r.values = m_buffer;
    }
    m_buffer.clear();
    m_editRow = -1;
    setState(State::Browse);
    emit rowChanged(m_current);
    emit afterPost();
    afterChangeMaybeApply();
}

void Dataset::cancel() {
    if (!isEditing()) {
        return;
    }
    m_draft.clear();
    if (m_state == State::Edit) {
        m_buffer.clear();
        m_editRow = -1;
        setState(State::Browse);
        emit rowChanged(m_current);
        return;
    }
    // A new row that was never posted disappears.
    const int idx = m_editRow;
    m_rows[idx].status = Status::Discarded;
    m_buffer.clear();
    m_editRow = -1;
    const int viewRow = static_cast<int>(m_visible.indexOf(idx));
    setState(State::Browse);
    if (viewRow >= 0) {
        emit rowAboutToBeRemoved(viewRow);
        m_visible.remove(viewRow);
        emit rowRemoved(viewRow);
    }
    m_current = std::min(m_current, rowCount() - 1);
    m_eof = m_visible.isEmpty();
    emit currentRowChanged(m_current);
}

void Dataset::deleteCurrent() {
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_state == State::Edit) {
        cancel();
    }
    Row& r = currentRowData();
    if (r.status == Status::Inserted) {
        r.status = Status::Discarded;
    } else {
        if (r.status == Status::Unchanged) {
            materialize(r);
            r.original = r.values;
        }
        r.status = Status::Deleted;
    }
    const int viewRow = m_current;
    emit rowAboutToBeRemoved(viewRow);
    m_visible.remove(viewRow);
    emit rowRemoved(viewRow);
    m_current = std::min(viewRow, rowCount() - 1);
    m_eof = m_visible.isEmpty();
    emit currentRowChanged(m_current);
    afterChangeMaybeApply();
}

void Dataset::deleteRows(QList<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const bool apply = m_autoApply;
    m_autoApply = false;
    try {
        for (int row : rows) {
            if (row >= 0 && row < rowCount()) {
                m_current = row;
                deleteCurrent();
            }
        }
    } catch (...) {
        m_autoApply = apply;
        throw;
    }
    m_autoApply = apply;
    afterChangeMaybeApply();
}

bool Dataset::locate(const QString& name, const QVariant& v, Qt::CaseSensitivity cs) {
    const int c = requireField(name);
    const QString wanted = v.toString();
    for (int row = 0; row < rowCount(); ++row) {
        const QVariant have = value(row, c);
        const bool match = cs == Qt::CaseInsensitive ? have.toString().compare(wanted, Qt::CaseInsensitive) == 0
                                                     : sameValue(have, m_fields[c].normalize(v));
        if (match) {
            setCurrentRow(row);
            return true;
        }
    }
    return false;
}

bool Dataset::hasChanges() const {
    if (isEditing()) {
        return true;
    }
    for (const Row& r : m_rows) {
        if (r.status == Status::Modified || r.status == Status::Inserted || r.status == Status::Deleted) {
            return true;
        }
    }
    return false;
}

void Dataset::afterChangeMaybeApply() {
    if (m_autoApply && hasChanges()) {
        try {
            applyUpdates();
        } catch (const OlvendError&) {
            emit autoApplyFailed();
            throw;
        }
    }
}

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

void Dataset::writeChanges(QHash<int, QVariant>* newKeys, QHash<int, QVector<QVariant>>* defaults) {
    requireKeyFields();
    checkWrittenRowsUnchanged();
    // Deletes first, so that a code freed by a deleted row can be reused by
    // a new one in the same save.
    for (const Row& r : m_rows) {
        if (r.status == Status::Deleted) {
            try {
                m_db.execute(QStringLiteral("delete from %1 where %2").arg(m_table, keyWhere("k")), keyParams(r, "k"));
            } catch (const DbError& e) {
                throw explain(e, r);
            }
        }
    }
    for (const Row& r : m_rows) {
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
        if (sets.isEmpty()) {
            continue;
        }
        const QString sql = QStringLiteral("update %1 set %2 where %3").arg(m_table, sets.join(','), keyWhere("k"));
        const std::shared_ptr<QSqlQuery> q = m_db.prepared(sql);
        try {
            m_db.run(*q, params);
        } catch (const DbError& e) {
            throw explain(e, r);
        }
        if (q->numRowsAffected() == 0) {
            throw changedElsewhere(r, {});
        }
    }
    int autoColumn = -1;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].autoIncrement && m_fields[i].inTable) {
            autoColumn = i;
        }
    }
    // Rows with the same filled columns share one prepared statement; values
    // are bound by position.
    QHash<QByteArray, QPair<std::shared_ptr<QSqlQuery>, QVector<int>>> plans;
    const bool returning = m_db.dialect().insertReturnsKey();
    for (int idx = 0; idx < static_cast<int>(m_rows.size()); ++idx) {
        const Row& r = m_rows[idx];
        if (r.status != Status::Inserted) {
            continue;
        }
        QByteArray mask(m_fields.size(), '0');
        for (int i = 0; i < m_fields.size(); ++i) {
            if (m_fields[i].inTable && !r.values[i].isNull()) {
                mask[i] = '1';
            }
        }
        const bool wantKey = autoColumn >= 0 && r.values[autoColumn].isNull();
        auto plan = plans.find(mask);
        if (plan == plans.end()) {
            QStringList cols;
            QStringList holders;
            QVector<int> columns;
            for (int i = 0; i < m_fields.size(); ++i) {
                if (mask[i] == '1') {
                    cols.append(Database::checkIdentifier(m_fields[i].name));
                    holders.append(QStringLiteral("?"));
                    columns.append(i);
                }
            }
            QString sql =
                cols.isEmpty()
                    ? QStringLiteral("insert into %1 default values").arg(m_table)
                    : QStringLiteral("insert into %1 (%2) values (%3)").arg(m_table, cols.join(','), holders.join(','));
            if (wantKey && returning) {
                sql += QStringLiteral(" returning ") + m_fields[autoColumn].name;
            }
            plan = plans.insert(mask, {m_db.prepared(sql), columns});
        }
        // Copies of the plan's parts: nothing here points into the growing hash.
        const std::shared_ptr<QSqlQuery> statement = plan->first;
        const QVector<int> columns = plan->second;
        QSqlQuery& q = *statement;
        for (int k = 0; k < columns.size(); ++k) {
            const int i = columns[k];
            q.bindValue(k, m_db.toDbValue(boundValue(m_db, m_fields[i], r.values[i])));
        }
        try {
            m_db.runBound(q);
        } catch (const DbError& e) {
            throw explain(e, r);
        }
        if (wantKey) {
            QVariant key;
            if (returning) {
                if (q.next()) {
                    key = q.value(0);
                }
            } else {
                key = q.lastInsertId();
            }
            newKeys->insert(idx, key);
        }
        q.finish();
    }
    readDefaults(*newKeys, defaults);
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
            const int c = fieldIndex(Database::failedColumn(e.driverText()));
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

void Dataset::setMaster(Dataset* master, const QString& masterField, const QString& detailField) {
    if (m_master) {
        disconnect(m_master, nullptr, this, nullptr);
    }
    m_master = master;
    m_masterField = masterField;
    m_detailColumn = -1;
    if (!master) {
        rebuildView();
        return;
    }
    m_detailColumn = requireField(detailField);
    connect(master, &Dataset::currentRowChanged, this, &Dataset::onMasterMoved);
    connect(master, &Dataset::resetDone, this, &Dataset::onMasterMoved);
    connect(master, &Dataset::fieldChanged, this, [this](const QString& f) {
        if (f.compare(m_masterField, Qt::CaseInsensitive) == 0) {
            onMasterMoved();
        }
    });
    rebuildView();
}

QVariant Dataset::masterValue() const {
    if (!m_master || m_master->currentRow() < 0) {
        return {};
    }
    return m_master->value(m_masterField);
}

bool Dataset::matchesMaster(const Row& row) const {
    if (row.status == Status::Deleted || row.status == Status::Discarded) {
        return false;
    }
    if (!m_master || m_detailColumn < 0) {
        return true;
    }
    const QVariant mv = masterValue();
    if (mv.isNull()) {
        return false;
    }
    return cell(row, m_detailColumn).toString() == mv.toString();
}

void Dataset::onMasterMoved() {
    if (isEditing()) {
        post();
    }
    rebuildView();
}

void Dataset::rebuildView() {
    if (m_state == State::Inactive) {
        return;
    }
    emit aboutToReset();
    collectVisible();
    m_current = m_visible.isEmpty() ? -1 : 0;
    m_eof = m_visible.isEmpty();
    emit resetDone();
    emit currentRowChanged(m_current);
}

void Dataset::collectVisible() {
    m_visible.clear();
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i) {
        if (matchesMaster(m_rows[i])) {
            m_visible.append(i);
        }
    }
}
