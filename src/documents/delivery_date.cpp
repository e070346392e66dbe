#include "documents/delivery_date.h"

#include <QDateTime>

#include "data/dataset.h"
#include "platform/prompter.h"

namespace {
QDate dayOf(const QVariant& value) {
    return value.typeId() == QMetaType::QDateTime ? value.toDateTime().date() : value.toDate();
}
}  // namespace

bool confirmDeliveryDate(const Dataset& head, bool isNew, Prompter& prompter) {
    const int row = head.currentRow();
    if (row < 0) {
        return true;
    }
    const QDate ordered = dayOf(head.value(row, "Order_Date"));
    const QDate delivered = dayOf(head.value(row, "Send_Date"));
    if (!ordered.isValid() || !delivered.isValid() || delivered >= ordered) {
        return true;
    }
    const bool changed = isNew || dayOf(head.originalValue(row, "Order_Date")) != ordered ||
                         dayOf(head.originalValue(row, "Send_Date")) != delivered;
    return !changed || prompter.askYesNo(QStringLiteral("交货日期早于订货日期，是否继续？"));
}
