#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

#include "data/dataset.h"
#include "platform/errors.h"
#include "support/test_books.h"

using TestBooks::FreshBook;

// The in-memory cursor of the editing windows, on both engines.
class TestDataset : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    void fieldsComeFromTheSchema();
    void tableColumnsAreReadOncePerConnection();
    void editPostAndCancel();
    void appendThenCancelLeavesNothing();
    void applyUpdatesWritesEveryKindOfChange();
    void failingApplyChangesNothingAndKeepsTheCache();
    void cancelUpdatesRestoresTheRows();
    void masterDetailShowsAndLinksRows();
    void fieldChangeDrivesComputedFields();
    void autoApplyWritesAtOnce();
    void roundsToTheFieldsScale();
    void textLongerThanTheFieldIsRefused();
    void datesRoundTripAndCompare();
    void rowDeletedElsewhereIsAConflict();
    void datesKeepTheirWallClockTime();
    void locateAndNavigate();
    void hostileTextIsStoredAsTyped();
    void repeatedValuesStayIndependent();
};

void TestDataset::fieldsComeFromTheSchema() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("goods");
    QVERIFY(ds.isOpen());
    QCOMPARE(ds.field("Default_price").type, FieldDef::Type::Decimal);
    QCOMPARE(ds.field("Default_price").scale, 4);
    QCOMPARE(ds.field("Default_TotalPrice").scale, 2);
    QCOMPARE(ds.field("Goods_name").type, FieldDef::Type::Text);
    QCOMPARE(ds.field("Goods_name").size, 100);
    QCOMPARE(ds.field("Keyin_time").type, FieldDef::Type::DateTime);
    QCOMPARE(ds.field("Goods_class").type, FieldDef::Type::Integer);
    QVERIFY(ds.field("id").autoIncrement);
    QVERIFY(ds.field("ID").primaryKey);  // names without regard to case
    QVERIFY_THROWS_EXCEPTION(UserError, ds.field("no_such_field"));
}

void TestDataset::tableColumnsAreReadOncePerConnection() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    const int columns = TableSchema::columns(db, "unit").size();
    QVERIFY(columns > 0);
    db.execute("ALTER TABLE unit ADD COLUMN extra_note VARCHAR(10)");
    // Kept from the first read, for this connection and any spelling.
    QCOMPARE(TableSchema::columns(db, "UNIT").size(), columns);
    db.forgetColumns();
    const QList<FieldDef> fresh = TableSchema::columns(db, "unit");
    QCOMPARE(fresh.size(), columns + 1);
    QCOMPARE(fresh.last().name.toLower(), QString("extra_note"));
    QCOMPARE(fresh.last().size, 10);
    Dataset ds(db);
    ds.openTable("unit");
    QCOMPARE(ds.field("extra_note").size, 10);
}

void TestDataset::editPostAndCancel() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("unit", "unit_code");
    QCOMPARE(ds.rowCount(), 6);
    QSignalSpy states(&ds, &Dataset::stateChanged);
    ds.setValue("Unit_name", "只");  // starts an edit
    QCOMPARE(ds.state(), Dataset::State::Edit);
    QCOMPARE(ds.value("Unit_name").toString(), QString("只"));
    ds.cancel();
    QCOMPARE(ds.state(), Dataset::State::Browse);
    QCOMPARE(ds.value("Unit_name").toString(), QString("个"));
    QVERIFY(!ds.hasChanges());
    ds.edit();
    ds.setValue("Unit_name", "只");
    ds.post();
    QCOMPARE(ds.rowStatus(0), Dataset::RowStatus::Modified);
    QCOMPARE(ds.originalValue(0, "Unit_name").toString(), QString("个"));
    QVERIFY(ds.hasChanges());
    QVERIFY(states.count() >= 3);
    // Nothing reached the database yet.
    QCOMPARE(book.db().scalar("select Unit_name from unit where unit_code='UN001'").toString(), QString("个"));
}

