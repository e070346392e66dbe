#include "master/grouped_directory.h"

#include <QScopeGuard>

#include "data/database.h"
#include "data/sql_dialect.h"
#include "master/group_rows.h"
#include "platform/prompter.h"

GroupedDirectory::GroupedDirectory(Database& db, Prompter& prompter, GroupedDirectorySetup setup)
    : m_db(db), m_prompter(prompter), m_setup(std::move(setup)), m_groups(db), m_records(db) {
    Database::checkIdentifier(m_setup.recordTable);
    Database::checkIdentifier(m_setup.groupField);
    m_groups.setAutoApply(true);
}

void GroupedDirectory::open() {
    m_groups.openTable(m_setup.groupTable, "id");
    m_records.setUpdateTable(m_setup.recordTable, m_setup.recordKeys);
    m_records.setReadInParts(m_setup.recordsFirstRows);
    focus(rootId());
}

QVariant GroupedDirectory::rootId() const {
    return GroupRows(m_groups).rootId();
}

int GroupedDirectory::groupRow(const QVariant& id) const {
    return GroupRows(m_groups).rowOf(id);
}

bool GroupedDirectory::isRoot(const QVariant& id) const {
    if (!m_setup.rootTypeField.isEmpty()) {
        const int r = groupRow(id);
        if (r >= 0 && m_groups.value(r, m_setup.rootTypeField).toInt() == 0) {
            return true;
        }
    }
    return GroupRows(m_groups).isTopLevel(id);
}

bool GroupedDirectory::hasChildGroups(const QVariant& id) const {
    return GroupRows(m_groups).hasChildren(id);
}

bool GroupedDirectory::holdsRecords(const QVariant& id) {
    return m_db.scalar(
                   QStringLiteral("select count(*) from %1 where %2=:g").arg(m_setup.recordTable, m_setup.groupField),
                   {{"g", id}})
               .toInt() > 0;
}

QString GroupedDirectory::recordOrder() const {
    // Read in parts, the rows come in the grid's order (by code points),
    // so that each part goes below the rows shown.
    return m_setup.recordsFirstRows > 0 ? m_db.dialect().byteOrder(m_setup.recordOrder) : m_setup.recordOrder;
}

void GroupedDirectory::reloadRecords() {
    // A root lists every record of the book; any other group its own.
    if (isRoot(m_focused)) {
        m_records.open(QStringLiteral("select * from %1 order by %2").arg(m_setup.recordTable, recordOrder()));
    } else {
        m_records.open(QStringLiteral("select * from %1 where %2=:g order by %3")
                           .arg(m_setup.recordTable, m_setup.groupField, recordOrder()),
                       {{"g", m_focused}});
    }
}

void GroupedDirectory::focus(const QVariant& id) {
    const QVariant before = m_focused;
    m_focused = id;
    try {
        m_groups.locate("id", id);
        reloadRecords();
    } catch (...) {
        // The records still are those of the group focused before.
        m_focused = before;
        throw;
    }
}

bool GroupedDirectory::canAddRecord() {
    if (hasChildGroups(m_focused)) {
        m_prompter.inform(m_setup.addRecordRefused);
        return false;
    }
    return true;
}

bool GroupedDirectory::requireFocusedGroup() {
    if (!m_focused.isValid() || groupRow(m_focused) < 0) {
        m_prompter.inform(QStringLiteral("请选择一个类别"));
        return false;
    }
    return true;
}

bool GroupedDirectory::addGroup(const GroupEditor& fill) {
    if (!requireFocusedGroup()) {
        return false;
    }
    const QVariant parent = m_focused;
    // Records live only in groups without child groups: the parent's own
    // records move into the new group.
    // The root lists every record but moves only those kept in it directly,
    // so only those make it ask.
    const bool move = (!isRoot(parent) || m_setup.rootOffersMove) && holdsRecords(parent);
    if (move && !m_prompter.askYesNo(m_setup.moveIntoNewGroup)) {
        return false;
    }
    m_groups.setAutoApply(false);
    const auto autoApply = qScopeGuard([this] { m_groups.setAutoApply(true); });
    QVariant newId;
    try {
        m_groups.append();
        m_groups.setValue("Parent_id", parent);
        m_groups.setValue("ico_no", 0);
        if (!fill(m_groups) || m_groups.value("Class_name").toString().trimmed().isEmpty()) {
            m_groups.cancelUpdates();
            return false;
        }
        // The group and the move of the records: all or nothing.
        WriteTransaction tx(m_db);
        m_groups.applyUpdates();
        newId = m_groups.value("id");
        if (move) {
            QVariantMap params{{"new", newId}, {"old", parent}};
            const QString stamp = movedStamp(&params);
            m_db.execute(QStringLiteral("update %1 set %2=:new%3 where %2=:old")
                             .arg(m_setup.recordTable, m_setup.groupField, stamp),
                         params);
        }
        tx.commit();
    } catch (...) {
        // The rolled-back transaction returned the groups to their cached
        // edits: the new row goes, as it never reached the book.
        m_groups.cancelUpdates();
        throw;
    }
    focus(move ? newId : parent);
    return true;
}

