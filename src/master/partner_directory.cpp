#include "master/partner_directory.h"

#include <QSqlQuery>

#include "data/database.h"
#include "data/dataset.h"
#include "data/numbering.h"
#include "platform/errors.h"
#include "platform/prompter.h"

namespace {
// Customers, suppliers and order customers speak the same texts.
GroupedDirectorySetup partnerGroups(const PartnerSide& side) {
    GroupedDirectorySetup s;
    s.groupTable = side.groupTable;
    s.recordTable = side.recordTable;
    s.recordKeys = {QStringLiteral("ID")};
    s.groupField = side.groupField;
    s.recordOrder = QStringLiteral("Corp_code desc");
    s.rootTypeField = QStringLiteral("CorpType");
    s.rootRefusedFirst = true;
    s.addRecordRefused = QStringLiteral("只能在没有子类的客户类别里增加客户");
    s.moveIntoNewGroup =
        QStringLiteral("该客户类别已含有客户记录，增加分类时，这些客户将会归类到新的分类下，要继续吗？");
    s.editRootRefused = QStringLiteral("不能删除或修改根目录");
    s.deleteRootRefused = s.editRootRefused;
    s.deleteHasGroups =
        QStringLiteral("删除该类别前，请删除该类别的所有分类，或者把这些分类移动到其他类别后再进行删除！");
    s.deleteHoldsRecords =
        QStringLiteral("删除该类别前，请删除该类别里面的所有客户记录，或者把这些客户记录移动到其他类别后再进行删除！");
    s.confirmDelete = QStringLiteral("确实要删除该客户类别吗？");
    s.moveRecordsRefused = QStringLiteral("因为这个类别还有下一层类别，所以不能归类到这个客户类别下");
    s.recordDropRefused = QStringLiteral("提示：只能把客户拖放到没有子类的客户类别中！");
    s.groupDropRefused = QStringLiteral("提示：只能把客户类别拖放到没有客户记录的类别中！");
    s.restingStatus = PartnerDirectory::restingStatus();
    return s;
}
}  // namespace

PartnerDirectory::PartnerDirectory(Database& db, const Clock& clock, Prompter& prompter, const PartnerSide& side)
    : m_db(db), m_clock(clock), m_prompter(prompter), m_side(side), m_directory(db, prompter, partnerGroups(side)) {}

void PartnerDirectory::open() {
    clearChoice();
    m_directory.open();
    // Messages about a record name it by its code.
    records().setCaption("Corp_code", m_side.codeLabel);
    records().setRecordLabelField("Corp_code");
}

bool PartnerDirectory::addRecord() {
    if (!m_directory.canAddRecord()) {
        return false;
    }
    // The code is drawn now: a record cancelled later leaves a gap.
    const QString code = Numbering(m_db, m_clock).GetAutoIncrementID("customer_provider", "corp_code", false);
    records().append();
    records().setValue(m_side.groupField, focusedGroup());
    records().setValue("Corp_code", code);
    m_modified = true;
    return true;
}

QStringList PartnerDirectory::usesOf(const QString& code) {
    QStringList uses;
    QSqlQuery q = m_db.query(m_side.useSql, {{"code", code}});
    while (q.next()) {
        uses << (m_side.useShowsName ? (q.value(0).toString() + ' ' + q.value(1).toString()).trimmed()
                                     : q.value(0).toString());
    }
    return uses;
}

void PartnerDirectory::checkCodes() {
    Dataset& rows = records();
    if (rows.isEditing()) {
        rows.post();
    }
    const int current = rows.currentRow();
    const QString label = m_side.codeLabel;
    for (int r = 0; r < rows.rowCount(); ++r) {
        const Dataset::RowStatus status = rows.rowStatus(r);
        if (status != Dataset::RowStatus::Inserted && status != Dataset::RowStatus::Modified) {
            continue;
        }
        const QString typed = rows.value(r, "Corp_code").toString();
        const QString code = typed.trimmed();
        if (code.isEmpty()) {
            rows.setCurrentRow(r);
            throw UserError(QStringLiteral("请填写[%1]").arg(label));
        }
        if (code != typed) {
            rows.setCurrentRow(r);
            rows.setValue("Corp_code", code);
            rows.post();
        }
        const bool isNew = status == Dataset::RowStatus::Inserted;
        const QString table = m_side.recordTable;
        const int taken =
            isNew ? m_db.scalar(QStringLiteral("select count(*) from %1 where Corp_code=:c").arg(table), {{"c", code}})
                        .toInt()
                  : m_db.scalar(QStringLiteral("select count(*) from %1 where Corp_code=:c and ID<>:id").arg(table),
                                {{"c", code}, {"id", rows.value(r, "ID")}})
                        .toInt();
        if (taken > 0) {
            rows.setCurrentRow(r);
            throw UserError(QStringLiteral("%1[%2]已经存在，请换一个编码").arg(label, code));
        }
        // A code that other records name is not changed under them.
        const QString was = isNew ? QString() : rows.originalValue(r, "Corp_code").toString();
        if (!isNew && was != code) {
            const QStringList uses = usesOf(was);
            if (!uses.isEmpty()) {
                rows.setCurrentRow(r);
                throw UserError(
                    QStringLiteral("%1[%2]已被以下记录使用，不能修改：\n%3").arg(label, was, uses.join('\n')));
            }
        }
    }
    if (current >= 0 && current < rows.rowCount()) {
        rows.setCurrentRow(current);
    }
}

