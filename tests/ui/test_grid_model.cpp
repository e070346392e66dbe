#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QTest>
#include <algorithm>

#include "data/dataset.h"
#include "support/test_books.h"
#include "ui/grid_model.h"
#include "ui/grid_row_index.h"

// The grid model's rows stay in step with its dataset: which grid row shows
// which dataset row, both ways, through deletes, inserts, edits, sorts and
// filters, checked against plain lists kept by the test.
class TestGridModel : public QObject {
    Q_OBJECT
private slots:
    void indexMatchesPlainLists_data();
    void indexMatchesPlainLists();
    void rowsFollowTheDataset_data();
    void rowsFollowTheDataset();
    void sortingKeepsEqualRowsInReadOrder_data();
    void sortingKeepsEqualRowsInReadOrder();
};

namespace {

// The grid order as plain lists: what the index must answer.
struct PlainRows {
    QVector<int> shown;  // dataset rows in grid order
    int count = 0;       // dataset rows

    void removeDatasetRow(int r) {
        shown.removeAll(r);
        for (int& v : shown) {
            v -= v > r ? 1 : 0;
        }
        --count;
    }
};

void compareIndex(const GridRowIndex& index, const PlainRows& plain) {
    QCOMPARE(index.gridRowCount(), plain.shown.size());
    QCOMPARE(index.datasetRowCount(), plain.count);
    QCOMPARE(index.datasetRows(), plain.shown);
    for (int g = 0; g < plain.shown.size(); ++g) {
        QCOMPARE(index.datasetRow(g), plain.shown[g]);
    }
    for (int r = 0; r < plain.count; ++r) {
        QCOMPARE(index.gridRow(r), int(plain.shown.indexOf(r)));
    }
    QCOMPARE(index.datasetRow(plain.shown.size()), -1);
    QCOMPARE(index.gridRow(plain.count), -1);
    QCOMPARE(index.gridRow(-1), -1);
}

}  // namespace

void TestGridModel::indexMatchesPlainLists_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<quint32>("seed");
    QTest::newRow("empty") << 0 << 1u;
    QTest::newRow("seven rows") << 7 << 3u;
    QTest::newRow("a thousand") << 1000 << 5u;
}

// Random removals, hidden rows, appends and insertions before the end,
// against the plain lists.
void TestGridModel::indexMatchesPlainLists() {
    QFETCH(int, rows);
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    PlainRows plain;
    plain.count = rows;
    for (int r = 0; r < rows; ++r) {
        if (random.bounded(4) != 0) {  // a quarter filtered out
            plain.shown.append(r);
        }
    }
    std::shuffle(plain.shown.begin(), plain.shown.end(), random);  // a sort
    GridRowIndex index;
    index.assign(plain.shown, plain.count);
    compareIndex(index, plain);
    for (int step = 0; step < 3 * rows + 20; ++step) {
        const int op = random.bounded(10);
        if (op < 5 && plain.count > 0) {
            // A dataset row goes, shown or not; its grid row first.
            const int r = random.bounded(plain.count);
            index.removeGridRow(index.gridRow(r));
            index.removeDatasetRow(r);
            plain.removeDatasetRow(r);
        } else if (op < 7 && !plain.shown.isEmpty()) {
            // A grid row goes while the dataset keeps the row.
            const int g = random.bounded(plain.shown.size());
            index.removeGridRow(g);
            plain.shown.remove(g);
        } else if (op < 9) {
            index.insertDatasetRow(plain.count);
            plain.shown.append(plain.count++);
        } else {
            const int r = random.bounded(plain.count + 1);
            index.insertDatasetRow(r);
            for (int& v : plain.shown) {
                v += v >= r ? 1 : 0;
            }
            plain.shown.append(r);
            ++plain.count;
        }
        compareIndex(index, plain);
        if (QTest::currentTestFailed()) {
            qWarning("step %d, operation %d", step, op);
            return;
        }
    }
}

void TestGridModel::rowsFollowTheDataset_data() {
    QTest::addColumn<QString>("sortField");
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<quint32>("seed");
    QTest::newRow("dataset order") << QString() << int(Qt::AscendingOrder) << QString() << 11u;
    QTest::newRow("price, filtered") << QString("Default_price") << int(Qt::DescendingOrder) << QString("lock") << 14u;
}

