#include <functional>

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include "data/dataset.h"
#include "data/order_form_revision.h"
#include "document_fixture.h"
#include "documents/derived_form_list.h"
#include "documents/order_form_document.h"
#include "documents/order_form_generator.h"
#include "documents/order_form_list.h"
#include "platform/errors.h"

using namespace DocumentFixture;

// Work, ware-out and shipment forms made from an order form, the texts that
// sum up its goods and locks, and the order list's delete, on both engines.
// The seeded code lists name series 1-4 (断桥铝系列, 塑钢系列, 铝合金系列,
// 实木系列), units 1-6 (樘, 扇, 平方米, 米, 套, 个) and locks 1-4 (单点锁,
// 多点锁, 月牙锁, 执手锁); 99 is in none of them.
class TestOrderFormsGeneration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void refusalsComeInTheirOrder_data();
    void refusalsComeInTheirOrder();
    void oneWorkFormPerSeriesAndOneForRowsWithout();
    void theOrderIsReadAgainAfterTheQuestion_data();
    void theOrderIsReadAgainAfterTheQuestion();
    void generatingAgainReplacesOnlyThisOrdersForms_data();
    void generatingAgainReplacesOnlyThisOrdersForms();
    void aFailureHalfWayLeavesTheOldForms_data();
    void aFailureHalfWayLeavesTheOldForms();
    void goodsSummary_data();
    void goodsSummary();
    void lockSummary_data();
    void lockSummary();
    void wareOutFormHoldsBothSummaries();
    void shipmentFormTakesTheCustomersMobile();
    void listShowsOrdersWithTheirAmount();
    void deleteTakesEveryDerivedFormInOneTransaction();
    void selectionMessages();
    void hostileTextIsKeptAsTyped();
    void formsMadeBeforeTheOrderChangedSaySo();
};

namespace {

const QStringList kKinds{"work", "wareOut", "shipment"};

QString kindName(const QString& kind) {
    return kind == "work" ? QString("工作单") : kind == "wareOut" ? QString("出仓单") : QString("出货单");
}

bool generate(Book& b, const QString& kind, const QStringList& codes, const QString& user = "张三") {
    OrderFormGenerator g(b.db(), b.clock, b.prompter, user);
    if (kind == "work") {
        return g.createWorkForms(codes);
    }
    if (kind == "wareOut") {
        return g.createWareOutForm(codes);
    }
    return g.createShipmentForm(codes);
}

void addOrder(Database& db, const QString& code, const QVariant& corp = QVariant()) {
    db.query("insert into Dusmere_Order_Form_head (Order_Form_Code, corp_code) values (:c, :corp)",
             {{"c", code}, {"corp", corp}});
}

void addRow(Database& db, const QString& order, const QString& goods, const QVariant& series, const QVariant& unit = 1,
            const QVariant& qty = 1, const QVariant& lock = QVariant(), const QVariant& fittings = QVariant(),
            const QVariant& price = QVariant()) {
    db.query(
        "insert into Dusmere_Order_Form_Detail (Head_Code, Goods_Code, Goods_Type, Goods_Unit, QTY, Lock_Size, "
        "Lock_Fittings, Total_Price) values (:h, :g, :t, :u, :q, :l, :f, :p)",
        {{"h", order},
         {"g", goods},
         {"t", series},
         {"u", unit},
         {"q", qty},
         {"l", lock},
         {"f", fittings},
         {"p", price}});
}

// Rows written as "goods|series|unit|qty|lock|fittings"; an empty part is
// NULL.
void addRows(Database& db, const QString& order, const QStringList& rows) {
    for (const QString& row : rows) {
        const QStringList p = row.split('|');
        auto part = [&p](int i) { return i < p.size() && !p[i].isEmpty() ? QVariant(p[i]) : QVariant(); };
        addRow(db, order, p[0], part(1), part(2), part(3), part(4), part(5));
    }
}

// Every row of a table as text, in the order written, for comparing before
// and after.
QStringList dump(Database& db, const QString& table) {
    QStringList out;
    QSqlQuery q = db.query("select * from " + table + " order by ID");
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < q.record().count(); ++i) {
            cells << (q.value(i).isNull() ? QString("<null>") : q.value(i).toString());
        }
        out << cells.join('|');
    }
    return out;
}

QStringList dumpDerived(Database& db) {
    QStringList out;
    for (const char* t :
         {"Dusmere_Work_Form_Head", "Dusmere_Work_Form_Detail", "Dusmere_Ware_Out_Form_Head",
          "Dusmere_Ware_Out_Form_Detail", "Dusmere_Shipment_Form_Head", "Dusmere_Shipment_Form_Detail"}) {
        out << QString(t) << dump(db, t);
    }
    return out;
}

