#include <QSqlQuery>
#include <QTest>

#include "data/field_def.h"
#include "documents/document_fixture.h"
#include "master/partner_directory.h"
#include "master/price_table.h"
#include "platform/errors.h"
#include "reports/engine/report_preparer.h"
#include "reports/engine/report_template.h"
#include "reports/price_sheet_printout.h"
#include "support/golden.h"

using namespace DocumentFixture;

// The standard and the customers' price tables, on both engines: the first
// opening's copy, saving, the reset, emptying, the questions, what a cell
// takes, customers that go meanwhile, and the printed sheets.
class TestPriceTables : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void firstOpeningCopiesAndStampsOnce();
    void copyGoesByColumnNames();
    void bookWithoutStandardRowStillGivesATable();
    void savingWritesEveryFieldAndEmptiesTheStandardStamp();
    void resetReplacesWithAndWithoutOwnTable();
    void emptyingWritesNothingUntilSaved();
    void closeAndPrintQuestions();
    void cellsTakeWholeNumbersOnly();
    void eighteenDigitsSurviveTheBook();
    void saveKeepsWhatOthersChangedMeanwhile();
    void remarksKeepHostileTextAndRefuseControlCharacters();
    void customerGoneMeanwhileWritesNothing();
    void customerCodeChangeAndDeletionTakeTheTable();
    void printoutRowsPerCustomerInTheOrderGiven();
    void printedSheetsOnePerCustomer();

private:
    // The message of the UserError `run` throws.
    static QString refusal(const std::function<void()>& run) {
        try {
            run();
        } catch (const UserError& e) {
            return e.message();
        }
        return "(taken)";
    }
    // A field of the customers' table (of its one row).
    static QVariant cell(Database& db, const QString& field) {
        return db.scalar("select " + field + " from base_Dusmere_Customer_price_Table");
    }
    // How many rows the customers' table has, all or those `where` picks.
    static int tables(Database& db, const QString& where = "1=1") {
        return count(db, "select count(*) from base_Dusmere_Customer_price_Table where " + where);
    }
    static void addCustomer(Database& db, const QString& code, const QString& name);
    // Sets cells of the standard row directly.
    static void setStandard(Database& db, const QString& assignments);
};

void TestPriceTables::addCustomer(Database& db, const QString& code, const QString& name) {
    db.execute("insert into Client (Corp_code, Corp_name, GroupClass) values (:c, :n, 1)", {{"c", code}, {"n", name}});
}

void TestPriceTables::setStandard(Database& db, const QString& assignments) {
    db.execute("update base_Dusmere_Price_Table set " + assignments);
}

void TestPriceTables::firstOpeningCopiesAndStampsOnce() {
    Book b;
    addCustomer(b.db(), "C001", "远东酒店");
    setStandard(b.db(), "A101=120, D204=7, A_Remark='含税', All_Remark='全部'");

    PriceTable t(b.db(), b.prompter);
    t.openCustomer("C001");
    QCOMPARE(t.customerName(), QString("远东酒店"));  // read from the customer when not given
    QCOMPARE(t.value("A101").toLongLong(), 120LL);
    QCOMPARE(t.value("D204").toLongLong(), 7LL);
    QCOMPARE(t.value("a_remark").toString(), QString("含税"));
    QCOMPARE(t.value("All_Remark").toString(), QString("全部"));
    QCOMPARE(t.storedCode(), QString("C001"));
    QVERIFY(!t.isModified());
    QCOMPARE(tables(b.db(), "Corp_code='C001'"), 1);
    QCOMPARE(b.db().scalar("select Corp_code from base_Dusmere_Price_Table").toString(), QString("C001"));

    // The second opening shows the saved table: no copy, no stamp.
    setStandard(b.db(), "A101=999, Corp_code=''");
    PriceTable again(b.db(), b.prompter);
    again.openCustomer("C001", "远东酒店");
    QCOMPARE(again.value("A101").toLongLong(), 120LL);
    QCOMPARE(tables(b.db()), 1);
    QCOMPARE(b.db().scalar("select Corp_code from base_Dusmere_Price_Table").toString(), QString(""));
    QVERIFY(b.prompter.messages().isEmpty());
}

