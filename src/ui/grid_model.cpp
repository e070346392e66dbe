#include "ui/grid_model.h"

#include <QBrush>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "data/name_initials.h"
#include "platform/errors.h"
#include "platform/pinyin_initials.h"

QString FooterSummary::render(double value) const {
    // Decimal places: '0' always shown, '#' only when not zero. A value not
    // known yet (NaN) shows as "…".
    static const QRegularExpression pattern(QStringLiteral("[#0][#0,]*(\\.0*#*)?"));
    const auto m = pattern.match(text);
    const bool unknown = std::isnan(value);
    if (!m.hasMatch()) {
        return text + (unknown ? QStringLiteral("…") : QString::number(value));
    }
    const QString formatted = unknown ? QStringLiteral("…") : formatNumber(value, m.captured(0));
    return QString(text).replace(m.capturedStart(0), m.capturedLength(0), formatted);
}

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

void GridModel::setDataset(Dataset* dataset) {
    if (m_dataset) {
        disconnect(m_dataset, nullptr, this, nullptr);
    }
    m_dataset = dataset;
    if (dataset) {
        dataset->setSummedFields(summedFields());
        connect(dataset, &Dataset::aboutToReset, this, [this] { beginResetModel(); });
        connect(dataset, &Dataset::resetDone, this, [this] {
            fillRows();
            endResetModel();
            invalidateFooter();
        });
        connect(dataset, &Dataset::rowInserted, this, [this](int r) {
            // A new row shows at the end, whatever the filter, so that it can
            // be edited.
            const int last = m_rows.gridRowCount();
            beginInsertRows({}, last, last);
            m_rows.insertDatasetRow(r);
            endInsertRows();
            invalidateFooter();
        });
        // The grid row goes while the dataset still has the row, so that a
        // view reading rows meanwhile finds them numbered as the dataset
        // does; the rows after it are renumbered once it is removed.
        connect(dataset, &Dataset::rowAboutToBeRemoved, this, [this](int r) {
            const int pos = m_rows.gridRow(r);
            if (pos >= 0) {
                beginRemoveRows({}, pos, pos);
                m_rows.removeGridRow(pos);
                endRemoveRows();
            }
        });
        connect(dataset, &Dataset::rowRemoved, this, [this](int r) {
            m_rows.removeDatasetRow(r);
            invalidateFooter();
        });
        connect(dataset, &Dataset::rowChanged, this, [this](int r) {
            const int pos = m_rows.gridRow(r);
            if (pos >= 0 && columnCount() > 0) {
                emit dataChanged(index(pos, 0), index(pos, columnCount() - 1));
            }
            invalidateFooter();
        });
        connect(dataset, &Dataset::rowsAppended, this, &GridModel::appendRows);
        // The footer turns from the totals counted on the server to the
        // rows' own once every row is in.
        connect(dataset, &Dataset::readingEnded, this, [this] {
            sortPending();
            invalidateFooter();
        });
        connect(dataset, &Dataset::valuesRefreshed, this, [this] {
            if (rowCount() > 0 && columnCount() > 0) {
                emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
            }
            invalidateFooter();
        });
    }
    rebuild();
}

void GridModel::setColumns(const QList<GridColumn>& columns) {
    beginResetModel();
    m_columns = columns;
    m_fieldIndex.clear();
    for (const GridColumn& c : m_columns) {
        m_fieldIndex.append(m_dataset ? m_dataset->fieldIndex(c.field) : -1);
    }
    endResetModel();
    invalidateFooter();
}

void GridModel::setPreviewField(const QString& field) {
    m_previewField = field;
    m_previewIndex = field.isEmpty() ? -1 : fieldColumn(field);
    if (rowCount() > 0 && columnCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {PreviewRole});
    }
}

QString GridModel::previewText(int gridRow) const {
    const int r = m_previewIndex >= 0 && m_dataset ? m_rows.datasetRow(gridRow) : -1;
    return r < 0 ? QString() : m_dataset->value(r, m_previewIndex).toString().simplified();
}

