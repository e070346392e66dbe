#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTest>

#include "data/data_module.h"
#include "data/permission_checker.h"
#include "documents/document_fixture.h"
#include "documents/order_form_generator.h"
#include "support/ctl_book.h"
#include "support/golden.h"
#include "support/test_books.h"

using namespace DocumentFixture;

// The order-form commands of olvendctl on both engines: orders from a
// file and the refusals of a file, show, delete, the forms made from an
// order, and the acting user's rights. The order's defaults and checks and
// the forms' contents are tested with OrderFormDocument and
// OrderFormGenerator. The seeded code lists name goods 1-6 (平开窗
// 1200*1500 扇... with their defaults), units 1-6, series 1-4 and locks 1-4.
class TestCtlOrders : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void newOrderFromAFileAndShow();
    void refusedFilesWriteNothing();
    void limitsFit();
    void unreadableFilesAreTold();
    void deleteTakesTheOrder();
    void generateReplacesOnlyWhenTold();
    void generateRefusals();
    void actingUserNeedsTheRights_data();
    void actingUserNeedsTheRights();
    void unknownOrderOrUserIsTold();
};

namespace {
using Result = CtlCall::Result;
using CtlBooks::counter;
using CtlBooks::dump;
using CtlBooks::kOrderTables;
using CtlBooks::rows;

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
    QStringList tables() {
        QStringList out;
        for (const QString& t : kOrderTables) {
            out << dump(db(), t);
        }
        return out;
    }
};
}  // namespace

// The goods name's defaults first, then the fields as given in the table's
// order (the amount computed from price and quantity), a given amount
// last; shown as every column of the head as name=value, an empty line,
// then a header of every row column and the rows in the order added; texts
// escaped, control characters a book holds (written by another program)
// written \uXXXX, so that they reach no terminal.
void TestCtlOrders::newOrderFromAFileAndShow() {
    Program p;
    Database& db = p.db();
    const QString path = p.file("o.json", R"({"Link_man": "王先生", "Send_Date": "2006-07-05", "earnest": 500,
        "Remark_WorkForm": "\"Link_man\": \"rows\", {[\\", "rows": [
            {"Goods_name": 1, "QTY": 2, "Remark_ShipmentForm": "一行\n二行\t\\"},
            {"Goods_Code": "A7", "Goods_name": 6, "QTY": 2.5, "Price": 100, "Total_Price": 240},
            {"Total_Price": 10, "Price": 3, "QTY": "1.5", "Goods_Unit": 4, "Goods_name": 2, "Goods_Type": 1,
             "Lock_Size": 4, "Lock_Fittings": "加长", "Model_Size": "1000*1000"}]})");
    const Result r = p.ctl({"order", "new", path});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("AA0606250001\n"));
    db.execute("update Dusmere_Order_Form_Detail set Remark_WorkForm=:t where Goods_Code='A7'",
               {{"t", QStringLiteral("a\u0001b\u001b[31mc\u007f\u0085")}});
    db.execute("update Dusmere_Order_Form_head set Contract_No=:t", {{"t", QStringLiteral("王\x07")}});
    const Result shown = p.ctl({"order", "show", "AA0606250001"});
    QCOMPARE(shown.err, QString());
    QCOMPARE(shown.code, 0);
    OLVEND_COMPARE_GOLDEN("tools/order_show.txt", shown.out);
    const Result missing = p.ctl({"order", "show", "AA0000000000"});
    QCOMPARE(missing.code, 1);
    QCOMPARE(missing.err, QString("订货单[AA0000000000]不存在\n"));
    QCOMPARE(missing.out, QString());
}

