#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

// How a report shows a value.

// Display formats: "0.00", "#,##0.00", "YYYY-MM-DD" and the like.
QString formatReportValue(const QVariant& value, const QString& format);
// The date a text holds ("2026-12-09", "2026-12-09 08:30:00") when it is
// shown in a date format; invalid for anything else.
QDateTime dateFromText(const QVariant& value, const QString& format);
// An amount in Chinese capital numerals: 12345.6 → 壹万贰仟叁佰肆拾伍元陆角整.
QString chineseCapitalAmount(double amount);
