#include <QDateTime>
#include <QScopeGuard>
#include <QTest>
#include <cmath>

#include "data/column_store.h"
#include "data/database.h"
#include "data/dataset.h"
#include "data/sqlite_parallel_reader.h"
#include "data/sqlite_row_reader.h"
#include "platform/errors.h"
#include "support/test_books.h"

using TestBooks::FreshBook;

namespace {
// Appends `v` through the call of its kind, as rows read straight from
// SQLite arrive; `generic`: through append(), as a driver's values arrive
// (blobs always through their own call).
void put(ColumnStore& s, int column, const QVariant& v, bool generic = false) {
    const QByteArray text = v.toString().toUtf8();
    switch (v.typeId()) {
        case QMetaType::QByteArray:
            s.appendBlob(column, v.toByteArray());
            return;
        case QMetaType::LongLong:
            return generic ? s.append(column, v) : s.appendInteger(column, v.toLongLong());
        case QMetaType::Double:
            return generic ? s.append(column, v) : s.appendReal(column, v.toDouble());
        case QMetaType::QString:
            return generic ? s.append(column, v) : s.appendText(column, QUtf8StringView(text));
        case QMetaType::UnknownType:
            return generic ? s.append(column, v) : s.appendNull(column);
        default:
            s.append(column, v);
    }
}

// A store of `rows` rows whose cells are cell(row, column).
ColumnStore filled(int columns, int rows, const std::function<QVariant(int, int)>& cell, bool generic = false) {
    ColumnStore s(columns);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            put(s, c, cell(r, c), generic);
        }
        s.endRow();
    }
    s.finish();
    return s;
}

// A store of one column, a row per value.
ColumnStore oneColumn(const QList<QVariant>& values, bool generic = false) {
    return filled(
        1, int(values.size()), [&values](int r, int) { return values[r]; }, generic);
}

// Each row of `column` holds expected(row), of the same kind (and a time of
// the same zone).
void verifyColumn(const ColumnStore& s, int column, int rows, const std::function<QVariant(int)>& expected) {
    for (int r = 0; r < rows; ++r) {
        const QVariant got = s.value(r, column);
        const QVariant want = expected(r);
        QVERIFY2(
            got.typeId() == want.typeId() && got == want &&
                (got.typeId() != QMetaType::QDateTime || got.toDateTime().timeSpec() == want.toDateTime().timeSpec()),
            qPrintable(QStringLiteral("row %1: %2 / %3").arg(r).arg(got.toString(), want.toString())));
    }
}

// Every cell of the store holds cell(row, column).
void verifyStore(const ColumnStore& s, int rows, const std::function<QVariant(int, int)>& cell) {
    for (int c = 0; c < s.columnCount(); ++c) {
        verifyColumn(s, c, rows, [&](int r) { return cell(r, c); });
    }
}

void verifyColumn(const ColumnStore& s, const QList<QVariant>& expected) {
    verifyColumn(s, 0, int(expected.size()), [&expected](int r) { return expected[r]; });
}

// The fields (with their kinds) and every value (null as '~', with its kind
// and whether its bytes are null) of `ds` as one text.
QString dump(const Dataset& ds, bool fieldKinds, bool valueKinds) {
    QStringList out;
    for (const FieldDef& f : ds.fields()) {
        out << f.name + (fieldKinds ? ":" + QString::number(int(f.type)) : QString());
    }
    for (int r = 0; r < ds.rowCount(); ++r) {
        for (int c = 0; c < ds.fields().size(); ++c) {
            const QVariant v = ds.value(r, c);
            out << (v.isNull() ? "~" : v.toString()) +
                       (valueKinds ? QString(":%1%2").arg(v.typeId()).arg(v.toByteArray().isNull()) : QString());
        }
    }
    return out.join('|');
}
}  // namespace

