#include "reports/engine/report_format.h"

#include <QDate>
#include <algorithm>
#include <cmath>

#include "data/field_def.h"

namespace {
// A whole number in a number format: the format's fixed decimal places as
// zeros, its optional ones ('#') left out, thousands separators when the
// format has a comma.
QString formatWholeNumber(const QVariant& value, const QString& format) {
    QString text = value.toString();
    const bool negative = text.startsWith(QLatin1Char('-'));
    QString digits = negative ? text.mid(1) : text;
    if (format.contains(QLatin1Char(','))) {
        for (qsizetype i = digits.size() - 3; i > 0; i -= 3) {
            digits.insert(i, QLatin1Char(','));
        }
    }
    const qsizetype dot = format.indexOf(QLatin1Char('.'));
    const qsizetype zeros = dot < 0 ? 0 : format.mid(dot + 1).count(QLatin1Char('0'));
    if (zeros > 0) {
        digits += QLatin1Char('.') + QString(zeros, QLatin1Char('0'));
    }
    return negative ? QLatin1Char('-') + digits : digits;
}
}  // namespace

QDateTime dateFromText(const QVariant& value, const QString& format) {
    const auto dateLetter = [](QChar c) { return QStringView(u"YyMDdHhms").contains(c); };
    if (value.typeId() != QMetaType::QString || !std::any_of(format.cbegin(), format.cend(), dateLetter)) {
        return {};
    }
    // Embedded books keep dates as wall-clock text: a date format applies
    // to that text as it does to a date.
    const QString text = value.toString();
    QDateTime d = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!d.isValid()) {
        d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd")).startOfDay();
    }
    return d;
}

QString formatReportValue(const QVariant& value, const QString& format) {
    if (!value.isValid() || value.isNull()) {
        return {};
    }
    if (value.typeId() == QMetaType::QDateTime || value.typeId() == QMetaType::QDate) {
        const QDateTime d = value.typeId() == QMetaType::QDate ? value.toDate().startOfDay() : value.toDateTime();
        if (!format.isEmpty()) {
            return formatDateTime(d, format);
        }
        return d.time() == QTime(0, 0) ? d.toString("yyyy-MM-dd") : d.toString("yyyy-MM-dd HH:mm:ss");
    }
    const QDateTime wallClock = dateFromText(value, format);
    if (wallClock.isValid()) {
        return formatDateTime(wallClock, format);
    }
    const int type = value.typeId();
    if (!format.isEmpty() && (type == QMetaType::LongLong || type == QMetaType::Int || type == QMetaType::UInt ||
                              type == QMetaType::ULongLong)) {
        // Whole numbers keep every digit (a double holds about 16).
        return formatWholeNumber(value, format);
    }
    if (!format.isEmpty() && (isNumericValue(value) || type == QMetaType::Bool)) {
        return formatNumber(value.toDouble(), format);
    }
    if (value.typeId() == QMetaType::Double) {
        // Plain numbers without a format: no trailing zeros, no exponent.
        QString s = QString::number(value.toDouble(), 'f', 6);
        while (s.contains('.') && (s.endsWith('0') || s.endsWith('.'))) {
            s.chop(1);
        }
        return s;
    }
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    }
    return value.toString();
}

QString chineseCapitalAmount(double amount) {
    static const QString digits = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
    static const QString units[] = {QString(), QStringLiteral("拾"), QStringLiteral("佰"), QStringLiteral("仟")};
    static const QString sections[] = {QString(), QStringLiteral("万"), QStringLiteral("亿"), QStringLiteral("万亿")};
    if (!std::isfinite(amount) || std::fabs(amount) >= 1e16) {
        return {};
    }
    const bool negative = amount < 0;
    const qint64 cents = static_cast<qint64>(roundHalfAwayFromZero(std::fabs(amount) * 100, 0));
    qint64 whole = cents / 100;
    const int jiao = static_cast<int>((cents / 10) % 10);
    const int fen = static_cast<int>(cents % 10);

    auto sectionText = [&](int sec) {
        QString out;
        bool zero = false;
        for (int pos = 3; pos >= 0; --pos) {
            const int p10 = pos == 3 ? 1000 : pos == 2 ? 100 : pos == 1 ? 10 : 1;
            const int d = (sec / p10) % 10;
            if (d == 0) {
                if (!out.isEmpty()) {
                    zero = true;
                }
                continue;
            }
            if (zero) {
                out += digits.at(0);
                zero = false;
            }
            out += digits.at(d);
            out += units[pos];
        }
        return out;
    };
    QString integer;
    QList<int> parts;
    while (whole > 0) {
        parts.append(static_cast<int>(whole % 10000));
        whole /= 10000;
    }
    bool needZero = false;
    for (int i = static_cast<int>(parts.size()) - 1; i >= 0; --i) {
        const int sec = parts[i];
        if (sec == 0) {
            if (!integer.isEmpty()) {
                needZero = true;
            }
            continue;
        }
        if (!integer.isEmpty() && (needZero || sec < 1000)) {
            integer += digits.at(0);
        }
        needZero = false;
        integer += sectionText(sec) + sections[std::min(i, 3)];
    }
    QString out = negative ? QStringLiteral("负") : QString();
    if (integer.isEmpty() && jiao == 0 && fen == 0) {
        return out + QStringLiteral("零元整");
    }
    if (!integer.isEmpty()) {
        out += integer + QStringLiteral("元");
    }
    if (jiao > 0) {
        out += digits.at(jiao) + QStringLiteral("角");
    } else if (fen > 0 && !integer.isEmpty()) {
        out += digits.at(0);
    }
    if (fen > 0) {
        out += digits.at(fen) + QStringLiteral("分");
    } else {
        out += QStringLiteral("整");
    }
    return out;
}
