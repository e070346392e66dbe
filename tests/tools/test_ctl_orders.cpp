#include <QDir>
#include <QFile>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <cmath>

#include "data/data_module.h"
#include "data/permission_checker.h"
#include "documents/document_fixture.h"
#include "documents/order_form_generator.h"
#include "support/ctl_book.h"
#include "support/test_books.h"

using namespace DocumentFixture;

// The order-form commands of olvendctl, run as a user would, on both
// engines: orders from a file, show, delete, the forms made from an order,
// printing with and without the right, and the demo book's orders. The
// seeded code lists name goods 1-6 (平开窗 1200*1500 扇... with their
// defaults), units 1-6, series 1-4 and locks 1-4.
class TestCtlOrders : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void newOrderFromAFile();
    void refusedFilesWriteNothing();
    void integerLimitsFit_data();
    void integerLimitsFit();
    void datesAtTheLimitsFit_data();
    void datesAtTheLimitsFit();
    void unreadableFilesAreTold_data();
    void unreadableFilesAreTold();
    void showPrintsTheHeadAndTheRows();
    void deleteTakesRowsAndDerivedForms();
    void generateReplacesOnlyWhenTold_data();
    void generateReplacesOnlyWhenTold();
    void generateRefusals();
    void actingUserNeedsTheRights_data();
    void actingUserNeedsTheRights();
    void unknownOrderOrUserIsTold();
};

namespace {
const QString kRefusal = QStringLiteral("对不起，您没有该功能的操作权限，详情请询问管理员。\n");

using Result = CtlCall::Result;

struct Program : CtlBook {
    // Two rows of series 1, one of series 2 and one without a series; locks
    // on two rows.
    QString sample() {
        return order(R"({"Gain_Customer_Name": "海景酒楼", "rows": [
            {"Goods_name": 1, "Goods_Type": 1, "QTY": 2, "Lock_Size": 4, "Lock_Fittings": "加长"},
            {"Goods_name": 2, "Goods_Type": 2},
            {"Goods_name": 6, "Goods_Type": 1, "QTY": 3, "Lock_Size": 4},
            {"Goods_name": 3}]})");
    }
};

using CtlBooks::dump;
using CtlBooks::rows;

using CtlBooks::counter;
using CtlBooks::kOrderTables;
}  // namespace

// The goods name's defaults first, then the fields as given in the table's
// order (the amount computed from price and quantity), a given amount
// last; the customer's particulars fill what the file left empty.
void TestCtlOrders::newOrderFromAFile() {
    Program p;
    Database& db = p.db();
    db.execute(
        "insert into customer_provider (corp_code, Corp_name, boss_name, Boss_mobile, Corp_telephone) "
        "values ('00007', '锦江宾馆', '李经理', '13900000000', '020-1')");
    const QString path = p.file("o.json", R"({"corp_code": "00007", "Link_man": "王先生", "Send_Date": "2006-07-05",
        "Keyin_Date": "2006-06-20", "earnest": 500, "preferential": 12.5, "isPay": 1,
        "Remark_ShipmentForm": "两行\t测试", "Remark_WorkForm": "\"Link_man\": \"rows\", {[\\", "rows": [
            {"Goods_name": 1, "QTY": 2},
            {"Goods_Code": "A7", "Goods_name": 6, "QTY": 2.5, "Price": 100, "Total_Price": 240},
            {"Total_Price": 10, "Price": 3, "QTY": "1.5", "Goods_Unit": 4, "Goods_name": 2, "Goods_Type": 1,
             "Lock_Size": 4, "Lock_Fittings": "加长", "Model_Size": "1000*1000"}]})");
    const Result r = p.ctl({"order", "new", path});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("AA0606250001\n"));
    QSqlQuery h = db.query(
        "select corp_code, Gain_Customer_Name, Link_man, telephon, Send_Date, Keyin_Date, Order_Date, earnest, "
        "preferential, isPay, PayOver_Date, Remark_ShipmentForm, User_name, Remark_WorkForm from "
        "Dusmere_Order_Form_head");
    QVERIFY(h.next());
    QCOMPARE(h.value(0).toString(), QString("00007"));
    QCOMPARE(h.value(1).toString(), QString("锦江宾馆"));  // empty in the file: the customer's
    QCOMPARE(h.value(2).toString(), QString("王先生"));    // typed: kept
    QCOMPARE(h.value(3).toString(), QString("13900000000"));
    QCOMPARE(h.value(4).toDateTime().date(), QDate(2006, 7, 5));
    QCOMPARE(h.value(5).toDateTime().date(), QDate(2006, 6, 20));
    QCOMPARE(h.value(6).toDateTime().date(), QDate(2006, 6, 25));
    QCOMPARE(h.value(7).toDouble(), 500.0);
    QCOMPARE(h.value(8).toDouble(), 12.5);
    QCOMPARE(h.value(9).toInt(), 1);
    QCOMPARE(h.value(10).toDateTime().date(), QDate(2006, 6, 25));  // ticked today
    QCOMPARE(h.value(11).toString(), QString("两行\t测试"));
    QCOMPARE(h.value(12).toString(), QString("超级用户"));                    // the last user logged in
    QCOMPARE(h.value(13).toString(), QString(R"("Link_man": "rows", {[\)"));  // names inside a text are no names
    QVERIFY(!h.next());
    QSqlQuery d = db.query(
        "select Goods_Code, Goods_name, Model_Size, Goods_Unit, QTY, Price, Total_Price, Goods_Type, Lock_Size, "
        "Lock_Fittings, Goods_Status, Head_Code from Dusmere_Order_Form_Detail order by ID");
    // 平开窗: 1200*1500, unit 3, 480 each; two of them.
    QVERIFY(d.next());
    QCOMPARE(d.value(0).toString(), QString("1"));
    QCOMPARE(d.value(1).toInt(), 1);
    QCOMPARE(d.value(2).toString(), QString("1200*1500"));
    QCOMPARE(d.value(3).toInt(), 3);
    QCOMPARE(d.value(4).toDouble(), 2.0);
    QCOMPARE(d.value(5).toDouble(), 480.0);
    QCOMPARE(d.value(6).toDouble(), 960.0);
    QCOMPARE(d.value(10).toInt(), 0);
    QCOMPARE(d.value(11).toString(), QString("AA0606250001"));
    // A typed code replaces the drawn one; a typed amount wins.
    QVERIFY(d.next());
    QCOMPARE(d.value(0).toString(), QString("A7"));
    QCOMPARE(d.value(3).toInt(), 2);
    QCOMPARE(d.value(4).toDouble(), 2.5);
    QCOMPARE(d.value(6).toDouble(), 240.0);
    // Given in any order, set after the name and before the amount.
    QVERIFY(d.next());
    QCOMPARE(d.value(0).toString(), QString("3"));
    QCOMPARE(d.value(2).toString(), QString("1000*1000"));
    QCOMPARE(d.value(3).toInt(), 4);
    QCOMPARE(d.value(4).toDouble(), 1.5);
    QCOMPARE(d.value(5).toDouble(), 3.0);
    QCOMPARE(d.value(6).toDouble(), 10.0);
    QCOMPARE(d.value(7).toInt(), 1);
    QCOMPARE(d.value(8).toInt(), 4);
    QCOMPARE(d.value(9).toString(), QString("加长"));
    QVERIFY(!d.next());
    QCOMPARE(counter(db, "dusmere_order_form_detail"), QString("3"));
    // The next file takes the next number and the next goods codes.
    QCOMPARE(p.order(R"({"rows": [{"Goods_name": 5}]})"), QString("AA0606250002"));
    QCOMPARE(db.scalar("select Goods_Code from Dusmere_Order_Form_Detail where Head_Code='AA0606250002'").toString(),
             QString("4"));
}

