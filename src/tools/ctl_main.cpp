#include "tools/ctl_main.h"

#include "data/app_context.h"
#include "platform/app_paths.h"
#include "platform/build_info.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "tools/ctl_commands.h"

int CtlMain::run(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    // Global options come before the command.
    QStringList args = arguments;
    QStringList globals;
    QString bookName;
    QString userName;
    QStringList seen;
    bool version = false;  // --version, among the global options
    while (!args.isEmpty() && args.first().startsWith("--")) {
        const QString opt = args.takeFirst();
        if (opt == "--version") {
            version = true;
            continue;
        }
        if (opt == "--help" || opt == "-h") {
            out << CtlCommands::usage();  // asked for: on stdout, not a wrong use
            return 0;
        }
        // A global option given twice is a slip, not a choice.
        const QString name = opt.section(QLatin1Char('='), 0, 0);
        if (seen.contains(name)) {
            err << CtlCommands::usage();
            return 2;
        }
        seen << name;
        if ((opt == "--home" || opt == "--today" || opt == "--book" || opt == "--user") && !args.isEmpty()) {
            const QString value = args.takeFirst();
            if (opt == "--book") {
                bookName = value;
            } else if (opt == "--user") {
                userName = value;
            } else {
                globals << opt << value;
            }
        } else if (opt.startsWith("--home=") || opt.startsWith("--today=")) {
            globals << opt;
        } else if (opt.startsWith("--book=")) {
            bookName = opt.mid(7);
        } else if (opt.startsWith("--user=")) {
            userName = opt.mid(7);
        } else {
            err << CtlCommands::usage();
            return 2;
        }
    }

    ScriptedPrompter prompter;
    AppContext context(AppPaths::fromArguments(globals), prompter);
    if (version && !args.isEmpty()) {
        err << CtlCommands::usage();  // --version takes no command
        return 2;
    }
    if (version) {
        out << BuildInfo::versionText(context.paths().programFolder());
        return 0;
    }
    QString error;
    if (!context.clock().applyArguments(globals, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    CtlCommands commands(context, out, err);
    commands.setUserName(userName);
    return commands.run(args, bookName);
}
