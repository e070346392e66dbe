#include <QFile>
#include <QSqlQuery>
#include <QTest>

#include "data/data_module.h"
#include "documents/document_fixture.h"
#include "support/ctl_book.h"
#include "support/golden.h"
#include "support/test_books.h"

using namespace DocumentFixture;

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
    void refusedFilesWriteNothing();
    void receiptsPrintTheDepositAndTheGroupedLines();
    void deleteAndState();
    void actingUserNeedsTheRights();
};

namespace {
using Result = CtlCall::Result;
using Program = QuotationCtlBook;
using CtlBooks::dump;
using CtlBooks::rows;
const QString kRefusal = QStringLiteral("对不起，您没有该功能的操作权限，详情请询问管理员。\n");
}  // namespace

// Goods defaults first, then the line's fields as typed, a typed amount
// last (it wins, the profit follows it); the head's fields as typed. Shown
// as every column of the list's view as name=value, ordered and named as
// an embedded book's view has them on a server too; texts escaped, large
// amounts in positional notation.
void TestCtlDocuments::newQuotationFromAFileAndShow() {
    Program p;
    Database& db = p.db();
    db.query("insert into Client (Corp_code, Linkman_name) values ('00001', '王')");
    const QString path =
        p.file("q.json", R"({"ClientNo": "00001", "remark": "一行\n二行\t\\", "Freight": 123456789012.5,
        "Send_Date": "2006-07-01 09:05:07",
        "lines": [{"GoodsNo": "A", "QTY": 3, "Price": 12.5, "purchase_Price": 8, "Remark": "加急"},
                  {"GoodsNo": "B", "QTY": "2", "Price": 10, "Total_Price": 15}]})");
    const Result r = p.ctl({"quotation", "new", path});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("BJ0606250001\n"));
    QCOMPARE(dump(db, "(select GoodsNo, Remark, SortNo from Quotation_Detail) l", "SortNo"),
             QStringList({"A|加急|1", "B|<null>|2"}));
    QCOMPARE(drifted(db), QStringList());
    const Result shown = p.ctl({"quotation", "show", "BJ0606250001"});
    QCOMPARE(shown.err, QString());
    QCOMPARE(shown.code, 0);
    OLVEND_COMPARE_GOLDEN("tools/quotation_show.txt", shown.out);
    const Result missing = p.ctl({"quotation", "show", "BJ0000000000"});
    QCOMPARE(missing.code, 1);
    QCOMPARE(missing.err, QString("订货单[BJ0000000000]不存在\n"));
    QCOMPARE(missing.out, QString());
}

namespace {
// The refusals of a quotation file: the name of the case, the file, and
// what the message must contain. What quotation and order files share
// (JSON, dates, whole numbers, control characters, names written twice)
// is in the order command's table.
const struct {
    const char* name;
    QByteArray json;
    QString message;
} kRefusedFiles[] = {
    {"no lines", R"({"Remark": "x"})", QStringLiteral("请为该收据添加货品")},
    {"unknown goods", R"({"lines": [{"GoodsNo": "A"}, {"GoodsNo": "NOPE"}]})",
     QStringLiteral("以下货品已不存在，未能添加：NOPE")},
    {"letters in QTY", R"({"lines": [{"GoodsNo": "A"}, {"GoodsNo": "B", "QTY": "3x"}]})",
     QStringLiteral("明细第2行（货品[B]）：[数量]必须是数字，不能是\"3x\"")},
    {"a bad escape", R"({"Remark": "a\uZZZZ", "lines": [{"GoodsNo": "A"}]})",
     QStringLiteral("（反斜杠 \\ 后有不合法的字符）")},
    {"not an object", R"([{"GoodsNo": "A"}])", QStringLiteral("必须是一个 JSON 对象")},
    {"unknown head fields", R"({"Foo": 1, "Bar": 2, "lines": [{"GoodsNo": "A"}]})",
     QStringLiteral("订货单没有字段[Bar]、[Foo]（字段名按 Quotation_Head 的列名书写）")},
    {"the program's field", R"({"BillNo": "BJ1", "lines": [{"GoodsNo": "A"}]})",
     QStringLiteral("字段[BillNo]由程序填写")},
    {"unknown line field", R"({"lines": [{"GoodsNo": "A", "Gain_Money": 1}]})",
     QStringLiteral("字段[Gain_Money]不能导入")},
    {"goods twice", R"({"lines": [{"GoodsNo": "A"}, {"GoodsNo": "A", "QTY": 2}]})",
     QStringLiteral("货品[A]在明细中出现了两次（第1行和第2行）")},
    {"line without goods", R"({"lines": [{"QTY": 2}]})", QStringLiteral("明细第1行缺少[GoodsNo]")},
    {"customer not in the book", R"({"ClientNo": "09999", "lines": [{"GoodsNo": "A"}]})",
     QStringLiteral("所选客户[09999]已不存在")},
};
}  // namespace

