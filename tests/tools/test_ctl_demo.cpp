#include <QSet>
#include <QSqlQuery>
#include <QTest>
#include <cmath>

#include "data/data_module.h"
#include "documents/document_fixture.h"
#include "documents/order_form_generator.h"
#include "support/ctl_book.h"

using namespace DocumentFixture;

// The demo book made by olvendctl on both engines: the same seed gives the
// same rows, the documents agree with their lines, the numbers go on from
// the book's own, and a refused demo writes nothing.
class TestCtlDemo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void quotationsAreReproducibleAndConsistent();
    void demoNumbersFollowTheBooksNumbers();
    void demoPayoutsAreReproducibleAndSpread();
    void demoPayoutsWriteAllOrNothing_data();
    void demoPayoutsWriteAllOrNothing();
    void ordersAreReproducibleAndConsistent();
    void refusedDemoWritesNothing_data();
    void refusedDemoWritesNothing();
    void numbersGoOnAfterTheDemo();
};

namespace {
using Result = CtlCall::Result;
using CtlBooks::dump;
using CtlBooks::rows;

using QuotationBook = QuotationCtlBook;
using OrderBook = CtlBook;

using CtlBooks::counter;
using CtlBooks::kOrderTables;
}  // namespace

void TestCtlDemo::quotationsAreReproducibleAndConsistent() {
    QuotationBook first;
    QuotationBook second;
    for (QuotationBook* p : {&first, &second}) {
        const Result r = p->ctl({"demo", "--customers", "20", "--quotations", "50"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("订货单 50"));
    }
    Database& db = first.db();
    // Same seed, same book: the same rows.
    for (const auto& [table, order] : {std::pair{"Quotation_Head", "BillNo"}, std::pair{"Quotation_Detail", "id"},
                                       std::pair{"Receipt_Head", "BillNo"}, std::pair{"Receipt_Detail", "id"},
                                       std::pair{"Quotation_Sum", "BillNo"}}) {
        const QStringList rowsOfFirst = dump(db, table, order);
        QVERIFY(!rowsOfFirst.isEmpty());
        QCOMPARE(rowsOfFirst, dump(second.db(), table, order));
    }
    // The goods the demo made (their entry time is the moment they were made).
    QCOMPARE(rows(db, "goods"), 200);
    QCOMPARE(
        dump(db, "(select code, Goods_name, Goods_size, Goods_unit, Default_price, purchase_price from goods) g",
             "code"),
        dump(second.db(),
             "(select code, Goods_name, Goods_size, Goods_unit, Default_price, purchase_price from goods) g", "code"));
    QCOMPARE(drifted(db), QStringList());
    QCOMPARE(rows(db, "Quotation_Head"), 50);
    // Ten years ending today.
    QCOMPARE(db.scalar("select min(Order_Date) from Quotation_Head").toDateTime().date(), QDate(1996, 6, 25));
    QCOMPARE(db.scalar("select max(Order_Date) from Quotation_Head").toDateTime().date(), QDate(2006, 6, 25));
    QVERIFY(count(db, "select count(*) from Quotation_Head where Order_Date < :d", {{"d", "2001-06-25"}}) >= 24);
    // Numbers of the program's form for their day; lines 5 to 50, placed
    // one after the other.
    QSqlQuery q = db.query(
        "select h.BillNo, h.Order_Date, count(d.id), min(d.SortNo), max(d.SortNo) from Quotation_Head h "
        "join Quotation_Detail d on d.HeadNo = h.BillNo group by h.BillNo, h.Order_Date");
    int quotations = 0;
    while (q.next()) {
        ++quotations;
        const QString no = q.value(0).toString();
        QCOMPARE(no.left(8), "BJ" + q.value(1).toDateTime().date().toString("yyMMdd"));
        QCOMPARE(no.size(), 12);
        QVERIFY(q.value(2).toInt() >= 5 && q.value(2).toInt() <= 50);
        QCOMPARE(q.value(3).toInt(), 1);
        QCOMPARE(q.value(4).toInt(), q.value(2).toInt());
    }
    QCOMPARE(quotations, 50);
    QSqlQuery r = db.query("select BillNo, keyin_Date from Receipt_Head");
    int receipts = 0;
    while (r.next()) {
        ++receipts;
        QCOMPARE(r.value(0).toString().left(8), "AA" + r.value(1).toDateTime().date().toString("yyMMdd"));
    }
    QVERIFY(receipts >= 40);  // most quotations have their deposit receipt and payments
    QVERIFY(count(db, "select count(*) from Receipt_Head where BillType=0") >= 35);
    QVERIFY(count(db, "select count(*) from Receipt_Head where BillType=1") > 0);
    QVERIFY(count(db, "select count(distinct HeadNo) from Receipt_Detail") ==
            count(db, "select count(distinct QuotationNo) from Receipt_Head"));
    QVERIFY(count(db, "select count(*) from Quotation_Head where Freight > 0") > 0);
    QVERIFY(count(db, "select count(*) from Quotation_Head where earnest > 0") > 0);
    // Paid in whole amounts, a quotation paid in full owes no cents.
    QVERIFY(count(db, "select count(*) from Query_Quotation_Head_list where isPayAll='已付清'") > 0);
    QCOMPARE(count(db, "select count(*) from Query_Quotation_Head_list where Leave_money > 0 and Leave_money < 1"), 0);
    // The counters stand at the last numbers issued today.
    QCOMPARE(db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='quotation_head'").toString(),
             db.scalar("select max(BillNo) from Quotation_Head where BillNo like 'BJ060625%'").toString());
}

// The demo goes on after the numbers the program issued, and the program
// after the demo's.
void TestCtlDemo::demoNumbersFollowTheBooksNumbers() {
    QuotationBook p;
    Database& db = p.db();
    QCOMPARE(p.sample(), QString("BJ0606250001"));
    QCOMPARE(p.ctl({"receipts", "BJ0606250001"}).code, 0);  // AA0606250001
    QCOMPARE(p.ctl({"demo", "--quotations", "30"}).code, 0);
    QCOMPARE(count(db, "select count(*) from Quotation_Head where BillNo like 'BJ060625%'"), 2);
    QCOMPARE(rows(db, "Quotation_Head"), 31);
    QCOMPARE(db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='quotation_head'").toString(),
             QString("BJ0606250002"));
    QCOMPARE(p.sample(), QString("BJ0606250003"));
    QCOMPARE(count(db, "select count(*) from Receipt_Head where BillNo='AA0606250001' and QuotationNo='BJ0606250001'"),
             1);
    QCOMPARE(drifted(db), QStringList());
    // A second run adds more without a number twice.
    QCOMPARE(p.ctl({"demo", "--quotations", "30"}).code, 0);
    QCOMPARE(rows(db, "Quotation_Head"), 62);
    QCOMPARE(count(db, "select count(distinct BillNo) from Receipt_Head"), rows(db, "Receipt_Head"));
    QCOMPARE(drifted(db), QStringList());
}

// Ten years of payouts of the four kinds: the same rows from the same seed
// and day, dated from ten years ago to today, wages on the tenth named
// after the month before, remarks from a short list per kind.
void TestCtlDemo::demoPayoutsAreReproducibleAndSpread() {
    QuotationBook first;
    QuotationBook second;
    QList<Result> results;
    for (QuotationBook* p : {&first, &second}) {
        results.append(p->ctl({"demo", "--payouts", "600"}));
        QCOMPARE(results.last().err, QString());
        QCOMPARE(results.last().code, 0);
    }
    Database& db = first.db();
    const QStringList rowsOfFirst = dump(db, "payout", "id");
    QCOMPARE(rowsOfFirst.size(), 600);
    QCOMPARE(rowsOfFirst, dump(second.db(), "payout", "id"));
    // The printed counts are those of the book.
    QCOMPARE(results[0].out, results[1].out);
    const QString counts = QStringLiteral("支出 600, 运输费 %1, 工资 %2, 日杂费 %3, 汇款 %4, 合计 %5")
                               .arg(count(db, "select count(*) from payout where subject='0'"))
                               .arg(count(db, "select count(*) from payout where subject='1'"))
                               .arg(count(db, "select count(*) from payout where subject='2'"))
                               .arg(count(db, "select count(*) from payout where subject='3'"))
                               .arg(db.scalar("select sum(totalprice) from payout").toLongLong());
    QVERIFY2(results[0].out.contains(counts), qPrintable(results[0].out + " / " + counts));

    struct Kind {
        int payouts = 0;
        qint64 amount = 0;
        qint64 largest = 0;
        QSet<QString> remarks;
        int withoutRemark = 0;
    };
    QMap<QString, Kind> kinds;
    QSet<int> years;
    QSqlQuery q = db.query("select paytime, subject, totalprice, remark from payout order by id");
    const QStringList months{"一月", "二月", "三月", "四月", "五月",   "六月",
                             "七月", "八月", "九月", "十月", "十一月", "十二月"};
    while (q.next()) {
        const QDate day = q.value(0).toDateTime().date();
        QVERIFY2(day >= QDate(1996, 6, 25) && day <= QDate(2006, 6, 25), qPrintable(day.toString(Qt::ISODate)));
        years.insert(day.year());
        Kind& k = kinds[q.value(1).toString()];
        ++k.payouts;
        k.amount += q.value(2).toLongLong();
        k.largest = qMax(k.largest, q.value(2).toLongLong());
        QVERIFY(q.value(2).toLongLong() > 0);
        const QString remark = q.value(3).toString();
        if (remark.isEmpty()) {
            ++k.withoutRemark;
        } else {
            k.remarks.insert(remark);
        }
        if (q.value(1).toString() == "1") {
            // Before the first pay day of the ten years wages fall on their
            // own day.
            QVERIFY2(day.day() == 10 || day < QDate(1996, 7, 10), qPrintable(day.toString(Qt::ISODate)));
            if (remark.endsWith("工资")) {
                QCOMPARE(remark, months[day.addMonths(-1).month() - 1] + "工资");
            }
        }
    }
    // Evenly spread: each of the eleven calendar years has payouts, the
    // first day and the last have theirs.
    QCOMPARE(years.size(), 11);
    QCOMPARE(db.scalar("select min(paytime) from payout").toDateTime().date(), QDate(1996, 6, 25));
    QVERIFY(db.scalar("select max(paytime) from payout").toDateTime().date() >= QDate(2006, 6, 10));
    // Every kind, each with a few remarks used again and again; transport
    // and sundries the most often and the smallest, wages larger, remittances
    // the largest.
    QCOMPARE(kinds.keys(), QStringList({"0", "1", "2", "3"}));
    for (auto it = kinds.cbegin(); it != kinds.cend(); ++it) {
        QVERIFY2(it->payouts >= 30, qPrintable(it.key()));
        QVERIFY2(it->remarks.size() >= 2 && it->remarks.size() <= 14, qPrintable(it.key()));
        QVERIFY2(it->payouts >= 4 * it->remarks.size(), qPrintable(it.key()));
    }
    QCOMPARE(kinds["1"].withoutRemark, 0);
    QVERIFY(kinds["0"].withoutRemark + kinds["2"].withoutRemark > 0);
    auto average = [&kinds](const char* kind) { return double(kinds[kind].amount) / kinds[kind].payouts; };
    QVERIFY(kinds["0"].payouts > kinds["1"].payouts && kinds["2"].payouts > kinds["1"].payouts);
    QVERIFY(average("1") > 5 * average("0") && average("1") > 5 * average("2"));
    QVERIFY(average("3") > average("1"));
    QVERIFY(kinds["2"].largest <= 300);
    // Wages rise over the years.
    const double early =
        db.scalar("select avg(totalprice) from payout where subject='1' and paytime < :d", {{"d", "1998-01-01"}})
            .toDouble();
    const double late =
        db.scalar("select avg(totalprice) from payout where subject='1' and paytime >= :d", {{"d", "2005-01-01"}})
            .toDouble();
    QVERIFY2(late > early, qPrintable(QString("%1 %2").arg(early).arg(late)));
}

void TestCtlDemo::demoPayoutsWriteAllOrNothing_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("refusedByTheBook");
    QTest::addColumn<int>("code");
    QTest::newRow("negative count") << QStringList{"--payouts", "-5"} << false << 2;
    QTest::newRow("count not a number") << QStringList{"--payouts", "五十"} << false << 2;
    QTest::newRow("count missing") << QStringList{"--payouts"} << false << 2;
    QTest::newRow("remittance refused half-way") << QStringList{"--payouts", "50"} << true << 1;
}

