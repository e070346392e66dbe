#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <QTimer>
#include <QTreeWidget>

#include "data/data_module.h"
#include "documents/customer_picker_dialog.h"
#include "master/partner_edit_window.h"
#include "master/partner_list_window.h"
#include "support/test_books.h"
#include "support/tree_drop.h"
#include "ui/data_grid.h"
#include "ui/tree_list.h"

// The customer, supplier and order-customer windows, offscreen.
class TestPartnerWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void customerListShowsAllAndSearches();
    void newCustomerWhilePickingIsPickedAtOnce();
    void pickByDoubleClick();
    void editWindowSavesAndAsksOnClose();
    void fieldsShownTwiceFollowEachOther();
    void labelsForTheSelectedCustomers();
    void dropRefusalShowsInTheStatusBar();
    void supplierListHasNoFooter();
    void failedGroupCommandsOnALockedBookLeaveTheWindowUsable();
    void groupCommandsKeepTheTreeInStepWithTheList();
    void draggingMarksTheTargetAndACancelClearsTheStatus();
    void orderCustomersAddedEditedAndDeletedThroughTheirWindows();

private:
    std::unique_ptr<TestBooks::TestProgram> m_program;
};

void TestPartnerWindows::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    AppContext& c = m_program->context();
    c.data().ConnectDatabases();
    c.CurrentUser = {"超级用户", "", "管理员组"};
    Database& db = c.data().main();
    db.query("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('北京', 1, 0, 1)");
    db.query(
        "insert into Client (Corp_code, Linkman_name, Corp_name, GroupClass) values "
        "('00001', '张三', '东方酒店', 2), ('00002', '李四', '100%_酒店', 2), ('00003', 'Wang', '西湖饭店', 1)");
    db.query("update Sys_ID_Autoincrement set CurrID='00003' where tablename='customer_provider'");
}

void TestPartnerWindows::cleanup() {
    m_program.reset();
}

void TestPartnerWindows::customerListShowsAllAndSearches() {
    PartnerListWindow w(m_program->context(), PartnerSide::customers());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.objectName(), QString("Form_Client_List"));
    QCOMPARE(w.grid()->model()->rowCount(), 3);
    QCOMPARE(w.grid()->footerText("Corp_code"), QString("3 条记录"));
    QCOMPARE(w.statusLabel()->text(), QString("您的位置：基础资料 >>> 往来单位管理"));
    QVERIFY(!w.selectButton()->isVisible());
    QVERIFY(w.tree()->setCurrentId(2));
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    w.searchBox()->setText("  %_ ");
    w.search();  // back to the root, then the filter over all records
    QCOMPARE(w.tree()->currentId().toInt(), 1);
    QCOMPARE(w.grid()->model()->rowCount(), 1);
    w.searchBox()->setText("wang");
    w.search();
    QCOMPARE(w.grid()->model()->rowCount(), 1);
    w.showAll();
    QCOMPARE(w.grid()->model()->rowCount(), 3);
}

void TestPartnerWindows::newCustomerWhilePickingIsPickedAtOnce() {
    PartnerListWindow w(m_program->context(), PartnerSide::customers());
    w.setMode(1);
    w.runEditWindow = [](PartnerDirectory& directory) {
        directory.records().setValue("Linkman_name", "新客户");
        directory.saveRecord();
        return true;
    };
    w.show();
    QVERIFY(w.selectButton()->isVisible());
    QVERIFY(w.tree()->setCurrentId(2));
    QVERIFY(w.actions().execute("Action_AddCustomer"));
    QCOMPARE(w.chosenCode(), QString("00004"));
    // Listed by code, highest first: the new customer is at the top and current.
    QCOMPARE(w.grid()->model()->data(w.grid()->model()->index(0, 0)).toString(), QString("00004"));
    QCOMPARE(w.grid()->view()->currentIndex().row(), 0);
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(m_program->context()
                 .data()
                 .main()
                 .scalar("select Corp_code from Client where Linkman_name='新客户'")
                 .toString(),
             QString("00004"));
}

void TestPartnerWindows::pickByDoubleClick() {
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
    // Closing without a choice: Cancel.
    PartnerListWindow again(m_program->context(), PartnerSide::customers());
    again.setMode(1);
    again.show();
    again.close();
    QCOMPARE(again.result(), int(QDialog::Rejected));
    QVERIFY(again.chosenCode().isEmpty());
}

