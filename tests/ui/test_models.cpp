#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include "data/dataset.h"
#include "support/goods_rows.h"
#include "support/test_books.h"
#include "ui/grid_model.h"
#include "ui/tree_model.h"

// The grid and tree models of the window kit, without widgets: each case
// runs under QAbstractItemModelTester.
class TestModels : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void gridShowsDeclaredColumnsWithFormatsAndLookups();
    void footerFollowsEditsAndFilters();
    void textFilterIsLikeOverSeveralColumns();
    void dateFilterKeepsDaysBetween();
    void columnFilterAndDistinctTexts();
    void editsPostIntoTheDataset();
    void gridModelFollowsItsDataset();
    void treeBuildsFromParentIds();

private:
    // A grid over `n` goods with the goods columns.
    GridModel& goodsGrid(int n);
    std::unique_ptr<TestBooks::FreshBook> m_book;
    std::unique_ptr<Dataset> m_goods;
    std::unique_ptr<GridModel> m_grid;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

void TestModels::init() {
    m_book = std::make_unique<TestBooks::FreshBook>("sqlite");
    m_goods = std::make_unique<Dataset>(m_book->db());
    m_grid = std::make_unique<GridModel>();
    m_tester = std::make_unique<QAbstractItemModelTester>(m_grid.get(),
                                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void TestModels::cleanup() {
    m_tester.reset();
    m_grid.reset();
    m_goods.reset();
    m_book.reset();
}

GridModel& TestModels::goodsGrid(int n) {
    TestBooks::fillGoods(*m_goods, n);
    m_grid->setDataset(m_goods.get());
    m_grid->setColumns(TestBooks::goodsColumns(m_book->db()));
    return *m_grid;
}

void TestModels::gridShowsDeclaredColumnsWithFormatsAndLookups() {
    GridModel& m = goodsGrid(6);
    QCOMPARE(m.columnCount(), 6);
    QCOMPARE(m.rowCount(), 6);
    QCOMPARE(m.headerData(1, Qt::Horizontal).toString(), QString("商品名称"));
    QCOMPARE(m.data(m.index(0, 0)).toString(), QString("SP00000001"));
    QCOMPARE(m.data(m.index(0, 2)).toString(), QString("个"));
    QCOMPARE(m.data(m.index(2, 2)).toString(), QString("套"));
    QCOMPARE(m.data(m.index(2, 2), Qt::EditRole).toString(), QString("UN003"));
    QCOMPARE(m.data(m.index(1, 3)).toString(), QString("3.00"));
    QCOMPARE(m.data(m.index(1, 4)).toString(), QString("2006-12-03"));
}

void TestModels::footerFollowsEditsAndFilters() {
    GridModel& m = goodsGrid(10);
    m.setFooter({FooterSummary::count("code", "共 0 个货品"), FooterSummary::sum("Default_TotalPrice", "合计:0.00")});
    QCOMPARE(m.footerText("code"), QString("共 10 个货品"));
    QCOMPARE(m.footerText("Default_TotalPrice"), QString("合计:82.50"));
    m_goods->setCurrentRow(0);
    m_goods->setValue("Default_TotalPrice", 101.5);
    m_goods->post();
    QCOMPARE(m.footerText("Default_TotalPrice"), QString("合计:182.50"));
    m_goods->append();
    m_goods->setValue("code", "SP99");
    m_goods->setValue("Default_TotalPrice", 1000);
    m_goods->post();
    QCOMPARE(m.footerText("code"), QString("共 11 个货品"));
    QCOMPARE(m.footerText("Default_TotalPrice"), QString("合计:1182.50"));
    m_goods->deleteCurrent();
    QCOMPARE(m.footerText("code"), QString("共 10 个货品"));
    m.setTextFilter("lock", {"Goods_name"});
    QCOMPARE(m.footerText("code"), QString("共 5 个货品"));
    QCOMPARE(m.footerText("Default_TotalPrice"), QString("合计:45.00"));
    m.clearFilters();
    QCOMPARE(m.footerText("code"), QString("共 10 个货品"));
    FooterSummary big = FooterSummary::sum("x", "合计：#,##0.00 元");
    QCOMPARE(big.render(1234567.5), QString("合计：1,234,567.50 元"));
}

void TestModels::textFilterIsLikeOverSeveralColumns() {
    GridModel& m = goodsGrid(10);
    m.setTextFilter("SP0000000", {"code", "Goods_name"});
    QCOMPARE(m.rowCount(), 9);  // SP00000010 has a 1 there
    m.setTextFilter("合页", {"code", "Goods_name"});
    QCOMPARE(m.rowCount(), 5);
    // OR over the fields, and "%" or "_" typed are themselves.
    m.setTextFilter("%_", {"Goods_name", "remark"});
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(m.data(m.index(0, 0)).toString(), QString("SP00000004"));
    m.setTextFilter("套", {"Goods_unit"});  // through the lookup's names
    QCOMPARE(m.rowCount(), 3);
    m.setTextFilter("", {"code"});
    QCOMPARE(m.rowCount(), 10);
}

void TestModels::dateFilterKeepsDaysBetween() {
    GridModel& m = goodsGrid(10);
    m.setDateFilter("Keyin_time", {QDate(2006, 12, 3), QDate(2006, 12, 5)});  // days 3, 4, 5 (ends inclusive)
    QCOMPARE(m.rowCount(), 3);
    m.setDateFilter("Keyin_time", {QDate(2006, 12, 9), QDate()});
    QCOMPARE(m.rowCount(), 3);  // days 9, 10, 11
}

void TestModels::columnFilterAndDistinctTexts() {
    GridModel& m = goodsGrid(9);
    QCOMPARE(m.distinctTexts("Goods_unit"), QStringList({"个", "套"}));
    m.setColumnFilter("Goods_unit", {"套"});
    QCOMPARE(m.rowCount(), 3);
    QVERIFY(m.isFiltered());
    m.setColumnFilter("Goods_unit", {}, "个");
    QCOMPARE(m.rowCount(), 6);
    m.setColumnFilter("Goods_unit", {});
    QCOMPARE(m.rowCount(), 9);
    QVERIFY(!m.isFiltered());
}

void TestModels::editsPostIntoTheDataset() {
    GridModel& m = goodsGrid(3);
    QList<GridColumn> cols = TestBooks::goodsColumns(m_book->db());
    cols[1].editable = true;
    m.setColumns(cols);
    m.setReadOnly(false);
    QVERIFY(!(m.flags(m.index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(m.flags(m.index(0, 1)) & Qt::ItemIsEditable);
    QVERIFY(m.setData(m.index(1, 1), "新名称"));
    QCOMPARE(m_goods->value(1, "Goods_name").toString(), QString("新名称"));
    QCOMPARE(m_goods->rowStatus(1), Dataset::RowStatus::Modified);
    QSignalSpy failed(&m, &GridModel::editFailed);
    QVERIFY(!m.setData(m.index(1, 1), QString(101, 'x')));  // longer than the field
    QCOMPARE(failed.count(), 1);
    QCOMPARE(m_goods->value(1, "Goods_name").toString(), QString("新名称"));
    m.setReadOnly(true);
    QVERIFY(!m.setData(m.index(1, 1), "x"));
    QCOMPARE(m_goods->value(1, "Goods_name").toString(), QString("新名称"));
}

// Rows appended, deleted, given back by cancelUpdates and dropped by close
// reach the model in the order item views expect.
void TestModels::gridModelFollowsItsDataset() {
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

void TestModels::treeBuildsFromParentIds() {
    TreeModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    m.setNodes({{1, -1, "全部客户", 0},
                {2, 1, "北京", 0},
                {3, 1, "上海", 0},
                {4, 2, "朝阳", 0},
                {5, 99, "孤儿", 0},
                {6, 7, "环A", 0},
                {7, 6, "环B", 0}});
    // The root, the orphan, and the loop cut open where the walk met it.
    QCOMPARE(m.rowCount(), 3);
    QCOMPARE(m.data(m.index(1, 0)).toString(), QString("孤儿"));
    const QModelIndex cut = m.index(2, 0);
    QCOMPARE(m.data(cut).toString(), QString("环B"));
    QCOMPARE(m.rowCount(cut), 1);
    QCOMPARE(m.data(m.index(0, 0, cut), TreeModel::IdRole).toInt(), 6);
    const QModelIndex root = m.indexOfId(1);
    QCOMPARE(root, m.index(0, 0));
    QCOMPARE(m.rowCount(root), 2);
    QCOMPARE(m.data(m.index(0, 0, root)).toString(), QString("北京"));
    QCOMPARE(m.parent(m.indexOfId(4)), m.indexOfId(2));
    QVERIFY(m.hasChildren(QVariant(2)));
    QVERIFY(!m.hasChildren(QVariant(3)));
    QList<QVariant> below = m.subtreeIds(1);
    QCOMPARE(below.size(), 4);
    QVERIFY(below.contains(QVariant(4)));
    QVERIFY(!below.contains(QVariant(5)));
    QCOMPARE(m.subtreeIds(3), QList<QVariant>{3});
    m.setNodes({});
    QCOMPARE(m.rowCount(), 0);
    QVERIFY(!m.indexOfId(1).isValid());
}

QTEST_GUILESS_MAIN(TestModels)
#include "test_models.moc"
