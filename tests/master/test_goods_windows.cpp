#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <QWheelEvent>

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

// The goods windows, offscreen.
class TestGoodsWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void listShowsGoodsAndSearches();
    void pickModeReturnsTheChosenGoods();
    void editorSavesWithAPicture();
    void supplierBoxListsCodeCompanyAndName();
    void classBoxOffersTheClassTreeAndTakesOnlyLeaves();
    void pickPanelHasHeadersAndButtonsFollowSelections();
    void remarksShowAsPreviewLines();
    void pictureFollowsTheGoodsFoundBySearch();
    void priceBeyondItsDigitsIsRefusedAndTheGoodsStillSaves();
    void failedDropsOnALockedBookLeaveTheWindowUsable();
    void dropsNeedTheEditRights();
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

    // From the list: "增加商品" in the editor over a new goods not filled
    // in stays on it.
    QVERIFY(w.tree()->setCurrentId(2));
    QStringList codes;
    w.runEditor = [&](int mode) {
        GoodsEditWindow editor(m_program->context(), w.catalog(), mode, &w);
        editor.show();
        codes << editor.codeEdit()->text();
        editor.actions().execute("Action_AddGoods");
        codes << editor.codeEdit()->text() << m_program->prompter().lastText();
        w.catalog().goods().cancel();
    };
    QVERIFY(w.actions().execute("Action_AddGoods"));
    QCOMPARE(codes, QStringList({"SP00000003", "SP00000003", "请填写[商品名称,计量单位,供应商]"}));
}

void TestGoodsWindows::pickModeReturnsTheChosenGoods() {
    GoodsListWindow w(m_program->context());
    w.setMode(1);
    w.show();
    QVERIFY(w.pickList()->isVisible());
    // The picker fits a screen 1280 pixels wide, its pick panel in sight.
    QVERIFY2(w.minimumSizeHint().width() <= 1200, qPrintable(QString::number(w.minimumSizeHint().width())));
    // One line per goods, however often added: TestGoods::pickListKeepsOneLinePerGoods.
    w.grid()->view()->selectAll();
    QVERIFY(w.actions().execute("Action_SelectGoodsInToList"));
    QCOMPARE(w.pickList()->model()->rowCount(), 2);
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
    catalog.goods().cancel();
    w.close();
    QVERIFY(!m_program->prompter().texts().contains("该商品内容已更改，是否要保存？"));
}

// The supplier drop-down lists code, company and person under their
// headers, one row per supplier and no empty row, and the box shows the
// company; a goods without supplier leaves the box empty.
void TestGoodsWindows::supplierBoxListsCodeCompanyAndName() {
    AppContext& c = m_program->context();
    c.data().main().query(
        "insert into Provider (Corp_code, provider_name, provider_Corp_Name) values ('00002', '李四', '门窗厂')");
    GoodsCatalog catalog(c);
    catalog.open();
    catalog.goods().setCurrentRow(0);
    GoodsEditWindow w(c, catalog, GoodsEditor::Existing);
    w.show();
    QComboBox* box = w.supplierBox();
    const QAbstractItemModel* model = box->model();
    QCOMPARE(model->columnCount(), 3);
    const QStringList headers{"公司编码", "公司名称", "姓名"};
    for (int col = 0; col < headers.size(); ++col) {
        QCOMPARE(model->headerData(col, Qt::Horizontal).toString(), headers[col]);
    }
    auto* view = qobject_cast<QTreeView*>(box->view());
    QVERIFY(view);
    QVERIFY(!view->isHeaderHidden());
    QCOMPARE(model->rowCount(), 2);
    const QList<QStringList> rows{{"00001", "五金厂", "王五"}, {"00002", "门窗厂", "李四"}};
    for (int r = 0; r < rows.size(); ++r) {
        for (int col = 0; col < 3; ++col) {
            QCOMPARE(model->index(r, col).data().toString(), rows[r][col]);
        }
    }
    QCOMPARE(box->currentText(), QString("五金厂"));
    QCOMPARE(w.supplierBox()->value().toString(), QString("00001"));

    box->showPopup();
    view->setCurrentIndex(model->index(1, 0));
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(catalog.goods().value("Provide_corp").toString(), QString("00002"));
    QCOMPARE(box->currentText(), QString("门窗厂"));

    catalog.goods().cancel();
    QCOMPARE(box->currentText(), QString("五金厂"));
    catalog.goods().setValue("Provide_corp", QVariant());
    QCOMPARE(box->currentText(), QString());
    QVERIFY(w.supplierBox()->value().isNull());
    catalog.goods().cancel();
}

