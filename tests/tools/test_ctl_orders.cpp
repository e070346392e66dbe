#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTest>

#include "data/data_module.h"
#include "support/golden.h"
#include "tools/ctl_book.h"

namespace {
struct Program : CtlBook {
    // Two rows of series 1, one of series 2 and one without a series; locks on two rows.
    QString sample() {
        return order(R"({"Gain_Customer_Name": "海景酒楼", "rows": [
            {"Goods_name": 1, "Goods_Type": 1, "QTY": 2, "Lock_Size": 4, "Lock_Fittings": "加长"},
            {"Goods_name": 2, "Goods_Type": 2},
            {"Goods_name": 6, "Goods_Type": 1, "QTY": 3, "Lock_Size": 4},
            {"Goods_name": 3}]})");
    }
};
}  // namespace

// The refusals of an order file, one per message (goods-row checks: OrderGoodsEditor's); messages in the golden file.
const QByteArray kRefusedFiles[] = {
    R"({"rows": [{"Goods_name": 1}, {"Goods_Unit": 1, "QTY": 2}]})",
    // Beyond both engines' INTEGER.
    R"({"rows": [{"Goods_name": 1, "Lock_Size": 2147483648}]})",
    R"({"Foo": 1, "Bar": 2, "rows": [{"Goods_name": 1}]})",
    R"({"rows": [{"Goods_name": 1, "GoodsNo": "A"}]})",
    R"({"rows": [{"Goods_name": 1, "Head_Code": "X"}]})",
    R"({"isPigeonhole": 1, "rows": [{"Goods_name": 1}]})",
    R"({"rows": [{"Goods_name": 1, "goods_NAME": 2}]})",
    // Two members of one name (Qt's reader would keep the last).
    R"({"Link_man": "王", "rows": [{"Goods_name": 1}], "Link_man": "李"})",
    R"({"Send_Date": "下周", "rows": [{"Goods_name": 1}]})",
    // The date box's empty date.
    R"({"Send_Date": "1900-01-01", "rows": [{"Goods_name": 1}]})",
    // A control character other than tab, line feed and carriage return.
    R"({"Link_man": "a\u0000b", "rows": [{"Goods_name": 1}]})",
    R"({"isPay": 2, "rows": [{"Goods_name": 1}]})",
    // Where the reader stopped and why, in the user's words.
    "{\"rows\": [\n{\"Goods_name\": 1},]}",
    "{\"Link_man\": \"\xcd\xf5\", \"rows\": [{\"Goods_name\": 1}]}",
    R"({"rows" [{"Goods_name": 1}]})",
    R"({"rows": [{"Goods_name": 1})",
    R"({"rows": {"Goods_name": 1}})",
};

// An order with every kind of value (defined after the class: moc misreads this raw string).
extern const char* const kFullOrderFile;

