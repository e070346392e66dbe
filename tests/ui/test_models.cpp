#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <tuple>

#include "data/dataset.h"
#include "support/goods_rows.h"
#include "support/test_books.h"
#include "ui/grid_model.h"
#include "ui/tree_model.h"

// The grid and tree models of the window kit, without widgets: each case
// runs under QAbstractItemModelTester.
namespace {
// `n` goods in a grid with the goods columns.
struct GoodsGrid {
    TestBooks::FreshBook book{"sqlite"};
    Dataset goods{book.db()};
    GridModel m;
    QAbstractItemModelTester tester{&m, QAbstractItemModelTester::FailureReportingMode::QtTest};
    explicit GoodsGrid(int n) {
        TestBooks::fillGoods(goods, n);
        m.setDataset(&goods);
        m.setColumns(TestBooks::goodsColumns(book.db()));
    }
};

// What a view shows under `parent`: a row's cells between "|", rows
// between ",", a node's children in brackets.
QString shown(const QAbstractItemModel& m, const QModelIndex& parent = {}) {
    QStringList rows;
    for (int r = 0; r < m.rowCount(parent); ++r) {
        QStringList cells;
        for (int c = 0; c < m.columnCount(parent); ++c) {
            cells << m.index(r, c, parent).data().toString();
        }
        const QModelIndex first = m.index(r, 0, parent);
        rows << cells.join('|') + (m.rowCount(first) > 0 ? "(" + shown(m, first) + ")" : QString());
    }
    return rows.join(',');
}
}  // namespace

class TestModels : public QObject {
    Q_OBJECT
private slots:
    // The declared columns with their formats and lookups; the filters: a
    // text as LIKE over several columns (OR, "%" and "_" typed are
    // themselves, a lookup column by its names), days between two dates
    // (ends inclusive, either open), a column's chosen texts.
    void columnsAndFilters() {
        GoodsGrid g(10);
        GridModel& m = g.m;
        QCOMPARE(m.headerData(1, Qt::Horizontal).toString(), QString("商品名称"));
        QCOMPARE(shown(m).section(',', 0, 2),
                 QString("SP00000001|合页1|个|1.50|2006-12-02|备注1,SP00000002|Lock_2|个|3.00|2006-12-03|备注2,"
                         "SP00000003|合页3|套|4.50|2006-12-04|备注3"));
        QCOMPARE(m.data(m.index(2, 2), Qt::EditRole).toString(), QString("UN003"));
        QCOMPARE(m.distinctTexts("Goods_unit"), QStringList({"个", "套"}));
        const std::tuple<const char*, QStringList, int> texts[] = {
            {"SP0000000", {"code", "Goods_name"}, 9},  // SP00000010 has a 1 there
            {"合页", {"code", "Goods_name"}, 5},
            {"套", {"Goods_unit"}, 3},
            {"%_", {"Goods_name", "remark"}, 1},  // SP00000004's remark 100%_off
            {"", {"code"}, 10}};
        for (const auto& [text, fields, shown] : texts) {
            m.setTextFilter(text, fields);
            QVERIFY2(m.rowCount() == shown, text);
            QVERIFY(shown != 1 || m.data(m.index(0, 0)).toString() == "SP00000004");
        }
        m.setDateFilter("Keyin_time", {QDate(2006, 12, 3), QDate(2006, 12, 5)});
        QCOMPARE(m.rowCount(), 3);
        m.setDateFilter("Keyin_time", {QDate(2006, 12, 9), QDate()});  // days 9, 10, 11
        QCOMPARE(m.rowCount(), 3);
        m.clearFilters();
        m.setColumnFilter("Goods_unit", {"套"});
        QCOMPARE(m.rowCount(), 3);
        m.setColumnFilter("Goods_unit", {}, "个");
        QCOMPARE(m.rowCount(), 7);
        QVERIFY(m.isFiltered());
        m.setColumnFilter("Goods_unit", {});
        QCOMPARE(m.rowCount(), 10);
        QVERIFY(!m.isFiltered());
    }

