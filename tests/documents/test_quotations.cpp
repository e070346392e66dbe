#include <QRandomGenerator>
#include <QSqlRecord>
#include <QTest>

#include "data/dataset.h"
#include "data/schema_installer.h"
#include "document_fixture.h"
#include "documents/delivery_date.h"
#include "documents/quotation_document.h"
#include "documents/quotation_list.h"
#include "platform/errors.h"

using namespace DocumentFixture;

// Editing, saving and listing quotations, and the totals the list reads,
// on both engines.
class TestQuotations : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void newQuotationTakesItsNumberAndDefaults();
    void addingGoodsSkipsPresentGoodsAndNumbersPositions();
    void lineAmounts_data();
    void lineAmounts();
    void lettersInAnAmountAreRefusedAndTheLineKept();
    void validationSpeaksInItsOrder();
    void headAndLinesAreSavedWholeOrNotAtAll();
    void unsavedChangesAnswers();
    void movingLines();
    void copyTakesTheCustomerButNoLinesOrAmounts();
    void choosingACustomerFillsWhatIsEmpty();
    void quotationDeletedElsewhereIsNotSavedHalf();
    void saveOverAnotherWorkstationsSaveIsRefused_data();
    void saveOverAnotherWorkstationsSaveIsRefused();
    void hostileTextIsKeptAsTyped();
    void deleteTakesEverythingOfTheQuotationInOneTransaction();
    void inForceFollowsOnReceipts();
    void totalsNeverDriftFromLinesAndReceipts();
    void olderBookGetsItsTotalsComputed();
    void listAmountsToTheCent_data();
    void listAmountsToTheCent();
    void bookOfVersionTwoLosesTheGoodsIndex();
    void aSaveTheCallerRollsBackStaysUnsaved();
    void theListEndsWithTheNewestAfterEdits();
    void bookOfVersionThreeKeepsFreightBesideTheTotals();

private:
    // A stored quotation with lines for goods G1..Gn (quantity i, price i).
    static QString storedQuotation(Book& b, int lines);
};

QString TestQuotations::storedQuotation(Book& b, int lines) {
    QStringList codes;
    for (int i = 1; i <= lines; ++i) {
        const QString code = QString("G%1").arg(i);
        if (count(b.db(), "select count(*) from goods where code=:c", {{"c", code}}) == 0) {
            addGoods(b.db(), code, QString("货品%1").arg(i), "S", "UN001", i, double(i), double(i * i), 0.5);
        }
        codes.append(code);
    }
    QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::New);
    doc.addGoods(codes);
    if (!doc.save()) {
        qFatal("the quotation was not saved: %s", qPrintable(b.prompter.lastText()));
    }
    return doc.billNo();
}

void TestQuotations::newQuotationTakesItsNumberAndDefaults() {
    Book b;
    QuotationDocument doc(b.db(), b.clock, b.prompter, "张三");
    doc.load(QuotationDocument::New);
    QCOMPARE(doc.billNo(), QString("BJ0606250001"));
    Dataset& h = doc.head();
    QCOMPARE(h.value("Order_Date").toDate(), QDate(2006, 6, 25));
    QCOMPARE(h.value("Keyin_Date").toDate(), QDate(2006, 6, 25));
    QCOMPARE(h.value("Send_Date").toDate(), QDate(2006, 7, 2));
    QCOMPARE(h.value("Keyin_User").toString(), QString("张三"));
    QCOMPARE(h.value("state").toInt(), 1);
    QVERIFY(!h.value("ClientNo").isNull());
    QVERIFY(doc.isModified());
    QVERIFY(!doc.isStored());
    // The number is issued when the quotation starts: the next one follows
    // even though this one is never saved.
    QuotationDocument second(b.db(), b.clock, b.prompter, "张三");
    second.load(QuotationDocument::New);
    QCOMPARE(second.billNo(), QString("BJ0606250002"));
    QCOMPARE(count(b.db(), "select count(*) from Quotation_Head"), 0);
}

void TestQuotations::addingGoodsSkipsPresentGoodsAndNumbersPositions() {
    Book b;
    addGoods(b.db(), "X", "甲", "S", "UN001", 10, 2.5, 24.0, 1.0);
    addGoods(b.db(), "Y", "乙", "S", "UN001", 2.6, 3.0, 6.0, 1.0);
    QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::New);
    QCOMPARE(doc.addGoods({"X"}), 1);
    QVERIFY(doc.save());
    QCOMPARE(doc.addGoods({"X", "gone", "Y"}), 1);
    QVERIFY(b.prompter.lastText().contains("gone"));
    Dataset& l = doc.lines();
    QCOMPARE(l.rowCount(), 2);
    QCOMPARE(l.value(1, "GoodsNo").toString(), QString("Y"));
    QCOMPARE(l.value(1, "SortNo").toInt(), 2);
    QCOMPARE(l.value(0, "SortNo").toInt(), 1);
    // The goods' own amount stands, and the profit is taken from it.
    QCOMPARE(l.value(0, "QTY").toDouble(), 10.0);
    QCOMPARE(l.value(0, "Price").toDouble(), 2.5);
    QCOMPARE(l.value(0, "Total_Price").toDouble(), 24.0);
    QCOMPARE(l.value(0, "Gain_Money").toDouble(), 14.0);
    QCOMPARE(l.value(1, "QTY").toDouble(), 3.0);  // a whole number
    QVERIFY(doc.save());
    QCOMPARE(count(b.db(), "select count(*) from Quotation_Detail where HeadNo=:h", {{"h", doc.billNo()}}), 2);
    // Changing the quantity of the X line recomputes it from the price.
    l.setCurrentRow(0);
    l.setValue("QTY", 12);
    QCOMPARE(l.value("Total_Price").toDouble(), 30.0);
}

