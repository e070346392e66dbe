#pragma once

#include <QStringList>
#include <QTextStream>

#include "data/records.h"

class AppContext;
class CtlSession;
class ScriptedPrompter;
class Dataset;
struct FieldDef;

// The document commands of olvendctl: `quotation new|show|delete|state` and
// `receipts`. Each runs the logic class the windows use, as the acting user
// (its rights are checked as a window checks them), prints its answer on
// stdout and every message of the system on stderr. Exit codes: 0 done, 1
// the system's message, 3 the user lacks the right.
class CtlDocuments {
public:
    explicit CtlDocuments(CtlSession& session);

    // Whether the arguments have the command's shape (else: wrong use).
    static bool wellFormed(const QString& command, const QStringList& args);
    // Runs a well-formed command on the open book.
    int run(const QString& command, const QStringList& args);

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
    void requireQuotation(const QString& billNo);

    CtlSession& m_session;
    AppContext& m_context;
    QTextStream& m_out;
    ScriptedPrompter& m_prompter;
};
