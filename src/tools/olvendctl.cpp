#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

#include "platform/clock.h"
#include "platform/errors.h"
#include "tools/ctl_commands.h"
#include "tools/ctl_main.h"

namespace {

QtMessageHandler g_qtHandler = nullptr;

// Qt's platform set-up asks for the session's runtime folder (it looks for a
// Flatpak marker there) and, where XDG_RUNTIME_DIR is not set (cron, root
// shells, containers), says so on stderr. olvendctl keeps nothing in that
// folder, so this one notice is dropped; every other message goes on to
// Qt's own handler.
void dropRuntimeFolderNotice(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
        return;
    }
    g_qtHandler(type, context, message);
}

}  // namespace

namespace {
int run(int argc, char* argv[]) {
    Clock::pinLocalTimeZone();
    // Reports lay out text with fonts, which needs a GUI application; no
    // display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    g_qtHandler = qInstallMessageHandler(dropRuntimeFolderNotice);
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    return CtlMain::run(app.arguments().mid(1), out, err);
}
}  // namespace

// No exception leaves olvendctl: whatever the commands' own boundary did not
// meet (set-up, a failed allocation on the way out) is a message on stderr
// and exit code 1, never std::terminate.
int main(int argc, char* argv[]) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs(CtlCommands::outOfMemoryText().toUtf8().constData(), stderr);
    } catch (const std::exception& e) {
        std::fputs(userTextOf(e).toUtf8().constData(), stderr);
    } catch (...) {
        std::fputs("操作失败：程序内部错误", stderr);
    }
    std::fputs("\n", stderr);
    return 1;
}