// A refused command writes nothing, also when the book refuses a row half
// way through: the payouts the book held before are all it holds after.
void TestCtlDemo::demoPayoutsWriteAllOrNothing() {
    QFETCH(QStringList, args);
    QFETCH(bool, refusedByTheBook);
    QFETCH(int, code);
    QuotationBook p;
    Database& db = p.db();
    db.execute("insert into payout (paytime, subject, totalprice, remark) values (:t, '2', 12, '茶水')",
               {{"t", db.toDbValue(QDate(2006, 6, 1).startOfDay())}});
    const QStringList before = dump(db, "payout", "id");
    if (refusedByTheBook) {
        failWhen(db, "payout", "INSERT", "NEW.subject = '3'");
    }
    const Result r = p.ctl(QStringList{"demo"} + args);
    QCOMPARE(r.code, code);
    QCOMPARE(dump(db, "payout", "id"), before);
    if (refusedByTheBook) {
        QVERIFY2(r.err.contains("没有执行成功，修改没有保存"), qPrintable(r.err));
        stopFailing(db, "payout");
        QCOMPARE(p.ctl(QStringList{"demo"} + args).code, 0);
        QCOMPARE(rows(db, "payout"), 51);
    }
}

void TestCtlDemo::ordersAreReproducibleAndConsistent() {
    OrderBook first;
    OrderBook second;
    for (OrderBook* p : {&first, &second}) {
        const Result r = p->ctl({"demo", "--orders", "60"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("订单 60, 货品 "), qPrintable(r.out));
        QVERIFY2(r.out.contains("新客户 300"), qPrintable(r.out));
    }
    Database& db = first.db();
    // Same seed, same book: the same rows.
    for (const QString& table : kOrderTables + QStringList{"customer_provider", "customer_group"}) {
        const QStringList rowsOfFirst = dump(db, table, table.startsWith("customer") ? "id" : "ID");
        QVERIFY2(!rowsOfFirst.isEmpty(), qPrintable(table));
        QCOMPARE(rowsOfFirst, dump(second.db(), table, table.startsWith("customer") ? "id" : "ID"));
    }
    QCOMPARE(rows(db, "Dusmere_Order_Form_head"), 60);
    QCOMPARE(rows(db, "customer_provider"), 300);
    QCOMPARE(count(db, "select count(distinct corp_code) from customer_provider"), 300);
    QCOMPARE(count(db, "select count(*) from customer_group where Parent_id=1"), 6);
    QCOMPARE(count(db,
                   "select count(*) from customer_provider c left join customer_group g on g.id = "
                   "c.Customer_Group where g.id is null or g.Parent_id <> 1"),
             0);
    QCOMPARE(counter(db, "customer_provider"), QString("00300"));
    // Ten years ending today, numbered by their day.
    QCOMPARE(db.scalar("select min(Keyin_Date) from Dusmere_Order_Form_head").toDateTime().date(), QDate(1996, 6, 25));
    QCOMPARE(db.scalar("select max(Keyin_Date) from Dusmere_Order_Form_head").toDateTime().date(), QDate(2006, 6, 25));
    // Read whole before anything else is asked: a server's connection
    // answers one statement at a time.
    QList<QVariantList> heads;
    QSqlQuery h = db.query(
        "select h.Order_Form_Code, h.Keyin_Date, count(d.ID), count(distinct d.Goods_Code), h.corp_code, "
        "h.Gain_Customer_Name, c.Corp_name from Dusmere_Order_Form_head h join Dusmere_Order_Form_Detail d on "
        "d.Head_Code = h.Order_Form_Code left join customer_provider c on c.corp_code = h.corp_code "
        "group by h.Order_Form_Code, h.Keyin_Date, h.corp_code, h.Gain_Customer_Name, c.Corp_name");
    while (h.next()) {
        heads.append({h.value(0), h.value(1), h.value(2), h.value(3), h.value(4), h.value(5), h.value(6)});
    }
    int withCustomer = 0;
    for (const QVariantList& head : heads) {
        QCOMPARE(head[0].toString().left(8), "AA" + head[1].toDateTime().date().toString("yyMMdd"));
        QCOMPARE(head[0].toString().size(), 12);
        QVERIFY2(head[2].toInt() >= 2 && head[2].toInt() <= 30, qPrintable(head[0].toString()));
        QCOMPARE(head[3].toInt(), head[2].toInt());  // codes unique in an order
        if (!head[4].toString().isEmpty()) {
            ++withCustomer;
            QCOMPARE(head[5].toString(), head[6].toString());
        }
    }
    QCOMPARE(heads.size(), 60);
    QVERIFY(withCustomer >= 36 && withCustomer < 60);
    QVERIFY(count(db, "select count(*) from Dusmere_Order_Form_Detail") >= 60 * 5);
    QVERIFY(count(db,
                  "select count(distinct Head_Code) from Dusmere_Order_Form_Detail d where "
                  "(select count(*) from Dusmere_Order_Form_Detail e where e.Head_Code = d.Head_Code) >= 15") > 0);
    // Amounts are price times quantity to the cent; some quantities have
    // decimals; coded fields hold values of their lists.
    QSqlQuery d = db.query("select QTY, Price, Total_Price from Dusmere_Order_Form_Detail");
    int decimals = 0;
    while (d.next()) {
        const double expected = std::round(d.value(0).toDouble() * d.value(1).toDouble() * 100) / 100;
        QVERIFY2(qAbs(d.value(2).toDouble() - expected) < 0.001,
                 qPrintable(
                     QString("%1 x %2 = %3").arg(d.value(0).toString(), d.value(1).toString(), d.value(2).toString())));
        decimals += d.value(0).toDouble() != std::floor(d.value(0).toDouble()) ? 1 : 0;
    }
    QVERIFY(decimals > 0);
    for (const char* field : {"Goods_name", "Goods_Unit", "Goods_Type", "Colour", "Lock_Size", "Glass_Type"}) {
        const QString sql =
            QStringLiteral(
                "select count(*) from Dusmere_Order_Form_Detail d where d.%1 is not null and not exists ("
                "select 1 from Sys_Status_Describe s join Sys_Status_Describe_head l on s.ParamentName = "
                "l.paramentname where lower(l.TableName) = 'dusmere_order_form_detail' and lower(l.FieldName) = "
                "lower(:f) and s.StatusValue = cast(d.%1 as varchar(20)))")
                .arg(QLatin1String(field));
        QCOMPARE(count(db, sql, {{"f", QString::fromLatin1(field)}}), 0);
        QVERIFY(count(db, QStringLiteral("select count(*) from Dusmere_Order_Form_Detail where %1 is not null")
                              .arg(QLatin1String(field))) > 0);
    }
    // Most orders have their forms; a work form per series (and one for
    // the rows without), each goods row on exactly one.
    const int withWork = count(db, "select count(distinct Order_Form_Code) from Dusmere_Work_Form_Head");
    QVERIFY2(withWork >= 40 && withWork < 60, qPrintable(QString::number(withWork)));
    QCOMPARE(count(db,
                   "select count(*) from Dusmere_Work_Form_Head h where (select count(*) from "
                   "Dusmere_Work_Form_Head o where o.Order_Form_Code = h.Order_Form_Code) <> "
                   "(select count(distinct coalesce(Goods_Type, -1)) from Dusmere_Order_Form_Detail d where "
                   "d.Head_Code = h.Order_Form_Code)"),
             0);
    QCOMPARE(count(db,
                   "select count(*) from Dusmere_Order_Form_Detail d where d.Head_Code in (select "
                   "Order_Form_Code from Dusmere_Work_Form_Head) and (select count(*) from "
                   "Dusmere_Work_Form_Detail w where w.Order_Form_Code = d.Head_Code and w.goods_code = "
                   "d.Goods_Code) <> 1"),
             0);
    QCOMPARE(count(db,
                   "select count(*) from (select w.head_Code from Dusmere_Work_Form_Detail w join "
                   "Dusmere_Order_Form_Detail d on d.Head_Code = w.Order_Form_Code and d.Goods_Code = "
                   "w.goods_code group by w.head_Code having count(distinct coalesce(d.Goods_Type, -1)) <> 1) x"),
             0);
    // The ware-out texts are those the generator computes, also when it is
    // asked to make the form again.
    QSqlQuery w = db.query("select head_code, DetailNames, Fittings from Dusmere_Ware_Out_Form_Detail order by ID");
    QList<QStringList> wareOutTexts;
    while (w.next()) {
        wareOutTexts.append({w.value(0).toString(), w.value(1).toString(), w.value(2).toString()});
    }
    QStringList wareOut;
    int withLocks = 0;
    for (const QStringList& texts : wareOutTexts) {
        const QString& code = texts[0];
        wareOut << code;
        QCOMPARE(texts[1], OrderFormGenerator::goodsSummary(db, code));
        QCOMPARE(texts[2], OrderFormGenerator::lockSummary(db, code));
        QVERIFY(!texts[1].isEmpty());
        withLocks += texts[2].isEmpty() ? 0 : 1;
    }
    QVERIFY(wareOut.size() >= 36 && wareOut.size() <= withWork);
    QVERIFY(withLocks > 0);
    auto texts = [&db](const QString& code) {
        QStringList out;
        QSqlQuery q = db.query("select DetailNames, Fittings from Dusmere_Ware_Out_Form_Detail where head_code=:c",
                               {{"c", code}});
        while (q.next()) {
            out << q.value(0).toString() + '|' + q.value(1).toString();
        }
        return out;
    };
    for (const QString& code : {wareOut.first(), wareOut.last()}) {
        const QStringList made = texts(code);
        QCOMPARE(made.size(), 1);
        QCOMPARE(first.ctl({"order", "generate", "wareout", code, "--yes"}).code, 0);
        QCOMPARE(texts(code), made);
    }
    // A shipment row for every goods row, naming it by its key; the
    // customer's mobile as the receiver's telephone.
    QCOMPARE(rows(db, "Dusmere_Shipment_Form_Head"), wareOut.size());
    QCOMPARE(count(db,
                   "select count(*) from Dusmere_Shipment_Form_Detail s left join Dusmere_Order_Form_Detail d on "
                   "cast(d.ID as varchar(20)) = s.goods_id and d.Head_Code = s.head_code and d.Goods_Code = "
                   "s.goods_code where d.ID is null"),
             0);
    QCOMPARE(count(db,
                   "select count(*) from Dusmere_Order_Form_Detail d where d.Head_Code in (select "
                   "Shipment_Form_Code from Dusmere_Shipment_Form_Head) and not exists (select 1 from "
                   "Dusmere_Shipment_Form_Detail s where s.goods_id = cast(d.ID as varchar(20)))"),
             0);
    QCOMPARE(count(db,
                   "select count(*) from Dusmere_Shipment_Form_Head s join Dusmere_Order_Form_head h on "
                   "h.Order_Form_Code = s.Shipment_Form_Code left join customer_provider c on c.corp_code = "
                   "h.corp_code where coalesce(s.RecivePerson_Telephone, '<null>') <> coalesce(c.Boss_mobile, '')"),
             0);
}

void TestCtlDemo::refusedDemoWritesNothing_data() {
    QTest::addColumn<QString>("field");
    QTest::newRow("no units") << "goods_unit";
    QTest::newRow("no goods names") << "goods_name";
}

// Order forms need goods names and units from the code lists. Without
// them the demo is refused before it writes anything: no customers,
// goods or quotations, counters as they were; the message on stderr.
void TestCtlDemo::refusedDemoWritesNothing() {
    QFETCH(QString, field);
    OrderBook p;
    Database& db = p.db();
    db.execute(
        "delete from Sys_Status_Describe where ParamentName in (select paramentname from Sys_Status_Describe_head "
        "where lower(TableName) = 'dusmere_order_form_detail' and lower(FieldName) = :f)",
        {{"f", field}});
    const QStringList tables =
        kOrderTables + QStringList{"customer_provider", "customer_group",   "Client",      "goods",
                                   "Quotation_Head",    "Quotation_Detail", "Receipt_Head"};
    QStringList before;
    for (const QString& t : tables) {
        before << dump(db, t);
    }
    const QStringList counters = dump(db, "Sys_ID_Autoincrement", "tablename");
    const Result r = p.ctl({"demo", "--customers", "3", "--quotations", "5", "--orders", "5"});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QString());
    QCOMPARE(r.err, QStringLiteral("代码表[货品名称]或[计量单位]没有可用的值，无法生成示例收据\n"));
    QStringList after;
    for (const QString& t : tables) {
        after << dump(db, t);
    }
    QCOMPARE(after, before);
    QCOMPARE(dump(db, "Sys_ID_Autoincrement", "tablename"), counters);
}

