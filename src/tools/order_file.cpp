#include "tools/order_file.h"

#include <QJsonObject>
#include <algorithm>
#include <limits>
#include <optional>

#include "data/dataset.h"
#include "data/field_def.h"
#include "documents/order_form_document.h"
#include "documents/order_goods_editor.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "tools/json_document.h"
#include "tools/json_fields.h"

using JsonFields::findColumn;
using JsonFields::listed;

namespace {

// Where a given row field is set: the code, then the goods name (whose
// defaults the other fields may overrule), the rest in the table's order,
// and the amount last.
int settingRank(const Dataset& rows, const QString& field) {
    if (field.compare("Goods_Code", Qt::CaseInsensitive) == 0) {
        return -2;
    }
    if (field.compare("Goods_name", Qt::CaseInsensitive) == 0) {
        return -1;
    }
    if (field.compare("Total_Price", Qt::CaseInsensitive) == 0) {
        return std::numeric_limits<int>::max();
    }
    return rows.fieldIndex(field);
}

void applyRow(OrderFormDocument& doc, ScriptedPrompter& prompter, const OrderFile::Values& given, int number) {
    Dataset& rows = doc.rows();
    const QString where = QStringLiteral("明细第%1行：").arg(number);
    OrderGoodsEditor editor(doc, prompter, OrderGoodsEditor::New);
    OrderFile::Values ordered = given;
    std::stable_sort(ordered.begin(), ordered.end(), [&rows](const auto& a, const auto& b) {
        return settingRank(rows, a.first) < settingRank(rows, b.first);
    });
    try {
        for (const auto& [name, value] : ordered) {
            rows.setValue(name, value);
        }
    } catch (const OlvendError& e) {
        throw UserError(where + e.message(), e.details());
    }
    // The editor checks the row as the window would, code lists included.
    const qsizetype told = prompter.messages().size();
    if (!editor.save()) {
        QStringList texts;
        for (qsizetype i = told; i < prompter.messages().size(); ++i) {
            texts.append(prompter.messages()[i].text);
        }
        prompter.clear();
        throw UserError(where + texts.join(QStringLiteral("；")));
    }
}

}  // namespace

OrderFile OrderFile::read(const QString& path, const QList<FieldDef>& headColumns, const QList<FieldDef>& rowColumns) {
    return parse(JsonFields::readText(path), path, headColumns, rowColumns);
}

OrderFile OrderFile::parse(const QByteArray& json, const QString& source, const QList<FieldDef>& headColumns,
                           const QList<FieldDef>& rowColumns) {
    static const JsonDocumentShape shape{
        QStringLiteral("订单"), QStringLiteral("Dusmere_Order_Form_head"),
        programHeadFields(),    QStringLiteral("编号、制单人、制单日期、删除标记、归档"),
        QStringLiteral("rows"), QStringLiteral("[rows]必须是货品明细的数组 […]")};
    OrderFile out;
    Values row;
    QStringList unknownInRow;
    const auto field = [&](int number, const QString& key, const QJsonValue& value) {
        if (!listed(programRowFields(), key).isEmpty()) {
            throw UserError(QStringLiteral("明细第%1行的字段[%2]由程序填写，不能在文件中给出").arg(number).arg(key));
        }
        const FieldDef* column = findColumn(rowColumns, key);
        if (!column) {
            unknownInRow.append(key);
            return;
        }
        row.append({column->name, JsonFields::fieldValue(*column, value,
                                                         QStringLiteral("明细第%1行的字段[%2]").arg(number).arg(key))});
    };
    const auto rowDone = [&](int number) {
        if (!unknownInRow.isEmpty()) {
            throw UserError(QStringLiteral("明细第%1行没有字段[%2]（字段名按 Dusmere_Order_Form_Detail 的列名书写）")
                                .arg(number)
                                .arg(unknownInRow.join(QStringLiteral("]、["))));
        }
        out.m_rows.append(row);
        row.clear();
    };
    out.m_head = JsonDocumentReader(shape, headColumns).read(JsonFields::parseObject(json, source), field, rowDone);
    return out;
}

bool OrderFile::applyTo(OrderFormDocument& doc, ScriptedPrompter& prompter) const {
    Dataset& head = doc.head();
    std::optional<QVariant> customer;
    std::optional<QVariant> paid;
    std::optional<QVariant> paidOn;
    for (const auto& [name, value] : m_head) {
        const QString field = name.toLower();
        if (field == "corp_code") {
            customer = value;
        } else if (field == "ispay") {
            paid = value;
        } else if (field == "payover_date") {
            paidOn = value;
        } else {
            head.setValue(name, value);
        }
    }
    // The tick box "已经付清余额": the payment date is today, or as given.
    if (paid) {
        bool ok = true;
        const double mark = paid->isNull() ? 0 : paid->toDouble(&ok);
        if (!ok || (mark != 0 && mark != 1)) {
            throw UserError(
                QStringLiteral("字段[isPay]只能是 0（未付清）或 1（已付清），不能是\"%1\"").arg(paid->toString()));
        }
        doc.setPaid(mark == 1);
    }
    if (paidOn) {
        head.setValue("PayOver_Date", *paidOn);
    }
    if (customer) {
        const QString code = customer->toString().trimmed();
        if (code.isEmpty()) {
            head.setValue("corp_code", QString(""));
        } else {
            doc.chooseCustomer(code);
            if (head.value("corp_code").toString() != code) {
                return false;
            }
        }
    }
    if (head.isEditing()) {
        head.post();
    }
    for (int i = 0; i < m_rows.size(); ++i) {
        applyRow(doc, prompter, m_rows[i], i + 1);
    }
    return true;
}
