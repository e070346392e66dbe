#pragma once

#include <QStyledItemDelegate>

// Draws and edits the cells of a DataGrid. A row with a preview line keeps
// its cells in the upper part, as tall as a plain row; the grid view draws
// the preview line across the row below them. A date column shown without
// its time is edited as a date alone. A number wider than its column is
// drawn smaller rather than cut.
class GridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    // The height of a row's preview line below its cells, 0 without one.
    static int previewHeight(const QStyleOptionViewItem& option, const QModelIndex& index);
    // Whether the cell holds a date and time that its column shows as a
    // date alone ("YYYY-MM-DD").
    static bool isDateOnly(const QModelIndex& index);
    // A cell of a number column without a lookup.
    static bool isNumber(const QModelIndex& index);
    // The font a cell is drawn in: a number too wide for its column is set
    // smaller so that no digit is cut (never below kSmallestNumberPoints).
    static QFont numberFont(const QStyleOptionViewItem& option, const QModelIndex& index);
    static constexpr qreal kSmallestNumberPoints = 5.0;
};
