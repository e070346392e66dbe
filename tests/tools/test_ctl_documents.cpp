#include <QFile>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include "data/data_module.h"
#include "documents/document_fixture.h"
#include "support/ctl_call.h"
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
    void refusedFilesWriteNothing_data();
    void refusedFilesWriteNothing();
    void showPrintsTheListRow();
    void receiptsPrintTheDepositAndTheGroupedLines();
    void deleteTakesEverythingOfTheQuotation();
    void stateFollowsOnTheReceipts();
    void actingUserNeedsTheRights();
    void demoIsReproducibleAndConsistent();
    void demoNumbersFollowTheBooksNumbers();
    void demoPayoutsAreReproducibleAndSpread();
    void demoPayoutsWriteAllOrNothing_data();
    void demoPayoutsWriteAllOrNothing();
};

namespace {
const QString kToday = QStringLiteral("2006-06-25");

using Result = CtlCall::Result;

// A program folder with a fresh book of the current engine and three goods:
// A (门锁), and B and C with the same name, size and unit.
struct Program {
    TestBooks::TestProgram program;
    Program() {
        program.connect(TestBooks::currentEngine());
        addGoods(db(), "A", "门锁", "大", "UN001", 1, 10.0, 10.0, 6.0);
        addGoods(db(), "B", "合页", "4寸", "UN002", 1, 5.0, 5.0, 3.0);
        addGoods(db(), "C", "合页", "4寸", "UN002", 1, 7.0, 7.0, 4.0);
    }
    Database& db() { return program.context().data().main(); }
    QString file(const QString& name, const QByteArray& text) {
        const QString path = program.folder() + '/' + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }
    Result ctl(const QStringList& args) { return CtlCall::run(program.folder(), kToday, args); }
    // Saves the sample quotation; its number.
    QString sample() {
        const Result r = ctl({"quotation", "new", file("sample.json", kSample)});
        if (r.code != 0) {
            qFatal("sample not saved: %s", qPrintable(r.err));
        }
        return r.out.trimmed();
    }
    // Deposit 500, freight 80; A 2 x 10.00, B 1 x 5.00, C 3 x 7.00.
    static constexpr const char* kSample =
        R"({"earnest": 500, "Freight": 80, "lines": [{"GoodsNo": "A", "QTY": 2}, {"GoodsNo": "B"},
            {"GoodsNo": "C", "QTY": 3}]})";
};

int rows(Database& db, const QString& table) {
    return count(db, QStringLiteral("select count(*) from %1").arg(table));
}

// Every row of a table as text, in key order, for comparing two books.
QStringList dump(Database& db, const QString& table, const QString& orderBy) {
    QStringList out;
    QSqlQuery q = db.query(QStringLiteral("select * from %1 order by %2").arg(table, orderBy));
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < q.record().count(); ++i) {
            cells.append(q.value(i).toString());
        }
        out.append(cells.join('|'));
    }
    return out;
}
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

