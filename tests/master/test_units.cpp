#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "data/data_module.h"
#include "data/permission_checker.h"
#include "master/units_editor.h"
#include "master/units_window.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "support/test_books.h"
#include "ui/data_grid.h"

// The units of measure: rules and window.
class TestUnits : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void savingNeedsEveryName();
    void deletionAloneIsWrittenBySave();
    void unitsUsedByGoodsStay();
    void codeTakenByAnotherUnitIsNamed();
    void closingAsksOnlyWithChanges();
    void windowAddsEditsAndPicks();
    void pickingSavesOrDropsFirst();
    void buttonsNeedTheRight();

private:
    std::unique_ptr<TestBooks::TestProgram> m_program;
    Database& db() { return m_program->context().data().main(); }
};

void TestUnits::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    m_program->context().data().ConnectDatabases();
    m_program->context().CurrentUser = {"超级用户", "", "管理员组"};
}

void TestUnits::cleanup() {
    m_program.reset();
}

void TestUnits::savingNeedsEveryName() {
    UnitsEditor e(db(), m_program->context().clock(), m_program->prompter());
    e.open();
    e.add();
    QCOMPARE(e.units().value("unit_code").toString(), QString("UN007"));
    e.units().setValue("Unit_name", "卷");
    e.add();  // the second one without a name
    QVERIFY(!e.save());
    QCOMPARE(m_program->prompter().lastText(), QString("请填写[单位名称]"));
    QVERIFY(e.isEditable());
    QCOMPARE(db().scalar("select count(*) from unit").toInt(), 6);
    e.units().setValue("Unit_name", "桶");
    QVERIFY(e.save());
    QVERIFY(!e.isEditable());
    QCOMPARE(db().scalar("select count(*) from unit").toInt(), 8);
}

void TestUnits::deletionAloneIsWrittenBySave() {
    UnitsEditor e(db(), m_program->context().clock(), m_program->prompter());
    e.open();
    QVERIFY(!e.remove({}));
    QCOMPARE(m_program->prompter().lastText(), QString("请选则要删除的记录"));
    m_program->prompter().setNextAnswer(true);
    QVERIFY(e.remove({5}));
    QVERIFY(e.isChanged());
    QVERIFY(e.save());
    QCOMPARE(db().scalar("select count(*) from unit").toInt(), 5);
}

void TestUnits::unitsUsedByGoodsStay() {
    db().query("insert into goods (code, Goods_unit) values ('SP1', 'UN002')");
    UnitsEditor e(db(), m_program->context().clock(), m_program->prompter());
    e.open();
    QVERIFY(!e.remove({0, 1}));
    QVERIFY(m_program->prompter().lastText().contains("UN002"));
    QVERIFY(!e.isChanged());
}

// A code another unit holds already: the message names the field and the
// code in the window's words, the edits stay to be corrected.
void TestUnits::codeTakenByAnotherUnitIsNamed() {
    UnitsEditor e(db(), m_program->context().clock(), m_program->prompter());
    e.open();
    e.units().setCurrentRow(1);
    e.units().setValue("unit_code", "UN001");
    try {
        e.save();
        QFAIL("the taken code was saved");
    } catch (const DbError& error) {
        QVERIFY2(error.message().contains("计量单位编码为“UN001”的记录已经存在"), qPrintable(error.message()));
        QVERIFY(!error.message().contains("unit_code"));
    }
    QVERIFY(e.units().hasChanges());
    QCOMPARE(db().scalar("select count(*) from unit where unit_code='UN001'").toInt(), 1);
}

void TestUnits::closingAsksOnlyWithChanges() {
    UnitsEditor e(db(), m_program->context().clock(), m_program->prompter());
    e.open();
    QVERIFY(e.close());  // nothing changed: no question
    QVERIFY(m_program->prompter().messages().isEmpty());
    e.add();
    e.units().setValue("Unit_name", "打");
    m_program->prompter().setNextAnswer(false);
    QVERIFY(e.close());
    QCOMPARE(m_program->prompter().lastText(), QString("数据已修改，退出前是否要保存？"));
    QCOMPARE(db().scalar("select count(*) from unit").toInt(), 6);
    e.add();
    m_program->prompter().setNextAnswer(true);
    QVERIFY(!e.close());  // Yes, but the new unit has no name: the window stays
}