namespace {
// Files every refusal of `order new` is checked with: the name of the case,
// the file, and what the message must contain.
const struct {
    const char* name;
    QByteArray json;
    QString message;
} kRefusedFiles[] = {
    // First, on the fresh book: the first code drawn is 1.
    {"a typed code equal to a drawn one",
     QByteArray(R"({"rows": [{"Goods_name": 1}, {"Goods_Code": "1", "Goods_name": 2}]})"),
     QStringLiteral("明细第2行：该货品编码已经存在，请用其他编码")},
    {"no rows", QByteArray(R"({"Link_man": "王"})"), QStringLiteral("请为该收据添加货品")},
    {"a code twice in the file",
     QByteArray(R"({"rows": [{"Goods_Code": "7", "Goods_name": 1}, {"Goods_name": 2}, {"Goods_Code": "7",
            "Goods_name": 2}]})"),
     QStringLiteral("明细第3行：该货品编码已经存在，请用其他编码")},
    {"an empty code", QByteArray(R"({"rows": [{"Goods_Code": " ", "Goods_name": 1}]})"),
     QStringLiteral("明细第1行：货品编码不能为空")},
    {"no goods name", QByteArray(R"({"rows": [{"Goods_name": 1}, {"Goods_Unit": 1, "QTY": 2}]})"),
     QStringLiteral("明细第2行：请填写[货品名称]")},
    {"unit taken away", QByteArray(R"({"rows": [{"Goods_name": 1, "Goods_Unit": null}]})"),
     QStringLiteral("明细第1行：请填写[计量单位]")},
    {"letters in a quantity", QByteArray(R"({"rows": [{"Goods_name": 1}, {"Goods_name": 2,
        "QTY": "3x"}]})"),
     QStringLiteral("明细第2行：[数量]必须是数字，不能是\"3x\"")},
    {"letters in the deposit", QByteArray(R"({"earnest": "5o0", "rows": [{"Goods_name": 1}]})"),
     QStringLiteral("[已收订金]必须是数字，不能是\"5o0\"")},
    {"a value outside the code list", QByteArray(R"({"rows": [{"Goods_name": 1, "Goods_Type": 99}]})"),
     QStringLiteral("明细第1行：[货品系列]的值 99 不在代码表[货品系列]中")},
    {"second glass outside the glass list",
     QByteArray(R"({"rows": [{"Goods_name": 1, "Glass_Type": 2, "Glass_Type2": 99}]})"),
     QStringLiteral("明细第1行：[玻璃-品种2]的值 99 不在代码表[玻璃品种]中")},
    // Integer columns take whole numbers that both engines' INTEGER holds;
    // nothing is rounded or cut into another code.
    {"a fraction in a coded field", QByteArray(R"({"rows": [{"Goods_name": 1, "Goods_Type": 2.6}]})"),
     QStringLiteral("明细第1行的字段[Goods_Type]必须是 -2147483648 到 2147483647 之间的整数，不能是\"2.6\"")},
    {"a fraction as text", QByteArray(R"({"rows": [{"Goods_name": 1, "Colour": "1.5"}]})"),
     QStringLiteral("明细第1行的字段[Colour]必须是 -2147483648 到 2147483647 之间的整数")},
    {"a huge number", QByteArray(R"({"rows": [{"Goods_name": 1, "Goods_Type": 1e30}]})"),
     QStringLiteral("明细第1行的字段[Goods_Type]必须是 -2147483648 到 2147483647 之间的整数")},
    {"one past the largest integer", QByteArray(R"({"rows": [{"Goods_name": 1, "Lock_Size": 2147483648}]})"),
     QStringLiteral("明细第1行的字段[Lock_Size]必须是 -2147483648 到 2147483647 之间的整数")},
    {"one below the smallest integer", QByteArray(R"({"rows": [{"Goods_name": -2147483649}]})"),
     QStringLiteral("明细第1行的字段[Goods_name]必须是 -2147483648 到 2147483647 之间的整数")},
    {"a huge paid mark", QByteArray(R"({"isPay": -1e30, "rows": [{"Goods_name": 1}]})"),
     QStringLiteral("字段[isPay]必须是 -2147483648 到 2147483647 之间的整数")},
    {"a goods name outside its list",
     QByteArray(R"({"rows": [{"Goods_name": 1}, {"Goods_name": 99, "Goods_Unit": 1}]})"),
     QStringLiteral("明细第2行：[货品名称]的值 99 不在代码表[货品名称]中")},
    // Without the defaults of a listed name the unit stays empty: the name
    // is what is wrong.
    {"a goods name outside its list, no unit", QByteArray(R"({"rows": [{"Goods_name": 99}]})"),
     QStringLiteral("明细第1行：[货品名称]的值 99 不在代码表[货品名称]中")},
    {"unknown head fields", QByteArray(R"({"Foo": 1, "Bar": 2, "rows": [{"Goods_name": 1}]})"),
     QStringLiteral("订单没有字段[Bar]、[Foo]（字段名按 Dusmere_Order_Form_head 的列名书写）")},
    {"unknown row field", QByteArray(R"({"rows": [{"Goods_name": 1, "GoodsNo": "A"}]})"),
     QStringLiteral("明细第1行没有字段[GoodsNo]")},
    {"the program's head field", QByteArray(R"({"Order_Form_Code": "X1", "rows": [{"Goods_name": 1}]})"),
     QStringLiteral("字段[Order_Form_Code]由程序填写")},
    {"the program's row field", QByteArray(R"({"rows": [{"Goods_name": 1, "Head_Code": "X"}]})"),
     QStringLiteral("明细第1行的字段[Head_Code]由程序填写")},
    {"a name twice", QByteArray(R"({"rows": [{"Goods_name": 1, "goods_NAME": 2}]})"),
     QStringLiteral("明细第1行的字段[goods_NAME]重复")},
    // Qt's reader keeps the last of two members of one name; the file is
    // refused instead, wherever the name is repeated and however it is
    // written.
    {"a head field written twice", QByteArray(R"({"Link_man": "王", "rows": [{"Goods_name": 1}], "Link_man": "李"})"),
     QStringLiteral("字段[Link_man]重复（第1行第48列）")},
    {"rows written twice",
     QByteArray("{\"rows\": [{\"Goods_name\": 1}, {\"Goods_name\": 2}],\n \"rows\": [{\"Goods_name\": 3}]}"),
     QStringLiteral("字段[rows]重复（第2行第2列）")},
    {"a row field written twice", QByteArray(R"({"rows": [{"Goods_name": 1}, {"Goods_name": 2, "QTY": 2, "QTY": 3}]})"),
     QStringLiteral("字段[QTY]重复")},
    {"a name written twice, once with escapes", QByteArray(R"({"rows": [{"Goods_name": 1, "Goods_\u006eame": 2}]})"),
     QStringLiteral("字段[Goods_name]重复")},
    {"no date", QByteArray(R"({"Send_Date": "下周", "rows": [{"Goods_name": 1}]})"),
     QStringLiteral("字段[Send_Date]不是日期")},
    // The window's date box holds 1900-01-02 to 9999-12-31 (1900-01-01 is
    // its empty date).
    {"a date before the first day", QByteArray(R"({"Send_Date": "0001-01-01", "rows": [{"Goods_name": 1}]})"),
     QStringLiteral("字段[Send_Date]的日期 0001-01-01 超出范围：日期须在 1900-01-02 到 9999-12-31 之间")},
    {"the empty date of the window",
     QByteArray(R"({"Keyin_Date": "1900-01-01 12:00:00", "rows": [{"Goods_name": 1}]})"),
     QStringLiteral("字段[Keyin_Date]的日期 1900-01-01 12:00:00 超出范围")},
    // Text holds no control characters but tab, line feed and carriage
    // return (a server refuses U+0000, an embedded book would keep it).
    {"a NUL in a head text", QByteArray(R"({"Link_man": "a\u0000b", "rows": [{"Goods_name": 1}]})"),
     QStringLiteral("字段[Link_man]中有控制字符 U+0000")},
    {"an escape in a row text", QByteArray(R"({"rows": [{"Goods_name": 1, "Remark_WorkForm": "\u001b[31m红"}]})"),
     QStringLiteral("明细第1行的字段[Remark_WorkForm]中有控制字符 U+001B")},
    {"a raw control byte", QByteArray("{\"Link_man\": \"a\x7f\", \"rows\": [{\"Goods_name\": 1}]}"),
     QStringLiteral("字段[Link_man]中有控制字符 U+007F")},
    {"a C1 control", QByteArray(R"({"Contract_No": "\u0085", "rows": [{"Goods_name": 1}]})"),
     QStringLiteral("字段[Contract_No]中有控制字符 U+0085")},
    {"no delivery date", QByteArray(R"({"Send_Date": null, "rows": [{"Goods_name": 1}]})"),
     QStringLiteral("请填写[交货日期]")},
    {"customer not in the book", QByteArray(R"({"corp_code": "09999", "rows": [{"Goods_name": 1}]})"),
     QStringLiteral("所选客户[09999]已不存在")},
    {"paid mark neither 0 nor 1", QByteArray(R"({"isPay": 2, "rows": [{"Goods_name": 1}]})"),
     QStringLiteral("字段[isPay]只能是 0（未付清）或 1（已付清）")},
    // Where the reader stopped and why, in the user's words.
    {"malformed JSON", QByteArray("{\"rows\": [\n{\"Goods_name\": 1},]}"),
     QStringLiteral("不是有效的 JSON：第2行第20列附近有错误（逗号后缺少内容）")},
    {"not UTF-8", QByteArray("{\"Link_man\": \"\xcd\xf5\", \"rows\": [{\"Goods_name\": 1}]}"),
     QStringLiteral("第1行第15列附近有错误（有不是 UTF-8 编码的文字")},
    {"no colon", QByteArray(R"({"rows" [{"Goods_name": 1}]})"), QStringLiteral("（字段名后缺少冒号 :）")},
    {"cut short", QByteArray(R"({"rows": [{"Goods_name": 1})"), QStringLiteral("（数组缺少结尾的 ]）")},
    {"rows not an array", QByteArray(R"({"rows": {"Goods_name": 1}})"), QStringLiteral("[rows]必须是货品明细的数组")},
};
}  // namespace