void TestDataset::appendThenCancelLeavesNothing() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("unit");
    ds.append();
    QCOMPARE(ds.state(), Dataset::State::Insert);
    QCOMPARE(ds.rowCount(), 7);
    QCOMPARE(ds.currentRow(), 6);
    ds.setValue("unit_code", "UN100");
    ds.cancel();
    QCOMPARE(ds.rowCount(), 6);
    QVERIFY(!ds.hasChanges());
    ds.applyUpdates();
    QCOMPARE(book.db().scalar("select count(*) from unit").toInt(), 6);
}

void TestDataset::applyUpdatesWritesEveryKindOfChange() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("unit", "unit_code");
    ds.first();
    ds.setValue("remark", "改");
    ds.post();
    ds.setCurrentRow(1);
    ds.deleteCurrent();
    ds.append();
    ds.setValue("unit_code", "UN007");
    ds.setValue("Unit_name", "卷");
    ds.append();  // posts the first new row
    ds.setValue("unit_code", "UN008");
    ds.setValue("Unit_name", "桶");
    QSignalSpy applied(&ds, &Dataset::afterApply);
    ds.applyUpdates();
    QCOMPARE(applied.count(), 1);
    QVERIFY(!ds.hasChanges());
    Database& db = book.db();
    QCOMPARE(db.scalar("select remark from unit where unit_code='UN001'").toString(), QString("改"));
    QCOMPARE(db.scalar("select count(*) from unit where unit_code='UN002'").toInt(), 0);
    QCOMPARE(db.scalar("select count(*) from unit").toInt(), 7);
    // New rows learn the keys the database gave them.
    const int last = ds.rowCount() - 1;
    QCOMPARE(ds.value(last, "unit_code").toString(), QString("UN008"));
    QCOMPARE(ds.value(last, "id").toInt(), db.scalar("select id from unit where unit_code='UN008'").toInt());
    QVERIFY(ds.value(last, "id").toInt() > 6);
    // A second apply has nothing to do.
    ds.applyUpdates();
    QCOMPARE(db.scalar("select count(*) from unit").toInt(), 7);
}

void TestDataset::failingApplyChangesNothingAndKeepsTheCache() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("unit", "unit_code");
    ds.first();
    ds.setValue("Unit_name", "改名");
    ds.post();
    ds.append();
    ds.setValue("unit_code", "UN050");
    ds.append();
    ds.setValue("unit_code", "UN003");  // already used: the unique index refuses it
    ds.post();
    QVERIFY_THROWS_EXCEPTION(DbError, ds.applyUpdates());
    Database& db = book.db();
    QCOMPARE(db.scalar("select Unit_name from unit where unit_code='UN001'").toString(), QString("个"));
    QCOMPARE(db.scalar("select count(*) from unit").toInt(), 6);
    QVERIFY(ds.hasChanges());
    QCOMPARE(ds.rowCount(), 8);
    QCOMPARE(ds.rowStatus(0), Dataset::RowStatus::Modified);
    QCOMPARE(ds.rowStatus(7), Dataset::RowStatus::Inserted);
    QVERIFY(ds.value(6, "id").isNull());
    // After the user mends the row, the same cache applies in full.
    ds.setCurrentRow(7);
    ds.setValue("unit_code", "UN051");
    ds.post();
    ds.applyUpdates();
    QCOMPARE(db.scalar("select count(*) from unit").toInt(), 8);
    QCOMPARE(db.scalar("select Unit_name from unit where unit_code='UN001'").toString(), QString("改名"));
}

void TestDataset::cancelUpdatesRestoresTheRows() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("unit", "unit_code");
    ds.setValue("Unit_name", "x");
    ds.post();
    ds.setCurrentRow(2);
    ds.deleteCurrent();
    ds.append();
    ds.setValue("unit_code", "UN099");
    ds.cancelUpdates();
    QVERIFY(!ds.hasChanges());
    QCOMPARE(ds.rowCount(), 6);
    QCOMPARE(ds.value(0, "Unit_name").toString(), QString("个"));
    QCOMPARE(ds.value(2, "unit_code").toString(), QString("UN003"));
}

