#include "tools/json_document.h"

#include <QHash>
#include <QJsonArray>
#include <QSet>

#include "data/field_def.h"
#include "platform/errors.h"
#include "tools/json_fields.h"

JsonDocumentReader::JsonDocumentReader(const JsonDocumentShape& shape, const QList<FieldDef>& headColumns)
    : m_shape(shape), m_headColumns(headColumns) {}

JsonDocumentReader::Values JsonDocumentReader::read(const QJsonObject& root, const ItemField& item,
                                                    const std::function<void(int number)>& itemDone) const {
    Values head;
    QHash<QString, QString> seen;  // lower-case name -> name as written
    QStringList unknown;
    QJsonValue items;
    for (auto it = root.begin(); it != root.end(); ++it) {
        const QString key = it.key();
        if (seen.contains(key.toLower())) {
            throw UserError(QStringLiteral("字段[%1]和[%2]在文件中重复").arg(seen.value(key.toLower()), key));
        }
        seen.insert(key.toLower(), key);
        if (key.compare(m_shape.itemsKey, Qt::CaseInsensitive) == 0) {
            items = it.value();
            continue;
        }
        if (!JsonFields::listed(m_shape.programFields, key).isEmpty()) {
            throw UserError(
                QStringLiteral("字段[%1]由程序填写（%2），不能在文件中给出").arg(key, m_shape.programWords));
        }
        const FieldDef* column = JsonFields::findColumn(m_headColumns, key);
        if (!column) {
            unknown.append(key);
            continue;
        }
        head.append({column->name, JsonFields::fieldValue(*column, it.value(), QStringLiteral("字段[%1]").arg(key))});
    }
    if (!unknown.isEmpty()) {
        throw UserError(QStringLiteral("%1没有字段[%2]（字段名按 %3 的列名书写）")
                            .arg(m_shape.word, unknown.join(QStringLiteral("]、[")), m_shape.headTable));
    }
    if (items.isUndefined() || items.isNull()) {
        return head;
    }
    if (!items.isArray()) {
        throw UserError(m_shape.itemsNotAnArray);
    }
    const QJsonArray array = items.toArray();
    for (int i = 0; i < array.size(); ++i) {
        const int number = i + 1;
        if (!array[i].isObject()) {
            throw UserError(QStringLiteral("明细第%1行必须是一个 JSON 对象 {…}").arg(number));
        }
        const QJsonObject object = array[i].toObject();
        QSet<QString> names;
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (names.contains(it.key().toLower())) {
                throw UserError(QStringLiteral("明细第%1行的字段[%2]重复").arg(number).arg(it.key()));
            }
            names.insert(it.key().toLower());
            item(number, it.key(), it.value());
        }
        itemDone(number);
    }
    return head;
}
