#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>

class Clock;
class QSqlQuery;
class Database;
class Dataset;
class Prompter;

// The receipts of one quotation and the receipt lines they share. Opening
// gives a quotation its deposit receipt and its receipt lines the first
// time; receipts and lines are written as soon as a row is posted; the
// quotation's amounts are read again after every change of a receipt.
// Receipt lines hold whole numbers: amounts and averages are rounded to
// the nearest whole number, halves away from zero, on both engines.
class ReceiptBook {
public:
    ReceiptBook(Database& db, const Clock& clock, Prompter& prompter, const QString& userName);
    ~ReceiptBook();
    ReceiptBook(const ReceiptBook&) = delete;
    ReceiptBook& operator=(const ReceiptBook&) = delete;

    // Opens the receipts of a stored quotation; creates its deposit receipt
    // when it has no receipt and builds its lines when it has none. Throws
    // UserError for a quotation that is not in the book.
    void open(const QString& quotationNo);

    QString quotationNo() const { return m_quotationNo; }
    // The quotation's row of the list view (amounts received and due).
    const QVariantMap& quotation() const { return m_quotation; }
    void reloadQuotation();
    Dataset& receipts() { return *m_receipts; }
    Dataset& lines() { return *m_lines; }
    // The receipt kinds: StatusValue -> StatusName.
    const QList<std::pair<QString, QString>>& kinds() const { return m_kinds; }

    // Asks, then builds the lines afresh from the quotation.
    bool rebuildLines();
    // Builds the lines afresh in one transaction; on failure nothing
    // changes and the system's message says so. False on failure.
    bool buildLines();
    // Writes the receipt lines of a stored quotation afresh from its lines
    // and freight, inside the caller's transaction (the lines above, and
    // the demo book).
    static void writeLines(Database& db, const QString& quotationNo);
    // Replaces the deposit receipts by a new one of the quotation's current
    // deposit.
    void renewDeposit();
    // A receipt of kind 1 with the quotation's remark, amount left empty;
    // for a quotation out of force only when the user says so.
    bool addReceipt();
    // Whether the quotation is in force (生效).
    bool isInForce() const;
    // What was rounded to whole units since last asked ("收款金额只记整数：
    // 500.5 已记为 501"); empty when nothing was.
    QString takeRoundingNote();
    // When the receipt lines no longer add up to the amount due: says by
    // how much; empty when they agree.
    QString linesDifferenceNote() const;
    bool deleteReceipts(const QList<int>& rows);
    void addLine();
    // Adds a line of a catalogue's goods: its name, size, unit, quantity,
    // price and amount (whole units), written at once; false (and said)
    // when the goods are gone.
    bool addGoodsLine(const QString& goodsCode);
    bool deleteLines(const QList<int>& rows);
    // Posts what the grids still hold (before printing and closing). A
    // write that can never succeed (its quotation or row deleted or changed
    // elsewhere) is dropped and the receipts read again; any other failure
    // keeps the edits. The failure is passed on.
    void postPending();
    // Drops every edit not written and reads the receipts again (the user
    // gives up a write that keeps failing).
    void discardPending();
    // The receipt number of the row to print; empty (with a message) when
    // none is selected.
    QString receiptToPrint(const QList<int>& rows);

private:
    // Throws when the quotation is gone (deleted by another workstation);
    // called inside each write's transaction.
    void requireQuotation();
    // The quotation's row from a query positioned before it.
    void takeQuotation(QSqlQuery& q);
    void openReceipts();
    void openLines();
    void appendDeposit();
    QString newReceiptNo();
    void onLineFieldChanged(const QString& field);
    // Drops the changes a failed write left and reads the receipts again.
    void dropFailedWrites();
    // Whether the edits a write failed on can never be written: the
    // quotation or a row was deleted or changed on another workstation.
    bool writeCannotSucceed();

    Database& m_db;
    const Clock& m_clock;
    Prompter& m_prompter;
    QString m_userName;
    QString m_quotationNo;
    QVariantMap m_quotation;
    QList<std::pair<QString, QString>> m_kinds;
    std::unique_ptr<Dataset> m_receipts;
    std::unique_ptr<Dataset> m_lines;
    bool m_computing = false;
    QString m_roundingNote;
};
