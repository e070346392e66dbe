#include "ui/grid_cell_delegate.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "data/dataset.h"
#include "ui/editors.h"
#include "ui/grid_model.h"

int GridCellDelegate::previewHeight(const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (index.data(GridModel::PreviewRole).toString().isEmpty()) {
        return 0;
    }
    return option.fontMetrics.height() + 4;
}

QFont GridCellDelegate::numberFont(const QStyleOptionViewItem& option, const QModelIndex& index) {
    QFont font = option.font;
    if (!isNumber(index)) {
        return font;
    }
    // The view's text margins on both sides, as the style draws them.
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const int margins = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1);
    const int room = option.rect.width() - margins;
    const QString text = index.data(Qt::DisplayRole).toString();
    const qreal needed = std::ceil(QFontMetricsF(font).horizontalAdvance(text));
    if (room <= 0 || needed <= room || font.pointSizeF() <= 0) {
        return font;
    }
    // A figure cut to "12345…" reads as another amount: it is set smaller
    // until every digit fits, down to a size that can still be read.
    qreal size = font.pointSizeF() * room / needed;
    font.setPointSizeF(std::max<qreal>(size, kSmallestNumberPoints));
    while (font.pointSizeF() > kSmallestNumberPoints && std::ceil(QFontMetricsF(font).horizontalAdvance(text)) > room) {
        font.setPointSizeF(std::max<qreal>(font.pointSizeF() - 0.5, kSmallestNumberPoints));
    }
    return font;
}

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem cell(option);
    cell.font = numberFont(option, index);
    const int preview = previewHeight(option, index);
    if (preview > 0 && option.rect.height() > preview) {
        cell.rect.setHeight(option.rect.height() - preview);
    }
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
        // An impossible date goes as typed, for the row to refuse, rather
        // than the date the box held meanwhile.
        model->setData(index, date->rejection().isEmpty() ? date->value() : QVariant(date->text()), Qt::EditRole);
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
