#include <QDate>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include "data/data_module.h"
#include "data/dataset.h"
#include "platform/error_log.h"
#include "platform/errors.h"
#include "support/test_books.h"
#include "ui/action_manager.h"
#include "ui/grid_model.h"

using TestBooks::FreshBook;

// Numbers beyond their column's digits and what a user reads when the
// database refuses a save, on both engines.
class TestDatasetErrors : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    void numberBeyondTheColumnIsRefused_data();
    void numberBeyondTheColumnIsRefused();
    void largestNumbersFit_data();
    void largestNumbersFit();
    void decimalsBeyondTheScaleAreRounded_data();
    void decimalsBeyondTheScaleAreRounded();
    void duplicateCodeIsToldInTheUsersWords_data();
    void duplicateCodeIsToldInTheUsersWords();
    void serverOverflowNamesTheField();
    void recordChangedByAnotherUserNamesTheRecord();
    void gridEditRefusedByTheDatabaseKeepsTheDetails();
    void failureShownIsWrittenToTheLog();
    void logThatCannotBeWrittenStopsNothing();
};

namespace {
// The goods of a fresh book with the captions the goods editor shows.
void openGoods(Dataset& ds) {
    ds.openTable("goods", "code");
    ds.setCaption("Default_price", "默认单价");
    ds.setCaption("Default_Qty", "默认数量");
    ds.setCaption("code", "商品编码");
    ds.setCaption("Goods_class", "商品类别");
    ds.setRecordLabelField("code");
}

void addGoods(Database& db) {
    db.execute("insert into goods (code, Goods_name, Default_price, Default_Qty) values ('G1', '合页', 12.5, 3)");
}

// The texts a user must never read.
void verifyPlainWords(const QString& text) {
    for (const char* word :
         {"SQL", "UNIQUE", "QPSQL", "QSQLITE", "constraint", "duplicate", "overflow", "insert ", "update "}) {
        QVERIFY2(!text.contains(QLatin1String(word), Qt::CaseInsensitive), qPrintable(text));
    }
}
}  // namespace

// Default_price is numeric(18,4): 14 whole digits. A number beyond them is
// refused as it is set, naming the field; the row keeps its value and
// nothing reaches the book.
void TestDatasetErrors::numberBeyondTheColumnIsRefused_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("typed");
    QTest::addColumn<QString>("caption");
    QTest::newRow("twenty digits") << "Default_price" << QVariant(99999999999999999999.0) << "默认单价";
    QTest::newRow("as typed text") << "Default_price" << QVariant("99999999999999999999") << "默认单价";
    QTest::newRow("negative") << "Default_price" << QVariant(-1e15) << "默认单价";
    QTest::newRow("one past the limit") << "Default_price" << QVariant(1e14) << "默认单价";
    QTest::newRow("rounds up to the limit") << "Default_price" << QVariant("99999999999999.99996") << "默认单价";
    QTest::newRow("whole number column") << "Default_Qty" << QVariant("1e18") << "默认数量";
    // An integer column: beyond what a 64-bit whole number holds.
    QTest::newRow("integer, huge") << "Goods_class" << QVariant(1e30) << "商品类别";
    QTest::newRow("integer, huge negative text") << "Goods_class" << QVariant("-1e30") << "商品类别";
    QTest::newRow("integer, just past 64 bits") << "Goods_class" << QVariant(9223372036854775808.0) << "商品类别";
    QTest::newRow("integer, infinite") << "Goods_class" << QVariant(qInf()) << "商品类别";
}

