#include <QDateTime>
#include <QTest>
#include <cmath>

#include "data/column_store.h"

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
}  // namespace

// The column-wise keeping of rows read from the database: every value comes
// back exactly as appended, whatever it shares with other rows.
class TestColumnStore : public QObject {
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

    void convertingTouchesEachDistinctValueOnce() {
        ColumnStore s = filled(1, 1000, [](int r, int) {
            return QVariant(QString(r % 2 ? "2007-01-02 08:00:00" : "2008-03-04 09:30:00"));
        });
        int calls = 0;
        s.convertColumn(0, [&calls](const QVariant& v) {
            ++calls;
            return QVariant(QDateTime::fromString(v.toString(), "yyyy-MM-dd HH:mm:ss"));
        });
        QCOMPARE(calls, 2);
        QCOMPARE(s.value(1, 0).toDateTime(), QDateTime(QDate(2007, 1, 2), QTime(8, 0)));
        QCOMPARE(s.value(998, 0).toDateTime(), QDateTime(QDate(2008, 3, 4), QTime(9, 30)));
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

    void convertingPlainCellsSkipsKeptKinds() {
        // A column of different codes, amounts and dates in text; kept kinds
        // are never handed to the conversion, the others are converted and
        // keep the converted kind.
        const int rows = 9000;
        ColumnStore s = filled(1, rows, [](int r, int) {
            return r % 3 == 0   ? QVariant(QString("SP%1").arg(r))
                   : r % 3 == 1 ? QVariant(r + 0.126)
                                : QVariant(qlonglong(r));
        });
        QVERIFY(s.keepsPlainCells(0));
        QList<int> seen;
        s.convertColumn(
            0,
            [&seen](const QVariant& v) -> QVariant {
                seen << v.typeId();
                if (v.typeId() == QMetaType::Double) {
                    return qRound64(v.toDouble() * 100) / 100.0;
                }
                if (v.typeId() == QMetaType::QString && v.toString().startsWith("SP9")) {
                    return QVariant();  // dropped
                }
                return v.typeId() == QMetaType::QString ? QVariant(v.toString().toLower()) : v;
            },
            ColumnStore::KeepIntegers);
        // Integers before the switch are values kept once and converted; the
        // plain ones after it are not.
        QVERIFY(seen.count(QMetaType::LongLong) < rows / 3 / 2);
        QCOMPARE(seen.count(QMetaType::Double), rows / 3);
        verifyColumn(s, 0, rows, [](int r) -> QVariant {
            if (r % 3 == 0) {
                return QString::number(r).startsWith('9') ? QVariant() : QVariant("sp" + QString::number(r));
            }
            return r % 3 == 1 ? QVariant(qRound64((r + 0.126) * 100) / 100.0) : QVariant(qlonglong(r));
        });
        // Kept texts are never handed over: only the values kept once each
        // before the switch are.
        ColumnStore texts = filled(1, rows, [](int r, int) { return QVariant(QString("T%1").arg(r)); });
        int calls = 0;
        texts.convertColumn(
            0,
            [&calls](const QVariant&) {
                ++calls;
                return QVariant(QStringLiteral("x"));
            },
            ColumnStore::KeepTexts);
        QVERIFY(calls == texts.distinctCount(0) && calls < rows / 2);
        QCOMPARE(texts.value(0, 0).toString(), QStringLiteral("x"));
        QCOMPARE(texts.value(rows - 1, 0).toString(), QStringLiteral("T%1").arg(rows - 1));
    }

    void amountsBecomeRoundedRealsWithoutTheGenericPath() {
        // A column of amounts as an embedded book gives them: whole amounts
        // as integers, the others as reals, now and then a null or a typed
        // text.
        const int rows = 9000;
        ColumnStore s = filled(1, rows, [](int r, int) {
            const int kind = r % 5;
            return kind == 0   ? QVariant(qlonglong(-r))
                   : kind < 3  ? QVariant(r + 0.005)
                   : kind == 3 ? QVariant(QString::number(r) + ".129")
                               : QVariant();
        });
        QVERIFY(s.keepsPlainCells(0));
        const int keptOnce = s.distinctCount(0);
        int genericNumbers = 0;
        int numbers = 0;
        s.convertColumn(
            0,
            [&genericNumbers](const QVariant& v) -> QVariant {
                if (v.isNull()) {
                    return v;
                }
                if (v.typeId() != QMetaType::QString) {
                    ++genericNumbers;
                }
                return qRound64(v.toDouble() * 100) / 100.0;
            },
            [&numbers](double d) {
                ++numbers;
                return std::round(d * 100) / 100;
            });
        // Only the values kept once before the switch went the generic way;
        // every plain number took the fast one.
        QVERIFY(numbers > 0 && genericNumbers <= keptOnce);
        QCOMPARE(numbers + genericNumbers, rows * 3 / 5);
        verifyColumn(s, 0, rows, [](int r) -> QVariant {
            const int kind = r % 5;
            return kind == 0   ? QVariant(double(-r))
                   : kind < 3  ? QVariant(std::round((r + 0.005) * 100) / 100)
                   : kind == 3 ? QVariant(r + 0.13)
                               : QVariant();
        });
    }
};

QTEST_GUILESS_MAIN(TestColumnStore)
#include "test_column_store.moc"