void TestQuotations::lineAmounts_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<double>("total");
    QTest::addColumn<QVariant>("gain");
    // The line starts at quantity 3, price 4.00, purchase price 2.00 and
    // the goods' own amount 99.00.
    QTest::newRow("price") << "Price" << QVariant(4.10) << 12.30 << QVariant(6.30);
    QTest::newRow("quantity") << "QTY" << QVariant(5) << 20.0 << QVariant(10.0);
    QTest::newRow("name in any case") << "qty" << QVariant(5) << 20.0 << QVariant(10.0);
    QTest::newRow("purchase price") << "purchase_Price" << QVariant(1.5) << 12.0 << QVariant(7.5);
    QTest::newRow("fractional quantity") << "QTY" << QVariant(1.25) << 5.0 << QVariant(2.5);
    QTest::newRow("price with more decimals") << "Price" << QVariant(4.105) << 12.33 << QVariant(6.33);
    QTest::newRow("typed amount wins, the profit follows") << "Total_Price" << QVariant(10.0) << 10.0 << QVariant(4.0);
}

void TestQuotations::lineAmounts() {
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(double, total);
    QFETCH(QVariant, gain);
    Book b;
    addGoods(b.db(), "X", "甲", "S", "UN001", 3, 4.0, 99.0, 2.0);
    QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::New);
    doc.addGoods({"X"});
    Dataset& l = doc.lines();
    l.setCurrentRow(0);
    l.setValue(field, value);
    QCOMPARE(l.value("Total_Price").toDouble(), total);
    QCOMPARE(l.value("Gain_Money").toDouble(), gain.toDouble());
    l.post();
    QVERIFY(doc.save());
    QCOMPARE(b.db().scalar("select Total_Price from Quotation_Detail").toDouble(), total);
}

void TestQuotations::lettersInAnAmountAreRefusedAndTheLineKept() {
    Book b;
    addGoods(b.db(), "X", "甲", "S", "UN001", 3, 4.10, 12.3, 2.0);
    QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::New);
    doc.addGoods({"X"});
    Dataset& l = doc.lines();
    l.setCurrentRow(0);
    QVERIFY_THROWS_EXCEPTION(std::exception, l.setValue("QTY", "3x"));
    QCOMPARE(l.value("QTY").toDouble(), 3.0);
    QCOMPARE(l.value("Total_Price").toDouble(), 12.3);
}

void TestQuotations::validationSpeaksInItsOrder() {
    Book b;
    addGoods(b.db(), "X", "甲");
    b.db().query("insert into Client (Corp_code, Linkman_name) values ('00001', '王')");
    QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::New);
    doc.head().setValue("Send_Date", QVariant());
    QVERIFY(!doc.save());
    QCOMPARE(b.prompter.lastText(), QString("请填写[交货日期]"));
    doc.head().setValue("Send_Date", QDate(2006, 7, 1).startOfDay());
    QVERIFY(!doc.save());
    QCOMPARE(b.prompter.lastText(), QString("请为该收据添加货品"));
    doc.addGoods({"X"});
    doc.lines().append();
    doc.lines().post();
    QVERIFY(!doc.save());
    QCOMPARE(b.prompter.lastText(), QString("请填写商品明细的[货品编号]"));
    doc.deleteLines({1});
    // A customer chosen here and deleted meanwhile.
    doc.head().setValue("ClientNo", "00001");
    b.db().query("delete from Client");
    QVERIFY(!doc.save());
    QVERIFY(b.prompter.lastText().contains("00001"));
    QCOMPARE(count(b.db(), "select count(*) from Quotation_Head"), 0);
    QCOMPARE(count(b.db(), "select count(*) from Quotation_Detail"), 0);
    doc.head().setValue("ClientNo", QVariant());
    QVERIFY(doc.save());
    QCOMPARE(b.db().scalar("select ClientNo from Quotation_Head").toString(), QString(""));
    QVERIFY(!b.db().scalar("select ClientNo from Quotation_Head").isNull());
    QCOMPARE(doc.mode(), int(QuotationDocument::Existing));

    // Goods deleted from the catalogue since they were added: the user is
    // told and decides; No leaves the edits unsaved.
    doc.lines().setCurrentRow(0);
    doc.lines().setValue("QTY", 4);
    doc.lines().post();
    b.db().query("delete from goods where code='X'");
    b.prompter.setNextAnswer(false);
    QVERIFY(!doc.save());
    QVERIFY(b.prompter.lastText().contains("货品[X]已不存在"));
    QVERIFY(doc.isModified());
    QVERIFY(b.db().scalar("select QTY from Quotation_Detail").toDouble() != 4);
    b.prompter.setNextAnswer(true);
    QVERIFY(doc.save());
    QCOMPARE(b.db().scalar("select QTY from Quotation_Detail").toDouble(), 4.0);

    // A delivery date before the order date is asked about when it is set
    // (before the editors save); a saved one is not asked about again.
    doc.head().setValue("Send_Date", QDate(2006, 6, 1).startOfDay());
    b.prompter.setNextAnswer(false);
    QVERIFY(!confirmDeliveryDate(doc.head(), false, b.prompter));
    QCOMPARE(b.prompter.lastText(), QString("交货日期早于订货日期，是否继续？"));
    b.prompter.setNextAnswers({true, true});  // the date, then the goods gone
    QVERIFY(confirmDeliveryDate(doc.head(), false, b.prompter));
    QVERIFY(doc.save());
    doc.head().setValue("Remark", "再存");
    QVERIFY(confirmDeliveryDate(doc.head(), false, b.prompter));
    QCOMPARE(b.prompter.pendingAnswers(), 0);
}

void TestQuotations::headAndLinesAreSavedWholeOrNotAtAll() {
    Book b;
    for (const char* c : {"A", "B", "C"}) {
        addGoods(b.db(), c, c);
    }
    failWhen(b.db(), "Quotation_Detail", "INSERT", "NEW.GoodsNo = 'C'");
    QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::New);
    doc.head().setValue("Rummery", "海景酒楼");
    doc.addGoods({"A", "B", "C"});
    QVERIFY_THROWS_EXCEPTION(DbError, doc.save());
    QCOMPARE(count(b.db(), "select count(*) from Quotation_Head"), 0);
    QCOMPARE(count(b.db(), "select count(*) from Quotation_Detail"), 0);
    QCOMPARE(count(b.db(), "select count(*) from Quotation_Sum"), 0);
    // Every edit is still there to save again.
    QVERIFY(doc.isModified());
    QCOMPARE(doc.lines().rowCount(), 3);
    QCOMPARE(doc.head().value("Rummery").toString(), QString("海景酒楼"));
    stopFailing(b.db(), "Quotation_Detail");
    QVERIFY(doc.save());
    QCOMPARE(count(b.db(), "select count(*) from Quotation_Detail"), 3);
    QCOMPARE(b.db().scalar("select Rummery from Quotation_Head").toString(), QString("海景酒楼"));
    QVERIFY(!doc.isModified());
}

