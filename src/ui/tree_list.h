#pragma once

#include <QPointer>
#include <QTreeView>
#include <functional>

#include "ui/tree_model.h"

class Dataset;

// A tree of (id, parent id) rows: the group and class trees beside the
// lists. Nodes can be dragged onto other nodes, and grid rows dropped on
// nodes; a hook decides whether a drop is accepted.
class TreeList : public QTreeView {
    Q_OBJECT
public:
    static constexpr const char* kNodesMimeType = "application/x-olvend-tree-ids";

    struct Drop {
        bool fromGrid = false;  // grid rows (keys) rather than tree nodes (ids)
        QStringList keys;
        QVariant targetId;
    };
    using DropFilter = std::function<bool(const Drop&)>;

    explicit TreeList(QWidget* parent = nullptr);

    void setNodes(const QList<TreeNodeData>& nodes);
    // Builds the tree from a dataset and follows it: selecting a node moves
    // the dataset to that row, and the tree is rebuilt when the rows change.
    void bind(Dataset* dataset, const QString& idField, const QString& parentField, const QString& captionField,
              const QString& imageField = {});
    void setImages(const QList<QIcon>& images) { m_model->setImages(images); }
    TreeModel* treeModel() const { return m_model; }

    QVariant currentId() const;
    bool setCurrentId(const QVariant& id);
    void setNodeDragEnabled(bool on);
    void setDropFilter(DropFilter filter) { m_dropFilter = std::move(filter); }
    // Whether a drop would be accepted (the hook, and never a node onto
    // itself or into its own subtree).
    bool canDrop(const Drop& drop) const;
    // Carries out a drop as the mouse would.
    bool performDrop(const Drop& drop);

signals:
    void currentNodeChanged(const QVariant& id);
    void nodesDropped(const QStringList& ids, const QVariant& targetId);
    void rowsDropped(const QStringList& keys, const QVariant& targetId);
    // A drag left the tree, was dropped or cancelled.
    void dragEnded();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    bool dropFromEvent(const QDropEvent* event, Drop* drop) const;
    // While something is dragged the node under the pointer is marked; the
    // current node, which the list follows, does not change until a drop.
    void markDropTarget(const QModelIndex& index);
    void endDrag();
    void rebuildFromDataset();

    TreeModel* m_model;
    DropFilter m_dropFilter;
    QPointer<Dataset> m_dataset;
    QString m_idField, m_parentField, m_captionField, m_imageField;
    bool m_following = false;
};