QStringList column(Database& db, const QString& sql, const QVariantMap& params = {}) {
    QStringList out;
    QSqlQuery q = db.query(sql, params);
    while (q.next()) {
        out << q.value(0).toString();
    }
    return out;
}

int derivedRowsOf(Database& db, const QString& order) {
    return count(db,
                 "select (select count(*) from Dusmere_Work_Form_Head where Order_Form_Code=:o) + "
                 "(select count(*) from Dusmere_Work_Form_Detail where head_Code in (select Work_Form_Code from "
                 "Dusmere_Work_Form_Head where Order_Form_Code=:o)) + "
                 "(select count(*) from Dusmere_Ware_Out_Form_Head where Ware_Out_Form_Code=:o) + "
                 "(select count(*) from Dusmere_Ware_Out_Form_Detail where head_code=:o) + "
                 "(select count(*) from Dusmere_Shipment_Form_Head where Shipment_Form_Code=:o) + "
                 "(select count(*) from Dusmere_Shipment_Form_Detail where head_code=:o)",
                 {{"o", order}});
}

void generateAll(Book& b, const QString& order) {
    for (const QString& kind : kKinds) {
        if (!generate(b, kind, {order})) {
            qFatal("forms not generated: %s", qPrintable(b.prompter.lastText()));
        }
    }
}

// Runs `meanwhile` while the user is being asked, as another workstation
// could.
class BusyPrompter : public ScriptedPrompter {
public:
    std::function<void()> meanwhile;
    bool askYesNo(const QString& text, const QString& caption = defaultCaption()) override {
        if (meanwhile) {
            meanwhile();
        }
        return ScriptedPrompter::askYesNo(text, caption);
    }
};

}  // namespace

void TestOrderFormsGeneration::refusalsComeInTheirOrder_data() {
    QTest::addColumn<QString>("kind");
    for (const QString& kind : kKinds) {
        QTest::newRow(qPrintable(kind)) << kind;
    }
}

void TestOrderFormsGeneration::refusalsComeInTheirOrder() {
    QFETCH(QString, kind);
    const QString name = kindName(kind);
    Book b;
    Database& db = b.db();
    addOrder(db, "A");
    addRow(db, "A", "G1", 1);
    addOrder(db, "EMPTY");
    // Rows left behind by an order whose head is gone.
    addRow(db, "GONE", "G9", 1);

    QVERIFY(!generate(b, kind, {}));
    QCOMPARE(b.prompter.lastText(), QString("请选择一份订货单"));
    QVERIFY(!generate(b, kind, {"A", "EMPTY"}));
    QCOMPARE(b.prompter.lastText(), "生成" + name + "时，只能选择一份订货单");
    QVERIFY(!generate(b, kind, {"EMPTY"}));
    QCOMPARE(b.prompter.lastText(), "该订货单没有录入货品，不能生成" + name);
    QVERIFY(!generate(b, kind, {"GONE"}));
    QCOMPARE(b.prompter.lastText(), OrderFormGenerator::orderGoneText("GONE"));
    QVERIFY(b.prompter.lastText().contains("已不存在"));
    // Deleted with its rows: that it is gone is what the user needs to hear.
    QVERIFY(!generate(b, kind, {"NEVER"}));
    QCOMPARE(b.prompter.lastText(), OrderFormGenerator::orderGoneText("NEVER"));
    QCOMPARE(derivedRowsOf(db, "A") + derivedRowsOf(db, "EMPTY") + derivedRowsOf(db, "GONE"), 0);

    b.prompter.clear();
    QVERIFY(generate(b, kind, {"A"}));
    QCOMPARE(b.prompter.texts(), QStringList{"处理完毕,已成功生成" + name});
    const QStringList before = dumpDerived(db);
    QVERIFY(before.size() > 7);

    // Forms made before: "No" keeps them and writes nothing.
    addRow(db, "A", "G2", 2);
    b.prompter.clear();
    b.prompter.setNextAnswer(false);
    QVERIFY(!generate(b, kind, {"A"}));
    QCOMPARE(b.prompter.texts(), QStringList{"该订货单曾经生成过" + name + "，是否要覆盖已有的" + name + "？"});
    QCOMPARE(b.prompter.messages().last().kind, Prompter::Kind::YesNo);
    QCOMPARE(dumpDerived(db), before);
    QCOMPARE(db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='dusmere_work_form_head'").toString(),
             kind == "work" ? QString("0606250001") : QString(""));
}

