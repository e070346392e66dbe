#include <QTest>

#include "data/dataset.h"
#include "document_fixture.h"
#include "documents/quotation_document.h"
#include "documents/quotation_list.h"
#include "documents/receipt_book.h"
#include "platform/errors.h"

using namespace DocumentFixture;

// The receipts of a quotation and the receipt lines they share, on both
// engines.
class TestReceipts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void firstOpeningMakesTheDepositAndTheLines();
    void nothingNewOnTheSecondOpening();
    void wholeNumbers_data();
    void wholeNumbers();
    void rebuildIsAllOrNothing();
    void renewingTheDeposit();
    void receiptsByHand();
    void receiptLinesByHand();
    void amountsFollowEveryReceiptChange();
    void aFailedWriteIsKeptOrDropped();
    void onlyStoredQuotationsHaveReceipts();
    void aQuotationDeletedMeanwhileTakesNoReceipts();
    void longRemarksAndNamesAreCut();
};

namespace {
// The fixture's receipt sample (deposit 500, freight 80; goods A 2 x 10.00;
// B and C, of the same name, size and unit, 1 x 5.00 and 3 x 7.00).
QString sampleQuotation(Book& b, double freight = 80, double discount = 0) {
    return receiptSample(b.db(), b.clock, b.prompter, freight, discount);
}
}  // namespace

void TestReceipts::firstOpeningMakesTheDepositAndTheLines() {
    Book b;
    const QString no = sampleQuotation(b);
    ReceiptBook book(b.db(), b.clock, b.prompter, "会计");
    book.open(no);
    Dataset& r = book.receipts();
    QCOMPARE(r.rowCount(), 1);
    QCOMPARE(r.value(0, "BillNo").toString(), QString("AA0606250001"));
    QCOMPARE(r.value(0, "BillType").toInt(), 0);
    QCOMPARE(r.value(0, "TotalPrice").toInt(), 500);
    QCOMPARE(r.value(0, "keyin_User").toString(), QString("会计"));
    QCOMPARE(r.value(0, "keyin_Date").toDate(), QDate(2006, 6, 25));
    Dataset& l = book.lines();
    QCOMPARE(l.rowCount(), 3);
    QCOMPARE(l.value(0, "GoodsClassName").toString(), QString("门锁"));
    QCOMPARE(l.value(0, "QTY").toInt(), 2);
    QCOMPARE(l.value(0, "Price").toInt(), 10);
    QCOMPARE(l.value(0, "Total_Price").toInt(), 20);
    QCOMPARE(l.value(1, "GoodsClassName").toString(), QString("合页"));
    QCOMPARE(l.value(1, "GoodsClassSize").toString(), QString("4寸"));
    QCOMPARE(l.value(1, "GoodsClassUnit").toString(), QString("UN002"));
    QCOMPARE(l.value(1, "QTY").toInt(), 4);
    QCOMPARE(l.value(1, "Total_Price").toInt(), 26);
    QCOMPARE(l.value(1, "Price").toInt(), 7);  // 6.5 to the nearest whole number
    QCOMPARE(l.value(2, "GoodsClassName").toString(), QString("运费"));
    QCOMPARE(l.value(2, "Total_Price").toInt(), 80);
    QVERIFY(l.value(2, "QTY").isNull());
    // What the database holds is whole too.
    QCOMPARE(b.db().scalar("select Price from Receipt_Detail where GoodsClassName='合页'").toString(), QString("7"));
    QCOMPARE(book.quotation().value("sum_payed_money").toDouble(), 500.0);
    QCOMPARE(book.quotation().value("total_price").toDouble(), 126.0);
    QCOMPARE(book.quotation().value("leave_money").toDouble(), -374.0);
    QCOMPARE(book.kinds().size(), 2);
    QCOMPARE(book.kinds().at(0).second, QString("定金收据"));
}

