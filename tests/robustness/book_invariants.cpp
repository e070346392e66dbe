#include "robustness/book_invariants.h"

#include <QDir>
#include <QSqlQuery>

#include "data/database.h"

namespace {

struct Rule {
    const char* what;
    const char* countSql;
};

// Each statement counts the rows that break one rule; 0 is sound.
const Rule kOrphanRules[] = {
    {"报价明细没有报价单",
     "select count(*) from Quotation_Detail d where not exists "
     "(select 1 from Quotation_Head h where h.BillNo = d.HeadNo)"},
    {"报价单没有明细",
     "select count(*) from Quotation_Head h where not exists "
     "(select 1 from Quotation_Detail d where d.HeadNo = h.BillNo)"},
    {"收据没有报价单",
     "select count(*) from Receipt_Head r where r.QuotationNo is not null and not exists "
     "(select 1 from Quotation_Head h where h.BillNo = r.QuotationNo)"},
    // A quotation's receipt lines hang on the quotation itself.
    {"收据明细没有报价单",
     "select count(*) from Receipt_Detail d where not exists "
     "(select 1 from Quotation_Head h where h.BillNo = d.HeadNo)"},
    {"订单货品没有订单",
     "select count(*) from Dusmere_Order_Form_Detail d where not exists "
     "(select 1 from Dusmere_Order_Form_head h where h.Order_Form_Code = d.Head_Code)"},
    {"订单没有货品",
     "select count(*) from Dusmere_Order_Form_head h where not exists "
     "(select 1 from Dusmere_Order_Form_Detail d where d.Head_Code = h.Order_Form_Code)"},
    {"生产单没有订单",
     "select count(*) from Dusmere_Work_Form_Head w where not exists "
     "(select 1 from Dusmere_Order_Form_head h where h.Order_Form_Code = w.Order_Form_Code)"},
    {"生产单没有明细",
     "select count(*) from Dusmere_Work_Form_Head w where not exists "
     "(select 1 from Dusmere_Work_Form_Detail d where d.head_Code = w.Work_Form_Code)"},
    {"生产单明细没有生产单",
     "select count(*) from Dusmere_Work_Form_Detail d where not exists "
     "(select 1 from Dusmere_Work_Form_Head w where w.Work_Form_Code = d.head_Code)"},
    // An order with work forms has as many work-form rows as goods rows
    // (the writers never change an order after its forms are made): fewer
    // is a generation cut off in the middle.
    {"生产单明细与订单货品不符",
     "select count(*) from Dusmere_Order_Form_head h where exists (select 1 from Dusmere_Work_Form_Head w "
     "where w.Order_Form_Code = h.Order_Form_Code) and (select count(*) from Dusmere_Work_Form_Detail d join "
     "Dusmere_Work_Form_Head w on w.Work_Form_Code = d.head_Code where w.Order_Form_Code = h.Order_Form_Code) <> "
     "(select count(*) from Dusmere_Order_Form_Detail o where o.Head_Code = h.Order_Form_Code)"},
    {"出库单没有订单",
     "select count(*) from Dusmere_Ware_Out_Form_Head w where not exists (select 1 from "
     "Dusmere_Order_Form_head h where h.Order_Form_Code = w.Ware_Out_Form_Code)"},
    {"出库单不是一行明细",
     "select count(*) from Dusmere_Ware_Out_Form_Head w where (select count(*) from "
     "Dusmere_Ware_Out_Form_Detail d where d.head_code = w.Ware_Out_Form_Code) <> 1"},
    {"出库单明细没有出库单",
     "select count(*) from Dusmere_Ware_Out_Form_Detail d where not exists "
     "(select 1 from Dusmere_Ware_Out_Form_Head w where w.Ware_Out_Form_Code = d.head_code)"},
    {"发货单没有订单",
     "select count(*) from Dusmere_Shipment_Form_Head s where not exists (select 1 from "
     "Dusmere_Order_Form_head h where h.Order_Form_Code = s.Shipment_Form_Code)"},
    // One shipment row per goods row of the order: fewer is a form cut
    // off in the middle.
    {"发货单明细与订单货品不符",
     "select count(*) from Dusmere_Shipment_Form_Head s where (select count(*) from Dusmere_Shipment_Form_Detail d "
     "where d.head_code = s.Shipment_Form_Code) <> (select count(*) from Dusmere_Order_Form_Detail o "
     "where o.Head_Code = s.Shipment_Form_Code)"},
    {"发货单明细没有发货单",
     "select count(*) from Dusmere_Shipment_Form_Detail d where not exists "
     "(select 1 from Dusmere_Shipment_Form_Head s where s.Shipment_Form_Code = d.head_code)"},
    // A quotation put in or out of force takes its receipts along.
    {"收据状态与报价单不符",
     "select count(*) from Receipt_Head r join Quotation_Head h on h.BillNo = r.QuotationNo "
     "where coalesce(r.state, -1) <> coalesce(h.state, -1)"},
    {"客户的类别不存在",
     "select count(*) from Client c where c.GroupClass is not null and not exists "
     "(select 1 from Client_group g where g.id = c.GroupClass)"},
    {"供应商的类别不存在",
     "select count(*) from Provider c where c.GroupClass is not null and not exists "
     "(select 1 from Provider_group g where g.id = c.GroupClass)"},
    {"商品的类别不存在",
     "select count(*) from goods c where c.Goods_class is not null and not exists "
     "(select 1 from goods_group g where g.id = c.Goods_class)"},
    {"单价表的客户不存在",
     "select count(*) from base_Dusmere_Customer_price_Table p where not exists "
     "(select 1 from Client c where c.Corp_code = p.Corp_code)"},
    {"客户有两张单价表",
     "select count(*) from (select Corp_code from base_Dusmere_Customer_price_Table "
     "group by Corp_code having count(*) > 1) t"},
};

// Every quotation number any table knows, with what its totals must be
// computed from its head, lines and receipts, against what is stored.
const char* kTotalsSql =
    "select k.BillNo, coalesce(s.sum_Goods, -1), coalesce(d.g, 0), coalesce(s.sum_Paid, -1), coalesce(r.p, 0), "
    "coalesce(s.Freight, -1), coalesce(h.Freight, 0), coalesce(s.preferential, -1), coalesce(h.preferential, 0) "
    "from (select BillNo from Quotation_Sum union select BillNo from Quotation_Head "
    "      union select HeadNo from Quotation_Detail "
    "      union select QuotationNo from Receipt_Head where QuotationNo is not null) k "
    "left join Quotation_Sum s on s.BillNo = k.BillNo "
    "left join Quotation_Head h on h.BillNo = k.BillNo "
    "left join (select HeadNo, sum(coalesce(Total_Price, 0)) as g, sum(coalesce(Gain_Money, 0)) as n, "
    "                  sum(coalesce(QTY, 0) * coalesce(purchase_Price, 0)) as c "
    "           from Quotation_Detail group by HeadNo) d "
    "       on d.HeadNo = k.BillNo "
    "left join (select QuotationNo, sum(coalesce(TotalPrice, 0)) as p from Receipt_Head group by QuotationNo) r "
    "       on r.QuotationNo = k.BillNo "
    "where s.BillNo is null "
    "   or abs(s.sum_Goods - coalesce(d.g, 0)) > 0.005 or abs(s.sum_Paid - coalesce(r.p, 0)) > 0.005 "
    "   or abs(s.sum_Gain - coalesce(d.n, 0)) > 0.005 or abs(s.sum_Cost - coalesce(d.c, 0)) > 0.001 "
    "   or abs(s.Freight - coalesce(h.Freight, 0)) > 0.005 "
    "   or abs(s.preferential - coalesce(h.preferential, 0)) > 0.005";

struct DailyCounter {
    const char* counterTable;
    const char* counterField;
    const char* prefix;
    const char* table;
    const char* field;
};

const DailyCounter kDailyCounters[] = {
    {"quotation_head", "billno", "BJ", "Quotation_Head", "BillNo"},
    {"receipt_head", "billno", "AA", "Receipt_Head", "BillNo"},
    {"dusmere_order_form_head", "order_form_code", "AA", "Dusmere_Order_Form_head", "Order_Form_Code"},
    {"dusmere_work_form_head", "work_form_code", "", "Dusmere_Work_Form_Head", "Work_Form_Code"},
};

QString counterValue(Database& db, const QString& table, const QString& field) {
    return db
        .scalar("select CurrID from Sys_ID_Autoincrement where tablename = :t and fieldname = :f",
                {{"t", table}, {"f", field}})
        .toString();
}

}  // namespace