// A refused file leaves the book as it was: no head, no line, no totals,
// and no number drawn; the next good file takes the next number. One book
// per engine takes every case in turn.
void TestCtlDocuments::refusedFilesWriteNothing() {
    Program p;
    Database& db = p.db();
    const QString counter = "select CurrID from Sys_ID_Autoincrement where tablename='quotation_head'";
    auto tables = [&db] {
        return QList<int>{rows(db, "Quotation_Head"), rows(db, "Quotation_Detail"), rows(db, "Quotation_Sum")};
    };
    for (const auto& c : kRefusedFiles) {
        const QVariant before = db.scalar(counter);
        const QList<int> stored = tables();
        const Result r = p.ctl({"quotation", "new", p.file("bad.json", c.json)});
        QVERIFY2(r.code == 1 && r.err.contains(c.message) && r.out.isEmpty(), qPrintable(c.name + (": " + r.err)));
        QVERIFY2(tables() == stored && db.scalar(counter) == before, c.name);
        const Result good = p.ctl({"quotation", "new", p.file("good.json", R"({"lines": [{"GoodsNo": "A"}]})")});
        QCOMPARE(good.code, 0);
        QVERIFY2(good.out.trimmed() != before.toString() && good.out.trimmed() == db.scalar(counter).toString(),
                 c.name);
    }
}

void TestCtlDocuments::receiptsPrintTheDepositAndTheGroupedLines() {
    Program p;
    p.db().query("update goods set Goods_name=:n where code in ('B', 'C')", {{"n", "合\t页"}});
    const QString no = p.sample();
    const Result r = p.ctl({"receipts", no});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    OLVEND_COMPARE_GOLDEN("tools/receipts.txt", r.out);
    const Result missing = p.ctl({"receipts", "BJ0000000000"});
    QCOMPARE(missing.code, 1);
    QVERIFY(missing.err.contains("BJ0000000000"));
    QCOMPARE(missing.out, QString());
    QCOMPARE(rows(p.db(), "Receipt_Head"), 1);
}

// What deleting and putting out of force take along is tested with
// QuotationDocument; here the commands, their answers and their wrong use.
void TestCtlDocuments::deleteAndState() {
    Program p;
    Database& db = p.db();
    const QString keep = p.sample();
    const QString gone = p.sample();
    QCOMPARE(p.ctl({"receipts", keep}).code, 0);
    QCOMPARE(p.ctl({"quotation", "state", keep, "0"}).code, 0);
    QVERIFY(p.ctl({"quotation", "show", keep}).out.contains("state_desc=失效\n", Qt::CaseInsensitive));
    QCOMPARE(count(db, "select count(*) from Receipt_Head where state=0 and QuotationNo=:q", {{"q", keep}}), 1);
    QCOMPARE(p.ctl({"quotation", "state", keep, "1"}).code, 0);
    QCOMPARE(count(db, "select count(*) from Quotation_Head where state=1"), 2);
    QCOMPARE(p.ctl({"quotation", "state", keep, "2"}).code, 2);
    QCOMPARE(p.ctl({"quotation", "state", keep}).code, 2);
    QCOMPARE(p.ctl({"quotation", "state", "BJ0000000000", "0"}).code, 1);
    const Result r = p.ctl({"quotation", "delete", gone});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE(count(db, "select count(*) from Quotation_Head where BillNo=:h", {{"h", gone}}), 0);
    QCOMPARE(rows(db, "Quotation_Head"), 1);
    const Result again = p.ctl({"quotation", "delete", gone});
    QCOMPARE(again.code, 1);
    QCOMPARE(again.err, QString("订货单[%1]不存在\n").arg(gone));
}