void TestQuotations::unsavedChangesAnswers() {
    Book b;
    const QString no = storedQuotation(b, 2);
    {
        // No: the stored quotation comes back, and the caller goes on.
        QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
        doc.load(QuotationDocument::Existing, no);
        QVERIFY(!doc.isModified());
        QVERIFY(doc.settleChanges());  // nothing to ask
        doc.head().setValue("Rummery", "改过");
        doc.deleteLines({0});
        b.prompter.setNextAnswer(false);
        QVERIFY(doc.settleChanges());
        QCOMPARE(b.prompter.lastText(), QuotationDocument::unsavedQuestion());
        QCOMPARE(doc.lines().rowCount(), 2);
        QVERIFY(doc.head().value("Rummery").toString().isEmpty());
        QVERIFY(!doc.isModified());
    }
    {
        // Yes with a fault: the message, and the window keeps its data.
        QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
        doc.load(QuotationDocument::Existing, no);
        doc.head().setValue("Send_Date", QVariant());
        doc.head().setValue("Rummery", "改过");
        b.prompter.setNextAnswer(true);
        QVERIFY(!doc.settleChanges());
        QCOMPARE(b.prompter.lastText(), QString("请填写[交货日期]"));
        QCOMPARE(doc.head().value("Rummery").toString(), QString("改过"));
        QVERIFY(doc.isModified());
        // Yes with the fault mended saves; a save refused by its caller's
        // check stops the caller.
        doc.head().setValue("Send_Date", QDate(2006, 8, 1).startOfDay());
        b.prompter.setNextAnswer(true);
        QVERIFY(!doc.settleChanges([] { return false; }));
        QVERIFY(doc.isModified());
        b.prompter.setNextAnswer(true);
        QVERIFY(doc.settleChanges());
        QCOMPARE(b.db().scalar("select Rummery from Quotation_Head").toString(), QString("改过"));
    }
    {
        // No on a quotation never saved leaves nothing behind.
        QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
        doc.load(QuotationDocument::New);
        b.prompter.setNextAnswer(false);
        QVERIFY(doc.settleChanges());
        QVERIFY(!doc.isStored());
        QVERIFY(!doc.isModified());
        QCOMPARE(count(b.db(), "select count(*) from Quotation_Head"), 1);
    }
    QCOMPARE(b.prompter.pendingAnswers(), 0);
}

void TestQuotations::movingLines() {
    Book b;
    const QString no = storedQuotation(b, 3);
    QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::Existing, no);
    Dataset& l = doc.lines();
    QVERIFY(!doc.moveLineUp(0));
    QVERIFY(!doc.moveLineDown(2));
    QVERIFY(!doc.isModified());
    QVERIFY(!doc.moveLineUp(-1));
    QCOMPARE(b.prompter.lastText(), QString("请选择商品"));
    QVERIFY(doc.moveLineUp(1));
    QCOMPARE(l.value(1, "GoodsNo").toString(), QString("G2"));  // rows stay
    QCOMPARE(l.value(1, "SortNo").toInt(), 1);
    QCOMPARE(l.value(0, "SortNo").toInt(), 2);
    QCOMPARE(l.value(2, "SortNo").toInt(), 3);
    // G1 is second in print order now: down makes it last.
    QVERIFY(doc.moveLineDown(0));
    QCOMPARE(doc.printOrder(), (QList<int>{1, 2, 0}));
    QVERIFY(!doc.moveLineDown(0));
    QVERIFY(!doc.moveLineUp(1));
    QVERIFY(doc.isModified());
    QVERIFY(doc.save());
    QCOMPARE(
        b.db().scalar("select GoodsNo from Quotation_Detail where HeadNo=:h order by SortNo", {{"h", no}}).toString(),
        QString("G2"));
    QCOMPARE(b.db().scalar("select SortNo from Quotation_Detail where GoodsNo='G3'").toInt(), 2);

    // Positions shared or missing (older books) become 1..n on a move.
    b.db().query("update Quotation_Detail set SortNo=5 where GoodsNo<>'G3'");
    b.db().query("update Quotation_Detail set SortNo=null where GoodsNo='G3'");
    QuotationDocument again(b.db(), b.clock, b.prompter, "admin");
    again.load(QuotationDocument::Existing, no);
    const QList<int> before = again.printOrder();
    QVERIFY(again.moveLineUp(before[1]));
    QVERIFY(again.save());
    QCOMPARE(count(b.db(), "select count(distinct SortNo) from Quotation_Detail where HeadNo=:h", {{"h", no}}), 3);
    QCOMPARE(count(b.db(), "select max(SortNo) from Quotation_Detail where HeadNo=:h", {{"h", no}}), 3);
    // G3 (no position) came first, G1 moved up before it.
    QCOMPARE(b.db().scalar("select SortNo from Quotation_Detail where GoodsNo='G1'").toInt(), 1);
    QCOMPARE(b.db().scalar("select SortNo from Quotation_Detail where GoodsNo='G3'").toInt(), 2);
}