void TestPriceTables::copyGoesByColumnNames() {
    Book b;
    Database& db = b.db();
    addCustomer(db, "C001", "远东酒店");
    setStandard(db, "A101=11, B203=23, E203=53, C_Remark='丙'");
    // The customers' table made again with its columns in another order and
    // a column of its own: the copy still puts every price in its place.
    db.execute("drop table base_Dusmere_Customer_price_Table");
    QStringList columns;
    for (const QString& f : PriceTable::fieldNames()) {
        columns.prepend(f + (PriceTable::isCell(f) ? " NUMERIC(18,0)" : " TEXT"));
    }
    columns.insert(5, "Extra_Note VARCHAR(20)");
    columns.append("Corp_code VARCHAR(20)");
    db.execute("create table base_Dusmere_Customer_price_Table (" + columns.join(", ") + ")");
    db.forgetColumns();

    PriceTable t(db, b.prompter);
    t.openCustomer("C001");
    QCOMPARE(t.value("A101").toLongLong(), 11LL);
    QCOMPARE(t.value("B203").toLongLong(), 23LL);
    QCOMPARE(t.value("E203").toLongLong(), 53LL);
    QCOMPARE(t.value("C_Remark").toString(), QString("丙"));
    QVERIFY(t.value("A102").toLongLong() == 0);
    QCOMPARE(db.scalar("select B203 from base_Dusmere_Customer_price_Table where Corp_code='C001'").toInt(), 23);
    QVERIFY(cell(db, "Extra_Note").isNull());
}

void TestPriceTables::bookWithoutStandardRowStillGivesATable() {
    Book b;
    addCustomer(b.db(), "C001", "远东酒店");
    b.db().execute("delete from base_Dusmere_Price_Table");
    PriceTable standard(b.db(), b.prompter);
    standard.openStandard();
    QVERIFY(standard.value("A101").isNull());

    PriceTable t(b.db(), b.prompter);
    t.openCustomer("C001");
    QVERIFY(t.value("A101").isNull());
    QCOMPARE(tables(b.db()), 1);
    QCOMPARE(count(b.db(), "select count(*) from base_Dusmere_Price_Table"), 1);

    // Saving the standard sheet keeps the book at one standard row, also
    // when the row went while the sheet was open.
    standard.setCellText("A101", "5");
    standard.save();
    b.db().execute("delete from base_Dusmere_Price_Table");
    standard.setCellText("A102", "6");
    standard.save();
    QCOMPARE(b.db().scalar("select A102 from base_Dusmere_Price_Table").toInt(), 6);
    QCOMPARE(count(b.db(), "select count(*) from base_Dusmere_Price_Table"), 1);
    QCOMPARE(b.db().scalar("select A101 from base_Dusmere_Price_Table").toInt(), 5);
}

