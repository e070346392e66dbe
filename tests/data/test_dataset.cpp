#include <QDate>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "book_checks.h"
#include "data/dataset.h"
#include "data/lookup_list.h"
#include "platform/errors.h"
#include "support/goods_rows.h"
#include "support/test_books.h"

using BookChecks::appendRow;
using BookChecks::count;
using BookChecks::rows;
using BookChecks::thrown;
using TestBooks::FreshBook;

namespace {
// What the dataset shows (or holds) of `field` in each row, joined by '|'.
QString shown(const Dataset& ds, const QString& field, bool display = true) {
    QStringList out;
    for (int r = 0; r < ds.rowCount(); ++r) {
        out << (display ? ds.displayText(r, ds.fieldIndex(field)) : ds.value(r, field).toString());
    }
    return out.join('|');
}

// A unit row edited, one deleted and one new, all cached.
void cacheThreeKindsOfChange(Dataset& ds) {
    ds.openTable("unit", "unit_code");
    ds.setValue("Unit_name", "改名");
    ds.post();
    ds.setCurrentRow(1);
    ds.deleteCurrent();
    appendRow(ds, {{"unit_code", "UN070"}, {"Unit_name", "新单位"}});
    ds.post();
}

// The units of cacheThreeKindsOfChange as the book holds them, and how many.
QString touchedUnits(Database& db) {
    return rows(db, "select unit_code, Unit_name from unit where unit_code in ('UN001', 'UN002', 'UN070') order by 1") +
           " " + QString::number(count(db, "unit"));
}

// The cache of cacheThreeKindsOfChange is pending again, none of it written.
void verifyPendingAndUnwritten(Dataset& ds, Database& db) {
    QCOMPARE(ds.rowCount(), 6);
    QVERIFY(ds.rowStatus(0) == Dataset::RowStatus::Modified && ds.rowStatus(5) == Dataset::RowStatus::Inserted);
    QVERIFY(ds.value(5, "id").isNull());
    QCOMPARE(touchedUnits(db), QString("UN001,个|UN002,件 6"));
}

// Saved again, the same cache is written whole, once, the new key learnt.
void verifySavedOnce(Dataset& ds, Database& db) {
    ds.applyUpdates();
    QVERIFY(!ds.hasChanges());
    ds.applyUpdates();
    QCOMPARE(touchedUnits(db), QString("UN001,改名|UN070,新单位 6"));
    QCOMPARE(ds.value(5, "id").toInt(), db.scalar("select id from unit where unit_code='UN070'").toInt());
}

// `f` throws a DbError of `kind` saying `said` and no SQL words, its details holding `details` and the driver's text.
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

// A unit whose code the seeded rows hold: the database refuses it.
void insertTakenCode(Database& db) {
    db.execute("insert into unit (unit_code) values ('UN003')");
}
}  // namespace

