#include "support/goods_rows.h"

#include <QDateTime>

#include "data/database.h"
#include "data/dataset.h"

namespace TestBooks {

void fillGoods(Dataset& goods, int n) {
    Database& db = goods.database();
    WriteTransaction tx(db);
    for (int i = 1; i <= n; ++i) {
        db.query(
            "insert into goods (code, Goods_name, Goods_unit, Default_price, Default_Qty, Default_TotalPrice, "
            "Keyin_time, remark) values (:c, :n, :u, :p, 1, :p, :t, :r)",
            {{"c", QString("SP%1").arg(i, 8, 10, QChar('0'))},
             {"n", i % 2 ? QString("合页%1").arg(i) : QString("Lock_%1").arg(i)},
             {"u", i % 3 ? "UN001" : "UN003"},
             {"p", i * 1.5},
             {"t", QDateTime(QDate(2006, 12, 1 + (i % 28)), QTime(10, 0))},
             {"r", i == 4 ? QString("100%_off") : QString("备注%1").arg(i)}});
    }
    tx.commit();
    goods.openTable("goods", "code");
}

std::shared_ptr<LookupList> unitLookup(Database& db) {
    auto l = std::make_shared<LookupList>();
    l->load(db, "select unit_code, Unit_name from unit");
    return l;
}

QList<GridColumn> goodsColumns(Database& db) {
    return {GridColumn::make("code", "商品编码"),
            GridColumn::make("Goods_name", "商品名称"),
            GridColumn::make("Goods_unit", "商品单位").withLookup(unitLookup(db)),
            GridColumn::make("Default_TotalPrice", "默认总值").withFormat("0.00"),
            GridColumn::make("Keyin_time", "录入日期").withFormat("YYYY-MM-DD"),
            GridColumn::make("remark", "备注")};
}

}  // namespace TestBooks
