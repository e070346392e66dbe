#pragma once

#include <QDate>
#include <QStringList>
#include <QTextStream>

#include "tools/ctl_session.h"

class AppContext;
class CtlArguments;

// The payout and statistics commands of olvendctl:
//   payout add KIND DATE AMOUNT [--remark TEXT]
//   payout list KIND [--from D] [--to D]
//   stats income|payout|profit [--from D] [--to D] [--kind K] [--remark R] --out FILE
// `payout add` runs the payout editor as the acting user, whose rights are
// checked with the payout windows' names (frm_payout, frm_payout_edit).
// `stats` writes the report the statistics window shows (.pdf .xlsx .htm
// .jpg .rmp, chart included) or, for .tsv, the rows it is prepared from.
// Exit codes: 0 done, 1 the system's message, 2 wrong use, 3 refused.
class CtlPayouts {
public:
    explicit CtlPayouts(CtlSession& session);

    // Whether the arguments after `payout` or `stats` have a command's shape.
    static bool wellFormed(const QString& command, const QStringList& args);
    int run(const QString& command, const QStringList& args);
    // A date written yyyy-MM-dd; empty text is no date. Throws UserError.
    static QDate parseDate(const QString& text);

private:
    // Reads the arguments after `payout` or `stats`; false when they do not
    // have a command's shape.
    static bool parse(const QString& command, const QStringList& args, CtlArguments* parsed);
    int add(const CtlArguments& a);
    int list(const CtlArguments& a);
    int stats(const CtlArguments& a);

    CtlSession& m_session;
    AppContext& m_context;
    QTextStream& m_out;
    QTextStream& m_err;
    ScriptedPrompter& m_prompter;
};