void TestDatasetErrors::numberBeyondTheColumnIsRefused() {
    QFETCH(QString, field);
    QFETCH(QVariant, typed);
    QFETCH(QString, caption);
    FreshBook book(TestBooks::currentEngine());
    addGoods(book.db());
    Dataset ds(book.db());
    openGoods(ds);
    const QVariant before = ds.value(field);
    try {
        ds.setValue(field, typed);
        QFAIL("the number was taken");
    } catch (const UserError& e) {
        QVERIFY2(e.message().contains(caption), qPrintable(e.message()));
        QVERIFY2(!e.message().contains(field), qPrintable(e.message()));
    }
    QCOMPARE(ds.value(field), before);
    ds.applyUpdates();
    QVERIFY(!ds.hasChanges());
    QCOMPARE(book.db().scalar(QStringLiteral("select %1 from goods where code='G1'").arg(field)).toDouble(),
             before.toDouble());
}

// The largest numbers the program holds exactly in a numeric(18,4) and a
// numeric(18,0) column are written and read back on both engines.
void TestDatasetErrors::largestNumbersFit_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("price") << "Default_price" << 99999999999999.98 << "99999999999999.9800";
    QTest::newRow("negative price") << "Default_price" << -99999999999999.98 << "-99999999999999.9800";
    QTest::newRow("quantity") << "Default_Qty" << 999999999999999.0 << "999999999999999";
}

void TestDatasetErrors::largestNumbersFit() {
    QFETCH(QString, field);
    QFETCH(double, value);
    QFETCH(QString, shown);
    FreshBook book(TestBooks::currentEngine());
    addGoods(book.db());
    Dataset ds(book.db());
    openGoods(ds);
    ds.setValue(field, value);
    ds.applyUpdates();
    QCOMPARE(ds.displayText(0, ds.fieldIndex(field)), shown);
    ds.refresh();
    QCOMPARE(ds.displayText(0, ds.fieldIndex(field)), shown);
    QCOMPARE(formatFixed(book.db().scalar(QStringLiteral("select %1 from goods where code='G1'").arg(field)).toDouble(),
                         ds.field(field).scale),
             shown);
}

// More decimals than the column keeps: the value is rounded half away from
// zero to the scale when it is set, and the book stores that same value.
void TestDatasetErrors::decimalsBeyondTheScaleAreRounded_data() {
    QTest::addColumn<QVariant>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("up") << QVariant(1.23456) << "1.2346";
    QTest::newRow("half away from zero") << QVariant(-2.00005) << "-2.0001";
    QTest::newRow("down") << QVariant("7.00004") << "7.0000";
    QTest::newRow("fourteen digits") << QVariant(12345678901234.56) << "12345678901234.5600";
    QTest::newRow("eight digits, typed") << QVariant("12345678.123456") << "12345678.1235";
}

void TestDatasetErrors::decimalsBeyondTheScaleAreRounded() {
    QFETCH(QVariant, typed);
    QFETCH(QString, kept);
    FreshBook book(TestBooks::currentEngine());
    addGoods(book.db());
    Dataset ds(book.db());
    openGoods(ds);
    ds.setValue("Default_price", typed);
    QCOMPARE(formatFixed(ds.value("Default_price").toDouble(), 4), kept);
    ds.applyUpdates();
    const QVariant stored = book.db().scalar("select Default_price from goods where code='G1'");
    QCOMPARE(formatFixed(stored.toDouble(), 4), kept);
    ds.refresh();
    QCOMPARE(ds.displayText(0, ds.fieldIndex("Default_price")), kept);
}

// A code a unique index already holds, as a new record and as a changed
// one: the message names the field and the code, the details keep the
// statement and the driver's text, and nothing is written.
void TestDatasetErrors::duplicateCodeIsToldInTheUsersWords_data() {
    QTest::addColumn<bool>("newRecord");
    QTest::addColumn<QString>("statement");
    QTest::newRow("new record") << true << "insert into unit";
    QTest::newRow("changed record") << false << "update unit";
}

