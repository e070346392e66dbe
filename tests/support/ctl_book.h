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

    TestBooks::TestProgram program;
};

namespace CtlBooks {
// Every row of a table as text (NULL as <null>), in the given order, for
// comparing two books or a table before and after.
QStringList dump(Database& db, const QString& table, const QString& orderBy = QStringLiteral("ID"));
int rows(Database& db, const QString& table);
}  // namespace CtlBooks
