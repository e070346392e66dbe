#include "ui/data_grid.h"

#include <QDrag>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QVBoxLayout>

#include "ui/action_manager.h"
#include "ui/footer_bar.h"
#include "ui/grid_cell_delegate.h"
#include "ui/list_reading.h"
#include "ui/style_holder.h"

void GridView::commitEdit() {
    if (state() != EditingState) {
        return;
    }
    QWidget* editor = indexWidget(currentIndex());
    if (editor) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

bool GridView::dropUntouchedDraft() {
    auto* grid = qobject_cast<GridModel*>(model());
    Dataset* rows = grid ? grid->dataset() : nullptr;
    if (!rows || !rows->holdsUntouchedDraft()) {
        return false;
    }
    rows->cancel();
    return true;
}

void GridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    const QModelIndex edited = currentIndex();
    QTableView::closeEditor(editor, hint);
    if (hint == QAbstractItemDelegate::RevertModelCache) {
        dropUntouchedDraft();
    }
    auto* grid = qobject_cast<GridModel*>(model());
    if (hint != QAbstractItemDelegate::SubmitModelCache || enterChain.isEmpty() || !grid || !edited.isValid()) {
        return;
    }
    const int at = enterChain.indexOf(grid->columns().value(edited.column()).field);
    if (at < 0) {
        return;
    }
    // Enter moves on to the next field shown; the row as it stands now
    // (a sort may have moved it).
    const QModelIndex row = currentIndex().isValid() ? currentIndex() : edited;
    for (int i = at + 1; i < enterChain.size(); ++i) {
        const int column = grid->columnOf(enterChain[i]);
        if (column < 0 || isColumnHidden(column)) {
            continue;
        }
        const QModelIndex next = grid->index(row.row(), column);
        if ((next.flags() & Qt::ItemIsEditable) && openEditor(next)) {
            return;
        }
    }
    emit enterChainEnded();
}

bool GridView::openEditor(const QModelIndex& index) {
    setCurrentIndex(index);
    scrollTo(index);
    if (!edit(index, QAbstractItemView::AllEditTriggers, nullptr)) {
        return false;
    }
    // What is typed replaces the value, as in a spreadsheet.
    if (auto* line = qobject_cast<QLineEdit*>(indexWidget(index))) {
        line->selectAll();
    } else if (QWidget* editor = indexWidget(index)) {
        if (auto* inner = editor->findChild<QLineEdit*>()) {
            inner->selectAll();
        }
    }
    return true;
}

void GridView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && state() != EditingState && dropUntouchedDraft()) {
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && state() != EditingState) {
        const QModelIndex current = currentIndex();
        if (current.isValid()) {
            if (current.flags() & Qt::ItemIsEditable) {
                edit(current);
            } else {
                emit rowActivated(current);
            }
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void GridView::startDrag(Qt::DropActions supportedActions) {
    auto* grid = qobject_cast<GridModel*>(model());
    if (!grid || dragKeyField.isEmpty() || !grid->dataset()) {
        return;
    }
    QStringList keys;
    const QModelIndexList rows = selectionModel()->selectedRows();
    for (const QModelIndex& i : rows) {
        keys.append(grid->dataset()->value(grid->datasetRow(i.row()), dragKeyField).toString());
    }
    if (keys.isEmpty()) {
        return;
    }
    auto* mime = new QMimeData;
    mime->setData(DataGrid::kRowsMimeType, keys.join('\n').toUtf8());
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(supportedActions, Qt::MoveAction);
}

void GridView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    auto* grid = qobject_cast<GridModel*>(model());
    if (grid && !grid->previewField().isEmpty()) {
        paintPreviewLines(event->rect());
    }
}

// Each preview line spans the row under its cells, over the column lines,
// in the row's colours; text too long for the row ends in "...".
void GridView::paintPreviewLines(const QRect& area) {
    auto* grid = qobject_cast<GridModel*>(model());
    const int first = rowAt(area.top());
    if (first < 0) {
        return;
    }
    int last = rowAt(area.bottom());
    if (last < 0) {
        last = grid->rowCount() - 1;
    }
    QPainter painter(viewport());
    const int line = previewLineHeight();
    const int left = -horizontalOffset();
    const int width = horizontalHeader()->length();
    const QPalette::ColorGroup group = isActiveWindow() ? QPalette::Active : QPalette::Inactive;
    for (int row = first; row <= last; ++row) {
        const QString text = grid->previewText(row);
        if (text.isEmpty() || rowHeight(row) <= line) {
            continue;
        }
        const int bottom = rowViewportPosition(row) + rowHeight(row) - (showGrid() ? 1 : 0);
        const QRect strip(left, bottom - line, width - (showGrid() ? 1 : 0), line);
        const bool selected = selectionModel() && selectionModel()->isRowSelected(row, rootIndex());
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.rect = strip;
        option.state |= QStyle::State_Enabled;
        if (selected) {
            option.state |= QStyle::State_Selected;
        }
        if (alternatingRowColors() && row % 2 == 1) {
            option.features |= QStyleOptionViewItem::Alternate;
        }
        // The row's own background, as the style draws it for a cell.
        painter.fillRect(
            strip, palette().brush(group, option.features & QStyleOptionViewItem::Alternate ? QPalette::AlternateBase
                                                                                            : QPalette::Base));
        style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &option, &painter, this);
        style()->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, &painter, this);
        painter.setPen(selected ? palette().color(group, QPalette::HighlightedText) : QColor(0x1F, 0x4E, 0x99));
        const QRect textRect = strip.adjusted(16, 0, -4, 0);
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    }
}

