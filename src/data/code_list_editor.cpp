#include "data/code_list_editor.h"

#include "data/database.h"
#include "data/numbering.h"
#include "platform/errors.h"
#include "platform/prompter.h"

CodeListEditor::CodeListEditor(Database& db, const Clock& clock, Prompter& prompter, QObject* parent)
    : QObject(parent),
      m_db(db),
      m_clock(clock),
      m_prompter(prompter),
      m_lists(db),
      m_values(db),
      m_units(std::make_shared<LookupList>()) {
    m_values.setAutoApply(true);
    connect(&m_values, &Dataset::afterApply, this, &CodeListEditor::afterWrite);
    connect(&m_values, &Dataset::fieldChanged, this, &CodeListEditor::computeAmount);
    connect(&m_lists, &Dataset::currentRowChanged, this, &CodeListEditor::currentListChanged);
}

void CodeListEditor::openEditMode() {
    m_pickMode = false;
    m_lists.open(
        "select distinct -1 as parent_id ,TableName,FieldName,paramentname from Sys_Status_Describe_head  where "
        "isSystem_Param=0  order by paramentname");
    afterWrite();
}

void CodeListEditor::openPickMode(const QString& tableName, const QString& fieldName) {
    m_pickMode = true;
    m_table = tableName;
    m_field = fieldName;
    m_result.clear();
    m_lists.open(
        "select distinct -1 as parent_id ,h.TableName,h.FieldName,h.paramentname  from  Sys_Status_Describe_head h  "
        "where  LOWER(h.TableName)=LOWER(:TableName) and LOWER(h.FieldName)=LOWER(:FieldName)",
        {{"TableName", tableName}, {"FieldName", fieldName}});
    afterWrite();
}

// After every write the lists, the values and the unit lookup are read
// again, so a new unit shows at once in the unit column.
void CodeListEditor::afterWrite() {
    if (m_refreshing) {
        return;
    }
    m_refreshing = true;
    const QString list = currentListName();
    const QVariant valueId = m_values.isOpen() && m_values.currentRow() >= 0 ? m_values.value("id") : QVariant();
    try {
        if (m_lists.isOpen() && m_lists.rowCount() > 0) {
            m_lists.refresh();
        }
        if (!list.isEmpty()) {
            m_lists.locate("paramentname", list, Qt::CaseInsensitive);
        }
        if (!m_values.isOpen()) {
            m_values.setUpdateTable("Sys_Status_Describe");
            m_values.open("select * from Sys_Status_Describe order by ParamentName, id");
            m_values.setMaster(&m_lists, "paramentname", "ParamentName");
        } else {
            m_values.refresh();
        }
        if (valueId.isValid() && !valueId.isNull()) {
            m_values.locate("id", valueId);
        }
        m_units->loadCodeList(m_db, "Dusmere_Order_Form_Detail", "Goods_Unit");
    } catch (...) {
        m_refreshing = false;
        throw;
    }
    m_refreshing = false;
    emit currentListChanged();
}

QString CodeListEditor::currentListName() const {
    if (!m_lists.isOpen() || m_lists.currentRow() < 0) {
        return {};
    }
    return m_lists.value("paramentname").toString();
}

bool CodeListEditor::extraColumnsVisible() const {
    return currentListName() == goodsNameList();
}

void CodeListEditor::computeAmount(const QString& field) {
    if (field.compare("blank3_Int", Qt::CaseInsensitive) != 0 &&
        field.compare("blank5_Int", Qt::CaseInsensitive) != 0) {
        return;
    }
    const double price = m_values.value("blank3_Int").toDouble();
    const double qty = m_values.value("blank5_Int").toDouble();
    if (price != 0 && qty != 0) {
        m_values.setValue("blank6_Int", price * qty);
    }
}

bool CodeListEditor::beginAdd() {
    if (currentListName().isEmpty()) {
        return false;
    }
    m_addingList = currentListName();
    const QString table = m_lists.value("TableName").toString();
    const QString field = m_lists.value("FieldName").toString();
    m_values.post();  // a value still being typed is written first
    Numbering numbering(m_db, m_clock);
    const QString next = numbering.GetAutoIncrementID(table, field, true);
    m_values.append();
    m_values.setValue("ParamentName", m_addingList);
    m_values.setValue("StatusValue", next);
    return true;
}

void CodeListEditor::confirmAdd() {
    if (m_values.state() == Dataset::State::Insert && m_values.value("StatusName").toString().trimmed().isEmpty()) {
        throw UserError(QStringLiteral("请填写[名称]"));
    }
    m_values.post();
    m_lists.locate("paramentname", m_addingList, Qt::CaseInsensitive);
}

void CodeListEditor::cancelAdd() {
    m_values.cancel();
    m_lists.locate("paramentname", m_addingList, Qt::CaseInsensitive);
}

bool CodeListEditor::deleteValues(const QList<int>& rows) {
    if (rows.isEmpty() || m_values.isEmpty() || currentListName().isEmpty()) {
        return false;
    }
    const QString table = Database::checkIdentifier(m_lists.value("TableName").toString());
    const QString field = Database::checkIdentifier(m_lists.value("FieldName").toString());
    // Every selected value is checked, not only the focused one.
    for (int row : rows) {
        const QVariant value = m_values.value(row, "StatusValue");
        const int used =
            m_db.scalar(QStringLiteral("select count(*) as RsCount from %1 where %2=:value").arg(table, field),
                        {{"value", value}})
                .toInt();
        if (used > 0) {
            m_prompter.inform(QStringLiteral("该%1已经被使用，不能删除！").arg(currentListName()));
            return false;
        }
    }
    m_values.deleteRows(rows);
    return true;
}

bool CodeListEditor::pick(const QList<int>& rows) {
    if (!m_prompter.requireOneSelected(rows.size(), QStringLiteral("请选择"), QStringLiteral("只能选择一条记录"))) {
        return false;
    }
    m_result = m_values.value(rows.first(), "StatusValue").toString();
    return true;
}

void CodeListEditor::saveOnClose() {
    m_values.post();
}