// Random deletes (shown and filtered-out rows, one or several at once),
// appends, cancelled appends, edits, sorts and filters; after each step the
// grid shows exactly the expected codes and maps rows both ways.
void TestGridModel::rowsFollowTheDataset() {
    QFETCH(QString, sortField);
    QFETCH(int, order);
    QFETCH(QString, filter);
    QFETCH(quint32, seed);
    TestBooks::FreshBook book("sqlite");
    constexpr int kGoods = 80;
    {
        WriteTransaction tx(book.db());
        for (int i = 1; i <= kGoods; ++i) {
            book.db().query("insert into goods (code, Goods_name, Default_price) values (:c, :n, :p)",
                            {{"c", QString("SP%1").arg(i, 4, 10, QChar('0'))},
                             {"n", i % 2 ? QString("合页%1").arg(i) : QString("Lock_%1").arg(i)},
                             {"p", (i * 37) % 101 + i / 1000.0}});
        }
        tx.commit();
    }
    Dataset goods(book.db());
    goods.openTable("goods", "code");
    GridModel model;
    model.setDataset(&goods);
    model.setColumns({GridColumn::make("code", "商品编码"), GridColumn::make("Goods_name", "商品名称"),
                      GridColumn::make("Default_price", "默认售价")});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    // What the grid should show, worked out from the dataset alone.
    QString currentFilter;
    int sortColumn = -1;
    auto sortKey = [&](int r) { return goods.value(r, sortColumn == 1 ? "Goods_name" : "code").toString(); };
    auto sorted = [&](QVector<int> rows) {
        const Qt::SortOrder o = model.sortOrder();
        if (sortColumn == 2) {
            std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
                const double x = goods.value(a, "Default_price").toDouble();
                const double y = goods.value(b, "Default_price").toDouble();
                return o == Qt::AscendingOrder ? x < y : x > y;
            });
        } else if (sortColumn >= 0) {
            std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
                const int c = QString::compare(sortKey(a), sortKey(b));
                return o == Qt::AscendingOrder ? c < 0 : c > 0;
            });
        }
        return rows;
    };
    auto expectedFromScratch = [&] {
        QStringList codes;
        QVector<int> rows;
        for (int r = 0; r < goods.rowCount(); ++r) {
            if (goods.value(r, "Goods_name").toString().contains(currentFilter, Qt::CaseInsensitive)) {
                rows.append(r);
            }
        }
        for (int r : sorted(rows)) {
            codes << goods.value(r, "code").toString();
        }
        return codes;
    };
    QStringList expected = expectedFromScratch();

    auto check = [&] {
        QCOMPARE(model.rowCount(), expected.size());
        for (int g = 0; g < expected.size(); ++g) {
            QCOMPARE(model.data(model.index(g, 0)).toString(), expected[g]);
            const int r = model.datasetRow(g);
            QCOMPARE(goods.value(r, "code").toString(), expected[g]);
            QCOMPARE(model.gridRow(r), g);
            QCOMPARE(model.data(model.index(g, 1)).toString(), goods.value(r, "Goods_name").toString());
        }
        int shown = 0;
        for (int r = 0; r < goods.rowCount(); ++r) {
            const int g = model.gridRow(r);
            if (g >= 0) {
                ++shown;
                QCOMPARE(expected.value(g), goods.value(r, "code").toString());
            } else {
                QVERIFY(!expected.contains(goods.value(r, "code").toString()));
            }
        }
        QCOMPARE(shown, expected.size());
    };

    if (!sortField.isEmpty()) {
        sortColumn = model.columnOf(sortField);
        model.sort(sortColumn, Qt::SortOrder(order));
    }
    currentFilter = filter;
    model.setTextFilter(filter, {"Goods_name"});
    expected = expectedFromScratch();
    check();

    QRandomGenerator random(seed);
    int next = kGoods + 1;
    for (int step = 0; step < 150 && !QTest::currentTestFailed(); ++step) {
        const int op = random.bounded(12);
        const char* what = "nothing";
        if (op < 4 && !expected.isEmpty()) {
            // Deleting shown rows, one or several at once, as the grid does.
            QList<int> rows;
            const int n = 1 + random.bounded(3);
            for (int k = 0; k < n; ++k) {
                const int g = random.bounded(model.rowCount());
                rows << model.datasetRow(g);
            }
            for (int r : rows) {
                expected.removeAll(goods.value(r, "code").toString());
            }
            goods.deleteRows(rows);
            what = "deleting shown rows";
        } else if (op < 5 && goods.rowCount() > 0) {
            // A row the filter hides is deleted through the dataset.
            const int r = random.bounded(goods.rowCount());
            expected.removeAll(goods.value(r, "code").toString());
            goods.deleteRows({r});
            what = "deleting any dataset row";
        } else if (op < 7) {
            // A new row shows last, whatever the filter and the sort.
            goods.append();
            const QString code = QString("SP%1").arg(next, 4, 10, QChar('0'));
            goods.setValue("code", code);
            goods.setValue("Goods_name", QString("新%1").arg(next++));
            goods.setValue("Default_price", random.bounded(100));
            goods.post();
            expected << code;
            what = "appending";
        } else if (op < 8) {
            goods.append();
            goods.cancel();
            what = "cancelling an append";
        } else if (op < 9 && goods.rowCount() > 0) {
            // An edit keeps the row where it is.
            const int r = random.bounded(goods.rowCount());
            goods.editCell(r, goods.fieldIndex("Goods_name"), QString("改%1").arg(step));
            what = "editing";
        } else if (op < 10) {
            sortColumn = random.bounded(3);
            const Qt::SortOrder o = random.bounded(2) ? Qt::AscendingOrder : Qt::DescendingOrder;
            model.sort(sortColumn, o);
            // Sorting orders the rows shown now, new rows included.
            QVector<int> rows;
            for (const QString& code : std::as_const(expected)) {
                for (int r = 0; r < goods.rowCount(); ++r) {
                    if (goods.value(r, "code").toString() == code) {
                        rows << r;
                    }
                }
            }
            expected.clear();
            for (int r : sorted(rows)) {
                expected << goods.value(r, "code").toString();
            }
            what = "sorting";
        } else {
            currentFilter = QString::number(random.bounded(10));
            model.setTextFilter(currentFilter, {"Goods_name"});
            expected = expectedFromScratch();
            what = "filtering";
        }
        check();
        if (QTest::currentTestFailed()) {
            qWarning("step %d: %s", step, what);
        }
    }
}