DataGrid::DataGrid(QWidget* parent)
    : QWidget(parent), m_model(new GridModel(this)), m_view(new GridView(this)), m_styleName(StyleHolder::GridCE) {
    m_view->setModel(m_model);
    m_view->setItemDelegate(new GridCellDelegate(m_view));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setMinimumWidth(28);
    m_view->horizontalHeader()->setSectionsMovable(true);
    m_view->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->horizontalHeader()->setHighlightSections(false);
    m_view->setWordWrap(false);
    m_footer = new FooterBar(m_view, m_model, this);
    m_readingLine = new QLabel(this);
    m_readingLine->setObjectName(QStringLiteral("readingLine"));
    m_readingLine->setContentsMargins(4, 2, 4, 2);
    m_reading = new ListReading(m_readingLine, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_view);
    layout->addWidget(m_footer);
    layout->addWidget(m_readingLine);
    m_footer->hide();
    setStyleName(m_styleName);

    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex& i) {
        if (i.isValid() && !(i.flags() & Qt::ItemIsEditable)) {
            emit rowDoubleClicked(m_model->datasetRow(i.row()));
        }
    });
    connect(m_view, &GridView::rowActivated, this,
            [this](const QModelIndex& i) { emit rowDoubleClicked(m_model->datasetRow(i.row())); });
    connect(m_model, &GridModel::editFailed, this, &DataGrid::editFailed);
    connect(m_view->horizontalHeader(), &QHeaderView::customContextMenuRequested, this, [this](const QPoint& pos) {
        const int column = m_view->horizontalHeader()->logicalIndexAt(pos);
        if (column >= 0) {
            showColumnFilterMenu(column, m_view->horizontalHeader()->mapToGlobal(pos));
        }
    });
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { syncCurrentFromView(current); });
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &DataGrid::selectionChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        fitRowHeights(0, m_model->rowCount() - 1);
        if (dataset() && dataset()->currentRow() >= 0) {
            syncCurrentFromDataset(dataset()->currentRow());
        }
        // The reset dropped the selection without saying so.
        emit selectionChanged();
    });
    connect(m_model, &QAbstractItemModel::layoutChanged, this, [this] { fitRowHeights(0, m_model->rowCount() - 1); });
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { fitRowHeights(first, last); });
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) { fitRowHeights(from.row(), to.row()); });
}

void DataGrid::setStyleName(const QString& styleName) {
    m_styleName = styleName;
    StyleHolder::applyGrid(m_view, styleName);
    m_footer->setColors(StyleHolder::footerBackground(styleName), StyleHolder::footerText(styleName));
    QFont f = m_footer->font();
    f.setBold(styleName == QLatin1String(StyleHolder::GridClassic));
    m_footer->setFont(f);
}