// The order-form commands of olvendctl on both engines (the order's rules and the forms' contents: OrderFormDocument's
// and OrderFormGenerator's suites). The seeded code lists name goods 1-6, units 1-6, series 1-4 and locks 1-4.
class TestCtlOrders : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    // The goods name's defaults, then the fields in the table's order, a given amount last; shown as the head's columns
    // as name=value, then the rows under a header; texts escaped, control characters a book holds written \uXXXX. The
    // largest and smallest INTEGER a code list offers and the date box's first and last day are kept as given.
    void newOrderFromAFileAndShow() {
        Program p;
        p.db().execute(
            "insert into Sys_Status_Describe (ParamentName, StatusValue, StatusName) values ('型材颜色', '2147483647', "
            "'极限'), ('玻璃品种', '-2147483648', '极限')");
        const QString path = p.file("o.json", kFullOrderFile);
        QCOMPARE(p.run({"order", "new", path}), QString("$ order new <home>/o.json\nexit 0\n> AA0606250001\n"));
        p.db().execute("update Dusmere_Order_Form_Detail set Remark_WorkForm=:t where Goods_Code='A7'",
                       {{"t", QStringLiteral("a\u0001b\u001b[31mc\u007f\u0085")}});
        p.db().execute("update Dusmere_Order_Form_head set Contract_No=:t", {{"t", QStringLiteral("王\x07")}});
        const CtlCall::Result shown = p.ctl({"order", "show", "AA0606250001"});
        QCOMPARE(shown.err + QString::number(shown.code), QString("0"));
        OLVEND_COMPARE_GOLDEN("tools/order_show.txt", shown.out);
    }
    // A refused command leaves the book as it was, no number or goods code drawn: the next good file takes the next
    // ones. An unreadable file is named with why in the user's words; an unknown order is told, not refused as a
    // missing right.
    void refusalsWriteNothing() {
        Program p;
        const QString code = p.sample();  // goods codes 1 to 4
        p.db().execute("insert into Dusmere_Order_Form_head (Order_Form_Code) values ('AA0601010001')");
        QVERIFY(QDir(p.folder()).mkdir("folder.json"));
        const QStringList before = p.state();
        QString log;
        for (const QByteArray& json : kRefusedFiles) {
            log += p.run({"order", "new", p.file("bad.json", json)});
        }
        log += p.runAll({"order new <home>/missing.json", "quotation new <home>/folder.json", "order show AA0000000000",
                         "order delete AA0000000000", "order generate shipment AA0601010001",
                         "order generate work AA0000000000", "print order AA0000000000 --out <home>/order.htm",
                         "order generate invoice " + code, "order generate work",
                         "order generate work " + code + " --yes --yes", "order show", "order copy " + code});
        QCOMPARE(p.state(), before);
        OLVEND_COMPARE_GOLDEN("tools/order_refusals.txt", log);
        const QString next = p.order(R"({"rows": [{"Goods_name": 1}]})");
        QCOMPARE(next, QString("AA0606250002"));
        QCOMPARE(p.db()
                     .scalar("select Goods_Code from Dusmere_Order_Form_Detail where Head_Code=:c", {{"c", next}})
                     .toString(),
                 QString("5"));
    }
    // Deleting says nothing and takes the order (what goes along: OrderFormGenerator's). Generating again is answered
    // No without --yes (nothing written) and Yes with it.
    void deleteAndGenerate() {
        Program p;
        const QString code = p.sample();
        QString log = p.run({"order", "delete", p.sample()});
        QCOMPARE(CtlBooks::dump(p.db(), "(select Order_Form_Code from Dusmere_Order_Form_head) h"), QStringList{code});
        for (const char* kind : {"work", "wareout", "shipment"}) {
            const QStringList args{"order", "generate", QLatin1String(kind), code};
            log += p.run(args);
            p.db().execute("update Dusmere_Order_Form_Detail set Goods_Type=3, QTY=7");
            const QStringList before = p.state();
            log += p.run(args);
            QCOMPARE(p.state(), before);
            log += p.run(args + QStringList{"--yes"});
            QVERIFY(p.state() != before);
            p.db().execute("update Dusmere_Order_Form_Detail set Goods_Type=1, QTY=2");
        }
        OLVEND_COMPARE_GOLDEN("tools/order_generate.txt", log);
    }
    void actingUserNeedsTheRights_data() {
        QTest::addColumn<QStringList>("args");    // @code@: the sample order, @folder@: the program folder
        QTest::addColumn<QStringList>("rights");  // window/action
        QTest::addColumn<QString>("done");        // what is printed when allowed
        // As the windows: added in the list, saved in the order window, each row saved in the goods-row window
        // (保存并退出 the last, 增加下个商品 the others).
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
    // Each command needs the rights the order windows check, one by one; with them all it is done, as that user.
    void actingUserNeedsTheRights() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, rights);
        QFETCH(QString, done);
        Program p;
        const QString code = p.sample();
        p.file("two.json", R"({"rows": [{"Goods_name": 1}, {"Goods_name": 2}]})");
        for (QString& arg : args) {
            arg.replace("@code@", code).replace("@folder@", p.folder());
        }
        const QStringList before = p.state();
        CtlCall::Result r;
        QCOMPARE(p.needsEach(rights, args, &r), QStringList());
        QCOMPARE(r.out, done);
        QCOMPARE(p.state() != before, args.first() != "print");
        // Written as that user: the new order's and the forms' author.
        QCOMPARE(p.state().join('\n').contains("李四"), args[1] == "new" || args[1] == "generate");
        QFile f(args.last());
        QVERIFY(args.first() != "print" || (f.open(QIODevice::ReadOnly) && f.readAll().contains(code.toUtf8())));
    }
};

const char* const kFullOrderFile = R"({"Link_man": "王先生", "Send_Date": "1900-01-02", "earnest": 500,
        "PayOver_Date": "9999-12-31 23:59:59",
        "Remark_WorkForm": "\"Link_man\": \"rows\", {[\\", "rows": [
            {"Goods_name": 1, "QTY": 2, "Remark_ShipmentForm": "一行\n二行\t\\", "Colour": 2147483647,
             "Glass_Type2": -2147483648},
            {"Goods_Code": "A7", "Goods_name": 6, "QTY": 2.5, "Price": 100, "Total_Price": 240},
            {"Total_Price": 10, "Price": 3, "QTY": "1.5", "Goods_Unit": 4, "Goods_name": 2, "Goods_Type": 1,
             "Lock_Size": 4, "Lock_Fittings": "加长", "Model_Size": "1000*1000"}]})";

QTEST_MAIN(TestCtlOrders)
#include "test_ctl_orders.moc"