// Reading rows: the column store gives every value back exactly as appended,
// whatever it shares with other rows; embedded books are read straight
// through SQLite only where Qt's driver runs on the same library, and long
// lists on two cores. Every path gives the same rows, values and field kinds.
class TestReading : public QObject {
    Q_OBJECT
private slots:
    void valuesComeBackAsAppended() {
        const QByteArray hostile = QByteArray("a'b\"c%d_e;--\\ \t\x01 引号'") + QByteArray(1, '\0') + "尾";
        const QList<QList<QVariant>> rows{
            {qlonglong(-7), 2.5, QString::fromUtf8(hostile), QByteArray("\x00\x01\x02", 3), QVariant()},
            {std::numeric_limits<qint64>::max(), -0.0, QString(""), QVariant(), QString(5000, 'x')}};
        const auto cell = [&rows](int r, int c) { return rows[r][c]; };
        const ColumnStore s = filled(5, 2, cell);
        QCOMPARE(s.rowCount() * s.columnCount(), 2 * 5);
        verifyStore(s, 2, cell);
        QCOMPARE(s.value(0, 2).toString().size(), QString::fromUtf8(hostile).size());
        QVERIFY(std::signbit(s.value(1, 1).toDouble()));
        QCOMPARE(s.row(1), QVector<QVariant>(rows[1].begin(), rows[1].end()));
    }
    void equalValuesAreKeptOnce() {
        const QStringList units{"个", "套", "个", "米", "套", "个"};
        const auto cell = [&units](int r, int c) -> QVariant {
            return c == 0       ? QVariant(units[r % units.size()])
                   : c == 1     ? QVariant((r % 4) * 1.25)
                   : r % 3 == 0 ? QVariant()
                                : QVariant(qlonglong(r % 2));
        };
        const ColumnStore s = filled(3, 600, cell);
        QCOMPARE(QList<int>({s.distinctCount(0), s.distinctCount(1), s.distinctCount(2)}),
                 QList<int>({3, 4, 3}));  // the last: null, 0 and 1
        verifyStore(s, 600, cell);
    }
    void differentKindsAreNeverShared() {
        // A column of mixed storage classes, as SQLite allows: 1, 1.0, "1",
        // "", null and 0 must each keep their own value and type.
        const QList<QVariant> values{qlonglong(1), 1.0, QString("1"), QString(""), QVariant(),
                                     qlonglong(0), 0.0, QString(""),  QVariant()};
        const ColumnStore s = oneColumn(values);
        verifyColumn(s, values);
        QCOMPARE(s.distinctCount(0), 7);
    }
    void anyValueThroughTheGenericPath() {
        // Values read through a driver rather than straight from SQLite: whole
        // numbers come back as 64-bit ones, everything else of its own kind;
        // the same wall-clock reading in another zone is a value of its own.
        // Blobs and dates are kept alone, and the texts and numbers between
        // them must still find their equals.
        const QDateTime local(QDate(2007, 1, 2), QTime(8, 0));
        const QDateTime sameReadingUtc(QDate(2007, 1, 2), QTime(8, 0), Qt::UTC);
        QList<QVariant> values;
        values << 3 << qlonglong(3) << 3.0 << "3" << local << sameReadingUtc << QDate(2007, 1, 2) << "甲"
               << QByteArray("\x01") << QVariant() << QString() << "甲" << QByteArray("\x01") << local
               << QDate(2007, 1, 2);
        QList<QVariant> expected = values;
        expected[0] = qlonglong(3);
        expected[10] = QString("");
        verifyColumn(oneColumn(values, true), expected);
    }
    void plainCellsAfterTheSwitchKeepEveryKind() {
        // One column of nearly all different values turns to plain cells
        // after its first stretch of different codes; whatever kind each
        // later value has comes back as it went in.
        const QByteArray hostile("x'); drop table t; -- %_\xe5\x90\x88");
        const QDateTime when(QDate(2007, 1, 2), QTime(8, 0));
        const auto expected = [&](int r) -> QVariant {
            const int k = r % 7;
            return r < 5000 ? QVariant(QString("C%1").arg(r))
                   : k == 0 ? QVariant(qlonglong(-r * 1000003LL))
                   : k == 1 ? QVariant(r + 0.25)
                   : k == 2 ? QVariant(QString::fromUtf8(QByteArray::number(r) + hostile))
                   : k == 3 ? QVariant()
                   : k == 4 ? QVariant(QString(""))
                   : k == 5 ? QVariant(QByteArray::number(r))
                   // The last kind through the generic call.
                   : r % 2 ? QVariant(when.addSecs(r))
                           : QVariant(QString::number(r) + "合计");
        };
        ColumnStore s(2);
        for (int r = 0; r < 8000; ++r) {
            put(s, 0, expected(r), r >= 5000 && r % 7 == 6);
            s.appendInteger(1, r % 3);
            s.endRow();
        }
        s.finish();
        QVERIFY(s.keepsPlainCells(0));
        QVERIFY(!s.keepsPlainCells(1));
        verifyColumn(s, 0, 8000, expected);
        verifyColumn(s, 1, 8000, [](int r) { return QVariant(qlonglong(r % 3)); });
        QCOMPARE(s.row(7999).value(0), expected(7999));
    }
    // A column of different codes, amounts and whole numbers: kept kinds are
    // never handed to the conversion (integers before the switch are values
    // kept once and converted, the plain ones after it are not), the others
    // are converted and keep the converted kind.
    void convertingPlainCellsSkipsKeptKinds() {
        const int rows = 9000;
        ColumnStore s = filled(1, rows, [](int r, int) {
            return r % 3 == 0 ? QVariant(QString("SP%1").arg(r)) : r % 3 == 1 ? QVariant(r + 0.126) : QVariant(r * 1LL);
        });
        QVERIFY(s.keepsPlainCells(0));
        QList<int> seen;
        const auto convert = [&seen](const QVariant& v) -> QVariant {
            seen << v.typeId();
            return v.typeId() == QMetaType::Double    ? QVariant(qRound64(v.toDouble() * 100) / 100.0)
                   : v.typeId() == QMetaType::QString ? QVariant(v.toString().toLower())
                                                      : v;
        };
        s.convertColumn(0, convert, ColumnStore::KeepIntegers);
        QVERIFY(seen.count(QMetaType::LongLong) < rows / 6);
        QCOMPARE(seen.count(QMetaType::Double), rows / 3);
        verifyColumn(s, 0, rows, [](int r) -> QVariant {
            return r % 3 == 0   ? QVariant("sp" + QString::number(r))
                   : r % 3 == 1 ? QVariant(qRound64((r + 0.126) * 100) / 100.0)
                                : QVariant(r * 1LL);
        });
        // Kept texts: only the values kept once each before the switch are
        // handed over.
        ColumnStore texts = filled(1, rows, [](int r, int) { return QVariant(QString("T%1").arg(r)); });
        seen.clear();
        texts.convertColumn(0, convert, ColumnStore::KeepTexts);
        QVERIFY(seen.size() == texts.distinctCount(0) && seen.size() < rows / 2);
        QCOMPARE(texts.value(0, 0).toString() + texts.value(rows - 1, 0).toString(), QString("t0T8999"));
    }
    // A column of amounts as an embedded book gives them: whole amounts as
    // integers, the others as reals, now and then a null or a typed text.
    // Only the values kept once before the switch go the generic way; every
    // plain number takes the fast one.
    void amountsBecomeRoundedRealsWithoutTheGenericPath() {
        const int rows = 9000;
        const auto amount = [](int r, bool converted) -> QVariant {
            const int kind = r % 5;
            return kind == 0   ? (converted ? QVariant(double(-r)) : QVariant(qlonglong(-r)))
                   : kind < 3  ? (converted ? QVariant(std::round((r + 0.005) * 100) / 100) : QVariant(r + 0.005))
                   : kind == 3 ? (converted ? QVariant(r + 0.13) : QVariant(QString::number(r) + ".129"))
                               : QVariant();
        };
        ColumnStore s = filled(1, rows, [&](int r, int) { return amount(r, false); });
        QVERIFY(s.keepsPlainCells(0));
        const int keptOnce = s.distinctCount(0);
        int genericNumbers = 0;
        int numbers = 0;
        s.convertColumn(
            0,
            [&genericNumbers](const QVariant& v) -> QVariant {
                genericNumbers += !v.isNull() && v.typeId() != QMetaType::QString;
                return v.isNull() ? v : QVariant(qRound64(v.toDouble() * 100) / 100.0);
            },
            [&numbers](double d) {
                ++numbers;
                return std::round(d * 100) / 100;
            });
        QVERIFY(numbers > 0 && genericNumbers <= keptOnce);
        QCOMPARE(numbers + genericNumbers, rows * 3 / 5);
        verifyColumn(s, 0, rows, [&](int r) { return amount(r, true); });
    }
    // A table of every kind of field, and expressions, read straight (as
    // Debian's Qt SQLite plugin links the system libsqlite3, as this program
    // does) and through the driver; table columns take their kinds from the
    // schema on both paths.
    void bothPathsReadTheSameRows() {
        FreshBook book("sqlite");
        Database& db = book.db();
        QVERIFY(SqliteRowReader::driverSharesLibrary(db));
        SqliteRowReader::Result raw;
        QVERIFY(SqliteRowReader::readAll(db, "select unit_code from unit", {}, &raw));
        QCOMPARE(raw.rows.rowCount(), 6);
        for (int i = 0; i < 5; ++i) {
            db.execute(
                "insert into goods (code, Goods_name, Goods_unit, Default_price, Default_Qty, Goods_class, Keyin_time, "
                "remark) values (:c, :n, :u, :p, :q, 1, :t, :r)",
                {{"c", QStringLiteral("%1").arg(i + 1, 8, 10, QChar('0'))},
                 {"n", i == 2 ? QStringLiteral("引号'\"%_") : QStringLiteral("商品%1").arg(i)},
                 {"u", i % 2 ? QVariant(QStringLiteral("UN001")) : QVariant()},
                 {"p", 1.25 * i},
                 {"q", i},
                 {"t", i == 3 ? QVariant() : QVariant(QDateTime(QDate(2026, 3, 4 + i), QTime(5, 6, 7)))},
                 {"r", i == 4 ? QString(300, QChar(0x4E2D)) : QString()}});
        }
        for (const QString& table : {QString("goods"), QString()}) {
            const QString sql = table.isEmpty() ? "select code, Default_price * 2 as twice, count(*) over () as n, "
                                                  "Keyin_time, NULL as no_value from goods order by id"
                                                : "select * from goods order by id";
            db.setDirectReads(true);
            Dataset direct(db);
            direct.setUpdateTable(table);
            direct.open(sql);
            db.setDirectReads(false);
            QVERIFY(!SqliteRowReader::readAll(db, sql, {}, &raw));
            Dataset driver(db);
            driver.setUpdateTable(table);
            driver.open(sql);
            QCOMPARE(direct.rowCount(), 5);
            QCOMPARE(dump(driver, !table.isEmpty(), false), dump(direct, !table.isEmpty(), false));
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
        QCOMPARE(units.value(5, "unit_code").toString(), QString("UN006"));
        QCOMPARE(units.field("id").type, FieldDef::Type::Integer);
    }
    void twoCoresReadTheSameRowsAsOne() {
        FreshBook book("sqlite");
        Database& db = book.db();
        fill(db, 5000);
        const QString sql = "select * from t where id > :from order by id";
        SqliteRowReader::Result raw;
        QVERIFY(SqliteParallelReader::readAll(db, sql, {{"from", 1}}, &raw));  // this book is read on two cores
        QCOMPARE(raw.rows.rowCount(), 4999);
        Dataset serial(db);
        serial.open(sql, {{"from", 1}});
        Dataset parallel(db);
        parallel.setReadInParallel(true);
        parallel.open(sql, {{"from", 1}});
        QCOMPARE(parallel.rowCount(), 4999);
        QCOMPARE(dump(parallel, true, true), dump(serial, true, true));
    }
    // Inside a transaction the own writes are seen (read on one core); a
    // faulty statement fails as usual, also while stepping, and leaves
    // nothing behind.
    void ownWritesAndFaults() {
        FreshBook book("sqlite");
        Database& db = book.db();
        fill(db, 10);
        Dataset rows(db);
        rows.setReadInParallel(true);
        SqliteRowReader::Result raw;
        {
            WriteTransaction tx(db);
            db.query("insert into t (code) values ('NEW')");
            QVERIFY(!SqliteParallelReader::readAll(db, "select * from t", {}, &raw));
            rows.open("select * from t where code='NEW'");
            QCOMPARE(rows.rowCount(), 1);
        }
        QVERIFY_THROWS_EXCEPTION(DbError, rows.open("select nothing from t"));
        QVERIFY_THROWS_EXCEPTION(DbError, SqliteParallelReader::readAll(
                                              db, "select abs(-9223372036854775807 - 1 + (id - id)) from t", {}, &raw));
        rows.open("select * from t");
        QCOMPARE(rows.rowCount(), 10);
    }

private:
    // 5,000 rows of every kind: codes (all different), amounts, repeated
    // units, nulls, texts with quotes and wildcards, blobs.
    static void fill(Database& db, int rows);
};

void TestReading::fill(Database& db, int rows) {
    db.query(
        "create table t (id integer primary key, code text, amount numeric(18,2), unit text, note text, pic blob, "
        "whole bigint)");
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

QTEST_GUILESS_MAIN(TestReading)
#include "test_reading.moc"
