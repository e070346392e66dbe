#include <QApplication>
#include <QClipboard>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include "data/data_module.h"
#include "master/goods_edit_window.h"
#include "master/goods_list_window.h"
#include "support/test_books.h"
#include "support/tree_drop.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/tree_list.h"

// The goods windows, offscreen.
class TestGoodsWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void listShowsGoodsAndSearches();
    void pickModeReturnsTheChosenGoods();
    void editorSavesWithAPicture();
    void priceBeyondItsDigitsIsRefusedAndTheGoodsStillSaves();
    void failedDropsOnALockedBookLeaveTheWindowUsable();
    void classThatCannotBeReadLeavesTheListOnItsClass();

private:
    std::unique_ptr<TestBooks::TestProgram> m_program;
    QTemporaryDir m_files;
};

void TestGoodsWindows::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    AppContext& c = m_program->context();
    c.data().ConnectDatabases();
    c.CurrentUser = {"超级用户", "", "管理员组"};
    c.PictureFolder = m_files.filePath("pics") + "/";
    Database& db = c.data().main();
    db.query("insert into goods_group (Class_name, Parent_id, ico_no) values ('五金', 1, 0)");
    db.query("insert into Provider (Corp_code, provider_name, provider_Corp_Name) values ('00001', '王五', '五金厂')");
    db.query(
        "insert into goods (code, Goods_name, Goods_unit, Provide_corp, Goods_class, Corp_Goods_Code) values "
        "('SP00000001', '不锈钢合页', 'UN003', '00001', 2, 'HY-1'), "
        "('SP00000002', '拉手', 'UN001', '00001', 2, 'LS-9')");
    db.query("update Sys_ID_Autoincrement set CurrID='SP00000002' where tablename='goods'");
}

void TestGoodsWindows::cleanup() {
    m_program.reset();
}

void TestGoodsWindows::listShowsGoodsAndSearches() {
    GoodsListWindow w(m_program->context());
    w.show();
    QCOMPARE(w.objectName(), QString("base_goods_frm"));
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    QCOMPARE(w.grid()->footerText("code"), QString("共2个商品"));
    const int unitColumn = w.grid()->model()->columnOf("Goods_unit");
    QCOMPARE(w.grid()->model()->data(w.grid()->model()->index(0, unitColumn)).toString(), QString("套"));
    const int supplierColumn = w.grid()->model()->columnOf("Provide_corp");
    QCOMPARE(w.grid()->model()->data(w.grid()->model()->index(0, supplierColumn)).toString(), QString("五金厂(王五)"));
    w.searchBox()->setText("ls-9");
    w.search();
    QCOMPARE(w.grid()->model()->rowCount(), 1);
    w.showAll();
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    QVERIFY(w.actions().execute("Action_AddGoods"));  // the root has a child class
    QCOMPARE(m_program->prompter().lastText(), QString("只能在没有子类的商品类别里增加商品！"));
}

void TestGoodsWindows::pickModeReturnsTheChosenGoods() {
    GoodsListWindow w(m_program->context());
    w.setMode(1);
    w.show();
    QVERIFY(w.pickList()->isVisible());
    w.grid()->view()->selectAll();
    QVERIFY(w.actions().execute("Action_SelectGoodsInToList"));
    QVERIFY(w.actions().execute("Action_SelectGoodsInToList"));
    QCOMPARE(w.pickList()->count(), 2);
    QCOMPARE(w.pickedLines(), QStringList({"SP00000001=不锈钢合页", "SP00000002=拉手"}));
    QVERIFY(w.actions().execute("Action_SelectGoodsFinish"));
    QCOMPARE(w.result(), int(QDialog::Accepted));
    GoodsListWindow other(m_program->context());
    other.setMode(1);
    other.show();
    other.accept();  // any other way of closing is Cancel
    QCOMPARE(other.result(), int(QDialog::Rejected));
}

