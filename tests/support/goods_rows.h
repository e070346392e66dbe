#pragma once

#include <QList>
#include <memory>

#include "data/lookup_list.h"
#include "ui/grid_column.h"

class Database;
class Dataset;

// Goods rows the model and widget suites both read.
namespace TestBooks {

// Writes goods SP00000001 to SPnnnnnnnn (odd "合页n", even "Lock_n"; unit UN003 every third, else UN001;
// price and total n * 1.5; entered 2006-12-(1 + n % 28); remark "100%_off" on the fourth, else "备注n")
// and opens them in `goods` by code.
void fillGoods(Dataset& goods, int n);
// The units, code to name.
std::shared_ptr<LookupList> unitLookup(Database& db);
// Code, name, unit (by name), total ("0.00"), entry day and remark.
QList<GridColumn> goodsColumns(Database& db);

}  // namespace TestBooks
