#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include "data/data_module.h"
#include "documents/customer_picker_dialog.h"
#include "master/goods_edit_window.h"
#include "master/goods_list_window.h"
#include "master/partner_edit_window.h"
#include "master/partner_list_window.h"
#include "master/units_editor.h"
#include "master/units_window.h"
#include "reports/report_preview_frame.h"
#include "reports/report_window.h"
#include "support/test_books.h"
#include "support/tree_drop.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/tree_combo.h"
#include "ui/tree_list.h"
#include "ui/tree_model.h"

// The customer, supplier, order-customer, goods and unit windows offscreen (the books' rules: TestPartnerDirectory,
// TestGoods), and the units editor's rules.
class TestMasterWindows : public QObject {
    Q_OBJECT
private slots:
    // Customers 00001 and 00002 in 北京 (2), 00003 in the root; goods classes 五金 (2) holding two goods, and 锁具 (3);
    // suppliers 00001 and 00002.
    void init() {
        m_program = std::make_unique<TestBooks::TestProgram>(true);
        m_program->openAsAdministrator();
        for (const char* sql :
             {"insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('北京', 1, 0, 1)",
              "insert into Client (Corp_code, Linkman_name, Corp_name, GroupClass) values "
              "('00001', '张三', '东方酒店', 2), ('00002', '李四', '100%_酒店', 2), ('00003', 'Wang', '西湖饭店', 1)",
              "update Sys_ID_Autoincrement set CurrID='00003' where tablename='customer_provider'",
              "insert into goods_group (Class_name, Parent_id, ico_no) values ('五金', 1, 0), ('锁具', 1, 0)",
              "insert into Provider (Corp_code, provider_name, provider_Corp_Name) values "
              "('00001', '王五', '五金厂'), ('00002', '李四', '门窗厂')",
              "insert into goods (code, Goods_name, Goods_unit, Provide_corp, Goods_class, Corp_Goods_Code) values "
              "('SP00000001', '不锈钢合页', 'UN003', '00001', 2, 'HY-1'), "
              "('SP00000002', '拉手', 'UN001', '00001', 2, 'LS-9')",
              "update Sys_ID_Autoincrement set CurrID='SP00000002' where tablename='goods'"}) {
            db().query(sql);
        }
    }
    void cleanup() { m_program.reset(); }
    void customerListSearchesPrintsLabelsAndPicks() {
        PartnerListWindow w(context(), PartnerSide::customers());
        w.show();
        QCOMPARE(w.grid()->model()->rowCount(), 3);
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
        QCOMPARE(prompter().lastText(), QString("请选择一条记录"));
        w.grid()->view()->selectAll();
        int labels = 0;
        m_program->windows().then<ReportWindow>([&labels](ReportWindow& report) {
            return labels = report.frame()->report().pages.value(0).items.size(), 0;
        });
        QVERIFY(w.actions().execute("Action1"));
        QCOMPARE(m_program->windows().shown.last(), QString("LabelReport_ClientAddr"));
        QVERIFY(labels > 0);
        PartnerListWindow pick(context(), PartnerSide::customers());
        pick.setMode(1);
        pick.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pick));
        doubleClick(pick.grid(), 1);
        QCOMPARE(pick.chosenCode(), QString("00002"));  // codes newest first: 00003, 00002, 00001
        QCOMPARE(pick.result(), int(QDialog::Accepted));
    }
    void partnerEditWindowSavesAndAsksOnClose() {
        PartnerDirectory directory(db(), context().clock(), context().prompter(), PartnerSide::customers());
        directory.open();
        QVERIFY(directory.records().locate("Corp_code", "00001"));
        PartnerEditWindow edit(context(), directory);
        edit.show();
        // 酒店名称 is shown twice: what is typed in one shows in the other.
        const QList<QWidget*> editors = edit.editorsFor("Corp_name");
        QCOMPARE(editors.size(), 2);
        auto* name = qobject_cast<QLineEdit*>(editors[0]);
        auto* again = qobject_cast<QLineEdit*>(editors[1]);
        name->end(false);
        QTest::keyClicks(name, "AB");
        QCOMPARE(again->text(), QString("东方酒店AB"));
        QVERIFY(edit.actions().execute("Action_Save"));
        QCOMPARE(db().scalar("select Corp_name from Client where Corp_code='00001'").toString(), QString("东方酒店AB"));
        QTest::keyClicks(again, "C");
        prompter().setNextAnswer(false);
        edit.close();
        QVERIFY(!edit.saved());
        QCOMPARE(prompter().lastText(), QString("要保存此次修改吗？"));
    }
    // After a group is added or a record dropped the tree stands on the group the list shows; a refused drop is said in
    // the status bar.
    void groupCommandsAndDropsKeepTreeAndListInStep() {
        PartnerListWindow w(context(), PartnerSide::customers());
        w.show();
        TreeList* tree = w.tree();
        QVERIFY(tree->setCurrentId(2));
        // 北京 holds records: they move into the new group, which is focused.
        prompter().setNextAnswer(true);
        prompter().setNextText("朝阳");
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
    // The order form's picker adds an order customer into the chosen group.
    void orderCustomerPickerAddsIntoTheChosenGroup() {
        db().query("insert into customer_group (Class_name, Parent_id, ico_no, CorpType) values ('酒楼', 1, 0, 1)");
        const int group = db().scalar("select max(id) from customer_group").toInt();
        db().query(
            "insert into customer_provider (corp_code, Corp_name, Customer_Group) values ('00004', '明珠酒楼', :g)",
            {{"g", group}});
        CustomerPickerDialog picker(context());
        m_program->windows().then<PartnerEditWindow>([](PartnerEditWindow& edit) {
            auto* name = qobject_cast<QLineEdit*>(edit.editorFor("Corp_name"));
            name->setText("新客户");
            emit name->textEdited(name->text());  // as typed
            edit.actions().execute("Action_Save");
            return 0;
        });
        // The top group now has a group under it: it holds no customers, and
        // the picker says which group to choose instead of adding anywhere.
        picker.tree()->setCurrentItem(picker.tree()->topLevelItem(0));
        button(&picker, "新增客户…")->click();
        QCOMPARE(prompter().lastText(),
                 QString("请先选择新客户所属的类别（没有子类的类别，或其中的一个客户），再新增客户"));
        QCOMPARE(db().scalar("select count(*) from customer_provider").toInt(), 1);
        QTreeWidgetItem* item = picker.tree()->findItems("明珠酒楼", Qt::MatchExactly | Qt::MatchRecursive).value(0);
        QVERIFY(item);
        picker.tree()->setCurrentItem(item);
        button(&picker, "新增客户…")->click();
        QCOMPARE(picker.result(), int(QDialog::Accepted));
        QCOMPARE(picker.chosenCode(), QString("00005"));
        QCOMPARE(db().scalar("select Customer_Group from customer_provider where corp_code='00005'").toInt(), group);
    }
    void goodsListSearchesMovesByDropEditsOneAndPicks() {
        GoodsListWindow w(context());
        w.show();
        // The supplier by name; the search takes the supplier's goods code too.
        const int supplierColumn = w.grid()->model()->columnOf("Provide_corp");
        QCOMPARE(w.grid()->model()->data(w.grid()->model()->index(0, supplierColumn)).toString(),
                 QString("五金厂(王五)"));
        w.searchBox()->setText("ls-9");
        w.search();
        QCOMPARE(w.grid()->model()->rowCount(), 1);
        // Goods dropped on a class move there and leave the list of 五金.
        QVERIFY(w.tree()->setCurrentId(2));
        const QString goods = db().scalar("select id from goods where code='SP00000001'").toString();
        TestBooks::dropOn(w.tree(), 3, DataGrid::kRowsMimeType, {goods});
        QCOMPARE(db().scalar("select Goods_class from goods where code='SP00000001'").toInt(), 3);
        QCOMPARE(w.grid()->model()->rowCount(), 1);
        // "修改商品" edits the one goods selected, and only one.
        QString code;
        m_program->windows().then<GoodsEditWindow>([&](GoodsEditWindow& editor) {
            code = editor.codeEdit()->text();
            w.catalog().goods().cancel();
            return 0;
        });
        w.showAll();
        w.grid()->view()->selectAll();
        QVERIFY(w.actions().execute("Action_EditGoods"));
        QCOMPARE(prompter().lastText(), QString("一次只能编辑一条记录"));
        prompter().clear();
        w.grid()->selectRow(1);
        QVERIFY(w.actions().execute("Action_EditGoods"));
        QCOMPARE(code, w.catalog().goods().value(1, "code").toString());
        GoodsListWindow pick(context());
        pick.setMode(1);
        pick.show();
        QVERIFY(pick.pickList()->isVisible());
        pick.grid()->view()->selectAll();
        QVERIFY(pick.actions().execute("Action_SelectGoodsInToList"));
        QCOMPARE(pick.pickList()->model()->rowCount(), 2);
        QCOMPARE(pick.pickedLines(), QStringList({"SP00000001=不锈钢合页", "SP00000002=拉手"}));
        QVERIFY(pick.actions().execute("Action_SelectGoodsFinish"));
        QCOMPARE(pick.result(), int(QDialog::Accepted));
    }
    void goodsEditorSavesWithASupplier() {
        GoodsCatalog catalog(context());
        catalog.open();
        catalog.focusClass(2);
        QVERIFY(catalog.addGoods());
        GoodsEditWindow w(context(), catalog, GoodsEditor::New);
        w.show();
        QCOMPARE(w.codeEdit()->text() + w.classBox()->currentText(), QString("SP00000003五金"));
        catalog.goods().setValue("Goods_name", "滑轮");
        w.editor().setUnit("UN001");
        // The supplier drop-down lists code, company and person; the box shows the company of the supplier chosen.
        QComboBox* box = w.supplierBox();
        auto* view = qobject_cast<QTreeView*>(box->view());
        QVERIFY(view);
        QCOMPARE(box->model()->index(1, 2).data().toString(), QString("李四"));
        box->showPopup();
        view->setCurrentIndex(box->model()->index(1, 0));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(catalog.goods().value("Provide_corp").toString(), QString("00002"));
        QCOMPARE(box->currentText(), QString("门窗厂"));
        QVERIFY(w.actions().execute("Action_Save"));
        QCOMPARE(db().scalar("select Goods_name || Provide_corp from goods where code='SP00000003'").toString(),
                 QString("滑轮00002"));
        w.close();
        QVERIFY(!prompter().texts().contains("该商品内容已更改，是否要保存？"));
    }
    // The goods of a class cannot be read (the table moved away): choosing it says why, and the tree goes back to the
    // class the list still shows.
    void goodsClassThatCannotBeReadLeavesTheListOnItsClass() {
        GoodsListWindow w(context());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.tree()->setCurrentId(2));
        auto other = m_program->connectAgain();
        other->query("alter table goods rename to goods_away");
        prompter().clear();
        const QPoint locks = w.tree()->visualRect(w.tree()->treeModel()->indexOfId(3)).center();
        QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, {}, locks);
        QVERIFY(prompter().messages().size() == 1 && prompter().messages().first().kind == Prompter::Kind::Error);
        QCOMPARE(QList<int>({w.tree()->currentId().toInt(), w.catalog().focusedClass().toInt(),
                             w.grid()->model()->rowCount()}),
                 QList<int>({2, 2, 2}));
        other->query("alter table goods_away rename to goods");
        QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, {}, locks);
        QCOMPARE(QList<int>({w.tree()->currentId().toInt(), w.grid()->model()->rowCount()}), QList<int>({3, 0}));
    }
    void unitsSavingDeletingClosingAndPicking() {
        UnitsEditor e(db(), context().clock(), prompter());
        e.open();
        e.add();
        QCOMPARE(e.units().value("unit_code").toString(), QString("UN007"));
        e.units().setValue("Unit_name", "卷");
        e.add();  // the second one without a name
        QVERIFY(!e.save());
        QCOMPARE(prompter().lastText(), QString("请填写[单位名称]"));
        prompter().setNextAnswer(true);
        QVERIFY(!e.close());  // Yes, but a unit has no name: the window stays
        e.units().setValue("Unit_name", "桶");
        QVERIFY(e.save());
        QCOMPARE(units(), 8);
        // Units goods use stay (the fixture's goods use UN001); a deletion is written by the save.
        QVERIFY(!e.remove({1, 0}));
        QCOMPARE(prompter().lastText(), QString("计量单位[UN001]已经被商品使用，不能删除"));
        prompter().setNextAnswer(true);
        QVERIFY(e.remove({5}));
        QVERIFY(e.isChanged());
        // Closing with changes asks; No drops them.
        prompter().setNextAnswer(false);
        QVERIFY(e.close());
        QCOMPARE(prompter().lastText(), QString("数据已修改，退出前是否要保存？"));
        QCOMPARE(units(), 8);
        prompter().setNextAnswer(true);
        QVERIFY(e.remove({5}));
        QVERIFY(e.save());
        QCOMPARE(units(), 7);
        // Picking with changes asks: No drops the new unit, Yes saves it first.
        QString code;
        for (const bool answer : {false, true}) {
            e.add();
            e.units().setValue("Unit_name", "卷");
            prompter().setNextAnswer(answer);
            QCOMPARE(e.choose(e.units().currentRow(), &code), answer);
            QCOMPARE(prompter().lastText(), QString("数据已修改，选取前是否要保存？"));
            QCOMPARE(units(), answer ? 8 : 7);
        }
        QCOMPARE(code, QString("UN010"));  // UN009 was dropped
        // Yes, but the save is refused (no name): nothing is picked.
        e.add();
        code.clear();
        prompter().setNextAnswer(true);
        QVERIFY(!e.choose(e.units().currentRow(), &code));
        QVERIFY(code.isEmpty());
    }
    void unitsWindowAddsAndPicks() {
        UnitsWindow w(context());
        w.show();
        QTest::mouseClick(w.button("增加"), Qt::LeftButton);
        QVERIFY(w.grid()->model()->setData(w.grid()->model()->index(6, 1), "卷"));
        QTest::mouseClick(w.button("保存"), Qt::LeftButton);
        QCOMPARE(db().scalar("select Unit_name from unit where unit_code='UN007'").toString(), QString("卷"));
        UnitsWindow pick(context());
        pick.setPickMode(true);
        pick.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pick));
        doubleClick(pick.grid(), 2);
        QCOMPARE(pick.chosenCode(), QString("UN003"));
        QCOMPARE(pick.result(), int(QDialog::Accepted));
    }

private:
    AppContext& context() { return m_program->context(); }
    Database& db() { return context().data().main(); }
    ScriptedPrompter& prompter() { return m_program->prompter(); }
    int units() { return db().scalar("select count(*) from unit").toInt(); }
    // A button by its caption, or by its hint (the tree's buttons).
    static QPushButton* button(QWidget* w, const QString& text) {
        for (QPushButton* b : w->findChildren<QPushButton*>()) {
            if ((b->text() == text && b->toolTip().isEmpty()) || b->toolTip() == text) {
                return b;
            }
        }
        return nullptr;
    }
    static void doubleClick(DataGrid* grid, int row) {
        QTableView* view = grid->view();
        const QPoint cell = view->visualRect(grid->model()->index(row, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell);
    }
    std::unique_ptr<TestBooks::TestProgram> m_program;
};

QTEST_MAIN(TestMasterWindows)
#include "test_master_windows.moc"
