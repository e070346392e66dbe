#include <QAbstractItemModelTester>
#include <QApplication>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "data/dataset.h"
#include "platform/ansi_text.h"
#include "support/test_books.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/field_binder.h"
#include "ui/progress_note.h"
#include "ui/tree_list.h"

// The shared window kit, offscreen.
class TestKit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void gridShowsDeclaredColumnsWithFormatsAndLookups();
    void footerFollowsEditsAndFilters();
    void footerIsComputedOncePerChange();
    void textFilterIsLikeOverSeveralColumns();
    void dateFilterKeepsDaysBetween();
    void columnFilterAndDistinctTexts();
    void sortKeepsSelection();
    void selectionAndCurrentRowFollowEachOther();
    void editingInTheGridPostsIntoTheDataset();
    void gridModelFollowsItsDataset();
    void enterEditsAndEscapeCancels();
    void gridDragCarriesKeys();
    void treeBuildsFromParentIds();
    void treeRefusesBadDrops();
    void treeFollowsItsDataset();
    void editorsHoldNullValues();
    void binderWritesAndShows();
    void pictureBoxFallsBackToItsCaption();
    void progressNoteCutsAndRunsDots();
    void customFilterSwitch();

private:
    void fillGoods(int n);
    std::unique_ptr<TestBooks::FreshBook> m_book;
    std::unique_ptr<Dataset> m_goods;
};

void TestKit::init() {
    m_book = std::make_unique<TestBooks::FreshBook>("sqlite");
    m_goods = std::make_unique<Dataset>(m_book->db());
}

void TestKit::cleanup() {
    m_goods.reset();
    m_book.reset();
}

void TestKit::fillGoods(int n) {
    Database& db = m_book->db();
    WriteTransaction tx(db);
    for (int i = 1; i <= n; ++i) {
        db.query(
            "insert into goods (code, Goods_name, Goods_unit, Default_price, Default_Qty, Default_TotalPrice, "
            "Keyin_time, remark) values (:c, :n, :u, :p, 1, :p, :t, :r)",
            {{"c", QString("SP%1").arg(i, 8, 10, QChar('0'))},
             {"n", i % 2 ? QString("合页%1").arg(i) : QString("Lock_%1").arg(i)},
             {"u", i % 3 ? "UN001" : "UN003"},
             {"p", i * 1.5},
             {"t", QDateTime(QDate(2006, 12, 1 + (i % 28)), QTime(10, 0))},
             {"r", i == 4 ? QString("100%_off") : QString("备注%1").arg(i)}});
    }
    tx.commit();
    m_goods->openTable("goods", "code");
}

namespace {
std::shared_ptr<LookupList> units(Database& db) {
    auto l = std::make_shared<LookupList>();
    l->load(db, "select unit_code, Unit_name from unit");
    return l;
}

QList<GridColumn> goodsColumns(Database& db) {
    return {GridColumn::make("code", "商品编码"),
            GridColumn::make("Goods_name", "商品名称"),
            GridColumn::make("Goods_unit", "商品单位").withLookup(units(db)),
            GridColumn::make("Default_TotalPrice", "默认总值").withFormat("0.00"),
            GridColumn::make("Keyin_time", "录入日期").withFormat("YYYY-MM-DD"),
            GridColumn::make("remark", "备注")};
}
}  // namespace

void TestKit::gridShowsDeclaredColumnsWithFormatsAndLookups() {
    fillGoods(6);
    DataGrid grid;
    grid.setDataset(m_goods.get());
    grid.setColumns(goodsColumns(m_book->db()));
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    GridModel* m = grid.model();
    QCOMPARE(m->columnCount(), 6);
    QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QString("商品名称"));
    QCOMPARE(m->data(m->index(0, 0)).toString(), QString("SP00000001"));
    QCOMPARE(m->data(m->index(0, 2)).toString(), QString("个"));
    QCOMPARE(m->data(m->index(2, 2)).toString(), QString("套"));
    QCOMPARE(m->data(m->index(2, 2), Qt::EditRole).toString(), QString("UN003"));
    QCOMPARE(m->data(m->index(1, 3)).toString(), QString("3.00"));
    QCOMPARE(m->data(m->index(1, 4)).toString(), QString("2006-12-03"));
}