void TestGoodsWindows::editorSavesWithAPicture() {
    AppContext& c = m_program->context();
    GoodsCatalog catalog(c);
    catalog.open();
    catalog.focusClass(2);
    QVERIFY(catalog.addGoods());
    GoodsEditWindow w(c, catalog, GoodsEditor::New);
    QImage bmp(40, 30, QImage::Format_RGB32);
    bmp.fill(Qt::blue);
    QVERIFY(bmp.save(m_files.filePath("p.bmp")));
    w.choosePictureFile = [this] { return m_files.filePath("p.bmp"); };
    w.show();
    QCOMPARE(w.codeEdit()->text(), QString("SP00000003"));
    QVERIFY(w.codeEdit()->isEnabled());
    QVERIFY(w.editor().choosePicture(m_files.filePath("p.bmp")));
    catalog.goods().setValue("Goods_name", "滑轮");
    w.editor().setUnit("UN001");
    w.editor().setSupplier("00001");
    QVERIFY(w.actions().execute("Action_Save"));
    QVERIFY(!w.codeEdit()->isEnabled());
    QVERIFY(QFile::exists(c.PictureFolder + "SP00000003.jpg"));
    QCOMPARE(c.data().main().scalar("select Goods_name from goods where code='SP00000003'").toString(),
             QString("滑轮"));
    QCOMPARE(w.classBox()->value().toInt(), 2);
    // "增加商品" with the list on the root: the box no longer shows the
    // class of the goods before, and nothing is saved under the root.
    catalog.focusClass(1);
    QVERIFY(w.actions().execute("Action_AddGoods"));
    QVERIFY(w.classBox()->value().isNull() || w.classBox()->value().toString().isEmpty());
    catalog.goods().setValue("Goods_name", "门窗型材");
    w.editor().setUnit("UN001");
    w.editor().setSupplier("00001");
    w.actions().execute("Action_Save");
    QCOMPARE(m_program->prompter().lastText(), QString("请填写[商品分类]"));
    QCOMPARE(c.data().main().scalar("select count(*) from goods where Goods_name='门窗型材'").toInt(), 0);
    catalog.goods().cancel();
    w.close();
    QVERIFY(!m_program->prompter().texts().contains("该商品内容已更改，是否要保存？"));
}

// 99999999999999999999 pasted into 默认单价 (numeric(18,4)): the box names
// the field, the editor shows the goods' price again, and the goods saves.
void TestGoodsWindows::priceBeyondItsDigitsIsRefusedAndTheGoodsStillSaves() {
    AppContext& c = m_program->context();
    c.data().main().query("update goods set Default_price=12.5 where code='SP00000001'");
    GoodsCatalog catalog(c);
    catalog.open();
    catalog.focusClass(2);
    QVERIFY(catalog.goods().locate("code", "SP00000001"));
    GoodsEditWindow w(c, catalog, GoodsEditor::Existing);
    w.show();
    NumberEdit* price = nullptr;
    for (QLabel* label : w.findChildren<QLabel*>()) {
        if (label->text() == QStringLiteral("默认单价：")) {
            price = qobject_cast<NumberEdit*>(label->buddy());
        }
    }
    QVERIFY(price);
    QCOMPARE(price->text(), QString("12.50"));
    m_program->prompter().clear();
    price->selectAll();
    QGuiApplication::clipboard()->setText("99999999999999999999");
    QTest::keyClick(price, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_program->prompter().messages().size(), 1);
    QVERIFY2(m_program->prompter().lastText().contains("默认单价"), qPrintable(m_program->prompter().lastText()));
    QCOMPARE(price->value().toDouble(), 12.5);
    QVERIFY2(!price->text().contains('e', Qt::CaseInsensitive), qPrintable(price->text()));
    catalog.goods().setValue("Goods_name", "合页二号");
    QVERIFY(w.actions().execute("Action_Save"));
    QCOMPARE(m_program->prompter().messages().size(), 1);
    QCOMPARE(c.data().main().scalar("select Default_price from goods where code='SP00000001'").toDouble(), 12.5);
    QCOMPARE(c.data().main().scalar("select Goods_name from goods where code='SP00000001'").toString(),
             QString("合页二号"));
}