bool GroupedDirectory::editGroup(const GroupEditor& edit) {
    if (!requireFocusedGroup()) {
        return false;
    }
    if (!m_setup.editRootRefused.isEmpty() && isRoot(m_focused)) {
        m_prompter.inform(m_setup.editRootRefused);
        return false;
    }
    m_groups.locate("id", m_focused);
    m_groups.setAutoApply(false);
    const auto autoApply = qScopeGuard([this] { m_groups.setAutoApply(true); });
    try {
        m_groups.edit();
        if (!edit(m_groups)) {
            m_groups.cancelUpdates();
            return false;
        }
        m_groups.applyUpdates();
    } catch (...) {
        m_groups.cancelUpdates();
        throw;
    }
    return true;
}

bool GroupedDirectory::deleteGroup() {
    if (!requireFocusedGroup()) {
        return false;
    }
    const bool root = isRoot(m_focused);
    if (root && m_setup.rootRefusedFirst) {
        m_prompter.inform(m_setup.deleteRootRefused);
        return false;
    }
    if (hasChildGroups(m_focused)) {
        m_prompter.inform(m_setup.deleteHasGroups);
        return false;
    }
    if (holdsRecords(m_focused)) {
        m_prompter.inform(m_setup.deleteHoldsRecords);
        return false;
    }
    if (root) {
        m_prompter.inform(m_setup.deleteRootRefused);
        return false;
    }
    if (!m_prompter.askYesNo(m_setup.confirmDelete)) {
        return false;
    }
    const QVariant parent = GroupRows(m_groups).parentOf(m_focused);
    m_groups.locate("id", m_focused);
    try {
        m_groups.deleteCurrent();
    } catch (...) {
        m_groups.cancelUpdates();
        throw;
    }
    focus(parent);
    return true;
}

bool GroupedDirectory::canDropRecordsOn(const QVariant& group) const {
    return groupRow(group) >= 0 && !hasChildGroups(group);
}

bool GroupedDirectory::moveRecords(const QList<QVariant>& ids, const QVariant& group) {
    if (hasChildGroups(group)) {
        m_prompter.inform(m_setup.moveRecordsRefused);
        return false;
    }
    if (ids.isEmpty() || groupRow(group) < 0) {
        return false;
    }
    QVariantMap params{{"g", group}};
    const QString assignments = QStringLiteral("%1=:g").arg(m_setup.groupField) + movedStamp(&params);
    const QString list = Database::bindList(QStringLiteral("i"), ids, &params);
    m_db.execute(QStringLiteral("update %1 set %2 where id in(%3)").arg(m_setup.recordTable, assignments, list),
                 params);
    reloadRecords();
    return true;
}

bool GroupedDirectory::canDropGroupOn(const QVariant& group, const QVariant& target) {
    if (isRoot(group) || groupRow(target) < 0 || group.toString() == target.toString()) {
        return false;
    }
    // A group goes only under a group without records (a root lists all
    // records, so it always takes groups).
    return isRoot(target) || !holdsRecords(target);
}

bool GroupedDirectory::moveGroup(const QVariant& group, const QVariant& target) {
    if (!canDropGroupOn(group, target)) {
        return false;
    }
    // Never under its own descendants.
    if (GroupRows(m_groups).isWithin(target, group)) {
        return false;
    }
    m_groups.locate("id", group);
    try {
        m_groups.setValue("Parent_id", target);
        m_groups.post();
    } catch (...) {
        m_groups.cancelUpdates();
        throw;
    }
    return true;
}

QString GroupedDirectory::movedStamp(QVariantMap* params) const {
    QString out;
    if (!m_setup.movedRecordStamp) {
        return out;
    }
    int n = 0;
    const QVariantMap stamp = m_setup.movedRecordStamp();
    for (auto it = stamp.cbegin(); it != stamp.cend(); ++it, ++n) {
        const QString name = QStringLiteral("stamp%1").arg(n);
        out += QStringLiteral(", %1=:%2").arg(it.key(), name);
        params->insert(name, it.value());
    }
    return out;
}

QString GroupedDirectory::dropStatus(bool records, bool allowed) const {
    if (allowed) {
        return QStringLiteral("提示：可以拖放");
    }
    return records ? m_setup.recordDropRefused : m_setup.groupDropRefused;
}
