#include <QSignalSpy>
#include <QTest>

#include "book_checks.h"
#include "data/dataset.h"
#include "platform/errors.h"
#include "support/test_books.h"

using BookChecks::appendRow;
using BookChecks::count;
using BookChecks::rows;
using TestBooks::FreshBook;

namespace {
// What the dataset shows of `field` in each row (or holds, when not
// `display`), joined by '|'.
QString shown(const Dataset& ds, const QString& field, bool display = true) {
    QStringList out;
    for (int r = 0; r < ds.rowCount(); ++r) {
        out << (display ? ds.displayText(r, ds.fieldIndex(field)) : ds.value(r, field).toString());
    }
    return out.join('|');
}
}  // namespace

// The in-memory cursor of the editing windows: editing, reading and the
// values it holds, on both engines. Saving and its failures are in
// test_dataset_saving.
class TestDataset : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void fieldsComeFromTheSchemaReadOncePerConnection() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        Dataset ds(db);
        ds.openTable("goods");
        QCOMPARE(ds.field("Default_price").type, FieldDef::Type::Decimal);
        QCOMPARE(ds.field("Default_price").scale + ds.field("Default_TotalPrice").scale, 4 + 2);
        QCOMPARE(ds.field("Goods_name").size, 100);
        QCOMPARE(ds.field("Keyin_time").type, FieldDef::Type::DateTime);
        QCOMPARE(ds.field("Goods_class").type, FieldDef::Type::Integer);
        QVERIFY(ds.field("id").autoIncrement && ds.field("ID").primaryKey);  // names without regard to case
        QVERIFY_THROWS_EXCEPTION(UserError, ds.field("no_such_field"));
        // Columns are kept from the first read, for this connection and any
        // spelling, until forgotten.
        const int columns = TableSchema::columns(db, "unit").size();
        db.execute("ALTER TABLE unit ADD COLUMN extra_note VARCHAR(10)");
        QCOMPARE(TableSchema::columns(db, "UNIT").size(), columns);
        db.forgetColumns();
        Dataset units(db);
        units.openTable("unit");
        QCOMPARE(units.fields().size(), columns + 1);
        QCOMPARE(units.field("extra_note").size, 10);
    }

    // Edits, appends and deletions stay in the cache, and cancel,
    // cancelUpdates and an append cancelled take them back; nothing reaches
    // the book.
    void editsStayInTheCacheUntilApplied() {
        FreshBook book(TestBooks::currentEngine());
        Dataset ds(book.db());
        ds.openTable("unit", "unit_code");
        ds.setValue("Unit_name", "只");  // starts an edit
        QCOMPARE(ds.state(), Dataset::State::Edit);
        ds.cancel();
        QCOMPARE(ds.value("Unit_name").toString(), QString("个"));
        ds.append();
        QCOMPARE(ds.state(), Dataset::State::Insert);
        ds.cancel();
        QCOMPARE(ds.rowCount(), 6);
        QVERIFY(!ds.hasChanges());
        ds.first();
        ds.setValue("Unit_name", "只");
        ds.post();
        QCOMPARE(ds.rowStatus(0), Dataset::RowStatus::Modified);
        QCOMPARE(ds.originalValue(0, "Unit_name").toString(), QString("个"));
        QCOMPARE(rows(book.db(), "select Unit_name from unit where unit_code='UN001'"), QString("个"));
        ds.setCurrentRow(2);
        ds.deleteCurrent();
        ds.append();
        ds.setValue("unit_code", "UN099");
        ds.append();  // posts the first new row
        QCOMPARE(ds.rowStatus(5), Dataset::RowStatus::Inserted);
        ds.cancelUpdates();
        QVERIFY(!ds.hasChanges());
        QCOMPARE(shown(ds, "unit_code"), QString("UN001|UN002|UN003|UN004|UN005|UN006"));
        QCOMPARE(ds.value(0, "Unit_name").toString(), QString("个"));
    }

    // Master and detail: the lines of the master's row, a new line linked to
    // it, a pending line posted when the master moves; an embedded save
    // writes at once.
    void masterDetailAndAutoApply() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        db.query("insert into Quotation_Head (BillNo) values ('BJ1'), ('BJ2')");
        db.query("insert into Quotation_Detail (HeadNo, GoodsNo) values ('BJ1', 'A'), ('BJ1', 'B'), ('BJ2', 'C')");
        Dataset head(db);
        head.openTable("Quotation_Head", "BillNo");
        Dataset lines(db);
        lines.openTable("Quotation_Detail", "id");
        lines.setMaster(&head, "BillNo", "HeadNo");
        QCOMPARE(shown(lines, "GoodsNo"), QString("A|B"));
        head.setCurrentRow(1);
        lines.append();
        QCOMPARE(lines.value("HeadNo").toString(), QString("BJ2"));
        lines.setValue("GoodsNo", "D");
        head.setCurrentRow(0);  // moving the master posts the pending line
        lines.deleteCurrent();
        head.setCurrentRow(1);
        QCOMPARE(shown(lines, "GoodsNo"), QString("C|D"));
        lines.applyUpdates();
        QCOMPARE(rows(db, "select HeadNo, count(*) from Quotation_Detail group by HeadNo order by HeadNo"),
                 QString("BJ1,1|BJ2,2"));

        Dataset ds(db);
        ds.setAutoApply(true);
        ds.openTable("goods");
        appendRow(ds, {{"code", "SP00000001"}, {"Goods_name", "合页"}});
        ds.post();
        QCOMPARE(rows(db, "select Goods_name from goods where code='SP00000001'"), QString("合页"));
        QVERIFY(!ds.hasChanges() && ds.value("id").toInt() > 0);
        ds.deleteCurrent();
        QCOMPARE(count(db, "goods"), 0);
    }

    void fieldChangeDrivesComputedFields() {
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
        lines.setValue("QTY", 3);
        lines.setValue("Price", 12.345);  // rounded to 12.35 before the amount is computed
        QCOMPARE(lines.value("Total_Price").toDouble(), 37.05);
        QVERIFY(changed.contains("total_price"));
        // Setting the same value again is not a change.
        changed.clear();
        lines.setValue("QTY", 3);
        QVERIFY(changed.isEmpty());
    }

    // A number is rounded half away from zero to its column's scale as it is
    // set; the book stores exactly that value and gives it back, up to the
    // largest a numeric(18,4) column holds.
    void numbersAreKeptToTheColumnsScale() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        db.execute("insert into goods (code) values ('G1')");
        Dataset ds(db);
        ds.openTable("goods", "code");
        const struct {
            const char* field;
            QVariant typed;
            QString kept;
        } cases[] = {{"Default_price", -2.00005, "-2.0001"},  // half away from zero
                     {"Default_price", "7.00004", "7.0000"},
                     {"Default_price", 99999999999999.98, "99999999999999.9800"},  // the largest
                     {"purchase_price", 0.1 + 0.2, "0.3000"},
                     {"Default_TotalPrice", 2.675, "2.68"},
                     {"Mix_storage_count", -2.5, "-3"}};
        for (const auto& c : cases) {
            const int scale = ds.field(c.field).scale;
            ds.setValue(c.field, c.typed);
            QCOMPARE(formatFixed(ds.value(c.field).toDouble(), scale), c.kept);
            ds.applyUpdates();
            QVERIFY2(count(db, QStringLiteral("goods where %1 = %2").arg(c.field, c.kept)) == 1, qPrintable(c.kept));
            ds.refresh();
            QCOMPARE(formatFixed(ds.value(c.field).toDouble(), scale), c.kept);
        }
        QCOMPARE(ds.field("Default_TotalPrice").displayText(1234.5), QString("1234.50"));
        ds.setDisplayFormat("Default_TotalPrice", "#,##0.00");
        QCOMPARE(ds.field("Default_TotalPrice").displayText(1234567.891), QString("1,234,567.89"));
    }

    // Default_price is numeric(18,4): 14 whole digits; Goods_class an
    // integer. A number beyond them is refused as it is set, naming the
    // field by its caption; the row keeps its value and nothing reaches the
    // book. So is a text longer than its field, in characters, at the post.
    void valuesBeyondTheColumnAreRefused() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        db.execute("insert into goods (code, Default_price, Default_Qty) values ('G1', 12.5, 3)");
        Dataset ds(db);
        ds.openTable("goods", "code");
        ds.setCaption("Default_price", "默认单价");
        ds.setCaption("Default_Qty", "默认数量");
        ds.setCaption("Goods_class", "商品类别");
        const QList<QPair<QString, QVariant>> cases{{"Default_price", 1e14},                    // one past the limit
                                                    {"Default_price", "99999999999999.99996"},  // rounds up to it
                                                    {"Default_Qty", "1e18"},
                                                    {"Goods_class", 9223372036854775808.0},  // just past 64 bits
                                                    {"Goods_class", qInf()}};
        for (const auto& [field, typed] : cases) {
            const QVariant before = ds.value(field);
            const QString said = BookChecks::refusal([&] { ds.setValue(field, typed); });
            QVERIFY2(said.contains(ds.field(field).caption) && !said.contains(field),
                     qPrintable(typed.toString() + ": " + said));
            QCOMPARE(ds.value(field), before);
        }
        ds.applyUpdates();
        QCOMPARE(rows(db, "select Default_price, Default_Qty, Goods_class from goods where code='G1'"),
                 QString("12.5,3,~"));

        Dataset units(db);
        units.openTable("unit");
        units.append();
        units.setValue("unit_code", "UN0000000001");  // 12 characters in a field of 10
        QVERIFY_THROWS_EXCEPTION(UserError, units.post());
        QCOMPARE(units.state(), Dataset::State::Insert);      // the edit is kept for mending
        units.setValue("unit_code", "单位编码单位编码单位");  // 10 characters, whatever their bytes
        units.post();
        units.applyUpdates();
        QCOMPARE(count(db, "unit"), 7);
    }

    // Dates and times keep their wall-clock reading (also on a server in
    // another zone than UTC), compare as dates and show by their format.
    void datesKeepTheirWallClockTime() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
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
        Dataset again(db);
        again.setUpdateTable("payout");
        again.open("select * from payout order by paytime");
        QCOMPARE(again.value(0, "paytime").toDateTime(), QDateTime(QDate(2006, 12, 1), QTime(0, 0)));
        QCOMPARE(shown(again, "paytime"), QString("2006-12-01|2006-12-02|2006-12-03 15:30:05"));
        again.setDisplayFormat("paytime", "YYYY-MM-DD");
        QCOMPARE(shown(again, "paytime"), QString("2006-12-01|2006-12-02|2006-12-03"));
    }

    void locateAndHostileText() {
        FreshBook book(TestBooks::currentEngine());
        Dataset ds(book.db());
        ds.openTable("unit", "unit_code");
        QVERIFY(ds.locate("Unit_name", "箱"));
        QCOMPARE(ds.value("unit_code").toString(), QString("UN004"));
        QVERIFY(ds.locate("unit_code", "un006", Qt::CaseInsensitive));
        QCOMPARE(ds.currentRow(), 5);
        QVERIFY(!ds.locate("unit_code", "un006"));
        // Quotes, wildcards and control characters are stored as typed.
        const QString hostile = QStringLiteral("a'b\"c%d_e;--\\ \t\x01 引号'");
        ds.first();
        ds.setValue("remark", hostile);
        ds.applyUpdates();
        QCOMPARE(rows(book.db(), "select remark from unit where unit_code='UN001'"), hostile);
    }

    // Equal values down a column are read once and shared; an edit of one
    // row must still leave the others as they were.
    void repeatedValuesStayIndependent() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        for (int i = 1; i <= 3; ++i) {
            db.execute("insert into payout (paytime, subject, totalprice, remark) values (:t, '0', 12, :r)",
                       {{"t", QDate(2007, 1, 2)}, {"r", i == 3 ? "其它" : "同一"}});
        }
        Dataset ds(db);
        ds.setUpdateTable("payout");
        ds.open("select * from payout order by remark desc, id");
        ds.setCurrentRow(1);
        ds.setValue("remark", "改过");
        ds.setValue("totalprice", 3);
        ds.post();
        QCOMPARE(shown(ds, "totalprice", false) + " " + shown(ds, "remark"), QString("12|3|12 同一|改过|其它"));
        QCOMPARE(ds.originalValue(1, "remark").toString(), QString("同一"));
        ds.applyUpdates();
        QCOMPARE(rows(db, "select remark, totalprice from payout order by totalprice, id"),
                 QString("改过,3|同一,12|其它,12"));
    }
};

QTEST_GUILESS_MAIN(TestDataset)
#include "test_dataset.moc"
