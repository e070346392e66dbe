#include "documents/order_row_code_lists.h"

#include <QSqlQuery>

#include "data/database.h"
#include "data/dataset.h"

OrderRowCodeLists::OrderRowCodeLists(Database& db) {
    QSqlQuery q = db.query(
        "select h.FieldName, h.paramentname, d.StatusValue from Sys_Status_Describe_head h "
        "left join Sys_Status_Describe d on d.ParamentName = h.paramentname "
        "where lower(h.TableName) = 'dusmere_order_form_detail'");
    while (q.next()) {
        List& list = m_lists[q.value(0).toString().toLower()];
        list.name = q.value(1).toString();
        const QString text = q.value(2).toString().trimmed();
        list.texts.insert(text);
        bool ok = false;
        const qlonglong value = text.toLongLong(&ok);
        if (ok) {
            list.values.insert(value);
        }
    }
}

bool OrderRowCodeLists::offers(const QString& field, const QVariant& value) const {
    const QString key = field.toLower();
    const auto list = m_lists.constFind(key == QLatin1String("glass_type2") ? QStringLiteral("glass_type") : key);
    if (list == m_lists.constEnd()) {
        return false;
    }
    const bool asText = key == QLatin1String("goods_name") || key == QLatin1String("goods_unit");
    return asText ? list->texts.contains(value.toString()) : list->values.contains(value.toLongLong());
}

QString OrderRowCodeLists::refusal(const Dataset& rows, const QStringList& fields) const {
    for (const QString& field : fields) {
        const QString key = field.toLower();
        const auto list = m_lists.constFind(key == QLatin1String("glass_type2") ? QStringLiteral("glass_type") : key);
        const QVariant value = rows.value(field);
        if (list == m_lists.constEnd() || value.isNull()) {
            continue;
        }
        if (!offers(field, value)) {
            return QStringLiteral("[%1]的值 %2 不在代码表[%3]中")
                .arg(rows.fields().at(rows.fieldIndex(field)).label(), value.toString(), list->name);
        }
    }
    return {};
}
