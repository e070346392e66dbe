#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

#include "documents/head_detail_document.h"
#include "documents/price_history.h"

class Clock;
class Database;
class Dataset;
class LookupList;
class Prompter;

// One quotation being edited: its head row and its lines, held in memory
// until saved. It opens a stored quotation, starts a new one (number drawn
// at once) or a copy of another one's customer particulars; keeps each
// line's amount and profit as quantities and prices change; adds goods,
// deletes and reorders lines; validates and saves head and lines in one
// transaction; and answers the unsaved-changes question.
class QuotationDocument : public HeadDetailDocument {
public:
    QuotationDocument(Database& db, const Clock& clock, Prompter& prompter, const QString& userName);
    ~QuotationDocument() override;

    // Loads the document for the mode: New starts a quotation, Existing
    // opens `billNo`, Copy starts a quotation with the customer particulars
    // of `billNo`. Throws UserError when a quotation to open is missing.
    void load(int mode, const QString& billNo = {});

    Dataset& lines() { return *m_lines; }
    QString billNo() const { return key(); }

    bool isModified() const override;

    // Adds a line per goods code not yet on the quotation, in the given
    // order, with the goods' defaults; returns how many were added. Codes
    // whose goods no longer exist are skipped and named in a message.
    int addGoods(const QStringList& codes);
    // Deletes the lines at these row positions; false (with a message) when
    // none is given.
    bool deleteLines(const QList<int>& rows);
    // Moves the line at `row` one place up or down in the printed order
    // (SortNo, then the order read); the rows of lines() stay where they
    // are. False when nothing moved.
    bool moveLineUp(int row);
    bool moveLineDown(int row);
    // The rows of lines() in the printed order.
    QList<int> printOrder() const;
    // Goods codes of lines whose goods are no longer in the catalogue.
    QStringList missingGoods() const;

    // Shows the first fault in the system's order; false when invalid.
    bool validate() override;
    // Also reads the goods lookups again.
    void reload() override;

    // The row of the line of a goods code; -1 when none.
    int lineOf(const QString& goodsCode) const;
    static QString goodsOnQuotationText(const QString& code) {
        return QStringLiteral("货品[%1]已在订货单中").arg(code);
    }
    // Takes a customer typed by its name, code, initials or telephone: the
    // text typed so far gives way to the customer's name.
    void takeCustomer(const QString& code);

    // The goods code of the line at `row`.
    QString goodsCodeAt(int row) const;

    // Name, size and unit name of the goods on the quotation, by code, and
    // the customers a quotation can name (code -> "name(company.country)",
    // extras: person, company, country).
    std::shared_ptr<LookupList> goodsNames() const { return m_goodsNames; }
    std::shared_ptr<LookupList> goodsSizes() const { return m_goodsSizes; }
    std::shared_ptr<LookupList> goodsUnits() const { return m_goodsUnits; }
    std::shared_ptr<LookupList> customers() const { return m_customers; }
    // By goods code: the price this quotation's customer was last quoted
    // for the goods on another quotation in force, with its date
    // ("12.50 (2006-06-01)"); goods never quoted to the customer are
    // missing. Read again with the goods lookups and whenever the customer
    // changes.
    std::shared_ptr<LookupList> lastPrices() const { return m_lastPrices; }
    void reloadLastPrices();
    // Set by a window: a customer name typed into the head calls this
    // instead of reading the last prices at once; the window then calls
    // reloadLastPrices() once the typing pauses.
    std::function<void()> deferLastPrices;
    // The prices this quotation's customer was quoted for a goods on the
    // other quotations in force, newest first.
    QList<PriceHistory::Quoted> priceHistory(const QString& goodsNo);
    // The customer as the price history knows it.
    PriceHistory::Customer customer() const;
    void reloadGoodsLookups();
    void reloadCustomers();
    // Takes a customer record chosen elsewhere; its name fills an empty
    // customer name.
    void chooseCustomer(const QString& code);

    // What the user is told when the quotation was deleted on another
    // workstation while it was open.
    static QString deletedElsewhereText(const QString& billNo) {
        return QStringLiteral("订货单[%1]已被其他用户删除。").arg(billNo);
    }

private:
    // Whether a chosen customer record is there; says so when it is gone.
    bool customerStillThere(const QString& code) const;
    // The particulars a customer record gives a quotation (field, value).
    QList<QPair<QString, QString>> particularsOf(const QString& code) const;
    // Fills the head's empty customer particulars from the customer record.
    void fillFromCustomer(const QString& code);
    bool m_fillingFromCustomer = false;
    void postPendingEdits() override;
    // Inside the save: the goods the lines name are looked up again, and
    // on a server held until the save ends, so that goods deleted since
    // validate() are not named unasked and cannot be deleted meanwhile.
    void beforeWrite() override;
    // The goods codes of lines whose goods are gone; `lockSuffix` holds
    // the goods rows found (a server's row lock).
    QStringList missingGoods(const QString& lockSuffix) const;
    QStringList m_missingAccepted;  // goods the user chose to save without
    void afterSaved(bool wasNew) override;
    void startNew();
    void copyFrom(const QString& sourceBillNo);
    void openLines() override;
    void onLineFieldChanged(const QString& field);
    // The current line's profit: its amount less quantity × purchase price.
    void setLineProfit();
    // Moves a line (a row of lines()) one place up (-1) or down (+1) in the
    // printed order; false when it is already first or last.
    bool moveLine(int row, int step);
    void markLinesChanged();

    bool m_computing = false;
    std::shared_ptr<LookupList> m_goodsNames;
    std::shared_ptr<LookupList> m_goodsSizes;
    std::shared_ptr<LookupList> m_goodsUnits;
    std::shared_ptr<LookupList> m_customers;
    std::shared_ptr<LookupList> m_lastPrices;
};