// The class box drops down the class tree: classes of the same name sit
// under their own parents, only a class without child classes is taken,
// and the box shows the class of the goods on show.
void TestGoodsWindows::classBoxOffersTheClassTreeAndTakesOnlyLeaves() {
    AppContext& c = m_program->context();
    Database& db = c.data().main();
    db.query("insert into goods_group (Class_name, Parent_id, ico_no) values ('门窗', 1, 0)");  // 3
    db.query("insert into goods_group (Class_name, Parent_id, ico_no) values ('配件', 3, 0)");  // 4
    db.query("insert into goods_group (Class_name, Parent_id, ico_no) values ('锁具', 1, 0)");  // 5
    db.query("insert into goods_group (Class_name, Parent_id, ico_no) values ('配件', 5, 0)");  // 6
    GoodsCatalog catalog(c);
    catalog.open();
    catalog.goods().setCurrentRow(0);
    GoodsEditWindow w(c, catalog, GoodsEditor::Existing);
    w.show();
    QComboBox* box = w.classBox();
    auto* view = qobject_cast<QTreeView*>(box->view());
    QVERIFY(view);
    auto* model = qobject_cast<TreeModel*>(box->model());
    QVERIFY(model);
    QCOMPARE(model->nodeCount(), 6);
    QCOMPARE(model->indexOfId(4).parent(), model->indexOfId(3));
    QCOMPARE(model->indexOfId(6).parent(), model->indexOfId(5));
    QCOMPARE(model->indexOfId(2).parent(), model->indexOfId(1));
    QCOMPARE(box->currentText(), QString("五金"));

    // The wheel over the closed box and the arrow keys never choose a class
    // (a closed box would step to the root): an arrow opens the list.
    m_program->prompter().clear();
    QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
    QTest::keyClick(box, Qt::Key_Up);
    QVERIFY(view->isVisible());
    box->hidePopup();
    QTest::keyClick(box, Qt::Key_Home);
    box->hidePopup();
    QVERIFY(m_program->prompter().messages().isEmpty());
    QCOMPARE(catalog.goods().value("Goods_class").toInt(), 2);
    QCOMPARE(box->currentText(), QString("五金"));

    auto choose = [&](int id) {
        box->showPopup();
        QVERIFY(view->isVisible());
        // Every class shows at once, nested under its parent.
        QVERIFY(view->isExpanded(model->indexOfId(5)));
        view->setCurrentIndex(model->indexOfId(id));
        QTest::keyClick(view, Qt::Key_Return);
        QVERIFY(!view->isVisible());
    };
    m_program->prompter().clear();
    choose(5);
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(m_program->prompter().lastText(), QString("只能选择最末一级的商品类别,请重新选择"));
    QCOMPARE(catalog.goods().value("Goods_class").toInt(), 2);
    QCOMPARE(box->currentText(), QString("五金"));
    QCOMPARE(w.classBox()->value().toInt(), 2);

    choose(6);
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(m_program->prompter().messages().size(), 1);
    QCOMPARE(catalog.goods().value("Goods_class").toInt(), 6);
    QCOMPARE(box->currentText(), QString("配件"));
    QCOMPARE(w.classBox()->value().toInt(), 6);

    // The box follows the goods: a cancel brings the old class back, a
    // goods without class leaves it empty.
    catalog.goods().cancel();
    QCOMPARE(box->currentText(), QString("五金"));
    catalog.goods().setValue("Goods_class", 4);
    QCOMPARE(box->currentText(), QString("配件"));
    QCOMPARE(w.classBox()->value().toInt(), 4);
    catalog.goods().setValue("Goods_class", QVariant());
    QCOMPARE(box->currentText(), QString());
    QVERIFY(w.classBox()->value().isNull());
    catalog.goods().cancel();
}