void TestQuotations::copyTakesTheCustomerButNoLinesOrAmounts() {
    Book b;
    const QString source = storedQuotation(b, 2);
    b.db().query("insert into Client (Corp_code, Linkman_name) values ('00007', '李')");
    b.db().query(
        "update Quotation_Head set ClientNo='00007', Add_ClientName='李先生', Rummery='海景', Country='中国', "
        "telephon='123', Remark='老客户', Freight=80, earnest=500, preferential=5");
    QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::Copy, source);
    QVERIFY(doc.billNo() != source);
    const Dataset& h = doc.head();
    QCOMPARE(h.value("ClientNo").toString(), QString("00007"));
    QCOMPARE(h.value("Add_ClientName").toString(), QString("李先生"));
    QCOMPARE(h.value("Rummery").toString(), QString("海景"));
    QCOMPARE(h.value("Country").toString(), QString("中国"));
    QCOMPARE(h.value("telephon").toString(), QString("123"));
    QCOMPARE(h.value("Remark").toString(), QString("老客户"));
    QVERIFY(h.value("Freight").isNull());
    QVERIFY(h.value("earnest").isNull());
    QVERIFY(h.value("preferential").isNull());
    QCOMPARE(doc.lines().rowCount(), 0);
}

void TestQuotations::choosingACustomerFillsWhatIsEmpty() {
    Book b;
    b.db().execute(
        "insert into Client (Corp_code, Linkman_name, Corp_name, Linkman_country, LinkMan_mobile, LinkMan_Telephone) "
        "values ('00001', '张芳', '海景酒楼', '阿联酋', '', '+971-4-1234567')");
    QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::New);
    doc.head().setValue("Country", "迪拜");  // typed: it stays
    doc.chooseCustomer("00001");
    QCOMPARE(doc.head().value("ClientNo").toString(), QString("00001"));
    QCOMPARE(doc.head().value("Add_ClientName").toString(), QString("张芳"));
    QCOMPARE(doc.head().value("Rummery").toString(), QString("海景酒楼"));
    QCOMPARE(doc.head().value("Country").toString(), QString("迪拜"));
    QCOMPARE(doc.head().value("telephon").toString(), QString("+971-4-1234567"));
    // The customer set as the drop-down or a file sets it fills the same.
    QuotationDocument other(b.db(), b.clock, b.prompter, "admin");
    other.load(QuotationDocument::New);
    other.head().setValue("ClientNo", "00001");
    QCOMPARE(other.head().value("Add_ClientName").toString(), QString("张芳"));
    QCOMPARE(other.head().value("Country").toString(), QString("阿联酋"));
}

void TestQuotations::quotationDeletedElsewhereIsNotSavedHalf() {
    Book b;
    const QString no = storedQuotation(b, 1);
    addGoods(b.db(), "N", "新");
    QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::Existing, no);
    QuotationList(b.db(), b.prompter).removeNow({no});
    doc.addGoods({"N"});
    QVERIFY_THROWS_EXCEPTION(UserError, doc.save());
    QCOMPARE(count(b.db(), "select count(*) from Quotation_Detail"), 0);
    QCOMPARE(doc.lines().rowCount(), 2);
    QVERIFY_THROWS_EXCEPTION(UserError,
                             QuotationDocument(b.db(), b.clock, b.prompter, "a").load(QuotationDocument::Existing, no));
}

namespace {
// One workstation's edit of a stored quotation with two lines.
void editQuotation(QuotationDocument& doc, const QString& edit) {
    if (edit == "earnest") {
        doc.head().setValue("earnest", doc.head().value("earnest").toDouble() + 11111);
    } else if (edit == "qty" || edit == "price") {
        doc.lines().setCurrentRow(0);
        doc.lines().setValue(edit == "qty" ? "QTY" : "Price", edit == "qty" ? 10 : 400);
        doc.lines().post();
    } else if (edit == "delete") {
        QVERIFY(doc.deleteLines({0}));
    } else if (edit == "add") {
        QCOMPARE(doc.addGoods({"N"}), 1);
    }
}

QString storedLines(Database& db, const QString& no) {
    QStringList out;
    QSqlQuery q = db.query("select GoodsNo, QTY, Price, Total_Price from Quotation_Detail where HeadNo=:b order by id",
                           {{"b", no}});
    while (q.next()) {
        out.append(QString("%1 %2×%3=%4")
                       .arg(q.value(0).toString())
                       .arg(q.value(1).toDouble())
                       .arg(q.value(2).toDouble())
                       .arg(q.value(3).toDouble()));
    }
    return out.join("; ") + " | " +
           db.scalar("select earnest from Quotation_Head where BillNo=:b", {{"b", no}}).toString();
}
}  // namespace

void TestQuotations::saveOverAnotherWorkstationsSaveIsRefused_data() {
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<QString>("ours");
    QTest::newRow("the same head field") << "earnest"
                                         << "earnest";
    QTest::newRow("quantity there, price here") << "qty"
                                                << "price";
    QTest::newRow("line deleted there") << "delete"
                                        << "price";
    QTest::newRow("line added on both") << "add"
                                        << "add";
    QTest::newRow("head there, line here") << "earnest"
                                           << "qty";
}

void TestQuotations::saveOverAnotherWorkstationsSaveIsRefused() {
    QFETCH(QString, theirs);
    QFETCH(QString, ours);
    Book b;
    const QString no = storedQuotation(b, 2);
    addGoods(b.db(), "N", "新");
    std::unique_ptr<Database> second = b.book.connectAgain();
    ScriptedPrompter secondPrompter;
    QuotationDocument there(*second, b.clock, secondPrompter, "乙");
    there.load(QuotationDocument::Existing, no);
    QuotationDocument here(b.db(), b.clock, b.prompter, "甲");
    here.load(QuotationDocument::Existing, no);

    editQuotation(there, theirs);
    QVERIFY(there.save());
    const QString saved = storedLines(b.db(), no);
    editQuotation(here, ours);
    const int linesHere = here.lines().rowCount();
    // No keeps the edits; nothing of them is written.
    b.prompter.setNextAnswer(false);
    QVERIFY(!here.save());
    QVERIFY2(b.prompter.lastText().contains(QString("订货单[%1]已被其他用户修改，您的修改没有保存").arg(no)),
             qPrintable(b.prompter.lastText()));
    QCOMPARE(storedLines(b.db(), no), saved);
    QVERIFY(here.isModified());
    QCOMPARE(here.lines().rowCount(), linesHere);
    QCOMPARE(drifted(b.db()), QStringList());
    // Yes reads the quotation again as the other workstation saved it; then
    // the edit can be made and saved over it.
    b.prompter.setNextAnswer(true);
    QVERIFY(!here.save());
    QVERIFY(!here.isModified());
    QCOMPARE(storedLines(b.db(), no), saved);
    QCOMPARE(here.lines().rowCount(), there.lines().rowCount());
    QCOMPARE(here.head().value("earnest"), there.head().value("earnest"));
    if (ours != "add" || theirs != "add") {
        editQuotation(here, ours);
        QVERIFY(here.save());
        QVERIFY(storedLines(b.db(), no) != saved);
    }
}

