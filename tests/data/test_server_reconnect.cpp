#include <QSqlQuery>
#include <QTest>

#include "book_checks.h"
#include "data/database.h"
#include "data/dataset.h"
#include "data/server_book_copier.h"
#include "platform/errors.h"
#include "support/test_books.h"

using BookChecks::thrown;
using TestBooks::FreshBook;

namespace {
int unitCount(Database& db, const QString& code) {
    return db.scalar("select count(*) from unit where unit_code = :c", {{"c", code}}).toInt();
}

// What the user reads of the DbError `f` throws.
QString said(const std::function<void()>& f) {
    const auto e = thrown<DbError>(f);
    return e ? e->message() : QString("nothing was thrown");
}
}  // namespace

// A server connection that the server lost (restarted, or the session
// ended by an administrator) is opened again: reads go on unnoticed, a write
// that may not have happened is reported and never sent again by itself.
// Embedded books never reconnect.
class TestServerReconnect : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    // Only the last case runs on an embedded book: it has no server
    // connection to lose.
    void init() {
        if (TestBooks::engineAvailable() && !isServer() &&
            QTest::currentTestFunction() != QLatin1String("ordinaryFailuresDoNotReconnect")) {
            QSKIP("an embedded book has no server connection to lose");
        }
    }
    void readIsRunAgainAndWriteReported() {
        FreshBook book("postgres");
        Database& db = book.db();
        auto other = book.connectAgain();
        // A read is run again unnoticed, also with values bound.
        const int before = db.scalar("select count(*) from unit").toInt();
        QVERIFY(endSession(db));
        QCOMPARE(db.scalar("select count(*) from unit").toInt(), before);
        QCOMPARE(db.reconnectCount(), 1);
        QVERIFY(endSession(db));
        const auto e = thrown<DbError>([&] {
            db.execute("insert into unit (unit_code, Unit_name) values (:c, :n)", {{"c", "UN090"}, {"n", "箱"}});
        });
        // The program cannot know whether a single write reached the
        // server: the user is asked to check before saving again.
        QVERIFY(e && e->kind() == DbError::Kind::ConnectionLost);
        QCOMPARE(e->message(), Database::connectionUncertainText());
        QCOMPARE(db.reconnectCount(), 2);
        QCOMPARE(unitCount(*other, "UN090"), 0);
        // The connection is back: the user's next save goes through, once.
        QCOMPARE(db.execute("insert into unit (unit_code, Unit_name) values (:c, :n)", {{"c", "UN090"}, {"n", "箱"}}),
                 1);
        QCOMPARE(unitCount(*other, "UN090"), 1);
    }
    void preparedStatementsAfterTheSessionEnded() {
        FreshBook book("postgres");
        Database& db = book.db();
        const QString read = "select count(*) from unit where unit_code <> :c";
        const QString write = "insert into unit (unit_code, Unit_name) values (:c, :n)";
        auto kept = db.prepared(read);
        db.run(*kept, {{"c", "x"}});
        QVERIFY(kept->next());
        const int units = kept->value(0).toInt();
        kept->finish();
        db.prepared(write);
        QCOMPARE(db.preparedCount(), 2);
        QVERIFY(endSession(db));
        // A statement held across the loss is prepared again and read.
        db.run(*kept, {{"c", "x"}});
        QVERIFY(kept->next());
        QCOMPARE(kept->value(0).toInt(), units);
        kept->finish();
        QCOMPARE(db.reconnectCount(), 1);
        // The statements of the old session are forgotten.
        QCOMPARE(db.preparedCount(), 0);
        // A prepared write on a lost connection is reported, not repeated.
        auto insert = db.prepared(write);
        QVERIFY(endSession(db));
        QVERIFY_THROWS_EXCEPTION(DbError, db.run(*insert, {{"c", "UN091"}, {"n", "卷"}}));
        QCOMPARE(db.reconnectCount(), 2);
        QCOMPARE(unitCount(db, "UN091"), 0);
        auto fresh = db.prepared(write);
        db.run(*fresh, {{"c", "UN091"}, {"n", "卷"}});
        QCOMPARE(unitCount(db, "UN091"), 1);
    }
    void lostTransactionRollsTheSaveBack() {
        FreshBook book("postgres");
        Database& db = book.db();
        auto other = book.connectAgain();
        // A transaction lost half-way: nothing of it stays, nothing is sent
        // again, and what it registered for a rollback runs.
        bool undone = false;
        {
            WriteTransaction tx(db);
            db.execute("insert into unit (unit_code, Unit_name) values ('UN092', '包')");
            db.whenTransactionEnds(nullptr, [&] { undone = true; });
            QVERIFY(endSession(db));
            QCOMPARE(said([&] { db.execute("insert into unit (unit_code, Unit_name) values ('UN093', '袋')"); }),
                     Database::connectionRestoredText());
            // Nothing more runs in it, not even a read.
            QVERIFY_THROWS_EXCEPTION(DbError, db.scalar("select count(*) from unit"));
            QVERIFY_THROWS_EXCEPTION(DbError, tx.commit());
        }
        QVERIFY(undone);
        QCOMPARE(db.transactionDepth(), 0);
        QCOMPARE(unitCount(*other, "UN092") + unitCount(*other, "UN093"), 0);
        // The connection lost at the COMMIT: whether the server committed is
        // unknown, so the user is not told "not saved".
        bool ended = false;
        QCOMPARE(said([&] {
                     WriteTransaction tx(db);
                     db.whenTransactionEnds(nullptr, [&] { ended = true; });
                     db.execute("insert into unit (unit_code, Unit_name) values ('UN095', '卷')");
                     QVERIFY(endSession(db));
                     tx.commit();
                 }),
                 Database::connectionUncertainText());
        QVERIFY(ended);
        QCOMPARE(db.transactionDepth(), 0);
        QCOMPARE(unitCount(*other, "UN095"), 0);
        QCOMPARE(db.execute("insert into unit (unit_code, Unit_name) values ('UN095', '卷')"), 1);
        // A dataset saved inside a transaction that was lost: the cached
        // changes stay, so the user can save again.
        Dataset ds(db);
        ds.openTable("unit", "unit_code");
        const int rows = ds.rowCount();
        BookChecks::appendRow(ds, {{"unit_code", "UN094"}, {"Unit_name", "盘"}});
        ds.post();
        {
            WriteTransaction outer(db);
            QVERIFY(endSession(db));
            QCOMPARE(said([&] { ds.applyUpdates(); }), Database::connectionRestoredText());
        }
        QVERIFY(ds.hasChanges() && ds.rowCount() == rows + 1);
        QCOMPARE(unitCount(*other, "UN094"), 0);
        // A save that had not begun when the session ended starts on the
        // reopened connection: nothing of it had been sent.
        QVERIFY(endSession(db));
        ds.applyUpdates();
        QVERIFY(!ds.hasChanges());
        QCOMPARE(unitCount(*other, "UN094"), 1);
    }
    void bookSchemaIsSetAgain() {
        FreshBook book("postgres");
        {
            WriteTransaction tx(book.db());
            ServerBookCopier::copy(book.db(), "public", "olvend_reconnect_book");
            tx.commit();
        }
        auto db =
            Database::openServer(TestBooks::serverParams(book.serverDatabase()), "分账本", "olvend_reconnect_book");
        db->execute("insert into unit (unit_code, Unit_name) values ('UN095', '筒')");
        QVERIFY(endSession(*db));
        // Unqualified names still reach the book's own tables.
        QCOMPARE(db->scalar("select current_schema()").toString(), QString("olvend_reconnect_book"));
        QCOMPARE(db->reconnectCount(), 1);
        QCOMPARE(unitCount(*db, "UN095"), 1);
        QCOMPARE(unitCount(book.db(), "UN095"), 0);
    }
    void ordinaryFailuresDoNotReconnect() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        const auto e = thrown<DbError>([&] { db.scalar("select count(*) from no_such_table"); });
        QVERIFY(e && e->kind() != DbError::Kind::ConnectionLost);
        QVERIFY2(e->message() != Database::connectionRestoredText(), qPrintable(e->message()));
        QVERIFY2(e->message() != Database::connectionUncertainText(), qPrintable(e->message()));
        // The connection is the same one: a temporary table made before is there.
        db.execute("create temporary table olvend_probe (n integer)");
        QVERIFY_THROWS_EXCEPTION(
            DbError, db.execute("insert into unit (unit_code, Unit_name) values ('UN001', '重复'), ('UN001', '重复')"));
        QCOMPARE(db.scalar("select count(*) from olvend_probe").toInt(), 0);
        QCOMPARE(db.reconnectCount(), 0);
    }

private:
    // Ends the session of `db` from another connection, as a server restart
    // does; true when it is gone.
    static bool endSession(Database& db);
    static bool isServer() { return TestBooks::currentEngine() == QLatin1String("postgres"); }
};

bool TestServerReconnect::endSession(Database& db) {
    const int pid = db.scalar("select pg_backend_pid()").toInt();
    auto admin = Database::openServer(TestBooks::serverParams("postgres"), "admin");
    // Waits up to five seconds for the session to end.
    return admin->scalar("select pg_terminate_backend(:pid, 5000)", {{"pid", pid}}).toBool();
}

QTEST_GUILESS_MAIN(TestServerReconnect)
#include "test_server_reconnect.moc"
