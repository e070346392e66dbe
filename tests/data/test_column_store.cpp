#include <QDateTime>
#include <QTest>
#include <cmath>

#include "data/column_store.h"

// The column-wise keeping of rows read from the database: every value comes
// back exactly as appended, whatever it shares with other rows.
class TestColumnStore : public QObject {
    Q_OBJECT
private slots:
    void valuesComeBackAsAppended();
    void equalValuesAreKeptOnce();
    void differentKindsAreNeverShared();
    void valuesKeptAloneDoNotUpsetLookups();
    void keyColumnsAndRepeatsAfterTheSwitch();
    void manyValuesSurviveTheTableGrowing();
    void convertingTouchesEachDistinctValueOnce();
    void anyValueThroughTheGenericPath();
    void plainCellsAfterTheSwitchKeepEveryKind();
    void convertingPlainCellsSkipsKeptKinds();
    void amountsBecomeRoundedRealsWithoutTheGenericPath();
};

void TestColumnStore::valuesComeBackAsAppended() {
    ColumnStore s(5);
    const QByteArray hostile = QByteArray("a'b\"c%d_e;--\\ \t\x01 引号'") + QByteArray(1, '\0') + "尾";
    s.appendInteger(0, -7);
    s.appendReal(1, 2.5);
    s.appendText(2, QUtf8StringView(hostile));
    s.appendBlob(3, QByteArrayView("\x00\x01\x02", 3));
    s.appendNull(4);
    s.endRow();
    s.appendInteger(0, std::numeric_limits<qint64>::max());
    s.appendReal(1, -0.0);
    s.appendText(2, QUtf8StringView(""));
    s.appendNull(3);
    s.appendText(4, QUtf8StringView(QByteArray(5000, 'x')));
    s.endRow();
    s.finish();
    QCOMPARE(s.rowCount(), 2);
    QCOMPARE(s.columnCount(), 5);
    QCOMPARE(s.value(0, 0), QVariant(qlonglong(-7)));
    QCOMPARE(s.value(0, 1), QVariant(2.5));
    QCOMPARE(s.value(0, 2).toString(), QString::fromUtf8(hostile));
    QCOMPARE(s.value(0, 2).toString().size(), QString::fromUtf8(hostile).size());
    QCOMPARE(s.value(0, 3).toByteArray(), QByteArray("\x00\x01\x02", 3));
    QVERIFY(!s.value(0, 4).isValid());
    QCOMPARE(s.value(1, 0).toLongLong(), std::numeric_limits<qint64>::max());
    QVERIFY(std::signbit(s.value(1, 1).toDouble()));
    QCOMPARE(s.value(1, 2).typeId(), QMetaType::QString);
    QVERIFY(s.value(1, 2).toString().isEmpty());
    QVERIFY(!s.value(1, 3).isValid());
    QCOMPARE(s.value(1, 4).toString(), QString(5000, 'x'));
    const QVector<QVariant> row = s.row(1);
    QCOMPARE(row.size(), 5);
    QCOMPARE(row[0].toLongLong(), std::numeric_limits<qint64>::max());
}

void TestColumnStore::equalValuesAreKeptOnce() {
    ColumnStore s(3);
    const QStringList units{"个", "套", "个", "米", "套", "个"};
    for (int r = 0; r < 600; ++r) {
        s.appendText(0, QUtf8StringView(units[r % units.size()].toUtf8()));
        s.appendReal(1, (r % 4) * 1.25);
        if (r % 3 == 0) {
            s.appendNull(2);
        } else {
            s.appendInteger(2, r % 2);
        }
        s.endRow();
    }
    s.finish();
    QCOMPARE(s.distinctCount(0), 3);
    QCOMPARE(s.distinctCount(1), 4);
    QCOMPARE(s.distinctCount(2), 3);  // null, 0 and 1
    for (int r = 0; r < 600; ++r) {
        QCOMPARE(s.value(r, 0).toString(), units[r % units.size()]);
        QCOMPARE(s.value(r, 1).toDouble(), (r % 4) * 1.25);
        if (r % 3 == 0) {
            QVERIFY(!s.value(r, 2).isValid());
        } else {
            QCOMPARE(s.value(r, 2).toLongLong(), qlonglong(r % 2));
        }
    }
}