void TestPriceTables::savingWritesEveryFieldAndEmptiesTheStandardStamp() {
    Book b;
    Database& db = b.db();
    addCustomer(db, "C001", "远东酒店");
    addCustomer(db, "C002", "长城饭店");
    PriceTable c1(db, b.prompter);
    c1.openCustomer("C001");
    QCOMPARE(db.scalar("select Corp_code from base_Dusmere_Price_Table").toString(), QString("C001"));

    // Every field of a customer's table, and only that customer's row.
    PriceTable c2(db, b.prompter);
    c2.openCustomer("C002");
    int n = 1;
    for (const QString& f : PriceTable::fieldNames()) {
        c2.setValue(f, PriceTable::isCell(f) ? QVariant(n * 10) : QVariant(f + " 说明"));
        ++n;
    }
    QVERIFY(c2.isModified());
    c2.save();
    QVERIFY(!c2.isModified());
    n = 1;
    for (const QString& f : PriceTable::fieldNames()) {
        const QVariant stored =
            db.scalar(QString("select %1 from base_Dusmere_Customer_price_Table where Corp_code='C002'").arg(f));
        if (PriceTable::isCell(f)) {
            QCOMPARE(qRound64(stored.toDouble()), qint64(n * 10));
        } else {
            QCOMPARE(stored.toString(), f + " 说明");
        }
        ++n;
    }
    QCOMPARE(db.scalar("select A101 from base_Dusmere_Customer_price_Table where Corp_code='C001'").toInt(), 0);

    // The standard table: saved even unchanged, its stamp emptied.
    PriceTable standard(db, b.prompter);
    standard.openStandard();
    QCOMPARE(standard.storedCode(), QString("C002"));
    QVERIFY(!standard.isModified());
    standard.save();
    QCOMPARE(db.scalar("select Corp_code from base_Dusmere_Price_Table").toString(), QString(""));
    QCOMPARE(standard.storedCode(), QString(""));
    QCOMPARE(count(db, "select count(*) from base_Dusmere_Price_Table"), 1);
    QCOMPARE(tables(db), 2);
}

void TestPriceTables::resetReplacesWithAndWithoutOwnTable() {
    Book b;
    Database& db = b.db();
    addCustomer(db, "C001", "远东酒店");
    setStandard(db, "A101=120, B_Remark='标准'");
    PriceTable t(db, b.prompter);
    t.openCustomer("C001");
    t.setCellText("A101", "80");
    t.setValue("B_Remark", "特价");
    t.save();

    // No keeps the customer's own prices, and an edit in progress.
    t.setCellText("A102", "3");
    b.prompter.setNextAnswer(false);
    QVERIFY(!t.resetToStandard());
    QCOMPARE(b.prompter.lastText(), PriceTable::resetQuestion());
    QCOMPARE(t.value("A102").toLongLong(), 3LL);
    QCOMPARE(cell(db, "A101").toInt(), 80);

    // Yes: the standard prices replace the saved and the unsaved ones.
    setStandard(db, "Corp_code=''");
    b.prompter.setNextAnswer(true);
    QVERIFY(t.resetToStandard());
    QCOMPARE(t.value("A101").toLongLong(), 120LL);
    QVERIFY(t.value("A102").toLongLong() == 0);
    QCOMPARE(t.value("B_Remark").toString(), QString("标准"));
    QVERIFY(!t.isModified());
    QCOMPARE(tables(db), 1);
    QCOMPARE(cell(db, "A101").toInt(), 120);
    QCOMPARE(db.scalar("select Corp_code from base_Dusmere_Price_Table").toString(), QString("C001"));

    // A customer whose table is gone gets one.
    db.execute("delete from base_Dusmere_Customer_price_Table");
    b.prompter.setNextAnswer(true);
    QVERIFY(t.resetToStandard());
    QCOMPARE(tables(db, "Corp_code='C001'"), 1);

    // The standard table has nothing to reset to.
    PriceTable standard(db, b.prompter);
    standard.openStandard();
    QVERIFY(!standard.resetToStandard());
    QVERIFY_THROWS_EXCEPTION(UserError, standard.resetToStandardNow());
    QCOMPARE(b.prompter.pendingAnswers(), 0);
}

