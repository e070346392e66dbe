#include "ui/tree_model.h"

TreeModel::TreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void TreeModel::setNodes(const QList<TreeNodeData>& nodes) {
    beginResetModel();
    m_nodes = nodes;
    const int n = m_nodes.size();
    m_byId.clear();
    for (int i = 0; i < n; ++i) {
        m_byId.insert(m_nodes[i].id.toString(), i);
    }
    m_parentOf = QVector<int>(n, -1);
    for (int i = 0; i < n; ++i) {
        const auto it = m_byId.constFind(m_nodes[i].parentId.toString());
        m_parentOf[i] = (it == m_byId.constEnd() || it.value() == i) ? -1 : it.value();
    }
    // A chain of parents that loops back is cut where the walk meets it
    // again: that node becomes a top-level node, the others keep theirs.
    QVector<char> state(n, 0);  // 0 unvisited, 1 on the current walk, 2 done
    for (int i = 0; i < n; ++i) {
        QVector<int> path;
        int x = i;
        while (x >= 0 && state[x] == 0) {
            state[x] = 1;
            path.append(x);
            const int p = m_parentOf[x];
            if (p >= 0 && state[p] == 1) {
                m_parentOf[x] = -1;
                break;
            }
            x = p;
        }
        for (int v : path) {
            state[v] = 2;
        }
    }
    m_children = QVector<QVector<int>>(n + 1);
    m_rowInParent = QVector<int>(n, 0);
    for (int i = 0; i < n; ++i) {
        const int parent = m_parentOf[i];
        QVector<int>& siblings = m_children[parent < 0 ? n : parent];
        m_rowInParent[i] = siblings.size();
        siblings.append(i);
    }
    endResetModel();
}

void TreeModel::setImages(const QList<QIcon>& images) {
    m_images = images;
    if (!m_nodes.isEmpty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0));
    }
}

const TreeNodeData* TreeModel::node(const QModelIndex& index) const {
    if (!index.isValid()) {
        return nullptr;
    }
    const int i = static_cast<int>(index.internalId());
    return i >= 0 && i < m_nodes.size() ? &m_nodes[i] : nullptr;
}

QModelIndex TreeModel::indexOfId(const QVariant& id) const {
    const auto it = m_byId.constFind(id.toString());
    if (it == m_byId.constEnd()) {
        return {};
    }
    return createIndex(m_rowInParent[it.value()], 0, quintptr(it.value()));
}

QList<QVariant> TreeModel::subtreeIds(const QVariant& id) const {
    QList<QVariant> out;
    const auto it = m_byId.constFind(id.toString());
    if (it == m_byId.constEnd()) {
        return out;
    }
    QVector<int> stack{it.value()};
    while (!stack.isEmpty()) {
        const int i = stack.takeLast();
        out.append(m_nodes[i].id);
        stack += m_children[i];
    }
    return out;
}

bool TreeModel::hasChildren(const QVariant& id) const {
    const auto it = m_byId.constFind(id.toString());
    return it != m_byId.constEnd() && !m_children[it.value()].isEmpty();
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) {
        return {};
    }
    const int p = parent.isValid() ? static_cast<int>(parent.internalId()) : m_nodes.size();
    if (p < 0 || p >= m_children.size() || row >= m_children[p].size()) {
        return {};
    }
    return createIndex(row, 0, quintptr(m_children[p][row]));
}

QModelIndex TreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) {
        return {};
    }
    const int p = m_parentOf.value(static_cast<int>(child.internalId()), -1);
    if (p < 0) {
        return {};
    }
    return createIndex(m_rowInParent[p], 0, quintptr(p));
}

int TreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) {
        return 0;
    }
    const int p = parent.isValid() ? static_cast<int>(parent.internalId()) : m_nodes.size();
    return p >= 0 && p < m_children.size() ? m_children[p].size() : 0;
}

int TreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant TreeModel::data(const QModelIndex& index, int role) const {
    const TreeNodeData* n = node(index);
    if (!n) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return n->caption;
        case Qt::DecorationRole:
            return n->image >= 0 && n->image < m_images.size() ? QVariant(m_images[n->image]) : QVariant();
        case IdRole:
            return n->id;
        default:
            return {};
    }
}

Qt::ItemFlags TreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QList<QVariant> TreeModel::ids() const {
    QList<QVariant> out;
    out.reserve(m_nodes.size());
    for (const TreeNodeData& n : m_nodes) {
        out.append(n.id);
    }
    return out;
}