void TestColumnStore::differentKindsAreNeverShared() {
    // A column of mixed storage classes, as SQLite allows: 1, 1.0, "1", "",
    // null and 0 must each keep their own value and type.
    ColumnStore s(1);
    s.appendInteger(0, 1);
    s.appendReal(0, 1.0);
    s.appendText(0, QUtf8StringView("1"));
    s.appendText(0, QUtf8StringView(""));
    s.appendNull(0);
    s.appendInteger(0, 0);
    s.appendReal(0, 0.0);
    s.appendText(0, QUtf8StringView(""));
    s.appendNull(0);
    for (int i = 0; i < 9; ++i) {
        s.endRow();
    }
    s.finish();
    const QList<int> kinds{QMetaType::LongLong, QMetaType::Double,      QMetaType::QString,
                           QMetaType::QString,  QMetaType::UnknownType, QMetaType::LongLong,
                           QMetaType::Double,   QMetaType::QString,     QMetaType::UnknownType};
    for (int r = 0; r < kinds.size(); ++r) {
        QCOMPARE(s.value(r, 0).typeId(), kinds[r]);
    }
    QCOMPARE(s.distinctCount(0), 7);
}

void TestColumnStore::valuesKeptAloneDoNotUpsetLookups() {
    // SQLite lets a column hold blobs beside texts; a driver may hand over
    // dates. Such values are kept alone, and the texts and numbers between
    // them must still find their equals.
    ColumnStore s(1);
    const QList<QVariant> values{QVariant("甲"),
                                 QVariant(QByteArray("\x01")),
                                 QVariant(QDate(2007, 1, 2)),
                                 QVariant(),
                                 QVariant("乙"),
                                 QVariant(qlonglong(5)),
                                 QVariant("甲"),
                                 QVariant(QByteArray("\x01")),
                                 QVariant(qlonglong(5)),
                                 QVariant("乙"),
                                 QVariant(QDate(2007, 1, 2)),
                                 QVariant()};
    for (const QVariant& v : values) {
        if (v.typeId() == QMetaType::QByteArray) {
            s.appendBlob(0, v.toByteArray());
        } else {
            s.append(0, v);
        }
        s.endRow();
    }
    s.finish();
    for (int r = 0; r < values.size(); ++r) {
        QCOMPARE(s.value(r, 0).typeId(), values[r].typeId());
        QCOMPARE(s.value(r, 0), values[r]);
    }
    // 甲, 乙, 5 and null once each; the two blobs and two dates each alone.
    QCOMPARE(s.distinctCount(0), 8);
}

void TestColumnStore::keyColumnsAndRepeatsAfterTheSwitch() {
    // The first column is all different (a code), the second repeats. After
    // the code column stops looking for equal values, repeats and nulls in it
    // still come back right.
    ColumnStore s(2);
    const int rows = 12000;
    for (int r = 0; r < rows; ++r) {
        if (r >= 10000 && r % 7 == 0) {
            s.appendNull(0);
        } else {
            s.appendText(0,
                         QUtf8StringView(QStringLiteral("SP%1").arg(r >= 11000 ? 5 : r, 8, 10, QChar('0')).toUtf8()));
        }
        s.appendInteger(1, r % 10);
        s.endRow();
    }
    s.finish();
    for (int r = 0; r < rows; ++r) {
        if (r >= 10000 && r % 7 == 0) {
            QVERIFY2(!s.value(r, 0).isValid(), qPrintable(QString::number(r)));
        } else {
            QCOMPARE(s.value(r, 0).toString(), QStringLiteral("SP%1").arg(r >= 11000 ? 5 : r, 8, 10, QChar('0')));
        }
        QCOMPARE(s.value(r, 1).toLongLong(), qlonglong(r % 10));
    }
    QCOMPARE(s.distinctCount(1), 10);
}

void TestColumnStore::manyValuesSurviveTheTableGrowing() {
    // Half of the values repeat an earlier one, so lookups keep running
    // while the table grows many times over.
    ColumnStore s(2);
    const int rows = 50000;
    for (int r = 0; r < rows; ++r) {
        const int v = r % 2 == 0 ? r : r / 2;
        s.appendInteger(0, v % 1500 * 1000003LL);
        s.appendText(1, QUtf8StringView(QByteArray::number(v % 1200)));
        s.endRow();
    }
    s.finish();
    QCOMPARE(s.distinctCount(0), 1500);
    QCOMPARE(s.distinctCount(1), 1200);
    for (int r = 0; r < rows; ++r) {
        const int v = r % 2 == 0 ? r : r / 2;
        QCOMPARE(s.value(r, 0).toLongLong(), v % 1500 * 1000003LL);
        QCOMPARE(s.value(r, 1).toString(), QString::number(v % 1200));
    }
}