void DataGrid::setDataset(Dataset* dataset) {
    if (Dataset* old = m_model->dataset()) {
        disconnect(old, nullptr, this, nullptr);
    }
    m_model->setDataset(dataset);
    m_awaitedField.clear();
    if (dataset) {
        connect(dataset, &Dataset::currentRowChanged, this, &DataGrid::syncCurrentFromDataset);
        // After the grid model has placed the rows.
        connect(dataset, &Dataset::rowsAppended, this, &DataGrid::lookForAwaitedRow);
        // A read that stopped short ends the wait too.
        connect(dataset, &Dataset::readingEnded, this, [this] { lookForAwaitedRow(0, 0); });
    }
    m_reading->follow(dataset);
}

void DataGrid::setColumns(const QList<GridColumn>& columns) {
    m_model->setColumns(columns);
    for (int i = 0; i < columns.size(); ++i) {
        m_view->setColumnWidth(i, columns[i].width);
        m_view->setColumnHidden(i, !columns[i].visible);
    }
}

void DataGrid::setColumnVisible(const QString& field, bool visible) {
    const int c = m_model->columnOf(field);
    if (c >= 0) {
        m_view->setColumnHidden(c, !visible);
        m_footer->update();
    }
}

void DataGrid::setPreviewField(const QString& field) {
    m_model->setPreviewField(field);
    fitRowHeights(0, m_model->rowCount() - 1);
    m_view->viewport()->update();
}

void DataGrid::fitRowHeights(int first, int last) {
    const bool previews = !m_model->previewField().isEmpty();
    if (!previews && !m_tallRows) {
        return;
    }
    const int plain = m_view->verticalHeader()->defaultSectionSize();
    const int tall = plain + m_view->previewLineHeight();
    // With updates on, the header lays out every row again after each
    // single resize; off, the rows are laid out once at the end.
    const bool updates = m_view->updatesEnabled();
    m_view->setUpdatesEnabled(false);
    for (int row = qMax(0, first); row <= last && row < m_model->rowCount(); ++row) {
        const int height = previews && !m_model->previewText(row).isEmpty() ? tall : plain;
        if (m_view->rowHeight(row) != height) {
            m_view->setRowHeight(row, height);
        }
    }
    m_view->setUpdatesEnabled(updates);
    m_tallRows = previews;
}

void DataGrid::setFooter(const QList<FooterSummary>& footer) {
    m_model->setFooter(footer);
    m_footer->setVisible(!footer.isEmpty());
}

void DataGrid::setReadOnly(bool readOnly) {
    m_model->setReadOnly(readOnly);
}