QStringList BookInvariants::check(Database& db, const QDate& today, const QString& pictureFolder) {
    QStringList faults;
    orphans(db, faults);
    totals(db, faults);
    counters(db, today, faults);
    if (!pictureFolder.isEmpty()) {
        pictures(db, pictureFolder, faults);
    }
    return faults;
}

QStringList BookInvariants::codesIssued(Database& db, const QHash<QString, QString>& lastIssued) {
    QStringList faults;
    for (auto it = lastIssued.constBegin(); it != lastIssued.constEnd(); ++it) {
        const QString table = it.key().section('.', 0, 0);
        const QString field = it.key().section('.', 1);
        const QString counter = counterValue(db, table, field);
        if (counter < it.value()) {
            faults << QStringLiteral("计数器 %1 = '%2' 落后于已交给用户的编号 %3").arg(it.key(), counter, it.value());
        }
    }
    return faults;
}

QStringList BookInvariants::integrity(Database& db) {
    QStringList faults;
    QSqlQuery q = db.query("PRAGMA integrity_check");
    while (q.next()) {
        const QString line = q.value(0).toString();
        if (line != QLatin1String("ok")) {
            faults << QStringLiteral("integrity_check: %1").arg(line);
        }
    }
    return faults;
}

qint64 BookInvariants::rowFingerprint(Database& db) {
    static const char* const tables[] = {"Client",
                                         "Client_group",
                                         "Provider",
                                         "goods",
                                         "Quotation_Head",
                                         "Quotation_Detail",
                                         "Receipt_Head",
                                         "Receipt_Detail",
                                         "Dusmere_Order_Form_head",
                                         "Dusmere_Order_Form_Detail",
                                         "Dusmere_Work_Form_Head",
                                         "Dusmere_Ware_Out_Form_Head",
                                         "Dusmere_Shipment_Form_Head",
                                         "payout",
                                         "base_Dusmere_Customer_price_Table"};
    qint64 sum = 0;
    qint64 weight = 1;
    for (const char* t : tables) {
        sum += weight * db.scalar(QStringLiteral("select count(*) from %1").arg(QLatin1String(t))).toLongLong();
        weight = weight * 7 % 1000003;
    }
    return sum;
}