void TestOrderFormsGeneration::oneWorkFormPerSeriesAndOneForRowsWithout() {
    Book b;
    Database& db = b.db();
    addOrder(db, "A");
    // Series 3, 1 and 2 interleaved, and two rows without a series.
    addRows(db, "A", {"G1|3", "G2|1", "G3||", "G4|3", "G5|2", "G6|1", "G7||"});
    QVERIFY(generate(b, "work", {"A"}, "李四"));
    QCOMPARE(column(db, "select Work_Form_Code from Dusmere_Work_Form_Head order by Work_Form_Code"),
             QStringList({"0606250001", "0606250002", "0606250003", "0606250004"}));
    QCOMPARE(count(db, "select count(*) from Dusmere_Work_Form_Head where Order_Form_Code='A' and KeyIn_Person='李四'"),
             4);
    QCOMPARE(count(db, "select count(*) from Dusmere_Work_Form_Head where KeyIn_Date >= :d0 and KeyIn_Date < :d1",
                   {{"d0", QDate(2006, 6, 25).startOfDay()}, {"d1", QDate(2006, 6, 26).startOfDay()}}),
             4);
    // Ascending series, the rows without one last, each in the rows' order.
    const QString rowsOf = "select goods_code from Dusmere_Work_Form_Detail where head_Code=:w order by ID";
    QCOMPARE(column(db, rowsOf, {{"w", "0606250001"}}), QStringList({"G2", "G6"}));
    QCOMPARE(column(db, rowsOf, {{"w", "0606250002"}}), QStringList({"G5"}));
    QCOMPARE(column(db, rowsOf, {{"w", "0606250003"}}), QStringList({"G1", "G4"}));
    QCOMPARE(column(db, rowsOf, {{"w", "0606250004"}}), QStringList({"G3", "G7"}));
    QCOMPARE(count(db, "select count(*) from Dusmere_Work_Form_Detail where Order_Form_Code='A'"), 7);
    QCOMPARE(db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='dusmere_work_form_head'").toString(),
             QString("0606250004"));
}

void TestOrderFormsGeneration::theOrderIsReadAgainAfterTheQuestion_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<bool>("gone");
    for (const QString& kind : kKinds) {
        QTest::newRow(qPrintable(kind + ": order deleted"))
            << kind << "delete from Dusmere_Order_Form_head where Order_Form_Code='A'" << true;
        QTest::newRow(qPrintable(kind + ": goods deleted"))
            << kind << "delete from Dusmere_Order_Form_Detail where Head_Code='A'" << false;
    }
}

void TestOrderFormsGeneration::theOrderIsReadAgainAfterTheQuestion() {
    QFETCH(QString, kind);
    QFETCH(QString, deleted);
    QFETCH(bool, gone);
    Book b;
    Database& db = b.db();
    addOrder(db, "A");
    addRows(db, "A", {"G1|1|1|2", "G2|2|1|1"});
    QVERIFY(generate(b, kind, {"A"}));
    const QStringList before = dumpDerived(db);
    BusyPrompter prompter;
    prompter.meanwhile = [&db, &deleted] { db.query(deleted); };
    prompter.setNextAnswer(true);
    OrderFormGenerator g(db, b.clock, prompter, "张三");
    const bool done = kind == "work"      ? g.createWorkForms({"A"})
                      : kind == "wareOut" ? g.createWareOutForm({"A"})
                                          : g.createShipmentForm({"A"});
    QVERIFY(!done);
    QCOMPARE(prompter.lastText(),
             gone ? OrderFormGenerator::orderGoneText("A") : "该订货单没有录入货品，不能生成" + kindName(kind));
    QCOMPARE(dumpDerived(db), before);
    QCOMPARE(db.transactionDepth(), 0);
}

void TestOrderFormsGeneration::generatingAgainReplacesOnlyThisOrdersForms_data() {
    refusalsComeInTheirOrder_data();
}