// The demo goes on after the numbers and codes the program issued, and the
// program after the demo's.
void TestCtlDemo::numbersGoOnAfterTheDemo() {
    OrderBook p;
    Database& db = p.db();
    QCOMPARE(p.order(R"({"rows": [{"Goods_name": 1}, {"Goods_name": 2}]})"), QString("AA0606250001"));
    QCOMPARE(p.ctl({"order", "generate", "work", "AA0606250001"}).code, 0);  // 0606250001
    QCOMPARE(p.ctl({"demo", "--orders", "30"}).code, 0);
    QCOMPARE(rows(db, "Dusmere_Order_Form_head"), 31);
    QCOMPARE(count(db, "select count(*) from Dusmere_Order_Form_head where Order_Form_Code like 'AA060625%'"), 2);
    QCOMPARE(counter(db, "dusmere_order_form_head"), QString("AA0606250002"));
    // The demo's goods codes follow the two drawn before it.
    QCOMPARE(count(db, "select count(*) from Dusmere_Order_Form_Detail where Goods_Code in ('1', '2')"), 2);
    const int demoRows = rows(db, "Dusmere_Order_Form_Detail") - 2;
    QCOMPARE(counter(db, "dusmere_order_form_detail"), QString::number(2 + demoRows));
    // Work forms of today: the program's first, then the demo's, then the
    // program's next.
    const QString lastWork =
        db.scalar("select max(Work_Form_Code) from Dusmere_Work_Form_Head where Work_Form_Code like '060625%'")
            .toString();
    QVERIFY(lastWork > QString("0606250001"));
    QCOMPARE(counter(db, "dusmere_work_form_head"), lastWork);
    QCOMPARE(p.order(R"({"rows": [{"Goods_name": 3}]})"), QString("AA0606250003"));
    QCOMPARE(db.scalar("select Goods_Code from Dusmere_Order_Form_Detail where Head_Code='AA0606250003'").toString(),
             QString::number(3 + demoRows));
    QCOMPARE(p.ctl({"order", "generate", "work", "AA0606250003"}).code, 0);
    QCOMPARE(
        db.scalar("select Work_Form_Code from Dusmere_Work_Form_Head where Order_Form_Code='AA0606250003'").toString(),
        QString("0606250%1").arg(lastWork.right(3).toInt() + 1, 3, 10, QChar('0')));
    // A second run adds more without a number twice and makes no customers.
    const Result again = p.ctl({"demo", "--orders", "30"});
    QCOMPARE(again.code, 0);
    QVERIFY2(again.out.contains("新客户 0"), qPrintable(again.out));
    QCOMPARE(rows(db, "Dusmere_Order_Form_head"), 62);
    QCOMPARE(rows(db, "customer_provider"), 300);
    QCOMPARE(count(db, "select count(distinct Order_Form_Code) from Dusmere_Order_Form_head"), 62);
    QCOMPARE(count(db, "select count(distinct Work_Form_Code) from Dusmere_Work_Form_Head"),
             rows(db, "Dusmere_Work_Form_Head"));
    QCOMPARE(counter(db, "dusmere_order_form_head"), QString("AA0606250004"));
}

QTEST_MAIN(TestCtlDemo)
#include "test_ctl_demo.moc"