    void footerFollowsEditsAndFilters() {
        GoodsGrid g(10);
        GridModel& m = g.m;
        m.setFooter(
            {FooterSummary::count("code", "共 0 个货品"), FooterSummary::sum("Default_TotalPrice", "合计:0.00")});
        auto footer = [&m] { return m.footerText("code") + " " + m.footerText("Default_TotalPrice"); };
        QCOMPARE(footer(), QString("共 10 个货品 合计:82.50"));
        g.goods.setCurrentRow(0);
        g.goods.setValue("Default_TotalPrice", 101.5);
        g.goods.post();
        QCOMPARE(footer(), QString("共 10 个货品 合计:182.50"));
        g.goods.append();
        g.goods.setValue("code", "SP99");
        g.goods.setValue("Default_TotalPrice", 1000);
        g.goods.post();
        QCOMPARE(footer(), QString("共 11 个货品 合计:1182.50"));
        g.goods.deleteCurrent();
        QCOMPARE(footer(), QString("共 10 个货品 合计:182.50"));
        m.setTextFilter("lock", {"Goods_name"});
        QCOMPARE(footer(), QString("共 5 个货品 合计:45.00"));
        m.clearFilters();
        QCOMPARE(m.footerText("code"), QString("共 10 个货品"));
        QCOMPARE(FooterSummary::sum("x", "合计：#,##0.00 元").render(1234567.5), QString("合计：1,234,567.50 元"));
    }

    // Edits post into the dataset on editable columns only, a value the
    // field refuses is said and leaves the row, a read-only grid edits
    // nothing. Rows appended, deleted, given back by cancelUpdates and
    // dropped by close reach the model in the order item views expect.
    void editsAndRowsFollowTheDataset() {
        GoodsGrid g(3);
        GridModel& m = g.m;
        QList<GridColumn> cols = TestBooks::goodsColumns(g.book.db());
        cols[1].editable = true;
        m.setColumns(cols);
        m.setReadOnly(false);
        QVERIFY(!(m.flags(m.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(m.flags(m.index(0, 1)) & Qt::ItemIsEditable);
        QVERIFY(m.setData(m.index(1, 1), "新名称"));
        QCOMPARE(g.goods.rowStatus(1), Dataset::RowStatus::Modified);
        QSignalSpy failed(&m, &GridModel::editFailed);
        QVERIFY(!m.setData(m.index(1, 1), QString(101, 'x')));  // longer than the field
        QCOMPARE(failed.count(), 1);
        m.setReadOnly(true);
        QVERIFY(!m.setData(m.index(1, 1), "x"));
        QCOMPARE(g.goods.value(1, "Goods_name").toString(), QString("新名称"));

        Dataset units(g.book.db());
        m.setDataset(&units);
        m.setColumns({GridColumn::make("unit_code", "编码"), GridColumn::make("Unit_name", "计量单位").asEditable()});
        m.setReadOnly(false);
        units.openTable("unit", "unit_code");
        QCOMPARE(m.rowCount(), 6);
        const QModelIndex name = m.index(2, 1);
        QVERIFY(m.setData(name, "套装"));
        QCOMPARE(units.value(2, "Unit_name").toString(), QString("套装"));
        QCOMPARE(units.state(), Dataset::State::Browse);
        units.append();
        units.setValue("unit_code", "UN020");
        units.post();
        QCOMPARE(m.rowCount(), 7);
        units.setCurrentRow(0);
        units.deleteCurrent();
        QCOMPARE(m.rowCount(), 6);
        QCOMPARE(m.data(m.index(0, 0)).toString(), QString("UN002"));
        units.cancelUpdates();
        QCOMPARE(m.rowCount(), 6);
        QCOMPARE(m.data(m.index(0, 0)).toString() + m.data(name).toString(), QString("UN001套"));
        units.close();
        QCOMPARE(m.rowCount(), 0);
    }

    // The root, the orphan, and the loop cut open where the walk met it.
    void treeBuildsFromParentIds() {
        TreeModel m;
        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        m.setNodes({{1, -1, "全部客户", 0},
                    {2, 1, "北京", 0},
                    {3, 1, "上海", 0},
                    {4, 2, "朝阳", 0},
                    {5, 99, "孤儿", 0},
                    {6, 7, "环A", 0},
                    {7, 6, "环B", 0}});
        QCOMPARE(shown(m), QString("全部客户(北京(朝阳),上海),孤儿,环B(环A)"));
        QCOMPARE(m.data(m.index(0, 0, m.index(2, 0)), TreeModel::IdRole).toInt(), 6);
        const QModelIndex root = m.indexOfId(1);
        QCOMPARE(root, m.index(0, 0));
        QCOMPARE(m.parent(m.indexOfId(4)), m.indexOfId(2));
        QVERIFY(m.hasChildren(QVariant(2)) && !m.hasChildren(QVariant(3)));
        const QList<QVariant> below = m.subtreeIds(1);
        QVERIFY(below.size() == 4 && below.contains(QVariant(4)) && !below.contains(QVariant(5)));
        QCOMPARE(m.subtreeIds(3), QList<QVariant>{3});
        m.setNodes({});
        QCOMPARE(m.rowCount(), 0);
        QVERIFY(!m.indexOfId(1).isValid());
    }
};

QTEST_GUILESS_MAIN(TestModels)
#include "test_models.moc"
