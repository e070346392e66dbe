#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <tuple>

#include "data/dataset.h"
#include "support/test_books.h"
#include "ui/grid_model.h"
#include "ui/grid_row_index.h"

// The grid model's rows stay in step with its dataset: which grid row shows
// which dataset row, both ways, through deletes, inserts, edits, sorts and
// filters, checked against plain lists kept by the test.
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

// The grid model's rows stay in step with its dataset: which grid row shows
// which dataset row, both ways, through deletes, inserts, edits, sorts and
// filters, checked against plain lists kept by the test.
class TestGridModel : public QObject {
    Q_OBJECT
private slots:
    // Random removals, hidden rows, appends and insertions before the end,
    // against the plain lists, for no rows, a few and a thousand.
    void indexMatchesPlainLists() {
        for (const auto& [rows, seed] : {std::pair{0, 1u}, std::pair{7, 3u}, std::pair{1000, 5u}}) {
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
            for (int step = 0; step < 3 * rows + 20 && !QTest::currentTestFailed(); ++step) {
                const int op = random.bounded(10);
                if (op < 5 && plain.count > 0) {  // a dataset row goes, shown or not; its grid row first
                    const int r = random.bounded(plain.count);
                    index.removeGridRow(index.gridRow(r));
                    index.removeDatasetRow(r);
                    plain.removeDatasetRow(r);
                } else if (op < 7 && !plain.shown.isEmpty()) {  // a grid row goes, the dataset keeps it
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
                    qWarning("%d rows, step %d, operation %d", rows, step, op);
                }
            }
        }
    }

    void rowsFollowTheDataset_data() {
        QTest::addColumn<QString>("sortField");
        QTest::addColumn<int>("order");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<quint32>("seed");
        QTest::newRow("dataset order") << QString() << int(Qt::AscendingOrder) << QString() << 11u;
        QTest::newRow("price, filtered") << QString("Default_price") << int(Qt::DescendingOrder) << QString("lock")
                                         << 14u;
    }

