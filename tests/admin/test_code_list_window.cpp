#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "admin/code_list_window.h"
#include "admin/code_value_dialog.h"
#include "data/data_module.h"
#include "support/test_books.h"
#include "ui/data_grid.h"
#include "ui/tree_list.h"

// "参数表设置" opened offscreen and clicked through: the window shows what
// its editor holds. The lists' rules are tested in test_code_list, the
// refusals in test_rights_walk.
class TestCodeListWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void editModeShowsListsAndAddsThroughTheDialog();
    void pickModeReturnsTheDoubleClickedValue();

private:
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

void TestCodeListWindow::editModeShowsListsAndAddsThroughTheDialog() {
    CodeListWindow w(m_program->context());
    QString shownNumber;
    w.showValueDialog = [&shownNumber](CodeListEditor& editor) {
        CodeValueDialog dialog(editor);
        shownNumber = dialog.findChildren<QLineEdit*>().first()->text();
        dialog.nameEdit()->setText("玫瑰金");
        dialog.accept();
        return int(dialog.result());
    };
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.objectName(), QString("Sys_TableFieldStatus_frm"));
    QCOMPARE(w.windowTitle(), QString("参数表设置"));
    QVERIFY(!w.selectButton()->isVisible());
    QVERIFY(w.tree()->treeModel()->nodeCount() >= 9);
    // The goods names show their extra columns, the colours do not.
    QVERIFY(w.tree()->setCurrentId("货品名称"));
    QCOMPARE(w.editor().currentListName(), QString("货品名称"));
    GridModel* model = w.grid()->model();
    const int spareColumn = model->columnOf("blank1_Str");
    QVERIFY(!w.grid()->view()->isColumnHidden(spareColumn));
    QCOMPARE(model->data(model->index(0, 1)).toString(), QString("平开窗"));
    QCOMPARE(model->data(model->index(0, model->columnOf("blank2_Str"))).toString(), QString("平方米"));
    QVERIFY(w.tree()->setCurrentId("型材颜色"));
    QVERIFY(w.grid()->view()->isColumnHidden(spareColumn));
    QVERIFY(!w.grid()->view()->isColumnHidden(model->columnOf("blank5_Int")));
    QPushButton* add = nullptr;
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        add = b->text() == QStringLiteral("添加") ? b : add;
    }
    QVERIFY(add);
    QTest::mouseClick(add, Qt::LeftButton);
    QCOMPARE(shownNumber, QString("6"));
    QCOMPARE(m_program->context()
                 .data()
                 .main()
                 .scalar("select StatusValue from Sys_Status_Describe where StatusName='玫瑰金'")
                 .toString(),
             QString("6"));
    QCOMPARE(w.editor().currentListName(), QString("型材颜色"));
    QCOMPARE(w.grid()->model()->rowCount(), 6);
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
    // Closing without a choice leaves the result empty.
    CodeListWindow again(m_program->context());
    again.setPickMode("payout", "subject");
    again.show();
    again.close();
    QVERIFY(again.result().isEmpty());
}

QTEST_MAIN(TestCodeListWindow)
#include "test_code_list_window.moc"
