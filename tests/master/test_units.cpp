#include <QPushButton>
#include <QTest>

#include "data/data_module.h"
#include "master/units_editor.h"
#include "master/units_window.h"
#include "platform/errors.h"
#include "support/test_books.h"
#include "ui/data_grid.h"

// The units of measure: the editor's rules, and the window.
class TestUnits : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void savingDeletingAndClosing();
    void codeTakenByAnotherUnitIsNamed();
    void pickingSavesOrDropsFirst();
    void windowAddsAndPicks();

private:
    int units() { return m_program->context().data().main().scalar("select count(*) from unit").toInt(); }
    std::unique_ptr<TestBooks::TestProgram> m_program;
    std::unique_ptr<UnitsEditor> m_editor;
};

void TestUnits::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    AppContext& c = m_program->context();
    c.data().ConnectDatabases();
    c.CurrentUser = {"超级用户", "", "管理员组"};
    m_editor = std::make_unique<UnitsEditor>(c.data().main(), c.clock(), m_program->prompter());
    m_editor->open();
}

void TestUnits::cleanup() {
    m_editor.reset();
    m_program.reset();
}

void TestUnits::savingDeletingAndClosing() {
    UnitsEditor& e = *m_editor;
    ScriptedPrompter& prompter = m_program->prompter();
    e.add();
    QCOMPARE(e.units().value("unit_code").toString(), QString("UN007"));
    e.units().setValue("Unit_name", "卷");
    e.add();  // the second one without a name
    QVERIFY(!e.save());
    QCOMPARE(prompter.lastText(), QString("请填写[单位名称]"));
    prompter.setNextAnswer(true);
    QVERIFY(!e.close());  // Yes, but a unit has no name: the window stays
    e.units().setValue("Unit_name", "桶");
    QVERIFY(e.save());
    QCOMPARE(units(), 8);

    // Units goods use stay; a deletion is written by the save.
    m_program->context().data().main().query("insert into goods (code, Goods_unit) values ('SP1', 'UN002')");
    QVERIFY(!e.remove({0, 1}));
    QVERIFY(prompter.lastText().contains("UN002"));
    prompter.setNextAnswer(true);
    QVERIFY(e.remove({5}));
    QVERIFY(e.isChanged());
    // Closing with changes asks; No drops them.
    prompter.setNextAnswer(false);
    QVERIFY(e.close());
    QCOMPARE(prompter.lastText(), QString("数据已修改，退出前是否要保存？"));
    QCOMPARE(units(), 8);
    prompter.setNextAnswer(true);
    QVERIFY(e.remove({5}));
    QVERIFY(e.save());
    QCOMPARE(units(), 7);
}

// A code another unit holds already: the message names the field and the
// code in the window's words, the edits stay to be corrected.
void TestUnits::codeTakenByAnotherUnitIsNamed() {
    m_editor->units().setCurrentRow(1);
    m_editor->units().setValue("unit_code", "UN001");
    try {
        m_editor->save();
        QFAIL("the taken code was saved");
    } catch (const DbError& error) {
        QVERIFY2(error.message().contains("计量单位编码为“UN001”的记录已经存在"), qPrintable(error.message()));
        QVERIFY(!error.message().contains("unit_code"));
    }
    QVERIFY(m_editor->units().hasChanges());
}

void TestUnits::pickingSavesOrDropsFirst() {
    UnitsEditor& e = *m_editor;
    ScriptedPrompter& prompter = m_program->prompter();
    QString code;
    for (const bool answer : {false, true}) {
        e.add();
        e.units().setValue("Unit_name", "卷");
        prompter.setNextAnswer(answer);
        QCOMPARE(e.choose(e.units().currentRow(), &code), answer);
        QCOMPARE(prompter.lastText(), QString("数据已修改，选取前是否要保存？"));
        QCOMPARE(units(), answer ? 7 : 6);  // No drops the new unit, Yes saves it first
    }
    QCOMPARE(code, QString("UN008"));
    // Yes, but the save is refused (no name): nothing is picked.
    e.add();
    code.clear();
    prompter.setNextAnswer(true);
    QVERIFY(!e.choose(e.units().currentRow(), &code));
    QVERIFY(code.isEmpty());
}

void TestUnits::windowAddsAndPicks() {
    UnitsWindow w(m_program->context());
    w.show();
    QVERIFY(!w.button("选取")->isVisible());
    QTest::mouseClick(w.button("增加"), Qt::LeftButton);
    QVERIFY(w.grid()->model()->setData(w.grid()->model()->index(6, 1), "卷"));
    QTest::mouseClick(w.button("保存"), Qt::LeftButton);
    QCOMPARE(m_program->context().data().main().scalar("select Unit_name from unit where unit_code='UN007'").toString(),
             QString("卷"));
    QCOMPARE(w.grid()->footerText("unit_code"), QString("共7个单位"));

    UnitsWindow pick(m_program->context());
    pick.setPickMode(true);
    pick.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pick));
    QCOMPARE(pick.windowTitle(), QString("选取计量单位"));
    QTableView* view = pick.grid()->view();
    const QRect cell = view->visualRect(pick.grid()->model()->index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(pick.chosenCode(), QString("UN003"));
    QCOMPARE(pick.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestUnits)
#include "test_units.moc"
