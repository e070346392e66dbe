#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <tuple>

#include "data/book_checks.h"
#include "data/dataset.h"
#include "support/goods_rows.h"
#include "support/test_books.h"
#include "ui/grid_model.h"

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

// What a view shows: a row's cells between "|", rows between ",".
QString shown(const QAbstractItemModel& m) {
    QStringList rows;
    for (int r = 0; r < m.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m.columnCount(); ++c) {
            cells << m.index(r, c).data().toString();
        }
        rows << cells.join('|');
    }
    return rows.join(',');
}
}  // namespace

// The grid model of the window kit, without widgets, under QAbstractItemModelTester.
class TestModels : public QObject {
    Q_OBJECT
private slots:
    // Formats and lookups; text ("%", "_" literal), day and column filters; a stable sort; the footer.
    void columnsFiltersAndFooter() {
        GoodsGrid g(10);
        GridModel& m = g.m;
        QCOMPARE(m.headerData(1, Qt::Horizontal).toString(), QString("商品名称"));
        QCOMPARE(shown(m).section(',', 0, 2),
                 QString("SP00000001|合页1|个|1.50|2006-12-02|备注1,SP00000002|Lock_2|个|3.00|2006-12-03|备注2,"
                         "SP00000003|合页3|套|4.50|2006-12-04|备注3"));
        QCOMPARE(m.data(m.index(2, 2), Qt::EditRole).toString(), QString("UN003"));
        QCOMPARE(m.distinctTexts("Goods_unit"), QStringList({"个", "套"}));
        const std::tuple<const char*, QStringList, int> texts[] = {
            {"合页", {"code", "Goods_name"}, 5},
            {"套", {"Goods_unit"}, 3},
            {"%_", {"Goods_name", "remark"}, 1},  // SP00000004's remark 100%_off
            {"", {"code"}, 10}};
        for (const auto& [text, fields, shown] : texts) {
            m.setTextFilter(text, fields);
            QVERIFY2(m.rowCount() == shown, text);
            QVERIFY(shown != 1 || m.data(m.index(0, 0)).toString() == "SP00000004");
        }
        m.setDateFilter("Keyin_time", {QDate(2006, 12, 9), QDate()});  // days 9, 10, 11
        QCOMPARE(m.rowCount(), 3);
        m.clearFilters();
        m.setColumnFilter("Goods_unit", {}, "个");
        QVERIFY(m.rowCount() == 7 && m.isFiltered());
        m.setColumnFilter("Goods_unit", {});
        QVERIFY(m.rowCount() == 10 && !m.isFiltered());
        m.sort(2, Qt::DescendingOrder);
        QStringList codes;
        for (int g = 0; g < m.rowCount(); ++g) {
            codes << m.index(g, 0).data().toString().right(2);
        }
        QCOMPARE(codes.join(','), QString("03,06,09,01,02,04,05,07,08,10"));
        // The footer follows edits and filters.
        m.setFooter(
            {FooterSummary::count("code", "共 0 个货品"), FooterSummary::sum("Default_TotalPrice", "合计:0.00")});
        auto footer = [&m] { return m.footerText("code") + " " + m.footerText("Default_TotalPrice"); };
        QCOMPARE(footer(), QString("共 10 个货品 合计:82.50"));
        // Computed once per change, however often it is read.
        const int once = m.footerRecomputations();
        g.goods.setCurrentRow(0);
        g.goods.setValue("Default_TotalPrice", 101.5);
        g.goods.post();
        QCOMPARE(footer(), QString("共 10 个货品 合计:182.50"));
        QCOMPARE(footer(), QString("共 10 个货品 合计:182.50"));
        QCOMPARE(m.footerRecomputations(), once + 1);
        BookChecks::appendRow(g.goods, {{"code", "SP99"}, {"Default_TotalPrice", 1000}});
        g.goods.post();
        QStringList seen{footer()};
        g.goods.deleteCurrent();
        seen << footer();
        m.setTextFilter("lock", {"Goods_name"});
        seen << footer();
        m.clearFilters();
        seen << footer();
        QCOMPARE(seen, QStringList({"共 11 个货品 合计:1182.50", "共 10 个货品 合计:182.50", "共 5 个货品 合计:45.00",
                                    "共 10 个货品 合计:182.50"}));
        QCOMPARE(FooterSummary::sum("x", "合计：#,##0.00 元").render(1234567.5), QString("合计：1,234,567.50 元"));
    }