void TestReceipts::nothingNewOnTheSecondOpening() {
    Book b;
    const QString no = sampleQuotation(b, 0);
    {
        ReceiptBook book(b.db(), b.clock, b.prompter, "a");
        book.open(no);
        QCOMPARE(book.lines().rowCount(), 2);  // no freight line for freight 0
    }
    ReceiptBook again(b.db(), b.clock, b.prompter, "a");
    again.open(no);
    QCOMPARE(again.receipts().rowCount(), 1);
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Detail"), 2);
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Head"), 1);
    // All receipts deleted: the next opening makes a new deposit receipt.
    again.deleteReceipts({0});
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Head"), 0);
    ReceiptBook third(b.db(), b.clock, b.prompter, "a");
    third.open(no);
    QCOMPARE(third.receipts().rowCount(), 1);
    QCOMPARE(third.receipts().value(0, "BillNo").toString(), QString("AA0606250002"));
}

void TestReceipts::wholeNumbers_data() {
    QTest::addColumn<QVariantList>("quantities");
    QTest::addColumn<QVariantList>("amounts");
    QTest::addColumn<int>("qty");
    QTest::addColumn<int>("price");
    QTest::addColumn<int>("total");
    QTest::newRow("half rounds up") << QVariantList{1, 1} << QVariantList{1.0, 2.0} << 2 << 2 << 3;
    QTest::newRow("below half rounds down") << QVariantList{3} << QVariantList{10.0} << 3 << 3 << 10;
    QTest::newRow("cents in the amount") << QVariantList{1} << QVariantList{10.5} << 1 << 11 << 11;
    QTest::newRow("quantities sum to zero") << QVariantList{2, -2} << QVariantList{5.0, 5.0} << 0 << 0 << 10;
    QTest::newRow("fractional quantities") << QVariantList{0.25, 0.25} << QVariantList{1.0, 1.0} << 1 << 4 << 2;
    QTest::newRow("negative half") << QVariantList{1} << QVariantList{-2.5} << 1 << -3 << -3;
    // Adding these in binary floating point leaves 675.4999...
    QTest::newRow("decimals summing to a half")
        << QVariantList{1, 1, 1} << QVariantList{145.49, 496.34, 33.67} << 3 << 225 << 676;
    // 1.65 / 1.1 is 1.4999... in binary floating point.
    QTest::newRow("average of a half") << QVariantList{1.1} << QVariantList{1.65} << 1 << 2 << 2;
}

void TestReceipts::wholeNumbers() {
    QFETCH(QVariantList, quantities);
    QFETCH(QVariantList, amounts);
    QFETCH(int, qty);
    QFETCH(int, price);
    QFETCH(int, total);
    Book b;
    Database& db = b.db();
    db.query("insert into Quotation_Head (BillNo, state) values ('Q', 1)");
    for (int i = 0; i < quantities.size(); ++i) {
        const QString code = QString("W%1").arg(i);
        addGoods(db, code, "同名");
        db.query(
            "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Total_Price, SortNo) values ('Q', :g, :q, :t, "
            ":s)",
            {{"g", code}, {"q", quantities[i]}, {"t", amounts[i]}, {"s", i}});
    }
    ReceiptBook book(db, b.clock, b.prompter, "a");
    book.open("Q");
    QCOMPARE(book.lines().rowCount(), 1);
    QCOMPARE(db.scalar("select QTY from Receipt_Detail").toInt(), qty);
    QCOMPARE(db.scalar("select Price from Receipt_Detail").toInt(), price);
    QCOMPARE(db.scalar("select Total_Price from Receipt_Detail").toInt(), total);
    // Stored as whole numbers, not as decimals that merely read as such.
    QVERIFY(!db.scalar("select Price from Receipt_Detail").toString().contains('.'));
    QVERIFY(!db.scalar("select QTY from Receipt_Detail").toString().contains('.'));
}