namespace {
// The refusals of an order file, one case per message: the name of the
// case, the file, and what the message must contain. The goods-row checks
// (codes, code-list values) are tested with OrderGoodsEditor, a number
// with letters in the quotation command's table.
const struct {
    const char* name;
    QByteArray json;
    QString message;
} kRefusedFiles[] = {
    {"no goods name", R"({"rows": [{"Goods_name": 1}, {"Goods_Unit": 1, "QTY": 2}]})",
     QStringLiteral("明细第2行：请填写[货品名称]")},
    // Integer columns take whole numbers that both engines' INTEGER holds;
    // nothing is rounded or cut into another code.
    {"one past the largest integer", R"({"rows": [{"Goods_name": 1, "Lock_Size": 2147483648}]})",
     QStringLiteral("明细第1行的字段[Lock_Size]必须是 -2147483648 到 2147483647 之间的整数，不能是\"2147483648\"")},
    {"unknown head fields", R"({"Foo": 1, "Bar": 2, "rows": [{"Goods_name": 1}]})",
     QStringLiteral("订单没有字段[Bar]、[Foo]（字段名按 Dusmere_Order_Form_head 的列名书写）")},
    {"unknown row field", R"({"rows": [{"Goods_name": 1, "GoodsNo": "A"}]})",
     QStringLiteral("明细第1行没有字段[GoodsNo]")},
    {"the program's row field", R"({"rows": [{"Goods_name": 1, "Head_Code": "X"}]})",
     QStringLiteral("明细第1行的字段[Head_Code]由程序填写")},
    {"a name twice", R"({"rows": [{"Goods_name": 1, "goods_NAME": 2}]})",
     QStringLiteral("明细第1行的字段[goods_NAME]重复")},
    // Qt's reader keeps the last of two members of one name; the file is
    // refused instead.
    {"a field written twice", R"({"Link_man": "王", "rows": [{"Goods_name": 1}], "Link_man": "李"})",
     QStringLiteral("字段[Link_man]重复（第1行第48列）")},
    {"no date", R"({"Send_Date": "下周", "rows": [{"Goods_name": 1}]})", QStringLiteral("字段[Send_Date]不是日期")},
    // The window's date box holds 1900-01-02 to 9999-12-31 (1900-01-01 is
    // its empty date).
    {"a date before the first day", R"({"Send_Date": "1900-01-01", "rows": [{"Goods_name": 1}]})",
     QStringLiteral("字段[Send_Date]的日期 1900-01-01 超出范围：日期须在 1900-01-02 到 9999-12-31 之间")},
    // Text holds no control characters but tab, line feed and carriage
    // return (a server refuses U+0000, an embedded book would keep it).
    {"a NUL in a text", R"({"Link_man": "a\u0000b", "rows": [{"Goods_name": 1}]})",
     QStringLiteral("字段[Link_man]中有控制字符 U+0000")},
    {"paid mark neither 0 nor 1", R"({"isPay": 2, "rows": [{"Goods_name": 1}]})",
     QStringLiteral("字段[isPay]只能是 0（未付清）或 1（已付清）")},
    // Where the reader stopped and why, in the user's words.
    {"malformed JSON", "{\"rows\": [\n{\"Goods_name\": 1},]}",
     QStringLiteral("不是有效的 JSON：第2行第20列附近有错误（逗号后缺少内容）")},
    {"not UTF-8", "{\"Link_man\": \"\xcd\xf5\", \"rows\": [{\"Goods_name\": 1}]}",
     QStringLiteral("第1行第15列附近有错误（有不是 UTF-8 编码的文字")},
    {"no colon", R"({"rows" [{"Goods_name": 1}]})", QStringLiteral("（字段名后缺少冒号 :）")},
    {"cut short", R"({"rows": [{"Goods_name": 1})", QStringLiteral("（数组缺少结尾的 ]）")},
    {"rows not an array", R"({"rows": {"Goods_name": 1}})", QStringLiteral("[rows]必须是货品明细的数组")},
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
}

// A code list may offer the largest and smallest INTEGER, and the window's
// date box holds its first and last day: an order keeps them as given on
// both engines (the second glass taking the glass list's values).
void TestCtlOrders::limitsFit() {
    Program p;
    Database& db = p.db();
    for (const auto& [list, value] : {std::pair{"型材颜色", "2147483647"}, std::pair{"玻璃品种", "-2147483648"}}) {
        db.execute("insert into Sys_Status_Describe (ParamentName, StatusValue, StatusName) values (:l, :v, '极限')",
                   {{"l", QString::fromUtf8(list)}, {"v", QString::fromLatin1(value)}});
    }
    const QString code = p.order(R"({"Send_Date": "1900-01-02", "PayOver_Date": "9999-12-31 23:59:59",
        "rows": [{"Goods_name": 1, "Colour": 2147483647, "Glass_Type2": -2147483648}]})");
    QSqlQuery q =
        db.query("select Colour, Glass_Type2 from Dusmere_Order_Form_Detail where Head_Code=:c", {{"c", code}});
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toLongLong(), 2147483647LL);
    QCOMPARE(q.value(1).toLongLong(), -2147483648LL);
    const QString shown = p.ctl({"order", "show", code}).out;
    QVERIFY2(shown.contains("\nSend_Date=1900-01-02\n", Qt::CaseInsensitive), qPrintable(shown));
    QVERIFY2(shown.contains("\nPayOver_Date=9999-12-31 23:59:59\n", Qt::CaseInsensitive), qPrintable(shown));
}