void TestColumnStore::convertingTouchesEachDistinctValueOnce() {
    ColumnStore s(1);
    for (int r = 0; r < 1000; ++r) {
        s.appendText(0, QUtf8StringView(r % 2 ? "2007-01-02 08:00:00" : "2008-03-04 09:30:00"));
        s.endRow();
    }
    s.finish();
    int calls = 0;
    s.convertColumn(0, [&calls](const QVariant& v) {
        ++calls;
        return QVariant(QDateTime::fromString(v.toString(), "yyyy-MM-dd HH:mm:ss"));
    });
    QCOMPARE(calls, 2);
    QCOMPARE(s.value(1, 0).toDateTime(), QDateTime(QDate(2007, 1, 2), QTime(8, 0)));
    QCOMPARE(s.value(998, 0).toDateTime(), QDateTime(QDate(2008, 3, 4), QTime(9, 30)));
}

void TestColumnStore::anyValueThroughTheGenericPath() {
    // Values read through a driver rather than straight from SQLite, and
    // what each comes back as: whole numbers as 64-bit ones, everything else
    // of its own kind; the same wall-clock reading in another zone is a
    // value of its own.
    const QDateTime local(QDate(2007, 1, 2), QTime(8, 0));
    const QDateTime utc(QDate(2007, 1, 2), QTime(0, 0), Qt::UTC);
    const QDateTime sameReadingUtc(QDate(2007, 1, 2), QTime(8, 0), Qt::UTC);
    const QList<QPair<QVariant, QVariant>> values{{3, qlonglong(3)},
                                                  {qlonglong(3), qlonglong(3)},
                                                  {3.0, 3.0},
                                                  {"3", QString("3")},
                                                  {local, local},
                                                  {utc, utc},
                                                  {local, local},
                                                  {QDate(2007, 1, 2), QDate(2007, 1, 2)},
                                                  {QString("合计'%_"), QString("合计'%_")},
                                                  {QString("合计'%_"), QString("合计'%_")},
                                                  {QVariant(), QVariant()},
                                                  {QString(), QString("")},
                                                  {sameReadingUtc, sameReadingUtc}};
    ColumnStore s(1);
    for (const auto& v : values) {
        s.append(0, v.first);
        s.endRow();
    }
    s.finish();
    for (int r = 0; r < values.size(); ++r) {
        const QVariant got = s.value(r, 0);
        QCOMPARE(got.typeId(), values[r].second.typeId());
        QCOMPARE(got, values[r].second);
        if (got.typeId() == QMetaType::QDateTime) {
            QCOMPARE(got.toDateTime().timeSpec(), values[r].second.toDateTime().timeSpec());
        }
    }
}

void TestColumnStore::plainCellsAfterTheSwitchKeepEveryKind() {
    // One column of nearly all different values turns to plain cells after
    // its first stretch of different codes; whatever kind each later value
    // has comes back as it went in.
    const QByteArray hostile("x'); drop table t; -- %_\xe5\x90\x88");
    const QDateTime when(QDate(2007, 1, 2), QTime(8, 0));
    const int rows = 8000;
    const int codes = 5000;
    const auto expected = [&](int r) -> QVariant {
        if (r < codes) {
            return QString("C%1").arg(r);
        }
        switch (r % 7) {
            case 0:
                return qlonglong(-r * 1000003LL);
            case 1:
                return r + 0.25;
            case 2:
                return QString::fromUtf8(QByteArray::number(r) + hostile);
            case 3:
                return QVariant();
            case 4:
                return QString("");
            case 5:
                return QByteArray::number(r);
            default:
                return r % 2 ? QVariant(when.addSecs(r)) : QVariant(QString::number(r) + "合计");
        }
    };
    ColumnStore s(2);
    for (int r = 0; r < rows; ++r) {
        const QVariant v = expected(r);
        switch (r < codes ? 2 : r % 7) {
            case 0:
                s.appendInteger(0, v.toLongLong());
                break;
            case 1:
                s.appendReal(0, v.toDouble());
                break;
            case 2:
            case 4:
                s.appendText(0, QUtf8StringView(v.toString().toUtf8()));
                break;
            case 3:
                s.appendNull(0);
                break;
            case 5:
                s.appendBlob(0, QByteArrayView(v.toByteArray()));
                break;
            default:
                s.append(0, v);
                break;
        }
        s.appendInteger(1, r % 3);
        s.endRow();
    }
    s.finish();
    QVERIFY(s.keepsPlainCells(0));
    QVERIFY(!s.keepsPlainCells(1));
    for (int r = 0; r < rows; ++r) {
        const QVariant v = s.value(r, 0);
        QVERIFY2(v.typeId() == expected(r).typeId() && v == expected(r), qPrintable(QString::number(r)));
        QCOMPARE(s.value(r, 1).toLongLong(), qlonglong(r % 3));
        QCOMPARE(s.row(r).value(0), v);
    }
}

