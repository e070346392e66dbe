#include <QSqlQuery>
#include <QTest>

#include "data/database.h"
#include "data/server_literals.h"
#include "support/test_books.h"

// Statements sent to a server with their values written in: placeholders
// found only where SQL has them, and every value read back as it was.
class TestServerLiterals : public QObject {
    Q_OBJECT
private slots:
    void placeholdersOnlyOutsideQuotesCommentsAndCasts() {
        const QString sql =
            "select ':a', \":a\", E'\\':a', $$:a$$, $t$ :a $t$, x::text, a[1:2] -- :a\n, /* :a /* :a */ */ :a, :b";
        QCOMPARE(ServerLiterals::inlined(sql, {{"a", 1}, {":b", "x"}}),
                 QString("select ':a', \":a\", E'\\':a', $$:a$$, $t$ :a $t$, x::text, a[1:2] -- :a\n, "
                         "/* :a /* :a */ */ 1, 'x'"));
        // A missing value is NULL; by position each ? and each new name
        // takes the next value, a repeated name its own again.
        QCOMPARE(ServerLiterals::inlined("values (:a, :zz)", {{"a", 2}}), QString("values (2, NULL)"));
        QCOMPARE(ServerLiterals::inlinedInOrder("values (?, :x, ?, :x, '?')", {1, 2, 3}),
                 QString("values (1, 2, 3, 2, '?')"));
    }

    void literalsOfEachKind() {
        QCOMPARE(ServerLiterals::literal(QString("it's")), QString("'it''s'"));
        QCOMPARE(ServerLiterals::literal(QString()), QString("NULL"));
        QCOMPARE(ServerLiterals::literal(QVariant()), QString("NULL"));
        // Negative numbers in brackets: "x-:v" must not become a comment.
        QCOMPARE(ServerLiterals::inlined("select 1-:v", {{"v", -5}}), QString("select 1-(-5)"));
        QCOMPARE(ServerLiterals::literal(-0.5), QString("(-0.5)"));
        QCOMPARE(ServerLiterals::literal(0.1), QString("0.1"));
        QCOMPARE(ServerLiterals::literal(QByteArray("\x01\xff", 2)), QString("'\\x01ff'"));
        QCOMPARE(ServerLiterals::literal(true), QString("TRUE"));
    }

    // Every value comes back from a real server exactly as it went in.
    void valuesSurviveTheServer() {
        if (!TestBooks::postgresConfigured()) {
            if (qEnvironmentVariableIsSet("OLVEND_REQUIRE_PG")) {
                QFAIL("OLVEND_TEST_PG is not set");
            }
            QSKIP("no PostgreSQL server configured");
        }
        TestBooks::FreshBook book("postgres");
        const QString text = QString::fromUtf8("引号' \"双\" 反斜杠\\ 换行\n%_ -- /* $$");
        const QByteArray bytes("\x00\x01'\\\xff", 5);
        QSqlQuery q = book.db().query(
            "select :t, 0, :i, :d, :n, :x::text, length(:t)",
            {{"t", text}, {"i", Q_INT64_C(-9007199254740993)}, {"d", 0.1 + 0.2}, {"n", QVariant()}, {"x", 1e-7}});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), text);
        QCOMPARE(q.value(2).toLongLong(), Q_INT64_C(-9007199254740993));
        QCOMPARE(q.value(3).toDouble(), 0.1 + 0.2);
        QVERIFY(q.value(4).isNull());
        QCOMPARE(q.value(5).toDouble(), 1e-7);
        QCOMPARE(q.value(6).toInt(), int(text.size()));
        // Bytes stored and read back.
        book.db().execute("create table blobs (b bytea)");
        book.db().execute("insert into blobs values (:b)", {{"b", bytes}});
        QCOMPARE(book.db().scalar("select b from blobs").toByteArray(), bytes);
    }
};

QTEST_GUILESS_MAIN(TestServerLiterals)
#include "test_server_literals.moc"
