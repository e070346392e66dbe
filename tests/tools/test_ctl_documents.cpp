#include <QFile>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include "data/data_module.h"
#include "documents/document_fixture.h"
#include "support/ctl_book.h"
#include "support/test_books.h"

using namespace DocumentFixture;

// The document commands of olvendctl, run as a user would, on both
// engines: quotations from a file, the list row, deleting, putting in and
// out of force, receipts, and the demo book's quotations and payouts.
class TestCtlDocuments : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void newQuotationFromAFile();
    void refusedFilesWriteNothing();
    void showPrintsTheListRow();
    void receiptsPrintTheDepositAndTheGroupedLines();
    void deleteTakesEverythingOfTheQuotation();
    void stateFollowsOnTheReceipts();
    void actingUserNeedsTheRights();
};

namespace {

using Result = CtlCall::Result;

// A program folder with a fresh book of the current engine and three goods.
using Program = QuotationCtlBook;

using CtlBooks::rows;
}  // namespace

// Goods defaults first, then quantity and prices as typed (amount and
// profit computed as in the editor), then a typed amount, which wins.
void TestCtlDocuments::newQuotationFromAFile() {
    Program p;
    Database& db = p.db();
    db.query("insert into Client (Corp_code, Linkman_name) values ('00001', '王')");
    const QString path = p.file("q.json", R"({"ClientNo": "00001", "remark": "两行\t测试", "Freight": 80,
        "Send_Date": "2006-07-01 14:30:00",
        "lines": [{"GoodsNo": "A", "QTY": 3, "Price": 12.5, "purchase_Price": 8, "Remark": "加急"},
                  {"GoodsNo": "B", "QTY": "2", "Price": 10, "Total_Price": 15}]})");
    const Result r = p.ctl({"quotation", "new", path});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("BJ0606250001\n"));
    QSqlQuery l = db.query(
        "select GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money, Remark, SortNo from Quotation_Detail "
        "where HeadNo='BJ0606250001' order by SortNo");
    QVERIFY(l.next());
    QCOMPARE(l.value(0).toString(), QString("A"));
    QCOMPARE(l.value(3).toDouble(), 37.5);
    QCOMPARE(l.value(5).toDouble(), 13.5);  // 37.50 - 3 x 8.00
    QCOMPARE(l.value(6).toString(), QString("加急"));
    QCOMPARE(l.value(7).toInt(), 1);
    QVERIFY(l.next());
    QCOMPARE(l.value(0).toString(), QString("B"));
    QCOMPARE(l.value(1).toDouble(), 2.0);
    QCOMPARE(l.value(3).toDouble(), 15.0);  // typed over 20.00
    QCOMPARE(l.value(4).toDouble(), 3.0);   // the goods' purchase price
    QCOMPARE(l.value(5).toDouble(), 9.0);   // from the typed amount: 15.00 - 2 x 3.00
    QCOMPARE(l.value(7).toInt(), 2);
    QVERIFY(!l.next());
    QSqlQuery h = db.query(
        "select ClientNo, Remark, Freight, Keyin_User, state, Order_Date, Send_Date, sum_Goods_Price, Total_Price "
        "from Query_Quotation_Head_list");
    QVERIFY(h.next());
    QCOMPARE(h.value(0).toString(), QString("00001"));
    QCOMPARE(h.value(1).toString(), QString("两行\t测试"));
    QCOMPARE(h.value(2).toDouble(), 80.0);
    QCOMPARE(h.value(3).toString(), QString("超级用户"));  // the last user logged in
    QCOMPARE(h.value(4).toInt(), 1);
    QCOMPARE(h.value(5).toDateTime().date(), QDate(2006, 6, 25));
    QCOMPARE(h.value(6).toDateTime(), QDateTime(QDate(2006, 7, 1), QTime(14, 30)));
    QCOMPARE(h.value(7).toDouble(), 52.5);
    QCOMPARE(h.value(8).toDouble(), 132.5);
    QVERIFY(!h.next());
    QCOMPARE(drifted(db), QStringList());
    // The next file takes the next number.
    QCOMPARE(p.ctl({"quotation", "new", path}).out, QString("BJ0606250002\n"));
}