void TestReceipts::rebuildIsAllOrNothing() {
    Book b;
    const QString no = sampleQuotation(b);
    ReceiptBook book(b.db(), b.clock, b.prompter, "a");
    book.open(no);
    book.lines().setCurrentRow(0);
    book.lines().setValue("Remark", "手改");
    book.lines().post();
    b.prompter.setNextAnswer(false);
    QVERIFY(!book.rebuildLines());
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Detail where Remark='手改'"), 1);
    // A statement that fails half-way: the lines stay as they were.
    failWhen(b.db(), "Receipt_Detail", "INSERT", "NEW.GoodsClassName = '运费'");
    b.prompter.setNextAnswer(true);
    QVERIFY(!book.rebuildLines());
    QCOMPARE(b.prompter.lastText(), QString("执行SQL命令出错,所有事务将被回滚!"));
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Detail"), 3);
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Detail where Remark='手改'"), 1);
    QCOMPARE(book.lines().rowCount(), 3);
    stopFailing(b.db(), "Receipt_Detail");
    // The quotation changed: the rebuild follows it.
    b.db().query("update Quotation_Head set Freight=0");
    b.prompter.setNextAnswer(true);
    QVERIFY(book.rebuildLines());
    QCOMPARE(book.lines().rowCount(), 2);
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Detail where Remark='手改'"), 0);
    QCOMPARE(b.prompter.pendingAnswers(), 0);
}

void TestReceipts::renewingTheDeposit() {
    Book b;
    const QString no = sampleQuotation(b);
    ReceiptBook book(b.db(), b.clock, b.prompter, "a");
    book.open(no);
    book.addReceipt();
    b.db().query("update Quotation_Head set earnest=800.40");
    book.renewDeposit();
    Dataset& r = book.receipts();
    QCOMPARE(r.rowCount(), 2);
    QVERIFY(r.locate("BillType", 0));
    QCOMPARE(r.value("BillNo").toString(), QString("AA0606250003"));  // a new number
    QCOMPARE(r.value("TotalPrice").toInt(), 800);
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Head where BillNo='AA0606250001'"), 0);
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Head where BillNo='AA0606250002'"), 1);
    // Without a number to draw the old deposit stays.
    b.db().query("update Sys_ID_Autoincrement set CurrID='AA0606259999' where LOWER(tablename)='receipt_head'");
    QVERIFY_THROWS_EXCEPTION(std::exception, book.renewDeposit());
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Head where BillNo='AA0606250003'"), 1);
}

void TestReceipts::receiptsByHand() {
    Book b;
    const QString no = sampleQuotation(b);
    ReceiptBook book(b.db(), b.clock, b.prompter, "a");
    book.open(no);
    book.addReceipt();
    Dataset& r = book.receipts();
    QCOMPARE(r.rowCount(), 2);
    QCOMPARE(r.value("BillType").toInt(), 1);
    QVERIFY(r.value("TotalPrice").isNull());
    QCOMPARE(r.value("remark").toString(), QString("尾款月底"));
    QVERIFY(!book.deleteReceipts({}));
    QCOMPARE(b.prompter.lastText(), QString("请选择要删除的收据"));
    QVERIFY(book.receiptToPrint({}).isEmpty());
    QCOMPARE(b.prompter.lastText(), QString("请选择一条收据"));
    QCOMPARE(book.receiptToPrint({1}), r.value(1, "BillNo").toString());
    QVERIFY(book.deleteReceipts({0, 1}));
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Head"), 0);
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Detail"), 3);  // lines stay
}