void TestPriceTables::emptyingWritesNothingUntilSaved() {
    Book b;
    Database& db = b.db();
    addCustomer(db, "C001", "远东酒店");
    setStandard(db, "A101=120, E203=9, All_Remark='全部'");
    PriceTable t(db, b.prompter);
    t.openCustomer("C001");
    t.clear();
    for (const QString& f : PriceTable::fieldNames()) {
        QVERIFY2(t.value(f).isNull(), qPrintable(f));
    }
    QCOMPARE(t.customerCode(), QString("C001"));
    QVERIFY(t.isModified());
    QCOMPARE(cell(db, "A101").toInt(), 120);

    // Closing with No keeps the stored prices and drops the emptying.
    b.prompter.setNextAnswer(false);
    QVERIFY(t.close());
    QCOMPARE(b.prompter.lastText(), PriceTable::closeQuestion());
    QCOMPARE(cell(db, "A101").toInt(), 120);
    QCOMPARE(cell(db, "All_Remark").toString(), QString("全部"));
    QCOMPARE(t.value("E203").toLongLong(), 9LL);
    QVERIFY(!t.isModified());

    // Emptied and saved: the row stays, with its code and nothing else.
    t.clear();
    t.save();
    QCOMPARE(tables(db, "Corp_code='C001'"), 1);
    QVERIFY(cell(db, "A101").isNull());
    QVERIFY(cell(db, "All_Remark").isNull());
}

void TestPriceTables::closeAndPrintQuestions() {
    Book b;
    Database& db = b.db();
    addCustomer(db, "C001", "远东酒店");
    PriceTable t(db, b.prompter);
    t.openCustomer("C001");

    // Unchanged: no question either way.
    QVERIFY(t.settleBeforePrint());
    QVERIFY(t.close());
    QVERIFY(b.prompter.messages().isEmpty());

    // A remark typed and deleted again is no change.
    t.setValue("A_Remark", "x");
    t.setValue("A_Remark", "");
    QVERIFY(!t.isModified());

    // Printing a changed table: No stops and writes nothing, Yes saves.
    t.setCellText("B101", "7");
    b.prompter.setNextAnswer(false);
    QVERIFY(!t.settleBeforePrint());
    QCOMPARE(b.prompter.lastText(), PriceTable::printQuestion());
    QVERIFY(t.isModified());
    QCOMPARE(cell(db, "B101").toInt(), 0);
    b.prompter.setNextAnswer(true);
    QVERIFY(t.settleBeforePrint());
    QCOMPARE(cell(db, "B101").toInt(), 7);

    // Closing: Cancel goes back to the editing, a failed save keeps the
    // window open, Yes saves.
    t.setCellText("B102", "8");
    b.prompter.setNextCancel();
    QVERIFY(!t.close());
    QVERIFY(t.isModified());
    b.prompter.setNextAnswer(true);
    QVERIFY(!t.close([] { return false; }));
    QVERIFY(t.isModified());
    b.prompter.setNextAnswer(true);
    QVERIFY(t.close());
    QCOMPARE(cell(db, "B102").toInt(), 8);
    QCOMPARE(b.prompter.pendingAnswers(), 0);
}

// What each typed text makes of a cell: the value kept, or the refusal
// (the cell keeping its price); the same rule through setValue, as
// olvendctl sets cells.
void TestPriceTables::cellsTakeWholeNumbersOnly() {
    Book b;
    PriceTable t(b.db(), b.prompter);
    t.openStandard();
    QString said;
    for (const char* typed : {"120", " 1,200 ", "120.00", "+5", "１２０", "000000000000000000000042", "",
                              "999999999999999999", "1000000000000000000", "12.5", "12元", ".", "-3", "-abc"}) {
        t.setCellText("A102", "77");
        const QString refused = refusal([&] { t.setCellText("A102", typed); });
        const QVariant v = t.value("A102");
        said += QString("[%1] ").arg(typed) + (refused != "(taken)" ? refused + "，仍是 " : QString()) +
                (v.isNull() ? QString("空") : v.toString() + ' ' + v.typeName()) + '\n';
        if (refused != "(taken)") {
            QVERIFY_THROWS_EXCEPTION(UserError, t.setValue("A102", QString(typed)));
        }
    }
    OLVEND_COMPARE_GOLDEN("master/price_cells.txt", said);
    t.setCellText("a102", "5");
    QCOMPARE(t.value("A102"), QVariant(5LL));
    QVERIFY_THROWS_EXCEPTION(UserError, t.setCellText("A_Remark", "1"));
    QVERIFY_THROWS_EXCEPTION(UserError, t.setCellText("Z101", "1"));
}