int GridModel::columnOf(const QString& field) const {
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].field.compare(field, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

int GridModel::fieldColumn(const QString& field) const {
    return m_dataset ? m_dataset->fieldIndex(field) : -1;
}

// Resolves the columns' fields and lists the rows that pass the filters,
// in the grid's order.
void GridModel::fillRows() {
    m_sortPending = false;
    m_fieldIndex.clear();
    for (const GridColumn& c : m_columns) {
        m_fieldIndex.append(m_dataset ? m_dataset->fieldIndex(c.field) : -1);
    }
    m_previewIndex = m_previewField.isEmpty() ? -1 : fieldColumn(m_previewField);
    const int n = m_dataset ? m_dataset->rowCount() : 0;
    QVector<int> rows;
    rows.reserve(n);
    for (int r = 0; r < n; ++r) {
        if (accepts(r)) {
            rows.append(r);
        }
    }
    sortRows(rows);
    m_rows.assign(rows, n);
}

// Rows of a later part: those the filters pass join the grid. Rows that
// come in the grid's order (the list is read in it) go at the end. Others
// (the user sorted by another column meanwhile) wait at the end too, and
// are sorted in with the last part: sorting the whole list again for each
// part would cost more than reading it.
void GridModel::appendRows(int first, int count) {
    QVector<int> added;
    for (int r = first; r < first + count; ++r) {
        if (accepts(r)) {
            added.append(r);
        }
    }
    const int total = m_dataset ? m_dataset->rowCount() : 0;
    QVector<int> rows = m_rows.datasetRows();
    if (!added.isEmpty()) {
        QVector<int> seam = added;
        if (!rows.isEmpty()) {
            seam.prepend(rows.last());
        }
        const QVector<int> asRead = seam;
        sortRows(seam);
        m_sortPending = m_sortPending || seam != asRead;
        beginInsertRows({}, rows.size(), rows.size() + added.size() - 1);
        rows += added;
        m_rows.assign(rows, total);
        endInsertRows();
    } else {
        m_rows.assign(rows, total);
    }
    if (!m_dataset->hasMoreRows()) {
        sortPending();
    }
    invalidateFooter();
}

void GridModel::sortPending() {
    if (m_sortPending) {
        m_sortPending = false;
        sort(m_sortColumn, m_sortOrder);
    }
}

void GridModel::rebuild() {
    beginResetModel();
    fillRows();
    endResetModel();
    invalidateFooter();
}

QString GridModel::displayText(int datasetRow, int column) const {
    if (!m_dataset || column < 0 || column >= m_columns.size()) {
        return {};
    }
    const int f = m_fieldIndex.value(column, -1);
    if (f < 0) {
        return {};
    }
    const GridColumn& c = m_columns[column];
    const QVariant v = m_dataset->value(datasetRow, f);
    if (c.lookup) {
        return c.lookup->text(v);
    }
    if (!c.format.isEmpty()) {
        FieldDef def = m_dataset->fields()[f];
        def.displayFormat = c.format;
        return def.displayText(v);
    }
    return m_dataset->displayText(datasetRow, f);
}

bool GridModel::accepts(int r) const {
    if (!m_text.isEmpty()) {
        bool any = false;
        for (const auto& [column, field] : m_textTargets) {
            if (field == m_initialsField) {
                if (NameInitials::matches(m_dataset->value(r, field).toString(), m_typedInitials)) {
                    any = true;
                    break;
                }
                continue;
            }
            // Plain text is matched as stored; other columns as shown.
            const QString text = column >= 0 ? displayText(r, column) : m_dataset->value(r, field).toString();
            if (text.contains(m_text, Qt::CaseInsensitive)) {
                any = true;
                break;
            }
        }
        if (!any) {
            return false;
        }
    }
    if (!m_dateField.isEmpty() && !m_period.isOpen()) {
        const int f = fieldColumn(m_dateField);
        const QDate d = f >= 0 ? m_dataset->value(r, f).toDateTime().date() : QDate();
        if (!m_period.contains(d)) {
            return false;
        }
    }
    for (auto it = m_columnFilters.cbegin(); it != m_columnFilters.cend(); ++it) {
        const int col = columnOf(it.key());
        const QString text = col >= 0 ? displayText(r, col) : QString();
        if (!it->values.isEmpty() && !it->values.contains(text)) {
            return false;
        }
        if (!it->contains.isEmpty() && !text.contains(it->contains, Qt::CaseInsensitive) &&
            (it->initials.isEmpty() || !PinyinInitials::startsWith(text, it->initials))) {
            return false;
        }
    }
    return true;
}

void GridModel::setTextFilter(const QString& text, const QStringList& fields) {
    m_text = text;
    m_textFields = fields;
    m_textTargets.clear();
    // The initials column is matched word by word against initials typed.
    m_initialsField = fieldColumn(NameInitials::column());
    m_typedInitials = NameInitials::typed(text);
    for (const QString& field : fields) {
        const int column = columnOf(field);
        const int f = fieldColumn(field);
        const bool plain = f >= 0 && m_dataset->fields()[f].type == FieldDef::Type::Text &&
                           (column < 0 || (!m_columns[column].lookup && m_columns[column].format.isEmpty()));
        if (plain) {
            m_textTargets.append({-1, f});
        } else if (column >= 0) {
            m_textTargets.append({column, f});
        }
    }
    rebuild();
}

void GridModel::setDateFilter(const QString& field, const Period& period) {
    m_dateField = field;
    m_period = period;
    rebuild();
}

void GridModel::setColumnFilter(const QString& field, const QSet<QString>& values, const QString& contains) {
    if (values.isEmpty() && contains.isEmpty()) {
        m_columnFilters.remove(field.toLower());
    } else {
        m_columnFilters.insert(field.toLower(), {values, contains, NameInitials::typed(contains)});
    }
    rebuild();
}

void GridModel::clearFilters() {
    m_text.clear();
    m_textFields.clear();
    m_textTargets.clear();
    m_dateField.clear();
    m_period = {};
    m_columnFilters.clear();
    rebuild();
}

bool GridModel::isFiltered() const {
    return !m_text.isEmpty() || (!m_dateField.isEmpty() && !m_period.isOpen()) || !m_columnFilters.isEmpty();
}

QStringList GridModel::distinctTexts(const QString& field) const {
    const int col = columnOf(field);
    QSet<QString> seen;
    if (m_dataset && col >= 0) {
        for (int r = 0; r < m_dataset->rowCount(); ++r) {
            seen.insert(displayText(r, col));
        }
    }
    QStringList out(seen.begin(), seen.end());
    out.sort();
    return out;
}

void GridModel::sort(int column, Qt::SortOrder order) {
    m_sortPending = false;
    m_sortColumn = column;
    m_sortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QVector<int> rowsBefore;
    for (const QModelIndex& i : before) {
        rowsBefore.append(m_rows.datasetRow(i.row()));
    }
    QVector<int> rows = m_rows.datasetRows();
    sortRows(rows);
    m_rows.assign(rows, m_rows.datasetRowCount());
    QModelIndexList after;
    for (int k = 0; k < before.size(); ++k) {
        const int pos = m_rows.gridRow(rowsBefore[k]);
        after.append(pos < 0 ? QModelIndex() : index(pos, before[k].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

namespace {
// Rows read in the grid's order (the usual case) need no sort, and rows in
// exactly the opposite order with no two equal (a list read oldest first,
// shown newest first) only need turning round.
template <class Before>
void sortStably(QVector<int>& rows, const Before& before) {
    if (std::is_sorted(rows.begin(), rows.end(), before)) {
        return;
    }
    if (std::adjacent_find(rows.begin(), rows.end(), [&](int a, int b) { return !before(b, a); }) == rows.end()) {
        std::reverse(rows.begin(), rows.end());
        return;
    }
    std::stable_sort(rows.begin(), rows.end(), before);
}
}  // namespace

void GridModel::sortRows(QVector<int>& rows) const {
    if (!m_dataset || m_sortColumn < 0 || m_sortColumn >= m_columns.size()) {
        return;
    }
    const int f = m_fieldIndex.value(m_sortColumn, -1);
    if (f < 0) {
        return;
    }
    const FieldDef::Type type = m_dataset->fields()[f].type;
    const bool byText = m_columns[m_sortColumn].lookup || type == FieldDef::Type::Text;
    // Keys are read once; the sort then compares plain values.
    if (byText) {
        QVector<QString> keys(m_dataset->rowCount());
        for (int r : rows) {
            keys[r] = m_columns[m_sortColumn].lookup ? displayText(r, m_sortColumn) : m_dataset->value(r, f).toString();
        }
        const auto before = [&](int a, int b) {
            const int c = QString::compare(keys[a], keys[b]);
            return m_sortOrder == Qt::AscendingOrder ? c < 0 : c > 0;
        };
        sortStably(rows, before);
        return;
    }
    QVector<double> keys(m_dataset->rowCount());
    QVector<bool> nulls(m_dataset->rowCount());
    for (int r : rows) {
        const QVariant v = m_dataset->value(r, f);
        nulls[r] = v.isNull();
        keys[r] =
            type == FieldDef::Type::DateTime ? static_cast<double>(v.toDateTime().toSecsSinceEpoch()) : v.toDouble();
    }
    const auto before = [&](int a, int b) {
        if (nulls[a] != nulls[b]) {
            return m_sortOrder == Qt::AscendingOrder ? nulls[a] : nulls[b];
        }
        return m_sortOrder == Qt::AscendingOrder ? keys[a] < keys[b] : keys[a] > keys[b];
    };
    sortStably(rows, before);
}

void GridModel::setFooter(const QList<FooterSummary>& footer) {
    m_footer = footer;
    if (m_dataset) {
        m_dataset->setSummedFields(summedFields());
    }
    invalidateFooter();
}

void GridModel::invalidateFooter() {
    m_footerValid = false;
    if (m_footerSignalPending) {
        return;
    }
    // Many changes in one go (a paste, a reload) cost one recomputation.
    m_footerSignalPending = true;
    QTimer::singleShot(0, this, [this] {
        m_footerSignalPending = false;
        emit footerChanged();
    });
}

void GridModel::recomputeFooter() const {
    ++m_recomputations;
    m_footerValues = QVector<double>(m_footer.size(), 0.0);
    if (m_dataset && (m_dataset->hasMoreRows() || m_dataset->readStoppedShort())) {
        // While a long list is still coming, or when it stopped short, the
        // totals counted on the server stand for every row; a filtered
        // view's are not known, nor any until the server's have come.
        for (int i = 0; i < m_footer.size(); ++i) {
            const FooterSummary& s = m_footer[i];
            const QVariant sum = m_dataset->expectedSum(s.field);
            const qint64 count = m_dataset->expectedRowCount();
            m_footerValues[i] = isFiltered() ? qQNaN()
                                : s.kind == FooterSummary::Kind::Count
                                    ? (count < 0 ? qQNaN() : static_cast<double>(count))
                                : sum.isNull() ? qQNaN()
                                               : sum.toDouble();
        }
        m_footerValid = true;
        return;
    }
    const QVector<int> rows = m_rows.datasetRows();
    for (int i = 0; i < m_footer.size(); ++i) {
        const FooterSummary& s = m_footer[i];
        if (s.kind == FooterSummary::Kind::Count) {
            m_footerValues[i] = rows.size();
            continue;
        }
        const int f = fieldColumn(s.field);
        if (f < 0) {
            continue;
        }
        double sum = 0;
        for (int r : rows) {
            sum += m_dataset->value(r, f).toDouble();
        }
        m_footerValues[i] = sum;
    }
    m_footerValid = true;
}

QString GridModel::footerText(int i) const {
    if (i < 0 || i >= m_footer.size()) {
        return {};
    }
    if (!m_footerValid) {
        recomputeFooter();
    }
    return m_footer[i].render(m_footerValues[i]);
}

QStringList GridModel::summedFields() const {
    QStringList fields;
    for (const FooterSummary& s : m_footer) {
        if (s.kind == FooterSummary::Kind::Sum) {
            fields.append(s.field);
        }
    }
    return fields;
}

QString GridModel::footerText(const QString& field) const {
    for (int i = 0; i < m_footer.size(); ++i) {
        if (m_footer[i].field.compare(field, Qt::CaseInsensitive) == 0) {
            return footerText(i);
        }
    }
    return {};
}

int GridModel::datasetRow(int gridRow) const {
    return m_rows.datasetRow(gridRow);
}

int GridModel::gridRow(int datasetRow) const {
    return m_rows.gridRow(datasetRow);
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows.gridRowCount();
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns.size();
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    const int r = index.isValid() && m_dataset ? m_rows.datasetRow(index.row()) : -1;
    if (r < 0) {
        return {};
    }
    const int f = m_fieldIndex.value(index.column(), -1);
    switch (role) {
        case Qt::DisplayRole:
            return displayText(r, index.column());
        case Qt::EditRole:
            return f >= 0 ? m_dataset->value(r, f) : QVariant();
        case Qt::TextAlignmentRole:
            if (f >= 0 && !m_columns[index.column()].lookup) {
                const FieldDef::Type t = m_dataset->fields()[f].type;
                if (t == FieldDef::Type::Integer || t == FieldDef::Type::Decimal) {
                    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
                }
            }
            return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        case PreviewRole:
            return previewText(index.row());
        case Qt::BackgroundRole:
            if (m_columns[index.column()].highlight) {
                return QBrush(GridColumn::highlightBackground());
            }
            return {};
        default:
            return {};
    }
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!m_dataset || !index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) {
        return false;
    }
    const int r = m_rows.datasetRow(index.row());
    const int f = m_fieldIndex.value(index.column(), -1);
    if (r < 0 || f < 0) {
        return false;
    }
    try {
        m_dataset->editCell(r, f, value);
    } catch (const std::exception& e) {
        // Exceptions must not cross the view's event handling.
        emit editFailed(userTextOf(e), detailsOf(e));
        return false;
    }
    return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    if (!m_readOnly && m_columns[index.column()].editable) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    return section >= 0 && section < m_columns.size() ? QVariant(m_columns[section].caption) : QVariant();
}
