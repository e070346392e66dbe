#include "master/partner_directory.h"

#include <QSqlQuery>

#include "data/database.h"
#include "data/numbering.h"
#include "master/group_rows.h"
#include "platform/errors.h"
#include "platform/prompter.h"

PartnerDirectory::PartnerDirectory(Database& db, const Clock& clock, Prompter& prompter, const PartnerSide& side)
    : m_db(db), m_clock(clock), m_prompter(prompter), m_side(side), m_groups(db), m_records(db) {
    m_groups.setAutoApply(true);
}

void PartnerDirectory::open() {
    m_groups.openTable(m_side.groupTable, "id");
    m_records.setUpdateTable(m_side.recordTable, {"ID"});
    clearChoice();
    focusGroup(rootId());
}

QVariant PartnerDirectory::rootId() const {
    return GroupRows(m_groups).rootId();
}

int PartnerDirectory::groupRow(const QVariant& id) const {
    return GroupRows(m_groups).rowOf(id);
}

bool PartnerDirectory::isRoot(const QVariant& id) const {
    const int r = groupRow(id);
    return r >= 0 && (m_groups.value(r, "CorpType").toInt() == 0 || GroupRows(m_groups).isTopLevel(id));
}

bool PartnerDirectory::hasChildGroups(const QVariant& id) const {
    return GroupRows(m_groups).hasChildren(id);
}

bool PartnerDirectory::holdsRecords(const QVariant& id) {
    return m_db.scalar(QStringLiteral("select count(*) from %1 where GroupClass=:g").arg(m_side.recordTable),
                       {{"g", id}})
               .toInt() > 0;
}

void PartnerDirectory::reloadRecords() {
    // The root lists every record of the book; any other group its own.
    if (isRoot(m_focused)) {
        m_records.open(QStringLiteral("select * from %1 order by Corp_code desc").arg(m_side.recordTable));
    } else {
        m_records.open(
            QStringLiteral("select * from %1 where GroupClass=:g order by Corp_code desc").arg(m_side.recordTable),
            {{"g", m_focused}});
    }
}

void PartnerDirectory::focusGroup(const QVariant& id) {
    m_focused = id;
    m_groups.locate("id", id);
    reloadRecords();
}

bool PartnerDirectory::addRecord() {
    if (hasChildGroups(m_focused)) {
        m_prompter.inform(QStringLiteral("只能在没有子类的客户类别里增加客户"));
        return false;
    }
    // The code is drawn now: a record cancelled later leaves a gap.
    const QString code = Numbering(m_db, m_clock).GetAutoIncrementID("customer_provider", "corp_code", false);
    m_records.append();
    m_records.setValue("GroupClass", m_focused);
    m_records.setValue("Corp_code", code);
    m_modified = true;
    return true;
}

void PartnerDirectory::saveRecord() {
    m_records.applyUpdates();
    m_modified = false;
}

void PartnerDirectory::cancelRecord() {
    m_records.cancelUpdates();
    m_modified = false;
}

bool PartnerDirectory::closeRecord() {
    if (!isModified() && !m_records.hasChanges()) {
        return true;
    }
    if (m_prompter.askYesNo(QStringLiteral("要保存此次修改吗？"))) {
        saveRecord();
        return true;
    }
    cancelRecord();
    return false;
}

bool PartnerDirectory::deleteRecords(const QList<int>& rows) {
    if (rows.isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择一条客户记录"));
        return false;
    }
    // Every selected record is checked, not only the focused one.
    QStringList uses;
    for (int row : rows) {
        QSqlQuery q = m_db.query(m_side.useSql, {{"code", m_records.value(row, "Corp_code")}});
        while (q.next()) {
            uses << (m_side.useShowsName ? q.value(0).toString() + ' ' + q.value(1).toString() : q.value(0).toString());
        }
    }
    if (!uses.isEmpty()) {
        m_prompter.inform(m_side.useHead + '\n' + uses.join('\n'));
        return false;
    }
    if (!m_prompter.askYesNo(QStringLiteral("确定要删除记录吗？"))) {
        return false;
    }
    m_records.deleteRows(rows);
    m_records.applyUpdates();
    return true;
}

bool PartnerDirectory::requireFocusedGroup() {
    if (!m_focused.isValid() || groupRow(m_focused) < 0) {
        m_prompter.inform(QStringLiteral("请选择一个类别"));
        return false;
    }
    return true;
}

