#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "support/ctl_call.h"
#include "support/test_books.h"

class Database;

// A program folder on a fresh book of the current engine, with olvendctl's
// commands run on it in-process on a fixed day (2006-06-25).
struct CtlBook {
    CtlBook();
    Database& db();
    // Writes a file into the program folder; its path.
    QString file(const QString& name, const QByteArray& text);
    CtlCall::Result ctl(const QStringList& args);
    // Saves a document from the JSON text with `COMMAND new` (quotation,
    // order); its number. The test stops when it is refused.
    QString saved(const QString& command, const QByteArray& json);
    QString order(const QByteArray& json) { return saved(QStringLiteral("order"), json); }

    TestBooks::TestProgram program;
};

// Three goods: A (门锁), and B and C with the same name, size and unit.
struct QuotationCtlBook : CtlBook {
    QuotationCtlBook();
    // Saves a quotation with deposit 500, freight 80 and A 2 x 10.00, B 1 x
    // 5.00, C 3 x 7.00; its number.
    QString sample();
};

namespace CtlBooks {
// Every row of a table as text (NULL as <null>), in the given order, for
// comparing two books or a table before and after.
QStringList dump(Database& db, const QString& table, const QString& orderBy = QStringLiteral("ID"));
int rows(Database& db, const QString& table);
// The last number a counter of Sys_ID_Autoincrement gave for a table.
QString counter(Database& db, const QString& table);
// An order form's tables and those of the forms made from it.
extern const QStringList kOrderTables;
}  // namespace CtlBooks
