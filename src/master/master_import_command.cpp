#include "master/master_import_command.h"

#include <QDir>
#include <QSet>

#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "master/grouped_directory.h"
#include "master/import_preview_dialog.h"
#include "master/master_import.h"
#include "platform/file_chooser.h"
#include "platform/prompter.h"

namespace MasterImportCommand {

QString chooseFile(FileChooser& files, MasterKind kind) {
    return files.choose(FileQuestion::openFile(QStringLiteral("导入%1").arg(MasterColumns::recordWord(kind)),
                                               QDir::homePath(),
                                               QStringLiteral("Excel 工作簿或 CSV 文件 (*.xlsx *.csv);;所有文件 (*)")));
}

int run(AppContext& context, PermissionChecker& permissions, GroupedDirectory& directory, MasterKind kind,
        const QString& file, const Preview& preview, QWidget* parent) {
    // Records go into the focused group, which must hold no groups; goods
    // may name their classes in the file instead.
    if (kind != MasterKind::Goods && !directory.canAddRecord()) {
        return 0;
    }
    const SpreadsheetReader::Sheet sheet = SpreadsheetReader::read(file);
    if (sheet.rows.size() < 2) {
        context.prompter().inform(QStringLiteral("文件中没有可导入的行"));
        return 0;
    }
    Database& db = context.data().main();
    MasterImport importer(db, context.clock(), context.CurrentUser.UserName, kind);
    importer.setSeesCost(CostProfitRight::heldBy(permissions));
    importer.setTargetGroup(directory.focused());
    ImportPreviewDialog dialog(
        importer, sheet,
        QStringLiteral("导入%1：%2").arg(MasterColumns::recordWord(kind), QDir::toNativeSeparators(file)), parent);
    if (!preview(dialog)) {
        return 0;
    }
    // Checked once more against the book as it is now.
    const MasterImport::Plan plan = importer.check(sheet, dialog.mapping());
    const int written = importer.write(plan);
    directory.focus(directory.focused());
    QString said =
        QStringLiteral("已导入 %1 个%2%3")
            .arg(written)
            .arg(MasterColumns::recordWord(kind),
                 plan.refused.isEmpty() ? QString() : QStringLiteral("，%1 行不能导入").arg(plan.refused.size()));
    if (written > 0 && !plan.newClasses.isEmpty()) {
        said += QStringLiteral("\n新建了商品分类：%1").arg(plan.newClasses.join(QStringLiteral("、")));
    }
    // Rows another user's work refused since the preview was shown: named,
    // as the preview named the others.
    QSet<int> shown;
    for (const MasterImport::Refusal& r : dialog.plan().refused) {
        shown.insert(r.rowNumber);
    }
    int named = 0;
    for (const MasterImport::Refusal& r : plan.refused) {
        if (!shown.contains(r.rowNumber) && named++ < 10) {
            said += QStringLiteral("\n第 %1 行：%2").arg(r.rowNumber).arg(r.reason);
        }
    }
    if (named > 10) {
        said += QStringLiteral("\n另有 %1 行").arg(named - 10);
    }
    context.prompter().inform(said);
    return written;
}

}  // namespace MasterImportCommand