    // Edits post on editable columns only; rows appended, deleted, given back and closed reach the model.
    void editsAndRowsFollowTheDataset() {
        GoodsGrid g(3);
        GridModel& m = g.m;
        QList<GridColumn> cols = TestBooks::goodsColumns(g.book.db());
        cols[1].editable = true;
        m.setColumns(cols);
        m.setReadOnly(false);
        QVERIFY(!(m.flags(m.index(0, 0)) & Qt::ItemIsEditable) && (m.flags(m.index(0, 1)) & Qt::ItemIsEditable));
        QVERIFY(m.setData(m.index(1, 1), "新名称"));
        QCOMPARE(g.goods.rowStatus(1), Dataset::RowStatus::Modified);
        QSignalSpy failed(&m, &GridModel::editFailed);
        QVERIFY(!m.setData(m.index(1, 1), QString(101, 'x')));  // longer than the field
        QCOMPARE(failed.count(), 1);
        // A date cell left with a day that does not exist is refused, never stored as no date.
        const QVariant stamped = g.goods.value(1, "Keyin_time");
        QVERIFY_THROWS_EXCEPTION(UserError, g.goods.editCell(1, g.goods.fieldIndex("Keyin_time"), "2026-02-30"));
        QCOMPARE(g.goods.value(1, "Keyin_time"), stamped);
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
        BookChecks::appendRow(units, {{"unit_code", "UN020"}});
        units.post();
        QCOMPARE(m.rowCount(), 7);
        units.setCurrentRow(0);
        units.deleteCurrent();
        QCOMPARE(QString::number(m.rowCount()) + m.data(m.index(0, 0)).toString(), QString("6UN002"));
        units.cancelUpdates();
        QCOMPARE(QString::number(m.rowCount()) + m.data(m.index(0, 0)).toString() + m.data(name).toString(),
                 QString("6UN001套"));
        units.close();
        QCOMPARE(m.rowCount(), 0);
    }