void TestQuotations::hostileTextIsKeptAsTyped() {
    Book b;
    const QString hostile = "x'); delete from Quotation_Head; --%_";
    addGoods(b.db(), "X", "甲");
    QuotationDocument doc(b.db(), b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::New);
    doc.head().setValue("Add_ClientName", hostile.left(50));
    doc.head().setValue("Remark", hostile);
    doc.addGoods({"X"});
    doc.lines().setCurrentRow(0);
    doc.lines().setValue("Remark", hostile);
    QVERIFY(doc.save());
    QCOMPARE(b.db().scalar("select Remark from Quotation_Head").toString(), hostile);
    QCOMPARE(b.db().scalar("select Remark from Quotation_Detail").toString(), hostile);
    // Copying from a number that looks like a statement copies nothing.
    QuotationDocument copy(b.db(), b.clock, b.prompter, "admin");
    copy.load(QuotationDocument::Copy, "' or '1'='1");
    QVERIFY(copy.head().value("Remark").isNull());
    QCOMPARE(count(b.db(), "select count(*) from Quotation_Head"), 1);
}

void TestQuotations::deleteTakesEverythingOfTheQuotationInOneTransaction() {
    Book b;
    const QString keep = storedQuotation(b, 2);
    const QString gone = storedQuotation(b, 3);
    Database& db = b.db();
    for (const QString& no : {keep, gone}) {
        db.query("insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType) values (:q, :b, 10, 0)",
                 {{"q", no}, {"b", "AA" + no}});
        db.query("insert into Receipt_Detail (HeadNo, GoodsClassName, QTY) values (:q, 'x', 1)", {{"q", no}});
    }
    QuotationList list(db, b.prompter);
    list.open();
    QCOMPARE(list.rows().rowCount(), 2);
    QVERIFY(!list.remove({}));
    QCOMPARE(b.prompter.lastText(), QString("请选择记录"));
    b.prompter.setNextAnswer(false);
    QVERIFY(!list.remove({gone}));
    QCOMPARE(count(db, "select count(*) from Quotation_Head"), 2);

    // A failure at the last statement leaves every row where it was.
    failWhen(db, "Quotation_Head", "DELETE", "OLD.BillNo = '" + gone + "'");
    b.prompter.setNextAnswer(true);
    QVERIFY_THROWS_EXCEPTION(DbError, list.remove({gone}));
    QCOMPARE(count(db, "select count(*) from Quotation_Detail where HeadNo=:h", {{"h", gone}}), 3);
    QCOMPARE(count(db, "select count(*) from Receipt_Head where QuotationNo=:h", {{"h", gone}}), 1);
    QCOMPARE(count(db, "select count(*) from Receipt_Detail where HeadNo=:h", {{"h", gone}}), 1);
    stopFailing(db, "Quotation_Head");

    b.prompter.setNextAnswer(true);
    QVERIFY(list.remove({gone}));
    for (const char* sql : {"select count(*) from Quotation_Head where BillNo=:h",
                            "select count(*) from Quotation_Detail where HeadNo=:h",
                            "select count(*) from Receipt_Head where QuotationNo=:h",
                            "select count(*) from Receipt_Detail where HeadNo=:h",
                            "select count(*) from Quotation_Sum where BillNo=:h"}) {
        QCOMPARE(count(db, sql, {{"h", gone}}), 0);
        QCOMPARE(count(db, sql, {{"h", keep}}), 1 + (QString(sql).contains("Quotation_Detail") ? 1 : 0));
    }
    list.refresh();
    QCOMPARE(list.rows().rowCount(), 1);
    QVERIFY(drifted(db).isEmpty());
}

void TestQuotations::inForceFollowsOnReceipts() {
    Book b;
    const QString no = storedQuotation(b, 1);
    const QString other = storedQuotation(b, 1);
    Database& db = b.db();
    for (const QString& q : {no, no, other}) {
        static int n = 0;
        db.query("insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, state) values (:q, :b, 1, 1, 1)",
                 {{"q", q}, {"b", QString("R%1").arg(++n)}});
    }
    QuotationList list(db, b.prompter);
    QVERIFY(!list.setInForce({}, false));
    QCOMPARE(b.prompter.lastText(), QString("请选择记录"));
    QVERIFY(list.setInForce(no, false));
    QCOMPARE(count(db, "select count(*) from Receipt_Head where state=0"), 2);
    QCOMPARE(count(db, "select count(*) from Quotation_Head where state=0"), 1);
    list.open();
    QVERIFY(list.rows().locate("BillNo", no));
    QCOMPARE(list.rows().value("state_desc").toString(), QString("失效"));
    QVERIFY(list.setInForce(no, true));
    QCOMPARE(count(db, "select count(*) from Receipt_Head where state=1"), 3);
    QCOMPARE(count(db, "select count(*) from Quotation_Head where state=1"), 2);
}

