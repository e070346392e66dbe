#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

class Database;

// What a customer was quoted for a goods before: the quotations in force
// made out to the customer that hold the goods, newest first. A customer
// is known by the code of its record when the quotation names one, else by
// the name typed on the quotation. Each answer is one query along the
// quotations' index by customer and date and their lines' index by
// quotation, so it stays quick however many quotations the book holds.
class PriceHistory {
public:
    struct Customer {
        QString code;  // Quotation_Head.ClientNo, may be empty
        QString name;  // Quotation_Head.Add_ClientName
        bool isEmpty() const { return code.trimmed().isEmpty() && name.trimmed().isEmpty(); }
    };
    struct Quoted {
        QString billNo;
        QDate date;  // the day the quotation was entered
        QVariant quantity;
        QVariant price;
    };

    // Where a saved quotation stands among the customer's: its date of
    // entry, then its number.
    struct Position {
        QVariant keyinDate;
        QString billNo;
    };

    explicit PriceHistory(Database& db) : m_db(db) {}

    // The newest price quoted to `customer` for `goodsNo`, on a quotation
    // other than `exceptBillNo` (the one being edited); with `before`, the
    // newest quoted before that position, so that an old quotation shows
    // what was quoted before it, not what came later.
    std::optional<Quoted> last(const Customer& customer, const QString& goodsNo, const QString& exceptBillNo,
                               const std::optional<Position>& before = std::nullopt);
    // last() for each of `goodsNos` that was quoted, by goods number, read
    // in one statement (a few for very many goods): a quotation of many
    // lines asks for all of them at once.
    QHash<QString, Quoted> lastOfEach(const Customer& customer, const QStringList& goodsNos,
                                      const QString& exceptBillNo,
                                      const std::optional<Position>& before = std::nullopt);
    // Up to `limit` of them, newest first.
    QList<Quoted> history(const Customer& customer, const QString& goodsNo, const QString& exceptBillNo,
                          int limit = 500);

    // Whether `customer` has a quotation in force after `position` (a later
    // date, or the same date and a later number): only then does a
    // quotation at `position` show other last prices than the newest.
    bool quotedAfter(const Customer& customer, const Position& position);

    // "12.50 (2006-06-01)": how a line shows its last price.
    static QString describe(const Quoted& quoted);

private:
    // The customer condition, and the bound of `before`, of both reads.
    QString conditions(const Customer& customer, const QString& exceptBillNo, const std::optional<Position>& before,
                       QVariantMap* params) const;
    QList<Quoted> read(const Customer& customer, const QString& goodsNo, const QString& exceptBillNo, int limit,
                       const std::optional<Position>& before);

    Database& m_db;
};