void TestUnits::windowAddsEditsAndPicks() {
    UnitsWindow w(m_program->context());
    w.show();
    QCOMPARE(w.objectName(), QString("base_unit_frm"));
    QCOMPARE(w.windowTitle(), QString("计量单位管理"));
    QCOMPARE(w.grid()->footerText("unit_code"), QString("共6个单位"));
    QVERIFY(!w.button("保存")->isEnabled());
    QVERIFY(!w.button("选取")->isVisible());
    QTest::mouseClick(w.button("增加"), Qt::LeftButton);
    QVERIFY(w.button("保存")->isEnabled());
    QVERIFY(!w.button("编辑")->isEnabled());
    QVERIFY(w.grid()->model()->setData(w.grid()->model()->index(6, 1), "卷"));
    QTest::mouseClick(w.button("保存"), Qt::LeftButton);
    QCOMPARE(db().scalar("select Unit_name from unit where unit_code='UN007'").toString(), QString("卷"));
    QCOMPARE(w.grid()->footerText("unit_code"), QString("共7个单位"));
    w.close();
    QVERIFY(m_program->prompter().messages().isEmpty());

    UnitsWindow pick(m_program->context());
    pick.setPickMode(true);
    pick.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pick));
    QVERIFY(pick.button("选取")->isVisible());
    QCOMPARE(pick.windowTitle(), QString("选取计量单位"));
    QTableView* view = pick.grid()->view();
    const QRect cell = view->visualRect(pick.grid()->model()->index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(pick.chosenCode(), QString("UN003"));
    QCOMPARE(pick.result(), int(QDialog::Accepted));
}

void TestUnits::pickingSavesOrDropsFirst() {
    UnitsEditor e(db(), m_program->context().clock(), m_program->prompter());
    e.open();
    QString code;
    e.add();
    e.units().setValue("Unit_name", "卷");
    const int row = e.units().currentRow();
    // No: the new unit is dropped, and cannot be handed out.
    m_program->prompter().setNextAnswer(false);
    QVERIFY(!e.choose(row, &code));
    QCOMPARE(m_program->prompter().lastText(), QString("数据已修改，选取前是否要保存？"));
    QVERIFY(code.isEmpty());
    QCOMPARE(db().scalar("select count(*) from unit").toInt(), 6);
    // Yes: saved first, then picked.
    e.add();
    e.units().setValue("Unit_name", "卷");
    m_program->prompter().setNextAnswer(true);
    QVERIFY(e.choose(e.units().currentRow(), &code));
    QCOMPARE(db().scalar("select Unit_name from unit where unit_code=:c", {{"c", code}}).toString(), QString("卷"));
    // Yes, but the save is refused (no name): nothing is picked.
    e.add();
    code.clear();
    m_program->prompter().setNextAnswer(true);
    QVERIFY(!e.choose(e.units().currentRow(), &code));
    QVERIFY(code.isEmpty());
}

// A window's buttons run their command through the permission check, as
// every window wires them: without the right the click is refused and
// nothing happens; once the user's group holds it, the same click works.
void TestUnits::buttonsNeedTheRight() {
    db().query("insert into Sys_user (User_name, User_Group, type) values ('仓库组', '0', 0), ('小王', '仓库组', 1)");
    AppContext& c = m_program->context();
    c.CurrentUser = {"小王", "", "仓库组"};
    UnitsWindow w(c);
    w.show();
    QTest::mouseClick(w.button("增加"), Qt::LeftButton);
    QCOMPARE(m_program->prompter().lastText(), PermissionChecker::refusalText());
    QCOMPARE(w.grid()->model()->rowCount(), 6);
    QVERIFY(!w.button("保存")->isEnabled());
    db().query(
        "insert into Sys_user_Operation (User_name, Action_id) select '仓库组', id from Sys_Operation_Table "
        "where Form_Name='base_unit_frm' and Action_Name='action_add'");
    m_program->prompter().clear();
    QTest::mouseClick(w.button("增加"), Qt::LeftButton);
    QVERIFY(m_program->prompter().messages().isEmpty());
    QCOMPARE(w.grid()->model()->rowCount(), 7);
    QVERIFY(w.button("保存")->isEnabled());
}

QTEST_MAIN(TestUnits)
#include "test_units.moc"
