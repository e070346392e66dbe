#include "support/ctl_call.h"

#include <QTextStream>

#include "platform/errors.h"
#include "tools/ctl_main.h"

CtlCall::Result CtlCall::run(const QString& home, const QString& today, const QStringList& args) {
    QStringList all{"--home", home};
    if (!today.isEmpty()) {
        all << "--today" << today;
    }
    all << args;
    Result r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    try {
        r.code = CtlMain::run(all, out, err);
    } catch (const std::exception& e) {
        // What olvendctl's main() says of a failure outside the commands.
        err << userTextOf(e) << '\n';
        r.code = 1;
    }
    out.flush();
    err.flush();
    return r;
}
