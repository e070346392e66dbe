#pragma once

#include <QList>
#include <QPair>
#include <QStringList>
#include <QTextStream>

#include "tools/ctl_session.h"

class AppContext;
class PriceTable;

// The price table commands of olvendctl:
//   prices show [CUSTOMER]               the table's fields as name=value lines
//   prices set [CUSTOMER] FIELD=VALUE…   change fields and save (all or none)
//   prices reset CUSTOMER                the customer's table from the standard one
// Without a customer they work on the standard table. They run the price
// table the window uses, as the acting user with the rights of the entries
// that open it (the main window's 单价表默认值, the customer list's 单价表)
// and of the window's commands. Exit codes: 0 done, 1 the system's message,
// 2 wrong use, 3 refused.
class CtlPrices {
public:
    explicit CtlPrices(CtlSession& session);

    static bool wellFormed(const QStringList& args);
    int run(const QStringList& args);

private:
    int show(PriceTable& table);
    int set(PriceTable& table, const QList<QPair<QString, QString>>& values);
    // Whether the acting user may open the standard table (the main
    // window's entry) or a customer's (the customer list's); when not, the
    // refusal is printed.
    bool mayOpen(const QString& customer);
    // The standard table or the customer's (made on its first opening).
    static void open(PriceTable& table, const QString& customer);
    // FIELD=VALUE arguments as fields and values, every one checked; throws
    // the first refusal.
    static QList<QPair<QString, QString>> checkedAssignments(const QStringList& assignments);
    static bool isAssignment(const QString& arg) { return arg.contains(QLatin1Char('=')); }

    CtlSession& m_session;
    AppContext& m_context;
    QTextStream& m_out;
    ScriptedPrompter& m_prompter;
};
