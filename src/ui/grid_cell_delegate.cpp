#include "ui/grid_cell_delegate.h"

#include "ui/grid_model.h"

int GridCellDelegate::previewHeight(const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (index.data(GridModel::PreviewRole).toString().isEmpty()) {
        return 0;
    }
    return option.fontMetrics.height() + 4;
}

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int preview = previewHeight(option, index);
    if (preview == 0 || option.rect.height() <= preview) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem cell(option);
    cell.rect.setHeight(option.rect.height() - preview);
    QStyledItemDelegate::paint(painter, cell, index);
}

void GridCellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const {
    const int preview = previewHeight(option, index);
    if (preview == 0 || option.rect.height() <= preview) {
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
        return;
    }
    QStyleOptionViewItem cell(option);
    cell.rect.setHeight(option.rect.height() - preview);
    QStyledItemDelegate::updateEditorGeometry(editor, cell, index);
}