void TestOrderFormsGeneration::generatingAgainReplacesOnlyThisOrdersForms() {
    QFETCH(QString, kind);
    Book b;
    Database& db = b.db();
    addOrder(db, "A");
    addRows(db, "A", {"G1|1|1|2", "G2|2|1|3"});
    addOrder(db, "B");
    addRows(db, "B", {"H1|1|1|5", "H2|3|2|1"});
    generateAll(b, "A");
    generateAll(b, "B");
    const int bBefore = derivedRowsOf(db, "B");
    QVERIFY(bBefore > 0);
    const QStringList bWork = dump(db, "Dusmere_Work_Form_Head where Order_Form_Code='B'");
    const QStringList bWorkRows = dump(db, "Dusmere_Work_Form_Detail where Order_Form_Code='B'");
    const QStringList bWare = dump(db, "Dusmere_Ware_Out_Form_Detail where head_code='B'");
    const QStringList bShip = dump(db, "Dusmere_Shipment_Form_Detail where head_code='B'");

    // The order changed since: a third row in a new series.
    addRow(db, "A", "G3", 3, 2, 1, 4, "红色");
    b.prompter.clear();
    b.prompter.setNextAnswer(true);
    QVERIFY(generate(b, kind, {"A"}));
    QCOMPARE(b.prompter.texts().size(), 2);
    QCOMPARE(b.prompter.lastText(), "处理完毕,已成功生成" + kindName(kind));

    if (kind == "work") {
        // The old forms 0001-0002 are gone; the counter went on after B's.
        QCOMPARE(column(db, "select Work_Form_Code from Dusmere_Work_Form_Head where Order_Form_Code='A' order by ID"),
                 QStringList({"0606250005", "0606250006", "0606250007"}));
        QCOMPARE(count(db,
                       "select count(*) from Dusmere_Work_Form_Detail where head_Code in ('0606250001', "
                       "'0606250002')"),
                 0);
        QCOMPARE(column(db, "select goods_code from Dusmere_Work_Form_Detail where Order_Form_Code='A' order by ID"),
                 QStringList({"G1", "G2", "G3"}));
    } else if (kind == "wareOut") {
        QCOMPARE(count(db, "select count(*) from Dusmere_Ware_Out_Form_Head where Ware_Out_Form_Code='A'"), 1);
        QCOMPARE(count(db, "select count(*) from Dusmere_Ware_Out_Form_Detail where head_code='A'"), 1);
        QCOMPARE(db.scalar("select DetailNames from Dusmere_Ware_Out_Form_Detail where head_code='A'").toString(),
                 QString("断桥铝系列 2樘 (G1);塑钢系列 3樘 (G2);铝合金系列 1扇 (G3)"));
        QCOMPARE(db.scalar("select Fittings from Dusmere_Ware_Out_Form_Detail where head_code='A'").toString(),
                 QString("执手锁 1 红色 "));
    } else {
        QCOMPARE(count(db, "select count(*) from Dusmere_Shipment_Form_Head where Shipment_Form_Code='A'"), 1);
        QCOMPARE(column(db, "select goods_code from Dusmere_Shipment_Form_Detail where head_code='A' order by ID"),
                 QStringList({"G1", "G2", "G3"}));
    }
    // The other kinds of A and everything of B stay as they were.
    QCOMPARE(derivedRowsOf(db, "B"), bBefore);
    QCOMPARE(dump(db, "Dusmere_Work_Form_Head where Order_Form_Code='B'"), bWork);
    QCOMPARE(dump(db, "Dusmere_Work_Form_Detail where Order_Form_Code='B'"), bWorkRows);
    QCOMPARE(dump(db, "Dusmere_Ware_Out_Form_Detail where head_code='B'"), bWare);
    QCOMPARE(dump(db, "Dusmere_Shipment_Form_Detail where head_code='B'"), bShip);
    if (kind != "work") {
        QCOMPARE(count(db, "select count(*) from Dusmere_Work_Form_Head where Order_Form_Code='A'"), 2);
    }
    if (kind != "shipment") {
        QCOMPARE(count(db, "select count(*) from Dusmere_Shipment_Form_Detail where head_code='A'"), 2);
    }
}

void TestOrderFormsGeneration::aFailureHalfWayLeavesTheOldForms_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("condition");
    // The work forms' last row or the deleting of their old heads, the
    // ware-out form's row, the shipment form's last row.
    for (const auto& [kind, table, event, condition] : QList<std::tuple<QString, QString, QString, QString>>{
             {"work", "Dusmere_Work_Form_Detail", "INSERT", "NEW.goods_code = 'G3'"},
             {"work", "Dusmere_Work_Form_Head", "DELETE", "OLD.Order_Form_Code = 'A'"},
             {"wareOut", "Dusmere_Ware_Out_Form_Detail", "INSERT", "NEW.head_code = 'A'"},
             {"shipment", "Dusmere_Shipment_Form_Detail", "INSERT", "NEW.goods_code = 'G3'"}}) {
        QTest::newRow(qPrintable(kind + ": " + table + " " + event)) << kind << table << event << condition;
    }
}