void TestColumnStore::convertingPlainCellsSkipsKeptKinds() {
    // A column of different codes, amounts and dates in text; kept kinds
    // are never handed to the conversion, the others are converted and keep
    // the converted kind.
    ColumnStore s(1);
    const int rows = 9000;
    for (int r = 0; r < rows; ++r) {
        if (r % 3 == 0) {
            s.appendText(0, QUtf8StringView(QByteArray("SP") + QByteArray::number(r)));
        } else if (r % 3 == 1) {
            s.appendReal(0, r + 0.126);
        } else {
            s.appendInteger(0, r);
        }
        s.endRow();
    }
    s.finish();
    QVERIFY(s.keepsPlainCells(0));
    QStringList seen;
    s.convertColumn(
        0,
        [&seen](const QVariant& v) -> QVariant {
            seen << QString::number(v.typeId());
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
    QVERIFY(seen.count(QString::number(QMetaType::LongLong)) < rows / 3 / 2);
    QCOMPARE(seen.count(QString::number(QMetaType::Double)), rows / 3);
    for (int r = 0; r < rows; ++r) {
        const QVariant v = s.value(r, 0);
        if (r % 3 == 0) {
            if (QString::number(r).startsWith('9')) {
                QVERIFY(!v.isValid());
            } else {
                QCOMPARE(v.toString(), "sp" + QString::number(r));
            }
        } else if (r % 3 == 1) {
            QCOMPARE(v.typeId(), QMetaType::Double);
            QCOMPARE(v.toDouble(), qRound64((r + 0.126) * 100) / 100.0);
        } else {
            QCOMPARE(v, QVariant(qlonglong(r)));
        }
    }
    // Kept texts are never handed over: only the values kept once each
    // before the switch are.
    ColumnStore texts(1);
    for (int r = 0; r < rows; ++r) {
        texts.appendText(0, QUtf8StringView(QByteArray("T") + QByteArray::number(r)));
        texts.endRow();
    }
    texts.finish();
    int calls = 0;
    texts.convertColumn(
        0,
        [&calls](const QVariant&) {
            ++calls;
            return QVariant(QStringLiteral("x"));
        },
        ColumnStore::KeepTexts);
    QCOMPARE(calls, texts.distinctCount(0));
    QVERIFY(calls < rows / 2);
    QCOMPARE(texts.value(0, 0).toString(), QStringLiteral("x"));
    QCOMPARE(texts.value(rows - 1, 0).toString(), QStringLiteral("T%1").arg(rows - 1));
}

void TestColumnStore::amountsBecomeRoundedRealsWithoutTheGenericPath() {
    // A column of amounts as an embedded book gives them: whole amounts as
    // integers, the others as reals, now and then a null or a typed text.
    ColumnStore s(1);
    const int rows = 9000;
    for (int r = 0; r < rows; ++r) {
        switch (r % 5) {
            case 0:
                s.appendInteger(0, -r);
                break;
            case 1:
            case 2:
                s.appendReal(0, r + 0.005);
                break;
            case 3:
                s.appendText(0, QUtf8StringView(QByteArray::number(r) + ".129"));
                break;
            default:
                s.appendNull(0);
                break;
        }
        s.endRow();
    }
    s.finish();
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
    QVERIFY(numbers > 0);
    QVERIFY(genericNumbers <= keptOnce);
    QCOMPARE(numbers + genericNumbers, rows * 3 / 5);
    for (int r = 0; r < rows; ++r) {
        const QVariant v = s.value(r, 0);
        switch (r % 5) {
            case 0:
                QCOMPARE(v.typeId(), QMetaType::Double);
                QCOMPARE(v.toDouble(), double(-r));
                break;
            case 1:
            case 2:
                QCOMPARE(v.typeId(), QMetaType::Double);
                QCOMPARE(v.toDouble(), std::round((r + 0.005) * 100) / 100);
                break;
            case 3:
                QCOMPARE(v.typeId(), QMetaType::Double);
                QCOMPARE(v.toDouble(), r + 0.13);
                break;
            default:
                QVERIFY(v.isNull());
                break;
        }
    }
}

QTEST_GUILESS_MAIN(TestColumnStore)
#include "test_column_store.moc"
