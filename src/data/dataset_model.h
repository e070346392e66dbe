#pragma once

#include <QAbstractTableModel>
#include <QPointer>

#include "data/dataset.h"

// Shows a Dataset in item views: one column per field, the display text
// under DisplayRole, the stored value under EditRole. Editing a cell writes
// the value into the dataset's row and posts it.
class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DatasetModel(Dataset* dataset, QObject* parent = nullptr);

    Dataset* dataset() const { return m_dataset; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    void setHeaderCaption(const QString& field, const QString& caption);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // A cell edit was refused (a rule or the database said no).
    void editFailed(const QString& message);

private:
    QPointer<Dataset> m_dataset;
    bool m_readOnly = false;
    QHash<QString, QString> m_captions;
};
