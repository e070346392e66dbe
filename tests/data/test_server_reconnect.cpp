#include <QSqlQuery>
#include <QTest>

#include "book_checks.h"
#include "data/database.h"
#include "data/dataset.h"
#include "data/server_book_copier.h"
#include "platform/errors.h"
#include "support/goods_rows.h"
#include "support/test_books.h"

using BookChecks::thrown;
using TestBooks::FreshBook;

namespace {
int unitCount(Database& db, const QString& code) {
    return BookChecks::count(db, "unit where unit_code = :c", {{"c", code}});
}

// What the user reads of the DbError `f` throws.
QString said(const std::function<void()>& f) {
    const auto e = thrown<DbError>(f);
    return e ? e->message() : QString("nothing was thrown");
}

void addUnit(Database& db, const QString& code) {
    db.execute("insert into unit (unit_code, Unit_name) values (:c, '箱')", {{"c", code}});
}

// Ends the session of `db` as a server restart does; true when it is gone.
bool endSession(Database& db) {
    const int pid = db.scalar("select pg_backend_pid()").toInt();
    auto admin = Database::openServer(TestBooks::serverParams("postgres"), "admin");
    return admin->scalar("select pg_terminate_backend(:pid, 5000)", {{"pid", pid}}).toBool();
}
}  // namespace

