#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include "data/data_module.h"
#include "master/goods_edit_window.h"
#include "master/goods_list_window.h"
#include "support/test_books.h"
#include "support/tree_drop.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/tree_combo.h"
#include "ui/tree_list.h"
#include "ui/tree_model.h"

// The goods windows, offscreen (the catalogue's and the editor's rules:
// TestGoods, TestGoodsPictures).
class TestGoodsWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_program.reset(); }
    void listShowsSearchesAndMovesByDrop();
    void pickModeReturnsTheChosenGoods();
    void editorSavesWithAPictureAndASupplier();
    void classThatCannotBeReadLeavesTheListOnItsClass();

private:
    Database& db() { return m_program->context().data().main(); }
    std::unique_ptr<TestBooks::TestProgram> m_program;
    QTemporaryDir m_files;
};

void TestGoodsWindows::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    AppContext& c = m_program->context();
    c.data().ConnectDatabases();
    c.CurrentUser = {"超级用户", "", "管理员组"};
    c.PictureFolder = m_files.filePath("pics") + "/";
    db().query("insert into goods_group (Class_name, Parent_id, ico_no) values ('五金', 1, 0)");
    db().query("insert into goods_group (Class_name, Parent_id, ico_no) values ('锁具', 1, 0)");
    db().query(
        "insert into Provider (Corp_code, provider_name, provider_Corp_Name) values ('00001', '王五', '五金厂'), "
        "('00002', '李四', '门窗厂')");
    db().query(
        "insert into goods (code, Goods_name, Goods_unit, Provide_corp, Goods_class, Corp_Goods_Code) values "
        "('SP00000001', '不锈钢合页', 'UN003', '00001', 2, 'HY-1'), "
        "('SP00000002', '拉手', 'UN001', '00001', 2, 'LS-9')");
    db().query("update Sys_ID_Autoincrement set CurrID='SP00000002' where tablename='goods'");
}

void TestGoodsWindows::listShowsSearchesAndMovesByDrop() {
    GoodsListWindow w(m_program->context());
    w.show();
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    QCOMPARE(w.grid()->footerText("code"), QString("共2个商品"));
    // The supplier by name.
    const int supplierColumn = w.grid()->model()->columnOf("Provide_corp");
    QCOMPARE(w.grid()->model()->data(w.grid()->model()->index(0, supplierColumn)).toString(), QString("五金厂(王五)"));
    w.searchBox()->setText("ls-9");
    w.search();
    QCOMPARE(w.grid()->model()->rowCount(), 1);
    w.showAll();

    // Goods dropped on a class move there and leave the list of 五金.
    QVERIFY(w.tree()->setCurrentId(2));
    const QString goods = db().scalar("select id from goods where code='SP00000001'").toString();
    TestBooks::dropOn(w.tree(), 3, DataGrid::kRowsMimeType, {goods});
    QCOMPARE(db().scalar("select Goods_class from goods where code='SP00000001'").toInt(), 3);
    QCOMPARE(w.grid()->model()->rowCount(), 1);
    QVERIFY(m_program->prompter().messages().isEmpty());
    // "修改商品" edits the one goods selected, and only one.
    QString code;
    w.runEditor = [&](int mode) {
        GoodsEditWindow editor(m_program->context(), w.catalog(), mode, &w);
        code = editor.codeEdit()->text();
        w.catalog().goods().cancel();
    };
    w.showAll();
    w.grid()->view()->selectAll();
    QVERIFY(w.actions().execute("Action_EditGoods"));
    QCOMPARE(m_program->prompter().lastText(), QString("一次只能编辑一条记录"));
    m_program->prompter().clear();
    w.grid()->selectRow(1);
    QVERIFY(w.actions().execute("Action_EditGoods"));
    QCOMPARE(code, w.catalog().goods().value(1, "code").toString());
    QVERIFY(m_program->prompter().messages().isEmpty());
}

void TestGoodsWindows::pickModeReturnsTheChosenGoods() {
    GoodsListWindow w(m_program->context());
    w.setMode(1);
    w.show();
    QVERIFY(w.pickList()->isVisible());
    w.grid()->view()->selectAll();
    QVERIFY(w.actions().execute("Action_SelectGoodsInToList"));
    QCOMPARE(w.pickList()->model()->rowCount(), 2);
    QCOMPARE(w.pickedLines(), QStringList({"SP00000001=不锈钢合页", "SP00000002=拉手"}));
    QVERIFY(w.actions().execute("Action_SelectGoodsFinish"));
    QCOMPARE(w.result(), int(QDialog::Accepted));
}

void TestGoodsWindows::editorSavesWithAPictureAndASupplier() {
    AppContext& c = m_program->context();
    GoodsCatalog catalog(c);
    catalog.open();
    catalog.focusClass(2);
    QVERIFY(catalog.addGoods());
    GoodsEditWindow w(c, catalog, GoodsEditor::New);
    QImage bmp(40, 30, QImage::Format_RGB32);
    bmp.fill(Qt::blue);
    QVERIFY(bmp.save(m_files.filePath("p.bmp")));
    w.show();
    QCOMPARE(w.codeEdit()->text(), QString("SP00000003"));
    QCOMPARE(w.classBox()->currentText(), QString("五金"));
    QVERIFY(w.editor().choosePicture(m_files.filePath("p.bmp")));
    catalog.goods().setValue("Goods_name", "滑轮");
    w.editor().setUnit("UN001");

    // The supplier drop-down lists code, company and person; the box shows
    // the company of the supplier chosen.
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
    QVERIFY(QFile::exists(c.PictureFolder + "SP00000003.jpg"));
    QCOMPARE(db().scalar("select Goods_name || Provide_corp from goods where code='SP00000003'").toString(),
             QString("滑轮00002"));
    w.close();
    QVERIFY(!m_program->prompter().texts().contains("该商品内容已更改，是否要保存？"));
}

// The goods of a class cannot be read (another program has moved the table
// away): choosing the class says why, and the tree goes back to the class
// whose goods the list still shows.
void TestGoodsWindows::classThatCannotBeReadLeavesTheListOnItsClass() {
    GoodsListWindow w(m_program->context());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.tree()->setCurrentId(2));
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
    QCOMPARE(w.grid()->model()->rowCount(), 0);
}

QTEST_MAIN(TestGoodsWindows)
#include "test_goods_windows.moc"