void PartnerDirectory::saveRecord() {
    checkCodes();
    Dataset& rows = records();
    // A customer's price table goes with its code when the code changes.
    QList<QPair<QString, QString>> moved;
    if (m_side.isClients()) {
        for (int r = 0; r < rows.rowCount(); ++r) {
            if (rows.rowStatus(r) != Dataset::RowStatus::Modified) {
                continue;
            }
            const QString was = rows.originalValue(r, "Corp_code").toString();
            const QString code = rows.value(r, "Corp_code").toString();
            if (!was.isEmpty() && was != code) {
                moved.append({was, code});
            }
        }
    }
    WriteTransaction tx(m_db);
    rows.applyUpdates();
    for (const auto& [was, code] : moved) {
        m_db.execute(
            QStringLiteral("update base_Dusmere_Customer_price_Table set Corp_code=:code where Corp_code=:was"),
            {{"code", code}, {"was", was}});
    }
    tx.commit();
    m_modified = false;
}

void PartnerDirectory::cancelRecord() {
    records().cancelUpdates();
    m_modified = false;
}

bool PartnerDirectory::closeRecord() {
    if (!isModified() && !records().hasChanges()) {
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
        uses << usesOf(records().originalValue(row, "Corp_code").toString());
    }
    if (!uses.isEmpty()) {
        m_prompter.inform(m_side.useHead + '\n' + uses.join('\n'));
        return false;
    }
    if (!m_prompter.askYesNo(QStringLiteral("确定要删除记录吗？"))) {
        return false;
    }
    QVariantList codes;
    for (int row : rows) {
        codes << records().originalValue(row, "Corp_code");
    }
    try {
        WriteTransaction tx(m_db);
        records().deleteRows(rows);
        records().applyUpdates();
        // A deleted customer's price table goes with it, so that a customer
        // given the code later starts from the standard prices.
        if (m_side.isClients()) {
            for (qsizetype from = 0; from < codes.size(); from += 500) {
                QVariantMap params;
                const QString in = Database::bindList(QStringLiteral("c"), codes.mid(from, 500), &params);
                m_db.execute(
                    QStringLiteral("delete from base_Dusmere_Customer_price_Table where Corp_code in (%1)").arg(in),
                    params);
            }
        }
        tx.commit();
    } catch (...) {
        // Nothing was deleted: the records come back.
        records().cancelUpdates();
        throw;
    }
    return true;
}

bool PartnerDirectory::addGroup() {
    return m_directory.addGroup([this](Dataset& groups) {
        QString name;
        if (!m_prompter.askText(m_side.newGroupCaption, m_side.newGroupPrompt, &name) || name.trimmed().isEmpty()) {
            return false;
        }
        groups.setValue("CorpType", 1);
        groups.setValue("Class_name", name.trimmed());
        return true;
    });
}

bool PartnerDirectory::renameGroup() {
    return m_directory.editGroup([this](Dataset& groups) {
        QString name = groups.value("Class_name").toString();
        if (!m_prompter.askText(QStringLiteral("更改类别名称"), QStringLiteral("请输入类别名称："), &name) ||
            name.trimmed().isEmpty()) {
            return false;
        }
        groups.setValue("Class_name", name.trimmed());
        return true;
    });
}

void PartnerDirectory::pick(int row) {
    if (row < 0 || row >= records().rowCount()) {
        return;
    }
    m_chosenCode = records().value(row, "Corp_code").toString();
    m_chosenId = records().value(row, "ID");
}

void PartnerDirectory::clearChoice() {
    m_chosenCode.clear();
    m_chosenId = QVariant();
}
