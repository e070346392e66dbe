#include <QSqlQuery>
#include <QTest>

#include "data/database.h"
#include "data/server_literals.h"
#include "platform/errors.h"
#include "support/test_books.h"

// Statements sent to a server with their values written in: placeholders
// found only where SQL has them, and every value read back as it was.
class TestServerLiterals : public QObject {
    Q_OBJECT
private slots:
    void placeholdersOnlyOutsideQuotesCommentsAndCasts() {
        const QString sql = R"(select ':a', ":a", E'\':a', $$:a$$, $t$ :a $t$, x::text, a[1:2] -- :a
, /* :a /* :a */ */ :a, :b)";
        QCOMPARE(ServerLiterals::inlined(sql, {{"a", 1}, {":b", "x"}}),
                 QString(R"(select ':a', ":a", E'\':a', $$:a$$, $t$ :a $t$, x::text, a[1:2] -- :a
, /* :a /* :a */ */ '1', 'x')"));
        // A missing value is NULL; by position each ? and each new name
        // takes the next value, a repeated name its own again.
        QCOMPARE(ServerLiterals::inlined("values (:a, :zz)", {{"a", 2}}), QString("values ('2', NULL)"));
        QCOMPARE(ServerLiterals::inlinedInOrder("values (?, :x, ?, :x, '?')", {1, "b", 3}),
                 QString("values ('1', 'b', '3', 'b', '?')"));
        // A backslash ends nothing in a plain string; a doubled quote ends
        // nothing anywhere; names may start with any letter.
        QCOMPARE(ServerLiterals::inlined(R"(select 'x', 'it'':a''s', :Zed)", {{"Zed", 3}}),
                 QString(R"(select 'x', 'it'':a''s', '3')"));
        // A literal never joins the word before it (an E'' string, a bit
        // string).
        QCOMPARE(ServerLiterals::inlined("select e:v, x:v", {{"v", R"(\')"}}), QString(R"(select e '\''', x '\''')"));
    }

    void literalsOfEachKind() {
        QCOMPARE(ServerLiterals::literal(QString("it's")), QString("'it''s'"));
        QCOMPARE(ServerLiterals::literal(QString()), QString("NULL"));
        QCOMPARE(ServerLiterals::literal(QVariant()), QString("NULL"));
        // Numbers are quoted: "x-:v" must not become a comment.
        QCOMPARE(ServerLiterals::inlined("select 1-:v", {{"v", -5}}), QString("select 1-'-5'"));
        QCOMPARE(ServerLiterals::literal(-0.5), QString("'-0.5'"));
        QCOMPARE(ServerLiterals::literal(0.1), QString("'0.1'"));
        QCOMPARE(ServerLiterals::literal(0.1f), QString("'0.1'"));
        QCOMPARE(ServerLiterals::literal(QByteArray("\x01\xff", 2)), QString("'\\x01ff'"));
        QCOMPARE(ServerLiterals::literal(true), QString("TRUE"));
        QCOMPARE(ServerLiterals::literal(QDate()), QString("NULL"));
        QCOMPARE(ServerLiterals::literal(-qInf()), QString("'-Infinity'"));
        QVERIFY_THROWS_EXCEPTION(UserError, ServerLiterals::literal(QString("a") + QChar(0) + "b"));
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
            "select :t, :i, :d, :n, :x::text, length(:t)",
            {{"t", text}, {"i", Q_INT64_C(-9007199254740993)}, {"d", 0.1 + 0.2}, {"n", QVariant()}, {"x", 1e-7}});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), text);
        QCOMPARE(q.value(1).toLongLong(), Q_INT64_C(-9007199254740993));
        QCOMPARE(q.value(2).toDouble(), 0.1 + 0.2);
        QVERIFY(q.value(3).isNull());
        QCOMPARE(q.value(4).toDouble(), 1e-7);
        QCOMPARE(q.value(5).toInt(), int(text.size()));
        // Bytes stored and read back; a number compared with a text column
        // as a parameter would be.
        book.db().execute("create table blobs (b bytea, code varchar(10), n numeric(18,2))");
        book.db().execute("insert into blobs values (:b, :c, :n)", {{"b", bytes}, {"c", 7}, {"n", -2.5}});
        QCOMPARE(book.db().scalar("select b from blobs where code = :c", {{"c", 7}}).toByteArray(), bytes);
        QCOMPARE(book.db().scalar("select n - :m from blobs", {{"m", -1}}).toDouble(), -1.5);
        // A database whose strings take backslash escapes and whose default
        // schema is another: a connection sets its own.
        book.db().execute(
            QString("alter database %1 set standard_conforming_strings = off").arg(book.serverDatabase()));
        book.db().execute(QString("alter database %1 set search_path = pg_catalog").arg(book.serverDatabase()));
        auto again = Database::openServer(TestBooks::serverParams(book.serverDatabase()), "again", "public");
        QCOMPARE(again->scalar("select :t", {{"t", text}}).toString(), text);
        QCOMPARE(again->scalar("select count(*) from blobs").toInt(), 1);
    }
};

QTEST_GUILESS_MAIN(TestServerLiterals)
#include "test_server_literals.moc"