// A lost server connection is opened again: reads go on, a write that may not have happened is reported, not resent.
class TestServerReconnect : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() {
        if (TestBooks::engineAvailable() && TestBooks::currentEngine() != QLatin1String("postgres") &&
            QTest::currentTestFunction() != QLatin1String("ordinaryFailuresDoNotReconnect")) {
            QSKIP("an embedded book has no server connection to lose");
        }
    }
    // A read is run again; a write, alone or in a transaction, is reported and rolled back, never sent again.
    void readIsRunAgainAndWriteReported() {
        FreshBook book("postgres");
        Database& db = book.db();
        auto other = book.connectAgain();
        const int before = db.scalar("select count(*) from unit").toInt();
        QVERIFY(endSession(db));
        QCOMPARE(db.scalar("select count(*) from unit").toInt(), before);
        QCOMPARE(db.reconnectCount(), 1);
        // Whether a single write reached the server is unknown: the user checks.
        QVERIFY(endSession(db));
        const auto e = thrown<DbError>([&] { addUnit(db, "UN090"); });
        QVERIFY(e && e->kind() == DbError::Kind::ConnectionLost);
        QCOMPARE(e->message(), Database::connectionUncertainText());
        QCOMPARE(db.reconnectCount(), 2);
        QCOMPARE(unitCount(*other, "UN090"), 0);
        // The connection is back: the user's next save goes through, once.
        addUnit(db, "UN090");
        QCOMPARE(unitCount(*other, "UN090"), 1);
        // The session went while nobody worked: a transaction's first message, which carries its BEGIN, finds
        // that out and goes again on the reopened session, once, so the save simply succeeds.
        QVERIFY(endSession(db));
        {
            WriteTransaction tx(db);
            addUnit(db, "UN091");
            addUnit(db, "UN094");
            tx.commit();
        }
        QCOMPARE(db.reconnectCount(), 3);
        QCOMPARE(unitCount(*other, "UN091") + unitCount(*other, "UN094"), 2);
        // A transaction lost half-way: nothing stays or runs again, its rollback work runs.
        bool undone = false;
        {
            WriteTransaction tx(db);
            addUnit(db, "UN092");
            db.whenTransactionEnds(nullptr, [&] { undone = true; });
            QVERIFY(endSession(db));
            QCOMPARE(said([&] { addUnit(db, "UN093"); }), Database::connectionRestoredText());
            QVERIFY_THROWS_EXCEPTION(DbError, db.scalar("select count(*) from unit"));
            QVERIFY_THROWS_EXCEPTION(DbError, tx.commit());
        }
        QVERIFY(undone);
        QCOMPARE(db.transactionDepth(), 0);
        QCOMPARE(unitCount(*other, "UN092") + unitCount(*other, "UN093"), 0);
        // Lost at the COMMIT: the user is not told "not saved".
        bool ended = false;
        QCOMPARE(said([&] {
                     WriteTransaction tx(db);
                     db.whenTransactionEnds(nullptr, [&] { ended = true; });
                     addUnit(db, "UN095");
                     QVERIFY(endSession(db));
                     tx.commit();
                 }),
                 Database::connectionUncertainText());
        QVERIFY(ended);
        QCOMPARE(db.transactionDepth(), 0);
        QCOMPARE(unitCount(*other, "UN095"), 0);
        addUnit(db, "UN095");
        QCOMPARE(unitCount(*other, "UN095"), 1);
        // A read lost again on the reopened connection is said to be unread, not unsaved, with the driver's words
        // for the log.
        const auto lost =
            thrown<DbError>([&] { db.scalar("select pg_terminate_backend(pg_backend_pid()), pg_sleep(5)"); });
        QVERIFY2(lost, "no error");
        QVERIFY2(lost->kind() == DbError::Kind::ConnectionLost, qPrintable(lost->message() + lost->details()));
        QCOMPARE(lost->message(), Database::connectionReadLostText());
        QVERIFY2(lost->details().contains("terminat"), qPrintable(lost->details()));
        // Reads sent together say the same.
        const auto batch = thrown<DbError>([&] {
            db.readBatch({{"select 1"}, {"select pg_terminate_backend(pg_backend_pid()), pg_sleep(5)"}},
                         [](int, QSqlQuery&) {});
        });
        QVERIFY2(batch, "no error");
        QCOMPARE(batch->message(), Database::connectionReadLostText());
        QCOMPARE(db.scalar("select count(*) from unit where unit_code = 'UN095'").toInt(), 1);
    }
    // A list read in parts when the server goes: the rows read stay, the user is told the list is incomplete, and
    // reading it again on the reopened connection gives every row.
    void listReadInPartsKeepsItsRowsWhenTheServerGoes() {
        FreshBook book("postgres");
        Database& db = book.db();
        Dataset list(db);
        TestBooks::fillGoods(list, 900);
        list.setReadInParts(200);
        list.open("select * from goods order by code");
        QCOMPARE(list.readMoreRows(300), 300);
        QVERIFY(endSession(db));
        const auto e = thrown<DbError>([&] { list.readMoreRows(300); });
        QVERIFY(e && e->kind() == DbError::Kind::ConnectionLost);
        QVERIFY2(e->message().startsWith("列表没有读完") && e->message().contains("只读到 500 行（共 900 行）") &&
                     e->message().contains("F5"),
                 qPrintable(e->message()));
        QCOMPARE(list.rowCount(), 500);
        QCOMPARE(list.value(499, "code").toString(), QString("SP00000500"));
        QVERIFY(list.readStoppedShort() && !list.hasMoreRows());
        QCOMPARE(list.readMoreRows(300), 0);
        // The connection went while nobody worked: reading the list again simply opens it again.
        QVERIFY(endSession(db));
        list.refresh();
        QVERIFY(list.hasMoreRows() && !list.readStoppedShort());
        // Another read finds the connection lost and opens it again: the cursor is gone with the old session.
        QVERIFY(endSession(db));
        QCOMPARE(db.scalar("select count(*) from goods").toInt(), 900);
        const auto gone = thrown<DbError>([&] { list.readMoreRows(300); });
        QVERIFY(gone && gone->kind() == DbError::Kind::ConnectionLost && gone->message().contains("只读到 200 行"));
        QCOMPARE(list.rowCount(), 200);
        // A refresh that fails keeps the rows, told as incomplete.
        list.refresh();
        QVERIFY(list.hasMoreRows());
        auto other = book.connectAgain();
        other->execute("alter table goods rename to goods_away");
        QVERIFY(thrown<DbError>([&] { list.refresh(); }));
        QVERIFY(list.readStoppedShort() && !list.hasMoreRows());
        QCOMPARE(list.rowCount(), 200);
        other->execute("alter table goods_away rename to goods");
        list.refresh();
        QVERIFY(!list.readStoppedShort());
        while (list.hasMoreRows()) {
            list.readMoreRows(1000);
        }
        QCOMPARE(list.rowCount(), 900);
        QCOMPARE(list.value(899, "code").toString(), QString("SP00000900"));
    }
    // A statement held across the loss is prepared again; a prepared write on a lost connection is not repeated.
    void preparedStatementsAfterTheSessionEnded() {
        FreshBook book("postgres");
        Database& db = book.db();
        const QString write = "insert into unit (unit_code, Unit_name) values (:c, :n)";
        auto kept = db.prepared("select count(*) from unit where unit_code <> :c");
        db.run(*kept, {{"c", "x"}});
        kept->finish();
        db.prepared(write);
        QCOMPARE(db.preparedCount(), 2);
        QVERIFY(endSession(db));
        db.run(*kept, {{"c", "x"}});
        QVERIFY(kept->next());
        QCOMPARE(kept->value(0).toInt(), 6);
        kept->finish();
        QCOMPARE(db.reconnectCount(), 1);
        QCOMPARE(db.preparedCount(), 0);
        auto insert = db.prepared(write);
        QVERIFY(endSession(db));
        QVERIFY_THROWS_EXCEPTION(DbError, db.run(*insert, {{"c", "UN091"}, {"n", "卷"}}));
        QCOMPARE(db.reconnectCount(), 2);
        QCOMPARE(unitCount(db, "UN091"), 0);
        db.run(*db.prepared(write), {{"c", "UN091"}, {"n", "卷"}});
        QCOMPARE(unitCount(db, "UN091"), 1);
    }
    // Unqualified names still reach the book's own tables.
    void bookSchemaIsSetAgain() {
        FreshBook book("postgres");
        {
            WriteTransaction tx(book.db());
            ServerBookCopier::copy(book.db(), "public", "olvend_reconnect_book");
            tx.commit();
        }
        auto db =
            Database::openServer(TestBooks::serverParams(book.serverDatabase()), "分账本", "olvend_reconnect_book");
        addUnit(*db, "UN095");
        QVERIFY(endSession(*db));
        QCOMPARE(db->scalar("select current_schema()").toString(), QString("olvend_reconnect_book"));
        QCOMPARE(db->reconnectCount(), 1);
        QCOMPARE(unitCount(*db, "UN095") - unitCount(book.db(), "UN095"), 1);
    }
    // The connection is the same one: a temporary table made before is there.
    void ordinaryFailuresDoNotReconnect() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        const auto e = thrown<DbError>([&] { db.scalar("select count(*) from no_such_table"); });
        QVERIFY(e && e->kind() != DbError::Kind::ConnectionLost);
        QVERIFY2(
            e->message() != Database::connectionRestoredText() && e->message() != Database::connectionUncertainText(),
            qPrintable(e->message()));
        db.execute("create temporary table olvend_probe (n integer)");
        QVERIFY_THROWS_EXCEPTION(
            DbError, db.execute("insert into unit (unit_code, Unit_name) values ('UN001', '重复'), ('UN001', '重复')"));
        QCOMPARE(db.scalar("select count(*) from olvend_probe").toInt(), 0);
        QCOMPARE(db.reconnectCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestServerReconnect)
#include "test_server_reconnect.moc"
