#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "reports/engine/report_rows.h"
#include "reports/receivable_party.h"

class Database;

// What a statement is asked for: a period whose bounds may be empty (no
// bound; To includes its whole day), or only the quotations still open on
// To (the aged receivables' view of one customer).
struct StatementFilter {
    QDate from;
    QDate to;
    bool openOnly = false;
};

// One line of a statement: the opening balance, a quotation (what it made
// receivable) or a receipt (what was received), with the balance after it.
struct StatementLine {
    enum class Kind { Opening, Quotation, Receipt };
    Kind kind = Kind::Quotation;
    QDate date;  // the day the line counts on; none: before every day
    QString billNo;
    QString kindName;  // "上期结余", "订货单" or the receipt's kind
    QString quotationNo;
    qint64 receivable = 0;  // cents
    qint64 received = 0;
    qint64 balance = 0;
    QDate sendDate;
    QString remark;
};

struct Statement {
    ReceivableParty party;
    qint64 opening = 0;  // cents
    qint64 periodReceivable = 0;
    qint64 periodReceived = 0;
    qint64 closing = 0;
    QList<StatementLine> lines;  // the opening line first
};

// A customer's statement of account (客户对账单): every quotation in force
// of the customer and every receipt recorded against one, by date, with a
// running balance from the opening balance (all receivable before From
// less all received before From) to the closing balance.
//
// A receipt counts on its own day, or on its quotation's day when it is
// dated before its quotation (a deposit taken before the quotation was
// entered): money is received against a quotation only once it exists, so
// the closing balance on any day is what the customer's quotations of up
// to that day still have open on it. A quotation's day is its 订货日期
// (Keyin_Date); one without a date counts before every day.
class CustomerStatement {
public:
    explicit CustomerStatement(Database& db);

    static QString windowName() { return QStringLiteral("Report_CustomerStatement_Frm"); }
    static QString caption() { return QStringLiteral("客户对账单"); }
    static QString templateName() { return QStringLiteral("Korvan_DuiZhangDan.zrm"); }
    // The main window's command that carries the right.
    static QString actionName() { return QStringLiteral("Action_CustomerStatement"); }

    // Throws UserError for a day out of range or From after To.
    static void check(const StatementFilter& filter);
    // The two statements build() reads, with their values: the party's
    // quotations in force of up to To, and the receipts against them.
    static QStringList statements(const ReceivableParty& party, const StatementFilter& filter, QVariantMap* params);
    // Throws UserError as check() does.
    Statement build(const ReceivableParty& party, const StatementFilter& filter) const;

    // The rows the template prints: a row per line, each carrying its
    // customer's particulars and totals, customers one after the other.
    static ReportRows rows(const QList<Statement>& statements);
    // The lines as `statement --out x.tsv` writes them.
    static ReportRows tsvRows(const QList<Statement>& statements);
    // Report_Title, Period_Text, the company's letterhead (Sys_Corp_*).
    QVariantMap parameters(const StatementFilter& filter) const;
    static QString periodText(const StatementFilter& filter);

private:
    Database& m_db;
};
