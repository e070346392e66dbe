#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

#include "data/dataset.h"
#include "platform/errors.h"
#include "support/test_books.h"

using TestBooks::FreshBook;

// Saving inside a caller's transaction, and the connection's statement cache,
// on both engines.
class TestDatasetSaving : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    void statementCacheStaysBounded();
    void statementPushedOutStaysUsable();
    void insertShapesAfterTheCacheIsFull();
    void outerRollbackBringsTheCachedEditsBack();
    void savepointRollbackInsideACommittedTransaction();
    void afterApplyWaitsForTheOutermostCommit();
    void failedCommitBringsTheCachedEditsBack();
    void datasetGoneBeforeTheRollback();
    void rowsReadAgainInsideAFailedTransaction();
    void rollbackAfterTheMasterMoved();
    void commitAfterACaughtFailureIsRefused();
    void rowChangedElsewhereIsNotWrittenOver();
};

namespace {
int unitCount(Database& db) {
    return db.scalar("select count(*) from unit").toInt();
}

// Fills the cache with statements nobody holds any more.
void fillStatementCache(Database& db, int statements) {
    for (int i = 0; i < statements; ++i) {
        const auto q = db.prepared(QStringLiteral("select count(*) + %1 from unit where unit_code <> :c").arg(i));
        db.run(*q, {{"c", "x"}});
        QVERIFY(q->next());
        QCOMPARE(q->value(0).toInt(), 6 + i);
        q->finish();
    }
}

// A unit row edited, one deleted and one new, all cached.
void cacheThreeKindsOfChange(Dataset& ds) {
    ds.openTable("unit", "unit_code");
    ds.first();
    ds.setValue("Unit_name", "改名");
    ds.post();
    ds.setCurrentRow(1);
    ds.deleteCurrent();
    ds.append();
    ds.setValue("unit_code", "UN070");
    ds.setValue("Unit_name", "新单位");
    ds.post();
}

// The cache of cacheThreeKindsOfChange is pending again, and the database
// shows none of it.
void verifyPendingAndUnwritten(Dataset& ds, Database& db) {
    QVERIFY(ds.hasChanges());
    QCOMPARE(ds.rowCount(), 6);
    QCOMPARE(ds.rowStatus(0), Dataset::RowStatus::Modified);
    QCOMPARE(ds.value(0, "Unit_name").toString(), QString("改名"));
    QCOMPARE(ds.rowStatus(5), Dataset::RowStatus::Inserted);
    QVERIFY(ds.value(5, "id").isNull());
    QCOMPARE(unitCount(db), 6);
    QCOMPARE(db.scalar("select Unit_name from unit where unit_code='UN001'").toString(), QString("个"));
    QCOMPARE(db.scalar("select count(*) from unit where unit_code='UN002'").toInt(), 1);
}

// Saving the same cache again writes it whole, once.
void verifySavedOnce(Dataset& ds, Database& db) {
    ds.applyUpdates();
    QVERIFY(!ds.hasChanges());
    QCOMPARE(unitCount(db), 6);
    QCOMPARE(db.scalar("select count(*) from unit where unit_code='UN070'").toInt(), 1);
    QCOMPARE(db.scalar("select count(*) from unit where unit_code='UN002'").toInt(), 0);
    QCOMPARE(ds.value(5, "id").toInt(), db.scalar("select id from unit where unit_code='UN070'").toInt());
}
}  // namespace

void TestDatasetSaving::statementCacheStaysBounded() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    fillStatementCache(db, Database::kPreparedCacheSize * 3);
    QCOMPARE(db.preparedCount(), Database::kPreparedCacheSize);
    if (!db.isAccess()) {
        // The server keeps no more prepared statements than the cache.
        const int onServer = db.scalar("select count(*) from pg_prepared_statements").toInt();
        QVERIFY2(onServer <= Database::kPreparedCacheSize + 1, qPrintable(QString::number(onServer)));
    }
    // The statement used most recently is kept, the oldest is not.
    const auto again = db.prepared(QStringLiteral("select count(*) + %1 from unit where unit_code <> :c")
                                       .arg(Database::kPreparedCacheSize * 3 - 1));
    const auto same = db.prepared(QStringLiteral("select count(*) + %1 from unit where unit_code <> :c")
                                      .arg(Database::kPreparedCacheSize * 3 - 1));
    QCOMPARE(again.get(), same.get());
    const auto first = db.prepared(QStringLiteral("select count(*) + 0 from unit where unit_code <> :c"));
    QVERIFY(first.get() != again.get());
}

