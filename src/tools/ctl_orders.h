#pragma once

#include <QStringList>
#include <QTextStream>

#include "tools/ctl_session.h"

class AppContext;

// The order-form commands of olvendctl: `order new|show|delete|generate`.
// Each runs the logic classes the order windows use (OrderFormDocument,
// OrderGoodsEditor, OrderFormList, OrderFormGenerator) as the acting user,
// whose rights are checked with the order windows' names (frm_GainBill,
// frm_GainBill_list, Dusmere_Order_Form_GoodsEdit_Frm); it prints its
// answer on stdout and the system's messages on stderr. Exit codes: 0
// done, 1 the system's message (a refusal, an unknown order, a bad file,
// an overwrite not confirmed), 3 the user lacks the right.
class CtlOrders {
public:
    explicit CtlOrders(CtlSession& session);

    // Whether the arguments after `order` have a command's shape.
    static bool wellFormed(const QStringList& args);
    // Runs a well-formed command on the open book.
    int run(const QStringList& args);

private:
    int newOrder(const QString& path);
    int show(const QString& code);
    int remove(const QString& code);
    int generate(const QString& kind, const QString& code, bool overwrite);
    // False (the refusal printed) when the acting user may not run every
    // one of the actions, given as (action, window) pairs.
    bool allowed(const QList<std::pair<QString, QString>>& actions);
    void requireOrder(const QString& code);

    CtlSession& m_session;
    AppContext& m_context;
    QTextStream& m_out;
    QTextStream& m_err;
    ScriptedPrompter& m_prompter;
};
