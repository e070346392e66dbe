#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class Database;
class Dataset;
class Prompter;

// The list of order forms with the amount of their goods, and deleting
// whole order forms: each goes with its goods rows and every form made from
// it (work, ware-out and shipment forms with their rows), in one
// transaction.
class OrderFormList {
public:
    OrderFormList(Database& db, Prompter& prompter);
    ~OrderFormList();
    OrderFormList(const OrderFormList&) = delete;
    OrderFormList& operator=(const OrderFormList&) = delete;

    void open();
    void refresh();
    Dataset& rows() { return *m_rows; }
    const Dataset& rows() const { return *m_rows; }

    // Asks, then deletes; false when nothing was selected or the user said
    // no. A failed delete throws with every row left where it was.
    bool remove(const QStringList& codes);
    // Deletes without asking (the command-line tool asks nothing).
    void removeNow(const QStringList& codes);

    // Whether the selection can be edited (exactly one order) or printed
    // (at least one); false with the system's message otherwise.
    bool checkEditSelection(const QStringList& codes);
    bool checkPrintSelection(const QStringList& codes);

    // Every order head with the sum of its goods rows' amounts (sum_Price,
    // empty for an order without rows).
    // Forms_Note: whether forms made from the order no longer show it.
    static QString listStatement();
    // The same on a server, newest first.
    static QString serverListStatement();
    // The orders a server list shows before the rest is read.
    static constexpr int kFirstRows = 300;

private:
    Database& m_db;
    Prompter& m_prompter;
    std::unique_ptr<Dataset> m_rows;
};
