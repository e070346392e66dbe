#include <QDate>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

#include "book_checks.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "platform/error_log.h"
#include "platform/errors.h"
#include "support/test_books.h"
#include "ui/action_manager.h"

using BookChecks::count;
using BookChecks::rows;
using BookChecks::thrown;
using TestBooks::FreshBook;

namespace {
// A unit row edited, one deleted and one new, all cached.
void cacheThreeKindsOfChange(Dataset& ds) {
    ds.openTable("unit", "unit_code");
    ds.setValue("Unit_name", "改名");
    ds.post();
    ds.setCurrentRow(1);
    ds.deleteCurrent();
    BookChecks::appendRow(ds, {{"unit_code", "UN070"}, {"Unit_name", "新单位"}});
    ds.post();
}

// The units of cacheThreeKindsOfChange as the book holds them, and how many.
QString touchedUnits(Database& db) {
    return rows(db, "select unit_code, Unit_name from unit where unit_code in ('UN001', 'UN002', 'UN070') order by 1") +
           " " + QString::number(count(db, "unit"));
}

// The cache of cacheThreeKindsOfChange is pending again, and the database
// shows none of it.
void verifyPendingAndUnwritten(Dataset& ds, Database& db) {
    QCOMPARE(ds.rowCount(), 6);
    QVERIFY(ds.rowStatus(0) == Dataset::RowStatus::Modified && ds.rowStatus(5) == Dataset::RowStatus::Inserted);
    QVERIFY(ds.value(5, "id").isNull());
    QCOMPARE(touchedUnits(db), QString("UN001,个|UN002,件 6"));
}

// Saving the same cache again writes it whole, once: the edit, the
// deletion and the new row, whose key the dataset learns; a second save
// has nothing to do.
void verifySavedOnce(Dataset& ds, Database& db) {
    ds.applyUpdates();
    QVERIFY(!ds.hasChanges());
    ds.applyUpdates();
    QCOMPARE(touchedUnits(db), QString("UN001,改名|UN070,新单位 6"));
    QCOMPARE(ds.value(5, "id").toInt(), db.scalar("select id from unit where unit_code='UN070'").toInt());
}

// What `f` throws is a DbError of `kind` whose message holds each of `said`
// and no word a user must never read, and whose details hold each of
// `details` and the driver's text (which only a refusal of the program's
// own lacks).
void verifyRefused(const std::function<void()>& f, DbError::Kind kind, const QStringList& said,
                   const QStringList& details) {
    const auto e = thrown<DbError>(f);
    QVERIFY2(e, "nothing was refused");
    QCOMPARE(e->kind(), kind);
    for (const QString& part : said) {
        QVERIFY2(e->message().contains(part), qPrintable(part + " / " + e->message()));
    }
    for (const char* word :
         {"SQL", "UNIQUE", "QPSQL", "QSQLITE", "constraint", "duplicate", "overflow", "insert ", "update "}) {
        QVERIFY2(!e->message().contains(QLatin1String(word), Qt::CaseInsensitive), qPrintable(e->message()));
    }
    for (const QString& part : details + QStringList{e->driverText()}) {
        QVERIFY2(e->details().contains(part, Qt::CaseInsensitive), qPrintable(part + " / " + e->details()));
    }
    QVERIFY(kind == DbError::Kind::RecordChanged || !e->driverText().isEmpty());
}
}  // namespace