// A refused file leaves the book as it was: no head, no row, and neither
// the order number nor a goods code drawn; the next good file takes the
// next number and code. One book per engine takes every case in turn.
void TestCtlOrders::refusedFilesWriteNothing() {
    Program p;
    Database& db = p.db();
    for (const auto& c : kRefusedFiles) {
        const QString orders = counter(db, "dusmere_order_form_head");
        const QString goods = counter(db, "dusmere_order_form_detail");
        const QList<int> stored{rows(db, "Dusmere_Order_Form_head"), rows(db, "Dusmere_Order_Form_Detail")};
        const Result r = p.ctl({"order", "new", p.file("bad.json", c.json)});
        QVERIFY2(r.code == 1 && r.err.contains(c.message) && r.out.isEmpty(), qPrintable(c.name + (": " + r.err)));
        QVERIFY2(QList<int>({rows(db, "Dusmere_Order_Form_head"), rows(db, "Dusmere_Order_Form_Detail")}) == stored,
                 c.name);
        QVERIFY2(counter(db, "dusmere_order_form_head") == orders && counter(db, "dusmere_order_form_detail") == goods,
                 c.name);
        const QString code = p.order(R"({"rows": [{"Goods_name": 1}]})");
        QVERIFY2(code != orders && code == counter(db, "dusmere_order_form_head"), c.name);
        QCOMPARE(
            db.scalar("select Goods_Code from Dusmere_Order_Form_Detail where Head_Code=:c", {{"c", code}}).toInt(),
            goods.toInt() + 1);
    }
    QCOMPARE(rows(db, "Dusmere_Order_Form_head"), int(std::size(kRefusedFiles)));
}