void TestOrderFormsGeneration::aFailureHalfWayLeavesTheOldForms() {
    QFETCH(QString, kind);
    QFETCH(QString, table);
    QFETCH(QString, event);
    QFETCH(QString, condition);
    Book b;
    Database& db = b.db();
    addOrder(db, "A");
    addRows(db, "A", {"G1|1|1|2", "G2|2|1|3"});
    QVERIFY(generate(b, kind, {"A"}));
    addRow(db, "A", "G3", 3, 1, 4);
    const QStringList before = dumpDerived(db);
    const QVariant counter =
        db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='dusmere_work_form_head'");

    failWhen(db, table, event, condition);
    b.prompter.clear();
    b.prompter.setNextAnswer(true);
    QVERIFY_THROWS_EXCEPTION(DbError, generate(b, kind, {"A"}));
    QCOMPARE(dumpDerived(db), before);
    QCOMPARE(db.transactionDepth(), 0);
    QVERIFY(b.prompter.texts().filter("处理完毕").isEmpty());
    // No work form number was used up by the failed attempt.
    QCOMPARE(db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='dusmere_work_form_head'"), counter);

    stopFailing(db, table);
    b.prompter.setNextAnswer(true);
    QVERIFY(generate(b, kind, {"A"}));
    if (kind == "work") {
        QCOMPARE(column(db, "select Work_Form_Code from Dusmere_Work_Form_Head order by ID"),
                 QStringList({"0606250003", "0606250004", "0606250005"}));
    } else if (kind == "shipment") {
        QCOMPARE(count(db, "select count(*) from Dusmere_Shipment_Form_Detail"), 3);
    } else {
        QVERIFY(db.scalar("select DetailNames from Dusmere_Ware_Out_Form_Detail").toString().contains("(G3)"));
    }
}

void TestOrderFormsGeneration::goodsSummary_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one series, one unit") << QStringList{"G1|1|1|2", "G2|1|1|3"} << QString("断桥铝系列 5樘 (G1)(G2)");
    // Every entry of a series names all of its goods, whatever their unit;
    // 樘 (U+6A18) comes before 米 (U+7C73).
    QTest::newRow("two units in one series")
        << QStringList{"G1|1|4|1.5", "G2|1|1|2", "G3|2|2|3", "G4|1|1|2"}
        << QString("断桥铝系列 4樘 (G1)(G2)(G4);断桥铝系列 1.5米 (G1)(G2)(G4);塑钢系列 3扇 (G3)");
    QTest::newRow("series before unit name, by value")
        << QStringList{"G1|4|1|1", "G2|2|4|1", "G3|2|1|1"}
        << QString("塑钢系列 1樘 (G2)(G3);塑钢系列 1米 (G2)(G3);实木系列 1樘 (G1)");
    // A series or unit missing from its code list, or no value at all,
    // leaves the row out of the sums; its code is still named with its
    // series.
    QTest::newRow("missing from the code lists")
        << QStringList{"G1|1|1|2", "G2|99|1|7", "G3|1|99|5", "G4||1|6", "G5|1||4"}
        << QString("断桥铝系列 2樘 (G1)(G3)(G5)");
    QTest::newRow("nothing listed") << QStringList{"G1|99|1|2", "G2|1|99|1"} << QString();
    QTest::newRow("decimal quantities")
        << QStringList{"G1|1|1|0.1", "G2|1|1|0.2", "G3|2|3|1.25", "G4|2|3|1.75", "G5|3|4|2.5", "G6|4|1|0.0005"}
        << QString("断桥铝系列 0.3樘 (G1)(G2);塑钢系列 3平方米 (G3)(G4);铝合金系列 2.5米 (G5);实木系列 0.0005樘 (G6)");
    QTest::newRow("no quantity") << QStringList{"G1|1|1|"} << QString("断桥铝系列 0樘 (G1)");
}

void TestOrderFormsGeneration::goodsSummary() {
    QFETCH(QStringList, rows);
    QFETCH(QString, expected);
    Book b;
    addOrder(b.db(), "A");
    addRows(b.db(), "A", rows);
    // Another order's rows of the same series count nowhere.
    addOrder(b.db(), "B");
    addRows(b.db(), "B", {"H1|1|1|100", "H2|2|4|100"});
    QCOMPARE(OrderFormGenerator::goodsSummary(b.db(), "A"), expected);
}

void TestOrderFormsGeneration::lockSummary_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("expected");
    QTest::newRow("fittings of each lock model in the rows' order")
        << QStringList{"G1|1|1|2|4|红色", "G2|1|1|1|1|", "G3|2|1|1|4|加长", "G4|2|1|3|4|"}
        << QString("单点锁 1 ;执手锁 6 红色 加长 ");
    QTest::newRow("missing lock model and no lock")
        << QStringList{"G1|1|1|2|99|铜", "G2|1|1|1||铁", "G3|1|1|2.5|3|"} << QString("月牙锁 2.5 ");
    QTest::newRow("no locks") << QStringList{"G1|1|1|2"} << QString();
}

