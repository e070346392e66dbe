#pragma once

#include <QVariant>

class Dataset;

// Questions about a group tree held in a Dataset of (id, Parent_id) rows,
// where the root's parent is -1. Customer groups, supplier groups and goods
// classes are all kept this way.
class GroupRows {
public:
    explicit GroupRows(const Dataset& groups) : m_groups(groups) {}

    // The root's id (1 when the tree has no root row).
    QVariant rootId() const;
    // The view row of a group, or -1.
    int rowOf(const QVariant& id) const;
    bool isTopLevel(const QVariant& id) const;
    bool hasChildren(const QVariant& id) const;
    QVariant parentOf(const QVariant& id) const;
    // Whether id is ancestor itself or lies in its subtree. Stops after as
    // many steps as there are groups, so a parent loop in the data cannot
    // hold it up.
    bool isWithin(const QVariant& id, const QVariant& ancestor) const;

private:
    const Dataset& m_groups;
};
