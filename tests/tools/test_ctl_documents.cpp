#include <QFile>
#include <QTest>

#include "data/data_module.h"
#include "documents/document_fixture.h"
#include "support/golden.h"
#include "tools/ctl_book.h"

// The quotation and receipt commands of olvendctl on both engines: a
// quotation from a file, the refusals of a file, the list row, the
// receipts, deleting, putting in and out of force, and the acting user's
// rights. The amounts, totals and receipts themselves are tested with
// QuotationDocument and ReceiptBook.
class TestCtlDocuments : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void newQuotationFromAFileAndShow();
    void refusalsWriteNothing();
    void receiptsDeleteAndState();
    void actingUserNeedsTheRights();
};

// Goods defaults first, then the line's fields as typed, a typed amount
// last (it wins, the profit follows it); the head's fields as typed. Shown
// as every column of the list's view as name=value, ordered and named as
// an embedded book's view has them on a server too; texts escaped, large
// amounts in positional notation.
void TestCtlDocuments::newQuotationFromAFileAndShow() {
    QuotationCtlBook p;
    p.db().query("insert into Client (Corp_code, Linkman_name) values ('00001', '王')");
    const QString path =
        p.file("q.json", R"({"ClientNo": "00001", "remark": "一行\n二行\t\\", "Freight": 123456789012.5,
        "Send_Date": "2006-07-01 09:05:07",
        "lines": [{"GoodsNo": "A", "QTY": 3, "Price": 12.5, "purchase_Price": 8, "Remark": "加急"},
                  {"GoodsNo": "B", "QTY": "2", "Price": 10, "Total_Price": 15}]})");
    QCOMPARE(p.run({"quotation", "new", path}), QString("$ quotation new <home>/q.json\nexit 0\n> BJ0606250001\n"));
    QCOMPARE(CtlBooks::dump(p.db(), "(select GoodsNo, Remark, SortNo from Quotation_Detail) l", "SortNo"),
             QStringList({"A|加急|1", "B|<null>|2"}));
    QCOMPARE(DocumentFixture::drifted(p.db()), QStringList());
    const CtlCall::Result shown = p.ctl({"quotation", "show", "BJ0606250001"});
    QCOMPARE(shown.err, QString());
    QCOMPARE(shown.code, 0);
    OLVEND_COMPARE_GOLDEN("tools/quotation_show.txt", shown.out);
}

// The refusals of a quotation file (what quotation and order files share is
// in the order command's table); the messages are in the golden file.
const QByteArray kRefusedFiles[] = {
    R"({"Remark": "x"})",
    R"({"lines": [{"GoodsNo": "A"}, {"GoodsNo": "NOPE"}]})",
    R"({"lines": [{"GoodsNo": "A"}, {"GoodsNo": "B", "QTY": "3x"}]})",
    R"({"Remark": "a\uZZZZ", "lines": [{"GoodsNo": "A"}]})",
    R"([{"GoodsNo": "A"}])",
    R"({"Foo": 1, "Bar": 2, "lines": [{"GoodsNo": "A"}]})",
    R"({"BillNo": "BJ1", "lines": [{"GoodsNo": "A"}]})",
    R"({"lines": [{"GoodsNo": "A", "Gain_Money": 1}]})",
    R"({"lines": [{"GoodsNo": "A"}, {"GoodsNo": "A", "QTY": 2}]})",
    R"({"lines": [{"QTY": 2}]})",
    R"({"ClientNo": "09999", "lines": [{"GoodsNo": "A"}]})",
};

