#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <array>

#include "reports/engine/report_rows.h"
#include "reports/receivable_party.h"

class Database;
class StatisticsChart;

// Receivables by age (应收账款账龄) as of a day: for every customer with
// quotations in force still open on that day, what is open, on how many
// quotations, since when, and split by the quotations' age (order day to
// the as-of day) into 0–30, 31–60, 61–90, 91–180 and over 180 days.
// Quotations received beyond their receivable are not netted against the
// others: they make a line of their own per customer (预收/多收) with a
// negative amount. What is open on a day leaves out the receipts counted
// after it, as the statement counts them.
class ReceivablesAging {
public:
    static constexpr int kBuckets = 5;
    struct Line {
        ReceivableParty party;  // code and name only
        bool overpaid = false;
        qint64 total = 0;  // cents
        int quotations = 0;
        QDate oldest;
        std::array<qint64, kBuckets> buckets{};
    };
    struct Result {
        QDate asOf;
        QList<Line> lines;  // what is owed by total, largest first; then the overpaid
        std::array<qint64, kBuckets> owedBuckets{};
        qint64 owed = 0;
        qint64 overpaid = 0;  // negative or 0
    };

    explicit ReceivablesAging(Database& db);

    static QString windowName() { return QStringLiteral("Report_ReceivablesAging_Frm"); }
    static QString caption() { return QStringLiteral("应收账款账龄"); }
    static QString templateName() { return QStringLiteral("Korvan_ZhangLing.zrm"); }
    static QString actionName() { return QStringLiteral("Action_ReceivablesAging"); }
    static QStringList bucketNames();
    // The bucket of a quotation `days` old (a quotation without a day is
    // the oldest there is).
    static int bucketOf(int days);

    // Throws UserError for a day out of range.
    Result build(const QDate& asOf) const;
    // The statement build() reads: a row per quotation open on the day
    // (ClientNo, Add_ClientName, Keyin_Date, OpenAmount); `receiptsAfter`:
    // some receipts lie after the day and are added back.
    static QString statement(const QDate& asOf, bool receiptsAfter, QVariantMap* params);

    // The rows the template prints (Section "应收" or "预收/多收").
    static ReportRows rows(const Result& result);
    // ClientNo, ClientName, Leave_money, Quotations, OldestDate,
    // Days0_30, Days31_60, Days61_90, Days91_180, Over180.
    static ReportRows tsvRows(const Result& result);
    static StatisticsChart chart(const Result& result);
    QVariantMap parameters(const Result& result) const;

private:
    Database& m_db;
};
