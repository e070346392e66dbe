#include "ui/tree_combo.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeView>
#include <QWheelEvent>

TreeCombo::TreeCombo(QWidget* parent) : QComboBox(parent), m_model(new TreeModel(this)), m_list(new QTreeView(this)) {
    setEditable(false);
    setModel(m_model);
    m_list->setHeaderHidden(true);
    m_list->setRootIsDecorated(false);
    // The tree is always open: a click on a node chooses it, and never
    // only folds it.
    m_list->setItemsExpandable(false);
    m_list->setDragEnabled(false);
    setView(m_list);
    setCurrentIndex(-1);
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int) { emit valueEdited(); });
}

void TreeCombo::setNodes(const QList<TreeNodeData>& nodes) {
    const QVariant keep = value();
    m_model->setNodes(nodes);
    m_list->expandAll();
    setValue(keep);
}

QVariant TreeCombo::value() const {
    const QVariant id = currentData(TreeModel::IdRole);
    return id.isValid() ? id : QVariant();
}

void TreeCombo::setValue(const QVariant& id) {
    const QModelIndex node = id.isNull() ? QModelIndex() : m_model->indexOfId(id);
    if (!node.isValid()) {
        setRootModelIndex({});
        setCurrentIndex(-1);
        return;
    }
    // The box takes rows under its root index: the node is chosen among
    // its siblings, then the whole tree is the list again.
    setRootModelIndex(node.parent());
    setCurrentIndex(node.row());
    setRootModelIndex({});
}

void TreeCombo::showPopup() {
    m_list->expandAll();
    QComboBox::showPopup();
}

void TreeCombo::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

void TreeCombo::keyPressEvent(QKeyEvent* event) {
    static const QList<int> stepping{Qt::Key_Up,   Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown,
                                     Qt::Key_Home, Qt::Key_End,  Qt::Key_F4,     Qt::Key_Space};
    if (stepping.contains(event->key()) || !event->text().trimmed().isEmpty()) {
        showPopup();
        event->accept();
        return;
    }
    // Tab, Escape and the rest as any box has them.
    QComboBox::keyPressEvent(event);
}