void TestQuotations::totalsNeverDriftFromLinesAndReceipts() {
    Book b;
    Database& db = b.db();
    QStringList numbers;
    for (int i = 0; i < 4; ++i) {
        numbers.append(storedQuotation(b, 3 + i));
    }
    QVERIFY(drifted(db).isEmpty());
    QRandomGenerator rng(42);
    // Every kind of write the program and other tools make, in any order.
    for (int step = 0; step < 200; ++step) {
        const QString no = numbers[rng.bounded(numbers.size())];
        const double amount = rng.bounded(100000) / 100.0;
        switch (rng.bounded(11)) {
            case 8:
                db.query("update Quotation_Head set Freight=:f, preferential=:d where BillNo=:h",
                         {{"f", rng.bounded(3) ? QVariant(amount) : QVariant()},
                          {"d", rng.bounded(2) ? QVariant(qRound64(amount * 10) / 100.0) : QVariant()},
                          {"h", no}});
                break;
            case 9: {
                // A head goes, and comes back under the same number, with its
                // lines and receipts left where they were.
                const QVariantMap key{{"h", no}};
                if (rng.bounded(2)) {
                    db.query("delete from Quotation_Head where BillNo=:h", key);
                }
                db.query(
                    "insert into Quotation_Head (BillNo, Freight) select :h, 3.5 where not exists "
                    "(select 1 from Quotation_Head where BillNo=:h)",
                    key);
                break;
            }
            case 10: {
                // Renumbered and back again.
                db.query("update Quotation_Head set BillNo='TMP' where BillNo=:h", {{"h", no}});
                if (rng.bounded(4)) {
                    db.query("update Quotation_Head set BillNo=:h where BillNo='TMP'", {{"h", no}});
                } else {
                    QVERIFY(drifted(db).isEmpty());
                    db.query("update Quotation_Head set BillNo=:h, Freight=Freight+1 where BillNo='TMP'", {{"h", no}});
                }
                break;
            }
            case 0:
                db.query(
                    "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, "
                    "Gain_Money, SortNo) values (:h, 'G1', :q, :p, :t, :pp, :g, 9)",
                    {{"h", no},
                     {"q", rng.bounded(50) / 4.0},
                     {"p", amount},
                     {"t", amount * 2},
                     {"pp", qRound64(amount * 100 / 3.0) / 100.0},
                     {"g", rng.bounded(2) ? QVariant(qRound64(amount * 100 / 7.0) / 100.0) : QVariant()}});
                break;
            case 1:
                db.query(
                    "update Quotation_Detail set Total_Price=:t, QTY=:q where id in (select min(id) from "
                    "Quotation_Detail where HeadNo=:h)",
                    {{"t", amount}, {"q", rng.bounded(9)}, {"h", no}});
                break;
            case 2:
                db.query(
                    "delete from Quotation_Detail where id in (select max(id) from Quotation_Detail where "
                    "HeadNo=:h)",
                    {{"h", no}});
                break;
            case 3:
                db.query(
                    "update Quotation_Detail set HeadNo=:to where id in (select min(id) from Quotation_Detail "
                    "where HeadNo=:h)",
                    {{"to", numbers[rng.bounded(numbers.size())]}, {"h", no}});
                break;
            case 4:
                db.query("insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType) values (:q, :b, :t, 1)",
                         {{"q", rng.bounded(5) ? QVariant(no) : QVariant()},
                          {"b", QString("R%1").arg(step)},
                          {"t", qRound(amount)}});
                break;
            case 5:
                db.query(
                    "update Receipt_Head set TotalPrice=:t where id in (select min(id) from Receipt_Head "
                    "where QuotationNo=:q)",
                    {{"t", rng.bounded(2) ? QVariant(qRound(amount)) : QVariant()}, {"q", no}});
                break;
            case 6:
                db.query(
                    "update Receipt_Head set QuotationNo=:to where id in (select max(id) from Receipt_Head "
                    "where QuotationNo=:q)",
                    {{"to", numbers[rng.bounded(numbers.size())]}, {"q", no}});
                break;
            default:
                db.query(
                    "delete from Receipt_Head where id in (select min(id) from Receipt_Head where "
                    "QuotationNo=:q)",
                    {{"q", no}});
                break;
        }
        // A transaction that rolls back takes its totals with it.
        if (step % 25 == 0) {
            WriteTransaction tx(db);
            db.query("delete from Quotation_Detail where HeadNo=:h", {{"h", no}});
        }
    }
    QCOMPARE(drifted(db), QStringList());
    // The list shows the amounts the lines and receipts add up to.
    QuotationList list(db, b.prompter);
    list.open();
    for (int r = 0; r < list.rows().rowCount(); ++r) {
        const QString no = list.rows().value(r, "BillNo").toString();
        const double goods =
            db.scalar("select ROUND(COALESCE(SUM(Total_Price), 0), 2) from Quotation_Detail where HeadNo=:h",
                      {{"h", no}})
                .toDouble();
        const double paid =
            db.scalar("select COALESCE(SUM(TotalPrice), 0) from Receipt_Head where QuotationNo=:h", {{"h", no}})
                .toDouble();
        const double freight =
            db.scalar("select COALESCE(Freight, 0) from Quotation_Head where BillNo=:h", {{"h", no}}).toDouble();
        const double discount =
            db.scalar("select COALESCE(preferential, 0) from Quotation_Head where BillNo=:h", {{"h", no}}).toDouble();
        const double gain =
            db.scalar("select ROUND(COALESCE(SUM(Gain_Money), 0), 2) from Quotation_Detail where HeadNo=:h",
                      {{"h", no}})
                .toDouble();
        const double receivable = qRound64((goods + freight - discount) * 100) / 100.0;
        const double outstanding = qRound64((goods + freight - discount - paid) * 100) / 100.0;
        QCOMPARE(list.rows().value(r, "sum_Goods_Price").toDouble(), goods);
        QCOMPARE(list.rows().value(r, "sum_payed_money").toDouble(), paid);
        QCOMPARE(list.rows().value(r, "Total_Price").toDouble(), receivable);
        QCOMPARE(list.rows().value(r, "total_Gain_Money").toDouble(), qRound64((gain - discount) * 100) / 100.0);
        QCOMPARE(list.rows().value(r, "Leave_money").toDouble(), outstanding);
        QCOMPARE(list.rows().value(r, "isPayAll").toString(), outstanding <= 0 ? QString("已付清") : QString("未付清"));
    }
}

