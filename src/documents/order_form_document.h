#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

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
class OrderFormDocument {
public:
    enum Mode { New = 2, Existing = 3 };

    OrderFormDocument(Database& db, const Clock& clock, Prompter& prompter, const QString& userName);
    ~OrderFormDocument();
    OrderFormDocument(const OrderFormDocument&) = delete;
    OrderFormDocument& operator=(const OrderFormDocument&) = delete;

    // New starts an order; Existing opens `code`. Throws UserError when the
    // order to open is missing.
    void load(int mode, const QString& code = {});

    int mode() const { return m_mode; }
    Dataset& head() { return *m_head; }
    Dataset& rows() { return *m_rows; }
    QString code() const;
    // Whether the order is stored in the book (saved at least once).
    bool isStored() const;
    // Head or rows hold changes not yet saved.
    bool isModified() const;

    // Ticks or clears "已经付清余额": the payment date is today or empty.
    void setPaid(bool paid);
    // Takes a customer record chosen in the customer list; its particulars
    // fill the head's empty name, establishment and telephone.
    void chooseCustomer(const QString& corpCode);

    // Appends a goods row (new code, tracking state 0) as the current row
    // and returns its position.
    int addRow();
    // Deletes the rows at these positions; false (with a message) when none
    // is given.
    bool deleteRows(const QList<int>& rows);

    // Shows the first fault in the system's order; false when invalid.
    bool validate();
    // Validates, then writes head and rows in one transaction. False when
    // invalid; a failed write throws with every edit kept.
    bool save();
    // Before closing and printing: true when the caller may go on. `save`
    // is how the caller saves (through its permission check); by default
    // save() itself.
    bool settleChanges(const std::function<bool()>& save = {});
    // Drops every change and reads the stored order again (a new one that
    // was never saved is left empty).
    void discardChanges();
    // Drops every change and reads the order and its goods rows again.
    void reload();

    // A goods row's defaults by goods name, from the goods-name code list:
    // size, unit, price, quantity and amount.
    struct GoodsDefaults {
        QVariant size, unit, price, qty, total;
    };
    static bool goodsDefaults(Database& db, const QVariant& goodsName, GoodsDefaults* out);

    static QString unsavedQuestion() { return QStringLiteral("该收据已修改但还未保存，是否要保存？"); }

private:
    void startNew();
    void openRows();
    void markSaved();
    void onRowFieldChanged(const QString& field);
    void applyGoodsDefaults();

    Database& m_db;
    const Clock& m_clock;
    Prompter& m_prompter;
    QString m_userName;
    int m_mode = New;
    std::unique_ptr<Dataset> m_head;
    std::unique_ptr<Dataset> m_rows;
    bool m_computing = false;
    // Expires with the document, for work left until a transaction ends.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
