#include "platform/period.h"

#include "platform/clock.h"
#include "platform/errors.h"

QString Period::outOfOrderText() {
    return QStringLiteral("开始日期不能晚于结束日期");
}

void Period::check() const {
    if (from.isValid() && to.isValid() && from > to) {
        throw UserError(outOfOrderText());
    }
}

bool Period::contains(const QDate& day) const {
    if (isOpen()) {
        return true;
    }
    return day.isValid() && (!from.isValid() || day >= from) && (!to.isValid() || day <= to);
}

QVariant Period::lowerBound() const {
    return from.isValid() ? QVariant(from.startOfDay()) : QVariant();
}

QVariant Period::upperBound() const {
    return to.isValid() && to < HeldDates::last() ? QVariant(to.addDays(1).startOfDay()) : QVariant();
}