void TestPartnerWindows::editWindowSavesAndAsksOnClose() {
    AppContext& c = m_program->context();
    PartnerDirectory directory(c.data().main(), c.clock(), c.prompter(), PartnerSide::customers());
    directory.open();
    QVERIFY(directory.records().locate("Corp_code", "00001"));
    PartnerEditWindow edit(c, directory);
    edit.show();
    auto* name = qobject_cast<QLineEdit*>(edit.editorFor("Corp_name"));
    QVERIFY(name);
    QCOMPARE(name->text(), QString("东方酒店"));
    name->setText("东方大酒店");
    emit name->textEdited(name->text());
    QVERIFY(edit.actions().execute("Action_Save"));
    QCOMPARE(c.data().main().scalar("select Corp_name from Client where Corp_code='00001'").toString(),
             QString("东方大酒店"));
    name->setText("不要");
    emit name->textEdited(name->text());
    m_program->prompter().setNextAnswer(false);
    edit.close();
    QVERIFY(!edit.saved());
    QCOMPARE(m_program->prompter().lastText(), QString("要保存此次修改吗？"));
    QCOMPARE(c.data().main().scalar("select Corp_name from Client where Corp_code='00001'").toString(),
             QString("东方大酒店"));
}

// 酒店名称 and 酒店电话 are shown twice: typing in either editor shows in
// the other, and what is saved is what was typed last.
void TestPartnerWindows::fieldsShownTwiceFollowEachOther() {
    AppContext& c = m_program->context();
    PartnerDirectory directory(c.data().main(), c.clock(), c.prompter(), PartnerSide::customers());
    directory.open();
    QVERIFY(directory.records().locate("Corp_code", "00001"));
    PartnerEditWindow edit(c, directory);
    edit.show();
    for (const char* field : {"Corp_name", "Linkman_foreign_telephone"}) {
        const QList<QWidget*> editors = edit.editorsFor(field);
        QCOMPARE(editors.size(), 2);
        auto* first = qobject_cast<QLineEdit*>(editors[0]);
        auto* second = qobject_cast<QLineEdit*>(editors[1]);
        first->selectAll();
        QTest::keyClicks(first, "Ab");
        QCOMPARE(second->text(), QString("Ab"));
        second->end(false);
        QTest::keyClicks(second, "12");
        QCOMPARE(first->text(), QString("Ab12"));
    }
    QVERIFY(edit.actions().execute("Action_Save"));
    QCOMPARE(c.data().main().scalar("select Corp_name from Client where Corp_code='00001'").toString(),
             QString("Ab12"));
    QCOMPARE(c.data().main().scalar("select Linkman_foreign_telephone from Client where Corp_code='00001'").toString(),
             QString("Ab12"));

    // The list shows the telephone under both of its captions.
    PartnerListWindow w(c, PartnerSide::customers());
    w.show();
    QStringList headers;
    for (int i = 0; i < w.grid()->model()->columnCount(); ++i) {
        headers << w.grid()->model()->headerData(i, Qt::Horizontal).toString();
    }
    QVERIFY2(headers.contains("国外电话"), qPrintable(headers.join("/")));
    QVERIFY(headers.contains("酒店电话"));
    QCOMPARE(headers.indexOf("酒店电话"), headers.indexOf("E-MAIL") + 1);
}

void TestPartnerWindows::labelsForTheSelectedCustomers() {
    PartnerListWindow w(m_program->context(), PartnerSide::customers());
    QStringList printed;
    w.showLabels = [&printed](const QStringList& codes) { printed = codes; };
    w.show();
    w.grid()->view()->clearSelection();
    QVERIFY(w.actions().execute("Action1"));
    QCOMPARE(m_program->prompter().lastText(), QString("请选择一条记录"));
    w.grid()->view()->selectAll();
    QVERIFY(w.actions().execute("Action1"));
    QCOMPARE(printed, QStringList({"00003", "00002", "00001"}));
}