namespace {
// Files every refusal of `new` is checked with: the name of the case, the
// file, and what the message must contain.
const struct {
    const char* name;
    QByteArray json;
    QString message;
} kRefusedFiles[] = {
    {"no lines", QByteArray(R"({"Remark": "x"})"), QStringLiteral("请为该收据添加货品")},
    {"empty lines", QByteArray(R"({"lines": []})"), QStringLiteral("请为该收据添加货品")},
    {"unknown goods", QByteArray(R"({"lines": [{"GoodsNo": "A"}, {"GoodsNo": "NOPE"}]})"),
     QStringLiteral("以下货品已不存在，未能添加：NOPE")},
    {"letters in QTY", QByteArray(R"({"lines": [{"GoodsNo": "A"}, {"GoodsNo": "B", "QTY": "3x"}]})"),
     QStringLiteral("明细第2行（货品[B]）：[数量]必须是数字，不能是\"3x\"")},
    {"letters in a head amount", QByteArray(R"({"Freight": "8o", "lines": [{"GoodsNo": "A"}]})"),
     QStringLiteral("必须是数字，不能是\"8o\"")},
    {"malformed JSON", QByteArray(R"({"lines": [{"GoodsNo": "A"},]})"),
     QStringLiteral("不是有效的 JSON：第1行第30列附近有错误（逗号后缺少内容）")},
    {"a bad escape", QByteArray(R"({"Remark": "a\uZZZZ", "lines": [{"GoodsNo": "A"}]})"),
     QStringLiteral("（反斜杠 \\ 后有不合法的字符）")},
    {"not an object", QByteArray(R"([{"GoodsNo": "A"}])"), QStringLiteral("必须是一个 JSON 对象")},
    {"unknown head field", QByteArray(R"({"Foo": 1, "lines": [{"GoodsNo": "A"}]})"),
     QStringLiteral("订货单没有字段[Foo]")},
    {"the program's field", QByteArray(R"({"BillNo": "BJ1", "lines": [{"GoodsNo": "A"}]})"),
     QStringLiteral("字段[BillNo]由程序填写")},
    {"unknown line field", QByteArray(R"({"lines": [{"GoodsNo": "A", "Gain_Money": 1}]})"),
     QStringLiteral("字段[Gain_Money]不能导入")},
    {"goods twice", QByteArray(R"({"lines": [{"GoodsNo": "A"}, {"GoodsNo": "A", "QTY": 2}]})"),
     QStringLiteral("货品[A]在明细中出现了两次（第1行和第2行）")},
    {"line without goods", QByteArray(R"({"lines": [{"QTY": 2}]})"), QStringLiteral("明细第1行缺少[GoodsNo]")},
    {"no date", QByteArray(R"({"Send_Date": "下周", "lines": [{"GoodsNo": "A"}]})"),
     QStringLiteral("字段[Send_Date]不是日期")},
    {"a head field written twice", QByteArray(R"({"Freight": 8, "lines": [{"GoodsNo": "A"}], "Freight": 80})"),
     QStringLiteral("字段[Freight]重复")},
    {"lines written twice", QByteArray(R"({"lines": [{"GoodsNo": "A"}], "lines": [{"GoodsNo": "B"}]})"),
     QStringLiteral("字段[lines]重复")},
    {"a line field written twice", QByteArray(R"({"lines": [{"GoodsNo": "A", "QTY": 2, "QTY": 3}]})"),
     QStringLiteral("字段[QTY]重复")},
    {"a fraction in a whole-number field", QByteArray(R"({"isPay": 0.5, "lines": [{"GoodsNo": "A"}]})"),
     QStringLiteral("字段[isPay]必须是 -2147483648 到 2147483647 之间的整数，不能是\"0.5\"")},
    {"a huge number in a whole-number field", QByteArray(R"({"isPay": 1e30, "lines": [{"GoodsNo": "A"}]})"),
     QStringLiteral("字段[isPay]必须是 -2147483648 到 2147483647 之间的整数")},
    {"a date before the first day", QByteArray(R"({"Send_Date": "1899-12-31", "lines": [{"GoodsNo": "A"}]})"),
     QStringLiteral("字段[Send_Date]的日期 1899-12-31 超出范围：日期须在 1900-01-02 到 9999-12-31 之间")},
    {"a control character in a line", QByteArray(R"({"lines": [{"GoodsNo": "A", "Remark": "a\u0000"}]})"),
     QStringLiteral("明细第1行的字段[Remark]中有控制字符 U+0000")},
    {"customer not in the book", QByteArray(R"({"ClientNo": "09999", "lines": [{"GoodsNo": "A"}]})"),
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
        // The same book takes a good file, under the next number.
        const Result good = p.ctl({"quotation", "new", p.file("good.json", R"({"lines": [{"GoodsNo": "A"}]})")});
        QCOMPARE(good.code, 0);
        QVERIFY2(good.out.trimmed() != before.toString() && good.out.trimmed() == db.scalar(counter).toString(),
                 c.name);
    }
    QCOMPARE(rows(db, "Quotation_Head"), int(std::size(kRefusedFiles)));
}

void TestCtlDocuments::showPrintsTheListRow() {
    Program p;
    Database& db = p.db();
    const QString no = p.sample();
    db.query("update Quotation_Head set Remark=:r, Send_Date=:d where BillNo=:b",
             {{"r", "一行\n二行\t\\"}, {"d", db.toDbValue(QDateTime(QDate(2006, 7, 1), QTime(9, 5, 7)))}, {"b", no}});
    const Result r = p.ctl({"quotation", "show", no});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QStringList lines = r.out.split('\n');
    QCOMPARE(lines.takeLast(), QString());
    QMap<QString, QString> values;
    QStringList names;
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf('=');
        QVERIFY2(eq > 0, qPrintable(line));
        names.append(line.left(eq));
        values.insert(line.left(eq).toLower(), line.mid(eq + 1));
    }
    // Every column of the view, ordered as the view has them and named as
    // an embedded book's view names them, on a server too.
    const QSqlRecord view = db.query("select * from Query_Quotation_Head_list where 1=2").record();
    QCOMPARE(names.size(), view.count());
    for (int i = 0; i < view.count(); ++i) {
        QCOMPARE(names[i].toLower(), view.fieldName(i).toLower());
    }
    for (const char* spelt : {"BillNo", "sum_Goods_Price", "Add_ClientName", "id"}) {
        QVERIFY2(names.contains(QString::fromLatin1(spelt)), spelt);
    }
    QCOMPARE(values.value("billno"), no);
    QCOMPARE(values.value("order_date"), QString("2006-06-25"));
    QCOMPARE(values.value("send_date"), QString("2006-07-01 09:05:07"));
    QCOMPARE(values.value("remark"), QString("一行\\n二行\\t\\\\"));
    QCOMPARE(values.value("freight"), QString("80.00"));
    QCOMPARE(values.value("sum_goods_price"), QString("46.00"));
    QCOMPARE(values.value("total_price"), QString("126.00"));
    QCOMPARE(values.value("leave_money"), QString("126.00"));
    QCOMPARE(values.value("state_desc"), QString("生效"));
    QCOMPARE(values.value("keyin_user"), QString("超级用户"));
    QCOMPARE(values.value("preferential"), QString());
    // Large amounts in positional notation.
    db.query("update Quotation_Head set preferential=123456789012.5");
    QVERIFY(p.ctl({"quotation", "show", no}).out.contains("\npreferential=123456789012.50\n", Qt::CaseInsensitive));
    const Result missing = p.ctl({"quotation", "show", "BJ0000000000"});
    QCOMPARE(missing.code, 1);
    QCOMPARE(missing.err, QString("订货单[BJ0000000000]不存在\n"));
    QCOMPARE(missing.out, QString());
}

