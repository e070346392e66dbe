#include "master/master_import_command.h"

#include <QDir>

#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "master/grouped_directory.h"
#include "master/import_preview_dialog.h"
#include "master/master_import_run.h"
#include "platform/file_chooser.h"
#include "platform/prompter.h"
#include "ui/base_window.h"

namespace MasterImportCommand {

QString chooseFile(FileChooser& files, MasterKind kind) {
    return files.choose(FileQuestion::openFile(QStringLiteral("导入%1").arg(MasterColumns::recordWord(kind)),
                                               QDir::homePath(),
                                               QStringLiteral("Excel 工作簿或 CSV 文件 (*.xlsx *.csv);;所有文件 (*)")));
}

int run(AppContext& context, PermissionChecker& permissions, GroupedDirectory& directory, MasterKind kind,
        const QString& file, QWidget* parent) {
    // Records go into the focused group, which must hold no groups; goods
    // may name their classes in the file instead.
    if (kind != MasterKind::Goods && !directory.canAddRecord()) {
        return 0;
    }
    MasterImportRun importRun(context.data().main(), context.clock(), context.CurrentUser.UserName, kind,
                              CostProfitRight::heldBy(permissions));
    if (!importRun.read(file)) {
        context.prompter().inform(MasterImportRun::noRowsText());
        return 0;
    }
    importRun.importer().setTargetGroup(directory.focused());
    ImportPreviewDialog dialog(
        importRun.importer(), importRun.sheet(),
        QStringLiteral("导入%1：%2").arg(MasterColumns::recordWord(kind), QDir::toNativeSeparators(file)), parent);
    if (runWindow(context, dialog) != QDialog::Accepted) {
        return 0;
    }
    const int written = importRun.write(dialog.mapping());
    directory.focus(directory.focused());
    context.prompter().inform(importRun.summary(written, dialog.plan().refused));
    return written;
}

}  // namespace MasterImportCommand
