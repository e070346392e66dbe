#include <QApplication>
#include <QLabel>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVBoxLayout>
#include <QWidget>

#include "admin/code_list_window.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "data/first_start.h"
#include "platform/build_info.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "reports/engine/report_file.h"
#include "reports/report_preview_frame.h"
#include "shell/kit_demo_window.h"
#include "shell/main_window.h"
#include "ui/chinese_translations.h"
#include "ui/dialog_file_chooser.h"
#include "ui/guarded_application.h"
#include "ui/message_box_prompter.h"
#include "ui/style_holder.h"
#include "ui/tree_list.h"

namespace {
// --version and --help answer on the terminal without a window (and without
// a display): the version and the program folder, or the options.
int answerOnTerminal(int argc, char* argv[]) {
    // The options' own words, not the values of --home and --today.
    const QStringList words = [&] {
        QStringList w;
        for (int i = 1; i < argc; ++i) {
            const QString word = QString::fromLocal8Bit(argv[i]);
            w << word;
            if (word == QLatin1String("--home") || word == QLatin1String("--today")) {
                ++i;
            }
        }
        return w;
    }();
    const bool version = words.contains(QStringLiteral("--version"));
    if (!version && !words.contains(QStringLiteral("--help")) && !words.contains(QStringLiteral("-h"))) {
        return -1;
    }
    QCoreApplication core(argc, argv);
    QTextStream out(stdout);
    if (version) {
        out << BuildInfo::versionText(AppPaths::fromArguments(core.arguments()).programFolder());
    } else {
        out << QStringLiteral(
            "用法: olvend [--home 目录] [--today YYYY-MM-DD] [--version] [--help]\n"
            "  --home 目录   程序目录（config.ini、db/ 与图片）；也可用环境变量 OLVEND_HOME\n"
            "  --today 日期  以该日期为今天\n"
            "  --version     显示版本与程序目录\n"
            "  --help        显示本说明\n"
            "命令行工具: olvendctl --help\n");
    }
    return 0;
}
}  // namespace

int main(int argc, char* argv[]) {
    if (const int answered = answerOnTerminal(argc, argv); answered >= 0) {
        return answered;
    }
    Clock::pinLocalTimeZone();
    useChineseDates();
    GuardedApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Olvend"));
    installChineseTranslations(app);

    MessageBoxPrompter prompter;
    app.setPrompter(&prompter);
    const auto forgetPrompter = qScopeGuard([&app] { app.setPrompter(nullptr); });
    AppContext context(AppPaths::fromArguments(app.arguments()), prompter);
    DialogFileChooser files;
    context.setFileChooser(&files);
    QString error;
    if (!context.clock().applyArguments(app.arguments(), &error)) {
        prompter.error(error);
        return 1;
    }
    app.setApplicationDisplayName(context.SoftwareInfo.Title);
    StyleHolder::installFonts();
    QFont font = app.font();
    font.setFamily(StyleHolder::fontFamily());
    app.setFont(font);

    // --preview FILE.rmp: a prepared report in the preview frame.
    const int preview = app.arguments().indexOf(QStringLiteral("--preview"));
    if (preview > 0) {
        PreparedReport report;
        QString why;
        if (!ReportFile::load(app.arguments().value(preview + 1), &report, &why)) {
            prompter.error(why);
            return 1;
        }
        ReportPreviewFrame frame(prompter, files);
        frame.setWindowTitle(QStringLiteral("报表预览"));
        frame.setReport(report);
        frame.resize(900, 700);
        frame.show();
        return app.exec();
    }

    // --demo-kit [LIST]: the window kit on a temporary book, or with a list
    // name the code-list editor showing that list.
    const int demo = app.arguments().indexOf(QStringLiteral("--demo-kit"));
    if (demo > 0) {
        QTemporaryDir folder;
        AppContext demoContext(AppPaths(folder.path()), prompter);
        try {
            FirstStart::run(demoContext);
            demoContext.data().ConnectDatabases();
            demoContext.CurrentUser = {QStringLiteral("超级用户"), QString(), QStringLiteral("管理员组")};
            KitDemoWindow::fillDemoData(demoContext.data().main(), 300);
        } catch (const OlvendError& e) {
            prompter.showFailure(e);
            return 1;
        }
        const QString list = app.arguments().value(demo + 1);
        if (!list.isEmpty() && !list.startsWith(QLatin1String("--"))) {
            CodeListWindow window(demoContext);
            window.show();
            window.tree()->setCurrentId(list);
            return window.exec() >= 0 ? 0 : 1;
        }
        KitDemoWindow window(demoContext);
        return window.exec() >= 0 ? 0 : 1;
    }

    // The long-lived parts in their order: the main window, the data module
    // connecting the last-used book, the styles; the log-in follows when the
    // main window first shows.
    MainWindow window(context);
    prompter.setParent(&window);
    try {
        FirstStart::run(context);
    } catch (const OlvendError& e) {
        prompter.showFailure(e);
        return 1;
    }
    try {
        context.data().ConnectDatabases();
    } catch (const OlvendError& e) {
        // The log-in dialog can still switch to a book that opens.
        prompter.showFailure(e);
    }
    window.show();
    return app.exec();
}