void TestDatasetErrors::duplicateCodeIsToldInTheUsersWords() {
    QFETCH(bool, newRecord);
    QFETCH(QString, statement);
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("unit", "unit_code");
    ds.setCaption("unit_code", "单位编码");
    if (newRecord) {
        ds.append();
        ds.setValue("Unit_name", "新单位");
    } else {
        ds.setCurrentRow(1);
    }
    ds.setValue("unit_code", "UN001");
    ds.post();
    try {
        ds.applyUpdates();
        QFAIL("the duplicate code was saved");
    } catch (const DbError& e) {
        QCOMPARE(e.kind(), DbError::Kind::Duplicate);
        QVERIFY2(e.message().contains("单位编码") && e.message().contains("UN001"), qPrintable(e.message()));
        QVERIFY2(e.message().contains("已经存在"), qPrintable(e.message()));
        verifyPlainWords(e.message());
        QVERIFY2(e.details().contains(statement, Qt::CaseInsensitive), qPrintable(e.details()));
        QVERIFY2(e.details().contains(e.driverText()), qPrintable(e.details()));
        QVERIFY(!e.driverText().isEmpty());
    }
    QVERIFY(ds.hasChanges());
    QCOMPARE(book.db().scalar("select count(*) from unit where unit_code='UN001'").toInt(), 1);
    QCOMPARE(book.db().scalar("select count(*) from unit").toInt(), 6);
}

// A definition without the column's digits lets a number through to the
// server, which refuses it ("numeric field overflow"): the user reads which
// record and field, the details keep the statement. An embedded book has no
// such limit of its own; there the number is refused as it is set (above).
void TestDatasetErrors::serverOverflowNamesTheField() {
    if (TestBooks::currentEngine() != QLatin1String("postgres")) {
        QSKIP("only a server refuses a number beyond the column's digits");
    }
    FreshBook book(TestBooks::currentEngine());
    addGoods(book.db());
    try {
        book.db().execute("update goods set Default_price=:p where code='G1'", {{"p", "1e20"}});
        QFAIL("the server took the number");
    } catch (const DbError& e) {
        QCOMPARE(e.kind(), DbError::Kind::NumberTooLarge);
        verifyPlainWords(e.message());
        QVERIFY2(e.details().contains("update goods set Default_price"), qPrintable(e.details()));
    }
    Dataset ds(book.db());
    openGoods(ds);
    ds.field("Default_price").precision = 0;
    ds.setValue("Default_price", 1e20);
    try {
        ds.applyUpdates();
        QFAIL("the server took the number");
    } catch (const DbError& e) {
        QCOMPARE(e.kind(), DbError::Kind::NumberTooLarge);
        QVERIFY2(e.message().contains("默认单价") && e.message().contains("G1"), qPrintable(e.message()));
        QVERIFY2(e.message().contains("14"), qPrintable(e.message()));
        verifyPlainWords(e.message());
        QVERIFY2(e.details().contains("update goods set"), qPrintable(e.details()));
        QVERIFY2(e.details().contains("22003"), qPrintable(e.details()));
    }
    QCOMPARE(book.db().scalar("select Default_price from goods where code='G1'").toDouble(), 12.5);
}

void TestDatasetErrors::recordChangedByAnotherUserNamesTheRecord() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("unit", "unit_code");
    ds.setCaption("unit_code", "单位编码");
    ds.setRecordLabelField("unit_code");
    ds.setValue("Unit_name", "改");
    ds.post();
    auto other = book.connectAgain();
    other->query("delete from unit where unit_code='UN001'");
    try {
        ds.applyUpdates();
        QFAIL("expected a conflict");
    } catch (const DbError& e) {
        QCOMPARE(e.kind(), DbError::Kind::RecordChanged);
        QVERIFY2(e.message().contains("单位编码“UN001”"), qPrintable(e.message()));
        QVERIFY2(e.message().contains("其他用户删除") && e.message().contains("没有保存"), qPrintable(e.message()));
        verifyPlainWords(e.message());
        QVERIFY2(e.details().contains("unit"), qPrintable(e.details()));
    }
    QVERIFY(ds.hasChanges());
}

