#pragma once

#include <QStringList>
#include <QTextStream>

#include "data/records.h"
#include "platform/prompter.h"

class AppContext;
class Dataset;
struct FieldDef;

// The document commands of olvendctl: `quotation new|show|delete|state` and
// `receipts`. Each runs the logic class the windows use, as the acting user
// (its rights are checked as a window checks them), prints its answer on
// stdout and every message of the system on stderr. Exit codes: 0 done, 1
// the system's message, 3 the user lacks the right.
class CtlDocuments {
public:
    // `userName`: the --user option, or empty for the last user who logged
    // in ([DefaultSetting] Username of config.ini), else "admin".
    CtlDocuments(AppContext& context, QTextStream& out, QTextStream& err, const QString& userName);

    // Whether the arguments have the command's shape (else: wrong use).
    static bool wellFormed(const QString& command, const QStringList& args);
    // Runs a well-formed command on the open book.
    int run(const QString& command, const QStringList& args);
    // Whether the acting user may run the action of the window; when not,
    // the refusal is printed. Throws when the book has no such user.
    bool actingUserMay(const QString& action, const QString& form);

    // Tabs, line breaks and backslashes inside a value written as \t, \n,
    // \r and \\, so that a value never breaks a line or a column; other
    // control characters as \u and four hex digits (\u001b).
    static QString escaped(const QString& text);
    // A value as plain text: dates yyyy-MM-dd (with HH:mm:ss when there is
    // a time of day), numbers in positional notation to the column's scale.
    static QString plainText(const FieldDef& field, const QVariant& value);
    // A header line of the column names, then a line per row, the values
    // tab-separated as plainText() gives them, escaped.
    static void printRows(QTextStream& out, Dataset& rows, const QStringList& columns);

private:
    int newQuotation(const QString& path);
    int showQuotation(const QString& billNo);
    int deleteQuotation(const QString& billNo);
    int setState(const QString& billNo, const QString& state);
    int receipts(const QString& billNo);
    // The acting user, also made the context's current user; throws when
    // the book has no such user.
    void becomeActingUser();
    // False (the refusal printed) when the acting user may not run the
    // action of the window.
    bool allowed(const QString& action, const QString& form);
    void requireQuotation(const QString& billNo);
    // Prints what the logic said through its prompter; true when it
    // reported a failure.
    bool flushMessages();

    AppContext& m_context;
    QTextStream& m_out;
    QTextStream& m_err;
    QString m_userName;
    ScriptedPrompter m_prompter;
};