void TestPriceTables::eighteenDigitsSurviveTheBook() {
    Book b;
    addCustomer(b.db(), "C001", "远东酒店");
    PriceTable t(b.db(), b.prompter);
    t.openCustomer("C001");
    t.setCellText("D204", "999999999999999999");
    t.setCellText("D203", "123456789012345678");
    t.save();
    PriceTable again(b.db(), b.prompter);
    again.openCustomer("C001");
    QCOMPARE(again.value("D204").toLongLong(), 999999999999999999LL);
    QCOMPARE(again.value("D203").toLongLong(), 123456789012345678LL);
    QCOMPARE(again.displayText("D203"), QString("123456789012345678.00"));
    // The printout keeps every digit too.
    PriceSheetPrintout printout(b.db());
    const ReportRows rows = printout.rows({"C001"});
    QCOMPARE(rows.rows.size(), 1);
    QCOMPARE(rows.rows[0][rows.fieldIndex("D203")].toLongLong(), 123456789012345678LL);
}

void TestPriceTables::saveKeepsWhatOthersChangedMeanwhile() {
    Book b;
    Database& db = b.db();
    addCustomer(db, "C001", "远东酒店");
    setStandard(db, "A101=120, A102=130, B101=10");
    PriceTable mine(db, b.prompter);
    mine.openCustomer("C001");
    PriceTable theirs(db, b.prompter);
    theirs.openCustomer("C001");

    // Another workstation changes other cells: both changes stay, and the
    // window then shows theirs too.
    theirs.setCellText("B101", "11");
    theirs.setValue("All_Remark", "他们的");
    theirs.save();
    mine.setCellText("A101", "125");
    mine.save();
    QCOMPARE(cell(db, "A101").toInt(), 125);
    QCOMPARE(cell(db, "B101").toInt(), 11);
    QCOMPARE(mine.value("B101").toLongLong(), 11LL);
    QCOMPARE(mine.value("All_Remark").toString(), QString("他们的"));
    QVERIFY(!mine.isModified());

    // The same cell changed on both sides: refused, nothing written, the
    // edits kept.
    theirs.setCellText("A102", "131");
    theirs.save();
    mine.setCellText("A102", "140");
    mine.setCellText("A103", "150");
    QCOMPARE(refusal([&] { mine.save(); }), PriceTable::changedMeanwhileText({"A102"}));
    QCOMPARE(cell(db, "A102").toInt(), 131);
    QCOMPARE(cell(db, "A103").toInt(), 0);
    QVERIFY(mine.isModified());
    // Remarks are named as the sheet shows them.
    QCOMPARE(PriceTable::changedMeanwhileText({"A102", "d_remark", "All_Remark"}),
             QString("以下各项已被其他用户修改：A102、D区说明、总说明。单价表没有保存，请关闭后重新打开再修改。"));
    // Set to what the other side wrote, it is no conflict.
    mine.setCellText("A102", "131");
    mine.save();
    QCOMPARE(cell(db, "A103").toInt(), 150);

    // 清空 writes over every field: one changed meanwhile elsewhere is
    // named, also where this side had nothing.
    theirs.setCellText("C101", "5");
    theirs.save();
    mine.clear();
    QCOMPARE(refusal([&] { mine.save(); }), PriceTable::changedMeanwhileText({"C101"}));
    QCOMPARE(cell(db, "C101").toInt(), 5);
    mine.discard();

    // The row gone meanwhile (outside the program): written whole again.
    PriceTable again(db, b.prompter);
    again.openCustomer("C001");
    db.execute("delete from base_Dusmere_Customer_price_Table");
    again.setCellText("E101", "77");
    again.save();
    QCOMPARE(tables(db, "Corp_code='C001'"), 1);
    QCOMPARE(cell(db, "E101").toInt(), 77);
    QCOMPARE(cell(db, "A101").toInt(), 125);

    // A second row made outside the program is made the same on saving.
    db.execute("insert into base_Dusmere_Customer_price_Table (Corp_code, A101, E101) values ('C001', 1, 2)");
    again.setCellText("E102", "78");
    again.save();
    QCOMPARE(tables(db, "E102=78 and A101=125"), 2);

    // The standard table the same way.
    PriceTable s1(db, b.prompter), s2(db, b.prompter);
    s1.openStandard();
    s2.openStandard();
    s2.setCellText("E203", "9");
    s2.save();
    s1.setCellText("E201", "8");
    s1.save();
    QCOMPARE(db.scalar("select E203 from base_Dusmere_Price_Table").toInt(), 9);
    QCOMPARE(db.scalar("select E201 from base_Dusmere_Price_Table").toInt(), 8);
    // Whole numbers handed over as numbers keep every digit.
    s1.setValue("D101", QVariant(123456789012345678LL));
    QCOMPARE(s1.value("D101").toLongLong(), 123456789012345678LL);
    s1.setValue("D102", 42);
    QCOMPARE(s1.value("D102").toLongLong(), 42LL);
    s1.setValue("D103", 7.0);
    QCOMPARE(s1.value("D103").toLongLong(), 7LL);
    QVERIFY_THROWS_EXCEPTION(UserError, s1.setValue("D104", 7.5));
}

