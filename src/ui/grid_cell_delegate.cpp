#include "ui/grid_cell_delegate.h"

#include <QLineEdit>

#include "data/dataset.h"
#include "ui/editors.h"
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

bool GridCellDelegate::isDateOnly(const QModelIndex& index) {
    const auto* grid = qobject_cast<const GridModel*>(index.model());
    if (!grid || !grid->dataset() || index.column() < 0 || index.column() >= grid->columns().size()) {
        return false;
    }
    const GridColumn& column = grid->columns()[index.column()];
    const int f = grid->dataset()->fieldIndex(column.field);
    if (f < 0 || column.lookup || grid->dataset()->fields()[f].type != FieldDef::Type::DateTime) {
        return false;
    }
    const QString format = column.format.isEmpty() ? grid->dataset()->fields()[f].displayFormat : column.format;
    return !format.isEmpty() && !format.contains('h', Qt::CaseInsensitive);
}

bool GridCellDelegate::isNumber(const QModelIndex& index) {
    const auto* grid = qobject_cast<const GridModel*>(index.model());
    if (!grid || !grid->dataset() || index.column() < 0 || index.column() >= grid->columns().size() ||
        grid->columns()[index.column()].lookup) {
        return false;
    }
    const int f = grid->dataset()->fieldIndex(grid->columns()[index.column()].field);
    if (f < 0) {
        return false;
    }
    const FieldDef::Type type = grid->dataset()->fields()[f].type;
    return type == FieldDef::Type::Integer || type == FieldDef::Type::Decimal;
}

QWidget* GridCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    if (isDateOnly(index)) {
        return new NullableDateEdit(parent);
    }
    if (isNumber(index)) {
        // Keys that make no number are kept and marked, never dropped: a
        // spin box would turn "9x5" into 95.
        auto* number = new NumberEdit(parent);
        number->setDecimals(-1);
        return number;
    }
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    // A text cell takes no more than its column holds: what is typed is
    // never refused (and lost) when the cell is left.
    const auto* grid = qobject_cast<const GridModel*>(index.model());
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (grid && grid->dataset() && line && index.column() >= 0 && index.column() < grid->columns().size() &&
        !grid->columns()[index.column()].lookup) {
        const int f = grid->dataset()->fieldIndex(grid->columns()[index.column()].field);
        if (f >= 0 && grid->dataset()->fields()[f].type == FieldDef::Type::Text &&
            grid->dataset()->fields()[f].size > 0) {
            line->setMaxLength(grid->dataset()->fields()[f].size);
        }
    }
    return editor;
}

void GridCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* date = qobject_cast<NullableDateEdit*>(editor)) {
        date->setValue(index.data(Qt::EditRole));
        return;
    }
    if (auto* number = qobject_cast<NumberEdit*>(editor)) {
        number->setValue(index.data(Qt::EditRole));
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void GridCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    if (auto* date = qobject_cast<NullableDateEdit*>(editor)) {
        model->setData(index, date->value(), Qt::EditRole);
        return;
    }
    if (auto* number = qobject_cast<NumberEdit*>(editor)) {
        // Text that is no number goes as typed, for the row to refuse with
        // a message naming the column and the text.
        // (a lone sign or point included: it is no value, not an empty one).
        const bool asTyped =
            !number->rejection().isEmpty() || (number->value().isNull() && !number->text().trimmed().isEmpty());
        model->setData(index, asTyped ? QVariant(number->text()) : number->value(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}
