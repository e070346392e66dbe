#include "tools/quotation_file.h"

#include <QHash>

#include "data/dataset.h"
#include "data/field_def.h"
#include "documents/quotation_document.h"
#include "platform/errors.h"
#include "tools/json_document.h"
#include "tools/json_fields.h"

using JsonFields::listed;
using JsonFields::scalar;

QuotationFile QuotationFile::read(const QString& path, const QList<FieldDef>& headColumns) {
    return parse(JsonFields::readText(path), path, headColumns);
}

QuotationFile QuotationFile::parse(const QByteArray& json, const QString& source, const QList<FieldDef>& headColumns) {
    static const JsonDocumentShape shape{QStringLiteral("订货单"), QStringLiteral("Quotation_Head"),
                                         programFields(),          QStringLiteral("编号、制单人、制单日期、状态"),
                                         QStringLiteral("lines"),  QStringLiteral("[lines]必须是明细的数组 […]")};
    QuotationFile out;
    QHash<QString, int> lineOfGoods;
    Line line;
    QHash<QString, QVariant> given;  // by the name as lineFields() spells it
    const auto field = [&](int number, const QString& key, const QJsonValue& value) {
        if (key.compare("GoodsNo", Qt::CaseInsensitive) == 0) {
            if (!value.isString() || value.toString().trimmed().isEmpty()) {
                throw UserError(QStringLiteral("明细第%1行的[GoodsNo]必须是货品编号文字").arg(number));
            }
            line.goodsNo = value.toString();
            return;
        }
        const QString name = listed(lineFields(), key);
        if (name.isEmpty()) {
            throw UserError(QStringLiteral("明细第%1行的字段[%2]不能导入；可以给出的字段：GoodsNo、%3")
                                .arg(number)
                                .arg(key, lineFields().join(QStringLiteral("、"))));
        }
        given.insert(name, scalar(value, QStringLiteral("明细第%1行的字段[%2]").arg(number).arg(key)));
    };
    const auto lineDone = [&](int number) {
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
        line = Line();
        given.clear();
    };
    out.m_head = JsonDocumentReader(shape, headColumns).read(JsonFields::parseObject(json, source), field, lineDone);
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