void TestPriceTables::remarksKeepHostileTextAndRefuseControlCharacters() {
    Book b;
    addCustomer(b.db(), "C001", "远东酒店");
    PriceTable t(b.db(), b.prompter);
    t.openCustomer("C001");
    const QString hostile = "'); delete from Client; -- 100% _折扣_ \\ \"引号\"\n第二行\t制表";
    t.setValue("All_Remark", hostile);
    t.setValue("E_Remark", QString(PriceTable::kMaxRemarkLength, QChar(0x6587)));
    QVERIFY_THROWS_EXCEPTION(UserError, t.setValue("A_Remark", QString(PriceTable::kMaxRemarkLength + 1, 'x')));
    QCOMPARE(refusal([&] { t.setValue("A_Remark", QString("a") + QChar(0) + "b"); }), QString("说明中不能有控制字符"));
    QVERIFY_THROWS_EXCEPTION(UserError, t.setValue("A_Remark", QString("x") + QChar(0x1b) + "[31m"));
    QVERIFY(t.value("A_Remark").toString().isEmpty());
    t.save();
    QCOMPARE(count(b.db(), "select count(*) from Client"), 1);
    PriceTable again(b.db(), b.prompter);
    again.openCustomer("C001");
    QCOMPARE(again.value("All_Remark").toString(), hostile);
    QCOMPARE(again.value("E_Remark").toString().size(), PriceTable::kMaxRemarkLength);
}

void TestPriceTables::customerGoneMeanwhileWritesNothing() {
    Book b;
    Database& db = b.db();
    addCustomer(db, "C001", "远东酒店");
    setStandard(db, "A101=120");
    PriceTable t(db, b.prompter);
    t.openCustomer("C001");
    t.setCellText("A101", "90");
    // Another workstation deletes the customer (its table stays behind
    // when that happens outside the program).
    db.execute("delete from Client where Corp_code='C001'");
    QCOMPARE(refusal([&] { t.save(); }), PriceTable::customerGoneText("C001"));
    QCOMPARE(cell(db, "A101").toInt(), 120);
    QVERIFY(t.isModified());
    QCOMPARE(t.value("A101").toLongLong(), 90LL);
    b.prompter.setNextAnswer(true);
    QVERIFY_THROWS_EXCEPTION(UserError, t.resetToStandard());
    QCOMPARE(cell(db, "A101").toInt(), 120);
    setStandard(db, "Corp_code=''");

    // Opening a customer that is not there, or none, makes nothing.
    PriceTable none(db, b.prompter);
    QVERIFY_THROWS_EXCEPTION(UserError, none.openCustomer("C404"));
    for (const QString& code : {QString(), QString("   ")}) {
        QCOMPARE(refusal([&] { none.openCustomer(code); }), QString("请指定一个客户!"));
    }
    QVERIFY(!none.isOpen());
    QCOMPARE(tables(db, "Corp_code='C404'"), 0);
    QCOMPARE(db.scalar("select Corp_code from base_Dusmere_Price_Table").toString(), QString(""));

    // Back again: the save goes through.
    addCustomer(db, "C001", "远东酒店");
    t.save();
    QCOMPARE(cell(db, "A101").toInt(), 90);
}