void TestKit::footerFollowsEditsAndFilters() {
    fillGoods(10);
    DataGrid grid;
    grid.setDataset(m_goods.get());
    grid.setColumns(goodsColumns(m_book->db()));
    grid.setFooter(
        {FooterSummary::count("code", "共 0 个货品"), FooterSummary::sum("Default_TotalPrice", "合计:0.00")});
    QCOMPARE(grid.footerText("code"), QString("共 10 个货品"));
    QCOMPARE(grid.footerText("Default_TotalPrice"), QString("合计:82.50"));
    m_goods->setCurrentRow(0);
    m_goods->setValue("Default_TotalPrice", 101.5);
    m_goods->post();
    QCOMPARE(grid.footerText("Default_TotalPrice"), QString("合计:182.50"));
    m_goods->append();
    m_goods->setValue("code", "SP99");
    m_goods->setValue("Default_TotalPrice", 1000);
    m_goods->post();
    QCOMPARE(grid.footerText("code"), QString("共 11 个货品"));
    QCOMPARE(grid.footerText("Default_TotalPrice"), QString("合计:1182.50"));
    m_goods->deleteCurrent();
    QCOMPARE(grid.footerText("code"), QString("共 10 个货品"));
    grid.setTextFilter("lock", {"Goods_name"});
    QCOMPARE(grid.footerText("code"), QString("共 5 个货品"));
    QCOMPARE(grid.footerText("Default_TotalPrice"), QString("合计:45.00"));
    grid.clearFilters();
    QCOMPARE(grid.footerText("code"), QString("共 10 个货品"));
    FooterSummary big = FooterSummary::sum("x", "合计：#,##0.00 元");
    QCOMPARE(big.render(1234567.5), QString("合计：1,234,567.50 元"));
}

void TestKit::footerIsComputedOncePerChange() {
    fillGoods(50);
    DataGrid grid;
    grid.setDataset(m_goods.get());
    grid.setColumns(goodsColumns(m_book->db()));
    grid.setFooter({FooterSummary::sum("Default_TotalPrice", "合计:0.00")});
    grid.resize(600, 400);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QApplication::processEvents();
    const int before = grid.model()->footerRecomputations();
    for (int i = 0; i < 5; ++i) {
        grid.repaint();
    }
    QCOMPARE(grid.model()->footerRecomputations(), before);
    m_goods->setCurrentRow(3);
    m_goods->setValue("Default_TotalPrice", 7);
    m_goods->post();
    QApplication::processEvents();
    grid.repaint();
    grid.repaint();
    QCOMPARE(grid.model()->footerRecomputations(), before + 1);
}

void TestKit::textFilterIsLikeOverSeveralColumns() {
    fillGoods(10);
    DataGrid grid;
    grid.setDataset(m_goods.get());
    grid.setColumns(goodsColumns(m_book->db()));
    grid.setTextFilter("SP0000000", {"code", "Goods_name"});
    QCOMPARE(grid.model()->rowCount(), 9);  // SP00000010 has a 1 there
    grid.setTextFilter("合页", {"code", "Goods_name"});
    QCOMPARE(grid.model()->rowCount(), 5);
    // OR over the fields, and "%" or "_" typed are themselves.
    grid.setTextFilter("%_", {"Goods_name", "remark"});
    QCOMPARE(grid.model()->rowCount(), 1);
    QCOMPARE(grid.model()->data(grid.model()->index(0, 0)).toString(), QString("SP00000004"));
    grid.setTextFilter("套", {"Goods_unit"});  // through the lookup's names
    QCOMPARE(grid.model()->rowCount(), 3);
    grid.setTextFilter("", {"code"});
    QCOMPARE(grid.model()->rowCount(), 10);
}

