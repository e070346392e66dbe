#pragma once

#include <QList>
#include <QStringList>
#include <QTextStream>

#include "demo/demo_data.h"
#include "tools/ctl_session.h"

class AppContext;

// The commands of olvendctl, found by name in one table. Each prints its
// answer on stdout (check-permission and login also their refusals, as
// their answer) and its messages on stderr, and returns the exit code: 0
// done, 1 the system's message, 2 wrong use (mostly with the command's
// usage), 3 refused. No exception leaves run().
class CtlCommands {
public:
    CtlCommands(AppContext& context, QTextStream& out, QTextStream& err);

    // `arguments` without the program name and without the global options.
    int run(const QStringList& arguments, const QString& bookName);
    // The --user option: whom the commands act as.
    void setUserName(const QString& name) { m_session.setUserName(name); }

    // Every command's usage.
    static QString usage();
    // One command's usage (an unknown command: every command's).
    static QString usage(const QString& command);
    // What a command that ran out of memory says.
    static QString outOfMemoryText();

private:
    // `command` is the name the command was called by (backup and restore,
    // say, share one handler).
    using Handler = int (CtlCommands::*)(const QString& command, const QStringList& args);
    struct Command {
        QString name;
        QString usage;
        Handler handler;
    };
    static const QList<Command>& commands();
    static const Command* find(const QString& name);

    int init(const QString& command, const QStringList& args);
    int books(const QString& command, const QStringList& args);
    int nextCode(const QString& command, const QStringList& args);
    int checkPermission(const QString& command, const QStringList& args);
    int login(const QString& command, const QStringList& args);
    int createBook(const QString& command, const QStringList& args);
    // backup [BOOK] --out FILE, restore [BOOK] --from FILE
    int backup(const QString& command, const QStringList& args);
    // scramble TEXT, unscramble TEXT
    int scramble(const QString& command, const QStringList& args);
    int useServer(const QString& command, const QStringList& args);
    int demo(const QString& command, const QStringList& args);
    // Fills the book; throws UserError before anything is written when the
    // order forms could not be made.
    int fillDemo(const DemoData::Counts& counts, int quotations, int orders, int payouts);
    int documents(const QString& command, const QStringList& args);
    int orders(const QString& command, const QStringList& args);
    int payouts(const QString& command, const QStringList& args);
    int prices(const QString& command, const QStringList& args);
    int importRecords(const QString& command, const QStringList& args);
    int exportRecords(const QString& command, const QStringList& args);
    int report(const QString& command, const QStringList& args);
    int render(const QString& command, const QStringList& args);
    int print(const QString& command, const QStringList& args);
    int statement(const QString& command, const QStringList& args);
    int receivables(const QString& command, const QStringList& args);

    CtlSession m_session;
    AppContext& m_context;
    QTextStream& m_out;
    QTextStream& m_err;
};
