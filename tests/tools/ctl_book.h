#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "support/ctl_call.h"
#include "support/test_books.h"

class Database;

// A program folder on a fresh book of the current engine; olvendctl's commands run on it in-process on 2006-06-25.
struct CtlBook {
    CtlBook();
    Database& db();
    QString folder() const { return program.folder(); }
    // Writes a file into the program folder; its path.
    QString file(const QString& name, const QByteArray& text);
    CtlCall::Result ctl(const QStringList& args);
    // CtlCall's transcript, "= written" or "= not written" for an --out FILE, the folder as <home>.
    QString run(const QStringList& args);
    // run() of each line, its arguments apart by single spaces, <home> the folder.
    QString runAll(const QStringList& lines);
    // The number `COMMAND new` (quotation, order) saves the JSON text under; the test stops when it is refused.
    QString saved(const QString& command, const QByteArray& json);
    QString order(const QByteArray& json) { return saved(QStringLiteral("order"), json); }
    // Every row of every table a command writes, counters included.
    QStringList state();
    // The user 李四 of group 业务组, holding only `rights` ("form/action").
    void grantClerk(const QStringList& rights);
    CtlCall::Result asClerk(const QStringList& args) { return ctl(QStringList{"--user", "李四"} + args); }
    // Runs `args` as 李四 with each of `rights` withheld in turn, then with all (that run in `last`). What went wrong:
    // a run without one not refused (exit 3, the refusal text alone, nothing written), the last one failing.
    QStringList needsEach(const QStringList& rights, const QStringList& args, CtlCall::Result* last = nullptr);

    TestBooks::TestProgram program;
};

// Three goods: A (门锁), and B and C with the same name, size and unit.
struct QuotationCtlBook : CtlBook {
    QuotationCtlBook();
    // Saves a quotation with deposit 500, freight 80 and A 2 x 10.00, B 1 x 5.00, C 3 x 7.00; its number.
    QString sample();
};

namespace CtlBooks {
// Every row of a table as text (NULL as <null>), in the given order.
QStringList dump(Database& db, const QString& table, const QString& orderBy = QStringLiteral("1"));
int rows(Database& db, const QString& table);
}  // namespace CtlBooks