// Another program holds the book's write lock: each drop says why it failed
// and leaves the tree, the focus and the grid as they were; once the lock
// is gone the same drops work.
void TestGoodsWindows::failedDropsOnALockedBookLeaveTheWindowUsable() {
    AppContext& c = m_program->context();
    c.data().main().query("insert into goods_group (Class_name, Parent_id, ico_no) values ('锁具', 1, 0)");
    c.data().main().query("insert into goods_group (Class_name, Parent_id, ico_no) values ('门窗', 1, 0)");
    const QString goods = c.data().main().scalar("select id from goods where code='SP00000001'").toString();
    m_program->shortenBusyTimeout();
    auto holder = m_program->lockMainBook();
    GoodsListWindow w(c);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.tree()->setCurrentId(2));
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    m_program->prompter().clear();

    TestBooks::dropOn(w.tree(), 3, DataGrid::kRowsMimeType, {goods});
    QCOMPARE(m_program->prompter().messages().size(), 1);
    QCOMPARE(m_program->prompter().messages().first().kind, Prompter::Kind::Error);
    QCOMPARE(w.tree()->currentId().toInt(), 2);
    QCOMPARE(w.catalog().focusedClass().toInt(), 2);
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    QCOMPARE(w.statusLabel()->text(), QString("您的位置：基础资料 >>> 基础商品管理"));

    TestBooks::dropOn(w.tree(), 3, TreeList::kNodesMimeType, {"4"});
    QCOMPARE(m_program->prompter().messages().size(), 2);
    QCOMPARE(m_program->prompter().messages().last().kind, Prompter::Kind::Error);
    QVERIFY(!w.catalog().classes().hasChanges());
    QCOMPARE(w.tree()->treeModel()->indexOfId(4).parent(), w.tree()->treeModel()->indexOfId(1));
    QCOMPARE(w.tree()->currentId().toInt(), 2);

    holder.reset();
    TestBooks::dropOn(w.tree(), 3, TreeList::kNodesMimeType, {"4"});
    QCOMPARE(c.data().main().scalar("select Parent_id from goods_group where id=4").toInt(), 3);
    QCOMPARE(w.tree()->treeModel()->indexOfId(4).parent(), w.tree()->treeModel()->indexOfId(3));
    TestBooks::dropOn(w.tree(), 4, DataGrid::kRowsMimeType, {goods});
    QCOMPARE(c.data().main().scalar("select Goods_class from goods where code='SP00000001'").toInt(), 4);
    QCOMPARE(w.grid()->model()->rowCount(), 1);
    QCOMPARE(m_program->prompter().messages().size(), 2);
}

// The goods of a class cannot be read (here another program has moved the
// table away): choosing the class says why, and the tree goes back to the
// class whose goods the list still shows.
void TestGoodsWindows::classThatCannotBeReadLeavesTheListOnItsClass() {
    AppContext& c = m_program->context();
    c.data().main().query("insert into goods_group (Class_name, Parent_id, ico_no) values ('锁具', 1, 0)");
    GoodsListWindow w(c);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.tree()->setCurrentId(2));
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    auto other = m_program->connectAgain();
    other->query("alter table goods rename to goods_away");
    m_program->prompter().clear();
    const QPoint locks = w.tree()->visualRect(w.tree()->treeModel()->indexOfId(3)).center();

    QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, {}, locks);
    QCOMPARE(m_program->prompter().messages().size(), 1);
    QCOMPARE(m_program->prompter().messages().first().kind, Prompter::Kind::Error);
    QCOMPARE(w.tree()->currentId().toInt(), 2);
    QCOMPARE(w.catalog().focusedClass().toInt(), 2);
    QCOMPARE(w.grid()->model()->rowCount(), 2);

    other->query("alter table goods_away rename to goods");
    QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, {}, locks);
    QCOMPARE(w.tree()->currentId().toInt(), 3);
    QCOMPARE(w.catalog().focusedClass().toInt(), 3);
    QCOMPARE(w.grid()->model()->rowCount(), 0);
    QCOMPARE(m_program->prompter().messages().size(), 1);
}

QTEST_MAIN(TestGoodsWindows)
#include "test_goods_windows.moc"
