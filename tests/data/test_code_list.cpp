#include <QTest>

#include "book_checks.h"
#include "data/code_list_editor.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "support/test_books.h"

using BookChecks::count;
using BookChecks::rows;
using TestBooks::FreshBook;

namespace {
struct Fixture {
    FreshBook book{TestBooks::currentEngine()};
    Clock clock;
    ScriptedPrompter prompter;
    CodeListEditor editor{book.db(), clock, prompter};
    int valuesOf(const QString& list) {
        return count(book.db(), "Sys_Status_Describe where ParamentName=:p", {{"p", list}});
    }
};
}  // namespace

class TestCodeList : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    // An amount follows price and quantity (not a zero one), written at once.
    void amountFollowsPriceAndQuantity() {
        Fixture f;
        f.editor.openPickMode("Dusmere_Order_Form_Detail", "Goods_name");
        Dataset& v = f.editor.values();
        v.first();
        v.setValue("blank3_Int", 300);
        v.setValue("blank5_Int", 2.5);
        QCOMPARE(v.value("blank6_Int").toDouble(), 750.0);
        v.setValue("blank5_Int", 0);
        v.post();
        QCOMPARE(rows(f.book.db(),
                      "select blank6_Int from Sys_Status_Describe where ParamentName='货品名称' and StatusValue='1'"),
                 QString("750"));
    }
    // Edit mode shows the lists a user may edit; an added value gets its list's next number.
    void editModeListsAndAdds() {
        Fixture f;
        f.editor.openEditMode();
        QVERIFY(!f.editor.isPickMode());
        QVERIFY(!f.editor.lists().locate("paramentname", "收据类型"));  // a system list
        QVERIFY(f.editor.lists().locate("paramentname", "货品名称") && f.editor.extraColumnsVisible());
        QVERIFY(f.editor.lists().locate("paramentname", "型材颜色") && !f.editor.extraColumnsVisible());
        QVERIFY(f.editor.beginAdd());
        QCOMPARE(f.editor.values().value("StatusValue").toString() + f.editor.values().value("ParamentName").toString(),
                 QString("6型材颜色"));
        f.editor.values().setValue("StatusName", "玫瑰金");
        f.editor.confirmAdd();
        QCOMPARE(rows(f.book.db(),
                      "select StatusName from Sys_Status_Describe where ParamentName='型材颜色' and StatusValue='6'"),
                 QString("玫瑰金"));
        QCOMPARE(f.editor.currentListName(), QString("型材颜色"));
    }
    // Pick mode shows a field's list and picks one; an added value needs a name, a cancelled one leaves nothing.
    void pickModeAddsAndPicksInOneList() {
        Fixture f;
        f.editor.openPickMode("payout", "subject");
        QCOMPARE(f.editor.lists().rowCount(), 1);
        QCOMPARE(f.editor.currentListName(), QString("费用名目"));
        QVERIFY(!f.editor.pick({}));
        QCOMPARE(f.prompter.lastText(), QString("请选择"));
        QVERIFY(!f.editor.pick({0, 1}));
        QCOMPARE(f.prompter.lastText(), QString("只能选择一条记录"));
        QVERIFY(f.editor.pick({3}));
        QCOMPARE(f.editor.result(), QString("3"));
        QVERIFY(f.editor.beginAdd());
        f.editor.cancelAdd();
        f.editor.saveOnClose();
        QCOMPARE(f.valuesOf("费用名目"), 4);
        QVERIFY(f.editor.beginAdd());
        QVERIFY_THROWS_EXCEPTION(UserError, f.editor.confirmAdd());
        QCOMPARE(f.editor.values().state(), Dataset::State::Insert);
    }
    // A value in use is never deleted, also among several selected.
    void deleteRefusesUsedValues() {
        Fixture f;
        // An order row uses colour 3 (an integer field).
        f.book.db().query(
            "insert into Dusmere_Order_Form_Detail (Head_Code, Goods_Code, Colour) values ('AA1', '1', 3)");
        f.editor.openPickMode("Dusmere_Order_Form_Detail", "Colour");
        QVERIFY(f.editor.values().locate("StatusValue", "1"));
        const int unused = f.editor.values().currentRow();
        QVERIFY(f.editor.values().locate("StatusValue", "3"));
        QVERIFY(!f.editor.deleteValues({unused, f.editor.values().currentRow()}));
        QCOMPARE(f.prompter.lastText(), QString("该型材颜色已经被使用，不能删除！"));
        QCOMPARE(f.valuesOf("型材颜色"), 5);
        f.prompter.clear();
        QVERIFY(f.editor.deleteValues({0, 1}));
        QVERIFY(f.prompter.messages().isEmpty());
        QCOMPARE(f.editor.values().rowCount(), 3);
        QCOMPARE(f.valuesOf("型材颜色"), 3);
    }
    void newUnitReachesTheUnitLookup() {
        Fixture f;
        f.editor.openPickMode("Dusmere_Order_Form_Detail", "Goods_Unit");
        QVERIFY(!f.editor.unitLookup()->keyOf("吨").isValid());
        QVERIFY(f.editor.beginAdd());
        f.editor.values().setValue("StatusName", "吨");
        f.editor.confirmAdd();
        QCOMPARE(f.editor.unitLookup()->keyOf("吨").toString() + f.editor.unitLookup()->text("7"), QString("7吨"));
    }
};

QTEST_GUILESS_MAIN(TestCodeList)
#include "test_code_list.moc"