void TestKit::dateFilterKeepsDaysBetween() {
    fillGoods(10);
    DataGrid grid;
    grid.setDataset(m_goods.get());
    grid.setColumns(goodsColumns(m_book->db()));
    grid.setDateFilter("Keyin_time", QDate(2006, 12, 3), QDate(2006, 12, 5));  // days 3, 4, 5 (ends inclusive)
    QCOMPARE(grid.model()->rowCount(), 3);
    grid.setDateFilter("Keyin_time", QDate(2006, 12, 9), QDate());
    QCOMPARE(grid.model()->rowCount(), 3);  // days 9, 10, 11
}

void TestKit::columnFilterAndDistinctTexts() {
    fillGoods(9);
    DataGrid grid;
    grid.setDataset(m_goods.get());
    grid.setColumns(goodsColumns(m_book->db()));
    QCOMPARE(grid.model()->distinctTexts("Goods_unit"), QStringList({"个", "套"}));
    grid.model()->setColumnFilter("Goods_unit", {"套"});
    QCOMPARE(grid.model()->rowCount(), 3);
    QVERIFY(grid.model()->isFiltered());
    grid.model()->setColumnFilter("Goods_unit", {}, "个");
    QCOMPARE(grid.model()->rowCount(), 6);
    grid.model()->setColumnFilter("Goods_unit", {});
    QCOMPARE(grid.model()->rowCount(), 9);
    QVERIFY(!grid.model()->isFiltered());
}

void TestKit::sortKeepsSelection() {
    fillGoods(5);
    DataGrid grid;
    grid.setDataset(m_goods.get());
    grid.setColumns(goodsColumns(m_book->db()));
    grid.setInitialSort("code", Qt::DescendingOrder);
    QCOMPARE(grid.model()->data(grid.model()->index(0, 0)).toString(), QString("SP00000005"));
    grid.selectRow(1);  // dataset row 1: SP00000002
    grid.model()->sort(3, Qt::AscendingOrder);
    QCOMPARE(grid.model()->data(grid.model()->index(0, 0)).toString(), QString("SP00000001"));
    QCOMPARE(grid.selectedRows(), QList<int>{1});
}