void TestCtlOrders::integerLimitsFit_data() {
    QTest::addColumn<qlonglong>("value");
    QTest::newRow("largest") << 2147483647LL;
    QTest::newRow("smallest") << -2147483648LL;
}

// A code list may offer the largest and smallest INTEGER; an order holds
// them on both engines, the second glass taking the glass list's values.
void TestCtlOrders::integerLimitsFit() {
    QFETCH(qlonglong, value);
    Program p;
    Database& db = p.db();
    for (const char* list : {"型材颜色", "玻璃品种"}) {
        db.execute("insert into Sys_Status_Describe (ParamentName, StatusValue, StatusName) values (:l, :v, '极限')",
                   {{"l", QString::fromUtf8(list)}, {"v", QString::number(value)}});
    }
    const QString code = p.order(
        QStringLiteral(R"({"rows": [{"Goods_name": 1, "Colour": %1, "Glass_Type2": %1}]})").arg(value).toUtf8());
    QSqlQuery q =
        db.query("select Colour, Glass_Type2 from Dusmere_Order_Form_Detail where Head_Code=:c", {{"c", code}});
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toLongLong(), value);
    QCOMPARE(q.value(1).toLongLong(), value);
}

void TestCtlOrders::datesAtTheLimitsFit_data() {
    QTest::addColumn<QString>("date");
    QTest::newRow("first day") << "1900-01-02";
    QTest::newRow("last moment") << "9999-12-31 23:59:59";
}

