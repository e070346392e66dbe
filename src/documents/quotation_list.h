#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class Database;
class Dataset;
class Prompter;

// The list of quotations with their amounts, and what acts on whole
// quotations: deleting them with their lines, receipts and receipt lines,
// and putting them in or out of force with their receipts. Each of these is
// one transaction.
class QuotationList {
public:
    QuotationList(Database& db, Prompter& prompter);
    ~QuotationList();
    QuotationList(const QuotationList&) = delete;
    QuotationList& operator=(const QuotationList&) = delete;

    // Whether the rows carry the quotations' costs and profits (the right
    // to see them); set before open(). Without it those columns are not
    // read at all.
    void setShowsCost(bool shows) { m_showsCost = shows; }

    // Reads every quotation: on an embedded book oldest number first, on a
    // server newest first and in parts (the first rows show at once).
    void open();
    void refresh();
    // The row of the newest quotation, or -1 when there is none.
    int newestRow() const;
    Dataset& rows() { return *m_rows; }
    const Dataset& rows() const { return *m_rows; }

    // Asks, then deletes the quotations with everything that belongs to
    // them; false when nothing was selected or the user said no.
    bool remove(const QStringList& billNos);
    // Deletes without asking (the command-line tool asks nothing).
    void removeNow(const QStringList& billNos);
    // Sets the quotation and all its receipts in force or out of force;
    // false with a message when none is selected.
    bool setInForce(const QString& billNo, bool inForce);

    // Every quotation, in no order: see open() for the order each kind of
    // book reads them in.
    // `columns`: what is read ("*" for every column).
    static QString listStatement(const QString& columns = QStringLiteral("*")) {
        return QStringLiteral("select %1 from Query_Quotation_Head_list").arg(columns);
    }

    // The quotations a server list shows before the rest is read.
    static constexpr int kFirstRows = 300;

private:
    Database& m_db;
    Prompter& m_prompter;
    std::unique_ptr<Dataset> m_rows;
    bool m_showsCost = true;
};
