#include "support/ctl_call.h"

#include <QTextStream>
#include <QtGlobal>

#include "platform/errors.h"
#include "tools/ctl_main.h"

namespace {
// What Qt says during a call goes to its stderr, as in the program (less the notice olvendctl drops).
QTextStream* g_err = nullptr;
QtMessageHandler g_previous = nullptr;

void intoErr(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!g_err || type == QtDebugMsg) {
        g_previous(type, context, message);
        return;
    }
    if (!message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
        *g_err << message << '\n';
    }
}
}  // namespace

CtlCall::Result CtlCall::run(const QString& home, const QString& today, const QStringList& args) {
    const QStringList all =
        QStringList{"--home", home} + (today.isEmpty() ? QStringList() : QStringList{"--today", today}) + args;
    Result r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    g_err = &err;
    g_previous = qInstallMessageHandler(intoErr);
    try {
        r.code = CtlMain::run(all, out, err);
    } catch (const std::exception& e) {
        // What olvendctl's main() says of a failure outside the commands.
        err << userTextOf(e) << '\n';
        r.code = 1;
    }
    qInstallMessageHandler(g_previous);
    g_err = nullptr;
    out.flush();
    err.flush();
    return r;
}

QString CtlCall::transcript(const QStringList& args, const Result& r) {
    QString text = QStringLiteral("$ %1\nexit %2\n").arg(args.join(' ')).arg(r.code);
    for (const auto& [stream, mark] : {std::pair{r.out, "> "}, std::pair{r.err, "! "}}) {
        for (const QString& line : stream.split('\n', Qt::SkipEmptyParts)) {
            text += QLatin1String(mark) + line + '\n';
        }
    }
    return text;
}