// The first and the last day the window's date box holds are kept as
// given on both engines.
void TestCtlOrders::datesAtTheLimitsFit() {
    QFETCH(QString, date);
    Program p;
    const QString code = p.order(
        QStringLiteral(R"({"Send_Date": "%1", "PayOver_Date": "%1", "rows": [{"Goods_name": 1}]})").arg(date).toUtf8());
    const Result r = p.ctl({"order", "show", code});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(QStringLiteral("\nSend_Date=%1\n").arg(date), Qt::CaseInsensitive), qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("\nPayOver_Date=%1\n").arg(date), Qt::CaseInsensitive), qPrintable(r.out));
}

void TestCtlOrders::unreadableFilesAreTold_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    for (const char* command : {"order", "quotation"}) {
        QTest::addRow("%s, no such file", command) << command << "missing.json"
                                                   << "文件不存在";
        QTest::addRow("%s, a folder", command) << command << "folder.json"
                                               << "这是一个文件夹，不是文件";
    }
}

// A file that cannot be read is named, and why, without the system's
// English words.
void TestCtlOrders::unreadableFilesAreTold() {
    QFETCH(QString, command);
    QFETCH(QString, name);
    QFETCH(QString, message);
    Program p;
    QVERIFY(QDir(p.program.folder()).mkdir("folder.json"));
    const QString path = p.program.folder() + '/' + name;
    const Result r = p.ctl({command, "new", path});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QString());
    QCOMPARE(r.err, QStringLiteral("无法读取文件[%1]：%2\n").arg(path, message));
}

void TestCtlOrders::showPrintsTheHeadAndTheRows() {
    Program p;
    Database& db = p.db();
    const QString code = p.order(R"({"Link_man": "王", "earnest": 100, "rows": [
        {"Goods_name": 1, "QTY": 2, "Remark_WorkForm": "一行\n二行\t\\"}, {"Goods_name": 6, "QTY": 0.25}]})");
    const Result r = p.ctl({"order", "show", code});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    const qsizetype gap = r.out.indexOf("\n\n");
    QVERIFY(gap > 0);
    const QStringList headLines = r.out.left(gap).split('\n');
    QStringList rowLines = r.out.mid(gap + 2).split('\n');
    QCOMPARE(rowLines.takeLast(), QString());
    // Every column of the head, in the table's order.
    const QSqlRecord head = db.query("select * from Dusmere_Order_Form_head where 1=2").record();
    QCOMPARE(headLines.size(), head.count());
    QMap<QString, QString> values;
    for (int i = 0; i < head.count(); ++i) {
        const qsizetype eq = headLines[i].indexOf('=');
        QCOMPARE(headLines[i].left(eq).toLower(), head.fieldName(i).toLower());
        values.insert(headLines[i].left(eq).toLower(), headLines[i].mid(eq + 1));
    }
    QCOMPARE(values.value("order_form_code"), code);
    QCOMPARE(values.value("link_man"), QString("王"));
    QCOMPARE(values.value("earnest"), QString("100.00"));
    QCOMPARE(values.value("keyin_date"), QString("2006-06-25"));
    QCOMPARE(values.value("send_date"), QString("2006-07-02"));
    QCOMPARE(values.value("preferential"), QString());
    // A header of every row column, then the rows in the order added.
    const QSqlRecord detail = db.query("select * from Dusmere_Order_Form_Detail where 1=2").record();
    QCOMPARE(rowLines.size(), 3);
    const QStringList header = rowLines[0].split('\t');
    QCOMPARE(header.size(), detail.count());
    for (int i = 0; i < detail.count(); ++i) {
        QCOMPARE(header[i].toLower(), detail.fieldName(i).toLower());
    }
    QStringList names;  // lower case: a server names its columns so
    for (const QString& name : header) {
        names.append(name.toLower());
    }
    auto cell = [&](int line, const QString& column) {
        const QStringList cells = rowLines[line].split('\t');
        return cells.value(int(names.indexOf(column.toLower())));
    };
    QCOMPARE(rowLines[1].split('\t').size(), header.size());
    QCOMPARE(cell(1, "Goods_Code"), QString("1"));
    QCOMPARE(cell(1, "Head_Code"), code);
    QCOMPARE(cell(1, "Total_Price"), QString("960.00"));
    QCOMPARE(cell(1, "Remark_WorkForm"), QString("一行\\n二行\\t\\\\"));
    QCOMPARE(cell(2, "Goods_Code"), QString("2"));
    QCOMPARE(cell(2, "QTY"), QString("0.2500"));
    QCOMPARE(cell(2, "Total_Price"), QString("30.00"));
    // Control characters a book holds (written by another program) are
    // written \uXXXX, so that they reach no terminal.
    db.execute("update Dusmere_Order_Form_Detail set Remark_ShipmentForm=:t where Goods_Code='2'",
               {{"t", QStringLiteral("a\u0001b\u001b[31mc\u007f\u0085")}});
    db.execute("update Dusmere_Order_Form_head set Link_man=:t", {{"t", QStringLiteral("王\x07")}});
    const Result escaped = p.ctl({"order", "show", code});
    QCOMPARE(escaped.code, 0);
    QVERIFY2(escaped.out.contains(QStringLiteral("\nLink_man=王\\u0007\n"), Qt::CaseInsensitive),
             qPrintable(escaped.out));
    QVERIFY2(escaped.out.contains(QStringLiteral("\ta\\u0001b\\u001b[31mc\\u007f\\u0085\t")), qPrintable(escaped.out));
    for (const QChar ch : escaped.out) {
        QVERIFY(ch == '\n' || ch == '\t' || ch.category() != QChar::Other_Control);
    }
    const Result missing = p.ctl({"order", "show", "AA0000000000"});
    QCOMPARE(missing.code, 1);
    QCOMPARE(missing.err, QString("订货单[AA0000000000]不存在\n"));
    QCOMPARE(missing.out, QString());
}