void TestCtlDocuments::receiptsPrintTheDepositAndTheGroupedLines() {
    Program p;
    Database& db = p.db();
    db.query("update goods set Goods_name=:n where code in ('B', 'C')", {{"n", "合\t页"}});
    const QString no = p.sample();
    const QString expected = QStringLiteral(
        "BillNo\tBillType\tTotalPrice\tkeyin_User\tkeyin_Date\tremark\n"
        "AA0606250001\t0\t500\t超级用户\t2006-06-25\t\n"
        "GoodsClassName\tGoodsClassSize\tGoodsClassUnit\tQTY\tPrice\tTotal_Price\n"
        "门锁\t大\tUN001\t2\t10\t20\n"
        "合\\t页\t4寸\tUN002\t4\t7\t26\n"
        "运费\t\t\t\t\t80\n");
    const Result r = p.ctl({"receipts", no});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, expected);
    // The second time nothing new is made.
    QCOMPARE(p.ctl({"receipts", no}).out, expected);
    QCOMPARE(rows(db, "Receipt_Head"), 1);
    QCOMPARE(rows(db, "Receipt_Detail"), 3);
    QCOMPARE(drifted(db), QStringList());
    const Result missing = p.ctl({"receipts", "BJ0000000000"});
    QCOMPARE(missing.code, 1);
    QVERIFY(missing.err.contains("BJ0000000000"));
    QCOMPARE(missing.out, QString());
    QCOMPARE(rows(db, "Receipt_Head"), 1);
}

