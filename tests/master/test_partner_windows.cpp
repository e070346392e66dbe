#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "data/data_module.h"
#include "documents/customer_picker_dialog.h"
#include "master/partner_edit_window.h"
#include "master/partner_list_window.h"
#include "support/test_books.h"
#include "support/tree_drop.h"
#include "ui/data_grid.h"
#include "ui/tree_list.h"

namespace {
// A button by its caption, or by its hint (the tree's buttons).
QPushButton* button(QWidget* w, const QString& text) {
    for (QPushButton* b : w->findChildren<QPushButton*>()) {
        if ((b->text() == text && b->toolTip().isEmpty()) || b->toolTip() == text) {
            return b;
        }
    }
    return nullptr;
}
}  // namespace

// The customer, supplier and order-customer windows, offscreen (the
// directory's rules: TestPartnerDirectory).
class TestPartnerWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_program.reset(); }
    void customerListSearchesAndPrintsLabels();
    void pickingByDoubleClick();
    void editWindowSavesAndAsksOnClose();
    void groupCommandsAndDropsKeepTreeAndListInStep();
    void orderCustomerPickerAddsIntoTheChosenGroup();

private:
    Database& db() { return m_program->context().data().main(); }
    std::unique_ptr<TestBooks::TestProgram> m_program;
};

void TestPartnerWindows::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    m_program->context().data().ConnectDatabases();
    m_program->context().CurrentUser = {"超级用户", "", "管理员组"};
    db().query("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('北京', 1, 0, 1)");
    db().query(
        "insert into Client (Corp_code, Linkman_name, Corp_name, GroupClass) values "
        "('00001', '张三', '东方酒店', 2), ('00002', '李四', '100%_酒店', 2), ('00003', 'Wang', '西湖饭店', 1)");
    db().query("update Sys_ID_Autoincrement set CurrID='00003' where tablename='customer_provider'");
}

void TestPartnerWindows::customerListSearchesAndPrintsLabels() {
    PartnerListWindow w(m_program->context(), PartnerSide::customers());
    QStringList printed;
    w.showLabels = [&printed](const QStringList& codes) { printed = codes; };
    w.show();
    QCOMPARE(w.grid()->model()->rowCount(), 3);
    QCOMPARE(w.grid()->footerText("Corp_code"), QString("3 条记录"));
    QVERIFY(!w.selectButton()->isVisible());
    QVERIFY(w.tree()->setCurrentId(2));
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    w.searchBox()->setText("  %_ ");
    w.search();  // back to the root, then the filter over all records
    QCOMPARE(w.tree()->currentId().toInt(), 1);
    QCOMPARE(w.grid()->model()->rowCount(), 1);
    w.showAll();
    QCOMPARE(w.grid()->model()->rowCount(), 3);
    w.grid()->view()->clearSelection();
    QVERIFY(w.actions().execute("Action1"));
    QCOMPARE(m_program->prompter().lastText(), QString("请选择一条记录"));
    w.grid()->view()->selectAll();
    QVERIFY(w.actions().execute("Action1"));
    QCOMPARE(printed, QStringList({"00003", "00002", "00001"}));
}

