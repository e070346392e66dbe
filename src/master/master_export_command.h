#pragma once

#include <QString>

#include "master/master_columns.h"

class AppContext;
class FileChooser;
class DataGrid;
class PermissionChecker;
class QWidget;

// 导出… of the customer, supplier and goods lists: the records the list
// shows, in its order and with its columns, to a spreadsheet.
namespace MasterExportCommand {
// The file the user names (an .xlsx unless a .csv is chosen); empty when
// cancelled.
QString chooseFile(FileChooser& files, MasterKind kind);
// Writes the grid's rows to `file` and says how many went.
void run(AppContext& context, PermissionChecker& permissions, const DataGrid& grid, MasterKind kind,
         const QString& file);
}  // namespace MasterExportCommand