void TestPartnerWindows::dropRefusalShowsInTheStatusBar() {
    PartnerListWindow w(m_program->context(), PartnerSide::customers());
    w.show();
    m_program->context().data().main().query(
        "insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('朝阳', 2, 0, 1)");
    w.directory().groups().refresh();
    const QString id =
        m_program->context().data().main().scalar("select ID from Client where Corp_code='00003'").toString();
    QVERIFY(!w.tree()->performDrop({true, {id}, 2}));  // 北京 now has a child group
    QCOMPARE(w.statusLabel()->text(), QString("提示：只能把客户拖放到没有子类的客户类别中！"));
    const int chaoyang =
        m_program->context().data().main().scalar("select id from Client_group where Class_name='朝阳'").toInt();
    QVERIFY(w.tree()->performDrop({true, {id}, chaoyang}));
    QCOMPARE(m_program->context().data().main().scalar("select GroupClass from Client where Corp_code='00003'").toInt(),
             chaoyang);
    QCOMPARE(w.statusLabel()->text(), QString("您的位置：基础资料 >>> 往来单位管理"));
}

void TestPartnerWindows::supplierListHasNoFooter() {
    PartnerListWindow w(m_program->context(), PartnerSide::suppliers());
    w.show();
    QCOMPARE(w.windowTitle(), QString("供应商管理"));
    QVERIFY(w.grid()->model()->footer().isEmpty());
    QCOMPARE(w.grid()->model()->headerData(0, Qt::Horizontal).toString(), QString("供应商编号"));
}

// Another program holds the book's write lock: a record drop, a group drop
// and a new group each say why they failed and change nothing, in the book
// or in the window; once the lock is gone the window works on.
void TestPartnerWindows::failedGroupCommandsOnALockedBookLeaveTheWindowUsable() {
    AppContext& c = m_program->context();
    c.data().main().query(
        "insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('上海', 1, 0, 1)");
    const QString wang = c.data().main().scalar("select ID from Client where Corp_code='00003'").toString();
    m_program->shortenBusyTimeout();
    auto holder = m_program->lockMainBook();
    PartnerListWindow w(c, PartnerSide::customers());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.tree()->setCurrentId(2));
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    ScriptedPrompter& prompter = m_program->prompter();
    prompter.clear();

    TestBooks::dropOn(w.tree(), 3, DataGrid::kRowsMimeType, {wang});
    TestBooks::dropOn(w.tree(), 3, TreeList::kNodesMimeType, {"2"});
    QPushButton* addGroup = nullptr;
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        if (b->text() == "增加") {
            addGroup = b;
        }
    }
    QVERIFY(addGroup);
    prompter.setNextAnswer(true);  // 北京 holds records: they move into the new group
    prompter.setNextText("朝阳");
    addGroup->click();
    QList<Prompter::Kind> kinds;
    for (const ScriptedPrompter::Message& m : prompter.messages()) {
        kinds << m.kind;
    }
    using K = Prompter::Kind;
    QCOMPARE(kinds, QList<K>({K::Error, K::Error, K::YesNo, K::Input, K::Error}));
    QCOMPARE(w.directory().groups().rowCount(), 3);
    QVERIFY(!w.directory().groups().hasChanges());
    QCOMPARE(w.tree()->treeModel()->indexOfId(2).parent(), w.tree()->treeModel()->indexOfId(1));
    QCOMPARE(w.tree()->currentId().toInt(), 2);
    QCOMPARE(w.directory().focusedGroup().toInt(), 2);
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    QCOMPARE(w.statusLabel()->text(), QString("您的位置：基础资料 >>> 往来单位管理"));

    holder.reset();
    TestBooks::dropOn(w.tree(), 3, TreeList::kNodesMimeType, {"2"});
    QCOMPARE(c.data().main().scalar("select Parent_id from Client_group where id=2").toInt(), 3);
    QCOMPARE(w.tree()->treeModel()->indexOfId(2).parent(), w.tree()->treeModel()->indexOfId(3));
    TestBooks::dropOn(w.tree(), 2, DataGrid::kRowsMimeType, {wang});
    QCOMPARE(c.data().main().scalar("select GroupClass from Client where Corp_code='00003'").toInt(), 2);
    QCOMPARE(w.grid()->model()->rowCount(), 3);
    QCOMPARE(w.tree()->currentId().toInt(), 2);
    QCOMPARE(prompter.messages().size(), 5);
}

namespace {
// A button under the group tree, by its hint.
QPushButton* treeButton(QWidget& w, const QString& hint) {
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        if (b->toolTip() == hint) {
            return b;
        }
    }
    return nullptr;
}
}  // namespace