// Every write runs as a user of the book and only with the rights the
// windows would check.
void TestCtlDocuments::actingUserNeedsTheRights() {
    Program p;
    Database& db = p.db();
    const QString no = p.sample();
    db.query("insert into Sys_user (User_name, User_Group, type) values ('李四', '业务组', 1)");
    auto grant = [&db](const char* condition) {
        db.query(QStringLiteral("insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from "
                                "Sys_Operation_Table where %1")
                     .arg(QLatin1String(condition)));
    };
    const QString file = p.file("one.json", R"({"lines": [{"GoodsNo": "A"}]})");
    // Granted the three actions of a new quotation, the user makes one and
    // is its author.
    grant(
        "(LOWER(Form_Name)='form_quotation_list' and LOWER(Action_Name)='action_add') or "
        "(LOWER(Form_Name)='form_quotation_edit' and LOWER(Action_Name) in ('action_addgoods', 'action_save'))");
    const Result made = p.ctl({"--user=李四", "quotation", "new", file});
    QCOMPARE(made.err, QString());
    QCOMPARE(made.code, 0);
    QCOMPARE(db.scalar("select Keyin_User from Quotation_Head where BillNo=:b", {{"b", made.out.trimmed()}}).toString(),
             QString("李四"));
    const Result nobody = p.ctl({"--user", "nobody", "receipts", no});
    QCOMPARE(nobody.code, 1);
    QVERIFY(nobody.err.contains("nobody"));

    // Costs and profits only with 查看成本利润: without it `quotation show`
    // (with the right of 订货单管理, whose list it shows) leaves them out, a
    // purchase price in a file and the purchase order are refused.
    grant("LOWER(Form_Name)='main_frm' and LOWER(Action_Name)='action21'");
    const Result shown = p.ctl({"--user", "李四", "quotation", "show", no});
    QCOMPARE(shown.code, 0);
    QVERIFY(shown.out.contains("\nTotal_Price=", Qt::CaseInsensitive));
    for (const char* cost : {"sum_Gain_Money=", "sum_goods_cost_price=", "total_Gain_Money="}) {
        QVERIFY2(!shown.out.contains(QLatin1String(cost), Qt::CaseInsensitive), cost);
    }
    const QString costly = p.file("cost.json", R"({"lines": [{"GoodsNo": "A", "purchase_Price": 1}]})");
    Result refused = p.ctl({"--user", "李四", "quotation", "new", costly});
    QCOMPARE(refused.code, 3);
    QCOMPARE(refused.err, kRefusal);
    grant("LOWER(Form_Name)='form_quotation_list' and LOWER(Action_Name)='action2'");
    const QString pdf = p.program.folder() + "/p.pdf";
    refused = p.ctl({"--user", "李四", "print", "purchase", no, "--out", pdf});
    QCOMPARE(refused.code, 3);
    QCOMPARE(refused.err, kRefusal);
    QVERIFY(!QFile::exists(pdf));
    QCOMPARE(rows(db, "Quotation_Head"), 2);
    grant("LOWER(Form_Name)='main_frm' and LOWER(Action_Name)='action_viewcostprofit'");
    QVERIFY(p.ctl({"--user", "李四", "quotation", "show", no}).out.contains("total_Gain_Money=", Qt::CaseInsensitive));
    QCOMPARE(p.ctl({"--user", "李四", "quotation", "new", costly}).code, 0);
    const Result printed = p.ctl({"--user", "李四", "print", "purchase", no, "--out", pdf});
    QCOMPARE(printed.err, QString());
    QCOMPARE(printed.code, 0);
    QVERIFY(QFile::exists(pdf));
}

QTEST_MAIN(TestCtlDocuments)
#include "test_ctl_documents.moc"
