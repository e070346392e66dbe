#include <QSqlQuery>
#include <QTest>

#include "data/data_module.h"
#include "documents/document_fixture.h"
#include "documents/order_form_generator.h"
#include "tools/ctl_book.h"

using CtlBooks::rows;
using DocumentFixture::count;

// The demo book made by olvendctl on both engines: whole and consistent, its numbers going on from the book's and on in
// the program; a refused demo writes nothing.
class TestCtlDemo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void demoBookIsWholeAndConsistent() {
        QuotationCtlBook p;
        Database& db = p.db();
        QCOMPARE(p.sample(), QString("BJ0606250001"));
        QCOMPARE(p.ctl({"receipts", "BJ0606250001"}).code, 0);  // AA0606250001
        QCOMPARE(p.order(R"({"rows": [{"Goods_name": 1}, {"Goods_name": 2}]})"), QString("AA0606250001"));
        QCOMPARE(p.ctl({"order", "generate", "work", "AA0606250001"}).code, 0);  // 0606250001
        const CtlCall::Result r =
            p.ctl({"demo", "--customers", "20", "--quotations", "30", "--orders", "30", "--payouts", "100"});
        QCOMPARE(r.err + QString::number(r.code), QString("0"));
        // The printed counts are those of the book.
        QString payouts = QStringLiteral("支出 100, 运输费 %1, 工资 %2, 日杂费 %3, 汇款 %4, 合计 %5");
        for (const char* subject : {"0", "1", "2", "3"}) {
            payouts = payouts.arg(count(db, "select count(*) from payout where subject=:s", {{"s", subject}}));
        }
        payouts = payouts.arg(db.scalar("select sum(totalprice) from payout").toLongLong());
        QVERIFY2(r.out.contains("订货单 30") && r.out.contains("订单 30") && r.out.contains(payouts),
                 qPrintable(r.out + " / " + payouts));
        QCOMPARE(DocumentFixture::drifted(db), QStringList());

        // Numbers of their day, the demo's after the program's and back; order goods codes go on from the two drawn
        // before.
        QCOMPARE(QList<int>({rows(db, "Quotation_Head"), rows(db, "Dusmere_Order_Form_head"), rows(db, "payout")}),
                 QList<int>({31, 31, 100}));
        QCOMPARE(
            db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='dusmere_order_form_detail'").toString(),
            QString::number(rows(db, "Dusmere_Order_Form_Detail")));
        QCOMPARE(p.sample(), QString("BJ0606250003"));
        QCOMPARE(p.order(R"({"rows": [{"Goods_name": 1}]})"), QString("AA0606250003"));
        QCOMPARE(count(db, "select count(distinct BillNo) from Receipt_Head"), rows(db, "Receipt_Head"));
        for (const auto& [table, number, day] :
             {std::tuple{"Quotation_Head", "BillNo", "Order_Date"}, std::tuple{"Receipt_Head", "BillNo", "keyin_Date"},
              std::tuple{"Dusmere_Order_Form_head", "Order_Form_Code", "Keyin_Date"}}) {
            QSqlQuery q = db.query(QStringLiteral("select %1, %2 from %3").arg(number, day, table));
            while (q.next()) {
                const QDate date = q.value(1).toDateTime().date();
                QVERIFY2(date >= QDate(1996, 6, 25) && date <= QDate(2006, 6, 25), qPrintable(q.value(0).toString()));
                QCOMPARE(q.value(0).toString().mid(2, 6), date.toString("yyMMdd"));
            }
        }
        // Payouts in those ten years; goods names from their list; a work form per series of an order (and one for the
        // rows without).
        QCOMPARE(
            DocumentFixture::read(
                db,
                "select (select count(*) from payout where paytime < :a or paytime > :b), (select count(*) from "
                "Dusmere_Order_Form_Detail d where not exists (select 1 from Sys_Status_Describe s where "
                "s.ParamentName = '货品名称' and s.StatusValue = cast(d.Goods_name as varchar(20)))), (select count(*) "
                "from Dusmere_Work_Form_Head h where (select count(*) from Dusmere_Work_Form_Head o where "
                "o.Order_Form_Code = h.Order_Form_Code) <> (select count(distinct coalesce(Goods_Type, -1)) from "
                "Dusmere_Order_Form_Detail d where d.Head_Code = h.Order_Form_Code))",
                {{"a", db.toDbValue(QDate(1996, 6, 25).startOfDay())},
                 {"b", db.toDbValue(QDate(2006, 6, 25).endOfDay())}}),
            QString("0|0|0"));
        // The ware-out texts are the generator's (read whole first: a server's connection answers one statement at a
        // time).
        const QStringList wareOut = CtlBooks::dump(db,
                                                   "(select head_code, DetailNames, Fittings from "
                                                   "Dusmere_Ware_Out_Form_Detail) w");
        QVERIFY(!wareOut.isEmpty());
        for (const QString& row : wareOut) {
            const QString code = row.section('|', 0, 0);
            QCOMPARE(QString(row).replace("|<null>", "|"),
                     QStringList(
                         {code, OrderFormGenerator::goodsSummary(db, code), OrderFormGenerator::lockSummary(db, code)})
                         .join('|'));
        }
    }
    // Without goods names and units in the code lists the demo is refused before it writes anything; a payout the book
    // refuses half way writes none of them; counts that are no counts are wrong use.
    void refusedDemoWritesNothing() {
        QuotationCtlBook p;
        Database& db = p.db();
        db.execute(
            "delete from Sys_Status_Describe where ParamentName in (select paramentname from Sys_Status_Describe_head "
            "where lower(TableName) = 'dusmere_order_form_detail' and lower(FieldName) = 'goods_unit')");
        const QStringList before = p.state();
        QCOMPARE(p.run({"demo", "--customers", "3", "--quotations", "5", "--orders", "5"}),
                 QString("$ demo --customers 3 --quotations 5 --orders 5\nexit 1\n"
                         "! 代码表[货品名称]或[计量单位]没有可用的值，无法生成示例收据\n"));
        QCOMPARE(p.state(), before);
        QCOMPARE(p.ctl({"demo", "--payouts", "五十"}).code, 2);
        DocumentFixture::failWhen(db, "payout", "INSERT", "NEW.subject = '3'");
        const CtlCall::Result halfWay = p.ctl({"demo", "--payouts", "50"});
        QCOMPARE(halfWay.code, 1);
        QVERIFY2(halfWay.err.contains("没有执行成功，修改没有保存"), qPrintable(halfWay.err));
        QCOMPARE(p.state(), before);
        DocumentFixture::stopFailing(db, "payout");
        QCOMPARE(p.ctl({"demo", "--payouts", "50"}).code, 0);
        QCOMPARE(rows(db, "payout"), 50);
    }
};

QTEST_MAIN(TestCtlDemo)
#include "test_ctl_demo.moc"