// After a group is added, moved or deleted the tree keeps the nodes that
// were open, stands on the group whose records the list shows, and shows
// a new group under it.
void TestPartnerWindows::groupCommandsKeepTheTreeInStepWithTheList() {
    AppContext& c = m_program->context();
    Database& db = c.data().main();
    db.query("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('上海', 1, 0, 1)");
    db.query("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('浦东', 3, 0, 1)");
    PartnerListWindow w(c, PartnerSide::customers());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    TreeList* tree = w.tree();
    TreeModel* model = tree->treeModel();
    auto node = [model](int id) { return model->indexOfId(id); };
    QVERIFY(tree->isExpanded(node(3)));
    QVERIFY(tree->setCurrentId(2));
    QCOMPARE(w.grid()->model()->rowCount(), 2);

    // 北京 holds records: they move into the new group, which is focused.
    ScriptedPrompter& prompter = m_program->prompter();
    prompter.setNextAnswer(true);
    prompter.setNextText("朝阳");
    treeButton(w, "在选中的类别下增加子类")->click();
    const int chaoyang = db.scalar("select id from Client_group where Class_name='朝阳'").toInt();
    QCOMPARE(w.directory().focusedGroup().toInt(), chaoyang);
    QCOMPARE(tree->currentId().toInt(), chaoyang);
    QVERIFY(tree->isExpanded(node(2)));
    QVERIFY(tree->isExpanded(node(3)));  // untouched nodes stay open
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    QCOMPARE(w.directory().groups().value("id").toInt(), chaoyang);

    // A group added under an empty group: the parent stays focused and
    // opens to show it.
    QVERIFY(tree->setCurrentId(4));
    QCOMPARE(w.grid()->model()->rowCount(), 0);
    prompter.setNextText("陆家嘴");
    treeButton(w, "在选中的类别下增加子类")->click();
    const int lujiazui = db.scalar("select id from Client_group where Class_name='陆家嘴'").toInt();
    QCOMPARE(tree->currentId().toInt(), 4);
    QCOMPARE(w.directory().focusedGroup().toInt(), 4);
    QVERIFY(tree->isExpanded(node(4)));
    QVERIFY(!tree->visualRect(node(lujiazui)).isEmpty());
    QVERIFY(tree->isExpanded(node(2)));

    // Deleting the new group puts the tree on its parent with the list.
    QVERIFY(tree->setCurrentId(lujiazui));
    prompter.setNextAnswer(true);
    treeButton(w, "删除类别")->click();
    QVERIFY2(!node(lujiazui).isValid(), qPrintable(prompter.texts().join("/")));
    QCOMPARE(tree->currentId().toInt(), 4);
    QCOMPARE(w.directory().focusedGroup().toInt(), 4);
    QVERIFY(tree->isExpanded(node(2)));
    QVERIFY(tree->isExpanded(node(3)));

    // Moving 浦东 under 朝阳's parent 北京: it shows there, the tree stays on
    // the list's group.
    TestBooks::dropOn(tree, 2, TreeList::kNodesMimeType, {"4"});
    QCOMPARE(node(4).parent(), node(2));
    QCOMPARE(tree->currentId().toInt(), 4);
    QCOMPARE(w.directory().focusedGroup().toInt(), 4);
    QVERIFY(tree->isExpanded(node(2)));
    QCOMPARE(w.directory().groups().value("id").toInt(), 4);
}

// While something is dragged over the tree the node under the pointer is
// marked without the list following it; leaving the tree (a cancelled
// drag) clears the drop hint.
void TestPartnerWindows::draggingMarksTheTargetAndACancelClearsTheStatus() {
    AppContext& c = m_program->context();
    c.data().main().query(
        "insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('朝阳', 2, 0, 1)");
    PartnerListWindow w(c, PartnerSide::customers());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    TreeList* tree = w.tree();
    tree->expandAll();
    QVERIFY(tree->setCurrentId(1));
    const QString wang = c.data().main().scalar("select ID from Client where Corp_code='00003'").toString();
    QMimeData mime;
    mime.setData(DataGrid::kRowsMimeType, wang.toUtf8());
    const QPoint at = tree->visualRect(tree->treeModel()->indexOfId(2)).center();
    QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
    QVERIFY(!move.isAccepted());  // 北京 has a child group
    const QModelIndexList marked = tree->selectionModel()->selectedRows();
    QCOMPARE(marked.size(), 1);
    QCOMPARE(tree->treeModel()->node(marked[0])->id.toInt(), 2);
    QCOMPARE(tree->currentId().toInt(), 1);
    QCOMPARE(w.directory().focusedGroup().toInt(), 1);
    QCOMPARE(w.statusLabel()->text(), QString("提示：只能把客户拖放到没有子类的客户类别中！"));
    QDragLeaveEvent leave;
    QApplication::sendEvent(tree->viewport(), &leave);
    QCOMPARE(w.statusLabel()->text(), QString("您的位置：基础资料 >>> 往来单位管理"));
    const QModelIndexList after = tree->selectionModel()->selectedRows();
    QCOMPARE(after.size(), 1);
    QCOMPARE(tree->treeModel()->node(after[0])->id.toInt(), 1);
}