void TestDatasetSaving::statementPushedOutStaysUsable() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    const auto held = db.prepared("select Unit_name from unit where unit_code=:c");
    fillStatementCache(db, Database::kPreparedCacheSize + 10);
    db.run(*held, {{"c", "UN003"}});
    QVERIFY(held->next());
    QVERIFY(!held->value(0).toString().isEmpty());
}

void TestDatasetSaving::insertShapesAfterTheCacheIsFull() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    fillStatementCache(db, Database::kPreparedCacheSize);
    // Rows with different filled columns need statements of their own; each
    // new statement pushes an older one out of the full cache while the save
    // still uses the ones it prepared first.
    Dataset ds(db);
    ds.openTable("unit", "unit_code");
    const QStringList optional = {"remark", "Unit_name"};
    for (int i = 0; i < 12; ++i) {
        ds.append();
        ds.setValue("unit_code", QStringLiteral("UN%1").arg(100 + i));
        if (i % 2) {
            ds.setValue("Unit_name", QStringLiteral("名%1").arg(i));
        }
        if (i % 3 == 0) {
            ds.setValue("remark", QStringLiteral("备注%1").arg(i));
        }
        ds.post();
    }
    for (int i = 0; i < 8; ++i) {
        ds.setCurrentRow(i % 6);
        ds.setValue(optional[i % 2], QStringLiteral("改%1").arg(i));
        ds.post();
        fillStatementCache(db, 3);
    }
    ds.applyUpdates();
    QCOMPARE(unitCount(db), 18);
    for (int i = 0; i < 12; ++i) {
        QSqlQuery q = db.query("select Unit_name, remark from unit where unit_code=:c",
                               {{"c", QStringLiteral("UN%1").arg(100 + i)}});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), i % 2 ? QStringLiteral("名%1").arg(i) : QString());
        QCOMPARE(q.value(1).toString(), i % 3 == 0 ? QStringLiteral("备注%1").arg(i) : QString());
    }
    QCOMPARE(db.scalar("select remark from unit where unit_code='UN001'").toString(), QString("改6"));
    QVERIFY(db.preparedCount() <= Database::kPreparedCacheSize);
}

void TestDatasetSaving::outerRollbackBringsTheCachedEditsBack() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    Dataset ds(db);
    cacheThreeKindsOfChange(ds);
    try {
        WriteTransaction tx(db);
        ds.applyUpdates();
        // Inside the transaction the caller goes on with the new key.
        QVERIFY(!ds.hasChanges());
        QVERIFY(ds.value(5, "id").toInt() > 0);
        db.execute("update unit set remark='x' where unit_code=:c", {{"c", "UN070"}});
        db.execute("insert into unit (unit_code) values ('UN003')");  // refused: the code is taken
        tx.commit();
        QFAIL("the duplicate code should have been refused");
    } catch (const DbError&) {
    }
    QCOMPARE(db.transactionDepth(), 0);
    verifyPendingAndUnwritten(ds, db);
    verifySavedOnce(ds, db);
}

void TestDatasetSaving::savepointRollbackInsideACommittedTransaction() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    Dataset ds(db);
    cacheThreeKindsOfChange(ds);
    {
        WriteTransaction outer(db);
        db.execute("update unit set remark='外层' where unit_code='UN004'");
        try {
            WriteTransaction inner(db);
            ds.applyUpdates();
            db.execute("insert into unit (unit_code) values ('UN003')");
            inner.commit();
        } catch (const DbError&) {
        }
        verifyPendingAndUnwritten(ds, db);
        outer.commit();
    }
    // The outer work stays, the dataset's cache is still pending.
    QCOMPARE(db.scalar("select remark from unit where unit_code='UN004'").toString(), QString("外层"));
    verifyPendingAndUnwritten(ds, db);
    verifySavedOnce(ds, db);
}