void TestPriceTables::customerCodeChangeAndDeletionTakeTheTable() {
    Book b;
    Database& db = b.db();
    addCustomer(db, "C001", "远东酒店");
    addCustomer(db, "C002", "长城饭店");
    for (const char* code : {"C001", "C002"}) {
        PriceTable t(db, b.prompter);
        t.openCustomer(code);
        t.setCellText("A101", code == QString("C001") ? "1" : "2");
        t.save();
    }
    PartnerDirectory dir(db, b.clock, b.prompter, PartnerSide::customers());
    dir.open();
    QVERIFY(dir.records().locate("Corp_code", "C001"));
    dir.records().setValue("Corp_code", "C009");
    dir.saveRecord();
    QCOMPARE(db.scalar("select A101 from base_Dusmere_Customer_price_Table where Corp_code='C009'").toInt(), 1);
    QCOMPARE(tables(db, "Corp_code='C001'"), 0);

    QVERIFY(dir.records().locate("Corp_code", "C002"));
    b.prompter.setNextAnswer(true);
    QVERIFY(dir.deleteRecords({dir.records().currentRow()}));
    QCOMPARE(tables(db, "Corp_code='C002'"), 0);
    QCOMPARE(tables(db), 1);

    // A deletion the book refuses keeps the customer and its table.
    failWhen(db, "base_Dusmere_Customer_price_Table", "DELETE", "1 = 1");
    QVERIFY(dir.records().locate("Corp_code", "C009"));
    b.prompter.setNextAnswer(true);
    QVERIFY_THROWS_EXCEPTION(DbError, dir.deleteRecords({dir.records().currentRow()}));
    stopFailing(db, "base_Dusmere_Customer_price_Table");
    QCOMPARE(count(db, "select count(*) from Client where Corp_code='C009'"), 1);
    QCOMPARE(tables(db, "Corp_code='C009'"), 1);
}

void TestPriceTables::printoutRowsPerCustomerInTheOrderGiven() {
    Book b;
    Database& db = b.db();
    db.execute("update Sys_Corp set Corp_name='恒通门窗'");
    addCustomer(db, "C001", "远东酒店");
    addCustomer(db, "C002", "长城饭店");
    setStandard(db, "A101=120, All_Remark='标准'");
    PriceTable t(db, b.prompter);
    t.openCustomer("C001");
    t.setCellText("A101", "80");
    t.save();

    PriceSheetPrintout printout(db);
    const ReportRows standard = printout.rows({});
    QCOMPARE(standard.rows.size(), 1);
    QCOMPARE(standard.rows[0][standard.fieldIndex("A101")].toLongLong(), 120LL);
    QCOMPARE(standard.rows[0][standard.fieldIndex("Corp_code")].toString(), QString());
    QCOMPARE(standard.rows[0][standard.fieldIndex("Sheet_Note")].toString(), PriceSheetPrintout::standardNote());
    QCOMPARE(standard.rows[0][standard.fieldIndex("Sys_Corp_name")].toString(), QString("恒通门窗"));

    // C002 has no table yet: the standard prices under its name, and
    // nothing written; an unknown code is left out and named.
    const ReportRows rows = printout.rows({"C002", "C404", "C001", "C002"});
    QCOMPARE(rows.rows.size(), 2);
    QCOMPARE(printout.missingCodes(), QStringList{"C404"});
    QCOMPARE(rows.rows[0][rows.fieldIndex("Customer_name")].toString(), QString("长城饭店"));
    QCOMPARE(rows.rows[0][rows.fieldIndex("A101")].toLongLong(), 120LL);
    QCOMPARE(rows.rows[0][rows.fieldIndex("Sheet_Note")].toString(), PriceSheetPrintout::standardPricesNote());
    QCOMPARE(rows.rows[1][rows.fieldIndex("Corp_code")].toString(), QString("C001"));
    QCOMPARE(rows.rows[1][rows.fieldIndex("A101")].toLongLong(), 80LL);
    QCOMPARE(rows.rows[1][rows.fieldIndex("Sheet_Note")].toString(), QString());
    QCOMPARE(rows.rows[1][rows.fieldIndex("Customer_Line")].toString(),
             QString("客户名称: 远东酒店    客户编号: C001"));
    QCOMPARE(standard.rows[0][standard.fieldIndex("Customer_Line")].toString(), QString());
    QCOMPARE(tables(db), 1);
}

