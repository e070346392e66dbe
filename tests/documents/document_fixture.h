#pragma once

#include <QString>

#include "data/database.h"
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

// A goods row with its defaults.
void addGoods(Database& db, const QString& code, const QString& name, const QString& size = QString("S"),
              const QString& unit = QString("UN001"), const QVariant& defaultQty = 1,
              const QVariant& defaultPrice = 1.0, const QVariant& defaultTotal = 1.0,
              const QVariant& purchasePrice = 0.5);
// Makes the engine refuse `event` ("INSERT", "UPDATE" or "DELETE") on
// `table` for rows where `condition` holds (written with NEW./OLD.), as a
// failure half-way through a write would.
void failWhen(Database& db, const QString& table, const QString& event, const QString& condition);
void stopFailing(Database& db, const QString& table);
// How many rows a statement counts.
int count(Database& db, const QString& sql, const QVariantMap& params = {});
// Quotation numbers whose kept totals differ from the sums over their lines
// and receipts.
QStringList drifted(Database& db);
// A stored quotation with lines for goods G1..Gn (quantity i, price i),
// the goods added where missing; its number.
QString storedQuotation(Book& b, int lines);

}  // namespace DocumentFixture
