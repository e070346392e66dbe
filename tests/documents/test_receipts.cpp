#include <QTest>

#include "data/dataset.h"
#include "document_fixture.h"
#include "documents/quotation_document.h"
#include "documents/quotation_list.h"
#include "documents/receipt_book.h"
#include "platform/errors.h"

using namespace DocumentFixture;

namespace {
// A book with the fixture's receipt sample (deposit 500, freight 80, A 2 x
// 10.00, B and C of one name 1 x 5.00 and 3 x 7.00), its receipts open.
struct Sample : Book {
    explicit Sample(double freight = 80, double discount = 0)
        : no(receiptSample(db(), clock, prompter, freight, discount)) {
        book.open(no);
    }
    const QString no;
    ReceiptBook book{db(), clock, prompter, "a"};
};
// How many receipts and receipt lines the book holds.
QString stored(Book& b) {
    return read(b.db(), "select (select count(*) from Receipt_Head), (select count(*) from Receipt_Detail)");
}
}  // namespace

// A quotation's receipts and the receipt lines they share, on both engines.
class TestReceipts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void openingMakesTheDepositAndTheLinesOnce() {
        Book b;
        const QString no = receiptSample(b.db(), b.clock, b.prompter);
        ReceiptBook book(b.db(), b.clock, b.prompter, "会计");
        book.open(no);
        QCOMPARE(book.receipts().rowCount(), 1);
        QCOMPARE(values(book.receipts(), {"BillNo", "BillType", "TotalPrice", "keyin_User", "keyin_Date"}, 0),
                 QString("AA0606250001|0|500|会计|2006-06-25"));
        // B and C make one line, its price 6.5 to the nearest whole number; the
        // freight a line of its own.
        const QStringList fields{"GoodsClassName", "GoodsClassSize", "GoodsClassUnit", "QTY", "Price", "Total_Price"};
        QCOMPARE(QStringList({values(book.lines(), fields, 0), values(book.lines(), fields, 1),
                              values(book.lines(), fields, 2), QString::number(book.lines().rowCount())}),
                 QStringList({"门锁|大|UN001|2|10|20", "合页|4寸|UN002|4|7|26", "运费|null|null|null|null|80", "3"}));
        QCOMPARE(values(book.quotation(), {"sum_payed_money", "total_price", "leave_money"}), QString("500|126|-374"));
        QCOMPARE(QString::number(book.kinds().size()) + book.kinds().at(0).second, QString("2定金收据"));
        // Opened again: nothing new. All receipts deleted, the lines stay and
        // the next opening makes a new deposit receipt.
        ReceiptBook again(b.db(), b.clock, b.prompter, "a");
        again.open(no);
        QCOMPARE(QString::number(again.receipts().rowCount()) + "|" + stored(b), QString("1|1|3"));
        QVERIFY(again.deleteReceipts({0}));
        QCOMPARE(stored(b), QString("0|3"));
        // Without a deposit on the quotation, the deposit receipt is of 0.
        b.db().execute("update Quotation_Head set earnest=null");
        ReceiptBook(b.db(), b.clock, b.prompter, "a").open(no);
        QCOMPARE(read(b.db(), "select BillNo, TotalPrice from Receipt_Head"), QString("AA0606250002|0"));
    }

    // Goods of one name make one line: quantity their sum, price their amount
    // over it, each rounded half up (also 675.4999... = 145.49 + 496.34 +
    // 33.67 and 1.4999... = 1.65 / 1.1 in doubles) and stored as integers.
    void wholeNumbers() {
        Book b;
        Database& db = b.db();
        const QList<QPair<QVariantList, QVariantList>> cases{
            // quantities, amounts
            {{1, 1}, {1.0, 2.0}},  {{1}, {10.5}},
            {{2, -2}, {5.0, 5.0}}, {{0.25, 0.25}, {1.0, 1.0}},
            {{1}, {-2.5}},         {{1, 1, 1}, {145.49, 496.34, 33.67}},
            {{1.1}, {1.65}}};
        QStringList seen;
        for (int c = 0; c < cases.size(); ++c) {
            const QVariantMap q{{"q", QString("Q%1").arg(c)}};
            db.query("insert into Quotation_Head (BillNo, state) values (:q, 1)", q);
            for (int i = 0; i < cases[c].first.size(); ++i) {
                const QString goods = QString("W%1%2").arg(c).arg(i);
                addGoods(db, goods, "同名");
                db.query(
                    "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Total_Price, SortNo) "
                    "values (:h, :g, :q, :t, :s)",
                    {{"h", q["q"]}, {"g", goods}, {"q", cases[c].first[i]}, {"t", cases[c].second[i]}, {"s", i}});
            }
            ReceiptBook(db, b.clock, b.prompter, "a").open(q["q"].toString());
            const QString whole = db.scalar("select Price from Receipt_Detail where HeadNo=:q", q).toString() + " " +
                                  db.scalar("select QTY from Receipt_Detail where HeadNo=:q", q).toString();
            seen << read(db, "select QTY, Price, Total_Price from Receipt_Detail where HeadNo=:q", q) +
                        (whole.contains('.') ? " stored " + whole : QString());
        }
        QCOMPARE(seen, QStringList({"2|2|3", "1|11|11", "0|0|10", "1|4|2", "1|-3|-3", "3|225|676", "1|2|2"}));
    }

    void rebuildIsAllOrNothing() {
        Sample b;
        b.book.lines().setCurrentRow(0);
        b.book.lines().setValue("Remark", "手改");
        b.book.lines().post();
        b.prompter.setNextAnswer(false);
        const QString lines = "select count(*), sum(case when Remark='手改' then 1 else 0 end) from Receipt_Detail";
        QVERIFY(!b.book.rebuildLines());
        QCOMPARE(read(b.db(), lines), QString("3|1"));
        // A statement that fails half-way: the lines stay as they were.
        failWhen(b.db(), "Receipt_Detail", "INSERT", "NEW.GoodsClassName = '运费'");
        b.prompter.setNextAnswer(true);
        QVERIFY(!b.book.rebuildLines());
        QCOMPARE(b.prompter.lastText(), QString("执行SQL命令出错,所有事务将被回滚!"));
        QCOMPARE(read(b.db(), lines) + QString::number(b.book.lines().rowCount()), QString("3|13"));
        stopFailing(b.db(), "Receipt_Detail");
        // The quotation changed: the rebuild follows it.
        b.db().query("update Quotation_Head set Freight=0");
        b.prompter.setNextAnswer(true);
        QVERIFY(b.book.rebuildLines());
        QCOMPARE(read(b.db(), lines) + QString::number(b.book.lines().rowCount()), QString("2|02"));
        QCOMPARE(b.prompter.pendingAnswers(), 0);
    }

    void receiptsByHand() {
        Sample b;
        b.book.addReceipt();
        Dataset& r = b.book.receipts();
        QCOMPARE(r.rowCount(), 2);
        QCOMPARE(values(r, {"BillType", "TotalPrice", "remark"}), QString("1|null|尾款月底"));
        // The amount is whole, said once; the quotation's amounts follow once
        // the receipt is posted.
        r.setValue("TotalPrice", 120.6);
        QCOMPARE(b.book.takeRoundingNote(), QString("收款金额只记整数：120.6 已记为 121"));
        QCOMPARE(b.book.takeRoundingNote(), QString());
        QCOMPARE(b.book.quotation().value("sum_payed_money").toDouble(), 500.0);
        r.post();
        QCOMPARE(values(b.book.quotation(), {"sum_payed_money", "leave_money"}), QString("621|-495"));
        QVERIFY(drifted(b.db()).isEmpty());
        QVERIFY(!b.book.deleteReceipts({}));
        QCOMPARE(b.prompter.lastText(), QString("请选择要删除的收据"));
        QVERIFY(b.book.receiptToPrint({}).isEmpty());
        QCOMPARE(b.prompter.lastText(), QString("请选择一条收据"));
        // An amount still being typed is written before the receipt prints.
        r.setCurrentRow(1);
        r.setValue("TotalPrice", 80);
        const QString printed = b.book.receiptToPrint({1});
        QCOMPARE(printed, r.value(1, "BillNo").toString());
        QCOMPARE(count(b.db(), "select TotalPrice from Receipt_Head where BillNo='" + printed + "'"), 80);
        // The deposit renewed takes a new number; without one to draw it stays.
        b.db().query("update Quotation_Head set earnest=800.40");
        b.book.renewDeposit();
        QVERIFY(r.rowCount() == 2 && r.locate("BillType", 0));
        QCOMPARE(values(r, {"BillNo", "TotalPrice"}), QString("AA0606250003|800"));
        QCOMPARE(read(b.db(), "select BillNo from Receipt_Head order by BillNo"),
                 QString("AA0606250002; AA0606250003"));
        b.db().query("update Sys_ID_Autoincrement set CurrID='AA0606259999' where LOWER(tablename)='receipt_head'");
        QVERIFY_THROWS_EXCEPTION(std::exception, b.book.renewDeposit());
        QCOMPARE(count(b.db(), "select count(*) from Receipt_Head where BillNo='AA0606250003'"), 1);
    }

    void receiptLinesByHand() {
        Sample b;
        QCOMPARE(b.book.linesDifferenceNote(), QString());
        Dataset& l = b.book.lines();
        // Lines off the amount due by their whole units alone need no rebuild.
        QCOMPARE(Sample(12.5).book.linesDifferenceNote(),
                 QString("明细合计59.00与应收款58.50相差0.50：明细金额只记整数"));
        QCOMPARE(Sample(80, 6).book.linesDifferenceNote(),
                 QString("明细合计126.00与应收款120.00相差6.00：明细不含优惠6.00，金额只记整数"));
        // A line nothing was typed into is never written, however it is left.
        b.book.addLine();
        QCOMPARE(l.rowCount(), 4);
        QVERIFY(l.value("GoodsClassName").isNull());
        b.book.postPending();
        QCOMPARE(l.rowCount(), 3);
        b.book.addLine();
        l.setValue("GoodsClassName", QString());  // an editor closed empty
        l.post();
        QCOMPARE(l.rowCount(), 3);
        QCOMPARE(count(b.db(), "select count(*) from Receipt_Detail where HeadNo=:q", {{"q", b.no}}), 3);
        b.book.addLine();
        // A first entry refused keeps the new line for the entry to be typed again.
        QVERIFY_THROWS_EXCEPTION(UserError, l.editCell(3, l.fieldIndex("QTY"), QString("abc")));
        QCOMPARE(l.rowCount(), 4);
        QVERIFY(l.holdsUntouchedDraft());
        l.setValue("QTY", 3);
        l.setValue("Price", 7);
        QCOMPARE(l.value("Total_Price").toInt(), 21);
        l.setValue("Total_Price", 20);  // typed amount wins
        QCOMPARE(l.value("Total_Price").toInt(), 20);
        l.setValue("Price", 7.6);  // a whole price, and the amount from it
        QCOMPARE(values(l, {"Price", "Total_Price"}), QString("8|24"));
        l.post();
        QCOMPARE(count(b.db(), "select count(*) from Receipt_Detail where HeadNo=:q and Total_Price=24", {{"q", b.no}}),
                 1);
        // The lines no longer add up to the amount due: the window says by how much.
        QCOMPARE(b.book.linesDifferenceNote(),
                 QString("明细合计150.00与应收款126.00相差24.00，可用“重置明细”按订货单重新生成"));
        QVERIFY(!b.book.deleteLines({}));
        QCOMPARE(b.prompter.lastText(), QString("请选择要删除的货品"));
        QVERIFY(b.book.deleteLines({0, 3}));
        QCOMPARE(stored(b), QString("1|2"));
    }

    // A write failed for a passing cause stays and is written by the next
    // posting; one that never can be (its row deleted elsewhere) is dropped
    // and the rows read again, so the window always closes.
    void aFailedWriteIsKeptOrDropped() {
        Sample b;
        failWhen(b.db(), "Receipt_Head", "UPDATE", "1=1");
        Dataset& r = b.book.receipts();
        r.setValue("TotalPrice", 450);
        QVERIFY_THROWS_EXCEPTION(std::exception, r.post());
        QVERIFY(r.hasChanges());
        QVERIFY_THROWS_EXCEPTION(std::exception, b.book.postPending());
        QCOMPARE(count(b.db(), "select count(*) from Receipt_Head where TotalPrice=450"), 0);
        stopFailing(b.db(), "Receipt_Head");
        b.book.postPending();
        QCOMPARE(read(b.db(), "select TotalPrice from Receipt_Head") + values(b.book.quotation(), {"sum_payed_money"}),
                 QString("450450"));
        QVERIFY(!r.hasChanges());

        const int lines = b.book.lines().rowCount();
        b.db().execute("delete from Receipt_Detail where id=:id", {{"id", b.book.lines().value(0, "id")}});
        b.book.lines().setCurrentRow(0);
        b.book.lines().setValue("QTY", 9);
        QVERIFY_THROWS_EXCEPTION(DbError, b.book.lines().post());
        QVERIFY(!b.book.lines().hasChanges());
        QCOMPARE(b.book.lines().rowCount(), lines - 1);
        b.book.postPending();

        // A quotation out of force takes money only when the user says so.
        b.db().execute("update Quotation_Head set state=0");
        b.book.reloadQuotation();
        QVERIFY(!b.book.isInForce());
        b.prompter.setNextAnswer(false);
        QVERIFY(!b.book.addReceipt());
        QVERIFY(b.prompter.lastText().contains("已失效"));
        QCOMPARE(r.rowCount(), 1);
        b.prompter.setNextAnswer(true);
        QVERIFY(b.book.addReceipt());
        QCOMPARE(r.rowCount(), 2);
    }

    // Only a stored quotation has receipts: one deleted elsewhere while its
    // receipts are open takes no receipt, line or totals row any more.
    void aQuotationDeletedMeanwhileTakesNoReceipts() {
        Sample s;
        ReceiptBook& book = s.book;
        QuotationList(s.db(), s.prompter).removeNow({s.no});
        for (const QString& no : {QString(), s.no}) {
            QVERIFY_THROWS_EXCEPTION(UserError, ReceiptBook(s.db(), s.clock, s.prompter, "a").open(no));
        }
        book.receipts().setCurrentRow(0);
        book.receipts().setValue("TotalPrice", 100);
        QVERIFY_THROWS_EXCEPTION(UserError, book.receipts().post());
        // The refused edit is dropped and the receipts read again: none is left.
        QVERIFY(book.receipts().rowCount() == 0 && !book.receipts().hasChanges());
        QVERIFY_THROWS_EXCEPTION(UserError, book.addReceipt());
        QVERIFY_THROWS_EXCEPTION(UserError, book.renewDeposit());
        QVERIFY(!book.buildLines());
        QCOMPARE(s.prompter.lastText(), QString("订货单[%1]已被其他用户删除，收据无法保存").arg(s.no));
        QVERIFY_THROWS_EXCEPTION(UserError, book.addLine());
        QCOMPARE(read(s.db(),
                      "select (select count(*) from Receipt_Head), (select count(*) from Receipt_Detail), (select "
                      "count(*) from Quotation_Detail), (select count(*) from Quotation_Sum)"),
                 QString("0|0|0|0"));
    }

    // A receipt takes the quotation's remark and a line the goods' name, cut
    // to what the receipt's columns hold.
    void longRemarksAndNamesAreCut() {
        Book b;
        Database& db = b.db();
        const QString longName = QString(60, QChar(0x9501));  // 锁 x 60
        addGoods(db, "L", longName, QString(60, 'x'));
        Quotation doc(b);
        doc.head().setValue("Remark", QString(55, QChar(0x6b3e)) + "'%_");
        doc.addGoods({"L"});
        QVERIFY(doc.save());
        ReceiptBook book(db, b.clock, b.prompter, "a");
        book.open(doc.billNo());
        QCOMPARE(book.lines().rowCount(), 1);
        QCOMPARE(values(book.lines(), {"GoodsClassName", "GoodsClassSize"}),
                 longName.left(50) + "|" + QString(50, 'x'));
        book.addReceipt();
        QCOMPARE(book.receipts().value("remark").toString(), QString(50, QChar(0x6b3e)));
    }
};

QTEST_GUILESS_MAIN(TestReceipts)
#include "test_receipts.moc"