void TestCtlDocuments::refusedFilesWriteNothing_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("message");
    QTest::newRow("no lines") << QByteArray(R"({"Remark": "x"})") << "请为该收据添加货品";
    QTest::newRow("empty lines") << QByteArray(R"({"lines": []})") << "请为该收据添加货品";
    QTest::newRow("unknown goods") << QByteArray(R"({"lines": [{"GoodsNo": "A"}, {"GoodsNo": "NOPE"}]})")
                                   << "以下货品已不存在，未能添加：NOPE";
    QTest::newRow("letters in QTY") << QByteArray(R"({"lines": [{"GoodsNo": "A"}, {"GoodsNo": "B", "QTY": "3x"}]})")
                                    << "明细第2行（货品[B]）：[数量]必须是数字，不能是\"3x\"";
    QTest::newRow("letters in a head amount")
        << QByteArray(R"({"Freight": "8o", "lines": [{"GoodsNo": "A"}]})") << "必须是数字，不能是\"8o\"";
    QTest::newRow("malformed JSON") << QByteArray(R"({"lines": [{"GoodsNo": "A"},]})")
                                    << "不是有效的 JSON：第1行第30列附近有错误（逗号后缺少内容）";
    QTest::newRow("a bad escape") << QByteArray(R"({"Remark": "a\uZZZZ", "lines": [{"GoodsNo": "A"}]})")
                                  << "（反斜杠 \\ 后有不合法的字符）";
    QTest::newRow("not an object") << QByteArray(R"([{"GoodsNo": "A"}])") << "必须是一个 JSON 对象";
    QTest::newRow("unknown head field") << QByteArray(R"({"Foo": 1, "lines": [{"GoodsNo": "A"}]})")
                                        << "订货单没有字段[Foo]";
    QTest::newRow("the program's field") << QByteArray(R"({"BillNo": "BJ1", "lines": [{"GoodsNo": "A"}]})")
                                         << "字段[BillNo]由程序填写";
    QTest::newRow("unknown line field") << QByteArray(R"({"lines": [{"GoodsNo": "A", "Gain_Money": 1}]})")
                                        << "字段[Gain_Money]不能导入";
    QTest::newRow("goods twice") << QByteArray(R"({"lines": [{"GoodsNo": "A"}, {"GoodsNo": "A", "QTY": 2}]})")
                                 << "货品[A]在明细中出现了两次（第1行和第2行）";
    QTest::newRow("line without goods") << QByteArray(R"({"lines": [{"QTY": 2}]})") << "明细第1行缺少[GoodsNo]";
    QTest::newRow("no date") << QByteArray(R"({"Send_Date": "下周", "lines": [{"GoodsNo": "A"}]})")
                             << "字段[Send_Date]不是日期";
    QTest::newRow("a head field written twice")
        << QByteArray(R"({"Freight": 8, "lines": [{"GoodsNo": "A"}], "Freight": 80})") << "字段[Freight]重复";
    QTest::newRow("lines written twice") << QByteArray(R"({"lines": [{"GoodsNo": "A"}], "lines": [{"GoodsNo": "B"}]})")
                                         << "字段[lines]重复";
    QTest::newRow("a line field written twice")
        << QByteArray(R"({"lines": [{"GoodsNo": "A", "QTY": 2, "QTY": 3}]})") << "字段[QTY]重复";
    QTest::newRow("a fraction in a whole-number field")
        << QByteArray(R"({"isPay": 0.5, "lines": [{"GoodsNo": "A"}]})")
        << "字段[isPay]必须是 -2147483648 到 2147483647 之间的整数，不能是\"0.5\"";
    QTest::newRow("a huge number in a whole-number field")
        << QByteArray(R"({"isPay": 1e30, "lines": [{"GoodsNo": "A"}]})")
        << "字段[isPay]必须是 -2147483648 到 2147483647 之间的整数";
    QTest::newRow("a date before the first day")
        << QByteArray(R"({"Send_Date": "1899-12-31", "lines": [{"GoodsNo": "A"}]})")
        << "字段[Send_Date]的日期 1899-12-31 超出范围：日期须在 1900-01-02 到 9999-12-31 之间";
    QTest::newRow("a control character in a line")
        << QByteArray(R"({"lines": [{"GoodsNo": "A", "Remark": "a\u0000"}]})")
        << "明细第1行的字段[Remark]中有控制字符 U+0000";
    QTest::newRow("customer not in the book")
        << QByteArray(R"({"ClientNo": "09999", "lines": [{"GoodsNo": "A"}]})") << "所选客户[09999]已不存在";
}

// A refused file leaves the book as it was: no head, no line, no totals,
// and no number drawn.
void TestCtlDocuments::refusedFilesWriteNothing() {
    QFETCH(QByteArray, json);
    QFETCH(QString, message);
    Program p;
    Database& db = p.db();
    const QString counter = "select CurrID from Sys_ID_Autoincrement where tablename='quotation_head'";
    const QVariant before = db.scalar(counter);
    const Result r = p.ctl({"quotation", "new", p.file("bad.json", json)});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(r.out, QString());
    for (const char* table : {"Quotation_Head", "Quotation_Detail", "Quotation_Sum"}) {
        QCOMPARE(rows(db, table), 0);
    }
    QCOMPARE(db.scalar(counter), before);
    // The same book takes a good file, under the first number.
    QCOMPARE(p.ctl({"quotation", "new", p.file("good.json", R"({"lines": [{"GoodsNo": "A"}]})")}).out,
             QString("BJ0606250001\n"));
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

void TestCtlDocuments::demoIsReproducibleAndConsistent() {
    Program first;
    Program second;
    for (Program* p : {&first, &second}) {
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
void TestCtlDocuments::demoNumbersFollowTheBooksNumbers() {
    Program p;
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
void TestCtlDocuments::demoPayoutsAreReproducibleAndSpread() {
    Program first;
    Program second;
    QList<Result> results;
    for (Program* p : {&first, &second}) {
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

void TestCtlDocuments::demoPayoutsWriteAllOrNothing_data() {
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
void TestCtlDocuments::demoPayoutsWriteAllOrNothing() {
    QFETCH(QStringList, args);
    QFETCH(bool, refusedByTheBook);
    QFETCH(int, code);
    Program p;
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

QTEST_MAIN(TestCtlDocuments)
#include "test_ctl_documents.moc"