bool PartnerDirectory::addGroup() {
    if (!requireFocusedGroup()) {
        return false;
    }
    const QVariant parent = m_focused;
    bool moveRecords = false;
    if (!isRoot(parent) && holdsRecords(parent)) {
        if (!m_prompter.askYesNo(
                QStringLiteral("该客户类别已含有客户记录，增加分类时，这些商品将会归类到新的分类下，要继续吗？"))) {
            return false;
        }
        moveRecords = true;
    }
    QString name;
    if (!m_prompter.askText(m_side.newGroupCaption, m_side.newGroupPrompt, &name) || name.trimmed().isEmpty()) {
        return false;
    }
    WriteTransaction tx(m_db);
    m_groups.append();
    m_groups.setValue("Parent_id", parent);
    m_groups.setValue("ico_no", 0);
    m_groups.setValue("CorpType", 1);
    m_groups.setValue("Class_name", name.trimmed());
    m_groups.post();
    const QVariant newId = m_groups.value("id");
    if (moveRecords) {
        m_db.execute(QStringLiteral("update %1 set GroupClass=:new where GroupClass=:old").arg(m_side.recordTable),
                     {{"new", newId}, {"old", parent}});
    }
    tx.commit();
    focusGroup(moveRecords ? newId : parent);
    return true;
}

bool PartnerDirectory::renameGroup() {
    if (!requireFocusedGroup()) {
        return false;
    }
    if (isRoot(m_focused)) {
        m_prompter.inform(QStringLiteral("不能删除或修改根目录"));
        return false;
    }
    QString name = m_groups.value(groupRow(m_focused), "Class_name").toString();
    if (!m_prompter.askText(QStringLiteral("更改类别名称"), QStringLiteral("请输入类别名称："), &name) ||
        name.trimmed().isEmpty()) {
        return false;
    }
    m_groups.locate("id", m_focused);
    m_groups.setValue("Class_name", name.trimmed());
    m_groups.post();
    return true;
}

bool PartnerDirectory::deleteGroup() {
    if (!requireFocusedGroup()) {
        return false;
    }
    if (isRoot(m_focused)) {
        m_prompter.inform(QStringLiteral("不能删除或修改根目录"));
        return false;
    }
    if (hasChildGroups(m_focused)) {
        m_prompter.inform(
            QStringLiteral("删除该类别前，请删除该类别的所有分类，或者把这些分类移动到其他类别后再进行删除！"));
        return false;
    }
    if (holdsRecords(m_focused)) {
        m_prompter.inform(QStringLiteral(
            "删除该类别前，请删除该类别里面的所有客户记录，或者把这些客户记录移动到其他类别后再进行删除！"));
        return false;
    }
    if (!m_prompter.askYesNo(QStringLiteral("确实要删除该客户类别吗？"))) {
        return false;
    }
    const QVariant parent = GroupRows(m_groups).parentOf(m_focused);
    m_groups.locate("id", m_focused);
    m_groups.deleteCurrent();
    focusGroup(parent);
    return true;
}

bool PartnerDirectory::canDropRecordsOn(const QVariant& group) const {
    return groupRow(group) >= 0 && !hasChildGroups(group);
}

bool PartnerDirectory::moveRecords(const QList<QVariant>& ids, const QVariant& group) {
    if (hasChildGroups(group)) {
        m_prompter.inform(QStringLiteral("因为这个类别还有下一层类别，所以不能归类到这个客户类别下"));
        return false;
    }
    if (ids.isEmpty() || groupRow(group) < 0) {
        return false;
    }
    QVariantMap params{{"g", group}};
    const QString list = Database::bindList(QStringLiteral("i"), ids, &params);
    m_db.execute(QStringLiteral("update %1 set GroupClass=:g where id in(%2)").arg(m_side.recordTable, list), params);
    reloadRecords();
    return true;
}

bool PartnerDirectory::canDropGroupOn(const QVariant& group, const QVariant& target) {
    if (isRoot(group) || groupRow(target) < 0 || group.toString() == target.toString()) {
        return false;
    }
    // A group goes only under a group without records (the root shows all
    // records, so it always takes groups).
    return isRoot(target) || !holdsRecords(target);
}

bool PartnerDirectory::moveGroup(const QVariant& group, const QVariant& target) {
    if (!canDropGroupOn(group, target)) {
        return false;
    }
    // Never under its own descendants.
    if (GroupRows(m_groups).isWithin(target, group)) {
        return false;
    }
    m_groups.locate("id", group);
    m_groups.setValue("Parent_id", target);
    m_groups.post();
    return true;
}

void PartnerDirectory::pick(int row) {
    if (row < 0 || row >= m_records.rowCount()) {
        return;
    }
    m_chosenCode = m_records.value(row, "Corp_code").toString();
    m_chosenId = m_records.value(row, "ID");
}

void PartnerDirectory::clearChoice() {
    m_chosenCode.clear();
    m_chosenId = QVariant();
}
