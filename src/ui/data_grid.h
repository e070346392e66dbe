#pragma once

#include <QTableView>
#include <QWidget>

class QLabel;
class QLineEdit;

#include "ui/grid_model.h"

class FooterBar;
class ListReading;

// The table view of a DataGrid: Enter edits an editable cell (or activates
// the row), Escape cancels an edit, rows can be dragged.
class GridView : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;

    // The height of a preview line under a row's cells.
    int previewLineHeight() const { return fontMetrics().height() + 4; }

signals:
    void rowActivated(const QModelIndex& index);
    void enterChainEnded();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

public:
    QString dragKeyField;
    // Enter in the editor of one of these fields opens the next one's cell
    // in the same row; after the last, enterChainEnded() is emitted.
    QStringList enterChain;
    bool isEditing() const { return state() == EditingState; }
    // Makes a cell current and opens its editor with the value selected;
    // false when the cell cannot be edited.
    bool openEditor(const QModelIndex& index);
    // Writes what an open cell editor holds into its row and closes it, as
    // leaving the cell would (before a save or a command on the rows).
    void commitEdit();

private:
    void paintPreviewLines(const QRect& area);
    // Escape on a new row nothing was typed into takes the row away.
    bool dropUntouchedDraft();
};

// A grid over a Dataset: declared columns, filters on the loaded rows,
// single or multiple selection, a footer with counts and sums, and the
// column filter lists (with "custom filter" when switched on).
class DataGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kRowsMimeType = "application/x-olvend-grid-rows";

    explicit DataGrid(QWidget* parent = nullptr);

    void setDataset(Dataset* dataset);
    Dataset* dataset() const { return m_model->dataset(); }
    void setColumns(const QList<GridColumn>& columns);
    void setColumnVisible(const QString& field, bool visible);
    // Shows a field's text as a line of its own under each row that has
    // one, across the columns (the row's preview, such as a remark); only
    // those rows grow. An empty name shows no preview lines.
    void setPreviewField(const QString& field);
    QString previewField() const { return m_model->previewField(); }
    void setFooter(const QList<FooterSummary>& footer);
    void setReadOnly(bool readOnly);
    void setMultiSelect(bool multi);
    void setInitialSort(const QString& field, Qt::SortOrder order = Qt::AscendingOrder);
    // Sorts the rows again as they are sorted now (a new row is shown last
    // until then), keeping the current row current and in view.
    void resort();
    void setStyleName(const QString& styleName);
    // Offers "custom filter" in the column filter lists.
    void setCustomFilterEnabled(bool on) { m_customFilter = on; }
    bool customFilterEnabled() const { return m_customFilter; }
    // Rows can be dragged; the drag carries the values of this field.
    void setDragKeyField(const QString& field);

    void setTextFilter(const QString& text, const QStringList& fields) { m_model->setTextFilter(text, fields); }
    void setDateFilter(const QString& field, const Period& period) { m_model->setDateFilter(field, period); }
    void clearFilters() { m_model->clearFilters(); }

    void commitEdit() { m_view->commitEdit(); }
    // Dataset rows of the selected grid rows, in grid order.
    QList<int> selectedRows() const;
    void selectRow(int datasetRow);
    // Makes the row whose `field` holds `value` current and selected, else
    // `fallbackRow`. A row of a list still being read is selected when it
    // comes, and no row meanwhile (so that no command acts on another),
    // unless the user selects one first.
    void selectRowWhere(const QString& field, const QVariant& value, int fallbackRow);
    QString footerText(const QString& field) const { return m_model->footerText(field); }
    GridModel* model() const { return m_model; }
    // Reads the rest of a list read in parts, with its progress line.
    ListReading* reading() const { return m_reading; }
    GridView* view() const { return m_view; }
    // Shows the filter list of a column (as a right click on its header does).
    void showColumnFilterMenu(int column, const QPoint& globalPos);

    // A line under the rows where a new row is started by typing (a goods
    // code, name or initials), set under the column of `field`.
    QLineEdit* addEntryLine(const QString& field, const QString& placeholder);
    QLineEdit* entryLine() const { return m_entry; }
    // A short note beside the entry line (what was not found); empty hides it.
    void setEntryMessage(const QString& text);
    QString entryMessage() const;
    // Enter in the editor of one of these fields moves to the next one's
    // cell; after the last, to the entry line.
    void setEnterChain(const QStringList& fields) { m_view->enterChain = fields; }
    // Makes a row's cell current and opens its editor.
    void editCell(int datasetRow, const QString& field);

signals:
    void rowDoubleClicked(int datasetRow);
    void editFailed(const QString& message, const QString& details);
    void selectionChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void syncCurrentFromView(const QModelIndex& current);
    void syncCurrentFromDataset(int datasetRow);
    // Rows with a preview line are taller by its height, the others plain.
    void fitRowHeights(int first, int last);
    void placeEntryLine();
    // The row selectRowWhere() waits for, among rows just read.
    void lookForAwaitedRow(int first, int count);

    GridModel* m_model;
    QWidget* m_entryStrip = nullptr;
    QLineEdit* m_entry = nullptr;
    QLabel* m_entryMessage = nullptr;
    QString m_entryField;
    GridView* m_view;
    FooterBar* m_footer;
    QLabel* m_readingLine;
    ListReading* m_reading;
    QString m_styleName;
    bool m_customFilter = false;
    bool m_syncing = false;
    bool m_tallRows = false;  // some rows may be taller than plain
    QString m_awaitedField;
    QVariant m_awaitedValue;
    int m_awaitedFallback = -1;  // when the row never comes
};