// The pick panel names its two columns; "添加" works only with goods
// selected in the grid, "移除" only with lines selected in the pick list.
void TestGoodsWindows::pickPanelHasHeadersAndButtonsFollowSelections() {
    GoodsListWindow w(m_program->context());
    w.setMode(1);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QAbstractItemView* list = w.pickList();
    QCOMPARE(list->model()->columnCount(), 2);
    QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), QString("商品编码"));
    QCOMPARE(list->model()->headerData(1, Qt::Horizontal).toString(), QString("商品名称"));
    auto* header = list->findChild<QHeaderView*>();
    QVERIFY(header && header->isVisible());
    QPushButton* in = nullptr;
    QPushButton* out = nullptr;
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        if (b->text() == QString("添加")) {
            in = b;
        } else if (b->text() == QString("移除")) {
            out = b;
        }
    }
    QVERIFY(in && out);
    QVERIFY(!out->isEnabled());
    QCOMPARE(in->isEnabled(), !w.grid()->selectedRows().isEmpty());
    w.grid()->view()->clearSelection();
    QVERIFY(!in->isEnabled());
    // A search that finds nothing leaves nothing selected.
    w.grid()->selectRow(0);
    QVERIFY(in->isEnabled());
    w.searchBox()->setText("没有这种商品");
    w.search();
    QCOMPARE(w.grid()->model()->rowCount(), 0);
    QVERIFY(!in->isEnabled());
    w.showAll();

    w.grid()->selectRow(1);
    QVERIFY(in->isEnabled());
    QTest::mouseClick(in, Qt::LeftButton);
    QCOMPARE(w.pickedLines(), QStringList({"SP00000002=拉手"}));
    QCOMPARE(list->model()->rowCount(), 1);
    QCOMPARE(list->model()->index(0, 0).data().toString(), QString("SP00000002"));
    QCOMPARE(list->model()->index(0, 1).data().toString(), QString("拉手"));
    QVERIFY(!out->isEnabled());
    w.grid()->view()->clearSelection();
    QVERIFY(!in->isEnabled());

    list->selectAll();
    QVERIFY(out->isEnabled());
    QTest::mouseClick(out, Qt::LeftButton);
    QVERIFY(w.pickedLines().isEmpty());
    QVERIFY(!out->isEnabled());
}

// "显示商品备注" shows each remark as a line under its row, across the
// columns; rows without a remark keep their height, and the remark column
// stays as the grid lists it.
void TestGoodsWindows::remarksShowAsPreviewLines() {
    const QString remark = "黄铜材质，每套配螺丝四颗，适用于木门与铝合金门，厚度不少于三十毫米";
    m_program->context().data().main().query("update goods set remark=:r where code='SP00000001'", {{"r", remark}});
    GoodsListWindow w(m_program->context());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    GridView* view = w.grid()->view();
    const int remarkColumn = w.grid()->model()->columnOf("remark");
    QVERIFY(remarkColumn >= 0);
    QVERIFY(!view->isColumnHidden(remarkColumn));
    QCheckBox* box = nullptr;
    for (QCheckBox* b : w.findChildren<QCheckBox*>()) {
        if (b->text() == QString("显示商品备注")) {
            box = b;
        }
    }
    QVERIFY(box);
    const int plain = view->rowHeight(1);
    QCOMPARE(view->rowHeight(0), plain);

    box->click();
    QVERIFY(!view->isColumnHidden(remarkColumn));
    QVERIFY(view->rowHeight(0) > plain);
    QCOMPARE(view->rowHeight(1), plain);
    // The line under the first row holds text beyond its first column.
    const QImage shot = view->viewport()->grab().toImage();
    const int top = view->rowViewportPosition(0) + plain;
    const int bottom = view->rowViewportPosition(0) + view->rowHeight(0) - 2;
    const QRgb ground = shot.pixel(shot.width() - 2, top + 1);
    int inked = 0;
    for (int y = top; y <= bottom; ++y) {
        for (int x = view->columnWidth(0) + 10; x < qMin(shot.width(), view->columnWidth(0) + 200); ++x) {
            inked += shot.pixel(x, y) != ground ? 1 : 0;
        }
    }
    QVERIFY2(inked > 20, qPrintable(QString::number(inked)));

    box->click();
    QVERIFY(!view->isColumnHidden(remarkColumn));
    QCOMPARE(view->rowHeight(0), plain);
}

