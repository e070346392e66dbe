#pragma once

#include <QAbstractTableModel>
#include <QDate>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include "data/dataset.h"
#include "platform/period.h"
#include "ui/grid_column.h"
#include "ui/grid_row_index.h"

// The model behind a DataGrid: the declared columns of a Dataset, with the
// grid's filters and sort applied to the loaded rows. Filtering and sorting
// keep an index of row numbers both ways, so large lists stay light and a
// row's change or removal finds its grid row without a search; footer sums
// are computed once per change and kept until the next one.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The text of a row's preview line (see setPreviewField), the same in
    // every column of the row.
    static constexpr int PreviewRole = Qt::UserRole + 40;

    explicit GridModel(QObject* parent = nullptr);

    void setDataset(Dataset* dataset);
    Dataset* dataset() const { return m_dataset; }
    void setColumns(const QList<GridColumn>& columns);
    const QList<GridColumn>& columns() const { return m_columns; }
    int columnOf(const QString& field) const;
    // A field shown as a line of its own under each row that has a value
    // for it (the row's preview); it need not be a column. An empty name
    // shows none.
    void setPreviewField(const QString& field);
    QString previewField() const { return m_previewField; }
    // The preview text of a grid row on one line, or empty.
    QString previewText(int gridRow) const;
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool isReadOnly() const { return m_readOnly; }

    // Filters on the loaded rows. Text: LIKE '%text%' over the fields, joined
    // by OR, without regard to case; among the fields, the pinyin initials
    // column matches initials typed as the start of one of its words. Date: the field's day between the two
    // days (an invalid day leaves that side open).
    void setTextFilter(const QString& text, const QStringList& fields);
    void setDateFilter(const QString& field, const Period& period);
    // Column filter: only rows whose shown text is one of `values`
    // (an empty set clears it); or, with `contains`, rows whose text
    // contains it or, typed as letters, whose pinyin initials begin with it.
    void setColumnFilter(const QString& field, const QSet<QString>& values, const QString& contains = {});
    void clearFilters();
    bool isFiltered() const;
    // The distinct texts of a column over the loaded rows, sorted.
    QStringList distinctTexts(const QString& field) const;

    void setFooter(const QList<FooterSummary>& footer);
    const QList<FooterSummary>& footer() const { return m_footer; }
    QString footerText(int index) const;
    QString footerText(const QString& field) const;
    int footerRecomputations() const { return m_recomputations; }
    // The fields the footer sums.
    QStringList summedFields() const;

    // Row numbers between the grid and the dataset.
    int datasetRow(int gridRow) const;
    int gridRow(int datasetRow) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    QString displayText(int datasetRow, int column) const;

signals:
    void footerChanged();
    // A cell's edit was refused: the user's text and its technical details
    // (empty for a rule's refusal).
    void editFailed(const QString& message, const QString& details);

private:
    struct ColumnFilter {
        QSet<QString> values;
        QString contains;
        QString initials;  // `contains` typed as pinyin initials, if it can be
    };
    void rebuild();
    void fillRows();
    void appendRows(int first, int count);
    // Sorts the rows that came out of the grid's order while a list was
    // read in parts.
    void sortPending();
    bool accepts(int datasetRow) const;
    void sortRows(QVector<int>& rows) const;
    void invalidateFooter();
    void recomputeFooter() const;
    int fieldColumn(const QString& field) const;

    QPointer<Dataset> m_dataset;
    QList<GridColumn> m_columns;
    QVector<int> m_fieldIndex;  // dataset field index of each column
    QString m_previewField;
    int m_previewIndex = -1;  // its dataset field index
    GridRowIndex m_rows;      // dataset rows in grid order, and back
    bool m_readOnly = true;

    QString m_text;
    QStringList m_textFields;
    QList<QPair<int, int>> m_textTargets;  // (grid column or -1, dataset field)
    int m_initialsField = -1;              // dataset field of the pinyin initials
    QString m_typedInitials;
    QString m_dateField;
    Period m_period;
    QHash<QString, ColumnFilter> m_columnFilters;  // by lower-case field
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_sortPending = false;

    QList<FooterSummary> m_footer;
    mutable QVector<double> m_footerValues;
    mutable bool m_footerValid = false;
    mutable int m_recomputations = 0;
    bool m_footerSignalPending = false;
};