void TestCtlDocuments::deleteTakesEverythingOfTheQuotation() {
    Program p;
    Database& db = p.db();
    const QString keep = p.sample();
    const QString gone = p.sample();
    QCOMPARE(p.ctl({"receipts", keep}).code, 0);
    QCOMPARE(p.ctl({"receipts", gone}).code, 0);
    const Result r = p.ctl({"quotation", "delete", gone});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    for (const char* sql : {"select count(*) from Quotation_Head where BillNo=:h",
                            "select count(*) from Quotation_Detail where HeadNo=:h",
                            "select count(*) from Receipt_Head where QuotationNo=:h",
                            "select count(*) from Receipt_Detail where HeadNo=:h",
                            "select count(*) from Quotation_Sum where BillNo=:h"}) {
        QCOMPARE(count(db, sql, {{"h", gone}}), 0);
        QVERIFY(count(db, sql, {{"h", keep}}) > 0);
    }
    const Result again = p.ctl({"quotation", "delete", gone});
    QCOMPARE(again.code, 1);
    QCOMPARE(again.err, QString("订货单[%1]不存在\n").arg(gone));
}

void TestCtlDocuments::stateFollowsOnTheReceipts() {
    Program p;
    Database& db = p.db();
    const QString no = p.sample();
    const QString other = p.sample();
    QCOMPARE(p.ctl({"receipts", no}).code, 0);
    QCOMPARE(p.ctl({"receipts", other}).code, 0);
    QCOMPARE(p.ctl({"quotation", "state", no, "0"}).code, 0);
    QCOMPARE(count(db, "select count(*) from Receipt_Head where state=0"), 1);
    QCOMPARE(count(db, "select count(*) from Receipt_Head where state=0 and QuotationNo=:q", {{"q", no}}), 1);
    QCOMPARE(count(db, "select count(*) from Quotation_Head where state=0 and BillNo=:q", {{"q", no}}), 1);
    QVERIFY(p.ctl({"quotation", "show", no}).out.contains("state_desc=失效\n", Qt::CaseInsensitive));
    QCOMPARE(p.ctl({"quotation", "state", no, "1"}).code, 0);
    QCOMPARE(count(db, "select count(*) from Receipt_Head where state=1"), 2);
    QCOMPARE(p.ctl({"quotation", "state", no, "2"}).code, 2);
    QCOMPARE(p.ctl({"quotation", "state", no}).code, 2);
    QCOMPARE(p.ctl({"quotation", "state", "BJ0000000000", "0"}).code, 1);
}