void BookInvariants::orphans(Database& db, QStringList& faults) {
    for (const Rule& rule : kOrphanRules) {
        const qlonglong n = db.scalar(QLatin1String(rule.countSql)).toLongLong();
        if (n != 0) {
            faults << QStringLiteral("%1: %2 行").arg(QString::fromUtf8(rule.what)).arg(n);
        }
    }
}

void BookInvariants::totals(Database& db, QStringList& faults) {
    QSqlQuery q = db.query(QLatin1String(kTotalsSql));
    while (q.next()) {
        faults << QStringLiteral("报价合计与明细不符: %1 (货款 %2/%3, 已付 %4/%5, 运费 %6/%7, 优惠 %8/%9)")
                      .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                           q.value(4).toString(), q.value(5).toString(), q.value(6).toString(), q.value(7).toString(),
                           q.value(8).toString());
    }
}

void BookInvariants::counters(Database& db, const QDate& today, QStringList& faults) {
    // Daily numbers: the counter holds the last number of the day it was
    // last used; today's highest number must not be past it.
    for (const DailyCounter& c : kDailyCounters) {
        const QString key = QLatin1String(c.prefix) + today.toString("yyMMdd");
        const QString highest = db.scalar(QStringLiteral("select max(%1) from %2 where %1 like :k and length(%1) = :n")
                                              .arg(QLatin1String(c.field), QLatin1String(c.table)),
                                          {{"k", key + '%'}, {"n", key.size() + 4}})
                                    .toString();
        if (highest.isEmpty()) {
            continue;
        }
        const QString counter = counterValue(db, c.counterTable, c.counterField);
        if (!counter.startsWith(key) || counter < highest) {
            faults << QStringLiteral("计数器 %1.%2 = '%3' 落后于已发出的编号 %4")
                          .arg(QLatin1String(c.counterTable), QLatin1String(c.counterField), counter, highest);
        }
    }
    // Running codes: goods SP + 8 digits; customers and suppliers share
    // one five-digit counter.
    const QString goodsHighest =
        db.scalar("select max(code) from goods where code like 'SP%' and length(code) = 10").toString();
    const QString goodsCounter = counterValue(db, "goods", "code");
    if (!goodsHighest.isEmpty() && goodsCounter < goodsHighest) {
        faults << QStringLiteral("计数器 goods.code = '%1' 落后于已发出的编号 %2").arg(goodsCounter, goodsHighest);
    }
    const QString corpHighest = db.scalar(
                                      "select max(c) from (select Corp_code as c from Client union all "
                                      "select Corp_code from Provider) t where length(c) = 5")
                                    .toString();
    const QString corpCounter = counterValue(db, "customer_provider", "corp_code");
    if (!corpHighest.isEmpty() && corpCounter < corpHighest) {
        faults << QStringLiteral("计数器 customer_provider.corp_code = '%1' 落后于已发出的编号 %2")
                      .arg(corpCounter, corpHighest);
    }
}

void BookInvariants::pictures(Database& db, const QString& folder, QStringList& faults) {
    QSet<QString> named;
    QSqlQuery q = db.query("select PicturePath from goods where PicturePath is not null");
    while (q.next()) {
        named.insert(q.value(0).toString());
    }
    // Pictures are stored as JPEG files named after their goods; a file
    // being written carries another suffix until it is complete.
    const QStringList files = QDir(folder).entryList({"*.jpg", "*.JPG"}, QDir::Files);
    for (const QString& f : files) {
        if (!named.contains(f)) {
            faults << QStringLiteral("图片文件没有商品: %1").arg(f);
        }
    }
}