void TestCtlOrders::deleteTakesRowsAndDerivedForms() {
    Program p;
    Database& db = p.db();
    const QString keep = p.sample();
    const QString gone = p.sample();
    for (const QString& code : {keep, gone}) {
        for (const char* kind : {"work", "wareout", "shipment"}) {
            QCOMPARE(p.ctl({"order", "generate", kind, code}).code, 0);
        }
    }
    const Result r = p.ctl({"order", "delete", gone});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString());
    for (const char* sql : {"select count(*) from Dusmere_Order_Form_head where Order_Form_Code=:h",
                            "select count(*) from Dusmere_Order_Form_Detail where Head_Code=:h",
                            "select count(*) from Dusmere_Work_Form_Head where Order_Form_Code=:h",
                            "select count(*) from Dusmere_Work_Form_Detail where Order_Form_Code=:h",
                            "select count(*) from Dusmere_Ware_Out_Form_Head where Ware_Out_Form_Code=:h",
                            "select count(*) from Dusmere_Ware_Out_Form_Detail where head_code=:h",
                            "select count(*) from Dusmere_Shipment_Form_Head where Shipment_Form_Code=:h",
                            "select count(*) from Dusmere_Shipment_Form_Detail where head_code=:h"}) {
        QCOMPARE(count(db, sql, {{"h", gone}}), 0);
        QVERIFY(count(db, sql, {{"h", keep}}) > 0);
    }
    const Result again = p.ctl({"order", "delete", gone});
    QCOMPARE(again.code, 1);
    QCOMPARE(again.err, QString("订货单[%1]不存在\n").arg(gone));
}

void TestCtlOrders::generateReplacesOnlyWhenTold_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("tables");
    QTest::newRow("work") << "work"
                          << "工作单" << QStringList{"Dusmere_Work_Form_Head", "Dusmere_Work_Form_Detail"};
    QTest::newRow("wareout") << "wareout"
                             << "出仓单" << QStringList{"Dusmere_Ware_Out_Form_Head", "Dusmere_Ware_Out_Form_Detail"};
    QTest::newRow("shipment") << "shipment"
                              << "出货单" << QStringList{"Dusmere_Shipment_Form_Head", "Dusmere_Shipment_Form_Detail"};
}

