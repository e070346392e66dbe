#include "master/group_rows.h"

#include "data/dataset.h"

QVariant GroupRows::rootId() const {
    for (int r = 0; r < m_groups.rowCount(); ++r) {
        if (m_groups.value(r, "Parent_id").toInt() == -1) {
            return m_groups.value(r, "id");
        }
    }
    return 1;
}

int GroupRows::rowOf(const QVariant& id) const {
    const QString wanted = id.toString();
    for (int r = 0; r < m_groups.rowCount(); ++r) {
        if (m_groups.value(r, "id").toString() == wanted) {
            return r;
        }
    }
    return -1;
}

bool GroupRows::isTopLevel(const QVariant& id) const {
    const int r = rowOf(id);
    return r >= 0 && m_groups.value(r, "Parent_id").toInt() == -1;
}

bool GroupRows::hasChildren(const QVariant& id) const {
    const QString wanted = id.toString();
    for (int r = 0; r < m_groups.rowCount(); ++r) {
        if (m_groups.value(r, "Parent_id").toString() == wanted) {
            return true;
        }
    }
    return false;
}

QVariant GroupRows::parentOf(const QVariant& id) const {
    const int r = rowOf(id);
    return r >= 0 ? m_groups.value(r, "Parent_id") : QVariant();
}

bool GroupRows::isWithin(const QVariant& id, const QVariant& ancestor) const {
    const QString wanted = ancestor.toString();
    QVariant walk = id;
    for (int steps = 0; steps <= m_groups.rowCount(); ++steps) {
        const int r = rowOf(walk);
        if (r < 0) {
            return false;
        }
        if (walk.toString() == wanted) {
            return true;
        }
        walk = m_groups.value(r, "Parent_id");
        if (walk.toInt() == -1) {
            return false;
        }
    }
    return false;
}
