#pragma once

#include <QDate>
#include <QDateTime>
#include <optional>

// Today and now, as the program sees them. Codes and default dates depend on
// today, so tests and `--today` fix the date while the time of day runs on.
class Clock {
public:
    QDate today() const;
    QDateTime now() const;

    void setToday(const QDate& day) { m_today = day; }
    void clearToday() { m_today.reset(); }
    bool isFixed() const { return m_today.has_value(); }

    // Reads `--today YYYY-MM-DD` or `--today=YYYY-MM-DD`; returns false with
    // an error text when the value is not a date. No option leaves the
    // clock as it is.
    bool applyArguments(const QStringList& arguments, QString* error);

    // Without TZ, the C library checks the zone file on disk for every local
    // time it converts (a file lookup per date read from a server). Naming
    // the system's zone file once in TZ lets it read the file only once.
    // Call at start-up, before any thread runs; a TZ already set is kept.
    static void pinLocalTimeZone();

private:
    std::optional<QDate> m_today;
};

// The days a date can be: what the windows' date boxes hold, which show
// their first day, 1900-01-01, as no date at all.
struct HeldDates {
    static QDate noDate() { return QDate(1900, 1, 1); }
    static QDate first() { return QDate(1900, 1, 2); }
    static QDate last() { return QDate(9999, 12, 31); }
    static bool holds(const QDate& d) { return d >= first() && d <= last(); }
    // "日期须在 1900-01-02 到 9999-12-31 之间"
    static QString rangeText() {
        return QStringLiteral("日期须在 %1 到 %2 之间")
            .arg(first().toString(Qt::ISODate), last().toString(Qt::ISODate));
    }
};