// The first time nothing is asked; then the overwrite question is answered
// No without --yes (nothing written) and Yes with it.
void TestCtlOrders::generateReplacesOnlyWhenTold() {
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(QStringList, tables);
    Program p;
    Database& db = p.db();
    const QString code = p.sample();
    const QString done = QStringLiteral("处理完毕,已成功生成%1\n").arg(name);
    const Result first = p.ctl({"order", "generate", kind, code});
    QCOMPARE(first.err, QString());
    QCOMPARE(first.code, 0);
    QCOMPARE(first.out, done);
    if (kind == "work") {
        // Series 1, series 2, then the row without a series.
        QCOMPARE(dump(db,
                      "(select Work_Form_Code, goods_code from Dusmere_Work_Form_Head h join "
                      "Dusmere_Work_Form_Detail d on d.head_Code = h.Work_Form_Code) w",
                      "Work_Form_Code, goods_code"),
                 QStringList({"0606250001|1", "0606250001|3", "0606250002|2", "0606250003|4"}));
    } else if (kind == "wareout") {
        QCOMPARE(db.scalar("select DetailNames from Dusmere_Ware_Out_Form_Detail").toString(),
                 QString("断桥铝系列 2平方米 (1)(3);断桥铝系列 3扇 (1)(3);塑钢系列 1平方米 (2)"));
        QCOMPARE(db.scalar("select Fittings from Dusmere_Ware_Out_Form_Detail").toString(), QString("执手锁 5 加长 "));
    } else {
        QCOMPARE(rows(db, "Dusmere_Shipment_Form_Detail"), 4);
    }
    // The order changes; without --yes the forms stay as they were.
    db.execute("update Dusmere_Order_Form_Detail set Goods_Type=3, QTY=7");
    QStringList before;
    for (const QString& t : tables) {
        before << dump(db, t);
    }
    const Result no = p.ctl({"order", "generate", kind, code});
    QCOMPARE(no.code, 1);
    QCOMPARE(no.out, QString());
    QVERIFY2(no.err.startsWith(QStringLiteral("该订货单曾经生成过%1，是否要覆盖已有的%1？\n").arg(name)),
             qPrintable(no.err));
    QVERIFY(no.err.contains("--yes"));
    QStringList after;
    for (const QString& t : tables) {
        after << dump(db, t);
    }
    QCOMPARE(after, before);
    const Result yes = p.ctl({"order", "generate", kind, code, "--yes"});
    QCOMPARE(yes.err, QString());
    QCOMPARE(yes.code, 0);
    QCOMPARE(yes.out, done);
    if (kind == "work") {
        // One series now: one form, under the next number of the day.
        QCOMPARE(count(db, "select count(*) from Dusmere_Work_Form_Head"), 1);
        QCOMPARE(db.scalar("select Work_Form_Code from Dusmere_Work_Form_Head").toString(), QString("0606250004"));
        QCOMPARE(rows(db, "Dusmere_Work_Form_Detail"), 4);
    } else if (kind == "wareout") {
        QCOMPARE(db.scalar("select DetailNames from Dusmere_Ware_Out_Form_Detail").toString(),
                 QString("铝合金系列 14平方米 (1)(2)(3)(4);铝合金系列 7扇 (1)(2)(3)(4);铝合金系列 7樘 (1)(2)(3)(4)"));
        QCOMPARE(rows(db, "Dusmere_Ware_Out_Form_Head"), 1);
    } else {
        QCOMPARE(rows(db, "Dusmere_Shipment_Form_Head"), 1);
        QCOMPARE(rows(db, "Dusmere_Shipment_Form_Detail"), 4);
    }
}

void TestCtlOrders::generateRefusals() {
    Program p;
    Database& db = p.db();
    db.execute("insert into Dusmere_Order_Form_head (Order_Form_Code) values ('AA0601010001')");
    const Result empty = p.ctl({"order", "generate", "shipment", "AA0601010001"});
    QCOMPARE(empty.code, 1);
    QCOMPARE(empty.err, QString("该订货单没有录入货品，不能生成出货单\n"));
    const Result gone = p.ctl({"order", "generate", "work", "AA0000000000"});
    QCOMPARE(gone.code, 1);
    QCOMPARE(gone.err, OrderFormGenerator::orderGoneText("AA0000000000") + '\n');
    for (const QString& t : kOrderTables.mid(2)) {
        QCOMPARE(rows(db, t), 0);
    }
    for (const QStringList& args :
         {QStringList{"order", "generate", "invoice", "AA0601010001"}, QStringList{"order", "generate", "work"},
          QStringList{"order", "generate", "work", "AA0601010001", "--yes", "--yes"}, QStringList{"order", "show"},
          QStringList{"order", "copy", "AA0601010001"}}) {
        const Result r = p.ctl(args);
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.startsWith("usage: olvendctl"));
    }
}

void TestCtlOrders::actingUserNeedsTheRights_data() {
    QTest::addColumn<QStringList>("args");    // @code@: the sample order, @folder@: the program folder
    QTest::addColumn<QStringList>("rights");  // window/action
    QTest::addColumn<QString>("done");        // what is printed when allowed; @code@ is the order made
    QTest::addColumn<QString>("effect");      // a count that the command changes, the new user's rows
    QTest::addColumn<int>("after");
    // In the windows a new order is added in the list and saved in the
    // order window; each goods row is added there and saved in the goods-row
    // window, by 保存并退出 for the last row and 增加下个商品 for the others.
    const QStringList newOrder{"frm_GainBill_list/Action_Add", "frm_GainBill/Action_AddGoods",
                               "frm_GainBill/Action_Save", "Dusmere_Order_Form_GoodsEdit_Frm/Action_SaveAndExit"};
    const QString byTheUser = "select count(*) from Dusmere_Order_Form_head where User_name='李四'";
    QTest::newRow("new, one row") << QStringList{"order", "new", "@folder@/one.json"} << newOrder << "AA0606250002\n"
                                  << byTheUser << 1;
    QTest::newRow("new, two rows") << QStringList{"order", "new", "@folder@/two.json"}
                                   << newOrder + QStringList{"Dusmere_Order_Form_GoodsEdit_Frm/Action_AddGoods"}
                                   << "AA0606250002\n"
                                   << byTheUser << 1;
    QTest::newRow("delete") << QStringList{"order", "delete", "@code@"}
                            << QStringList{"frm_GainBill_list/Action1_delete"} << ""
                            << "select count(*) from Dusmere_Order_Form_head" << 0;
    QTest::newRow("work forms") << QStringList{"order", "generate", "work", "@code@"}
                                << QStringList{"frm_GainBill_list/Action_CreateWorkFormExecute"}
                                << "处理完毕,已成功生成工作单\n"
                                << "select count(*) from Dusmere_Work_Form_Head where KeyIn_Person='李四'" << 3;
    QTest::newRow("ware-out form") << QStringList{"order", "generate", "wareout", "@code@"}
                                   << QStringList{"frm_GainBill_list/Action_CreateWareOutFormExecute"}
                                   << "处理完毕,已成功生成出仓单\n"
                                   << "select count(*) from Dusmere_Ware_Out_Form_Head where KeyIn_Person='李四'" << 1;
    QTest::newRow("shipment form") << QStringList{"order", "generate", "shipment", "@code@"}
                                   << QStringList{"frm_GainBill_list/Action_CreateShipmentFormExecute"}
                                   << "处理完毕,已成功生成出货单\n"
                                   << "select count(*) from Dusmere_Shipment_Form_Head where KeyIn_Person='李四'" << 1;
    QTest::newRow("print") << QStringList{"print", "order", "@code@", "--out", "@folder@/order.htm"}
                           << QStringList{"frm_GainBill_list/Action_print"} << "1\n"
                           << "select count(*) from Dusmere_Order_Form_head" << 1;
}

