#include "tools/quotation_file.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>

#include "data/dataset.h"
#include "data/field_def.h"
#include "documents/quotation_document.h"
#include "platform/errors.h"
#include "tools/json_fields.h"

using JsonFields::findColumn;
using JsonFields::listed;
using JsonFields::scalar;

QuotationFile QuotationFile::read(const QString& path, const QList<FieldDef>& headColumns) {
    return parse(JsonFields::readText(path), path, headColumns);
}

QuotationFile QuotationFile::parse(const QByteArray& json, const QString& source, const QList<FieldDef>& headColumns) {
    const QJsonObject root = JsonFields::parseObject(json, source);
    QuotationFile out;
    QHash<QString, QString> seen;  // lower-case name -> name as written
    QJsonValue lines;
    for (auto it = root.begin(); it != root.end(); ++it) {
        const QString key = it.key();
        if (seen.contains(key.toLower())) {
            throw UserError(QStringLiteral("字段[%1]和[%2]在文件中重复").arg(seen.value(key.toLower()), key));
        }
        seen.insert(key.toLower(), key);
        if (key.compare("lines", Qt::CaseInsensitive) == 0) {
            lines = it.value();
            continue;
        }
        if (!listed(programFields(), key).isEmpty()) {
            throw UserError(
                QStringLiteral("字段[%1]由程序填写（编号、制单人、制单日期、状态），不能在文件中给出").arg(key));
        }
        const FieldDef* column = findColumn(headColumns, key);
        if (!column) {
            throw UserError(QStringLiteral("订货单没有字段[%1]（字段名按 Quotation_Head 的列名书写）").arg(key));
        }
        const QVariant value = JsonFields::fieldValue(*column, it.value(), QStringLiteral("字段[%1]").arg(key));
        out.m_head.append({column->name, value});
    }
    if (lines.isUndefined() || lines.isNull()) {
        return out;
    }
    if (!lines.isArray()) {
        throw UserError(QStringLiteral("[lines]必须是明细的数组 […]"));
    }
    QHash<QString, int> lineOfGoods;
    const QJsonArray array = lines.toArray();
    for (int i = 0; i < array.size(); ++i) {
        const int number = i + 1;
        if (!array[i].isObject()) {
            throw UserError(QStringLiteral("明细第%1行必须是一个 JSON 对象 {…}").arg(number));
        }
        const QJsonObject object = array[i].toObject();
        Line line;
        QHash<QString, QVariant> given;  // by the name as lineFields() spells it
        QSet<QString> names;
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QString key = it.key();
            if (names.contains(key.toLower())) {
                throw UserError(QStringLiteral("明细第%1行的字段[%2]重复").arg(number).arg(key));
            }
            names.insert(key.toLower());
            if (key.compare("GoodsNo", Qt::CaseInsensitive) == 0) {
                if (!it.value().isString() || it.value().toString().trimmed().isEmpty()) {
                    throw UserError(QStringLiteral("明细第%1行的[GoodsNo]必须是货品编号文字").arg(number));
                }
                line.goodsNo = it.value().toString();
                continue;
            }
            const QString name = listed(lineFields(), key);
            if (name.isEmpty()) {
                throw UserError(QStringLiteral("明细第%1行的字段[%2]不能导入；可以给出的字段：GoodsNo、%3")
                                    .arg(number)
                                    .arg(key, lineFields().join(QStringLiteral("、"))));
            }
            given.insert(name, scalar(it.value(), QStringLiteral("明细第%1行的字段[%2]").arg(number).arg(key)));
        }
        if (line.goodsNo.isEmpty()) {
            throw UserError(QStringLiteral("明细第%1行缺少[GoodsNo]").arg(number));
        }
        if (lineOfGoods.contains(line.goodsNo)) {
            throw UserError(
                QStringLiteral("货品[%1]在明细中出现了两次（第%2行和第%3行）")
                    .arg(line.goodsNo, QString::number(lineOfGoods.value(line.goodsNo)), QString::number(number)));
        }
        lineOfGoods.insert(line.goodsNo, number);
        for (const QString& name : lineFields()) {
            if (given.contains(name)) {
                line.fields.append({name, given.value(name)});
            }
        }
        out.m_lines.append(line);
    }
    return out;
}

bool QuotationFile::applyTo(QuotationDocument& doc) const {
    Dataset& head = doc.head();
    for (const auto& [name, value] : m_head) {
        head.setValue(name, value);
    }
    QStringList codes;
    for (const Line& line : m_lines) {
        codes.append(line.goodsNo);
    }
    if (doc.addGoods(codes) != codes.size()) {
        return false;
    }
    Dataset& lines = doc.lines();
    for (int i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        try {
            lines.setCurrentRow(i);
            if (doc.goodsCodeAt(i) != line.goodsNo) {
                throw UserError(QStringLiteral("明细的顺序与文件不符"));
            }
            for (const auto& [name, value] : line.fields) {
                lines.setValue(name, value);
            }
            lines.post();
        } catch (const OlvendError& e) {
            if (lines.isEditing()) {
                lines.cancel();
            }
            throw UserError(QStringLiteral("明细第%1行（货品[%2]）：%3").arg(i + 1).arg(line.goodsNo, e.message()),
                            e.details());
        }
    }
    return true;
}
