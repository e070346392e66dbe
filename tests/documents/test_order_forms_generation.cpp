#include <QRegularExpression>
#include <QTest>

#include "data/dataset.h"
#include "data/order_form_revision.h"
#include "document_fixture.h"
#include "documents/derived_form_list.h"
#include "documents/order_form_document.h"
#include "documents/order_form_generator.h"
#include "documents/order_form_list.h"
#include "platform/errors.h"
#include "support/golden.h"

using namespace DocumentFixture;

namespace {

const QStringList kKinds{"work", "wareOut", "shipment"};

const QMap<QString, QString> kNames{{"work", "工作单"}, {"wareOut", "出仓单"}, {"shipment", "出货单"}};

bool generate(Book& b, const QString& kind, const QStringList& codes, const QString& user = "张三",
              Prompter* prompter = nullptr) {
    OrderFormGenerator g(b.db(), b.clock, prompter ? *prompter : b.prompter, user);
    return kind == "work"      ? g.createWorkForms(codes)
           : kind == "wareOut" ? g.createWareOutForm(codes)
                               : g.createShipmentForm(codes);
}

// Rows written as "goods|series|unit|qty|lock|fittings|amount"; an empty or
// missing part is NULL.
void addRows(Database& db, const QString& order, const QStringList& rows) {
    for (const QString& row : rows) {
        const QStringList p = row.split('|');
        auto part = [&p](int i) { return i < p.size() && !p[i].isEmpty() ? QVariant(p[i]) : QVariant(); };
        QVariantMap values{{"h", order}, {"g", p[0]}};
        for (int i = 1; i <= 6; ++i) {
            values.insert(QString("p%1").arg(i), part(i));
        }
        db.query(
            "insert into Dusmere_Order_Form_Detail (Head_Code, Goods_Code, Goods_Type, Goods_Unit, QTY, Lock_Size, "
            "Lock_Fittings, Total_Price) values (:h, :g, :p1, :p2, :p3, :p4, :p5, :p6)",
            values);
    }
}

// An order head with its rows.
void addOrder(Database& db, const QString& code, const QStringList& rows = {}, const QVariant& corp = QVariant()) {
    db.query("insert into Dusmere_Order_Form_head (Order_Form_Code, corp_code) values (:c, :corp)",
             {{"c", code}, {"corp", corp}});
    addRows(db, code, rows);
}

// Every row of the forms' tables (those `only` matches), as written.
QStringList dumpDerived(Database& db, const QString& only = ".") {
    QStringList out;
    for (const char* t :
         {"Dusmere_Work_Form_Head", "Dusmere_Work_Form_Detail", "Dusmere_Ware_Out_Form_Head",
          "Dusmere_Ware_Out_Form_Detail", "Dusmere_Shipment_Form_Head", "Dusmere_Shipment_Form_Detail"}) {
        out << QString(t)
            << read(db, QString("select * from %1 order by ID").arg(t)).split("; ").filter(QRegularExpression(only));
    }
    return out;
}

// How many rows of the forms made from orders name `order`.
int derivedRowsOf(Database& db, const QString& order) {
    return dumpDerived(db, "(^|\\|)" + QRegularExpression::escape(order) + "(\\||$)").size() - 6;
}

void generateAll(Book& b, const QString& order) {
    for (const QString& kind : kKinds) {
        if (!generate(b, kind, {order})) {
            qFatal("forms not generated: %s", qPrintable(b.prompter.lastText()));
        }
    }
}

QString workCounter(Database& db) {
    return db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='dusmere_work_form_head'").toString();
}

// Runs `meanwhile` while the user is asked, as another workstation could.
class BusyPrompter : public ScriptedPrompter {
public:
    std::function<void()> meanwhile;
    bool askYesNo(const QString& text, const QString& caption = defaultCaption()) override {
        meanwhile();
        return ScriptedPrompter::askYesNo(text, caption);
    }
};

void kindRows() {
    QTest::addColumn<QString>("kind");
    for (const QString& kind : kKinds) {
        QTest::newRow(qPrintable(kind)) << kind;
    }
}

}  // namespace