void TestOrderFormsGeneration::lockSummary() {
    QFETCH(QStringList, rows);
    QFETCH(QString, expected);
    Book b;
    addOrder(b.db(), "A");
    addRows(b.db(), "A", rows);
    addOrder(b.db(), "B");
    addRows(b.db(), "B", {"H1|1|1|9|4|别的"});
    QCOMPARE(OrderFormGenerator::lockSummary(b.db(), "A"), expected);
}

void TestOrderFormsGeneration::wareOutFormHoldsBothSummaries() {
    Book b;
    Database& db = b.db();
    // A code list named in another letter case, a value written with a
    // leading zero and one that is no number at all.
    db.query(
        "insert into Sys_Status_Describe_head (paramentname, TableName, FieldName) values "
        "('旧锁', 'DUSMERE_ORDER_FORM_DETAIL', 'lock_size')");
    db.query("insert into Sys_Status_Describe (ParamentName, StatusValue, StatusName) values ('旧锁', '07', '挂锁')");
    db.query("insert into Sys_Status_Describe (ParamentName, StatusValue, StatusName) values ('货品系列', 'x1', '坏')");
    db.query("insert into Sys_Status_Describe (ParamentName, StatusValue, StatusName) values ('计量单位', ' ', '空')");
    addOrder(db, "A");
    addRows(db, "A", {"G1|1|1|2|7|短", "G2|2|2|1.5|4|", "G3|1|1|1|7|长"});
    QVERIFY(generate(b, "wareOut", {"A"}, "王五"));
    QSqlQuery q = db.query(
        "select h.KeyIn_Person, h.Remark, d.DetailNames, d.Fittings from Dusmere_Ware_Out_Form_Head h join "
        "Dusmere_Ware_Out_Form_Detail d on d.head_code = h.Ware_Out_Form_Code where h.Ware_Out_Form_Code='A'");
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QString("王五"));
    QVERIFY(q.value(1).isNull());
    QCOMPARE(q.value(2).toString(), QString("断桥铝系列 3樘 (G1)(G3);塑钢系列 1.5扇 (G2)"));
    QCOMPARE(q.value(3).toString(), QString("执手锁 1.5 ;挂锁 3 短 长 "));
    QVERIFY(!q.next());
    QCOMPARE(count(db, "select count(*) from Dusmere_Ware_Out_Form_Head where KeyIn_Date >= :d0 and KeyIn_Date < :d1",
                   {{"d0", QDate(2006, 6, 25).startOfDay()}, {"d1", QDate(2006, 6, 26).startOfDay()}}),
             1);
}

void TestOrderFormsGeneration::shipmentFormTakesTheCustomersMobile() {
    Book b;
    Database& db = b.db();
    db.query("insert into customer_provider (corp_code, Corp_name, Boss_mobile) values ('00007', '甲', '13900000007')");
    db.query("insert into customer_provider (corp_code, Corp_name, Boss_mobile) values ('00008', '乙', NULL)");
    addOrder(db, "WITH", "00007");
    addOrder(db, "NONE");
    addOrder(db, "UNKNOWN", "00099");
    addOrder(db, "NOMOBILE", "00008");
    for (const QString& o : QStringList{"WITH", "NONE", "UNKNOWN", "NOMOBILE"}) {
        addRows(db, o, {"S1|1", "S2|", "S3|2"});
        QVERIFY(generate(b, "shipment", {o}));
    }
    const QString phone = "select RecivePerson_Telephone from Dusmere_Shipment_Form_Head where Shipment_Form_Code=:o";
    QCOMPARE(db.scalar(phone, {{"o", "WITH"}}).toString(), QString("13900000007"));
    for (const QString& o : QStringList{"NONE", "UNKNOWN", "NOMOBILE"}) {
        const QVariant v = db.scalar(phone, {{"o", o}});
        QVERIFY2(!v.isNull() && v.toString().isEmpty(), qPrintable(o));
    }
    // One row per goods row, in the rows' order, naming the row by its key.
    const QStringList ids = column(db, "select ID from Dusmere_Order_Form_Detail where Head_Code='WITH' order by ID");
    QCOMPARE(column(db, "select goods_id from Dusmere_Shipment_Form_Detail where head_code='WITH' order by ID"), ids);
    QCOMPARE(column(db, "select goods_code from Dusmere_Shipment_Form_Detail where head_code='WITH' order by ID"),
             QStringList({"S1", "S2", "S3"}));
    QCOMPARE(
        db.scalar("select KeyIn_Person from Dusmere_Shipment_Form_Head where Shipment_Form_Code='WITH'").toString(),
        QString("张三"));
}

