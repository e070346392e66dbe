#include "master/units_editor.h"

#include "data/database.h"
#include "data/numbering.h"
#include "platform/prompter.h"

UnitsEditor::UnitsEditor(Database& db, const Clock& clock, Prompter& prompter)
    : m_db(db), m_clock(clock), m_prompter(prompter), m_units(db) {}

void UnitsEditor::open() {
    m_units.openTable("unit", "unit_code");
    // How messages name a unit and its fields.
    m_units.setCaption("unit_code", QStringLiteral("计量单位编码"));
    m_units.setCaption("Unit_name", QStringLiteral("计量单位"));
    m_units.setRecordLabelField("unit_code");
    m_editable = false;
}

void UnitsEditor::add() {
    m_editable = true;
    const QString code = Numbering(m_db, m_clock).GetAutoIncrementID("unit", "unit_code", false);
    m_units.append();
    m_units.setValue("unit_code", code);
}

void UnitsEditor::edit() {
    m_editable = true;
}

bool UnitsEditor::remove(const QList<int>& rows) {
    if (rows.isEmpty()) {
        m_prompter.inform(QStringLiteral("请选则要删除的记录"));
        return false;
    }
    // A unit that goods still use stays: the goods would lose their unit.
    for (int row : rows) {
        const QVariant code = m_units.value(row, "unit_code");
        const int used = m_db.scalar("select count(*) from goods where Goods_unit=:u", {{"u", code}}).toInt() +
                         m_db.scalar("select count(*) from goods_group where Class_Unit=:u", {{"u", code}}).toInt();
        if (used > 0) {
            m_prompter.inform(QStringLiteral("计量单位[%1]已经被商品使用，不能删除").arg(code.toString()));
            return false;
        }
    }
    if (!m_prompter.askYesNo(QStringLiteral("确定要删除选中的计量单位吗？"))) {
        return false;
    }
    m_units.deleteRows(rows);
    return true;
}

bool UnitsEditor::save() {
    if (m_units.isEditing()) {
        m_units.post();
    }
    if (m_units.hasChanges()) {
        QString missing;
        for (int r = 0; r < m_units.rowCount(); ++r) {
            if (m_units.value(r, "unit_code").toString().trimmed().isEmpty() && !missing.contains("编码,")) {
                missing += QStringLiteral("编码,");
            }
            if (m_units.value(r, "Unit_name").toString().trimmed().isEmpty() && !missing.contains("单位名称,")) {
                missing += QStringLiteral("单位名称,");
            }
        }
        if (!missing.isEmpty()) {
            missing.chop(1);
            m_prompter.inform(QStringLiteral("请填写[%1]").arg(missing));
            return false;
        }
        m_units.applyUpdates();
    }
    m_editable = false;
    return true;
}

bool UnitsEditor::close() {
    if (!m_units.hasChanges()) {
        return true;
    }
    return settleUnsavedChanges(
        m_prompter, QStringLiteral("数据已修改，退出前是否要保存？"), [this] { return save(); },
        [this] {
            m_units.cancelUpdates();
            m_units.refresh();
        });
}

QString UnitsEditor::pick(int row) const {
    return m_units.value(row, "unit_code").toString();
}

bool UnitsEditor::choose(int row, QString* code) {
    if (row < 0 || row >= m_units.rowCount()) {
        return false;
    }
    const QString wanted = pick(row);
    if (m_units.hasChanges()) {
        if (m_prompter.askYesNo(QStringLiteral("数据已修改，选取前是否要保存？"))) {
            if (!save()) {
                return false;
            }
        } else {
            m_units.cancelUpdates();
            m_units.refresh();
            m_editable = false;
        }
    }
    // A unit dropped unsaved is not there to be picked.
    if (wanted.isEmpty() || m_db.scalar("select count(*) from unit where unit_code=:c", {{"c", wanted}}).toInt() == 0) {
        return false;
    }
    *code = wanted;
    return true;
}
