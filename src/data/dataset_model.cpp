#include "data/dataset_model.h"

#include "platform/errors.h"

DatasetModel::DatasetModel(Dataset* dataset, QObject* parent) : QAbstractTableModel(parent), m_dataset(dataset) {
    connect(dataset, &Dataset::aboutToReset, this, [this] { beginResetModel(); });
    connect(dataset, &Dataset::resetDone, this, [this] { endResetModel(); });
    connect(dataset, &Dataset::rowAboutToBeInserted, this, [this](int row) { beginInsertRows({}, row, row); });
    connect(dataset, &Dataset::rowInserted, this, [this](int) { endInsertRows(); });
    connect(dataset, &Dataset::rowAboutToBeRemoved, this, [this](int row) { beginRemoveRows({}, row, row); });
    connect(dataset, &Dataset::rowRemoved, this, [this](int) { endRemoveRows(); });
    connect(dataset, &Dataset::valuesRefreshed, this, [this] {
        if (rowCount() > 0 && columnCount() > 0) {
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        }
    });
    connect(dataset, &Dataset::rowChanged, this, [this](int row) {
        if (row >= 0 && row < rowCount() && columnCount() > 0) {
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        }
    });
}

void DatasetModel::setHeaderCaption(const QString& field, const QString& caption) {
    m_captions.insert(field.toLower(), caption);
    const int c = m_dataset ? m_dataset->fieldIndex(field) : -1;
    if (c >= 0) {
        emit headerDataChanged(Qt::Horizontal, c, c);
    }
}

int DatasetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_dataset ? 0 : m_dataset->rowCount();
}

int DatasetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_dataset ? 0 : static_cast<int>(m_dataset->fields().size());
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_dataset) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return m_dataset->displayText(index.row(), index.column());
        case Qt::EditRole:
            return m_dataset->value(index.row(), index.column());
        case Qt::TextAlignmentRole: {
            const FieldDef::Type t = m_dataset->fields()[index.column()].type;
            if (t == FieldDef::Type::Integer || t == FieldDef::Type::Decimal) {
                return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            }
            return {};
        }
        default:
            return {};
    }
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || m_readOnly || !m_dataset) {
        return false;
    }
    try {
        m_dataset->editCell(index.row(), index.column(), value);
    } catch (const OlvendError& e) {
        // Exceptions must not cross the view's event handling: the message
        // goes to whoever shows it.
        emit editFailed(e.message());
        return false;
    }
    return true;
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!m_readOnly) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !m_dataset) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    if (section < 0 || section >= m_dataset->fields().size()) {
        return {};
    }
    const QString name = m_dataset->fields()[section].name;
    return m_captions.value(name.toLower(), name);
}