// A refused file or command leaves the book as it was: no head, no line,
// no totals, no receipt, and no number drawn; the next good file takes the
// next number.
void TestCtlDocuments::refusalsWriteNothing() {
    QuotationCtlBook p;
    const QString no = p.sample();
    const QStringList before = p.state();
    QString log;
    for (const QByteArray& json : kRefusedFiles) {
        log += p.run({"quotation", "new", p.file("bad.json", json)});
    }
    log += p.runAll({"quotation show BJ0000000000", "quotation delete BJ0000000000", "quotation state BJ0000000000 0",
                     "quotation state " + no + " 2", "quotation state " + no, "receipts BJ0000000000",
                     "--user nobody receipts " + no});
    QCOMPARE(p.state(), before);
    OLVEND_COMPARE_GOLDEN("tools/quotation_refusals.txt", log);
    QCOMPARE(p.saved("quotation", R"({"lines": [{"GoodsNo": "A"}]})"), QString("BJ0606250002"));
}

// The receipts made the first time, and what putting out of force and
// deleting take along (QuotationList's, tested in test_quotation_totals):
// here the commands and their answers.
void TestCtlDocuments::receiptsDeleteAndState() {
    QuotationCtlBook p;
    p.db().query("update goods set Goods_name=:n where code in ('B', 'C')", {{"n", "合\t页"}});
    const QString keep = p.sample();
    const QString gone = p.sample();
    const CtlCall::Result r = p.ctl({"receipts", keep});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    OLVEND_COMPARE_GOLDEN("tools/receipts.txt", r.out);
    QCOMPARE(p.run({"quotation", "state", keep, "0"}) + p.run({"quotation", "delete", gone}),
             QString("$ quotation state %1 0\nexit 0\n$ quotation delete %2\nexit 0\n").arg(keep, gone));
    QVERIFY(p.ctl({"quotation", "show", keep}).out.contains("state_desc=失效\n", Qt::CaseInsensitive));
    QCOMPARE(CtlBooks::dump(p.db(), "(select BillNo, state from Quotation_Head) h"), QStringList{keep + "|0"});
    QCOMPARE(CtlBooks::dump(p.db(), "(select QuotationNo, state from Receipt_Head) h"), QStringList{keep + "|0"});
    QCOMPARE(p.ctl({"quotation", "state", keep, "1"}).code, 0);
    QCOMPARE(CtlBooks::dump(p.db(), "(select state from Quotation_Head union all select state from Receipt_Head) h"),
             QStringList({"1", "1"}));
}

// Every write runs as a user of the book and only with the rights the
// windows would check; costs and profits only with 查看成本利润: without it
// `quotation show` (with the right of 订货单管理, whose list it shows)
// leaves them out, a purchase price in a file and the purchase order are
// refused (the golden file: without the right, then with it).
void TestCtlDocuments::actingUserNeedsTheRights() {
    QuotationCtlBook p;
    const QString no = p.sample();
    const QStringList rights{"form_quotation_list/action_add", "form_quotation_edit/action_addgoods",
                             "form_quotation_edit/action_save"};
    const QString file = p.file("one.json", R"({"lines": [{"GoodsNo": "A"}]})");
    CtlCall::Result made;
    QCOMPARE(p.needsEach(rights, {"quotation", "new", file}, &made), QStringList());
    QCOMPARE(
        p.db().scalar("select Keyin_User from Quotation_Head where BillNo=:b", {{"b", made.out.trimmed()}}).toString(),
        QString("李四"));

    p.file("cost.json", R"({"lines": [{"GoodsNo": "A", "purchase_Price": 1}]})");
    const QStringList lines{"--user 李四 quotation show " + no, "--user 李四 quotation new <home>/cost.json",
                            "--user 李四 print purchase " + no + " --out <home>/p.pdf"};
    const QStringList seeing = rights + QStringList{"main_frm/action21", "form_quotation_list/action2"};
    p.grantClerk(seeing);
    QString log = p.runAll(lines);
    p.grantClerk(seeing + QStringList{"main_frm/action_viewcostprofit"});
    OLVEND_COMPARE_GOLDEN("tools/quotation_costs.txt", log + p.runAll(lines));
}

QTEST_MAIN(TestCtlDocuments)
#include "test_ctl_documents.moc"
