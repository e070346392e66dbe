#pragma once

#include <QStringList>
#include <QTextStream>

#include "demo/demo_data.h"

class AppContext;
struct ReportRows;
struct ReportTemplate;

// The commands of olvendctl. Each prints its result and returns the exit
// code: 0 done, 1 the system's message, 2 wrong use, 3 refused.
class CtlCommands {
public:
    CtlCommands(AppContext& context, QTextStream& out, QTextStream& err);

    // `arguments` without the program name and without the global options.
    int run(const QStringList& arguments, const QString& bookName);

    static QString usage();
    // What a command that ran out of memory says.
    static QString outOfMemoryText();
    // The --user option: whom the document commands act as.
    void setUserName(const QString& name) { m_userName = name; }

private:
    int init();
    int books();
    int nextCode(const QStringList& args);
    int checkPermission(const QStringList& args);
    int login(const QStringList& args);
    int createBook(const QStringList& args);
    // backup [BOOK] --out FILE, restore [BOOK] --from FILE
    int backup(const QString& command, const QStringList& args, const QString& bookName);
    int exportRecords(const QStringList& args, const QString& bookName);
    int importRecords(const QStringList& args, const QString& bookName);
    int report(const QStringList& args, const QString& bookName);
    int render(const QStringList& args);
    int print(const QStringList& args, const QString& bookName);
    // print prices [CUSTOMER...] --out FILE
    int printPrices(const QStringList& codes, const QString& outFile, const QString& bookName);
    // A template by its path, or by its name in Report/ or built into the
    // program; `folder` receives where its pictures are. Throws UserError.
    ReportTemplate loadTemplate(const QString& templateName, QString* folder);
    // Prepares the rows and writes the file its extension asks for; prints
    // the page count. Throws UserError.
    void writeReport(const ReportTemplate& tmpl, const QString& folder, const ReportRows& rows, const QString& outFile);
    // demo ...: its messages go to stderr.
    int demo(const QStringList& args, const QString& bookName);
    // Fills the book; throws UserError before anything is written when the
    // order forms could not be made.
    int fillDemo(const DemoData::Counts& counts, int quotations, int orders, int payouts, const QString& bookName);
    // quotation ... and receipts ...: their messages go to stderr.
    int documents(const QString& command, const QStringList& args, const QString& bookName);
    ReportRows readOnlyRows(const QString& sql);
    int unscramble(const QStringList& args);
    int scramble(const QStringList& args);
    // Connects the book named by --book, or the one used last.
    void openBook(const QString& bookName);
    int wrongUse();

    AppContext& m_context;
    QTextStream& m_out;
    QTextStream& m_err;
    QString m_userName;
};