    // Random deletes, appends, edits, sorts and filters: the grid maps rows both ways after each step.
    void rowsFollowTheDataset() {
        for (const auto& [sortColumn, filter, seed] :
             {std::tuple{-1, QString(), 11u}, std::tuple{2, QString("lock"), 14u}}) {
            TestBooks::FreshBook book("sqlite");
            book.db().query(
                "with recursive n(i) as (select 1 union all select i + 1 from n where i < 80) "
                "insert into goods (code, Goods_name, Default_price) select printf('SP%04d', i), "
                "case when i % 2 then '合页' || i else 'Lock_' || i end, (i * 37) % 101 + i / 1000.0 from n");
            Dataset goods(book.db());
            goods.openTable("goods", "code");
            GridModel model;
            model.setDataset(&goods);
            const QStringList fields{"code", "Goods_name", "Default_price"};
            model.setColumns({GridColumn::make(fields[0], "商品编码"), GridColumn::make(fields[1], "商品名称"),
                              GridColumn::make(fields[2], "默认售价")});
            QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
            auto code = [&goods](int r) { return goods.value(r, "code").toString(); };

            // The codes of `rows` (none: all the filter passes) in the grid's sort.
            QString currentFilter = filter;
            auto expectedOf = [&](QVector<int> rows) {
                for (int r = 0, all = rows.isEmpty(); all && r < goods.rowCount(); ++r) {
                    if (goods.value(r, "Goods_name").toString().contains(currentFilter, Qt::CaseInsensitive)) {
                        rows.append(r);
                    }
                }
                if (model.sortColumn() >= 0) {
                    const QString field = fields[model.sortColumn()];
                    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
                        const auto c = QVariant::compare(goods.value(a, field), goods.value(b, field));
                        return c == (model.sortOrder() == Qt::AscendingOrder ? QPartialOrdering::Less
                                                                             : QPartialOrdering::Greater);
                    });
                }
                QStringList codes;
                for (int r : rows) {
                    codes << code(r);
                }
                return codes;
            };
            if (sortColumn >= 0) {
                model.sort(sortColumn, Qt::DescendingOrder);
            }
            model.setTextFilter(filter, {"Goods_name"});
            QStringList expected = expectedOf({});
            QRandomGenerator random(seed);
            int next = 81;
            for (int step = 0; step < 150 && !QTest::currentTestFailed(); ++step) {
                const int op = random.bounded(12);
                if (op < 4 && !expected.isEmpty()) {
                    // Deleting shown rows, one or several at once, as the grid does.
                    QList<int> rows;
                    for (int k = 0, n = 1 + random.bounded(3); k < n; ++k) {
                        rows << model.datasetRow(random.bounded(model.rowCount()));
                        expected.removeAll(code(rows.last()));
                    }
                    goods.deleteRows(rows);
                } else if (op < 5 && goods.rowCount() > 0) {
                    // A row the filter may hide is deleted through the dataset.
                    const int r = random.bounded(goods.rowCount());
                    expected.removeAll(code(r));
                    goods.deleteRows({r});
                } else if (op < 7) {
                    // A new row shows last, whatever the filter and the sort.
                    expected << QString("SP%1").arg(next, 4, 10, QChar('0'));
                    BookChecks::appendRow(goods, {{"code", expected.last()},
                                                  {"Goods_name", QString("新%1").arg(next++)},
                                                  {"Default_price", random.bounded(100)}});
                    goods.post();
                } else if (op < 8) {
                    goods.append();
                    goods.cancel();
                } else if (op < 9 && goods.rowCount() > 0) {
                    // An edit keeps the row where it is.
                    goods.editCell(random.bounded(goods.rowCount()), goods.fieldIndex("Goods_name"),
                                   QString("改%1").arg(step));
                } else if (op < 10) {
                    // Sorting orders the rows shown now, new rows included.
                    model.sort(random.bounded(3), random.bounded(2) ? Qt::AscendingOrder : Qt::DescendingOrder);
                    QVector<int> rows;
                    for (int r = 0; r < goods.rowCount(); ++r) {
                        if (expected.contains(code(r))) {
                            rows << r;
                        }
                    }
                    expected = expectedOf(rows);
                } else {
                    currentFilter = QString::number(random.bounded(10));
                    model.setTextFilter(currentFilter, {"Goods_name"});
                    expected = expectedOf({});
                }
                // Every dataset row is where expected, or hidden; every grid row shows its dataset row.
                QCOMPARE(model.rowCount(), expected.size());
                for (int r = 0; r < goods.rowCount(); ++r) {
                    const int g = model.gridRow(r);
                    QCOMPARE(g, int(expected.indexOf(code(r))));
                    QVERIFY(g < 0 || (model.datasetRow(g) == r && model.data(model.index(g, 0)).toString() == code(r) &&
                                      model.data(model.index(g, 1)) == goods.value(r, "Goods_name")));
                }
                if (QTest::currentTestFailed()) {
                    qWarning("seed %u, step %d, operation %d", seed, step, op);
                }
            }
        }
    }
    // Rows of a server list read in parts join the grid as they come, through the grid's filters: at the end, and
    // when they come out of the grid's order, sorted in with the last part. Until the last part the footer shows the
    // totals counted on the server once they came, or "…" when a filter leaves them unknown; then the rows' own.
    void rowsReadInPartsJoinTheGrid() {
        if (!TestBooks::postgresConfigured()) {
            QSKIP("needs ./test's PostgreSQL");
        }
        TestBooks::FreshBook book("postgres");
        Dataset goods(book.db());
        TestBooks::fillGoods(goods, 1000);
        for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            GridModel m;
            QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
            m.setDataset(&goods);
            m.setColumns(TestBooks::goodsColumns(book.db()));
            m.setFooter(
                {FooterSummary::count("code", "共 0 个货品"), FooterSummary::sum("Default_TotalPrice", "0.00")});
            m.sort(0, order);
            goods.setReadInParts(100);
            goods.open("select * from goods order by code");
            auto footer = [&m] { return m.footerText("code") + " " + m.footerText("Default_TotalPrice"); };
            QCOMPARE(m.rowCount(), 100);
            // The server's count and sums come after the first rows, with the next part.
            QCOMPARE(footer(), QString("共 … 个货品 …"));
            QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
            QSignalSpy relaid(&m, &QAbstractItemModel::layoutChanged);
            goods.readMoreRows(200);
            QCOMPARE(m.rowCount(), 300);
            // Out of the grid's order, they wait at the end until the last part.
            QVERIFY(relaid.isEmpty() && inserted.size() == 1);
            QCOMPARE(m.index(299, 0).data().toString(), QString("SP00000300"));
            QCOMPARE(footer(), QString("共 1000 个货品 750750.00"));
            m.setTextFilter("0", {"code"});  // SP00000001 to SP00000300 all hold a zero
            QCOMPARE(footer(), QString("共 … 个货品 …"));
            m.setTextFilter("7", {"code"});
            while (goods.hasMoreRows()) {
                goods.readMoreRows(150);
            }
            // 271 codes from 1 to 1000 hold a 7.
            QCOMPARE(m.rowCount(), 271);
            QCOMPARE(m.footerText("code"), QString("共 271 个货品"));
            const QString first = m.index(0, 0).data().toString();
            const QString last = m.index(270, 0).data().toString();
            if (order == Qt::AscendingOrder) {
                QCOMPARE(first + " " + last, QString("SP00000007 SP00000997"));
                QVERIFY(relaid.isEmpty() && !inserted.isEmpty());
            } else {
                QCOMPARE(first + " " + last, QString("SP00000997 SP00000007"));
                QVERIFY(!relaid.isEmpty());
            }
            m.setTextFilter("", {"code"});
            QCOMPARE(m.rowCount(), 1000);
            QCOMPARE(footer(), QString("共 1000 个货品 750750.00"));
        }
    }
};

QTEST_GUILESS_MAIN(TestModels)
#include "test_models.moc"