// Forms made from an order form, the texts summing up its goods and locks,
// the order list's delete, on both engines. The code lists name series 1-4,
// units 1-6 and locks 1-4; 99 is in none of them.
class TestOrderFormsGeneration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    // The refusals in their order per kind (golden file): none chosen, two,
    // no goods, rows of a head that is gone, an order gone with its rows;
    // then the question before forms are replaced, whose No writes nothing.
    void refusalsComeInTheirOrder() {
        QString log;
        for (const QString& kind : kKinds) {
            Book b;
            Database& db = b.db();
            addOrder(db, "A", {"G1|1|1|1"});
            addOrder(db, "EMPTY");
            addRows(db, "GONE", {"G9|1|1|1"});
            for (const QStringList& codes : QList<QStringList>{{}, {"A", "EMPTY"}, {"EMPTY"}, {"GONE"}, {"NEVER"}}) {
                QVERIFY(!generate(b, kind, codes));
            }
            QCOMPARE(derivedRowsOf(db, "A") + derivedRowsOf(db, "EMPTY") + derivedRowsOf(db, "GONE"), 0);
            QVERIFY(generate(b, kind, {"A"}));
            const QStringList before = dumpDerived(db);
            QVERIFY(before.size() > 7);
            addRows(db, "A", {"G2|2|1|1"});
            b.prompter.setNextAnswer(false);
            QVERIFY(!generate(b, kind, {"A"}));
            QCOMPARE(b.prompter.messages().last().kind, Prompter::Kind::YesNo);
            QCOMPARE(dumpDerived(db), before);
            log += kind + ":\n  " + b.prompter.texts().join("\n  ") + "\n  work counter " + workCounter(db) + '\n';
        }
        OLVEND_COMPARE_GOLDEN("documents/generation_refusals.txt", log);
    }

    // The order deleted, or only its goods, while the user is asked.
    void theOrderIsReadAgainAfterTheQuestion_data() { kindRows(); }
    void theOrderIsReadAgainAfterTheQuestion() {
        QFETCH(QString, kind);
        for (const bool gone : {true, false}) {
            Book b;
            Database& db = b.db();
            addOrder(db, "A", {"G1|1|1|2", "G2|2|1|1"});
            QVERIFY(generate(b, kind, {"A"}));
            const QStringList before = dumpDerived(db);
            BusyPrompter prompter;
            prompter.meanwhile = [&db, gone] {
                db.query(gone ? "delete from Dusmere_Order_Form_head where Order_Form_Code='A'"
                              : "delete from Dusmere_Order_Form_Detail where Head_Code='A'");
            };
            prompter.setNextAnswer(true);
            QVERIFY(!generate(b, kind, {"A"}, "张三", &prompter));
            QCOMPARE(prompter.lastText(),
                     gone ? OrderFormGenerator::orderGoneText("A") : "该订货单没有录入货品，不能生成" + kNames[kind]);
            QCOMPARE(dumpDerived(db), before);
            QCOMPARE(db.transactionDepth(), 0);
        }
    }

    void generatingAgainReplacesOnlyThisOrdersForms_data() { kindRows(); }
    void generatingAgainReplacesOnlyThisOrdersForms() {
        QFETCH(QString, kind);
        Book b;
        Database& db = b.db();
        addOrder(db, "A", {"G1|1|1|2", "G2|2|1|3"});
        addOrder(db, "B", {"H1|1|1|5", "H2|3|2|1"});
        generateAll(b, "A");
        generateAll(b, "B");
        const QString ofB = "\\|(B|H\\d)(\\||$)";  // B's heads and rows
        const QStringList bRows = dumpDerived(db, ofB);
        // The order changed since: a third row in a new series.
        addRows(db, "A", {"G3|3|2|1|4|红色"});
        b.prompter.clear();
        b.prompter.setNextAnswer(true);
        QVERIFY(generate(b, kind, {"A"}));
        QCOMPARE(b.prompter.texts().mid(1), QStringList{"处理完毕,已成功生成" + kNames[kind]});
        // Only this kind of A's forms is replaced; the day of their time counts.
        QCOMPARE(dumpDerived(db, ofB), bRows);
        const QString all = dumpDerived(db).join('\n').remove(QRegularExpression("[T ]\\d\\d:\\d\\d:\\d\\d"));
        OLVEND_COMPARE_GOLDEN("documents/regenerated_" + kind + ".txt", all + '\n');
    }

    void aFailureHalfWayLeavesTheOldForms_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("failure");  // table, event, condition
        for (const auto& [kind, failure] : QList<QPair<QString, QStringList>>{
                 {"work", {"Dusmere_Work_Form_Detail", "INSERT", "NEW.goods_code = 'G3'"}},
                 {"work", {"Dusmere_Work_Form_Head", "DELETE", "OLD.Order_Form_Code = 'A'"}},
                 {"wareOut", {"Dusmere_Ware_Out_Form_Detail", "INSERT", "NEW.head_code = 'A'"}},
                 {"shipment", {"Dusmere_Shipment_Form_Detail", "INSERT", "NEW.goods_code = 'G3'"}}}) {
            QTest::newRow(qPrintable(kind + ": " + failure.mid(0, 2).join(' '))) << kind << failure;
        }
    }
    void aFailureHalfWayLeavesTheOldForms() {
        QFETCH(QString, kind);
        QFETCH(QStringList, failure);
        Book b;
        Database& db = b.db();
        addOrder(db, "A", {"G1|1|1|2", "G2|2|1|3"});
        QVERIFY(generate(b, kind, {"A"}));
        addRows(db, "A", {"G3|3|1|4"});
        const QStringList before = dumpDerived(db);
        const QString counter = workCounter(db);
        failWhen(db, failure[0], failure[1], failure[2]);
        b.prompter.clear();
        b.prompter.setNextAnswer(true);
        QVERIFY_THROWS_EXCEPTION(DbError, generate(b, kind, {"A"}));
        QCOMPARE(dumpDerived(db), before);
        QCOMPARE(db.transactionDepth(), 0);
        QVERIFY(b.prompter.texts().filter("处理完毕").isEmpty());
        QCOMPARE(workCounter(db), counter);  // no work form number used up by the failed attempt
    }

    // The goods and lock summaries of orders written as addRows takes them;
    // another order's rows count nowhere; a series names all its goods,
    // whatever their unit; a value missing from its list leaves the row out
    // of the sums, its code still named with its series.
    void summaries() {
        Book b;
        addOrder(b.db(), "B", {"H1|1|1|100|4|别的", "H2|2|4|100"});
        QStringList out;
        for (const char* rows :
             {"G1|1|1|2 G2|1|1|3", "G1|1|4|1.5 G2|1|1|2 G3|2|2|3 G4|1|1|2", "G1|4|1|1 G2|2|4|1 G3|2|1|1",
              "G1|1|1|2 G2|99|1|7 G3|1|99|5 G4||1|6 G5|1||4", "G1|99|1|2 G2|1|99|1",
              "G1|1|1|0.1 G2|1|1|0.2 G3|2|3|1.25 G4|2|3|1.75 G5|3|4|2.5 G6|4|1|0.0005", "G1|1|1|",
              "G1|1|1|2|4|红色 G2|1|1|1|1| G3|2|1|1|4|加长 G4|2|1|3|4|", "G1|1|1|2|99|铜 G2|1|1|1||铁 G3|1|1|2.5|3|"}) {
            const QString order = QString("A%1").arg(out.size());
            addOrder(b.db(), order, QString(rows).split(' '));
            out << QString(rows) + "\n  goods: " + OrderFormGenerator::goodsSummary(b.db(), order) +
                       "\n  locks: " + OrderFormGenerator::lockSummary(b.db(), order);
        }
        OLVEND_COMPARE_GOLDEN("documents/order_summaries.txt", out.join('\n') + '\n');
    }

    // What each kind makes (golden file): a work form per series, ascending,
    // the rows without one last; one ware-out form with both summaries (code
    // lists as their list reads them); a shipment form with the customer's
    // mobile or '' and a row per goods row by its key (WITH's rows last).
    void formsOfAnOrder() {
        Book b;
        Database& db = b.db();
        db.query(
            "insert into Sys_Status_Describe_head (paramentname, TableName, FieldName) values "
            "('旧锁', 'DUSMERE_ORDER_FORM_DETAIL', 'lock_size')");
        for (const char* entry : {"'旧锁', '07', '挂锁'", "'货品系列', 'x1', '坏'", "'计量单位', ' ', '空'"}) {
            db.query(QString("insert into Sys_Status_Describe (ParamentName, StatusValue, StatusName) values (%1)")
                         .arg(entry));
        }
        db.query(
            "insert into customer_provider (corp_code, Corp_name, Boss_mobile) values ('00007', '甲', '13900000007'), "
            "('00008', '乙', NULL)");
        // Series 3, 1 and 2 interleaved, and two rows without a series.
        addOrder(db, "A", {"G1|3", "G2|1", "G3||", "G4|3", "G5|2", "G6|1", "G7||"});
        QVERIFY(generate(b, "work", {"A"}, "李四"));
        addOrder(db, "W", {"G1|1|1|2|7|短", "G2|2|2|1.5|4|", "G3|1|1|1|7|长"});
        QVERIFY(generate(b, "wareOut", {"W"}, "王五"));
        for (const auto& [order, corp] : QList<QPair<QString, QVariant>>{
                 {"WITH", "00007"}, {"NONE", QVariant()}, {"UNKNOWN", "00099"}, {"NOMOBILE", "00008"}}) {
            addOrder(db, order, {"S1|1", "S2|", "S3|2"}, corp);
            QVERIFY(generate(b, "shipment", {order}));
        }
        const QString all = dumpDerived(db).join('\n').remove(QRegularExpression("[T ]\\d\\d:\\d\\d:\\d\\d"));
        OLVEND_COMPARE_GOLDEN(
            "documents/forms_of_an_order.txt",
            all + "\nwork counter " + workCounter(db) + "\n" +
                read(db, "select ID, Goods_Code from Dusmere_Order_Form_Detail where Head_Code='WITH' order by ID"));
    }

    // The list shows each order with the amount of its rows and checks a
    // selection; deleting takes every form made from the orders along, in
    // one transaction.
    void listShowsAmountsChecksSelectionsAndDeletes() {
        Book b;
        Database& db = b.db();
        for (const QString& o : QStringList{"KEEP", "GONE1", "GONE2"}) {
            addOrder(db, o, {"G1|1|1|2|4|红|10.25", "G2|2|1|1|||5.5"});
            generateAll(b, o);
        }
        addOrder(db, "NONE");
        const QStringList kept = dumpDerived(db, "KEEP");
        QVERIFY(kept.size() >= 12);
        OrderFormList list(db, b.prompter);
        list.open();
        QVERIFY(list.rows().locate("Order_Form_Code", "KEEP"));
        const QString keepAmount = values(list.rows(), {"sum_Price"});
        QVERIFY(list.rows().locate("Order_Form_Code", "NONE"));
        QCOMPARE(keepAmount + "|" + values(list.rows(), {"sum_Price"}), QString("15.75|null"));
        b.prompter.clear();
        auto said = [&b](bool ok) { return ok ? QString("ok") : b.prompter.lastText(); };
        QCOMPARE(QStringList({said(list.checkEditSelection({})), said(list.checkEditSelection({"KEEP", "NONE"})),
                              said(list.checkPrintSelection({})), said(list.checkEditSelection({"KEEP"})),
                              said(list.checkPrintSelection({"KEEP", "NONE"}))}),
                 QStringList({"请选择一份收据", "一次只能编辑一份收据", "请选择订货单,可多选", "ok", "ok"}));
        QCOMPARE(b.prompter.messages().size(), 3);
        const QStringList before = dumpDerived(db);
        const QString orders =
            "select Order_Form_Code from Dusmere_Order_Form_head union all select Head_Code from "
            "Dusmere_Order_Form_Detail order by 1";
        b.prompter.clear();
        QVERIFY(!list.remove({}));
        b.prompter.setNextAnswers({false, true, true});
        QVERIFY(!list.remove({"GONE1"}));
        QCOMPARE(b.prompter.texts(), QStringList({"请选择收据", "确定要删除吗？"}));
        // The last statement fails: everything is still there.
        failWhen(db, "Dusmere_Shipment_Form_Head", "DELETE", "OLD.Shipment_Form_Code = 'GONE2'");
        QVERIFY_THROWS_EXCEPTION(DbError, list.remove({"GONE1", "GONE2"}));
        QCOMPARE(dumpDerived(db), before);
        QCOMPARE(read(db, orders).count("GONE"), 6);
        stopFailing(db, "Dusmere_Shipment_Form_Head");
        QVERIFY(list.remove({"GONE1", "GONE2"}));
        QCOMPARE(dumpDerived(db), kept);
        QCOMPARE(read(db, orders), QString("KEEP; KEEP; KEEP; NONE"));
    }

    void formsMadeBeforeTheOrderChangedSaySo() {
        Book b;
        Database& db = b.db();
        addOrder(db, "A", {"G1|1|1|2", "G2|2|1|1"});
        // What the editor requires of a saved order.
        db.query("update Dusmere_Order_Form_Detail set Goods_name=1");
        db.query("update Dusmere_Order_Form_head set Send_Date='2006-07-01 00:00:00'");
        generateAll(b, "A");
        QVERIFY(!OrderFormRevision::hasStaleForms(db, "A"));
        // The order saved again: every form made before says so, in the
        // list, in the forms' list and on the printouts' rows.
        auto saveOrder = [&](const QVariant& qty) {
            OrderFormDocument doc(db, b.clock, b.prompter, "李四");
            doc.load(OrderFormDocument::Existing, "A");
            if (qty.isValid()) {
                doc.rows().setCurrentRow(0);
                doc.rows().setValue("QTY", qty);
            }
            QVERIFY2(doc.save(), qPrintable(b.prompter.lastText()));
        };
        saveOrder(5);
        QVERIFY(OrderFormRevision::hasStaleForms(db, "A"));
        OrderFormList list(db, b.prompter);
        list.open();
        QStringList notes{values(list.rows(), {"Forms_Note"}, 0)};
        for (const auto kind : {DerivedFormList::Kind::WorkForm, DerivedFormList::Kind::WareOutForm,
                                DerivedFormList::Kind::ShipmentForm}) {
            DerivedFormList forms(db, kind);
            forms.open();
            notes << values(forms.forms(), {"Forms_Note"}, 0);
        }
        QCOMPARE(notes, QStringList(4, OrderFormRevision::staleText()));
        // Made again, a kind of form is current; the others still say so.
        for (const QString& kind : kKinds) {
            QVERIFY(OrderFormRevision::hasStaleForms(db, "A"));
            b.prompter.setNextAnswer(true);
            QVERIFY(generate(b, kind, {"A"}));
        }
        DerivedFormList work(db, DerivedFormList::Kind::WorkForm);
        work.open();
        QCOMPARE(work.forms().value(0, "Forms_Note").toString(), QString());
        QVERIFY(!OrderFormRevision::hasStaleForms(db, "A"));
        saveOrder({});  // opening and saving nothing changes nothing
        QVERIFY(!OrderFormRevision::hasStaleForms(db, "A"));
    }
};

QTEST_GUILESS_MAIN(TestOrderFormsGeneration)
#include "test_order_forms_generation.moc"