void TestDataset::masterDetailShowsAndLinksRows() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    db.query("insert into Quotation_Head (BillNo) values ('BJ1'), ('BJ2')");
    db.query(
        "insert into Quotation_Detail (HeadNo, GoodsNo, QTY) values ('BJ1', 'A', 1), ('BJ1', 'B', 2), "
        "('BJ2', 'C', 3)");
    Dataset head(db);
    head.openTable("Quotation_Head", "BillNo");
    Dataset lines(db);
    lines.openTable("Quotation_Detail", "id");
    lines.setMaster(&head, "BillNo", "HeadNo");
    QCOMPARE(lines.rowCount(), 2);
    head.setCurrentRow(1);
    QCOMPARE(lines.rowCount(), 1);
    QCOMPARE(lines.value("GoodsNo").toString(), QString("C"));
    lines.append();
    QCOMPARE(lines.value("HeadNo").toString(), QString("BJ2"));
    lines.setValue("GoodsNo", "D");
    head.setCurrentRow(0);  // moving the master posts the pending line
    QCOMPARE(lines.rowCount(), 2);
    lines.deleteCurrent();
    head.setCurrentRow(1);
    QCOMPARE(lines.rowCount(), 2);
    lines.applyUpdates();
    QCOMPARE(db.scalar("select count(*) from Quotation_Detail where HeadNo='BJ2'").toInt(), 2);
    QCOMPARE(db.scalar("select count(*) from Quotation_Detail where HeadNo='BJ1'").toInt(), 1);
}

void TestDataset::fieldChangeDrivesComputedFields() {
    FreshBook book(TestBooks::currentEngine());
    Dataset lines(book.db());
    lines.openTable("Quotation_Detail");
    QStringList changed;
    connect(&lines, &Dataset::fieldChanged, this, [&](const QString& f) {
        changed << f.toLower();
        if (f.compare("QTY", Qt::CaseInsensitive) == 0 || f.compare("Price", Qt::CaseInsensitive) == 0) {
            lines.setValue("Total_Price", lines.value("QTY").toDouble() * lines.value("Price").toDouble());
        }
    });
    lines.append();
    lines.setValue("HeadNo", "BJ1");
    lines.setValue("GoodsNo", "A");
    lines.setValue("QTY", 3);
    lines.setValue("Price", 12.345);  // rounded to 12.35 before the amount is computed
    QCOMPARE(lines.value("Total_Price").toDouble(), 37.05);
    QVERIFY(changed.contains("total_price"));
    // Setting the same value again is not a change.
    changed.clear();
    lines.setValue("QTY", 3);
    QVERIFY(changed.isEmpty());
}

void TestDataset::autoApplyWritesAtOnce() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.setAutoApply(true);
    ds.openTable("goods");
    ds.append();
    ds.setValue("code", "SP00000001");
    ds.setValue("Goods_name", "合页");
    ds.post();
    QCOMPARE(book.db().scalar("select Goods_name from goods where code='SP00000001'").toString(), QString("合页"));
    QVERIFY(!ds.hasChanges());
    QVERIFY(ds.value("id").toInt() > 0);
    ds.deleteCurrent();
    QCOMPARE(book.db().scalar("select count(*) from goods").toInt(), 0);
}

