#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

#include "documents/head_detail_document.h"

class Clock;
class Database;
class Dataset;
class Prompter;

// One order form being edited: its head and its goods rows, held in memory
// until saved. It opens a stored order or starts a new one (number drawn at
// once, delivery a week on), keeps the payment date with the paid mark,
// adds and deletes goods rows, keeps each row's amount as price and
// quantity change and fills a row's defaults from its goods name,
// validates and saves head and rows in one transaction, and answers the
// unsaved-changes question.
class OrderFormDocument : public HeadDetailDocument {
public:
    OrderFormDocument(Database& db, const Clock& clock, Prompter& prompter, const QString& userName);
    ~OrderFormDocument() override;

    // New starts an order; Existing opens `code`. Throws UserError when the
    // order to open is missing.
    void load(int mode, const QString& code = {});

    Dataset& rows() { return *m_lines; }
    QString code() const { return key(); }
    bool isModified() const override;

    // Ticks or clears "已经付清余额": the payment date is today or empty.
    void setPaid(bool paid);
    // Takes a customer record chosen in the customer list; its particulars
    // fill the head's empty name, establishment and telephone.
    void chooseCustomer(const QString& corpCode);

    // Appends a goods row (new code, tracking state 0) as the current row
    // and returns its position.
    int addRow();
    // Appends a row of a goods name of the code list (its value) with its
    // defaults, as the goods-row window fills it; -1 (and said) for a name
    // the list no longer offers.
    int addTypedRow(const QString& goodsName);
    // The goods names of the code list a typed text finds (the name or its
    // value, the initials, a part of the name), each as value, name, size,
    // unit and price; at most 20.
    QList<QStringList> goodsNamesMatching(const QString& text) const;
    // Deletes the rows at these positions; false (with a message) when none
    // is given.
    bool deleteRows(const QList<int>& rows);

    // Shows the first fault in the system's order; false when invalid.
    bool validate() override;

    // A goods row's defaults by goods name, from the goods-name code list:
    // size, unit, price, quantity and amount.
    struct GoodsDefaults {
        QVariant size, unit, price, qty, total;
    };
    static bool goodsDefaults(Database& db, const QVariant& goodsName, GoodsDefaults* out);

private:
    // The particulars a customer record gives an order (field, value).
    QList<QPair<QString, QString>> particularsOf(const QString& corpCode) const;
    void startNew();
    void openLines() override;
    void postPendingEdits() override;
    // Forms made from the order before this save no longer show it.
    void beforeWrite() override;
    void onRowFieldChanged(const QString& field);
    void applyGoodsDefaults();

    bool m_computing = false;
};