void TestQuotations::olderBookGetsItsTotalsComputed() {
    Book b;
    Database& db = b.db();
    const QString no = storedQuotation(b, 3);
    db.query("insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType) values (:q, 'R1', 7, 0)",
             {{"q", no}});
    // A book of the version before: no totals table and no triggers.
    if (db.isAccess()) {
        for (const char* t : {"tr_quotation_detail_ins", "tr_quotation_detail_del", "tr_quotation_detail_upd",
                              "tr_receipt_head_ins", "tr_receipt_head_del", "tr_receipt_head_upd",
                              "tr_quotation_head_ins", "tr_quotation_head_del", "tr_quotation_head_upd"}) {
            db.query(QString("drop trigger %1").arg(t));
        }
    } else {
        db.query("drop trigger tr_quotation_detail_sum on Quotation_Detail");
        db.query("drop trigger tr_receipt_head_sum on Receipt_Head");
        db.query("drop trigger tr_quotation_head_sum on Quotation_Head");
    }
    db.query("drop view Query_Quotation_Head_list");
    db.query("drop table Quotation_Sum");
    db.query("update schema_version set version=1");
    db.forgetColumns();
    SchemaInstaller::ensureBook(db, false);
    QCOMPARE(SchemaInstaller::storedVersion(db), SchemaInstaller::kBookVersion);
    QCOMPARE(drifted(db), QStringList());
    QCOMPARE(db.scalar("select sum_payed_money from Query_Quotation_Head_list where BillNo=:b", {{"b", no}}).toInt(),
             7);
    // ... and the triggers work from then on.
    db.query("delete from Quotation_Detail where GoodsNo='G1'");
    QCOMPARE(drifted(db), QStringList());
    QCOMPARE(db.scalar("select sum_Goods_Price from Query_Quotation_Head_list where BillNo=:b", {{"b", no}}).toDouble(),
             13.0);
}

void TestQuotations::listAmountsToTheCent_data() {
    QTest::addColumn<QVariantList>("amounts");
    QTest::addColumn<double>("freight");
    QTest::addColumn<double>("discount");
    QTest::addColumn<int>("paid");
    QTest::addColumn<double>("outstanding");
    QTest::addColumn<QString>("mark");
    // 8030.22 + 180 - 0.22 - 8210 leaves 1.8e-12 in binary floating point.
    QTest::newRow("paid to the cent") << QVariantList{8030.22} << 180.0 << 0.22 << 8210 << 0.0 << "已付清";
    QTest::newRow("a cent short") << QVariantList{8030.22} << 180.0 << 0.21 << 8210 << 0.01 << "未付清";
    QTest::newRow("cents over several lines") << QVariantList{0.1, 0.2, 10.7} << 0.0 << 0.0 << 11 << 0.0 << "已付清";
    QTest::newRow("overpaid") << QVariantList{99.99} << 0.0 << 0.0 << 100 << -0.01 << "已付清";
}

// The list's amounts are exact to the cent whatever residue adding
// decimals leaves, and stay decimals when the first quotation's amounts
// are whole.
void TestQuotations::listAmountsToTheCent() {
    QFETCH(QVariantList, amounts);
    QFETCH(double, freight);
    QFETCH(double, discount);
    QFETCH(int, paid);
    QFETCH(double, outstanding);
    QFETCH(QString, mark);
    Book b;
    Database& db = b.db();
    const QString whole = storedQuotation(b, 2);  // amounts 1.00 and 4.00, listed first
    QuotationDocument doc(db, b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::New);
    doc.head().setValue("Freight", freight);
    doc.head().setValue("preferential", discount);
    for (int i = 0; i < amounts.size(); ++i) {
        const QString code = QString("M%1").arg(i);
        addGoods(db, code, "货");
        doc.addGoods({code});
        doc.lines().setCurrentRow(i);
        doc.lines().setValue("Total_Price", amounts[i]);
        doc.lines().post();
    }
    QVERIFY(doc.save());
    db.query("insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType) values (:q, 'R1', :t, 1)",
             {{"q", doc.billNo()}, {"t", paid}});
    QuotationList list(db, b.prompter);
    list.open();
    QVERIFY(list.rows().locate("BillNo", whole));
    QCOMPARE(list.rows().value("sum_Goods_Price").toDouble(), 5.0);
    QVERIFY(list.rows().locate("BillNo", doc.billNo()));
    double goods = 0;
    for (const QVariant& a : amounts) {
        goods += a.toDouble();
    }
    QCOMPARE(list.rows().value("sum_Goods_Price").toDouble(), qRound64(goods * 100) / 100.0);
    QCOMPARE(list.rows().value("Leave_money").toDouble(), outstanding);
    QCOMPARE(list.rows().value("isPayAll").toString(), mark);
    QCOMPARE(list.rows().value("Total_Price").toDouble(), qRound64((goods + freight - discount) * 100) / 100.0);
}

// A book of the version before keeps an index of lines by goods code that
// every saved line wrote; the upgrade drops it and renews the list.
void TestQuotations::bookOfVersionTwoLosesTheGoodsIndex() {
    Book b;
    Database& db = b.db();
    const QString indexes = db.isAccess()
                                ? "select count(*) from sqlite_master where type='index' and name=:n"
                                : "select count(*) from pg_indexes where schemaname=current_schema() and indexname=:n";
    QCOMPARE(count(db, indexes, {{"n", "ix_quotation_detail_goods"}}), 0);
    db.query("create index ix_quotation_detail_goods on Quotation_Detail (GoodsNo)");
    // The totals of that version: sums only, with a view reading them.
    db.query("drop view Query_Quotation_Head_list");
    if (db.isAccess()) {
        for (const char* t : {"tr_quotation_head_ins", "tr_quotation_head_del", "tr_quotation_head_upd"}) {
            db.query(QString("drop trigger %1").arg(t));
        }
    } else {
        db.query("drop trigger tr_quotation_head_sum on Quotation_Head");
    }
    db.query("drop table Quotation_Sum");
    db.query(
        "create table Quotation_Sum (BillNo varchar(20) not null primary key, sum_Goods numeric(18,2) not null "
        "default 0, sum_Gain numeric(18,2) not null default 0, sum_Cost numeric(18,4) not null default 0, "
        "sum_Paid numeric(18,2) not null default 0)");
    db.query(
        "create view Query_Quotation_Head_list as select h.*, t.sum_Goods from Quotation_Head h "
        "left join Quotation_Sum t on t.BillNo = h.BillNo");
    db.query("update schema_version set version=2");
    db.forgetColumns();
    SchemaInstaller::ensureBook(db, false);
    QCOMPARE(SchemaInstaller::storedVersion(db), SchemaInstaller::kBookVersion);
    QCOMPARE(count(db, indexes, {{"n", "ix_quotation_detail_goods"}}), 0);
    QCOMPARE(count(db, indexes, {{"n", "ix_quotation_detail_head"}}), 1);
    QVERIFY(db.query("select Leave_money from Query_Quotation_Head_list").record().indexOf("Leave_money") >= 0);
}