void TestDataset::roundsToTheFieldsScale() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("goods");
    ds.append();
    ds.setValue("code", "SP1");
    ds.setValue("Default_TotalPrice", 2.675);
    ds.setValue("Default_Qty", 2.5);
    ds.setValue("Mix_storage_count", -2.5);
    ds.setValue("purchase_price", 0.1 + 0.2);
    QCOMPARE(ds.value("Default_TotalPrice").toDouble(), 2.68);
    QCOMPARE(ds.value("Default_Qty").toDouble(), 3.0);
    QCOMPARE(ds.value("Mix_storage_count").toLongLong(), -3LL);
    ds.applyUpdates();
    Database& db = book.db();
    QCOMPARE(db.scalar("select Default_TotalPrice from goods").toDouble(), 2.68);
    QCOMPARE(db.scalar("select Mix_storage_count from goods").toInt(), -3);
    QCOMPARE(db.scalar("select count(*) from goods where purchase_price = 0.3").toInt(), 1);
    QCOMPARE(ds.field("Default_TotalPrice").displayText(1234.5), QString("1234.50"));
    ds.setDisplayFormat("Default_TotalPrice", "#,##0.00");
    QCOMPARE(ds.displayText(0, ds.fieldIndex("Default_TotalPrice")), QString("2.68"));
    QCOMPARE(ds.field("Default_TotalPrice").displayText(1234567.891), QString("1,234,567.89"));
}

void TestDataset::textLongerThanTheFieldIsRefused() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("unit");
    ds.append();
    ds.setValue("unit_code", "UN0000000001");  // 12 characters in a field of 10
    QVERIFY_THROWS_EXCEPTION(UserError, ds.post());
    QCOMPARE(ds.state(), Dataset::State::Insert);      // the edit is kept for mending
    ds.setValue("unit_code", "单位编码单位编码单位");  // 10 characters, whatever their bytes
    ds.post();
    ds.applyUpdates();
    QCOMPARE(book.db().scalar("select count(*) from unit").toInt(), 7);
}

void TestDataset::datesRoundTripAndCompare() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    Dataset ds(db);
    ds.openTable("payout");
    for (int day = 1; day <= 3; ++day) {
        ds.append();
        ds.setValue("paytime", QDate(2006, 12, day));
        ds.setValue("subject", "0");
        ds.setValue("totalprice", day * 100);
    }
    ds.append();
    ds.setValue("paytime", QDateTime(QDate(2006, 12, 3), QTime(15, 30, 5)));
    ds.setValue("subject", "1");
    ds.applyUpdates();
    QCOMPARE(db.scalar("select count(*) from payout where paytime >= :from and paytime < :to",
                       {{"from", QDate(2006, 12, 2)}, {"to", QDate(2006, 12, 4)}})
                 .toInt(),
             3);
    Dataset again(db);
    again.setUpdateTable("payout");
    again.open("select * from payout where subject=:s order by paytime", {{"s", "0"}});
    QCOMPARE(again.rowCount(), 3);
    QCOMPARE(again.value(0, "paytime").toDateTime(), QDateTime(QDate(2006, 12, 1), QTime(0, 0)));
    QCOMPARE(again.displayText(0, again.fieldIndex("paytime")), QString("2006-12-01"));
    again.setDisplayFormat("paytime", "YYYY-MM-DD");
    QCOMPARE(again.displayText(2, again.fieldIndex("paytime")), QString("2006-12-03"));
}

void TestDataset::datesKeepTheirWallClockTime() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    if (!db.isAccess()) {
        // A server in another time zone than UTC must not shift the times.
        db.query("SET TIME ZONE 'Asia/Shanghai'");
    }
    Dataset ds(db);
    ds.openTable("goods");
    ds.append();
    ds.setValue("code", "SP1");
    ds.setValue("Keyin_time", QDateTime(QDate(2006, 12, 25), QTime(10, 30, 15)));
    ds.setValue("Update_time", QDate(2006, 12, 26));
    ds.applyUpdates();
    const QString stored = db.isAccess()
                               ? db.scalar("select Keyin_time from goods").toString()
                               : db.scalar("select to_char(Keyin_time, 'YYYY-MM-DD HH24:MI:SS') from goods").toString();
    QCOMPARE(stored, QString("2006-12-25 10:30:15"));
    QCOMPARE(db.scalar("select count(*) from goods where Update_time = :d", {{"d", QDate(2006, 12, 26)}}).toInt(), 1);
    Dataset again(db);
    again.openTable("goods");
    QCOMPARE(again.value(0, "Keyin_time").toDateTime().time(), QTime(10, 30, 15));
    QCOMPARE(again.displayText(0, again.fieldIndex("Keyin_time")), QString("2006-12-25 10:30:15"));
    QCOMPARE(again.displayText(0, again.fieldIndex("Update_time")), QString("2006-12-26"));
}

