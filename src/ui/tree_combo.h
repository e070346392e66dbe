#pragma once

#include <QComboBox>

#include "ui/tree_model.h"

class QTreeView;

// A drop-down that stores the id of a node of a tree of (id, parent id)
// rows: the open list shows the whole tree, every node under its parent,
// and the box shows the chosen node's caption. Nodes of the same caption
// under different parents stay apart.
class TreeCombo : public QComboBox {
    Q_OBJECT
public:
    explicit TreeCombo(QWidget* parent = nullptr);
    void setNodes(const QList<TreeNodeData>& nodes);
    TreeModel* treeModel() const { return m_model; }
    // The chosen node's id, or a null value.
    QVariant value() const;
    // Shows the node of this id; an unknown or null id leaves the box blank.
    void setValue(const QVariant& id);
    void showPopup() override;

signals:
    // The user chose a node in the open list.
    void valueEdited();

protected:
    // A closed box steps only through the top-level nodes, which would
    // choose the root while the user scrolls the form or presses an arrow:
    // the wheel is left to the form, and keys that would step open the
    // list instead.
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TreeModel* m_model;
    QTreeView* m_list;
};
