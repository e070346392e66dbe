#include "ui/tree_list.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QScopedValueRollback>

#include "data/dataset.h"
#include "ui/action_manager.h"
#include "ui/data_grid.h"
#include "ui/style_holder.h"

TreeList::TreeList(QWidget* parent) : QTreeView(parent), m_model(new TreeModel(this)) {
    setModel(m_model);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    StyleHolder::applyTree(this);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        const TreeNodeData* n = m_model->node(current);
        if (!n) {
            return;
        }
        // Moving the dataset may rebuild the model: keep the id, not the node.
        const QVariant id = n->id;
        if (m_dataset && !m_following) {
            const QScopedValueRollback following(m_following, true);
            if (!ActionManager::guardIn(this, [&] { m_dataset->locate(m_idField, id); })) {
                // The dataset stayed on its row (an edit there could not be
                // posted); the tree goes back to it.
                setCurrentId(m_dataset->value(m_idField));
                return;
            }
        }
        emit currentNodeChanged(id);
    });
}

void TreeList::setNodes(const QList<TreeNodeData>& nodes) {
    // A rebuilt model forgets which nodes were open: the same ids open again.
    const QVariant keep = currentId();
    QList<QVariant> open;
    for (const QVariant& id : m_model->ids()) {
        if (isExpanded(m_model->indexOfId(id))) {
            open.append(id);
        }
    }
    m_model->setNodes(nodes);
    for (const QVariant& id : open) {
        const QModelIndex i = m_model->indexOfId(id);
        if (i.isValid()) {
            setExpanded(i, true);
        }
    }
    if (keep.isValid()) {
        setCurrentId(keep);
    }
}

void TreeList::bind(Dataset* dataset, const QString& idField, const QString& parentField, const QString& captionField,
                    const QString& imageField) {
    if (m_dataset) {
        disconnect(m_dataset, nullptr, this, nullptr);
    }
    m_dataset = dataset;
    m_idField = idField;
    m_parentField = parentField;
    m_captionField = captionField;
    m_imageField = imageField;
    connect(dataset, &Dataset::resetDone, this, &TreeList::rebuildFromDataset);
    connect(dataset, &Dataset::afterPost, this, &TreeList::rebuildFromDataset);
    connect(dataset, &Dataset::rowRemoved, this, &TreeList::rebuildFromDataset);
    connect(dataset, &Dataset::afterApply, this, &TreeList::rebuildFromDataset);
    rebuildFromDataset();
}

void TreeList::rebuildFromDataset() {
    if (!m_dataset || !m_dataset->isOpen()) {
        return;
    }
    QList<TreeNodeData> nodes;
    const int id = m_dataset->fieldIndex(m_idField);
    const int parent = m_dataset->fieldIndex(m_parentField);
    const int caption = m_dataset->fieldIndex(m_captionField);
    const int image = m_imageField.isEmpty() ? -1 : m_dataset->fieldIndex(m_imageField);
    for (int r = 0; r < m_dataset->rowCount(); ++r) {
        TreeNodeData n;
        n.id = m_dataset->value(r, id);
        n.parentId = m_dataset->value(r, parent);
        n.caption = m_dataset->value(r, caption).toString();
        n.image = image >= 0 ? m_dataset->value(r, image).toInt() : -1;
        nodes.append(n);
    }
    m_following = true;
    setNodes(nodes);
    m_following = false;
}

QVariant TreeList::currentId() const {
    const TreeNodeData* n = m_model->node(currentIndex());
    return n ? n->id : QVariant();
}

bool TreeList::setCurrentId(const QVariant& id) {
    const QModelIndex i = m_model->indexOfId(id);
    if (!i.isValid()) {
        return false;
    }
    scrollTo(i);
    setCurrentIndex(i);
    // The marked row is the current one, also when a mouse press marked
    // another row after the current one was set back.
    selectionModel()->select(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
}

void TreeList::setNodeDragEnabled(bool on) {
    setDragEnabled(on);
    setDragDropMode(on ? QAbstractItemView::DragDrop : QAbstractItemView::DropOnly);
}

bool TreeList::canDrop(const Drop& drop) const {
    if (drop.keys.isEmpty() || !m_model->indexOfId(drop.targetId).isValid()) {
        return false;
    }
    if (!drop.fromGrid) {
        for (const QString& id : drop.keys) {
            for (const QVariant& below : m_model->subtreeIds(id)) {
                if (below.toString() == drop.targetId.toString()) {
                    return false;
                }
            }
        }
    }
    return !m_dropFilter || m_dropFilter(drop);
}

bool TreeList::performDrop(const Drop& drop) {
    if (!canDrop(drop)) {
        return false;
    }
    if (drop.fromGrid) {
        emit rowsDropped(drop.keys, drop.targetId);
    } else {
        emit nodesDropped(drop.keys, drop.targetId);
    }
    return true;
}

bool TreeList::dropFromEvent(const QDropEvent* event, Drop* drop) const {
    const QMimeData* mime = event->mimeData();
    if (mime->hasFormat(DataGrid::kRowsMimeType)) {
        drop->fromGrid = true;
        drop->keys = QString::fromUtf8(mime->data(DataGrid::kRowsMimeType)).split('\n', Qt::SkipEmptyParts);
    } else if (mime->hasFormat(kNodesMimeType)) {
        drop->fromGrid = false;
        drop->keys = QString::fromUtf8(mime->data(kNodesMimeType)).split('\n', Qt::SkipEmptyParts);
    } else {
        return false;
    }
    const TreeNodeData* target = m_model->node(indexAt(event->position().toPoint()));
    if (!target) {
        return false;
    }
    drop->targetId = target->id;
    return true;
}

void TreeList::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(DataGrid::kRowsMimeType) || event->mimeData()->hasFormat(kNodesMimeType)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TreeList::dragMoveEvent(QDragMoveEvent* event) {
    markDropTarget(indexAt(event->position().toPoint()));
    Drop drop;
    if (dropFromEvent(event, &drop) && canDrop(drop)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TreeList::dragLeaveEvent(QDragLeaveEvent* event) {
    QTreeView::dragLeaveEvent(event);
    endDrag();
}

void TreeList::dropEvent(QDropEvent* event) {
    Drop drop;
    if (dropFromEvent(event, &drop) && performDrop(drop)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
    endDrag();
}

void TreeList::markDropTarget(const QModelIndex& index) {
    if (!index.isValid()) {
        return;
    }
    selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TreeList::endDrag() {
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        selectionModel()->clearSelection();
    }
    emit dragEnded();
}

void TreeList::startDrag(Qt::DropActions supportedActions) {
    const TreeNodeData* n = m_model->node(currentIndex());
    if (!n) {
        return;
    }
    auto* mime = new QMimeData;
    mime->setData(kNodesMimeType, n->id.toString().toUtf8());
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(supportedActions, Qt::MoveAction);
}
