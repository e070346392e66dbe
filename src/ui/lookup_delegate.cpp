#include "ui/lookup_delegate.h"

#include "ui/editors.h"
#include "ui/grid_model.h"

QWidget* LookupDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
    const auto* grid = qobject_cast<const GridModel*>(index.model());
    if (!grid || !grid->columns().value(index.column()).lookup) {
        return GridCellDelegate::createEditor(parent, option, index);
    }
    auto* combo = new LookupCombo(parent);
    combo->setLookup(grid->columns()[index.column()].lookup);
    return combo;
}

void LookupDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* combo = qobject_cast<LookupCombo*>(editor)) {
        combo->setValue(index.data(Qt::EditRole));
        return;
    }
    GridCellDelegate::setEditorData(editor, index);
}

void LookupDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    if (auto* combo = qobject_cast<LookupCombo*>(editor)) {
        model->setData(index, combo->value(), Qt::EditRole);
        return;
    }
    GridCellDelegate::setModelData(editor, model, index);
}
