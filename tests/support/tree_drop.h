#pragma once

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>

#include "ui/tree_list.h"

namespace TestBooks {

// Drags grid rows or tree nodes (their keys, under mimeType) onto a node, as the mouse does.
inline void dropOn(TreeList* tree, const QVariant& target, const char* mimeType, const QStringList& keys) {
    tree->expandAll();
    QMimeData mime;
    mime.setData(mimeType, keys.join('\n').toUtf8());
    const QPoint at = tree->visualRect(tree->treeModel()->indexOfId(target)).center();
    // Qt hands a drop only to the widget that accepted the drag's entry.
    QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
    QDropEvent drop(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &drop);
}

}  // namespace TestBooks