void TestKit::selectionAndCurrentRowFollowEachOther() {
    fillGoods(5);
    DataGrid grid;
    grid.setDataset(m_goods.get());
    grid.setColumns(goodsColumns(m_book->db()));
    grid.setMultiSelect(true);
    grid.view()->clearSelection();
    grid.view()->selectionModel()->select(grid.model()->index(1, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid.view()->selectionModel()->select(grid.model()->index(3, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(grid.selectedRows(), QList<int>({1, 3}));
    grid.view()->setCurrentIndex(grid.model()->index(4, 1));
    QCOMPARE(m_goods->currentRow(), 4);
    m_goods->setCurrentRow(2);
    QCOMPARE(grid.view()->currentIndex().row(), 2);
    QSignalSpy dbl(&grid, &DataGrid::rowDoubleClicked);
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QRect cell = grid.view()->visualRect(grid.model()->index(2, 0));
    QTest::mouseClick(grid.view()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid.view()->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(dbl.count(), 1);
    QCOMPARE(dbl.first().first().toInt(), 2);
}

void TestKit::editingInTheGridPostsIntoTheDataset() {
    fillGoods(3);
    DataGrid grid;
    grid.setDataset(m_goods.get());
    QList<GridColumn> cols = goodsColumns(m_book->db());
    cols[1].editable = true;
    grid.setColumns(cols);
    grid.setReadOnly(false);
    QVERIFY(!(grid.model()->flags(grid.model()->index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(grid.model()->setData(grid.model()->index(1, 1), "新名称"));
    QCOMPARE(m_goods->value(1, "Goods_name").toString(), QString("新名称"));
    QCOMPARE(m_goods->rowStatus(1), Dataset::RowStatus::Modified);
    QSignalSpy failed(&grid, &DataGrid::editFailed);
    QVERIFY(!grid.model()->setData(grid.model()->index(1, 1), QString(101, 'x')));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(m_goods->value(1, "Goods_name").toString(), QString("新名称"));
    grid.setReadOnly(true);
    QVERIFY(!grid.model()->setData(grid.model()->index(1, 1), "x"));
}

// Rows appended, deleted, given back by cancelUpdates and dropped by close
// reach the model in the order item views expect.
void TestKit::gridModelFollowsItsDataset() {
    Dataset units(m_book->db());
    GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDataset(&units);
    model.setColumns({GridColumn::make("unit_code", "编码"), GridColumn::make("Unit_name", "计量单位").asEditable()});
    model.setReadOnly(false);
    units.openTable("unit", "unit_code");
    QCOMPARE(model.rowCount(), 6);
    const QModelIndex name = model.index(2, 1);
    QCOMPARE(model.data(name).toString(), QString("套"));
    QVERIFY(model.setData(name, "套装"));
    QCOMPARE(units.value(2, "Unit_name").toString(), QString("套装"));
    QCOMPARE(units.state(), Dataset::State::Browse);
    units.append();
    units.setValue("unit_code", "UN020");
    units.post();
    QCOMPARE(model.rowCount(), 7);
    units.setCurrentRow(0);
    units.deleteCurrent();
    QCOMPARE(model.rowCount(), 6);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QString("UN002"));
    units.cancelUpdates();
    QCOMPARE(model.rowCount(), 6);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QString("UN001"));
    QCOMPARE(model.data(name).toString(), QString("套"));
    units.close();
    QCOMPARE(model.rowCount(), 0);
}

void TestKit::enterEditsAndEscapeCancels() {
    fillGoods(3);
    DataGrid grid;
    grid.setDataset(m_goods.get());
    QList<GridColumn> cols = goodsColumns(m_book->db());
    cols[1].editable = true;
    grid.setColumns(cols);
    grid.setReadOnly(false);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.view()->setFocus();
    grid.view()->setCurrentIndex(grid.model()->index(0, 1));
    QTest::keyClick(grid.view(), Qt::Key_Return);
    QVERIFY(grid.view()->isEditing());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(m_goods->value(0, "Goods_name").toString(), QString("合页1"));
    // On a read-only cell Enter activates the row.
    QSignalSpy activated(&grid, &DataGrid::rowDoubleClicked);
    grid.view()->setCurrentIndex(grid.model()->index(2, 0));
    QTest::keyClick(grid.view(), Qt::Key_Enter);
    QCOMPARE(activated.count(), 1);
    QTest::keyClick(grid.view(), Qt::Key_Up);
    QCOMPARE(m_goods->currentRow(), 1);
}

void TestKit::gridDragCarriesKeys() {
    fillGoods(3);
    DataGrid grid;
    grid.setDataset(m_goods.get());
    grid.setColumns(goodsColumns(m_book->db()));
    grid.setDragKeyField("id");
    QVERIFY(grid.view()->dragEnabled());
    QVERIFY(grid.model()->flags(grid.model()->index(0, 0)) & Qt::ItemIsDragEnabled);
}

void TestKit::treeBuildsFromParentIds() {
    TreeList tree;
    QAbstractItemModelTester tester(tree.treeModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    tree.setNodes({{1, -1, "全部客户", 0},
                   {2, 1, "北京", 0},
                   {3, 1, "上海", 0},
                   {4, 2, "朝阳", 0},
                   {5, 99, "孤儿", 0},
                   {6, 7, "环A", 0},
                   {7, 6, "环B", 0}});
    TreeModel* m = tree.treeModel();
    QCOMPARE(m->rowCount(), 3);  // the root, the orphan, and the loop cut open
    const QModelIndex root = m->indexOfId(1);
    QCOMPARE(m->rowCount(root), 2);
    QCOMPARE(m->data(m->index(0, 0, root)).toString(), QString("北京"));
    QVERIFY(m->hasChildren(QVariant(2)));
    QVERIFY(!m->hasChildren(QVariant(3)));
    QList<QVariant> below = m->subtreeIds(1);
    QCOMPARE(below.size(), 4);
    QSignalSpy current(&tree, &TreeList::currentNodeChanged);
    QVERIFY(tree.setCurrentId(4));
    QCOMPARE(current.count(), 1);
    QCOMPARE(tree.currentId().toInt(), 4);
    tree.expandAll();
    QVERIFY(tree.isExpanded(root));
    tree.collapseAll();
    QVERIFY(!tree.isExpanded(root));
}

void TestKit::treeRefusesBadDrops() {
    TreeList tree;
    tree.setNodes({{1, -1, "全部", 0}, {2, 1, "甲", 0}, {3, 2, "乙", 0}, {4, 1, "丙", 0}});
    QSignalSpy nodes(&tree, &TreeList::nodesDropped);
    QSignalSpy rows(&tree, &TreeList::rowsDropped);
    // Never onto itself or into its own subtree.
    QVERIFY(!tree.performDrop({false, {"2"}, 3}));
    QVERIFY(!tree.performDrop({false, {"2"}, 2}));
    QVERIFY(tree.performDrop({false, {"3"}, 4}));
    QCOMPARE(nodes.count(), 1);
    // The window's hook refuses, e.g. groups that hold child groups.
    tree.setDropFilter([&tree](const TreeList::Drop& d) { return !tree.treeModel()->hasChildren(d.targetId); });
    QVERIFY(!tree.performDrop({true, {"17", "18"}, 1}));
    QVERIFY(tree.performDrop({true, {"17", "18"}, 4}));
    QCOMPARE(rows.count(), 1);
    QCOMPARE(rows.first().first().toStringList(), QStringList({"17", "18"}));
    QVERIFY(!tree.performDrop({true, {"17"}, 42}));  // no such node
}

void TestKit::treeFollowsItsDataset() {
    Dataset groups(m_book->db());
    groups.openTable("Client_group", "id");
    TreeList tree;
    tree.bind(&groups, "id", "Parent_id", "Class_name", "ico_no");
    QCOMPARE(tree.treeModel()->nodeCount(), 1);
    groups.append();
    groups.setValue("Class_name", "北京");
    groups.setValue("Parent_id", 1);
    groups.post();
    QCOMPARE(tree.treeModel()->nodeCount(), 2);
    groups.first();
    QVERIFY(tree.setCurrentId(1));
    QCOMPARE(groups.value("Class_name").toString(), QString("全部客户"));
}

void TestKit::editorsHoldNullValues() {
    NullableDateEdit date;
    QVERIFY(date.value().isNull());
    date.setValue(QDate(2006, 12, 25));
    QCOMPARE(date.value().toDate(), QDate(2006, 12, 25));
    date.setValue(QDateTime(QDate(2007, 1, 2), QTime(10, 0)));
    QCOMPARE(date.value().toDate(), QDate(2007, 1, 2));
    date.setValue(QVariant());
    QVERIFY(date.value().isNull());

    NumberEdit number;
    number.setFormat("0.00");
    number.setValue(12.5);
    QCOMPARE(number.text(), QString("12.50"));
    number.setValue(QVariant());
    QCOMPARE(number.text(), QString());
    QVERIFY(number.value().isNull());

    CheckEdit check;
    check.setValue(QVariant());
    QCOMPARE(check.value().toInt(), 0);
    check.setValue(1);
    QCOMPARE(check.value().toInt(), 1);

    LookupCombo combo;
    combo.setLookup(units(m_book->db()));
    combo.setValue("UN003");
    QCOMPARE(combo.currentText(), QString("套"));
    QCOMPARE(combo.value().toString(), QString("UN003"));
    combo.setValue("UN404");
    QVERIFY(combo.value().isNull());
}

void TestKit::binderWritesAndShows() {
    fillGoods(2);
    QLineEdit name;
    NumberEdit price;
    MemoEdit remark;
    LookupCombo unit;
    unit.setLookup(units(m_book->db()));
    FieldBinder binder(m_goods.get());
    binder.bind(&name, "Goods_name");
    binder.bind(&price, "Default_price");
    binder.bind(&remark, "remark");
    binder.bind(&unit, "Goods_unit");
    QCOMPARE(name.text(), QString("合页1"));
    QCOMPARE(name.maxLength(), 100);
    QLineEdit time;
    binder.bind(&time, "Keyin_time");
    QCOMPARE(time.text(), QString("2006-12-02 10:00:00"));
    QCOMPARE(unit.currentText(), QString("个"));
    QTest::keyClicks(&name, "X");
    QCOMPARE(m_goods->state(), Dataset::State::Edit);
    QCOMPARE(m_goods->value("Goods_name").toString(), QString("合页1X"));
    m_goods->post();
    m_goods->setCurrentRow(1);
    QCOMPARE(name.text(), QString("Lock_2"));
    QCOMPARE(price.value().toDouble(), 3.0);
    // A change made in code shows in the editors.
    m_goods->setValue("remark", "新备注");
    QCOMPARE(remark.toPlainText(), QString("新备注"));
    unit.setCurrentIndex(unit.findText("套"));
    emit unit.valueEdited();
    QCOMPARE(m_goods->value("Goods_unit").toString(), QString("UN003"));
}

void TestKit::pictureBoxFallsBackToItsCaption() {
    QTemporaryDir dir;
    PictureBox box;
    box.setCaption("无图片");
    QVERIFY(!box.setFile(dir.filePath("missing.jpg")));
    QCOMPARE(box.text(), QString("无图片"));
    QFile bad(dir.filePath("bad.jpg"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture");
    bad.close();
    QVERIFY(!box.setFile(dir.filePath("bad.jpg")));
    QCOMPARE(box.text(), QString("无图片"));
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(Qt::red);
    QVERIFY(img.save(dir.filePath("ok.jpg")));
    QVERIFY(box.setFile(dir.filePath("ok.jpg")));
    QVERIFY(box.hasPicture());
    QSignalSpy clicked(&box, &PictureBox::clicked);
    QTest::mouseClick(&box, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
}

void TestKit::progressNoteCutsAndRunsDots() {
    QCOMPARE(ansiByteLength("ab中文"), 6);
    const QString sixty = QString(30, QChar(0x4E2D));  // 60 bytes
    QCOMPARE(cutToAnsiBytes(sixty, 60), sixty);
    QCOMPARE(cutToAnsiBytes(sixty + "a", 60), sixty + "...");
    QCOMPARE(cutToAnsiBytes("a" + sixty, 60), "a" + QString(29, QChar(0x4E2D)) + "...");
    ProgressNote note;
    note.showText("正在读取权限列表，请稍候");
    QCOMPARE(note.labelText(), QString("正在读取权限列表，请稍候....."));
    QVERIFY(note.isVisible());
    note.tick();
    QCOMPARE(note.labelText(), QString("正在读取权限列表，请稍候."));
    note.tick();
    note.tick();
    QCOMPARE(note.labelText(), QString("正在读取权限列表，请稍候..."));
    note.showText(QString(61, 'x'));
    QCOMPARE(note.message(), QString(60, 'x') + "...");
    note.hideNote();
    QVERIFY(!note.isVisible());
}

void TestKit::customFilterSwitch() {
    for (const auto& [value, expected] :
         QList<QPair<QString, bool>>{{"TRUE", true}, {"true", true}, {"false", false}, {"yes", false}}) {
        TestBooks::TestProgram p(false);
        p.context().SettingsFile.setString("SYS_Setting", "ShowCustomFilter", value);
        QCOMPARE(p.context().showCustomFilter(), expected);
    }
    TestBooks::TestProgram missing(false);
    QVERIFY(!missing.context().showCustomFilter());
}

QTEST_MAIN(TestKit)
#include "test_kit.moc"
