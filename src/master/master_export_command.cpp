#include "master/master_export_command.h"

#include <QDir>
#include <QFileInfo>

#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "master/master_export.h"
#include "platform/file_chooser.h"
#include "platform/prompter.h"
#include "ui/data_grid.h"
#include "ui/grid_model.h"
#include "ui/list_reading.h"

namespace MasterExportCommand {

QString chooseFile(FileChooser& files, MasterKind kind) {
    const QString word = MasterColumns::recordWord(kind);
    QString selected;
    QString file = files.choose(FileQuestion::saveFile(QStringLiteral("导出%1").arg(word),
                                                       QDir::home().filePath(word + QStringLiteral(".xlsx")),
                                                       QStringLiteral("Excel 工作簿 (*.xlsx);;CSV 文件 (*.csv)")),
                                &selected);
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (!file.isEmpty() && suffix != QLatin1String("xlsx") && suffix != QLatin1String("csv")) {
        file += selected.contains(QLatin1String("csv")) ? QStringLiteral(".csv") : QStringLiteral(".xlsx");
    }
    return file;
}

void run(AppContext& context, PermissionChecker& permissions, const DataGrid& grid, MasterKind kind,
         const QString& file) {
    const Dataset* rows = grid.dataset();
    GridModel* model = grid.model();
    // The whole list, not only the rows read so far.
    grid.reading()->finish();
    if (!rows || model->rowCount() == 0) {
        context.prompter().inform(QStringLiteral("列表中没有可导出的%1").arg(MasterColumns::recordWord(kind)));
        return;
    }
    const int idColumn = rows->fieldIndex(kind == MasterKind::Goods ? QStringLiteral("id") : QStringLiteral("ID"));
    QList<qint64> ids;
    for (int r = 0; r < model->rowCount(); ++r) {
        ids << rows->value(model->datasetRow(r), idColumn).toLongLong();
    }
    const int written =
        MasterExport(context.data().main()).write(kind, file, CostProfitRight::heldBy(permissions), ids);
    context.prompter().inform(QStringLiteral("已导出 %1 个%2到：%3")
                                  .arg(written)
                                  .arg(MasterColumns::recordWord(kind), QDir::toNativeSeparators(file)));
}

}  // namespace MasterExportCommand
