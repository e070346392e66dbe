#include <QDateTime>
#include <QScopeGuard>
#include <QTest>

#include "data/database.h"
#include "data/dataset.h"
#include "data/sqlite_parallel_reader.h"
#include "data/sqlite_row_reader.h"
#include "platform/errors.h"
#include "support/test_books.h"

using TestBooks::FreshBook;

// Embedded books are read straight through SQLite only where Qt's driver
// runs on the same library, and long lists on two cores; otherwise through
// the driver. Every path gives the same rows, values and field kinds.
class TestSqliteReader : public QObject {
    Q_OBJECT
private slots:
    void debianDriverSharesTheLibrary() {
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
    void bothPathsReadTheSameRows_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("sql");
        QTest::newRow("table with every kind") << "goods"
                                               << "select * from goods order by id";
        QTest::newRow("expressions") << QString()
                                     << "select code, Default_price * 2 as twice, count(*) over () as n, "
                                        "Keyin_time, NULL as no_value from goods order by id";
    }
    void bothPathsReadTheSameRows() {
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
                QVERIFY2(x.toString() == y.toString(),
                         qPrintable(
                             QStringLiteral("%1 row %2: %3 / %4").arg(a.name).arg(r).arg(x.toString(), y.toString())));
            }
        }
    }
    void separateLibraryNeverOpensTheFileItself() {
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
        QCOMPARE(units.value(0, "unit_code").toString() + units.value(5, "unit_code").toString(),
                 QString("UN001UN006"));
        QCOMPARE(units.field("id").type, FieldDef::Type::Integer);
    }
    void twoCoresReadTheSameRowsAsOne() {
        FreshBook book("sqlite");
        Database& db = book.db();
        const int rows = 5000;
        fill(db, rows);
        const QString sql = "select * from t where id > :from order by id";
        SqliteRowReader::Result raw;
        QVERIFY(SqliteParallelReader::readAll(db, sql, {{"from", 1}}, &raw));  // this book is read on two cores
        QCOMPARE(raw.rows.rowCount(), rows - 1);
        Dataset serial(db);
        serial.open(sql, {{"from", 1}});
        Dataset parallel(db);
        parallel.setReadInParallel(true);
        parallel.open(sql, {{"from", 1}});
        QCOMPARE(parallel.rowCount(), rows - 1);
        QCOMPARE(parallel.fields().size(), serial.fields().size());
        for (int r = 0; r < rows - 1; ++r) {
            for (int c = 0; c < serial.fields().size(); ++c) {
                const QVariant a = parallel.value(r, c);
                const QVariant b = serial.value(r, c);
                QVERIFY2(
                    a == b && a.typeId() == b.typeId() && a.toByteArray().isNull() == b.toByteArray().isNull(),
                    qPrintable(QString("row %1 column %2: %3 / %4").arg(r).arg(c).arg(a.toString(), b.toString())));
            }
        }
    }
    void insideATransactionTheOwnWritesAreSeen() {
        FreshBook book("sqlite");
        Database& db = book.db();
        fill(db, 10);
        WriteTransaction tx(db);
        db.query("insert into t (code) values ('NEW')");
        SqliteRowReader::Result raw;
        QVERIFY(!SqliteParallelReader::readAll(db, "select * from t", {}, &raw));
        Dataset rows(db);
        rows.setReadInParallel(true);
        rows.open("select * from t where code='NEW'");
        QCOMPARE(rows.rowCount(), 1);
    }
    void aFaultyStatementFailsAsUsual() {
        FreshBook book("sqlite");
        Database& db = book.db();
        fill(db, 10);
        Dataset rows(db);
        rows.setReadInParallel(true);
        QVERIFY_THROWS_EXCEPTION(DbError, rows.open("select nothing from t"));
        // A failure while stepping: the reading thread's message comes back.
        SqliteRowReader::Result raw;
        QVERIFY_THROWS_EXCEPTION(DbError, SqliteParallelReader::readAll(
                                              db, "select abs(-9223372036854775807 - 1 + (id - id)) from t", {}, &raw));
        // Nothing is left behind: the next read works.
        rows.open("select * from t");
        QCOMPARE(rows.rowCount(), 10);
    }
    void aServerBookIsReadAsUsual() {
        if (!TestBooks::postgresConfigured()) {
            QSKIP("PostgreSQL case: OLVEND_TEST_PG is not set (./test starts a server and sets it)");
        }
        FreshBook book("postgres");
        Database& db = book.db();
        fill(db, 10);
        // Never read directly, nor on two cores.
        QVERIFY(!SqliteRowReader::driverSharesLibrary(db));
        SqliteRowReader::Result raw;
        QVERIFY(!SqliteRowReader::readAll(db, "select * from t", {}, &raw));
        QVERIFY(!SqliteParallelReader::readAll(db, "select * from t", {}, &raw));
        Dataset rows(db);
        rows.setReadInParallel(true);
        rows.open("select * from t order by id");
        QCOMPARE(rows.value(9, "whole").toLongLong(), 9 * 1000003LL);
    }

private:
    // 5,000 rows of every kind: codes (all different), amounts, repeated
    // units, nulls, texts with quotes and wildcards, blobs.
    static void fill(Database& db, int rows);
};

void TestSqliteReader::fill(Database& db, int rows) {
    db.query(QString("create table t (id integer primary key%1, code text, amount numeric(18,2), unit text, "
                     "note text, pic %2, whole bigint)")
                 .arg(db.isAccess() ? "" : " generated by default as identity", db.isAccess() ? "blob" : "bytea"));
    WriteTransaction tx(db);
    for (int r = 0; r < rows; ++r) {
        db.query("insert into t (code, amount, unit, note, pic, whole) values (:c, :a, :u, :n, :p, :w)",
                 {{"c", QString("SP%1").arg(r, 8, 10, QChar('0'))},
                  {"a", r % 11 == 0 ? QVariant() : QVariant(r * 1.25)},
                  {"u", QString("单位%1").arg(r % 7)},
                  {"n", r % 3 == 0 ? QVariant() : QVariant(QString("它'%_\"%1").arg(r % 500))},
                  {"p", r % 1000 == 0   ? QVariant(QByteArray("\x00\x01", 2) + QByteArray::number(r))
                        : r % 1000 == 1 ? QVariant(QByteArray(""))  // an empty blob
                                        : QVariant()},
                  {"w", qlonglong(r) * 1000003LL}});
    }
    tx.commit();
}

QTEST_GUILESS_MAIN(TestSqliteReader)
#include "test_sqlite_reader.moc"
