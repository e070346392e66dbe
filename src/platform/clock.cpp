#include "platform/clock.h"

#include <QFileInfo>
#include <QStringList>

QDate Clock::today() const {
    return m_today ? *m_today : QDate::currentDate();
}

QDateTime Clock::now() const {
    const QDateTime current = QDateTime::currentDateTime();
    if (!m_today) {
        return current;
    }
    return QDateTime(*m_today, current.time());
}

bool Clock::applyArguments(const QStringList& arguments, QString* error) {
    for (int i = 0; i < arguments.size(); ++i) {
        QString value;
        if (arguments[i] == "--today") {
            if (i + 1 >= arguments.size()) {
                if (error) {
                    *error = QStringLiteral("--today 需要一个日期 (YYYY-MM-DD)");
                }
                return false;
            }
            value = arguments[i + 1];
        } else if (arguments[i].startsWith("--today=")) {
            value = arguments[i].mid(8);
        } else {
            continue;
        }
        const QDate d = QDate::fromString(value, "yyyy-MM-dd");
        if (!d.isValid()) {
            if (error) {
                *error = QStringLiteral("无效的日期: %1 (应为 YYYY-MM-DD)").arg(value);
            }
            return false;
        }
        m_today = d;
    }
    return true;
}

void Clock::pinLocalTimeZone() {
    if (qEnvironmentVariableIsSet("TZ") || !QFileInfo::exists(QStringLiteral("/etc/localtime"))) {
        return;
    }
    qputenv("TZ", ":/etc/localtime");
}