void DataGrid::setMultiSelect(bool multi) {
    m_view->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void DataGrid::setInitialSort(const QString& field, Qt::SortOrder order) {
    const int c = m_model->columnOf(field);
    if (c >= 0) {
        m_view->horizontalHeader()->setSortIndicatorShown(true);
        m_view->sortByColumn(c, order);
        m_view->setSortingEnabled(true);
    }
}

void DataGrid::resort() {
    if (m_model->sortColumn() < 0) {
        return;
    }
    m_model->sort(m_model->sortColumn(), m_model->sortOrder());
    if (m_view->currentIndex().isValid()) {
        m_view->scrollTo(m_view->currentIndex());
    }
}

void DataGrid::setDragKeyField(const QString& field) {
    m_view->dragKeyField = field;
    m_view->setDragEnabled(!field.isEmpty());
    m_view->setDragDropMode(field.isEmpty() ? QAbstractItemView::NoDragDrop : QAbstractItemView::DragOnly);
}

QList<int> DataGrid::selectedRows() const {
    QList<int> gridRows;
    for (const QModelIndex& i : m_view->selectionModel()->selectedRows()) {
        gridRows.append(i.row());
    }
    std::sort(gridRows.begin(), gridRows.end());
    QList<int> out;
    for (int g : gridRows) {
        out.append(m_model->datasetRow(g));
    }
    return out;
}

void DataGrid::selectRow(int datasetRow) {
    const int g = m_model->gridRow(datasetRow);
    if (g >= 0) {
        m_view->selectRow(g);
    }
}

void DataGrid::selectRowWhere(const QString& field, const QVariant& value, int fallbackRow) {
    m_awaitedField.clear();
    Dataset* rows = dataset();
    if (!rows || rows->isEmpty()) {
        return;
    }
    const bool wanted = !value.toString().isEmpty();
    if (wanted && rows->locate(field, value)) {
        selectRow(rows->currentRow());
        return;
    }
    if (wanted && rows->hasMoreRows()) {
        // Nothing is selected until the row comes, so that no command acts
        // on another row meanwhile.
        m_awaitedField = field;
        m_awaitedValue = value;
        m_awaitedFallback = fallbackRow;
        m_view->clearSelection();
        return;
    }
    rows->setCurrentRow(fallbackRow);
    selectRow(rows->currentRow());
}

void DataGrid::lookForAwaitedRow(int first, int count) {
    Dataset* rows = dataset();
    if (m_awaitedField.isEmpty() || !rows) {
        return;
    }
    if (!selectedRows().isEmpty()) {
        m_awaitedField.clear();  // the user chose a row meanwhile
        return;
    }
    const int column = rows->fieldIndex(m_awaitedField);
    const QString wanted = m_awaitedValue.toString();
    for (int r = first; column >= 0 && r < first + count; ++r) {
        // A row the grid's filters hide is not made current behind the
        // user's back.
        if (m_model->gridRow(r) >= 0 && rows->value(r, column).toString() == wanted) {
            m_awaitedField.clear();
            rows->setCurrentRow(r);
            selectRow(r);
            return;
        }
    }
    if (!rows->hasMoreRows()) {
        m_awaitedField.clear();
        rows->setCurrentRow(m_awaitedFallback);
        selectRow(rows->currentRow());
    }
}

void DataGrid::syncCurrentFromView(const QModelIndex& current) {
    if (m_syncing || !dataset() || !current.isValid()) {
        return;
    }
    bool moved = false;
    {
        const QScopedValueRollback syncing(m_syncing, true);
        // Leaving a row posts its edit, which may be refused or fail.
        moved = ActionManager::guardIn(this, [&] { dataset()->setCurrentRow(m_model->datasetRow(current.row())); });
    }
    if (!moved) {
        syncCurrentFromDataset(dataset()->currentRow());
    }
}

void DataGrid::syncCurrentFromDataset(int datasetRow) {
    if (m_syncing) {
        return;
    }
    const int g = m_model->gridRow(datasetRow);
    if (g < 0) {
        return;
    }
    m_syncing = true;
    const QModelIndex current = m_view->currentIndex();
    m_view->setCurrentIndex(m_model->index(g, current.isValid() ? current.column() : 0));
    m_syncing = false;
}

QLineEdit* DataGrid::addEntryLine(const QString& field, const QString& placeholder) {
    if (!m_entry) {
        m_entryStrip = new QWidget(this);
        m_entry = new QLineEdit(m_entryStrip);
        m_entry->setObjectName(QStringLiteral("entryLine"));
        m_entryMessage = new QLabel(m_entryStrip);
        m_entryMessage->setStyleSheet(QStringLiteral("color: #C00000;"));
        m_entryMessage->hide();
        // A new text is a new try: the note on the last one goes.
        connect(m_entry, &QLineEdit::textEdited, this, [this] { setEntryMessage({}); });
        m_entryStrip->setFixedHeight(m_entry->sizeHint().height() + 2);
        static_cast<QVBoxLayout*>(layout())->insertWidget(1, m_entryStrip);
        QHeaderView* header = m_view->horizontalHeader();
        connect(header, &QHeaderView::sectionResized, this, &DataGrid::placeEntryLine);
        connect(header, &QHeaderView::sectionMoved, this, &DataGrid::placeEntryLine);
        connect(header, &QHeaderView::geometriesChanged, this, &DataGrid::placeEntryLine);
        connect(m_view->horizontalScrollBar(), &QScrollBar::valueChanged, this, &DataGrid::placeEntryLine);
        connect(m_view, &GridView::enterChainEnded, m_entry, [this] {
            // Back under the goods column for the next line.
            const int column = m_model->columnOf(m_entryField);
            const QModelIndex current = m_view->currentIndex();
            if (column >= 0 && current.isValid()) {
                m_view->scrollTo(m_model->index(current.row(), column));
                // Its left edge too, as far left as the grid goes when it is
                // the first column shown: the line lies under it.
                bool first = true;
                for (int v = 0; v < m_view->horizontalHeader()->visualIndex(column); ++v) {
                    first = first && m_view->isColumnHidden(m_view->horizontalHeader()->logicalIndex(v));
                }
                if (first) {
                    m_view->horizontalScrollBar()->setValue(m_view->horizontalScrollBar()->minimum());
                }
            }
            m_entry->setFocus();
        });
        m_view->installEventFilter(this);
        m_entry->installEventFilter(this);
    }
    m_entryField = field;
    m_entry->setPlaceholderText(placeholder);
    placeEntryLine();
    return m_entry;
}

void DataGrid::placeEntryLine() {
    if (!m_entry) {
        return;
    }
    // Under its column, as if it were the cell of a new last row; wide
    // enough to type a name into.
    const int column = m_model->columnOf(m_entryField);
    const int x = column >= 0 ? m_view->columnViewportPosition(column) : 0;
    const int left =
        m_view->frameWidth() + (m_view->verticalHeader()->isVisible() ? m_view->verticalHeader()->width() : 0);
    const int width = qMax(column >= 0 ? m_view->columnWidth(column) : 0,
                           m_entry->fontMetrics().horizontalAdvance(m_entry->placeholderText()) + 16);
    const QRect line(qMax(0, left + x), 1, qMin(width, qMax(80, m_entryStrip->width() - left - qMax(0, x))),
                     m_entryStrip->height() - 2);
    m_entry->setGeometry(line);
    m_entryMessage->setGeometry(line.right() + 8, 1, qMax(0, m_entryStrip->width() - line.right() - 10), line.height());
}

void DataGrid::setEntryMessage(const QString& text) {
    if (!m_entryMessage) {
        return;
    }
    m_entryMessage->setText(text);
    m_entryMessage->setVisible(!text.isEmpty());
    m_entry->setToolTip(text);
    placeEntryLine();
}

QString DataGrid::entryMessage() const {
    return m_entryMessage ? m_entryMessage->text() : QString();
}

void DataGrid::editCell(int datasetRow, const QString& field) {
    const int row = m_model->gridRow(datasetRow);
    const int column = m_model->columnOf(field);
    if (row < 0 || column < 0) {
        return;
    }
    m_view->setFocus();
    m_view->openEditor(m_model->index(row, column));
}

bool DataGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view && event->type() == QEvent::Resize) {
        placeEntryLine();
    }
    if (watched == m_view && event->type() == QEvent::KeyPress && m_entry && !m_view->isEditing()) {
        // Down from the last row goes on to the entry line.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QModelIndex current = m_view->currentIndex();
        if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier &&
            (!current.isValid() || current.row() == m_model->rowCount() - 1)) {
            m_entry->setFocus();
            return true;
        }
    }
    if (watched == m_entry && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Up && m_model->rowCount() > 0) {
        // Up from the entry line goes back to the last row.
        m_view->setFocus();
        m_view->setCurrentIndex(m_model->index(m_model->rowCount() - 1, qMax(0, m_view->currentIndex().column())));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void DataGrid::showColumnFilterMenu(int column, const QPoint& globalPos) {
    const QString field = m_model->columns().value(column).field;
    // The menu offers the values of every row, not only of those read so
    // far; a list that stays incomplete offers none.
    if (!ActionManager::guardIn(this, [this] { m_reading->finish(); })) {
        return;
    }
    QMenu menu(this);
    menu.addAction(QStringLiteral("(全部)"), this, [this, field] { m_model->setColumnFilter(field, {}); });
    if (m_customFilter) {
        menu.addAction(QStringLiteral("(自定义...)"), this, [this, field] {
            bool ok = false;
            const QString text = QInputDialog::getText(this, QStringLiteral("自定义过滤"), QStringLiteral("包含:"),
                                                       QLineEdit::Normal, {}, &ok);
            if (ok) {
                m_model->setColumnFilter(field, {}, text);
            }
        });
    }
    menu.addSeparator();
    const QStringList values = m_model->distinctTexts(field);
    for (int i = 0; i < values.size() && i < 500; ++i) {
        const QString v = values[i];
        menu.addAction(v.isEmpty() ? QStringLiteral("(空白)") : v, this,
                       [this, field, v] { m_model->setColumnFilter(field, {v}); });
    }
    menu.exec(globalPos);
}
