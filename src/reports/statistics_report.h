#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "platform/period.h"
#include "reports/engine/report_rows.h"

class Database;

// What a statistics report is asked for: a period whose bounds may be
// empty (no bound; To includes its whole day), and for payouts a kind and a
// remark as the window's drop-downs give them.
struct StatisticsFilter {
    QDate from;
    QDate to;
    Period period() const { return {from, to}; }
    QString kind = QStringLiteral("全部");    // "全部", "运输费", "工资", "日杂费", "汇款"
    QString remark = QStringLiteral("全部");  // "全部"; empty: payouts without remark
};

// A part of a statistics report's rows by the date that orders them: the
// rows without a date, or those from `from` up to the start of `to` (an
// invalid end is open). The parts of a report, read one after the other,
// give its rows in their order.
struct StatisticsPart {
    bool undated = false;
    QDate from;
    QDate to;
};

// The income, payout and profit statistics: their statements (bound
// values, one text for both engines), the rows a report is prepared from,
// the values its header prints, and the remark choices of the payout
// window.
//
// - Income: one row per receipt of the period whose quotation is in force,
//   with every column of the quotation list row, the receipt's date Payday,
//   amount PayPrice and number Receipt_BillNo, and ReceiptBillCount, that
//   quotation's receipts in the period.
// - Payout: one row per payout of the period, kind and remark, with the
//   name of its kind statusname (its code when the code list lacks it).
// - Profit: a ledger of payouts and receipts (billdate, subject_name,
//   Income_price, PayoutPrice, remark).
// Every row also carries BillDay, its calendar day; rows come by day.
//
// For a user without the right to see costs and profits the income rows
// leave the quotations' costs and profits out (they are not read at all),
// and the profit statistics, which show nothing but what the company
// earns, are refused as a whole.
class StatisticsReport {
public:
    enum class Kind { Income, Payout, Profit };

    explicit StatisticsReport(Database& db);

    // Whether the rows may carry costs and profits (the right to see
    // them); set before asking for a statement or rows.
    void setShowsCost(bool shows) { m_showsCost = shows; }
    // Whether the report as a whole is a view of the company's profit.
    static bool isCostView(Kind kind) { return kind == Kind::Profit; }

    static QString windowName(Kind kind);
    static QString caption(Kind kind);
    static QString templateName(Kind kind);
    // The payout window's kind choices, "全部" first.
    static QStringList kindChoices();
    // The payout subject a kind choice filters on; empty for "全部" and an
    // empty text. False for a text that is no choice.
    static bool subjectOfChoice(const QString& choice, QString* subject);

    // Throws UserError for a day a book cannot hold or From after To; every
    // period a report is asked for passes here.
    static void checkPeriod(const Period& period);
    // Throws UserError when the filter cannot be asked (From after To, a
    // kind that is no choice).
    static void check(Kind kind, const StatisticsFilter& filter);
    // Throws UserError with the refusal of the rights when the report is a
    // cost view and costs may not be shown.
    // With a part, only that part's rows.
    QString statement(Kind kind, const StatisticsFilter& filter, QVariantMap* params,
                      const StatisticsPart* part = nullptr) const;
    // Runs the statement; dates come back as dates on both engines.
    ReportRows rows(Kind kind, const StatisticsFilter& filter, const StatisticsPart* part = nullptr) const;
    // The sums per month of the very rows the statement gives, for the
    // chart: Month ('yyyy-MM' text, null for rows without a date) with
    // Income and Payout as the kind has them, and for payouts per kind
    // (statusname, subject). One row per month and kind, in no order.
    QString monthlyStatement(Kind kind, const StatisticsFilter& filter, QVariantMap* params) const;
    ReportRows monthly(Kind kind, const StatisticsFilter& filter) const;
    // The same sums folded from rows the statement gave (a report whose
    // rows are all read draws its chart from the very rows it prints).
    static ReportRows monthlyOf(Kind kind, const ReportRows& rows);
    // The parts a long report is read in, so that its first pages show
    // before the rest is read: from the first date the filter or the book
    // holds a week, the rest of that month, then a month at a time (and
    // first the receipts without a date).
    QList<StatisticsPart> parts(Kind kind, const StatisticsFilter& filter) const;
    // Takes the next part of `parts`, joined with up to `months` - 1 of the
    // month parts after it (never the first week, nor the undated rows).
    static StatisticsPart takeJoined(QList<StatisticsPart>* parts, int months);
    // Period_Text, Kind_Text, Remark_Text and the company's name
    // Sys_Corp_name, for the report's header.
    QVariantMap parameters(Kind kind, const StatisticsFilter& filter) const;
    // "全部" and the distinct remarks of the payouts of a kind choice.
    QStringList remarkChoices(const QString& kindChoice) const;

    static QString periodText(const StatisticsFilter& filter);

private:
    // The tables and conditions the rows come from (" from … where …", for
    // profit a derived table t), after the same checks as the statement;
    // `dated` is set to the column that dates the rows. The rows and their
    // monthly sums share it, so that both take the very same rows.
    QString rowSource(Kind kind, const StatisticsFilter& filter, const StatisticsPart* part, QVariantMap* params,
                      QString* dated) const;

    Database& m_db;
    bool m_showsCost = true;
};
