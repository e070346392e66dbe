#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QVariant>

// One node of a tree built from (id, parent id) rows.
struct TreeNodeData {
    QVariant id;
    QVariant parentId;
    QString caption;
    int image = -1;
};

// A read-only tree over (id, parent id) rows: rows whose parent is -1, or
// is not among the rows, are top-level nodes. Children keep row order.
class TreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    static constexpr int IdRole = Qt::UserRole + 1;

    explicit TreeModel(QObject* parent = nullptr);

    void setNodes(const QList<TreeNodeData>& nodes);
    void setImages(const QList<QIcon>& images);
    const TreeNodeData* node(const QModelIndex& index) const;
    QModelIndex indexOfId(const QVariant& id) const;
    int nodeCount() const { return m_nodes.size(); }
    // Every node's id, in row order.
    QList<QVariant> ids() const;
    // Ids of the node and every node below it.
    QList<QVariant> subtreeIds(const QVariant& id) const;
    bool hasChildren(const QVariant& id) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QList<TreeNodeData> m_nodes;
    QVector<int> m_parentOf;           // node -> parent node, -1 for top level
    QVector<QVector<int>> m_children;  // node -> children; index m_nodes.size() holds the top level
    QVector<int> m_rowInParent;
    QHash<QString, int> m_byId;
    QList<QIcon> m_images;
};