// A file that cannot be read is named, and why, without the system's
// English words.
void TestCtlOrders::unreadableFilesAreTold() {
    Program p;
    QVERIFY(QDir(p.program.folder()).mkdir("folder.json"));
    for (const auto& [command, name, message] : {std::tuple{"order", "missing.json", "文件不存在"},
                                                 std::tuple{"quotation", "folder.json", "这是一个文件夹，不是文件"}}) {
        const QString path = p.program.folder() + '/' + QLatin1String(name);
        const Result r = p.ctl({QLatin1String(command), "new", path});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        QCOMPARE(r.err, QStringLiteral("无法读取文件[%1]：%2\n").arg(path, QString::fromUtf8(message)));
    }
}

// What deleting takes along is tested with OrderFormGenerator; here the
// command and its answers.
void TestCtlOrders::deleteTakesTheOrder() {
    Program p;
    const QString keep = p.sample();
    const QString gone = p.sample();
    const Result r = p.ctl({"order", "delete", gone});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString());
    QCOMPARE(dump(p.db(), "(select Order_Form_Code from Dusmere_Order_Form_head) h", "Order_Form_Code"),
             QStringList{keep});
    const Result again = p.ctl({"order", "delete", gone});
    QCOMPARE(again.code, 1);
    QCOMPARE(again.err, QString("订货单[%1]不存在\n").arg(gone));
}