void TestPartnerWindows::pickingByDoubleClick() {
    PartnerListWindow w(m_program->context(), PartnerSide::customers());
    w.setMode(1);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTableView* view = w.grid()->view();
    const QRect cell = view->visualRect(w.grid()->model()->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(w.chosenCode(), QString("00002"));  // codes newest first: 00003, 00002, 00001
    QCOMPARE(w.result(), int(QDialog::Accepted));
}

void TestPartnerWindows::editWindowSavesAndAsksOnClose() {
    AppContext& c = m_program->context();
    PartnerDirectory directory(db(), c.clock(), c.prompter(), PartnerSide::customers());
    directory.open();
    QVERIFY(directory.records().locate("Corp_code", "00001"));
    PartnerEditWindow edit(c, directory);
    edit.show();
    // 酒店名称 is shown twice: what is typed in one shows in the other.
    const QList<QWidget*> editors = edit.editorsFor("Corp_name");
    QCOMPARE(editors.size(), 2);
    auto* name = qobject_cast<QLineEdit*>(editors[0]);
    auto* again = qobject_cast<QLineEdit*>(editors[1]);
    QCOMPARE(name->text(), QString("东方酒店"));
    name->end(false);
    QTest::keyClicks(name, "AB");
    QCOMPARE(again->text(), QString("东方酒店AB"));
    QVERIFY(edit.actions().execute("Action_Save"));
    QCOMPARE(db().scalar("select Corp_name from Client where Corp_code='00001'").toString(), QString("东方酒店AB"));
    QTest::keyClicks(again, "C");
    m_program->prompter().setNextAnswer(false);
    edit.close();
    QVERIFY(!edit.saved());
    QCOMPARE(m_program->prompter().lastText(), QString("要保存此次修改吗？"));
    QCOMPARE(db().scalar("select Corp_name from Client where Corp_code='00001'").toString(), QString("东方酒店AB"));
}

// After a group is added or a record dropped, the tree stands on the group
// whose records the list shows; a refused drop is said in the status bar.
void TestPartnerWindows::groupCommandsAndDropsKeepTreeAndListInStep() {
    PartnerListWindow w(m_program->context(), PartnerSide::customers());
    w.show();
    TreeList* tree = w.tree();
    QVERIFY(tree->setCurrentId(2));
    // 北京 holds records: they move into the new group, which is focused.
    m_program->prompter().setNextAnswer(true);
    m_program->prompter().setNextText("朝阳");
    button(&w, "在选中的类别下增加子类")->click();
    const int chaoyang = db().scalar("select id from Client_group where Class_name='朝阳'").toInt();
    QCOMPARE(tree->currentId().toInt(), chaoyang);
    QCOMPARE(w.directory().focusedGroup().toInt(), chaoyang);
    QCOMPARE(w.grid()->model()->rowCount(), 2);

    const QString wang = db().scalar("select ID from Client where Corp_code='00003'").toString();
    QVERIFY(!tree->performDrop({true, {wang}, 2}));  // 北京 now has a child group
    QCOMPARE(w.statusLabel()->text(), QString("提示：只能把客户拖放到没有子类的客户类别中！"));
    TestBooks::dropOn(tree, chaoyang, DataGrid::kRowsMimeType, {wang});
    QCOMPARE(db().scalar("select GroupClass from Client where Corp_code='00003'").toInt(), chaoyang);
    QCOMPARE(w.grid()->model()->rowCount(), 3);
    QCOMPARE(w.statusLabel()->text(), QString("您的位置：基础资料 >>> 往来单位管理"));
}

// The order form's picker adds an order customer into the group of the item
// chosen.
void TestPartnerWindows::orderCustomerPickerAddsIntoTheChosenGroup() {
    db().query("insert into customer_group (Class_name, Parent_id, ico_no, CorpType) values ('酒楼', 1, 0, 1)");
    const int group = db().scalar("select max(id) from customer_group").toInt();
    db().query("insert into customer_provider (corp_code, Corp_name, Customer_Group) values ('00004', '明珠酒楼', :g)",
               {{"g", group}});
    CustomerPickerDialog picker(m_program->context());
    picker.runEditWindow = [](PartnerDirectory& directory) {
        directory.records().setValue("Corp_name", "新客户");
        directory.saveRecord();
        return true;
    };
    QTreeWidgetItem* item = picker.tree()->findItems("明珠酒楼", Qt::MatchExactly | Qt::MatchRecursive).value(0);
    QVERIFY(item);
    picker.tree()->setCurrentItem(item);
    button(&picker, "新增客户…")->click();
    QCOMPARE(picker.result(), int(QDialog::Accepted));
    QCOMPARE(picker.chosenCode(), QString("00005"));
    QCOMPARE(db().scalar("select Customer_Group from customer_provider where corp_code='00005'").toInt(), group);
}

QTEST_MAIN(TestPartnerWindows)
#include "test_partner_windows.moc"