void TestPriceTables::printedSheetsOnePerCustomer() {
    Book b;
    Database& db = b.db();
    QStringList codes;
    for (int i = 1; i <= 3; ++i) {
        const QString code = QString("C%1").arg(i, 3, 10, QChar('0'));
        addCustomer(db, code, QString("客户%1").arg(i));
        codes << code;
    }
    setStandard(db, "A101=1234567, A_Remark='含税'");
    ReportTemplate tmpl;
    QString error;
    QCOMPARE(ReportTemplate::load(QString(OLVEND_SOURCE_DIR) + "/Report/" + PriceSheetPrintout::templateName(), &tmpl,
                                  &error),
             ReportTemplate::LoadResult::Loaded);
    PriceSheetPrintout printout(db);
    auto pagesOf = [&](const ReportRows& rows, QStringList* texts) {
        ReportPreparer preparer(tmpl);
        PreparedReport out;
        QVERIFY2(preparer.prepare(rows, &out, &error, QDate(2006, 6, 25)), qPrintable(error));
        for (const ReportPage& page : out.pages) {
            QString all;
            for (const ReportPrimitive& p : page.items) {
                all += p.text + '|';
            }
            texts->append(all);
        }
    };
    QStringList standardPages;
    pagesOf(printout.rows({}), &standardPages);
    QCOMPARE(standardPages.size(), 1);
    QVERIFY(standardPages[0].contains("1,234,567.00"));
    QVERIFY(standardPages[0].contains(PriceSheetPrintout::standardNote()));

    QStringList pages;
    pagesOf(printout.rows(codes), &pages);
    QCOMPARE(pages.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(pages[i].contains(QString("客户%1|").arg(i + 1)), qPrintable(pages[i].left(200)));
        QVERIFY(pages[i].contains("1,234,567.00"));
        QVERIFY(pages[i].contains("含税"));
        QVERIFY(pages[i].contains("E|"));  // the last section on the sheet
    }

    // Remarks of several lines fit; a sheet longer than a page goes on to
    // the next, and the next customer still starts a page of its own.
    setStandard(db, "B_Remark='" + QString(120, QChar(0x8BF4)) + "'");
    pages.clear();
    pagesOf(printout.rows(codes), &pages);
    QCOMPARE(pages.size(), 3);
    setStandard(db, "A_Remark='" + QString(1500, QChar(0x8BF4)) + "'");
    pages.clear();
    pagesOf(printout.rows(codes), &pages);
    QCOMPARE(pages.size(), 6);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(pages[i].contains("客 户 报 价 表"), i % 2 == 0);
    }
}

QTEST_MAIN(TestPriceTables)
#include "test_price_tables.moc"