void TestReceipts::receiptLinesByHand() {
    Book b;
    const QString no = sampleQuotation(b);
    ReceiptBook book(b.db(), b.clock, b.prompter, "a");
    book.open(no);
    QCOMPARE(book.linesDifferenceNote(), QString());
    Dataset& l = book.lines();
    {
        // Built lines that differ from the amount due by their whole units
        // alone are not sent to be built again.
        Book halves;
        const QString half = sampleQuotation(halves, 12.5);
        ReceiptBook built(halves.db(), halves.clock, halves.prompter, "a");
        built.open(half);
        QCOMPARE(built.linesDifferenceNote(), QString("明细合计59.00与应收款58.50相差0.50：明细金额只记整数"));
        Book discounted;
        const QString cheaper = sampleQuotation(discounted, 80, 6);
        ReceiptBook lines(discounted.db(), discounted.clock, discounted.prompter, "a");
        lines.open(cheaper);
        QCOMPARE(lines.linesDifferenceNote(),
                 QString("明细合计126.00与应收款120.00相差6.00：明细不含优惠6.00，金额只记整数"));
    }
    // A line nothing was typed into is never written, however it is left.
    book.addLine();
    QCOMPARE(l.rowCount(), 4);
    QVERIFY(l.value("GoodsClassName").isNull());
    book.postPending();
    QCOMPARE(l.rowCount(), 3);
    book.addLine();
    l.setValue("GoodsClassName", QString());  // an editor closed empty
    l.post();
    QCOMPARE(l.rowCount(), 3);
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Detail where HeadNo=:q", {{"q", no}}), 3);
    book.addLine();
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
    QCOMPARE(l.value("Price").toInt(), 8);
    QCOMPARE(l.value("Total_Price").toInt(), 24);
    l.post();
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Detail where HeadNo=:q and Total_Price=24", {{"q", no}}), 1);
    // The lines no longer add up to the amount due: the window says by how much.
    QCOMPARE(book.linesDifferenceNote(),
             QString("明细合计150.00与应收款126.00相差24.00，可用“重置明细”按订货单重新生成"));
    QVERIFY(!book.deleteLines({}));
    QCOMPARE(b.prompter.lastText(), QString("请选择要删除的货品"));
    QVERIFY(book.deleteLines({0, 3}));
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Detail"), 2);
}

void TestReceipts::amountsFollowEveryReceiptChange() {
    Book b;
    const QString no = sampleQuotation(b);
    ReceiptBook book(b.db(), b.clock, b.prompter, "a");
    book.open(no);
    book.addReceipt();
    Dataset& r = book.receipts();
    r.setValue("TotalPrice", 120.6);
    QCOMPARE(book.takeRoundingNote(), QString("收款金额只记整数：120.6 已记为 121"));
    QCOMPARE(book.takeRoundingNote(), QString());
    QCOMPARE(book.quotation().value("sum_payed_money").toDouble(), 500.0);  // not posted yet
    r.post();
    QCOMPARE(book.quotation().value("sum_payed_money").toDouble(), 621.0);
    QCOMPARE(book.quotation().value("leave_money").toDouble(), 126.0 - 621.0);
    QVERIFY(drifted(b.db()).isEmpty());
}

// A row whose write failed for a passing cause stays changed and is written
// by the next posting; one that can never be written (its row deleted or
// changed on another workstation) is dropped and the receipts read again,
// so nothing is tried again at every command and the window always closes.
void TestReceipts::aFailedWriteIsKeptOrDropped() {
    Book b;
    const QString no = sampleQuotation(b);
    ReceiptBook book(b.db(), b.clock, b.prompter, "a");
    book.open(no);
    failWhen(b.db(), "Receipt_Head", "UPDATE", "1=1");
    Dataset& r = book.receipts();
    r.setValue("TotalPrice", 450);
    QVERIFY_THROWS_EXCEPTION(std::exception, r.post());
    QVERIFY(r.hasChanges());
    QVERIFY_THROWS_EXCEPTION(std::exception, book.postPending());
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Head where TotalPrice=450"), 0);
    stopFailing(b.db(), "Receipt_Head");
    book.postPending();
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Head where TotalPrice=450"), 1);
    QCOMPARE(book.quotation().value("sum_payed_money").toDouble(), 450.0);
    QVERIFY(!r.hasChanges());

    // A line another workstation deleted: the edit is refused, dropped, and
    // the lines show what the book holds.
    const int lines = book.lines().rowCount();
    b.db().execute("delete from Receipt_Detail where id=:id", {{"id", book.lines().value(0, "id")}});
    book.lines().setCurrentRow(0);
    book.lines().setValue("QTY", 9);
    try {
        book.lines().post();
        QFAIL("a line deleted elsewhere was reported as written");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains("已被其他用户删除"), qPrintable(e.message()));
    }
    QVERIFY(!book.lines().hasChanges());
    QCOMPARE(book.lines().rowCount(), lines - 1);
    book.postPending();

    // A quotation out of force takes money only when the user says so.
    b.db().execute("update Quotation_Head set state=0");
    book.reloadQuotation();
    QVERIFY(!book.isInForce());
    b.prompter.setNextAnswer(false);
    QVERIFY(!book.addReceipt());
    QVERIFY(b.prompter.lastText().contains("已失效"));
    QCOMPARE(r.rowCount(), 1);
    b.prompter.setNextAnswer(true);
    QVERIFY(book.addReceipt());
    QCOMPARE(r.rowCount(), 2);
}