// Every command runs as a user of the book with the rights the order
// windows check: without any one of them it is refused and writes nothing;
// with them all it is done, as that user.
void TestCtlOrders::actingUserNeedsTheRights() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, rights);
    QFETCH(QString, done);
    QFETCH(QString, effect);
    QFETCH(int, after);
    Program p;
    Database& db = p.db();
    const QString code = p.sample();
    db.execute("insert into Sys_user (User_name, User_Group, type) values ('业务组', '0', 0), ('李四', '业务组', 1)");
    p.file("one.json", R"({"rows": [{"Goods_name": 1}]})");
    p.file("two.json", R"({"rows": [{"Goods_name": 1}, {"Goods_name": 2}]})");
    const QString htm = p.program.folder() + "/order.htm";
    for (QString& arg : args) {
        arg.replace("@code@", code).replace("@folder@", p.program.folder());
    }
    auto grantOnly = [&db](const QStringList& granted) {
        db.execute("delete from Sys_user_Operation where User_name='业务组'");
        for (const QString& right : granted) {
            const QStringList parts = right.split('/');
            QCOMPARE(count(db,
                           "select count(*) from Sys_Operation_Table where LOWER(Form_Name)=:f and "
                           "LOWER(Action_Name)=:a",
                           {{"f", parts[0].toLower()}, {"a", parts[1].toLower()}}),
                     1);
            db.execute(
                "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table "
                "where LOWER(Form_Name)=:f and LOWER(Action_Name)=:a",
                {{"f", parts[0].toLower()}, {"a", parts[1].toLower()}});
        }
    };
    const int before = count(db, effect);
    QStringList tables;
    for (const QString& t : kOrderTables) {
        tables << dump(db, t);
    }
    for (int missing = 0; missing < rights.size(); ++missing) {
        QStringList granted = rights;
        granted.removeAt(missing);
        grantOnly(granted);
        const Result r = p.ctl(QStringList{"--user", "李四"} + args);
        QVERIFY2(r.code == 3,
                 qPrintable(QStringLiteral("%1 missing: %2 %3").arg(rights[missing]).arg(r.code).arg(r.err)));
        QCOMPARE(r.err, kRefusal);
        QCOMPARE(r.out, QString());
        QCOMPARE(count(db, effect), before);
        QStringList now;
        for (const QString& t : kOrderTables) {
            now << dump(db, t);
        }
        QCOMPARE(now, tables);
        QVERIFY(!QFile::exists(htm));
    }
    grantOnly(rights);
    const Result r = p.ctl(QStringList{"--user", "李四"} + args);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, done);
    QCOMPARE(count(db, effect), after);
    if (args.first() == "print") {
        QFile f(htm);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(f.readAll());
        for (const QString& text :
             {code, QStringLiteral("海景酒楼"), QStringLiteral("平开窗"), QStringLiteral("960.00")}) {
            QVERIFY2(html.contains(text), qPrintable(text));
        }
    }
}

// An order or a user the book does not hold is told, not refused as a
// missing right.
void TestCtlOrders::unknownOrderOrUserIsTold() {
    Program p;
    const QString code = p.sample();
    const QString htm = p.program.folder() + "/order.htm";
    const Result unknown = p.ctl({"print", "order", "AA0000000000", "--out", htm});
    QCOMPARE(unknown.code, 1);
    QCOMPARE(unknown.err, QString("找不到订单: AA0000000000\n"));
    QVERIFY(!QFile::exists(htm));
    const Result nobody = p.ctl({"--user", "nobody", "order", "delete", code});
    QCOMPARE(nobody.code, 1);
    QVERIFY(nobody.err.contains("nobody"));
    QCOMPARE(rows(p.db(), "Dusmere_Order_Form_head"), 1);
}

QTEST_MAIN(TestCtlOrders)
#include "test_ctl_orders.moc"