// Every write runs as a user of the book and only with the rights the
// windows would check.
void TestCtlDocuments::actingUserNeedsTheRights() {
    Program p;
    Database& db = p.db();
    const QString no = p.sample();
    db.query("insert into Sys_user (User_name, User_Group, type) values ('李四', '业务组', 1)");
    const QString file = p.file("one.json", R"({"lines": [{"GoodsNo": "A"}]})");
    const QString refusal = QStringLiteral("对不起，您没有该功能的操作权限，详情请询问管理员。\n");
    for (const QStringList& args : {QStringList{"quotation", "new", file}, QStringList{"quotation", "delete", no},
                                    QStringList{"quotation", "state", no, "0"}, QStringList{"receipts", no},
                                    QStringList{"quotation", "show", no}}) {
        const Result r = p.ctl(QStringList{"--user", "李四"} + args);
        QCOMPARE(r.code, 3);
        QCOMPARE(r.err, refusal);
    }
    QCOMPARE(rows(db, "Quotation_Head"), 1);
    QCOMPARE(rows(db, "Receipt_Head"), 0);
    QCOMPARE(count(db, "select count(*) from Quotation_Head where state=1"), 1);
    // Granted the three actions of a new quotation, the user makes one and
    // is its author.
    db.query(
        "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table where "
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
    db.query(
        "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table where "
        "LOWER(Form_Name)='main_frm' and LOWER(Action_Name)='action21'");
    const Result shown = p.ctl({"--user", "李四", "quotation", "show", no});
    QCOMPARE(shown.code, 0);
    QVERIFY(shown.out.contains("\nTotal_Price=", Qt::CaseInsensitive));
    for (const char* cost : {"sum_Gain_Money=", "sum_goods_cost_price=", "total_Gain_Money="}) {
        QVERIFY2(!shown.out.contains(QLatin1String(cost), Qt::CaseInsensitive), cost);
    }
    const QString costly = p.file("cost.json", R"({"lines": [{"GoodsNo": "A", "purchase_Price": 1}]})");
    Result refused = p.ctl({"--user", "李四", "quotation", "new", costly});
    QCOMPARE(refused.code, 3);
    QCOMPARE(refused.err, refusal);
    db.query(
        "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table where "
        "LOWER(Form_Name)='form_quotation_list' and LOWER(Action_Name)='action2'");
    refused = p.ctl({"--user", "李四", "print", "purchase", no, "--out", p.program.folder() + "/p.pdf"});
    QCOMPARE(refused.code, 3);
    QCOMPARE(refused.err, refusal);
    QVERIFY(!QFile::exists(p.program.folder() + "/p.pdf"));
    db.query(
        "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table where "
        "LOWER(Form_Name)='main_frm' and LOWER(Action_Name)='action_viewcostprofit'");
    QVERIFY(p.ctl({"--user", "李四", "quotation", "show", no}).out.contains("total_Gain_Money=", Qt::CaseInsensitive));
    QCOMPARE(p.ctl({"--user", "李四", "quotation", "new", costly}).code, 0);
    const Result printed = p.ctl({"--user", "李四", "print", "purchase", no, "--out", p.program.folder() + "/p.pdf"});
    QCOMPARE(printed.err, QString());
    QCOMPARE(printed.code, 0);
    QVERIFY(QFile::exists(p.program.folder() + "/p.pdf"));
}

QTEST_MAIN(TestCtlDocuments)
#include "test_ctl_documents.moc"
