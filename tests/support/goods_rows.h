#pragma once

#include <QList>
#include <memory>

#include "data/lookup_list.h"
#include "ui/grid_column.h"

class Database;
class Dataset;

// Goods rows for the grid tests, shared by the model suite and the widget
// suite so that both read the same rows the same way.
namespace TestBooks {

// Writes goods SP00000001 to SPnnnnnnnn (odd ones "合页n", even ones
// "Lock_n"; unit UN003 every third, else UN001; price and total n * 1.5;
// entered on day 1 + n % 28 of December 2006; "100%_off" as the remark of
// the fourth) and opens them in `goods`, ordered by code.
void fillGoods(Dataset& goods, int n);
// The units, code to name.
std::shared_ptr<LookupList> unitLookup(Database& db);
// Code, name, unit (by name), total ("0.00"), entry day and remark.
QList<GridColumn> goodsColumns(Database& db);

}  // namespace TestBooks