    // Random deletes (shown and filtered-out rows, one or several at once),
    // appends, cancelled appends, edits, sorts and filters; after each step
    // the grid shows exactly the expected codes and maps rows both ways.
    void rowsFollowTheDataset() {
        QFETCH(QString, sortField);
        QFETCH(int, order);
        QFETCH(QString, filter);
        QFETCH(quint32, seed);
        TestBooks::FreshBook book("sqlite");
        constexpr int kGoods = 80;
        WriteTransaction tx(book.db());
        for (int i = 1; i <= kGoods; ++i) {
            book.db().query("insert into goods (code, Goods_name, Default_price) values (:c, :n, :p)",
                            {{"c", QString("SP%1").arg(i, 4, 10, QChar('0'))},
                             {"n", i % 2 ? QString("合页%1").arg(i) : QString("Lock_%1").arg(i)},
                             {"p", (i * 37) % 101 + i / 1000.0}});
        }
        tx.commit();
        Dataset goods(book.db());
        goods.openTable("goods", "code");
        GridModel model;
        model.setDataset(&goods);
        model.setColumns({GridColumn::make("code", "商品编码"), GridColumn::make("Goods_name", "商品名称"),
                          GridColumn::make("Default_price", "默认售价")});
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        // What the grid should show, worked out from the dataset alone: the
        // codes of `rows` (all the dataset's that pass the filter when not
        // given) in the grid's sort.
        const QStringList fields{"code", "Goods_name", "Default_price"};
        QString currentFilter = filter;
        auto expectedOf = [&](QVector<int> rows) {
            if (rows.isEmpty()) {
                for (int r = 0; r < goods.rowCount(); ++r) {
                    if (goods.value(r, "Goods_name").toString().contains(currentFilter, Qt::CaseInsensitive)) {
                        rows.append(r);
                    }
                }
            }
            if (model.sortColumn() >= 0) {
                const QString field = fields[model.sortColumn()];
                std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
                    const QVariant x = goods.value(a, field);
                    const QVariant y = goods.value(b, field);
                    const int c = field == "Default_price"
                                      ? (x.toDouble() > y.toDouble()) - (x.toDouble() < y.toDouble())
                                      : QString::compare(x.toString(), y.toString());
                    return model.sortOrder() == Qt::AscendingOrder ? c < 0 : c > 0;
                });
            }
            QStringList codes;
            for (int r : rows) {
                codes << goods.value(r, "code").toString();
            }
            return codes;
        };
        if (!sortField.isEmpty()) {
            model.sort(model.columnOf(sortField), Qt::SortOrder(order));
        }
        model.setTextFilter(filter, {"Goods_name"});
        QStringList expected = expectedOf({});
        QRandomGenerator random(seed);
        int next = kGoods + 1;
        for (int step = 0; step < 150 && !QTest::currentTestFailed(); ++step) {
            const int op = random.bounded(12);
            if (op < 4 && !expected.isEmpty()) {
                // Deleting shown rows, one or several at once, as the grid does.
                QList<int> rows;
                for (int k = 0, n = 1 + random.bounded(3); k < n; ++k) {
                    rows << model.datasetRow(random.bounded(model.rowCount()));
                }
                for (int r : rows) {
                    expected.removeAll(goods.value(r, "code").toString());
                }
                goods.deleteRows(rows);
            } else if (op < 5 && goods.rowCount() > 0) {
                // A row the filter may hide is deleted through the dataset.
                const int r = random.bounded(goods.rowCount());
                expected.removeAll(goods.value(r, "code").toString());
                goods.deleteRows({r});
            } else if (op < 7) {
                // A new row shows last, whatever the filter and the sort.
                goods.append();
                const QString code = QString("SP%1").arg(next, 4, 10, QChar('0'));
                goods.setValue("code", code);
                goods.setValue("Goods_name", QString("新%1").arg(next++));
                goods.setValue("Default_price", random.bounded(100));
                goods.post();
                expected << code;
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
                    if (expected.contains(goods.value(r, "code").toString())) {
                        rows << r;
                    }
                }
                std::sort(rows.begin(), rows.end(), [&](int a, int b) {
                    return expected.indexOf(goods.value(a, "code").toString()) <
                           expected.indexOf(goods.value(b, "code").toString());
                });
                expected = expectedOf(rows);
            } else {
                currentFilter = QString::number(random.bounded(10));
                model.setTextFilter(currentFilter, {"Goods_name"});
                expected = expectedOf({});
            }
            QCOMPARE(model.rowCount(), expected.size());
            int shown = 0;
            for (int r = 0; r < goods.rowCount(); ++r) {
                const int g = model.gridRow(r);
                const QString code = goods.value(r, "code").toString();
                QCOMPARE(g, int(expected.indexOf(code)));
                if (g >= 0) {
                    ++shown;
                    QCOMPARE(model.datasetRow(g), r);
                    QCOMPARE(model.data(model.index(g, 0)).toString(), code);
                    QCOMPARE(model.data(model.index(g, 1)).toString(), goods.value(r, "Goods_name").toString());
                }
            }
            QCOMPARE(shown, expected.size());
            if (QTest::currentTestFailed()) {
                qWarning("step %d, operation %d", step, op);
            }
        }
    }

    // Sorting is stable whatever order the rows were read in: rows with
    // equal keys keep the order they were read in.
    void sortingKeepsEqualRowsInReadOrder() {
        TestBooks::FreshBook book("sqlite");
        book.db().query("create table k (id integer primary key, key text)");
        const std::tuple<QStringList, Qt::SortOrder, QList<int>> cases[] = {
            {{"a", "b", "c"}, Qt::DescendingOrder, {2, 1, 0}},  // read in the opposite order
            {{"a", "b", "b", "c"}, Qt::DescendingOrder, {3, 1, 2, 0}},
            {{"b", "b", "b"}, Qt::DescendingOrder, {0, 1, 2}},
            {{"b", "a", "c", "a"}, Qt::AscendingOrder, {1, 3, 0, 2}}};
        for (const auto& [keys, order, expected] : cases) {
            book.db().query("delete from k");
            for (const QString& k : keys) {
                book.db().query("insert into k (key) values (:k)", {{"k", k}});
            }
            Dataset rows(book.db());
            rows.open("select * from k order by id");
            GridModel model;
            model.setDataset(&rows);
            model.setColumns({GridColumn::make("key", "键")});
            model.sort(0, order);
            QList<int> shown;
            for (int g = 0; g < model.rowCount(); ++g) {
                shown << model.datasetRow(g);
            }
            QCOMPARE(shown, expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestGridModel)
#include "test_grid_model.moc"
