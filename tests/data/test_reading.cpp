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
using Cells = std::function<QVariant(int)>;

// Appends `v` by the call of its kind (as from SQLite) or, `generic`, through append() (as from a driver).
void put(ColumnStore& s, int column, const QVariant& v, bool generic) {
    const QByteArray text = v.toString().toUtf8();
    switch (v.typeId()) {
        case QMetaType::QByteArray:
            return s.appendBlob(column, v.toByteArray());
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

// A store of one column of `rows` values cell(row).
ColumnStore filled(int rows, const Cells& cell, const std::function<bool(int)>& generic = {}) {
    ColumnStore s(1);
    for (int r = 0; r < rows; ++r) {
        put(s, 0, cell(r), generic && generic(r));
        s.endRow();
    }
    s.finish();
    return s;
}

// Each row holds expected(row) of the same kind, zone and sign.
void verifyColumn(const ColumnStore& s, int rows, const Cells& expected, const char* name = "") {
    for (int r = 0; r < rows; ++r) {
        const QVariant got = s.value(r, 0);
        const QVariant want = expected(r);
        QVERIFY2(
            got.typeId() == want.typeId() && got == want &&
                (got.typeId() != QMetaType::QDateTime || got.toDateTime().timeSpec() == want.toDateTime().timeSpec()) &&
                (got.typeId() != QMetaType::Double || std::signbit(got.toDouble()) == std::signbit(want.toDouble())),
            qPrintable(QStringLiteral("%1 row %2: %3 / %4").arg(name).arg(r).arg(got.toString(), want.toString())));
    }
}

Cells listed(const QList<QVariant>& values) {
    return [values](int r) { return values[r]; };
}

// The fields and values of `ds` (with kinds when asked) as one text.
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

// A table t of `rows` rows of every kind of value.
void fill(Database& db, int rows) {
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
}  // namespace

// The column store gives every value back as appended; every reading path gives the same rows.
class TestReading : public QObject {
    Q_OBJECT
private slots:
    // Equal values kept once (1, 1.0, "1", "" and null differ); a column of many values turns to plain cells.
    void columnsComeBackAsAppended() {
        const QString hostile = QString::fromUtf8(QByteArray("a'b\"c%d_e;--\\ \t\x01 引号'") + '\0' + "尾");
        const QDateTime local(QDate(2007, 1, 2), QTime(8, 0));
        const QStringList units{"个", "套", "个", "米", "套", "个"};
        // A driver's whole numbers come back 64-bit, a null text empty; another zone's time is a value of its own.
        QList<QVariant> driver;
        driver << 3 << qlonglong(3) << 3.0 << "3" << local << QDateTime(QDate(2007, 1, 2), QTime(8, 0), Qt::UTC)
               << QDate(2007, 1, 2) << "甲" << QByteArray("\x01") << QVariant() << QString() << "甲"
               << QByteArray("\x01") << local << QDate(2007, 1, 2);
        QList<QVariant> fromDriver = driver;
        fromDriver[0] = qlonglong(3);
        fromDriver[10] = QString("");
        const QList<QVariant> kinds{
            qlonglong(-7),      std::numeric_limits<qint64>::max(), 2.5,        -0.0, hostile, QString(""),
            QString(5000, 'x'), QByteArray("\x00\x01\x02", 3),      QVariant(), 0.0};
        const QList<QVariant> mixed{qlonglong(1), 1.0, QString("1"), QString(""), QVariant(),
                                    qlonglong(0), 0.0, QString(""),  QVariant()};
        const Cells later = [&](int r) -> QVariant {
            const int k = r % 7;
            return r < 5000 ? QVariant(QString("C%1").arg(r))
                   : k == 0 ? QVariant(qlonglong(-r * 1000003LL))
                   : k == 1 ? QVariant(r + 0.25)
                   : k == 2 ? QVariant(QString::number(r) + "x'); drop table t; -- %_合")
                   : k == 3 ? QVariant()
                   : k == 4 ? QVariant(QString(""))
                   : k == 5 ? QVariant(QByteArray::number(r))
                   : r % 2  ? QVariant(local.addSecs(r))
                            : QVariant(QString::number(r) + "合计");
        };
        const struct {
            const char* name;
            int rows;
            Cells cell;
            Cells expected;  // none: as appended
            std::function<bool(int)> generic;
            int distinct;  // -1: not counted
            bool plain;
        } columns[] = {
            {"kinds", int(kinds.size()), listed(kinds), {}, {}, -1, false},
            {"never shared across kinds", int(mixed.size()), listed(mixed), {}, {}, 7, false},
            {"driver", int(driver.size()), listed(driver), listed(fromDriver), [](int) { return true; }, -1, false},
            {"units", 600, [&](int r) { return QVariant(units[r % units.size()]); }, {}, {}, 3, false},
            {"amounts", 600, [](int r) { return QVariant((r % 4) * 1.25); }, {}, {}, 4, false},
            {"nulls", 600, [](int r) { return r % 3 ? QVariant(r % 2 * 1LL) : QVariant(); }, {}, {}, 3, false},
            {"repeating", 8000, [](int r) { return QVariant(qlonglong(r % 3)); }, {}, {}, 3, false},
            // The last kind through the generic call.
            {"plain cells", 8000, later, {}, [](int r) { return r >= 5000 && r % 7 == 6; }, -1, true},
        };
        for (const auto& c : columns) {
            const ColumnStore s = filled(c.rows, c.cell, c.generic);
            QCOMPARE(s.rowCount(), c.rows);
            verifyColumn(s, c.rows, c.expected ? c.expected : c.cell, c.name);
            QVERIFY2(s.keepsPlainCells(0) == c.plain, c.name);
            QVERIFY2(c.distinct < 0 || s.distinctCount(0) == c.distinct, c.name);
            QCOMPARE(s.row(c.rows - 1).value(0), (c.expected ? c.expected : c.cell)(c.rows - 1));
        }
    }
    // Every kind of field and expressions, read straight from SQLite and through the driver alike, and on two cores;
    // a driver on another library: the rows come through the driver alone.
    void everyPathReadsTheSameRows() {
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
        // Two cores read what one does; own writes seen inside a transaction; a faulty statement fails.
        db.setDirectReads(true);
        fill(db, 5000);
        const QString sql = "select * from t where id > :from order by id";
        QVERIFY(SqliteParallelReader::readAll(db, sql, {{"from", 1}}, &raw));  // this book is read on two cores
        QCOMPARE(raw.rows.rowCount(), 4999);
        Dataset serial(db);
        serial.open(sql, {{"from", 1}});
        Dataset parallel(db);
        parallel.setReadInParallel(true);
        parallel.open(sql, {{"from", 1}});
        QCOMPARE(parallel.rowCount(), 4999);
        QCOMPARE(dump(parallel, true, true), dump(serial, true, true));
        {
            WriteTransaction tx(db);
            db.query("insert into t (code) values ('NEW')");
            QVERIFY(!SqliteParallelReader::readAll(db, "select * from t", {}, &raw));
            parallel.open("select * from t where code='NEW'");
            QCOMPARE(parallel.rowCount(), 1);
        }
        QVERIFY_THROWS_EXCEPTION(DbError, parallel.open("select nothing from t"));
        QVERIFY_THROWS_EXCEPTION(DbError, SqliteParallelReader::readAll(
                                              db, "select abs(-9223372036854775807 - 1 + (id - id)) from t", {}, &raw));
        parallel.open("select * from t");
        QCOMPARE(parallel.rowCount(), 5000);
        SqliteRowReader::assumeSeparateLibrary(true);
        const auto back = qScopeGuard([] { SqliteRowReader::assumeSeparateLibrary(false); });
        QVERIFY(!SqliteRowReader::readAll(db, "select unit_code from unit", {}, &raw));
        QVERIFY(SqliteRowReader::declaredTypes(db, "select unit_code from unit").isEmpty());
        Dataset units(db);
        units.openTable("unit", "unit_code");
        QCOMPARE(units.value(5, "unit_code").toString(), QString("UN006"));
        QCOMPARE(units.field("id").type, FieldDef::Type::Integer);
    }
};

QTEST_GUILESS_MAIN(TestReading)
#include "test_reading.moc"
