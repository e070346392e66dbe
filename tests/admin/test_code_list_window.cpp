#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "admin/code_list_window.h"
#include "admin/code_value_dialog.h"
#include "data/data_module.h"
#include "data/permission_checker.h"
#include "support/test_books.h"
#include "ui/data_grid.h"
#include "ui/tree_list.h"

// "参数表设置" opened offscreen and clicked through.
class TestCodeListWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void editModeShowsListsAndExtraColumns();
    void addThroughTheValueDialog();
    void cancelledDialogAddsNothing();
    void pickModeReturnsTheDoubleClickedValue();
    void pickButtonNeedsOneRow();
    void refusedAddForAnOrdinaryUser();

private:
    QPushButton* button(CodeListWindow& w, const QString& text);
    std::unique_ptr<TestBooks::TestProgram> m_program;
};

void TestCodeListWindow::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    AppContext& c = m_program->context();
    c.data().ConnectDatabases();
    c.CurrentUser = {"超级用户", "", "管理员组"};
}

void TestCodeListWindow::cleanup() {
    m_program.reset();
}

QPushButton* TestCodeListWindow::button(CodeListWindow& w, const QString& text) {
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

void TestCodeListWindow::editModeShowsListsAndExtraColumns() {
    CodeListWindow w(m_program->context());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.objectName(), QString("Sys_TableFieldStatus_frm"));
    QCOMPARE(w.windowTitle(), QString("参数表设置"));
    QVERIFY(!w.selectButton()->isVisible());
    QVERIFY(w.tree()->treeModel()->nodeCount() >= 9);
    QVERIFY(w.tree()->setCurrentId("货品名称"));
    QCOMPARE(w.editor().currentListName(), QString("货品名称"));
    const int spareColumn = w.grid()->model()->columnOf("blank1_Str");
    QVERIFY(!w.grid()->view()->isColumnHidden(spareColumn));
    QCOMPARE(w.grid()->model()->data(w.grid()->model()->index(0, 1)).toString(), QString("平开窗"));
    QCOMPARE(w.grid()->model()->data(w.grid()->model()->index(0, w.grid()->model()->columnOf("blank2_Str"))).toString(),
             QString("平方米"));
    QVERIFY(w.tree()->setCurrentId("型材颜色"));
    QVERIFY(w.grid()->view()->isColumnHidden(spareColumn));
    QVERIFY(!w.grid()->view()->isColumnHidden(w.grid()->model()->columnOf("blank5_Int")));
}

void TestCodeListWindow::addThroughTheValueDialog() {
    CodeListWindow w(m_program->context());
    w.showValueDialog = [](CodeListEditor& editor) {
        CodeValueDialog dialog(editor);
        dialog.nameEdit()->setText("玫瑰金");
        dialog.accept();
        return int(dialog.result());
    };
    w.show();
    QVERIFY(w.tree()->setCurrentId("型材颜色"));
    QTest::mouseClick(button(w, "添加"), Qt::LeftButton);
    Database& db = m_program->context().data().main();
    QCOMPARE(db.scalar("select StatusValue from Sys_Status_Describe where StatusName='玫瑰金'").toString(),
             QString("6"));
    QCOMPARE(w.editor().currentListName(), QString("型材颜色"));
    QCOMPARE(w.grid()->model()->rowCount(), 6);
    QTest::mouseClick(button(w, "关闭"), Qt::LeftButton);
    QVERIFY(!w.isVisible());
}

void TestCodeListWindow::cancelledDialogAddsNothing() {
    CodeListWindow w(m_program->context());
    QString shownNumber;
    w.showValueDialog = [&shownNumber](CodeListEditor& editor) {
        CodeValueDialog dialog(editor);
        shownNumber = dialog.findChildren<QLineEdit*>().first()->text();
        dialog.reject();
        return int(dialog.result());
    };
    w.show();
    QVERIFY(w.tree()->setCurrentId("费用名目"));
    QTest::mouseClick(button(w, "添加"), Qt::LeftButton);
    QCOMPARE(shownNumber, QString("4"));
    QCOMPARE(w.grid()->model()->rowCount(), 4);
    w.close();
    QCOMPARE(m_program->context()
                 .data()
                 .main()
                 .scalar("select count(*) from Sys_Status_Describe where ParamentName='费用名目'")
                 .toInt(),
             4);
}

void TestCodeListWindow::pickModeReturnsTheDoubleClickedValue() {
    CodeListWindow w(m_program->context());
    w.setPickMode("payout", "subject");
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.selectButton()->isVisible());
    QCOMPARE(w.tree()->treeModel()->nodeCount(), 1);
    QTableView* view = w.grid()->view();
    const QRect cell = view->visualRect(w.grid()->model()->index(2, 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(w.result(), QString("2"));
    QCOMPARE(w.result(), w.editor().values().value(2, "StatusValue").toString());
    QVERIFY(!w.isVisible());
}

void TestCodeListWindow::pickButtonNeedsOneRow() {
    CodeListWindow w(m_program->context());
    w.setPickMode("payout", "subject");
    w.show();
    w.grid()->view()->clearSelection();
    QTest::mouseClick(w.selectButton(), Qt::LeftButton);
    QCOMPARE(m_program->prompter().lastText(), QString("请选择"));
    w.grid()->view()->selectAll();
    QTest::mouseClick(w.selectButton(), Qt::LeftButton);
    QCOMPARE(m_program->prompter().lastText(), QString("只能选择一条记录"));
    w.grid()->view()->clearSelection();
    w.grid()->selectRow(0);
    QTest::mouseClick(w.selectButton(), Qt::LeftButton);
    QCOMPARE(w.result(), QString("0"));
    QVERIFY(!w.isVisible());
    // Closing without a choice leaves the result empty.
    CodeListWindow again(m_program->context());
    again.setPickMode("payout", "subject");
    again.show();
    again.close();
    QVERIFY(again.result().isEmpty());
}

void TestCodeListWindow::refusedAddForAnOrdinaryUser() {
    AppContext& c = m_program->context();
    c.data().main().query("insert into Sys_user (User_name, User_Group, type) values ('小王', '销售组', 1)");
    c.CurrentUser = {"小王", "", "销售组"};
    CodeListWindow w(c);
    bool dialogShown = false;
    w.showValueDialog = [&dialogShown](CodeListEditor&) {
        dialogShown = true;
        return 0;
    };
    w.show();
    QTest::mouseClick(button(w, "添加"), Qt::LeftButton);
    QVERIFY(!dialogShown);
    QCOMPARE(m_program->prompter().lastText(), PermissionChecker::refusalText());
}

QTEST_MAIN(TestCodeListWindow)
#include "test_code_list_window.moc"
