#include <QTest>

#include "data/code_list_editor.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "support/test_books.h"

using TestBooks::FreshBook;

// The rules of the code-list editor, on both engines.
class TestCodeList : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    void amountFollowsPriceAndQuantity() {
        Fixture f;
        f.editor.openPickMode("Dusmere_Order_Form_Detail", "Goods_name");
        Dataset& v = f.editor.values();
        v.first();
        v.setValue("blank3_Int", 300);
        v.setValue("blank5_Int", 2.5);
        QCOMPARE(v.value("blank6_Int").toDouble(), 750.0);
        v.setValue("blank5_Int", 0);  // zero leaves the amount alone
        QCOMPARE(v.value("blank6_Int").toDouble(), 750.0);
        v.post();
        QCOMPARE(f.book.db()
                     .scalar("select blank6_Int from Sys_Status_Describe where ParamentName='货品名称' and "
                             "StatusValue='1'")
                     .toDouble(),
                 750.0);
    }
    // Edit mode shows the lists a user may edit, with the extra columns only
    // for the goods names.
    void listsShownByMode() {
        Fixture f;
        f.editor.openEditMode();
        QStringList names;
        for (int r = 0; r < f.editor.lists().rowCount(); ++r) {
            names << f.editor.lists().value(r, "paramentname").toString();
            QCOMPARE(f.editor.lists().value(r, "parent_id").toInt(), -1);
        }
        QVERIFY(names.contains("费用名目"));
        QVERIFY(names.contains("货品名称"));
        QVERIFY(!names.contains("收据类型"));  // a system list
        QVERIFY(!f.editor.isPickMode());
        QVERIFY(f.editor.lists().locate("paramentname", "货品名称"));
        QVERIFY(f.editor.extraColumnsVisible());
        QVERIFY(f.editor.lists().locate("paramentname", "型材颜色"));
        QVERIFY(!f.editor.extraColumnsVisible());
    }
    void addProposesTheNextNumber() {
        Fixture f;
        f.book.db().query("delete from Sys_Status_Describe where ParamentName='型材颜色'");
        for (const char* v : {"1", "2", "10"}) {
            f.book.db().query(
                "insert into Sys_Status_Describe (ParamentName, StatusValue, StatusName) values ('型材颜色', :v, 'c')",
                {{"v", QString(v)}});
        }
        f.editor.openEditMode();
        QVERIFY(f.editor.lists().locate("paramentname", "型材颜色"));
        QVERIFY(f.editor.beginAdd());
        QCOMPARE(f.editor.values().value("StatusValue").toString(), QString("11"));
        QCOMPARE(f.editor.values().value("ParamentName").toString(), QString("型材颜色"));
        f.editor.values().setValue("StatusName", "玫瑰金");
        f.editor.confirmAdd();
        QCOMPARE(f.book.db()
                     .scalar("select StatusName from Sys_Status_Describe where ParamentName='型材颜色' and "
                             "StatusValue='11'")
                     .toString(),
                 QString("玫瑰金"));
        QCOMPARE(f.editor.currentListName(), QString("型材颜色"));
        QVERIFY(f.editor.beginAdd());
        QCOMPARE(f.editor.values().value("StatusValue").toString(), QString("12"));
        f.editor.cancelAdd();
        // A list without values proposes 1.
        f.book.db().query(
            "insert into Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) "
            "values ('新列表', 'payout', 'remark', 0)");
        f.editor.openEditMode();
        QVERIFY(f.editor.lists().locate("paramentname", "新列表"));
        QCOMPARE(f.editor.values().rowCount(), 0);
        QVERIFY(f.editor.beginAdd());
        QCOMPARE(f.editor.values().value("StatusValue").toString(), QString("1"));
    }
    // Pick mode shows the one list of a field; an added value needs a name and
    // a cancelled one leaves nothing; one value is picked.
    void pickModeAddsAndPicksInOneList() {
        Fixture f;
        f.editor.openPickMode("payout", "subject");
        QCOMPARE(f.editor.lists().rowCount(), 1);
        QCOMPARE(f.editor.currentListName(), QString("费用名目"));
        QCOMPARE(f.editor.values().rowCount(), 4);
        QVERIFY(f.editor.result().isEmpty());
        QVERIFY(!f.editor.pick({}));
        QCOMPARE(f.prompter.lastText(), QString("请选择"));
        QVERIFY(!f.editor.pick({0, 1}));
        QCOMPARE(f.prompter.lastText(), QString("只能选择一条记录"));
        QVERIFY(f.editor.pick({3}));
        QCOMPARE(f.editor.result(), QString("3"));
        QVERIFY(f.editor.beginAdd());
        QCOMPARE(f.editor.values().rowCount(), 5);
        f.editor.cancelAdd();
        QCOMPARE(f.editor.values().rowCount(), 4);
        f.editor.saveOnClose();
        QCOMPARE(f.book.db().scalar("select count(*) from Sys_Status_Describe where ParamentName='费用名目'").toInt(),
                 4);
        QVERIFY(f.editor.beginAdd());
        QVERIFY_THROWS_EXCEPTION(UserError, f.editor.confirmAdd());
        QCOMPARE(f.editor.values().state(), Dataset::State::Insert);
    }
    // A value in use is never deleted, also among several selected; unused
    // ones are.
    void deleteRefusesUsedValues() {
        Fixture f;
        f.book.db().query("insert into payout (paytime, subject, totalprice) values (:d, '2', 100)",
                          {{"d", QDate(2006, 12, 1)}});
        f.editor.openPickMode("payout", "subject");
        QVERIFY(f.editor.values().locate("StatusValue", "2"));
        QVERIFY(!f.editor.deleteValues({f.editor.values().currentRow()}));
        QCOMPARE(f.prompter.lastText(), QString("该费用名目已经被使用，不能删除！"));
        QCOMPARE(f.book.db().scalar("select count(*) from Sys_Status_Describe where ParamentName='费用名目'").toInt(),
                 4);
        // An order row uses colour 3 (an integer field).
        f.book.db().query(
            "insert into Dusmere_Order_Form_Detail (Head_Code, Goods_Code, Colour) values ('AA1', '1', 3)");
        f.editor.openPickMode("Dusmere_Order_Form_Detail", "Colour");
        QVERIFY(f.editor.values().locate("StatusValue", "1"));
        const int unused = f.editor.values().currentRow();
        QVERIFY(f.editor.values().locate("StatusValue", "3"));
        const int used = f.editor.values().currentRow();
        QVERIFY(!f.editor.deleteValues({unused, used}));
        QCOMPARE(f.prompter.lastText(), QString("该型材颜色已经被使用，不能删除！"));
        QCOMPARE(f.book.db().scalar("select count(*) from Sys_Status_Describe where ParamentName='型材颜色'").toInt(),
                 5);
        f.prompter.clear();
        QVERIFY(f.editor.deleteValues({0, 1}));
        QVERIFY(f.prompter.messages().isEmpty());
        QCOMPARE(f.book.db().scalar("select count(*) from Sys_Status_Describe where ParamentName='型材颜色'").toInt(),
                 3);
        QCOMPARE(f.editor.values().rowCount(), 3);
        QVERIFY(!f.editor.deleteValues({}));
    }
    void newUnitReachesTheUnitLookup() {
        Fixture f;
        f.editor.openPickMode("Dusmere_Order_Form_Detail", "Goods_Unit");
        QVERIFY(!f.editor.unitLookup()->keyOf("吨").isValid());
        QVERIFY(f.editor.beginAdd());
        f.editor.values().setValue("StatusName", "吨");
        f.editor.confirmAdd();
        QCOMPARE(f.editor.unitLookup()->keyOf("吨").toString(), QString("7"));
        QCOMPARE(f.editor.unitLookup()->text("7"), QString("吨"));
    }

private:
    struct Fixture {
        FreshBook book;
        Clock clock;
        ScriptedPrompter prompter;
        CodeListEditor editor;
        Fixture() : book(TestBooks::currentEngine()), editor(book.db(), clock, prompter) {}
    };
};

QTEST_GUILESS_MAIN(TestCodeList)
#include "test_code_list.moc"
