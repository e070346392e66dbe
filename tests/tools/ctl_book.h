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
    QString folder() const { return program.folder(); }
    // Writes a file into the program folder; its path.
    QString file(const QString& name, const QByteArray& text);
    CtlCall::Result ctl(const QStringList& args);
    // What a command did, as the golden files keep it: "$ ARGS", "exit N",
    // its stdout lines as "> LINE" and its stderr lines as "! LINE", and
    // for an --out FILE whether the file is there; the folder as <home>.
    QString run(const QStringList& args);
    // run() of each command line, its arguments apart by single spaces and
    // <home> standing for the folder.
    QString runAll(const QStringList& lines);
    // Saves a document from the JSON text with `COMMAND new` (quotation,
    // order); its number. The test stops when it is refused.
    QString saved(const QString& command, const QByteArray& json);
    QString order(const QByteArray& json) { return saved(QStringLiteral("order"), json); }
    // Every row of every table a command writes, counters included, for
    // comparing the book before and after.
    QStringList state();
    // The user 李四 of group 业务组, holding only `rights` ("form/action").
    void grantClerk(const QStringList& rights);
    CtlCall::Result asClerk(const QStringList& args) { return ctl(QStringList{"--user", "李四"} + args); }
    // Runs `args` as 李四 with each of `rights` withheld in turn, then with
    // all of them (that run in `last`). What went wrong: a run without one
    // of them that was not refused with exit 3 and the refusal text alone,
    // or that changed the book or wrote its --out file; the last run failing.
    QStringList needsEach(const QStringList& rights, const QStringList& args, CtlCall::Result* last = nullptr);

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
// Every row of a table as text (NULL as <null>), in the given order.
QStringList dump(Database& db, const QString& table, const QString& orderBy = QStringLiteral("1"));
int rows(Database& db, const QString& table);
}  // namespace CtlBooks