void TestDatasetSaving::afterApplyWaitsForTheOutermostCommit() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    Dataset ds(db);
    cacheThreeKindsOfChange(ds);
    QSignalSpy applied(&ds, &Dataset::afterApply);
    {
        WriteTransaction outer(db);
        {
            WriteTransaction inner(db);
            ds.applyUpdates();
            inner.commit();
        }
        QCOMPARE(applied.count(), 0);
        outer.commit();
    }
    QCOMPARE(applied.count(), 1);
    QVERIFY(!ds.hasChanges());
    // Nothing is left to undo: a later failed transaction leaves the saved
    // rows alone.
    try {
        WriteTransaction tx(db);
        db.execute("insert into unit (unit_code) values ('UN003')");
        tx.commit();
    } catch (const DbError&) {
    }
    QVERIFY(!ds.hasChanges());
    QCOMPARE(ds.rowStatus(5), Dataset::RowStatus::Unchanged);
    QCOMPARE(db.scalar("select count(*) from unit where unit_code='UN070'").toInt(), 1);
}

void TestDatasetSaving::failedCommitBringsTheCachedEditsBack() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    // A deferred foreign key is checked only when committing.
    if (db.isAccess()) {
        db.execute("PRAGMA foreign_keys=ON");
    }
    db.execute("create table parent_row (id integer primary key)");
    db.execute(
        "create table child_row (id integer primary key, parent_id integer "
        "references parent_row(id) deferrable initially deferred)");
    Dataset ds(db);
    cacheThreeKindsOfChange(ds);
    try {
        WriteTransaction tx(db);
        ds.applyUpdates();
        db.execute("insert into child_row (id, parent_id) values (1, 99)");
        tx.commit();
        QFAIL("the commit should have been refused");
    } catch (const DbError&) {
    }
    QCOMPARE(db.transactionDepth(), 0);
    verifyPendingAndUnwritten(ds, db);
    verifySavedOnce(ds, db);
}

void TestDatasetSaving::datasetGoneBeforeTheRollback() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    {
        WriteTransaction tx(db);
        {
            Dataset ds(db);
            cacheThreeKindsOfChange(ds);
            ds.applyUpdates();
        }
        // tx rolls back here, after the dataset is gone.
    }
    QCOMPARE(unitCount(db), 6);
    QCOMPARE(db.scalar("select count(*) from unit where unit_code='UN070'").toInt(), 0);
}

void TestDatasetSaving::rowsReadAgainInsideAFailedTransaction() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    Dataset ds(db);
    cacheThreeKindsOfChange(ds);
    {
        WriteTransaction tx(db);
        ds.applyUpdates();
        ds.refresh();  // reads the uncommitted new row
        QCOMPARE(ds.rowCount(), 6);
    }
    // What shows is what the book holds after the rollback.
    QCOMPARE(ds.rowCount(), 6);
    QVERIFY(!ds.locate("unit_code", "UN070"));
    QVERIFY(ds.locate("unit_code", "UN002"));
    QVERIFY(!ds.hasChanges());
}

void TestDatasetSaving::rollbackAfterTheMasterMoved() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query("insert into Quotation_Head (BillNo) values ('BJ1'), ('BJ2')");
    db.query("insert into Quotation_Detail (HeadNo, GoodsNo, QTY) values ('BJ1', 'A', 1), ('BJ2', 'C', 3)");
    Dataset head(db);
    head.openTable("Quotation_Head", "BillNo");
    Dataset lines(db);
    lines.openTable("Quotation_Detail", "id");
    lines.setMaster(&head, "BillNo", "HeadNo");
    lines.append();
    lines.setValue("GoodsNo", "B");
    lines.post();
    {
        WriteTransaction tx(db);
        lines.applyUpdates();
        head.setCurrentRow(1);
        QCOMPARE(lines.value("GoodsNo").toString(), QString("C"));
        // Not committed.
    }
    // The lines on show are still those of the master's current row, and
    // the unsaved line waits under its own head.
    QCOMPARE(head.value("BillNo").toString(), QString("BJ2"));
    QCOMPARE(lines.rowCount(), 1);
    QCOMPARE(lines.value("GoodsNo").toString(), QString("C"));
    QVERIFY(lines.hasChanges());
    head.setCurrentRow(0);
    QCOMPARE(lines.rowCount(), 2);
    lines.applyUpdates();
    QCOMPARE(db.scalar("select count(*) from Quotation_Detail where HeadNo='BJ1'").toInt(), 2);
}

