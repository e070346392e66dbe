#pragma once

#include <QString>

#include "data/database.h"
#include "data/dataset.h"
#include "documents/quotation_document.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "support/test_books.h"

// A fresh book of the current engine with a clock on 25 June 2006, and the
// goods and statements the quotation suites share.
namespace DocumentFixture {

struct Book {
    TestBooks::FreshBook book;
    Clock clock;
    ScriptedPrompter prompter;
    Book() : book(TestBooks::currentEngine()) { clock.setToday(QDate(2006, 6, 25)); }
    Database& db() { return book.db(); }
};

// A quotation of `user`: a new one, or `billNo` loaded in `mode`.
struct Quotation : QuotationDocument {
    explicit Quotation(Book& b, int mode = New, const QString& billNo = {}, const QString& user = "admin")
        : QuotationDocument(b.db(), b.clock, b.prompter, user) {
        load(mode, billNo);
    }
};

// A goods row with its defaults.
void addGoods(Database& db, const QString& code, const QString& name, const QString& size = QString("S"),
              const QString& unit = QString("UN001"), const QVariant& defaultQty = 1,
              const QVariant& defaultPrice = 1.0, const QVariant& defaultTotal = 1.0,
              const QVariant& purchasePrice = 0.5);
// Makes the engine refuse `event` on `table` where `condition` (NEW./OLD.)
// holds, as a failure half-way through a write would.
void failWhen(Database& db, const QString& table, const QString& event, const QString& condition);
void stopFailing(Database& db, const QString& table);
// How many rows a statement counts.
int count(Database& db, const QString& sql, const QVariantMap& params = {});
// Quotations whose kept totals differ from their lines and receipts.
QStringList drifted(Database& db);
// A stored quotation with lines for goods G1..Gn (quantity i, price i),
// the goods added where missing; its number.
QString storedQuotation(Book& b, int lines);
// The message a refused save left, or "saved".
template <class Saver>
QString refusal(Saver& saver, ScriptedPrompter& prompter) {
    prompter.clear();
    return saver.save() ? QStringLiteral("saved") : prompter.lastText();
}
// A value as the suites compare it: "null", a date without a time of day
// as yyyy-MM-dd, a number in its shortest form, anything else as text.
QString text(const QVariant& value);
// `fields` of row `row` (-1: the current row) as text joined by '|'.
QString values(const Dataset& rows, const QStringList& fields, int row = -1);
QString values(const QVariantMap& map, const QStringList& fields);
// What a statement reads, as text: the columns of a row joined by '|', the
// rows by "; ".
QString read(Database& db, const QString& sql, const QVariantMap& params = {});

// A stored quotation with the given goods (which must exist) and hotel.
QString storedQuotation(Database& db, Clock& clock, Prompter& prompter, const QStringList& codes,
                        const QString& hotel = QString());
// The goods A (门锁, UN001), B and C (both 合页 4寸 UN002), and a stored
// quotation for 王先生 of them: deposit 500, `freight`, `discount`, remark
// 尾款月底; A 2 x 10.00, B 1 x 5.00, C 3 x 7.00 (B and C make one receipt
// line).
QString receiptSample(Database& db, Clock& clock, ScriptedPrompter& prompter, double freight = 80, double discount = 0);

}  // namespace DocumentFixture
