#include <QFile>
#include <QTest>

#include "data/data_module.h"
#include "documents/document_fixture.h"
#include "support/golden.h"
#include "tools/ctl_book.h"

// The refusals of a quotation file (those shared with order files: the order command's); messages in the golden file.
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

// The quotation and receipt commands of olvendctl on both engines (the rules: QuotationDocument's, ReceiptBook's).
class TestCtlDocuments : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    // Goods defaults, then the line's fields, a typed amount last (the profit follows it). Shown as the list view's
    // columns as name=value, named and ordered alike on both engines; texts escaped, large amounts positional.
    void newQuotationFromAFileAndShow() {
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
        QCOMPARE(shown.err + QString::number(shown.code), QString("0"));
        OLVEND_COMPARE_GOLDEN("tools/quotation_show.txt", shown.out);
    }
    // A refused file or command leaves the book as it was, no number drawn.
    void refusalsWriteNothing() {
        QuotationCtlBook p;
        const QString no = p.sample();
        const QStringList before = p.state();
        QString log;
        for (const QByteArray& json : kRefusedFiles) {
            log += p.run({"quotation", "new", p.file("bad.json", json)});
        }
        log += p.runAll({"quotation show BJ0000000000", "quotation delete BJ0000000000",
                         "quotation state BJ0000000000 0", "quotation state " + no + " 2", "quotation state " + no,
                         "receipts BJ0000000000", "--user nobody receipts " + no});
        QCOMPARE(p.state(), before);
        OLVEND_COMPARE_GOLDEN("tools/quotation_refusals.txt", log);
        QCOMPARE(p.saved("quotation", R"({"lines": [{"GoodsNo": "A"}]})"), QString("BJ0606250002"));
    }
    // The receipts made the first time; putting out of force and back, and deleting (what goes along:
    // test_quotation_totals).
    void receiptsDeleteAndState() {
        QuotationCtlBook p;
        p.db().query("update goods set Goods_name=:n where code in ('B', 'C')", {{"n", "合\t页"}});
        const QString keep = p.sample();
        const QString gone = p.sample();
        const CtlCall::Result r = p.ctl({"receipts", keep});
        QCOMPARE(r.err + QString::number(r.code), QString("0"));
        OLVEND_COMPARE_GOLDEN("tools/receipts.txt", r.out);
        QCOMPARE(p.run({"quotation", "state", keep, "0"}) + p.run({"quotation", "delete", gone}),
                 QString("$ quotation state %1 0\nexit 0\n$ quotation delete %2\nexit 0\n").arg(keep, gone));
        QCOMPARE(CtlBooks::dump(p.db(), "(select BillNo, state from Quotation_Head) h"), QStringList{keep + "|0"});
        QCOMPARE(p.ctl({"quotation", "state", keep, "1"}).code, 0);
        QCOMPARE(CtlBooks::dump(p.db(), "(select state from Quotation_Head) h"), QStringList{"1"});
    }
    // A new quotation needs the windows' rights, one by one, and is written as that user. Without 查看成本利润
    // `quotation show` leaves costs and profits out and a purchase price or the purchase order is refused (the golden
    // file: without the right, then with it).
    void actingUserNeedsTheRights() {
        QuotationCtlBook p;
        const QString no = p.sample();
        const QStringList rights{"form_quotation_list/action_add", "form_quotation_edit/action_addgoods",
                                 "form_quotation_edit/action_save"};
        const QString file = p.file("one.json", R"({"lines": [{"GoodsNo": "A"}]})");
        CtlCall::Result made;
        QCOMPARE(p.needsEach(rights, {"quotation", "new", file}, &made), QStringList());
        QCOMPARE(p.db()
                     .scalar("select Keyin_User from Quotation_Head where BillNo=:b", {{"b", made.out.trimmed()}})
                     .toString(),
                 QString("李四"));

        p.file("cost.json", R"({"lines": [{"GoodsNo": "A", "purchase_Price": 1}]})");
        const QStringList lines{"--user 李四 quotation show " + no, "--user 李四 quotation new <home>/cost.json",
                                "--user 李四 print purchase " + no + " --out <home>/p.pdf",
                                "check-permission 李四 Action_ViewCostProfit main_frm"};
        const QStringList seeing = rights + QStringList{"main_frm/action21", "form_quotation_list/action2"};
        p.grantClerk(seeing);
        QString log = p.runAll(lines);
        p.grantClerk(seeing + QStringList{"main_frm/action_viewcostprofit"});
        OLVEND_COMPARE_GOLDEN("tools/quotation_costs.txt", log + p.runAll(lines));
    }
};

QTEST_MAIN(TestCtlDocuments)
#include "test_ctl_documents.moc"