void TestOrderFormsGeneration::listShowsOrdersWithTheirAmount() {
    Book b;
    Database& db = b.db();
    addOrder(db, "A");
    addRow(db, "A", "G1", 1, 1, 1, {}, {}, 10.25);
    addRow(db, "A", "G2", 1, 1, 1, {}, {}, 5.5);
    addOrder(db, "B");
    OrderFormList list(db, b.prompter);
    list.open();
    Dataset& rows = list.rows();
    QCOMPARE(rows.rowCount(), 2);
    QVERIFY(rows.locate("Order_Form_Code", "A"));
    QCOMPARE(rows.value("sum_Price").toDouble(), 15.75);
    QVERIFY(rows.locate("Order_Form_Code", "B"));
    QVERIFY(rows.value("sum_Price").isNull());
    addOrder(db, "C");
    list.refresh();
    QCOMPARE(rows.rowCount(), 3);
}

void TestOrderFormsGeneration::deleteTakesEveryDerivedFormInOneTransaction() {
    Book b;
    Database& db = b.db();
    for (const QString& o : QStringList{"KEEP", "GONE1", "GONE2"}) {
        addOrder(db, o);
        addRows(db, o, {"G1|1|1|2|4|红", "G2|2|1|1"});
        generateAll(b, o);
    }
    const QStringList kept = dumpDerived(db).filter("KEEP");
    QVERIFY(kept.size() >= 6);
    OrderFormList list(db, b.prompter);
    QVERIFY(!list.remove({}));
    QCOMPARE(b.prompter.lastText(), QString("请选择收据"));
    b.prompter.setNextAnswer(false);
    QVERIFY(!list.remove({"GONE1"}));
    QCOMPARE(b.prompter.lastText(), QString("确定要删除吗？"));
    QCOMPARE(count(db, "select count(*) from Dusmere_Order_Form_head"), 3);

    // The last statement fails: everything is still there.
    const QStringList before = dumpDerived(db);
    failWhen(db, "Dusmere_Shipment_Form_Head", "DELETE", "OLD.Shipment_Form_Code = 'GONE2'");
    b.prompter.setNextAnswer(true);
    QVERIFY_THROWS_EXCEPTION(DbError, list.remove({"GONE1", "GONE2"}));
    QCOMPARE(dumpDerived(db), before);
    QCOMPARE(count(db, "select count(*) from Dusmere_Order_Form_head"), 3);
    QCOMPARE(count(db, "select count(*) from Dusmere_Order_Form_Detail"), 6);
    stopFailing(db, "Dusmere_Shipment_Form_Head");

    b.prompter.setNextAnswer(true);
    QVERIFY(list.remove({"GONE1", "GONE2"}));
    for (const QString& o : QStringList{"GONE1", "GONE2"}) {
        QCOMPARE(count(db, "select count(*) from Dusmere_Order_Form_head where Order_Form_Code=:o", {{"o", o}}), 0);
        QCOMPARE(count(db, "select count(*) from Dusmere_Order_Form_Detail where Head_Code=:o", {{"o", o}}), 0);
        QCOMPARE(derivedRowsOf(db, o), 0);
        QCOMPARE(count(db, "select count(*) from Dusmere_Work_Form_Detail where Order_Form_Code=:o", {{"o", o}}), 0);
    }
    QCOMPARE(dumpDerived(db).filter("KEEP"), kept);
    QCOMPARE(count(db, "select count(*) from Dusmere_Work_Form_Detail"), 2);
    QCOMPARE(count(db, "select count(*) from Dusmere_Order_Form_Detail where Head_Code='KEEP'"), 2);
}

void TestOrderFormsGeneration::selectionMessages() {
    Book b;
    OrderFormList list(b.db(), b.prompter);
    QVERIFY(!list.checkEditSelection({}));
    QCOMPARE(b.prompter.lastText(), QString("请选择一份收据"));
    QVERIFY(!list.checkEditSelection({"A", "B"}));
    QCOMPARE(b.prompter.lastText(), QString("一次只能编辑一份收据"));
    QVERIFY(!list.checkPrintSelection({}));
    QCOMPARE(b.prompter.lastText(), QString("请选择订货单,可多选"));
    b.prompter.clear();
    QVERIFY(list.checkEditSelection({"A"}));
    QVERIFY(list.checkPrintSelection({"A", "B"}));
    QVERIFY(b.prompter.messages().isEmpty());
}

