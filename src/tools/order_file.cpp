#include "tools/order_file.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QSqlQuery>
#include <algorithm>
#include <limits>
#include <optional>

#include "data/database.h"
#include "data/dataset.h"
#include "data/field_def.h"
#include "documents/order_form_document.h"
#include "documents/order_goods_editor.h"
#include "platform/errors.h"
#include "platform/prompter.h"
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
    const QJsonObject root = JsonFields::parseObject(json, source);
    OrderFile out;
    QHash<QString, QString> seen;  // lower-case name -> name as written
    QStringList unknown;
    QJsonValue rows;
    for (auto it = root.begin(); it != root.end(); ++it) {
        const QString key = it.key();
        if (seen.contains(key.toLower())) {
            throw UserError(QStringLiteral("字段[%1]和[%2]在文件中重复").arg(seen.value(key.toLower()), key));
        }
        seen.insert(key.toLower(), key);
        if (key.compare("rows", Qt::CaseInsensitive) == 0) {
            rows = it.value();
            continue;
        }
        if (!listed(programHeadFields(), key).isEmpty()) {
            throw UserError(
                QStringLiteral("字段[%1]由程序填写（编号、制单人、制单日期、状态），不能在文件中给出").arg(key));
        }
        const FieldDef* column = findColumn(headColumns, key);
        if (!column) {
            unknown.append(key);
            continue;
        }
        const QVariant value = JsonFields::fieldValue(*column, it.value(), QStringLiteral("字段[%1]").arg(key));
        out.m_head.append({column->name, value});
    }
    if (!unknown.isEmpty()) {
        throw UserError(QStringLiteral("订单没有字段[%1]（字段名按 Dusmere_Order_Form_head 的列名书写）")
                            .arg(unknown.join(QStringLiteral("]、["))));
    }
    if (rows.isUndefined() || rows.isNull()) {
        return out;
    }
    if (!rows.isArray()) {
        throw UserError(QStringLiteral("[rows]必须是货品明细的数组 […]"));
    }
    const QJsonArray array = rows.toArray();
    for (int i = 0; i < array.size(); ++i) {
        const int number = i + 1;
        if (!array[i].isObject()) {
            throw UserError(QStringLiteral("明细第%1行必须是一个 JSON 对象 {…}").arg(number));
        }
        const QJsonObject object = array[i].toObject();
        Values row;
        QSet<QString> names;
        QStringList unknownInRow;
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QString key = it.key();
            if (names.contains(key.toLower())) {
                throw UserError(QStringLiteral("明细第%1行的字段[%2]重复").arg(number).arg(key));
            }
            names.insert(key.toLower());
            if (!listed(programRowFields(), key).isEmpty()) {
                throw UserError(
                    QStringLiteral("明细第%1行的字段[%2]由程序填写，不能在文件中给出").arg(number).arg(key));
            }
            const FieldDef* column = findColumn(rowColumns, key);
            if (!column) {
                unknownInRow.append(key);
                continue;
            }
            const QVariant value = JsonFields::fieldValue(*column, it.value(),
                                                          QStringLiteral("明细第%1行的字段[%2]").arg(number).arg(key));
            row.append({column->name, value});
        }
        if (!unknownInRow.isEmpty()) {
            throw UserError(QStringLiteral("明细第%1行没有字段[%2]（字段名按 Dusmere_Order_Form_Detail 的列名书写）")
                                .arg(number)
                                .arg(unknownInRow.join(QStringLiteral("]、["))));
        }
        out.m_rows.append(row);
    }
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
