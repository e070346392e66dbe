#include "data/dataset.h"

#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <optional>

#include "data/database.h"
#include "data/dataset_reader.h"
#include "data/server_row_stream.h"
#include "platform/errors.h"

namespace {
// What a list read in parts says when it stopped short: `why`, then how far
// it got and how to read it again.
QString incompleteText(const QString& why, int read, qint64 expected) {
    if (expected < 0) {
        return QStringLiteral("列表没有读完：%1只读到 %2 行。请检查网络后按 F5 重新读取。").arg(why).arg(read);
    }
    return QStringLiteral("列表没有读完：%1只读到 %2 行（共 %3 行）。请检查网络后按 F5 重新读取。")
        .arg(why)
        .arg(read)
        .arg(expected);
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
    QList<FieldDef> fields;
    ColumnStore rows;
    std::unique_ptr<ServerRowStream> stream;
    if (m_firstRows > 0 && !m_db.isAccess() && m_db.transactionDepth() == 0) {
        // A cursor still open from the last read goes first; should the new
        // read fail, the rows shown stay, told as incomplete.
        if (m_stream) {
            m_stream.reset();
            m_store.finish();
            m_stoppedShort = true;
            emit readingEnded();
        }
        const int session = m_db.reconnectCount();
        try {
            stream = std::make_unique<ServerRowStream>(m_db, m_table, sql, params, m_summed, m_firstRows, formats);
        } catch (const DbError& e) {
            // The server had dropped the connection (a restart, an idle
            // line cut): it is open again, and a read is simply run again.
            if (e.kind() != DbError::Kind::ConnectionLost || m_db.reconnectCount() == session) {
                throw;
            }
            stream = std::make_unique<ServerRowStream>(m_db, m_table, sql, params, m_summed, m_firstRows, formats);
        }
        fields = stream->fields();
        rows = stream->takeRows();
        if (stream->atEnd()) {
            rows.finish();
        }
    } else {
        DatasetReader::Result read = DatasetReader::read(m_db, m_table, sql, params, formats, m_readInParallel);
        fields = std::move(read.fields);
        rows = std::move(read.rows);
    }

    emit aboutToReset();
    m_stream.reset();
    m_stoppedShort = false;
    m_expectedRows = -1;
    m_expectedSums.clear();
    if (stream) {
        takeTotalsOf(*stream);
        if (!stream->atEnd()) {
            m_stream = std::move(stream);
        }
    }
    m_sql = sql;
    m_params = params;
    m_fields = std::move(fields);
    m_fieldIndex.clear();
    for (int i = 0; i < m_fields.size(); ++i) {
        m_fieldIndex.insert(m_fields[i].name.toLower(), i);
        m_fields[i].caption = captions.value(m_fields[i].name.toLower(), m_fields[i].caption);
    }
    m_store = std::move(rows);
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

QVariant Dataset::expectedSum(const QString& field) const {
    const auto it = m_expectedSums.constFind(field.toLower());
    return it == m_expectedSums.cend() ? QVariant() : QVariant(*it);
}

void Dataset::readRemainingRows() {
    while (m_stream) {
        readMoreRows(kRemainingPartRows);
    }
    if (m_stoppedShort) {
        throw UserError(incompleteText(QString(), m_store.rowCount(), m_expectedRows));
    }
}

int Dataset::readMoreRows(int rows) {
    if (!m_stream) {
        return 0;
    }
    const int before = m_store.rowCount();
    std::optional<DbError> failed;
    try {
        m_stream->readInto(m_store, rows);
    } catch (const DbError& e) {
        failed = e;
    }
    takeTotalsOf(*m_stream);
    // What came before a failure stays in view.
    const int got = m_store.rowCount() - before;
    const bool ended = failed || m_stream->atEnd();
    if (ended) {
        m_stream.reset();
        m_store.finish();
        m_stoppedShort = failed.has_value();
    }
    const int firstView = rowCount();
    for (int i = before; i < before + got; ++i) {
        Row r;
        r.stored = i;
        m_rows.push_back(r);
        if (matchesMaster(m_rows.back())) {
            m_visible.append(static_cast<int>(m_rows.size()) - 1);
        }
    }
    if (rowCount() > firstView) {
        emit rowsAppended(firstView, rowCount() - firstView);
    }
    if (ended) {
        emit readingEnded();
    }
    if (failed) {
        const QString why = failed->kind() == DbError::Kind::ConnectionLost
                                ? QStringLiteral("与数据库服务器的连接中断了，")
                                : failed->message() + QStringLiteral("\n");
        throw failed->withMessage(incompleteText(why, m_store.rowCount(), m_expectedRows));
    }
    return got;
}

void Dataset::takeTotalsOf(ServerRowStream& stream) {
    if (m_expectedRows < 0 && stream.totalsKnown()) {
        m_expectedRows = stream.totals().rows;
        m_expectedSums = stream.totals().sums;
    }
}

bool Dataset::nextPartReady() const {
    return !m_stream || m_stream->ready();
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
    m_stream.reset();
    m_stoppedShort = false;
    m_expectedRows = -1;
    m_expectedSums.clear();
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
    // So is text that is no date (2026-02-30 left in a date cell).
    if (normalized.isNull() && type == FieldDef::Type::DateTime && v.typeId() == QMetaType::QString &&
        !v.toString().trimmed().isEmpty()) {
        throw UserError(QStringLiteral("[%1]不是有效的日期，不能是\"%2\"").arg(m_fields[c].label(), v.toString()));
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