void TestOrderFormsGeneration::hostileTextIsKeptAsTyped() {
    Book b;
    Database& db = b.db();
    const QString code = "a'%_;--x";
    const QString fittings = "x'); delete from Dusmere_Order_Form_head; --%_";
    addOrder(db, code);
    addRow(db, code, "g'1;%", 1, 1, 1, 4, fittings);
    // Codes a LIKE or a quoted statement would mix up with the one above.
    addOrder(db, "ab%_;--x");
    addRows(db, "ab%_;--x", {"H1|1"});
    addOrder(db, "a");
    addRows(db, "a", {"H2|1"});
    generateAll(b, code);
    generateAll(b, "a");
    QCOMPARE(
        db.scalar("select Fittings from Dusmere_Ware_Out_Form_Detail where head_code=:c", {{"c", code}}).toString(),
        "执手锁 1 " + fittings + " ");
    QCOMPARE(
        db.scalar("select DetailNames from Dusmere_Ware_Out_Form_Detail where head_code=:c", {{"c", code}}).toString(),
        QString("断桥铝系列 1樘 (g'1;%)"));
    QCOMPARE(column(db, "select goods_code from Dusmere_Work_Form_Detail where Order_Form_Code=:c", {{"c", code}}),
             QStringList{"g'1;%"});
    QCOMPARE(column(db, "select goods_code from Dusmere_Shipment_Form_Detail where head_code=:c", {{"c", code}}),
             QStringList{"g'1;%"});
    QCOMPARE(count(db, "select count(*) from Dusmere_Order_Form_head"), 3);

    OrderFormList list(db, b.prompter);
    list.removeNow({code});
    QCOMPARE(derivedRowsOf(db, code), 0);
    QCOMPARE(column(db, "select Order_Form_Code from Dusmere_Order_Form_head order by Order_Form_Code"),
             QStringList({"a", "ab%_;--x"}));
    QVERIFY(derivedRowsOf(db, "a") > 0);
    QCOMPARE(count(db, "select count(*) from Dusmere_Order_Form_Detail"), 2);
}

void TestOrderFormsGeneration::formsMadeBeforeTheOrderChangedSaySo() {
    Book b;
    Database& db = b.db();
    addOrder(db, "A");
    addRows(db, "A", {"G1|1|1|2", "G2|2|1|1"});
    // What the editor requires of a saved order.
    db.query("update Dusmere_Order_Form_Detail set Goods_name=1");
    db.query("update Dusmere_Order_Form_head set Send_Date='2006-07-01 00:00:00'");
    generateAll(b, "A");
    OrderFormList list(db, b.prompter);
    list.open();
    QCOMPARE(list.rows().value(0, "Forms_Note").toString(), QString());
    QVERIFY(!OrderFormRevision::hasStaleForms(db, "A"));

    // The order saved again: every form made before says so, in the list,
    // in the forms' list and on the printouts' rows.
    {
        OrderFormDocument doc(db, b.clock, b.prompter, "李四");
        doc.load(OrderFormDocument::Existing, "A");
        doc.rows().setCurrentRow(0);
        doc.rows().setValue("QTY", 5);
        QVERIFY2(doc.save(), qPrintable(b.prompter.lastText()));
    }
    QVERIFY(OrderFormRevision::hasStaleForms(db, "A"));
    list.refresh();
    QCOMPARE(list.rows().value(0, "Forms_Note").toString(), OrderFormRevision::staleText());
    for (const auto kind :
         {DerivedFormList::Kind::WorkForm, DerivedFormList::Kind::WareOutForm, DerivedFormList::Kind::ShipmentForm}) {
        DerivedFormList forms(db, kind);
        forms.open();
        QCOMPARE(forms.forms().value(0, "Forms_Note").toString(), OrderFormRevision::staleText());
    }
    // Made again, a kind of form is current; the others still say so.
    b.prompter.setNextAnswer(true);
    QVERIFY(generate(b, "work", {"A"}));
    DerivedFormList work(db, DerivedFormList::Kind::WorkForm);
    work.open();
    QCOMPARE(work.forms().value(0, "Forms_Note").toString(), QString());
    QVERIFY(OrderFormRevision::hasStaleForms(db, "A"));
    for (const QString kind : {"wareOut", "shipment"}) {
        b.prompter.setNextAnswer(true);
        QVERIFY(generate(b, kind, {"A"}));
    }
    QVERIFY(!OrderFormRevision::hasStaleForms(db, "A"));
    // Opening and saving nothing changes nothing.
    {
        OrderFormDocument doc(db, b.clock, b.prompter, "李四");
        doc.load(OrderFormDocument::Existing, "A");
        QVERIFY2(doc.save(), qPrintable(b.prompter.lastText()));
    }
    QVERIFY(!OrderFormRevision::hasStaleForms(db, "A"));
}

QTEST_GUILESS_MAIN(TestOrderFormsGeneration)
#include "test_order_forms_generation.moc"
