#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/first_start.h"
#include "platform/errors.h"
#include "ui/message_box_prompter.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Olvend"));

    MessageBoxPrompter prompter;
    AppContext context(AppPaths::fromArguments(app.arguments()), prompter);
    QString error;
    if (!context.clock().applyArguments(app.arguments(), &error)) {
        prompter.error(error);
        return 1;
    }
    app.setApplicationDisplayName(context.SoftwareInfo.Title);

    try {
        FirstStart::run(context);
        context.data().ConnectDatabases();
    } catch (const OlvendError& e) {
        prompter.error(e.message());
        return 1;
    }

    // The main window and log-in come with the application shell; until then
    // the program shows which book it opened.
    QWidget window;
    window.setObjectName(QStringLiteral("main_frm"));
    window.setWindowTitle(context.SoftwareInfo.Title);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(
        QStringLiteral("%1 %2\n账本: %3")
            .arg(context.SoftwareInfo.ProductName, context.SoftwareInfo.Version, context.data().main().location())));
    window.resize(420, 160);
    window.show();
    return app.exec();
}
