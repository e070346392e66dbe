#pragma once

#include <QString>

#include "master/master_columns.h"

class AppContext;
class FileChooser;
class GroupedDirectory;
class PermissionChecker;
class QWidget;

// 导入… of the customer, supplier and goods lists: a spreadsheet read,
// previewed with its column mapping and refusals, and its accepted rows
// written into the focused group in one transaction.
namespace MasterImportCommand {
// The file the user picks; empty when cancelled.
QString chooseFile(FileChooser& files, MasterKind kind);
// Shows the preview modally and, when the user chose 导入 there, writes;
// returns how many records were written (0 when cancelled or refused).
int run(AppContext& context, PermissionChecker& permissions, GroupedDirectory& directory, MasterKind kind,
        const QString& file, QWidget* parent);
}  // namespace MasterImportCommand