void TestGridModel::sortingKeepsEqualRowsInReadOrder_data() {
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("order");
    QTest::addColumn<QList<int>>("expected");  // dataset rows in grid order
    QTest::newRow("read in the opposite order")
        << QStringList{"a", "b", "c"} << int(Qt::DescendingOrder) << QList<int>{2, 1, 0};
    QTest::newRow("opposite order with equal keys")
        << QStringList{"a", "b", "b", "c"} << int(Qt::DescendingOrder) << QList<int>{3, 1, 2, 0};
    QTest::newRow("all equal") << QStringList{"b", "b", "b"} << int(Qt::DescendingOrder) << QList<int>{0, 1, 2};
    QTest::newRow("mixed") << QStringList{"b", "a", "c", "a"} << int(Qt::AscendingOrder) << QList<int>{1, 3, 0, 2};
}

// Sorting is stable whatever order the rows were read in: rows with equal
// keys keep the order they were read in.
void TestGridModel::sortingKeepsEqualRowsInReadOrder() {
    QFETCH(QStringList, keys);
    QFETCH(int, order);
    QFETCH(QList<int>, expected);
    TestBooks::FreshBook book("sqlite");
    book.db().query("create table k (id integer primary key, key text)");
    for (const QString& k : keys) {
        book.db().query("insert into k (key) values (:k)", {{"k", k}});
    }
    Dataset rows(book.db());
    rows.open("select * from k order by id");
    GridModel model;
    model.setDataset(&rows);
    model.setColumns({GridColumn::make("key", "键")});
    model.sort(0, Qt::SortOrder(order));
    QList<int> shown;
    for (int g = 0; g < model.rowCount(); ++g) {
        shown << model.datasetRow(g);
    }
    QCOMPARE(shown, expected);
}

QTEST_GUILESS_MAIN(TestGridModel)
#include "test_grid_model.moc"