void TestDatasetSaving::commitAfterACaughtFailureIsRefused() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    // A failure caught at the level that commits: nothing of it is kept, on
    // either kind of book (a server has given up the transaction anyway).
    try {
        WriteTransaction tx(db);
        db.execute("update unit set remark='一半' where unit_code='UN001'");
        try {
            db.execute("insert into unit (unit_code) values ('UN003')");  // the code is taken
        } catch (const DbError&) {
        }
        tx.commit();
        QFAIL("a commit after a failed statement went through");
    } catch (const DbError& e) {
        QVERIFY(e.message().contains("撤销"));
    }
    QCOMPARE(db.transactionDepth(), 0);
    QVERIFY(db.scalar("select remark from unit where unit_code='UN001'").toString() != "一半");

    // A failure rolled back to its savepoint leaves the outer work whole.
    {
        WriteTransaction outer(db);
        db.execute("update unit set remark='外层' where unit_code='UN001'");
        try {
            WriteTransaction inner(db);
            db.execute("insert into unit (unit_code) values ('UN003')");
            inner.commit();
        } catch (const DbError&) {
        }
        outer.commit();
    }
    QCOMPARE(db.scalar("select remark from unit where unit_code='UN001'").toString(), QString("外层"));
    // And the next transaction starts clean.
    {
        WriteTransaction tx(db);
        db.execute("update unit set remark='再次' where unit_code='UN001'");
        tx.commit();
    }
    QCOMPARE(db.scalar("select remark from unit where unit_code='UN001'").toString(), QString("再次"));
}

void TestDatasetSaving::rowChangedElsewhereIsNotWrittenOver() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    std::unique_ptr<Database> other = book.connectAgain();
    Dataset ds(db);
    ds.openTable("Quotation_Head", "id");
    // A new row leaves columns to their defaults (state, IsDelete): saving
    // it again later compares against what the book filled in.
    ds.append();
    ds.setValue("BillNo", "BJ1");
    ds.setValue("Remark", "初稿");
    ds.applyUpdates();
    QCOMPARE(ds.value("state").toInt(), 1);
    ds.setValue("Rummery", "海景");
    ds.applyUpdates();
    ds.setValue("Freight", 12.345);  // kept to the cent, as the book keeps it
    ds.applyUpdates();
    ds.setValue("Rummery", "山景");
    // A time with milliseconds is kept to the second, as the book keeps it.
    ds.setValue("Keyin_Date", QDateTime(QDate(2006, 6, 25), QTime(9, 30, 15, 678)));
    ds.applyUpdates();
    ds.setValue("Remark", "定稿");
    ds.applyUpdates();
    QCOMPARE(db.scalar("select Rummery from Quotation_Head").toString(), QString("山景"));

    // Another workstation changes another field of the same row: the edit
    // here is refused, nothing is written and the edit is kept.
    other->execute("update Quotation_Head set Remark='他改' where BillNo='BJ1'");
    ds.setValue("Freight", 99);
    ds.post();
    try {
        ds.applyUpdates();
        QFAIL("a row changed elsewhere was written over");
    } catch (const DbError& e) {
        QCOMPARE(e.kind(), DbError::Kind::RecordChanged);
        QVERIFY2(e.message().contains("已被其他用户修改"), qPrintable(e.message()));
        QVERIFY2(e.details().contains("Remark", Qt::CaseInsensitive), qPrintable(e.details()));
    }
    QCOMPARE(db.scalar("select Freight from Quotation_Head").toDouble(), 12.35);
    QCOMPARE(ds.rowStatus(0), Dataset::RowStatus::Modified);
    QCOMPARE(ds.value("Freight").toDouble(), 99.0);

    // Read again, the same edit goes through; a row deleted elsewhere is
    // said to be deleted.
    ds.refresh();
    ds.setValue("Freight", 99);
    ds.applyUpdates();
    QCOMPARE(db.scalar("select Freight from Quotation_Head").toDouble(), 99.0);
    other->execute("delete from Quotation_Head where BillNo='BJ1'");
    ds.setValue("Remark", "再改");
    try {
        ds.applyUpdates();
        QFAIL("a row deleted elsewhere was reported as saved");
    } catch (const DbError& e) {
        QCOMPARE(e.kind(), DbError::Kind::RecordChanged);
        QVERIFY2(e.message().contains("已被其他用户删除"), qPrintable(e.message()));
    }
    QCOMPARE(db.scalar("select count(*) from Quotation_Head").toInt(), 0);
}

QTEST_GUILESS_MAIN(TestDatasetSaving)
#include "test_dataset_saving.moc"