// Saving a dataset: inside a caller's transaction, through the connection's
// statement cache, and what a user reads when the book refuses the save or
// another workstation changed the row, on both engines.
class TestDatasetSaving : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    void statementCacheStaysBounded() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        const auto held = db.prepared("select Unit_name from unit where unit_code=:c");
        const QString statement = QStringLiteral("select count(*) + %1 from unit where unit_code <> :c");
        for (int i = 0; i < Database::kPreparedCacheSize * 3; ++i) {
            const auto q = db.prepared(statement.arg(i));
            db.run(*q, {{"c", "x"}});
            QVERIFY(q->next());
            QCOMPARE(q->value(0).toInt(), 6 + i);
            q->finish();
        }
        QCOMPARE(db.preparedCount(), Database::kPreparedCacheSize);
        if (!db.isAccess()) {
            // The server keeps no more prepared statements than the cache.
            const int onServer = db.scalar("select count(*) from pg_prepared_statements").toInt();
            QVERIFY2(onServer <= Database::kPreparedCacheSize + 1, qPrintable(QString::number(onServer)));
        }
        // The statement used most recently is kept, the oldest is not.
        const auto again = db.prepared(statement.arg(Database::kPreparedCacheSize * 3 - 1));
        QCOMPARE(again.get(), db.prepared(statement.arg(Database::kPreparedCacheSize * 3 - 1)).get());
        QVERIFY(db.prepared(statement.arg(0)).get() != again.get());
        // A statement pushed out while held stays usable.
        db.run(*held, {{"c", "UN003"}});
        QVERIFY(held->next());
        QVERIFY(!held->value(0).toString().isEmpty());
    }
    // A save inside a caller's transaction that fails afterwards, at a
    // statement or at the commit: the cached edits are pending again, and
    // saving them again writes them once.
    void failedTransactionBringsTheCachedEditsBack() {
        for (const bool atCommit : {false, true}) {
            FreshBook book(TestBooks::currentEngine());
            Database& db = book.db();
            if (atCommit) {
                // A deferred foreign key is checked only when committing.
                if (db.isAccess()) {
                    db.execute("PRAGMA foreign_keys=ON");
                }
                db.execute("create table parent_row (id integer primary key)");
                db.execute(
                    "create table child_row (id integer primary key, parent_id integer "
                    "references parent_row(id) deferrable initially deferred)");
            }
            Dataset ds(db);
            cacheThreeKindsOfChange(ds);
            QVERIFY(thrown<DbError>([&] {
                WriteTransaction tx(db);
                ds.applyUpdates();
                if (atCommit) {
                    db.execute("insert into child_row (id, parent_id) values (1, 99)");
                } else {
                    // Inside the transaction the caller goes on with the new key.
                    QVERIFY(!ds.hasChanges());
                    QVERIFY(ds.value(5, "id").toInt() > 0);
                    db.execute("update unit set remark='x' where unit_code=:c", {{"c", "UN070"}});
                    db.execute("insert into unit (unit_code) values ('UN003')");  // refused: the code is taken
                }
                tx.commit();
            }));
            QCOMPARE(db.transactionDepth(), 0);
            verifyPendingAndUnwritten(ds, db);
            verifySavedOnce(ds, db);
        }
    }
    // A savepoint rolled back inside a transaction that goes on: the cache is
    // pending again and the outer work stays; saved again inside it, the
    // dataset hears of the save only at the outermost commit, and nothing is
    // left to undo for a later failed transaction.
    void nestedTransactions() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        Dataset ds(db);
        cacheThreeKindsOfChange(ds);
        QSignalSpy applied(&ds, &Dataset::afterApply);
        {
            WriteTransaction outer(db);
            db.execute("update unit set remark='外层' where unit_code='UN004'");
            QVERIFY(thrown<DbError>([&] {
                WriteTransaction inner(db);
                ds.applyUpdates();
                db.execute("insert into unit (unit_code) values ('UN003')");
                inner.commit();
            }));
            verifyPendingAndUnwritten(ds, db);
            {
                WriteTransaction inner(db);
                ds.applyUpdates();
                inner.commit();
            }
            QCOMPARE(applied.count(), 0);
            outer.commit();
        }
        QCOMPARE(applied.count(), 1);
        QCOMPARE(rows(db, "select remark from unit where unit_code='UN004'"), QString("外层"));
        verifySavedOnce(ds, db);
        QVERIFY(thrown<DbError>([&] {
            WriteTransaction tx(db);
            db.execute("insert into unit (unit_code) values ('UN003')");
            tx.commit();
        }));
        QVERIFY(!ds.hasChanges());
        QCOMPARE(count(db, "unit where unit_code='UN070'"), 1);
    }
    // A transaction that rolls back after the save, without a failure: rows
    // read again inside it show what the book holds afterwards, and a dataset
    // gone before the rollback is no matter.
    void rollbackWithoutAFailure() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        {
            WriteTransaction tx(db);
            Dataset gone(db);
            cacheThreeKindsOfChange(gone);
            gone.applyUpdates();
        }
        QCOMPARE(count(db, "unit where unit_code in ('UN002', 'UN070')"), 1);
        Dataset ds(db);
        cacheThreeKindsOfChange(ds);
        {
            WriteTransaction tx(db);
            ds.applyUpdates();
            ds.refresh();
            QVERIFY(ds.locate("unit_code", "UN070"));  // the uncommitted new row
        }
        QVERIFY(!ds.locate("unit_code", "UN070") && ds.locate("unit_code", "UN002"));
        QVERIFY(!ds.hasChanges());
    }
    // A failure caught at the level that commits: nothing of it is kept, on
    // either kind of book (a server has given up the transaction anyway).
    void commitAfterACaughtFailureIsRefused() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        const auto refused = thrown<DbError>([&] {
            WriteTransaction tx(db);
            db.execute("update unit set remark='一半' where unit_code='UN001'");
            thrown<DbError>([&] { db.execute("insert into unit (unit_code) values ('UN003')"); });  // the code is taken
            tx.commit();
        });
        QVERIFY(refused && refused->message().contains("撤销"));
        QCOMPARE(db.transactionDepth(), 0);
        QVERIFY(rows(db, "select remark from unit where unit_code='UN001'") != "一半");
    }
    void rowChangedElsewhereIsNotWrittenOver() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        std::unique_ptr<Database> other = book.connectAgain();
        Dataset ds(db);
        ds.openTable("Quotation_Head", "id");
        ds.setCaption("BillNo", "报价单号");
        ds.setRecordLabelField("BillNo");
        // Saved again and again, each save compares against what the book
        // holds: the columns it filled in (state, IsDelete), an amount kept to
        // the cent, a time kept to the second.
        BookChecks::appendRow(ds, {{"BillNo", "BJ1"}, {"Remark", "初稿"}});
        ds.applyUpdates();
        QCOMPARE(ds.value("state").toInt(), 1);
        ds.setValue("Freight", 12.345);
        ds.applyUpdates();
        ds.setValue("Keyin_Date", QDateTime(QDate(2006, 6, 25), QTime(9, 30, 15, 678)));
        ds.applyUpdates();
        ds.setValue("Rummery", "山景");
        ds.applyUpdates();
        QCOMPARE(rows(db, "select Rummery from Quotation_Head"), QString("山景"));

        // Another workstation changes another field of the same row: the edit
        // here is refused, nothing is written and the edit is kept.
        other->execute("update Quotation_Head set Remark='他改' where BillNo='BJ1'");
        ds.setValue("Freight", 99);
        ds.post();
        verifyRefused([&] { ds.applyUpdates(); }, DbError::Kind::RecordChanged, {"已被其他用户修改"}, {"remark"});
        QCOMPARE(rows(db, "select Freight from Quotation_Head"), QString("12.35"));
        QCOMPARE(ds.rowStatus(0), Dataset::RowStatus::Modified);
        QCOMPARE(ds.value("Freight").toDouble(), 99.0);

        // A row deleted elsewhere is said to be deleted, naming the record,
        // and the edit is kept.
        other->execute("delete from Quotation_Head where BillNo='BJ1'");
        verifyRefused([&] { ds.applyUpdates(); }, DbError::Kind::RecordChanged,
                      {"已被其他用户删除", "没有保存", "报价单号“BJ1”"}, {"quotation_head"});
        QVERIFY(ds.hasChanges());
    }
    // A code a unique index already holds, as a changed record and as a new
    // one saved after another new one: the message names the field and the
    // code, the details keep the statement and the driver's text, nothing is
    // written (the row saved before is undone and loses its key), and the same
    // cache saves in full once the user mends the code.
    void duplicateCodeIsToldAndKeptForMending() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        for (const bool newRecord : {false, true}) {
            const QString name = rows(db, "select Unit_name from unit where unit_code='UN001'");
            const int units = count(db, "unit");
            Dataset ds(db);
            ds.openTable("unit", "unit_code");
            ds.setCaption("unit_code", "单位编码");
            ds.setValue("Unit_name", name + "改");
            ds.post();
            if (newRecord) {
                BookChecks::appendRow(ds, {{"unit_code", "UN050"}});
                ds.append();
            } else {
                ds.setCurrentRow(1);
            }
            ds.setValue("unit_code", "UN003");
            ds.post();
            verifyRefused([&] { ds.applyUpdates(); }, DbError::Kind::Duplicate, {"单位编码", "UN003", "已经存在"},
                          {newRecord ? "insert into unit" : "update unit"});
            QCOMPARE(rows(db, "select Unit_name from unit where unit_code='UN001'"), name);
            QCOMPARE(count(db, "unit"), units);
            QCOMPARE(ds.rowStatus(0), Dataset::RowStatus::Modified);
            if (newRecord) {
                QCOMPARE(ds.rowStatus(units + 1), Dataset::RowStatus::Inserted);
                QVERIFY(ds.value(units, "id").isNull());
            }
            ds.setCurrentRow(newRecord ? units + 1 : 1);
            ds.setValue("unit_code", newRecord ? "UN052" : "UN051");
            ds.post();
            ds.applyUpdates();
            QCOMPARE(count(db, "unit"), units + (newRecord ? 2 : 0));
            QCOMPARE(rows(db, "select Unit_name from unit where unit_code='UN001'"), name + "改");
        }
    }
    // A definition without the column's digits lets a number through to the
    // server, which refuses it ("numeric field overflow"): the user reads which
    // record and field, the details keep the statement. An embedded book has no
    // such limit of its own; there the number is refused as it is set
    // (TestDataset::valuesBeyondTheColumnAreRefused).
    void serverOverflowNamesTheField() {
        if (TestBooks::currentEngine() != QLatin1String("postgres")) {
            QSKIP("only a server refuses a number beyond the column's digits");
        }
        FreshBook book(TestBooks::currentEngine());
        book.db().execute("insert into goods (code, Default_price) values ('G1', 12.5)");
        Dataset ds(book.db());
        ds.openTable("goods", "code");
        ds.setCaption("Default_price", "默认单价");
        ds.setRecordLabelField("code");
        ds.field("Default_price").precision = 0;
        ds.setValue("Default_price", 1e20);
        verifyRefused([&] { ds.applyUpdates(); }, DbError::Kind::NumberTooLarge, {"默认单价", "G1", "14"},
                      {"update goods set", "22003"});
        QCOMPARE(rows(book.db(), "select Default_price from goods where code='G1'"), QString("12.5"));
    }
    // A failure a command shows goes to olvend.log in the program's folder with
    // the time, the user, the book, the text shown and the details, each after
    // the ones before; a log that cannot be written stops nothing. (What the
    // box shows of a failure is TestActionManager::guardShowsWhatIsThrown.)
    void failureShownIsWrittenToTheLog() {
        TestBooks::TestProgram p(true);
        p.connect(TestBooks::currentEngine());
        AppContext& c = p.context();
        c.CurrentUser = {"张三", "", "管理员组"};
        c.CurrentAccountBook.BookName = "测试帐册";
        Dataset ds(c.data().main());
        ds.openTable("unit", "unit_code");
        BookChecks::appendRow(ds, {{"unit_code", "UN002"}});
        ds.post();
        QFile log(c.paths().programFolder() + "olvend.log");
        for (int time = 1; time <= 2; ++time) {
            p.prompter().clear();
            QVERIFY(!ActionManager::guard(c.prompter(), [&ds] { ds.applyUpdates(); }));
            QVERIFY(log.open(QIODevice::ReadOnly));
            const QString entry = QString::fromUtf8(log.readAll());
            log.close();
            QVERIFY2(entry.contains(QDate::currentDate().toString("yyyy-MM-dd")), qPrintable(entry));
            QVERIFY2(entry.contains("张三") && entry.contains("测试帐册"), qPrintable(entry));
            QVERIFY2(entry.contains(p.prompter().lastText()), qPrintable(entry));
            QCOMPARE(entry.count("insert into unit"), time);
        }
        // A folder stands where the log would be.
        QVERIFY(log.remove());
        QVERIFY(QDir(c.paths().programFolder()).mkdir("olvend.log"));
        QVERIFY(!c.errorLog().append("保存失败", "SQL: insert into unit"));
        p.prompter().clear();
        QVERIFY(!ActionManager::guard(c.prompter(), [&ds] { ds.applyUpdates(); }));
        QCOMPARE(p.prompter().messages().size(), 1);
        QVERIFY(p.prompter().messages().last().details.contains("insert into unit"));
    }
};

QTEST_GUILESS_MAIN(TestDatasetSaving)
#include "test_dataset_saving.moc"