// After "查找" and "显示全部" the picture box shows the picture of the
// goods that is current, which is one the grid shows.
void TestGoodsWindows::pictureFollowsTheGoodsFoundBySearch() {
    AppContext& c = m_program->context();
    QVERIFY(QDir().mkpath(c.PictureFolder));
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(c.PictureFolder + "SP00000001.jpg"));
    c.data().main().query("update goods set PicturePath='SP00000001.jpg' where code='SP00000001'");
    GoodsListWindow w(c);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    Dataset& goods = w.catalog().goods();
    // The current goods, whether the grid shows it as its current row, and
    // what the picture box shows.
    auto shown = [&] {
        const int gridRow = w.grid()->model()->gridRow(goods.currentRow());
        const bool inGrid = gridRow >= 0 && w.grid()->view()->currentIndex().row() == gridRow;
        return goods.value("code").toString() + (inGrid ? "" : " (hidden)") + ": " +
               (w.pictureBox()->hasPicture() ? QString("picture") : w.pictureBox()->text());
    };
    const QString withPicture = "SP00000001: picture";
    const QString withoutPicture = "SP00000002: 还没指定商品图片";
    w.grid()->selectRow(0);
    QCOMPARE(shown(), withPicture);

    w.searchBox()->setText("ls-9");
    w.search();
    QCOMPARE(w.grid()->model()->rowCount(), 1);
    QCOMPARE(shown(), withoutPicture);

    w.searchBox()->setText("hy-");
    w.search();
    QCOMPARE(w.grid()->model()->rowCount(), 1);
    QCOMPARE(shown(), withPicture);

    w.showAll();
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    QCOMPARE(shown(), withPicture);
    w.grid()->selectRow(1);
    QCOMPARE(shown(), withoutPicture);
    w.searchBox()->setText("HY");
    w.search();
    QCOMPARE(shown(), withPicture);
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

// Moving goods or a class by drag writes like "修改商品" and "编辑分类": a
// user without those rights is refused and nothing moves; with them the
// drop goes through.
void TestGoodsWindows::dropsNeedTheEditRights() {
    AppContext& c = m_program->context();
    Database& db = c.data().main();
    db.query("insert into Sys_user (User_name, User_Group, type) values ('仓库组', '0', 0)");
    db.query("insert into Sys_user (User_name, User_Group, type) values ('小王', '仓库组', 1)");
    const QString grant =
        "insert into Sys_user_Operation (User_name, Action_id) select '仓库组', id from Sys_Operation_Table "
        "where LOWER(Form_Name)='base_goods_frm' and LOWER(Action_Name) %1 ('action_editgoods', 'action_editgroup')";
    db.query(grant.arg("not in"));
    db.query("insert into goods_group (Class_name, Parent_id, ico_no) values ('锁具', 1, 0)");
    db.query("insert into goods_group (Class_name, Parent_id, ico_no) values ('门锁', 1, 0)");
    const int locks = db.scalar("select id from goods_group where Class_name='锁具'").toInt();
    const int doorLocks = db.scalar("select id from goods_group where Class_name='门锁'").toInt();
    c.CurrentUser = {"小王", "", "仓库组"};
    GoodsListWindow w(c);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QString goods = db.scalar("select id from goods where code='SP00000001'").toString();
    m_program->prompter().clear();
    TestBooks::dropOn(w.tree(), locks, DataGrid::kRowsMimeType, {goods});
    TestBooks::dropOn(w.tree(), locks, TreeList::kNodesMimeType, {QString::number(doorLocks)});
    QCOMPARE(db.scalar("select Goods_class from goods where code='SP00000001'").toInt(), 2);
    QCOMPARE(db.scalar("select Parent_id from goods_group where id=:i", {{"i", doorLocks}}).toInt(), 1);
    QCOMPARE(m_program->prompter().messages().size(), 2);

    db.query(grant.arg("in"));
    TestBooks::dropOn(w.tree(), locks, TreeList::kNodesMimeType, {QString::number(doorLocks)});
    TestBooks::dropOn(w.tree(), doorLocks, DataGrid::kRowsMimeType, {goods});
    QCOMPARE(m_program->prompter().messages().size(), 2);
    QCOMPARE(db.scalar("select Goods_class from goods where code='SP00000001'").toInt(), doorLocks);
    QCOMPARE(db.scalar("select Parent_id from goods_group where id=:i", {{"i", doorLocks}}).toInt(), locks);
}

QTEST_MAIN(TestGoodsWindows)
#include "test_goods_windows.moc"