// Saved inside a caller's transaction that then rolls back: the quotation
// is still new and unsaved, and saving it again writes it.
void TestQuotations::aSaveTheCallerRollsBackStaysUnsaved() {
    Book b;
    Database& db = b.db();
    addGoods(db, "G1", "货");
    QuotationDocument doc(db, b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::New);
    doc.addGoods({"G1"});
    {
        WriteTransaction tx(db);
        QVERIFY(doc.save());
    }
    QCOMPARE(count(db, "select count(*) from Quotation_Head"), 0);
    QVERIFY(doc.isModified());
    QVERIFY(doc.save());
    QCOMPARE(count(db, "select count(*) from Quotation_Head where BillNo=:b", {{"b", doc.billNo()}}), 1);
    QCOMPARE(count(db, "select count(*) from Quotation_Detail where HeadNo=:b", {{"b", doc.billNo()}}), 1);
    QVERIFY(!doc.isModified());
}

// The list's last row is the newest quotation, also after an older one
// was edited (a server moves an updated row).
void TestQuotations::theListEndsWithTheNewestAfterEdits() {
    Book b;
    Database& db = b.db();
    const QString first = storedQuotation(b, 1);
    storedQuotation(b, 1);
    const QString newest = storedQuotation(b, 1);
    QuotationDocument doc(db, b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::Existing, first);
    doc.head().setValue("Remark", "改过");
    QVERIFY(doc.save());
    QuotationList list(db, b.prompter);
    list.open();
    QCOMPARE(list.rows().rowCount(), 3);
    QCOMPARE(list.rows().value(2, "BillNo").toString(), newest);
    QCOMPARE(list.rows().value(0, "BillNo").toString(), first);
}

// A book of the version before keeps only the sums of lines and receipts;
// the upgrade adds each head's freight and discount and computes the
// totals afresh, and from then on a changed freight shows in the list.
void TestQuotations::bookOfVersionThreeKeepsFreightBesideTheTotals() {
    Book b;
    Database& db = b.db();
    const QString no = storedQuotation(b, 2);  // goods 1.00 + 4.00
    db.query("update Quotation_Head set Freight=20, preferential=0.5 where BillNo=:b", {{"b", no}});
    // A head with neither lines nor receipts had no totals row before.
    db.query("insert into Quotation_Head (BillNo, Freight) values ('BARE', 12.5)");
    db.query("insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType) values (:q, 'R1', 7, 0)",
             {{"q", no}});
    db.query("drop view Query_Quotation_Head_list");
    if (db.isAccess()) {
        for (const char* t : {"tr_quotation_head_ins", "tr_quotation_head_del", "tr_quotation_head_upd"}) {
            db.query(QString("drop trigger %1").arg(t));
        }
    } else {
        db.query("drop trigger tr_quotation_head_sum on Quotation_Head");
    }
    db.query("drop table Quotation_Sum");
    db.query(
        "create table Quotation_Sum (BillNo varchar(20) not null primary key, sum_Goods numeric(18,2) not null "
        "default 0, sum_Gain numeric(18,2) not null default 0, sum_Cost numeric(18,4) not null default 0, "
        "sum_Paid numeric(18,2) not null default 0)");
    // Totals that went wrong somehow are put right as well.
    db.query("insert into Quotation_Sum (BillNo, sum_Goods, sum_Paid) values (:b, 99, 1)", {{"b", no}});
    db.query("create view Query_Quotation_Head_list as select h.* from Quotation_Head h");
    db.query("update schema_version set version=3");
    db.forgetColumns();
    SchemaInstaller::ensureBook(db, false);
    QCOMPARE(SchemaInstaller::storedVersion(db), SchemaInstaller::kBookVersion);
    QCOMPARE(drifted(db), QStringList());

    QuotationList list(db, b.prompter);
    list.open();
    QVERIFY(list.rows().locate("BillNo", "BARE"));
    QCOMPARE(list.rows().value("Total_Price").toDouble(), 12.5);
    QCOMPARE(list.rows().value("isPayAll").toString(), QString("未付清"));
    QVERIFY(list.rows().locate("BillNo", no));
    QCOMPARE(list.rows().value("sum_Goods_Price").toDouble(), 5.0);
    QCOMPARE(list.rows().value("Total_Price").toDouble(), 24.5);
    QCOMPARE(list.rows().value("Leave_money").toDouble(), 17.5);
    QCOMPARE(list.rows().value("isPayAll").toString(), QString("未付清"));

    // The editor's discount of the rest is in the list at once.
    QuotationDocument doc(db, b.clock, b.prompter, "admin");
    doc.load(QuotationDocument::Existing, no);
    doc.head().setValue("preferential", 18);
    QVERIFY(doc.save());
    list.refresh();
    QVERIFY(list.rows().locate("BillNo", no));
    QCOMPARE(list.rows().value("Total_Price").toDouble(), 7.0);
    QCOMPARE(list.rows().value("Leave_money").toDouble(), 0.0);
    QCOMPARE(list.rows().value("isPayAll").toString(), QString("已付清"));
    QCOMPARE(
        list.rows().value("total_Gain_Money").toDouble(),
        db.scalar("select ROUND(SUM(Gain_Money), 2) from Quotation_Detail where HeadNo=:b", {{"b", no}}).toDouble() -
            18);
    QVERIFY(drifted(db).isEmpty());
}

QTEST_GUILESS_MAIN(TestQuotations)
#include "test_quotations.moc"