namespace {
// A record button by its caption (the tree's buttons carry hints).
QPushButton* buttonNamed(QWidget* w, const QString& text) {
    for (QPushButton* b : w->findChildren<QPushButton*>()) {
        if (b->text() == text && b->toolTip().isEmpty()) {
            return b;
        }
    }
    return nullptr;
}

// Once the edit window is up: types into the field's editor, saves, closes.
void editWhenShown(const QString& field, const QString& text, bool* done) {
    QTimer::singleShot(0, [=] {
        auto* edit = qobject_cast<PartnerEditWindow*>(QApplication::activeModalWidget());
        if (!edit) {
            return;
        }
        auto* box = qobject_cast<QLineEdit*>(edit->editorFor(field));
        if (box) {
            box->setText(text);
            emit box->textEdited(text);
            buttonNamed(edit, "保存")->click();
            *done = true;
        }
        buttonNamed(edit, "关闭")->click();
    });
}
}  // namespace

// The order forms' customers: their list, editor and the order form's
// picker, clicked through as a user would.
void TestPartnerWindows::orderCustomersAddedEditedAndDeletedThroughTheirWindows() {
    AppContext& c = m_program->context();
    Database& db = c.data().main();
    db.query("insert into customer_group (Class_name, Parent_id, ico_no, CorpType) values ('酒楼', 1, 0, 1)");
    const int group = db.scalar("select max(id) from customer_group").toInt();
    PartnerListWindow w(c, PartnerSide::orderCustomers());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.objectName(), QString("Form_Order_Customer_List"));
    QCOMPARE(w.windowTitle(), QString("订单客户管理"));
    QVERIFY(w.tree()->setCurrentId(group));
    bool typed = false;
    editWhenShown("Corp_name", "明珠酒楼", &typed);
    buttonNamed(&w, "新建")->click();
    QVERIFY(typed);
    QCOMPARE(db.scalar("select Corp_name from customer_provider where corp_code='00004'").toString(),
             QString("明珠酒楼"));
    QCOMPARE(db.scalar("select Customer_Group from customer_provider where corp_code='00004'").toInt(), group);
    QCOMPARE(w.grid()->model()->rowCount(), 1);
    QCOMPARE(w.grid()->footerText("Corp_code"), QString("1 条记录"));

    w.grid()->view()->selectRow(0);
    typed = false;
    editWhenShown("boss_name", "陈老板", &typed);
    buttonNamed(&w, "修改")->click();
    QVERIFY(typed);
    QCOMPARE(db.scalar("select boss_name from customer_provider where corp_code='00004'").toString(),
             QString("陈老板"));

    // The order form's picker adds one into the group of the item chosen.
    CustomerPickerDialog picker(c);
    picker.runEditWindow = [](PartnerDirectory& directory) {
        directory.records().setValue("Corp_name", "新客户");
        directory.saveRecord();
        return true;
    };
    QTreeWidgetItem* item =
        picker.tree()->findItems("明珠酒楼(陈老板)", Qt::MatchExactly | Qt::MatchRecursive).value(0);
    QVERIFY(item);
    picker.tree()->setCurrentItem(item);
    buttonNamed(&picker, "新增客户…")->click();
    QCOMPARE(picker.result(), int(QDialog::Accepted));
    QCOMPARE(picker.chosenCode(), QString("00005"));
    QCOMPARE(db.scalar("select Customer_Group from customer_provider where corp_code='00005'").toInt(), group);

    // 删除 deletes the selected one (what an order keeps: TestPartnerDirectory).
    w.showAll();
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    w.grid()->view()->selectRow(0);
    m_program->prompter().setNextAnswer(true);
    buttonNamed(&w, "删除")->click();
    QCOMPARE(db.scalar("select count(*) from customer_provider").toInt(), 1);
    QCOMPARE(w.grid()->model()->rowCount(), 1);
}

QTEST_MAIN(TestPartnerWindows)
#include "test_partner_windows.moc"