// A grid cell whose dataset saves at once: the refusal reaches the window
// as the user's text and the details apart.
void TestDatasetErrors::gridEditRefusedByTheDatabaseKeepsTheDetails() {
    FreshBook book(TestBooks::currentEngine());
    Dataset ds(book.db());
    ds.openTable("unit", "unit_code");
    ds.setCaption("unit_code", "计量单位编码");
    ds.setAutoApply(true);
    GridModel model;
    model.setDataset(&ds);
    model.setColumns({GridColumn::make("unit_code", "编码").asEditable()});
    model.setReadOnly(false);
    QSignalSpy failed(&model, &GridModel::editFailed);
    QVERIFY(!model.setData(model.index(1, 0), "UN001"));
    QCOMPARE(failed.count(), 1);
    const QString text = failed.first().at(0).toString();
    const QString details = failed.first().at(1).toString();
    QVERIFY2(text.contains("计量单位编码") && text.contains("UN001"), qPrintable(text));
    verifyPlainWords(text);
    QVERIFY2(details.contains("update unit set"), qPrintable(details));
    QCOMPARE(book.db().scalar("select count(*) from unit where unit_code='UN001'").toInt(), 1);
}

// A failure a command shows goes to olvend.log in the program's folder with
// the time, the user, the book, the text shown and the details; the box
// carries the details too.
void TestDatasetErrors::failureShownIsWrittenToTheLog() {
    TestBooks::TestProgram p(true);
    p.connect(TestBooks::currentEngine());
    AppContext& c = p.context();
    p.prompter().clear();
    c.CurrentUser = {"张三", "", "管理员组"};
    c.CurrentAccountBook.BookName = "测试帐册";
    Dataset ds(c.data().main());
    ds.openTable("unit", "unit_code");
    ds.append();
    ds.setValue("unit_code", "UN002");
    ds.post();
    QVERIFY(!ActionManager::guard(c.prompter(), [&ds] { ds.applyUpdates(); }));
    QCOMPARE(p.prompter().messages().size(), 1);
    const ScriptedPrompter::Message shown = p.prompter().messages().last();
    QCOMPARE(shown.kind, Prompter::Kind::Error);
    verifyPlainWords(shown.text);
    QVERIFY2(shown.details.contains("insert into unit"), qPrintable(shown.details));

    QFile log(c.paths().programFolder() + "olvend.log");
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString entry = QString::fromUtf8(log.readAll());
    QVERIFY2(entry.contains(QDate::currentDate().toString("yyyy-MM-dd")), qPrintable(entry));
    QVERIFY2(entry.contains("张三") && entry.contains("测试帐册"), qPrintable(entry));
    QVERIFY2(entry.contains(shown.text), qPrintable(entry));
    QVERIFY2(entry.contains("insert into unit"), qPrintable(entry));
    log.close();

    // A second failure is appended after the first.
    QVERIFY(!ActionManager::guard(c.prompter(), [&ds] { ds.applyUpdates(); }));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(log.readAll()).count("insert into unit"), 2);
}

void TestDatasetErrors::logThatCannotBeWrittenStopsNothing() {
    TestBooks::TestProgram p(true);
    // A folder stands where the log would be.
    QVERIFY(QDir(p.context().paths().programFolder()).mkdir("olvend.log"));
    QVERIFY(!p.context().errorLog().append("保存失败", "SQL: insert into unit"));
    QVERIFY(!ActionManager::guard(p.context().prompter(), [] {
        throw DbError("保存失败：该编号已经存在", "UNIQUE constraint failed: unit.unit_code", "insert into unit");
    }));
    QCOMPARE(p.prompter().messages().size(), 1);
    QCOMPARE(p.prompter().lastText(), QString("保存失败：该编号已经存在"));
    QVERIFY(p.prompter().messages().last().details.contains("insert into unit"));
}

QTEST_GUILESS_MAIN(TestDatasetErrors)
#include "test_dataset_errors.moc"