void TestDataset::rowDeletedElsewhereIsAConflict() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("unit", "unit_code");
    ds.setValue("Unit_name", "改");
    ds.post();
    auto other = book.connectAgain();
    other->query("delete from unit where unit_code='UN001'");
    try {
        ds.applyUpdates();
        QFAIL("expected a conflict");
    } catch (const DbError& e) {
        QVERIFY(e.message().contains("其他用户"));
    }
    QVERIFY(ds.hasChanges());
}

void TestDataset::locateAndNavigate() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("unit", "unit_code");
    QVERIFY(ds.locate("Unit_name", "箱"));
    QCOMPARE(ds.value("unit_code").toString(), QString("UN004"));
    QVERIFY(ds.locate("unit_code", "un006", Qt::CaseInsensitive));
    QCOMPARE(ds.currentRow(), 5);
    QVERIFY(!ds.locate("unit_code", "un006"));
    ds.first();
    int seen = 0;
    while (!ds.eof()) {
        ++seen;
        ds.next();
    }
    QCOMPARE(seen, 6);
}

void TestDataset::hostileTextIsStoredAsTyped() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("goods");
    const QString hostile = QStringLiteral("a'b\"c%d_e;--\\ \t\x01 引号'");
    ds.append();
    ds.setValue("code", "SP1");
    ds.setValue("remark", hostile);
    ds.applyUpdates();
    QCOMPARE(book.db().scalar("select remark from goods where code='SP1'").toString(), hostile);
    ds.refresh();
    QCOMPARE(ds.value(0, "remark").toString(), hostile);
}

// Equal values down a column are read once and shared; an edit of one row
// must still leave the others as they were, and each keeps its own type.
void TestDataset::repeatedValuesStayIndependent() {
    FreshBook book(TestBooks::currentEngine());
    Database& db = book.db();
    for (int i = 1; i <= 3; ++i) {
        db.execute("insert into payout (paytime, subject, totalprice, remark) values (:t, '0', 12, :r)",
                   {{"t", QDateTime(QDate(2007, 1, 2), QTime(8, 0))}, {"r", i == 3 ? "其它" : "同一"}});
    }
    Dataset ds(db);
    ds.setUpdateTable("payout");
    ds.open("select * from payout order by remark desc, id");
    QCOMPARE(ds.rowCount(), 3);
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(ds.value(r, "paytime").toDateTime(), QDateTime(QDate(2007, 1, 2), QTime(8, 0)));
        QCOMPARE(ds.value(r, "totalprice").toDouble(), 12);
    }
    QCOMPARE(ds.value(0, "remark").toString(), QString("同一"));
    QCOMPARE(ds.value(1, "remark").toString(), QString("同一"));
    QCOMPARE(ds.value(2, "remark").toString(), QString("其它"));
    ds.setCurrentRow(1);
    ds.setValue("remark", "改过");
    ds.setValue("totalprice", 3);
    ds.post();
    QCOMPARE(ds.value(0, "remark").toString(), QString("同一"));
    QCOMPARE(ds.value(0, "totalprice").toDouble(), 12);
    QCOMPARE(ds.value(1, "remark").toString(), QString("改过"));
    QCOMPARE(ds.originalValue(1, "remark").toString(), QString("同一"));
    ds.applyUpdates();
    QCOMPARE(db.scalar("select count(*) from payout where remark='同一'").toInt(), 1);
    QCOMPARE(db.scalar("select count(*) from payout where remark='改过' and totalprice=3").toInt(), 1);
}

QTEST_GUILESS_MAIN(TestDataset)
#include "test_dataset.moc"
