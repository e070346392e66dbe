#pragma once

#include "ui/grid_cell_delegate.h"

// Edits a grid column that stores a code and shows a name: a drop-down of
// the column's lookup list.
class LookupDelegate : public GridCellDelegate {
    Q_OBJECT
public:
    using GridCellDelegate::GridCellDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};