// The first time nothing is asked; then the overwrite question is answered
// No without --yes (nothing written) and Yes with it.
void TestCtlOrders::generateReplacesOnlyWhenTold() {
    Program p;
    const QString code = p.sample();
    for (const auto& [kind, name] :
         {std::pair{"work", "工作单"}, std::pair{"wareout", "出仓单"}, std::pair{"shipment", "出货单"}}) {
        const QStringList args{"order", "generate", QLatin1String(kind), code};
        const QString done = QStringLiteral("处理完毕,已成功生成%1\n").arg(QString::fromUtf8(name));
        const Result first = p.ctl(args);
        QCOMPARE(first.err, QString());
        QCOMPARE(first.code, 0);
        QCOMPARE(first.out, done);
        p.db().execute("update Dusmere_Order_Form_Detail set Goods_Type=3, QTY=7");
        const QStringList before = p.tables();
        const Result no = p.ctl(args);
        QCOMPARE(no.code, 1);
        QCOMPARE(no.out, QString());
        QVERIFY2(no.err.startsWith(QStringLiteral("该订货单曾经生成过%1，是否要覆盖已有的%1？\n").arg(name)),
                 qPrintable(no.err));
        QVERIFY(no.err.contains("--yes"));
        QCOMPARE(p.tables(), before);
        const Result yes = p.ctl(args + QStringList{"--yes"});
        QCOMPARE(yes.err, QString());
        QCOMPARE(yes.code, 0);
        QCOMPARE(yes.out, done);
        QVERIFY(p.tables() != before);
        p.db().execute("update Dusmere_Order_Form_Detail set Goods_Type=1, QTY=2");
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
    QTest::addColumn<QString>("done");        // what is printed when allowed
    // In the windows a new order is added in the list and saved in the
    // order window; each goods row is added there and saved in the goods-row
    // window, by 保存并退出 for the last row and 增加下个商品 for the others.
    QTest::newRow("new") << QStringList{"order", "new", "@folder@/two.json"}
                         << QStringList{"frm_GainBill_list/Action_Add", "frm_GainBill/Action_AddGoods",
                                        "frm_GainBill/Action_Save",
                                        "Dusmere_Order_Form_GoodsEdit_Frm/Action_SaveAndExit",
                                        "Dusmere_Order_Form_GoodsEdit_Frm/Action_AddGoods"}
                         << "AA0606250002\n";
    QTest::newRow("delete") << QStringList{"order", "delete", "@code@"}
                            << QStringList{"frm_GainBill_list/Action1_delete"} << "";
    QTest::newRow("work forms") << QStringList{"order", "generate", "work", "@code@"}
                                << QStringList{"frm_GainBill_list/Action_CreateWorkFormExecute"}
                                << "处理完毕,已成功生成工作单\n";
    QTest::newRow("print") << QStringList{"print", "order", "@code@", "--out", "@folder@/order.htm"}
                           << QStringList{"frm_GainBill_list/Action_print"} << "1\n";
}

// Every command runs as a user of the book with the rights the order
// windows check: without any one of them it is refused and writes nothing;
// with them all it is done, as that user.
void TestCtlOrders::actingUserNeedsTheRights() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, rights);
    QFETCH(QString, done);
    Program p;
    Database& db = p.db();
    const QString code = p.sample();
    db.execute("insert into Sys_user (User_name, User_Group, type) values ('业务组', '0', 0), ('李四', '业务组', 1)");
    p.file("two.json", R"({"rows": [{"Goods_name": 1}, {"Goods_name": 2}]})");
    const QString htm = p.program.folder() + "/order.htm";
    for (QString& arg : args) {
        arg.replace("@code@", code).replace("@folder@", p.program.folder());
    }
    auto grantOnly = [&db](const QStringList& granted) {
        db.execute("delete from Sys_user_Operation where User_name='业务组'");
        for (const QString& right : granted) {
            const QStringList parts = right.split('/');
            const QVariantMap names{{"f", parts[0].toLower()}, {"a", parts[1].toLower()}};
            QCOMPARE(count(db,
                           "select count(*) from Sys_Operation_Table where LOWER(Form_Name)=:f and "
                           "LOWER(Action_Name)=:a",
                           names),
                     1);
            db.execute(
                "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table "
                "where LOWER(Form_Name)=:f and LOWER(Action_Name)=:a",
                names);
        }
    };
    const QStringList tables = p.tables();
    for (int missing = 0; missing < rights.size(); ++missing) {
        QStringList granted = rights;
        granted.removeAt(missing);
        grantOnly(granted);
        const Result r = p.ctl(QStringList{"--user", "李四"} + args);
        QVERIFY2(r.code == 3,
                 qPrintable(QStringLiteral("%1 missing: %2 %3").arg(rights[missing]).arg(r.code).arg(r.err)));
        QCOMPARE(r.err, PermissionChecker::refusalText() + '\n');
        QCOMPARE(r.out, QString());
        QCOMPARE(p.tables(), tables);
        QVERIFY(!QFile::exists(htm));
    }
    grantOnly(rights);
    const Result r = p.ctl(QStringList{"--user", "李四"} + args);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, done);
    QCOMPARE(p.tables() != tables, args.first() != "print");
    // Written as that user: the new order's and the forms' author.
    QCOMPARE(p.tables().join('\n').contains("李四"), args[1] == "new" || args[1] == "generate");
    if (args.first() == "print") {
        QFile f(htm);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(f.readAll());
        for (const QString& text : {code, QStringLiteral("海景酒楼"), QStringLiteral("960.00")}) {
            QVERIFY2(html.contains(text), qPrintable(text));
        }
    }
}

// An order the book does not hold is told, not refused as a missing right
// (an unknown user: test_ctl_documents).
void TestCtlOrders::unknownOrderOrUserIsTold() {
    Program p;
    const QString htm = p.program.folder() + "/order.htm";
    const Result unknown = p.ctl({"print", "order", "AA0000000000", "--out", htm});
    QCOMPARE(unknown.code, 1);
    QCOMPARE(unknown.err, QString("找不到订单: AA0000000000\n"));
    QVERIFY(!QFile::exists(htm));
}

QTEST_MAIN(TestCtlOrders)
#include "test_ctl_orders.moc"
