#pragma once

#include <QStyledItemDelegate>

// Draws the cells of a DataGrid. A row with a preview line keeps its cells
// in the upper part, as tall as a plain row; the grid view draws the
// preview line across the row below them.
class GridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // The height of a row's preview line below its cells, 0 without one.
    static int previewHeight(const QStyleOptionViewItem& option, const QModelIndex& index);
};