void TestReceipts::onlyStoredQuotationsHaveReceipts() {
    Book b;
    ReceiptBook book(b.db(), b.clock, b.prompter, "a");
    QVERIFY_THROWS_EXCEPTION(UserError, book.open(""));
    QVERIFY_THROWS_EXCEPTION(UserError, book.open("BJ0606250001"));
    QCOMPARE(count(b.db(), "select count(*) from Receipt_Head"), 0);
}

// Another workstation deleted the quotation while its receipts were open:
// no receipt, line or totals row is written for it any more.
void TestReceipts::aQuotationDeletedMeanwhileTakesNoReceipts() {
    Book b;
    Database& db = b.db();
    const QString no = sampleQuotation(b);
    ReceiptBook book(db, b.clock, b.prompter, "a");
    book.open(no);
    QuotationList(db, b.prompter).removeNow({no});
    book.receipts().setCurrentRow(0);
    book.receipts().setValue("TotalPrice", 100);
    QVERIFY_THROWS_EXCEPTION(UserError, book.receipts().post());
    // The refused edit is dropped and the receipts read again: none is left.
    QCOMPARE(book.receipts().rowCount(), 0);
    QVERIFY(!book.receipts().hasChanges());
    QVERIFY_THROWS_EXCEPTION(UserError, book.addReceipt());
    QVERIFY_THROWS_EXCEPTION(UserError, book.renewDeposit());
    QVERIFY(!book.buildLines());
    QVERIFY_THROWS_EXCEPTION(UserError, book.addLine());
    for (const char* table : {"Receipt_Head", "Receipt_Detail", "Quotation_Detail", "Quotation_Sum"}) {
        QCOMPARE(count(db, QString("select count(*) from %1").arg(table)), 0);
    }
}

// A receipt takes the quotation's remark and a line the goods' name, each
// cut to what the receipt's columns hold, on both engines.
void TestReceipts::longRemarksAndNamesAreCut() {
    Book b;
    Database& db = b.db();
    const QString longName = QString(60, QChar(0x9501));  // 锁 x 60
    addGoods(db, "L", longName, QString(60, 'x'));
    QuotationDocument doc(db, b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::New);
    doc.head().setValue("Remark", QString(55, QChar(0x6b3e)) + "'%_");
    doc.addGoods({"L"});
    QVERIFY(doc.save());
    ReceiptBook book(db, b.clock, b.prompter, "a");
    book.open(doc.billNo());
    QCOMPARE(book.lines().rowCount(), 1);
    QCOMPARE(book.lines().value("GoodsClassName").toString(), longName.left(50));
    QCOMPARE(book.lines().value("GoodsClassSize").toString(), QString(50, 'x'));
    book.addReceipt();
    QCOMPARE(book.receipts().value("remark").toString(), QString(50, QChar(0x6b3e)));
    // The new receipt's amount is typed and written like any other.
    book.receipts().setValue("TotalPrice", 300);
    book.receipts().post();
    QCOMPARE(count(db, "select count(*) from Receipt_Head where TotalPrice=300"), 1);
}

QTEST_GUILESS_MAIN(TestReceipts)
#include "test_receipts.moc"