class TestDataset : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() {
        if (TestBooks::engineAvailable()) {
            m_book = std::make_unique<FreshBook>(TestBooks::currentEngine());
        }
    }
    void cleanup() { m_book.reset(); }
    // Edits stay in the cache until applied; cancel and cancelUpdates undo.
    void editsStayInTheCacheUntilApplied() {
        Dataset ds(m_book->db());
        ds.openTable("unit", "unit_code");
        ds.setValue("Unit_name", "只");  // starts an edit
        QCOMPARE(ds.state(), Dataset::State::Edit);
        ds.cancel();
        QCOMPARE(ds.value("Unit_name").toString(), QString("个"));
        ds.append();
        QCOMPARE(ds.state(), Dataset::State::Insert);
        ds.cancel();
        QVERIFY(ds.rowCount() == 6 && !ds.hasChanges());
        ds.first();
        ds.setValue("Unit_name", "只");
        ds.post();
        QCOMPARE(ds.rowStatus(0), Dataset::RowStatus::Modified);
        QCOMPARE(ds.originalValue(0, "Unit_name").toString(), QString("个"));
        QCOMPARE(rows(m_book->db(), "select Unit_name from unit where unit_code='UN001'"), QString("个"));
        QVERIFY(!ds.locate("unit_code", "un004") && ds.locate("unit_code", "un004", Qt::CaseInsensitive));
        ds.deleteCurrent();
        appendRow(ds, {{"unit_code", "UN099"}});
        ds.append();  // posts the first new row
        QCOMPARE(ds.rowStatus(5), Dataset::RowStatus::Inserted);
        ds.cancelUpdates();
        QVERIFY(!ds.hasChanges());
        QCOMPARE(shown(ds, "unit_code") + " " + ds.value(0, "Unit_name").toString(),
                 QString("UN001|UN002|UN003|UN004|UN005|UN006 个"));
    }
    // The lines of the master's row; a new line linked to it, posted when the master moves.
    void masterDetail() {
        Database& db = m_book->db();
        db.query("insert into Quotation_Head (BillNo) values ('BJ1'), ('BJ2')");
        db.query("insert into Quotation_Detail (HeadNo, GoodsNo) values ('BJ1', 'A'), ('BJ1', 'B'), ('BJ2', 'C')");
        Dataset head(db);
        head.openTable("Quotation_Head", "BillNo");
        Dataset lines(db);
        lines.openTable("Quotation_Detail", "id");
        lines.setMaster(&head, "BillNo", "HeadNo");
        QCOMPARE(shown(lines, "GoodsNo"), QString("A|B"));
        head.setCurrentRow(1);
        appendRow(lines, {{"GoodsNo", "D"}});
        QCOMPARE(lines.value("HeadNo").toString(), QString("BJ2"));
        head.setCurrentRow(0);
        lines.deleteCurrent();
        head.setCurrentRow(1);
        QCOMPARE(shown(lines, "GoodsNo"), QString("C|D"));
        lines.applyUpdates();
        QCOMPARE(rows(db, "select HeadNo, count(*) from Quotation_Detail group by HeadNo order by HeadNo"),
                 QString("BJ1,1|BJ2,2"));
    }
    // Fields, kinds and scales come from the schema. Numbers rounded half away from zero to the scale, exact up to
    // numeric(18,4); beyond the column refused by caption, the value kept; a text longer than its field (in
    // characters) refused at the post.
    void numbersAreKeptToTheColumnsScale() {
        Database& db = m_book->db();
        db.execute("insert into goods (code, Default_Qty) values ('G1', 3)");
        Dataset ds(db);
        ds.openTable("goods", "code");
        QCOMPARE(ds.field("Default_price").scale + ds.field("Default_TotalPrice").scale, 4 + 2);
        QCOMPARE(ds.field("Keyin_time").type, FieldDef::Type::DateTime);
        QVERIFY(ds.field("id").autoIncrement && ds.field("ID").primaryKey);
        QVERIFY_THROWS_EXCEPTION(UserError, ds.field("no_such_field"));
        const struct {
            const char* field;
            QVariant typed;
            QString kept;
        } cases[] = {
            {"Default_price", -2.00005, "-2.0001"}, {"Default_price", 99999999999999.98, "99999999999999.9800"},
            {"Default_price", "7.00004", "7.0000"}, {"purchase_price", 0.1 + 0.2, "0.3000"},
            {"Default_TotalPrice", 2.675, "2.68"},  {"Mix_storage_count", -2.5, "-3"}};
        for (const auto& c : cases) {
            const int scale = ds.field(c.field).scale;
            ds.setValue(c.field, c.typed);
            QCOMPARE(formatFixed(ds.value(c.field).toDouble(), scale), c.kept);
            ds.applyUpdates();
            QVERIFY2(count(db, QStringLiteral("goods where %1 = %2").arg(c.field, c.kept)) == 1, qPrintable(c.kept));
            ds.refresh();
            QCOMPARE(formatFixed(ds.value(c.field).toDouble(), scale), c.kept);
        }
        const QList<std::tuple<QString, QString, QVariant>> beyond{
            {"Default_price", "默认单价", 1e14},
            {"Default_price", "默认单价", "99999999999999.99996"},  // rounds up to it
            {"Default_Qty", "默认数量", "1e18"},
            {"Goods_class", "商品类别", 9223372036854775808.0},  // just past 64 bits
            {"Goods_class", "商品类别", qInf()}};
        for (const auto& [field, caption, typed] : beyond) {
            ds.setCaption(field, caption);
            const QVariant before = ds.value(field);
            const QString said = BookChecks::refusal([&] { ds.setValue(field, typed); });
            QVERIFY2(said.contains(caption) && !said.contains(field), qPrintable(typed.toString() + ": " + said));
            QCOMPARE(ds.value(field), before);
        }
        ds.applyUpdates();
        QCOMPARE(rows(db, "select Default_price, Default_Qty, Goods_class from goods where code='G1'"),
                 QString("7,3,~"));
        Dataset units(db);
        units.openTable("unit");
        appendRow(units, {{"unit_code", "UN0000000001"}});  // 12 characters in a field of 10
        QVERIFY_THROWS_EXCEPTION(UserError, units.post());
        QCOMPARE(units.state(), Dataset::State::Insert);      // the edit is kept for mending
        units.setValue("unit_code", "单位编码单位编码单位");  // 10 characters, whatever their bytes
        units.applyUpdates();
        QCOMPARE(count(db, "unit"), 7);
    }
    // Dates keep their wall-clock reading (a server in another zone too).
    void datesKeepTheirWallClockTime() {
        Database& db = m_book->db();
        if (!db.isAccess()) {
            db.query("SET TIME ZONE 'Asia/Shanghai'");
        }
        Dataset ds(db);
        ds.openTable("payout");
        appendRow(ds, {{"paytime", QDate(2006, 12, 1)}, {"subject", "0"}});
        appendRow(ds, {{"paytime", QDate(2006, 12, 2)}, {"subject", "0"}});
        appendRow(ds, {{"paytime", QDateTime(QDate(2006, 12, 3), QTime(15, 30, 5))}, {"subject", "1"}});
        ds.applyUpdates();
        QCOMPARE(count(db, "payout where paytime >= :from and paytime < :to",
                       {{"from", QDate(2006, 12, 2)}, {"to", QDate(2006, 12, 4)}}),
                 2);
        QCOMPARE(rows(db, db.isAccess() ? "select paytime from payout where subject='1'"
                                        : "select to_char(paytime, 'YYYY-MM-DD HH24:MI:SS') from payout "
                                          "where subject='1'"),
                 QString("2006-12-03 15:30:05"));
        ds.open("select * from payout order by paytime");
        QCOMPARE(ds.value(0, "paytime").toDateTime(), QDateTime(QDate(2006, 12, 1), QTime(0, 0)));
        QCOMPARE(shown(ds, "paytime"), QString("2006-12-01|2006-12-02|2006-12-03 15:30:05"));
    }
    // An edit of one of several equal rows leaves the others; quotes and control characters stored as typed.
    void repeatedValuesStayIndependent() {
        Database& db = m_book->db();
        db.execute(
            "insert into payout (paytime, subject, totalprice, remark) values (:t, '0', 12, '同一'), "
            "(:t, '0', 12, '同一'), (:t, '0', 12, '其它')",
            {{"t", QDate(2007, 1, 2)}});
        Dataset ds(db);
        ds.setUpdateTable("payout");
        ds.open("select * from payout order by remark desc, id");
        const QString hostile = QStringLiteral("a'b\"c%d_e;--\\ \t\x01 引号'");
        ds.setCurrentRow(1);
        ds.setValue("remark", hostile);
        ds.setValue("totalprice", 3);
        ds.post();
        QCOMPARE(
            shown(ds, "totalprice", false) + " " + shown(ds, "remark") + " " + ds.originalValue(1, "remark").toString(),
            QString("12|3|12 同一|%1|其它 同一").arg(hostile));
        ds.applyUpdates();
        QCOMPARE(rows(db, "select remark, totalprice from payout order by totalprice, id"),
                 QString("%1,3|同一,12|其它,12").arg(hostile));
    }
    // A caller's transaction failing after the save (statement or commit): the edits pending again, saved once later.
    void failedTransactionBringsTheCachedEditsBack() {
        for (const bool atCommit : {false, true}) {
            FreshBook book(TestBooks::currentEngine());
            Database& db = book.db();
            if (atCommit) {
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
                    QVERIFY(!ds.hasChanges() && ds.value(5, "id").toInt() > 0);
                    db.execute("update unit set remark='x' where unit_code=:c", {{"c", "UN070"}});
                    insertTakenCode(db);
                }
                tx.commit();
            }));
            QCOMPARE(db.transactionDepth(), 0);
            verifyPendingAndUnwritten(ds, db);
            verifySavedOnce(ds, db);
        }
    }
    // A savepoint rolled back: the cache pending again, the outer work kept; applied at the outermost commit.
    void nestedTransactions() {
        Database& db = m_book->db();
        Dataset ds(db);
        cacheThreeKindsOfChange(ds);
        QSignalSpy applied(&ds, &Dataset::afterApply);
        {
            WriteTransaction outer(db);
            db.execute("update unit set remark='外层' where unit_code='UN004'");
            QVERIFY(thrown<DbError>([&] {
                WriteTransaction inner(db);
                ds.applyUpdates();
                insertTakenCode(db);
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
            insertTakenCode(db);
            tx.commit();
        }));
        QVERIFY(!ds.hasChanges());
        QCOMPARE(count(db, "unit where unit_code='UN070'"), 1);
    }
    // On a server a transaction's BEGIN, savepoints and releases travel with the next statement: a write of one
    // statement costs two round trips, levels where nothing ran cost none, and each level still keeps or drops
    // exactly its own work.
    void transactionControlTravelsWithTheStatements() {
        Database& db = m_book->db();
        const bool server = !db.isAccess();
        const StatementCounts start = db.counts();
        auto tripsSince = [&db](const StatementCounts& from) { return db.counts().roundTrips - from.roundTrips; };
        {
            WriteTransaction tx(db);
            WriteTransaction idle(db);
            idle.commit();
            tx.commit();
        }
        QCOMPARE(db.counts().statements - start.statements, qint64(server ? 0 : 4));
        StatementCounts from = db.counts();
        {
            WriteTransaction outer(db);
            db.execute("update unit set remark='外' where unit_code='UN001'");
            {
                WriteTransaction kept(db);
                db.execute("update unit set remark='内' where unit_code='UN002'");
                kept.commit();
            }
            {
                WriteTransaction dropped(db);
                db.execute("update unit set remark='弃' where unit_code='UN003'");
            }
            { WriteTransaction emptyDropped(db); }
            outer.commit();
        }
        // BEGIN with the first update, SAVEPOINT with the second, its RELEASE and the next SAVEPOINT with the third,
        // the rollback to that one with its release, COMMIT; the empty level sends nothing.
        QCOMPARE(tripsSince(from), server ? 5 : 0);
        QCOMPARE(db.counts().statements - from.statements, qint64(server ? 10 : 13));
        QCOMPARE(rows(db, "select unit_code, remark from unit where coalesce(remark, '') <> '' order by unit_code"),
                 QString("UN001,外|UN002,内"));
        from = db.counts();
        QVERIFY(thrown<DbError>([&] {
            WriteTransaction tx(db);
            insertTakenCode(db);
            tx.commit();
        }));
        QCOMPARE(db.transactionDepth(), 0);
        QCOMPARE(tripsSince(from), server ? 2 : 0);  // BEGIN with the insert, then ROLLBACK
        // A write sent with the next statement goes in its message; one that fails there, before a savepoint the
        // message was to make, is never committed as if the rest stood.
        from = db.counts();
        {
            WriteTransaction tx(db);
            db.executeWithNext("update unit set remark='随' where unit_code='UN004'");
            db.execute("update unit set remark='主' where unit_code='UN005'");
            tx.commit();
        }
        QCOMPARE(tripsSince(from), server ? 2 : 0);
        // A sibling level's write that fails in the next level's message: an embedded book knows which level
        // failed and keeps the rest; on a server the levels the message carried are unknown, so nothing is kept.
        auto failedInAnotherLevel = [&db] {
            WriteTransaction tx(db);
            db.execute("update unit set remark='前' where unit_code='UN006'");
            try {
                WriteTransaction first(db);
                db.executeWithNext("insert into unit (unit_code) values ('UN003')");
                first.commit();
            } catch (const DbError&) {
            }
            try {
                WriteTransaction second(db);
                db.execute("update unit set remark='后' where unit_code='UN001'");
                second.commit();
            } catch (const DbError&) {
            }
            tx.commit();
        };
        QCOMPARE(bool(thrown<DbError>(failedInAnotherLevel)), server);
        // A statement the server cannot parse runs nothing of its message, the BEGIN included: what follows in
        // the transaction never runs on its own, and the transaction is refused.
        QVERIFY(thrown<DbError>([&db] {
            WriteTransaction tx(db);
            try {
                db.execute("update unit set remark='错' wher unit_code='UN002'");
            } catch (const DbError&) {
            }
            db.execute("update unit set remark='外二' where unit_code='UN002'");
            tx.commit();
        }));
        if (server) {
            // A statement that failed after some of its rows were taken leaves the transaction failed on the
            // server: its COMMIT, answered as a rollback, is no success.
            QVERIFY(thrown<DbError>([&db] {
                WriteTransaction tx(db);
                db.execute("update unit set remark='半' where unit_code='UN007'");
                QSqlQuery q = db.query("select 1 / (x - 3) from generate_series(1, 5) x");
                while (q.next()) {
                }
                tx.commit();
            }));
        }
        QCOMPARE(db.transactionDepth(), 0);
        QCOMPARE(rows(db, "select unit_code, remark from unit where coalesce(remark, '') <> '' order by unit_code"),
                 server ? QString("UN001,外|UN002,内|UN004,随|UN005,主")
                        : QString("UN001,后|UN002,内|UN004,随|UN005,主|UN006,前"));
    }
    // A value the database cannot compute after some rows were sent ends the read with an error, not with the
    // rows so far taken for all of them; through the driver and straight from SQLite alike.
    void rowsCutShortByAFailureAreRefused() {
        Database& db = m_book->db();
        const QString sql = db.isAccess()
                                ? "with recursive s(x) as (select 1 union all select x + 1 from s where x < 5) "
                                  "select case when x = 3 then abs(-9223372036854775808) else x end as v from s"
                                : "select 1 / (x - 3) as v from generate_series(1, 5) x";
        for (bool direct : {true, false}) {
            db.setDirectReads(direct);
            Dataset ds(db);
            QVERIFY(thrown<DbError>([&] { ds.open(sql); }));
        }
        db.setDirectReads(true);
        LookupList list;
        QVERIFY(thrown<DbError>([&] { list.load(db, sql); }));
    }
    // A rollback after the save: rows read inside show the book after; a failure caught inside keeps nothing.
    void rollbacks() {
        Database& db = m_book->db();
        {
            WriteTransaction tx(db);
            Dataset gone(db);
            cacheThreeKindsOfChange(gone);
            gone.applyUpdates();
        }
        Dataset ds(db);
        cacheThreeKindsOfChange(ds);
        {
            WriteTransaction tx(db);
            ds.applyUpdates();
            ds.refresh();
            QVERIFY(ds.locate("unit_code", "UN070"));  // the uncommitted new row
        }
        QVERIFY(!ds.locate("unit_code", "UN070") && ds.locate("unit_code", "UN002") && !ds.hasChanges());
        const auto refused = thrown<DbError>([&] {
            WriteTransaction tx(db);
            db.execute("update unit set remark='一半' where unit_code='UN001'");
            thrown<DbError>([&] { insertTakenCode(db); });
            tx.commit();
        });
        QVERIFY(refused && refused->message().contains("撤销"));
        QCOMPARE(db.transactionDepth(), 0);
        QCOMPARE(touchedUnits(db) + " " + QString::number(count(db, "unit where remark='一半'")),
                 QString("UN001,个|UN002,件 6 0"));
    }
    // Saves compare with what the book holds; a row changed or deleted elsewhere, a taken code are refused.
    void rowChangedElsewhereOrTakenCodeIsNotWritten() {
        Database& db = m_book->db();
        std::unique_ptr<Database> other = m_book->connectAgain();
        Dataset ds(db);
        ds.openTable("Quotation_Head", "id");
        ds.setCaption("BillNo", "报价单号");
        ds.setRecordLabelField("BillNo");
        appendRow(ds, {{"BillNo", "BJ1"}, {"Remark", "初稿"}});
        ds.applyUpdates();
        QCOMPARE(ds.value("state").toInt(), 1);
        for (const auto& [field, value] :
             QList<QPair<QString, QVariant>>{{"Freight", 12.345},
                                             {"Keyin_Date", QDateTime(QDate(2006, 6, 25), QTime(9, 30, 15, 678))},
                                             {"Rummery", "山景"}}) {
            ds.setValue(field, value);
            ds.applyUpdates();
        }
        QCOMPARE(rows(db, "select Rummery from Quotation_Head"), QString("山景"));
        other->execute("update Quotation_Head set Remark='他改' where BillNo='BJ1'");
        ds.setValue("Freight", 99);
        ds.post();
        verifyRefused([&] { ds.applyUpdates(); }, DbError::Kind::RecordChanged, {"已被其他用户修改"}, {"remark"});
        QCOMPARE(rows(db, "select Freight from Quotation_Head"), QString("12.35"));
        QVERIFY(ds.rowStatus(0) == Dataset::RowStatus::Modified && ds.value("Freight").toDouble() == 99.0);
        other->execute("delete from Quotation_Head where BillNo='BJ1'");
        verifyRefused([&] { ds.applyUpdates(); }, DbError::Kind::RecordChanged,
                      {"已被其他用户删除", "没有保存", "报价单号“BJ1”"}, {"quotation_head"});
        QVERIFY(ds.hasChanges());
        // A taken code is named with its field, nothing written; saved whole once mended.
        Dataset units(db);
        units.openTable("unit", "unit_code");
        units.setCaption("unit_code", "单位编码");
        units.setValue("Unit_name", "个改");
        units.post();
        appendRow(units, {{"unit_code", "UN050"}});
        appendRow(units, {{"unit_code", "UN003"}});
        units.post();
        verifyRefused([&] { units.applyUpdates(); }, DbError::Kind::Duplicate, {"单位编码", "UN003", "已经存在"},
                      {"insert into unit"});
        QCOMPARE(touchedUnits(db), QString("UN001,个|UN002,件 6"));
        QVERIFY(units.rowStatus(0) == Dataset::RowStatus::Modified &&
                units.rowStatus(7) == Dataset::RowStatus::Inserted);
        QVERIFY(units.value(6, "id").isNull());
        units.setCurrentRow(7);
        units.setValue("unit_code", "UN052");
        units.applyUpdates();
        QCOMPARE(touchedUnits(db), QString("UN001,个改|UN002,件 8"));
    }
    // A number the server refuses names the record and field.
    void serverOverflowNamesTheField() {
        if (TestBooks::currentEngine() != QLatin1String("postgres")) {
            QSKIP("only a server refuses a number beyond the column's digits");
        }
        m_book->db().execute("insert into goods (code, Default_price) values ('G1', 12.5)");
        Dataset ds(m_book->db());
        ds.openTable("goods", "code");
        ds.setCaption("Default_price", "默认单价");
        ds.setRecordLabelField("code");
        ds.field("Default_price").precision = 0;
        ds.setValue("Default_price", 1e20);
        verifyRefused([&] { ds.applyUpdates(); }, DbError::Kind::NumberTooLarge, {"默认单价", "G1", "14"},
                      {"update goods set", "22003"});
        QCOMPARE(rows(m_book->db(), "select Default_price from goods where code='G1'"), QString("12.5"));
    }

    // A long server list shows its first rows after one round trip and reads the rest in parts: the parts are
    // the rows as they were when the read began, with the same columns and values as a whole read, the count and
    // sums counted on the server beside them; no cursor is left behind. An embedded book, a read inside a
    // transaction and a list shorter than its first part are read whole.
    void longListsReadInParts() {
        Database& db = m_book->db();
        const bool server = m_book->engine() == QLatin1String("postgres");
        Dataset whole(db);
        TestBooks::fillGoods(whole, 1200);
        const QString sql = "select * from goods where code >= :from order by code";
        Dataset parts(db);
        parts.setUpdateTable("goods");
        parts.setReadInParts(300);
        parts.setSummedFields({"Default_TotalPrice"});
        const qint64 tripsBefore = db.counts().roundTrips;
        parts.open(sql, {{"from", "SP"}});
        if (!server) {
            QVERIFY(!parts.hasMoreRows());
            QCOMPARE(parts.rowCount(), 1200);
            QCOMPARE(parts.expectedRowCount(), qint64(-1));
            return;
        }
        // The count and sums went in a second message, not waited for.
        QCOMPARE(db.counts().roundTrips - tripsBefore, qint64(2));
        QCOMPARE(parts.rowCount(), 300);
        QVERIFY(parts.hasMoreRows());
        QCOMPARE(parts.expectedRowCount(), qint64(-1));

        // Another workstation changes the goods meanwhile: the list goes on with the rows as they were, and the
        // count and sums are of those rows.
        auto other = m_book->connectAgain();
        other->execute("delete from goods where code like '%5'");
        other->execute("update goods set Goods_name='改' where code='SP00001000'");
        // A statement of this connection waits for that answer, and runs after the list's transaction ended.
        QCOMPARE(db.scalar("select count(*) from goods").toInt(), 1200 - 120);
        QVERIFY(parts.nextPartReady());
        QSignalSpy appended(&parts, &Dataset::rowsAppended);
        QSignalSpy ended(&parts, &Dataset::readingEnded);
        int next = 300;
        while (parts.hasMoreRows()) {
            const int got = parts.readMoreRows(250);
            QCOMPARE(appended.takeLast(), QVariantList({next, got}));
            next += got;
            QCOMPARE(parts.expectedRowCount(), qint64(1200));
            QCOMPARE(parts.expectedSum("default_totalprice").toDouble(), 1.5 * 1200 * 1201 / 2);
            QVERIFY(parts.expectedSum("Default_price").isNull());
        }
        QCOMPARE(ended.count(), 1);
        QCOMPARE(parts.rowCount(), 1200);
        QCOMPARE(parts.fields().size(), whole.fields().size());
        for (int c = 0; c < whole.fields().size(); ++c) {
            const FieldDef& a = whole.fields()[c];
            const FieldDef& b = parts.fields()[c];
            QCOMPARE(b.name, a.name);
            QVERIFY2(b.type == a.type && b.scale == a.scale && b.inTable == a.inTable, qPrintable(a.name));
            for (int r = 0; r < 1200; ++r) {
                const QVariant va = whole.value(r, c);
                const QVariant vb = parts.value(r, c);
                QVERIFY2(va == vb && va.typeId() == vb.typeId(), qPrintable(QString("%1 %2").arg(a.name).arg(r)));
            }
        }
        QCOMPARE(parts.readMoreRows(100), 0);
        QCOMPARE(db.scalar("select count(*) from pg_cursors").toInt(), 0);

        // Inside a transaction the rows are read whole, as they are now.
        {
            WriteTransaction tx(db);
            parts.refresh();
            QVERIFY(!parts.hasMoreRows());
            QCOMPARE(parts.rowCount(), 1200 - 120);
            QCOMPARE(parts.expectedRowCount(), qint64(-1));
        }
        // Fewer rows than the first part: all come at once, the cursor closed.
        parts.open(sql, {{"from", "SP00001190"}});
        QVERIFY(!parts.hasMoreRows());
        QCOMPARE(parts.rowCount(), 10);
        QCOMPARE(db.scalar("select count(*) from pg_cursors").toInt(), 0);
        // A list read again while its last read goes on: the old cursor is closed.
        parts.open(sql, {{"from", "SP"}});
        QVERIFY(parts.hasMoreRows());
        QCOMPARE(parts.readMoreRows(100), 100);
        parts.open(sql, {{"from", "SP"}});
        QCOMPARE(db.scalar("select count(*) from pg_cursors").toInt(), 1);
        parts.close();
        QCOMPARE(db.scalar("select count(*) from pg_cursors").toInt(), 0);

        // A list dropped while the server still counts it: the count is called off, not waited for (here it
        // would take eight seconds), and the session is left free.
        {
            Dataset slow(db);
            slow.setReadInParts(300);
            slow.open(
                "select g.*, case when code > 'SP00000400' then pg_sleep(0.01) end as waited from goods g "
                "order by code");
            QCOMPARE(slow.rowCount(), 300);
            QVERIFY(!slow.nextPartReady());
            QElapsedTimer dropping;
            dropping.start();
            slow.close();
            QVERIFY2(dropping.elapsed() < 4000, qPrintable(QString::number(dropping.elapsed())));
        }
        QCOMPARE(db.scalar("select count(*) from pg_cursors").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from goods").toInt(), 1200 - 120);

        // The count failing after the first rows came: they stay, and the list says it is incomplete and why.
        Dataset failing(db);
        failing.setReadInParts(300);
        failing.setSummedFields({"Goods_name"});
        failing.open(sql, {{"from", "SP"}});
        QCOMPARE(failing.rowCount(), 300);
        QVERIFY(failing.hasMoreRows());
        const auto e = thrown<DbError>([&] { failing.readMoreRows(300); });
        QVERIFY(e);
        QVERIFY2(
            e->message().startsWith("列表没有读完：列表的其余行无法读取") && e->message().contains("只读到 300 行。"),
            qPrintable(e->message()));
        QVERIFY(failing.readStoppedShort() && !failing.hasMoreRows());
        QCOMPARE(failing.rowCount(), 300);
        QCOMPARE(db.scalar("select count(*) from pg_cursors").toInt(), 0);
        QCOMPARE(db.transactionDepth(), 0);
        QCOMPARE(db.scalar("select count(*) from goods").toInt(), 1200 - 120);
    }

private:
    std::unique_ptr<FreshBook> m_book;
};

QTEST_GUILESS_MAIN(TestDataset)
#include "test_dataset.moc"
