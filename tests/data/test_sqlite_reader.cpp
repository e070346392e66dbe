#include <QDateTime>
#include <QScopeGuard>
#include <QTest>

#include "data/dataset.h"
#include "data/sqlite_row_reader.h"
#include "support/test_books.h"

using TestBooks::FreshBook;

// Embedded books are read straight through SQLite only where Qt's driver
// runs on the same library; otherwise through the driver, with the same
// rows, values and field kinds.
class TestSqliteReader : public QObject {
    Q_OBJECT
private slots:
    void debianDriverSharesTheLibrary();
    void serverBooksAreNeverReadDirectly();
    void bothPathsReadTheSameRows_data();
    void bothPathsReadTheSameRows();
    void separateLibraryNeverOpensTheFileItself();
};

void TestSqliteReader::debianDriverSharesTheLibrary() {
    // Debian's Qt SQLite plugin links the system libsqlite3, as this program
    // does: the fast path must be taken here.
    FreshBook book("sqlite");
    QVERIFY(SqliteRowReader::driverSharesLibrary(book.db()));
    SqliteRowReader::Result rows;
    QVERIFY(SqliteRowReader::readAll(book.db(), "select unit_code from unit", {}, &rows));
    QCOMPARE(rows.rows.rowCount(), 6);
    book.db().setDirectReads(false);
    QVERIFY(!SqliteRowReader::readAll(book.db(), "select unit_code from unit", {}, &rows));
}

void TestSqliteReader::serverBooksAreNeverReadDirectly() {
    if (!TestBooks::postgresConfigured()) {
        QSKIP("no PostgreSQL server configured (OLVEND_TEST_PG)");
    }
    FreshBook book("postgresql");
    QVERIFY(!SqliteRowReader::driverSharesLibrary(book.db()));
    SqliteRowReader::Result rows;
    QVERIFY(!SqliteRowReader::readAll(book.db(), "select unit_code from unit", {}, &rows));
}

void TestSqliteReader::bothPathsReadTheSameRows_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("sql");
    QTest::newRow("table with every kind") << "goods"
                                           << "select * from goods order by id";
    QTest::newRow("expressions") << QString()
                                 << "select code, Default_price * 2 as twice, count(*) over () as n, "
                                    "Keyin_time, NULL as no_value from goods order by id";
    QTest::newRow("view") << QString() << "select * from Query_Goods_With_Corp_Unit order by code";
}

void TestSqliteReader::bothPathsReadTheSameRows() {
    QFETCH(QString, table);
    QFETCH(QString, sql);
    FreshBook book("sqlite");
    Database& db = book.db();
    const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7));
    for (int i = 0; i < 5; ++i) {
        db.execute(
            "insert into goods (code, Goods_name, Goods_unit, Default_price, Default_Qty, Goods_class, Keyin_time, "
            "remark, PicturePath) values (:c, :n, :u, :p, :q, 1, :t, :r, :pic)",
            {{"c", QStringLiteral("%1").arg(i + 1, 8, 10, QChar('0'))},
             {"n", i == 2 ? QStringLiteral("引号'\"%_") : QStringLiteral("商品%1").arg(i)},
             {"u", i % 2 ? QVariant(QStringLiteral("UN001")) : QVariant()},
             {"p", 1.25 * i},
             {"q", i},
             {"t", i == 3 ? QVariant() : QVariant(when.addDays(i))},
             {"r", i == 4 ? QString(300, QChar(0x4E2D)) : QString()},
             {"pic", QVariant()}});
    }
    Dataset direct(db);
    direct.setUpdateTable(table);
    direct.open(sql);
    db.setDirectReads(false);
    Dataset driver(db);
    driver.setUpdateTable(table);
    driver.open(sql);

    QCOMPARE(direct.rowCount(), 5);
    QCOMPARE(driver.rowCount(), direct.rowCount());
    QCOMPARE(driver.fields().size(), direct.fields().size());
    for (int c = 0; c < direct.fields().size(); ++c) {
        const FieldDef& a = direct.fields()[c];
        const FieldDef& b = driver.fields()[c];
        QCOMPARE(b.name, a.name);
        if (!table.isEmpty()) {
            // Table columns take their kinds from the schema on both paths.
            QCOMPARE(int(b.type), int(a.type));
        }
        for (int r = 0; r < direct.rowCount(); ++r) {
            const QVariant x = direct.value(r, c);
            const QVariant y = driver.value(r, c);
            QVERIFY2(x.isNull() == y.isNull(), qPrintable(QStringLiteral("%1 row %2").arg(a.name).arg(r)));
            QVERIFY2(
                x.toString() == y.toString(),
                qPrintable(QStringLiteral("%1 row %2: %3 / %4").arg(a.name).arg(r).arg(x.toString(), y.toString())));
        }
    }
}

void TestSqliteReader::separateLibraryNeverOpensTheFileItself() {
    FreshBook book("sqlite");
    Database& db = book.db();
    SqliteRowReader::assumeSeparateLibrary(true);
    const auto back = qScopeGuard([] { SqliteRowReader::assumeSeparateLibrary(false); });
    // Neither the direct reader nor a connection of its own for the types:
    // the rows come through the driver alone.
    SqliteRowReader::Result rows;
    QVERIFY(!SqliteRowReader::readAll(db, "select unit_code from unit", {}, &rows));
    QVERIFY(SqliteRowReader::declaredTypes(db, "select unit_code from unit").isEmpty());
    Dataset units(db);
    units.openTable("unit", "unit_code");
    QCOMPARE(units.rowCount(), 6);
    QCOMPARE(units.value(0, "unit_code").toString(), QString("UN001"));
    QCOMPARE(units.field("id").type, FieldDef::Type::Integer);
}

QTEST_GUILESS_MAIN(TestSqliteReader)
#include "test_sqlite_reader.moc"
