#include <QSqlQuery>
#include <QTest>

#include "data/field_def.h"
#include "documents/document_fixture.h"
#include "master/partner_directory.h"
#include "master/price_table.h"
#include "master/refusal.h"
#include "reports/price_sheet_printout.h"
#include "support/golden.h"

using namespace DocumentFixture;

namespace {
// Fields of the customers' table (rows joined by "; ") or of the standard table, as "v|v".
QString stored(Database& db, const QString& fields, const QString& where = "1=1") {
    return read(db, "select " + fields + " from base_Dusmere_Customer_price_Table where " + where);
}
QString standard(Database& db, const QString& fields) {
    return read(db, "select " + fields + " from base_Dusmere_Price_Table");
}
QString shown(const PriceTable& t, const QString& fields) {
    QStringList out;
    for (const QString& f : fields.split(' ')) {
        out << text(t.value(f));
    }
    return out.join('|');
}
int tables(Database& db, const QString& where = "1=1") {
    return count(db, "select count(*) from base_Dusmere_Customer_price_Table where " + where);
}
void addCustomer(Database& db, const QString& code, const QString& name) {
    db.execute("insert into Client (Corp_code, Corp_name, GroupClass) values (:c, :n, 1)", {{"c", code}, {"n", name}});
}
void setStandard(Database& db, const QString& assignments) {
    db.execute("update base_Dusmere_Price_Table set " + assignments);
}
// A book with customer C001 (远东酒店) and `standard` set; `t` is C001's table, opened unless `open` is false.
struct Sheet : Book {
    PriceTable t;
    explicit Sheet(const QString& standard = {}, bool open = true) : t(db(), prompter) {
        addCustomer(db(), "C001", "远东酒店");
        if (!standard.isEmpty()) {
            setStandard(db(), standard);
        }
        if (open) {
            t.openCustomer("C001");
        }
    }
};
}  // namespace

// The standard and customers' price tables on both engines, and the printout's rows.
class TestPriceTables : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    void firstOpeningCopiesAndStampsOnce() {
        Sheet s("A101=120, D204=7, A_Remark='含税', All_Remark='全部'");
        QCOMPARE(s.t.customerName() + '|' + s.t.storedCode() + '|' + shown(s.t, "A101 D204 a_remark All_Remark"),
                 QString("远东酒店|C001|120|7|含税|全部"));
        QVERIFY(!s.t.isModified());
        QCOMPARE(stored(s.db(), "Corp_code, A101") + '|' + standard(s.db(), "Corp_code"), QString("C001|120|C001"));
        // The second opening shows the saved table: no copy, no stamp.
        setStandard(s.db(), "A101=999, Corp_code=''");
        PriceTable again(s.db(), s.prompter);
        again.openCustomer("C001", "远东酒店");
        QCOMPARE(shown(again, "A101") + '|' + standard(s.db(), "Corp_code"), QString("120|"));
        QCOMPARE(tables(s.db()), 1);
        QVERIFY(s.prompter.messages().isEmpty());
    }
    // The customers' table remade with its columns reordered and one more: the copy goes by names.
    void copyGoesByColumnNames() {
        Sheet s("A101=11, B203=23, E203=53, C_Remark='丙'", false);
        s.db().execute("drop table base_Dusmere_Customer_price_Table");
        QStringList columns;
        for (const QString& f : PriceTable::fieldNames()) {
            columns.prepend(f + (PriceTable::isCell(f) ? " NUMERIC(18,0)" : " TEXT"));
        }
        columns.insert(5, "Extra_Note VARCHAR(20)");
        columns.append("Corp_code VARCHAR(20)");
        s.db().execute("create table base_Dusmere_Customer_price_Table (" + columns.join(", ") + ")");
        s.db().forgetColumns();
        s.t.openCustomer("C001");
        QCOMPARE(shown(s.t, "A101 B203 E203 C_Remark A102"), QString("11|23|53|丙|0"));
        QCOMPARE(stored(s.db(), "Corp_code, A101, B203, E203, C_Remark, Extra_Note"), QString("C001|11|23|53|丙|null"));
    }
    void bookWithoutStandardRowStillGivesATable() {
        Sheet s({}, false);
        s.db().execute("delete from base_Dusmere_Price_Table");
        PriceTable standardSheet(s.db(), s.prompter);
        standardSheet.openStandard();
        s.t.openCustomer("C001");
        QCOMPARE(shown(standardSheet, "A101") + '|' + shown(s.t, "A101"), QString("null|null"));
        QCOMPARE(tables(s.db()), 1);
        QCOMPARE(standard(s.db(), "Corp_code"), QString("C001"));
        // Saving keeps one standard row, also when the row went while the sheet was open.
        standardSheet.setCellText("A101", "5");
        standardSheet.save();
        s.db().execute("delete from base_Dusmere_Price_Table");
        standardSheet.setCellText("A102", "6");
        standardSheet.save();
        QCOMPARE(standard(s.db(), "A101, A102"), QString("5|6"));
    }
    void savingWritesEveryFieldAndEmptiesTheStandardStamp() {
        Sheet s;
        addCustomer(s.db(), "C002", "长城饭店");
        PriceTable c2(s.db(), s.prompter);
        c2.openCustomer("C002");
        QStringList expected;
        for (const QString& f : PriceTable::fieldNames()) {
            expected << (PriceTable::isCell(f) ? QString::number((expected.size() + 1) * 10) : f + " 说明");
            c2.setValue(f, PriceTable::isCell(f) ? QVariant(expected.last().toInt()) : QVariant(expected.last()));
        }
        QVERIFY(c2.isModified());
        c2.save();
        QVERIFY(!c2.isModified());
        QCOMPARE(stored(s.db(), PriceTable::fieldNames().join(", "), "Corp_code='C002'"), expected.join('|'));
        QCOMPARE(stored(s.db(), "A101", "Corp_code='C001'"), QString("0"));
        // The standard table: saved even unchanged, its stamp emptied.
        PriceTable standardSheet(s.db(), s.prompter);
        standardSheet.openStandard();
        QVERIFY(standardSheet.storedCode() == "C002" && !standardSheet.isModified());
        standardSheet.save();
        // One row, emptied, in the book and the sheet.
        QCOMPARE(standard(s.db(), "Corp_code") + '|' + standardSheet.storedCode(), QString("|"));
        QCOMPARE(tables(s.db()), 2);
    }
    void resetReplacesWithAndWithoutOwnTable() {
        Sheet s("A101=120, B_Remark='标准'");
        s.t.setCellText("A101", "80");
        s.t.setValue("B_Remark", "特价");
        s.t.save();
        s.t.setCellText("A102", "3");
        s.prompter.setNextAnswer(false);
        QVERIFY(!s.t.resetToStandard());
        QCOMPARE(s.prompter.lastText(), PriceTable::resetQuestion());
        QCOMPARE(shown(s.t, "A102") + '|' + stored(s.db(), "A101"), QString("3|80"));
        setStandard(s.db(), "Corp_code=''");
        s.prompter.setNextAnswer(true);
        QVERIFY(s.t.resetToStandard());
        QCOMPARE(shown(s.t, "A101 A102 B_Remark"), QString("120|0|标准"));
        QVERIFY(!s.t.isModified());
        QCOMPARE(stored(s.db(), "A101") + '|' + standard(s.db(), "Corp_code"), QString("120|C001"));  // one row
        s.db().execute("delete from base_Dusmere_Customer_price_Table");
        s.prompter.setNextAnswer(true);
        QVERIFY(s.t.resetToStandard());
        QCOMPARE(tables(s.db(), "Corp_code='C001'"), 1);
        PriceTable standardSheet(s.db(), s.prompter);
        standardSheet.openStandard();
        QVERIFY(!standardSheet.resetToStandard());
        QVERIFY_THROWS_EXCEPTION(UserError, standardSheet.resetToStandardNow());
        QCOMPARE(s.prompter.pendingAnswers(), 0);
    }
    void emptyingWritesNothingUntilSaved() {
        Sheet s("A101=120, E203=9, All_Remark='全部'");
        s.t.clear();
        QCOMPARE(shown(s.t, PriceTable::fieldNames().join(' ')),
                 QStringList(PriceTable::fieldNames().size(), "null").join('|'));
        QVERIFY(s.t.isModified());
        QCOMPARE(s.t.customerCode() + '|' + stored(s.db(), "A101"), QString("C001|120"));
        s.prompter.setNextAnswer(false);
        QVERIFY(s.t.close());
        QCOMPARE(s.prompter.lastText(), PriceTable::closeQuestion());
        QCOMPARE(stored(s.db(), "A101, All_Remark") + '|' + shown(s.t, "E203"), QString("120|全部|9"));
        QVERIFY(!s.t.isModified());
        s.t.clear();
        s.t.save();
        QCOMPARE(stored(s.db(), "Corp_code, A101, All_Remark"), QString("C001|null|null"));
    }
    void closeAndPrintQuestions() {
        Sheet s;
        QVERIFY(s.t.settleBeforePrint() && s.t.close() && s.prompter.messages().isEmpty());  // unchanged: no question
        s.t.setValue("A_Remark", "x");
        s.t.setValue("A_Remark", "");
        QVERIFY(!s.t.isModified());
        s.t.setCellText("B101", "7");
        s.prompter.setNextAnswer(false);
        QVERIFY(!s.t.settleBeforePrint());
        QCOMPARE(s.prompter.lastText(), PriceTable::printQuestion());
        QVERIFY(s.t.isModified() && stored(s.db(), "B101") == "0");
        s.prompter.setNextAnswer(true);
        QVERIFY(s.t.settleBeforePrint());
        QCOMPARE(stored(s.db(), "B101"), QString("7"));
        // Cancel goes back to the editing, a failed save keeps the window open, Yes saves.
        s.t.setCellText("B102", "8");
        s.prompter.setNextCancel();
        QVERIFY(!s.t.close() && s.t.isModified());
        s.prompter.setNextAnswer(true);
        QVERIFY(!s.t.close([] { return false; }) && s.t.isModified());
        s.prompter.setNextAnswer(true);
        QVERIFY(s.t.close());
        QCOMPARE(stored(s.db(), "B102"), QString("8"));
        QCOMPARE(s.prompter.pendingAnswers(), 0);
    }
    // What each typed text makes of a cell, also through setValue as olvendctl sets cells.
    void cellsTakeWholeNumbersOnly() {
        Sheet s({}, false);
        PriceTable& t = s.t;
        t.openStandard();
        QString said;
        for (const char* typed : {"120", " 1,200 ", "120.00", "+5", "１２０", "000000000000000000000042", "",
                                  "999999999999999999", "1000000000000000000", "12.5", "12元", ".", "-3", "-abc"}) {
            t.setCellText("A102", "77");
            const QString refused = refusal([&] { t.setCellText("A102", typed); });
            const QVariant v = t.value("A102");
            said += QString("[%1] ").arg(typed) + (!refused.isEmpty() ? refused + "，仍是 " : QString()) +
                    (v.isNull() ? QString("空") : v.toString() + ' ' + v.typeName()) + '\n';
            if (!refused.isEmpty()) {
                QVERIFY_THROWS_EXCEPTION(UserError, t.setValue("A102", QString(typed)));
            }
        }
        OLVEND_COMPARE_GOLDEN("master/price_cells.txt", said);
        t.setCellText("a102", "5");
        QCOMPARE(t.value("A102"), QVariant(5LL));
        QVERIFY_THROWS_EXCEPTION(UserError, t.setCellText("A_Remark", "1"));
        QVERIFY_THROWS_EXCEPTION(UserError, t.setCellText("Z101", "1"));
        const std::pair<QVariant, qlonglong> numbers[] = {
            {QVariant(123456789012345678LL), 123456789012345678LL}, {QVariant(42), 42}, {QVariant(7.0), 7}};
        for (const auto& [given, kept] : numbers) {
            t.setValue("D101", given);
            QCOMPARE(t.value("D101").toLongLong(), kept);
        }
        QVERIFY_THROWS_EXCEPTION(UserError, t.setValue("D104", 7.5));
    }
    void eighteenDigitsSurviveTheBook() {
        Sheet s;
        s.t.setCellText("D204", "999999999999999999");
        s.t.setCellText("D203", "123456789012345678");
        s.t.save();
        PriceTable again(s.db(), s.prompter);
        again.openCustomer("C001");
        QCOMPARE(shown(again, "D204 D203"), QString("999999999999999999|123456789012345678"));
        QCOMPARE(again.displayText("D203"), QString("123456789012345678.00"));
        const ReportRows rows = PriceSheetPrintout(s.db()).rows({"C001"});
        QCOMPARE(rows.rows.size() == 1 ? text(rows.rows[0][rows.fieldIndex("D203")]) : QString(),
                 QString("123456789012345678"));
    }
    void saveKeepsWhatOthersChangedMeanwhile() {
        Sheet s("A101=120, A102=130, B101=10");
        Database& db = s.db();
        PriceTable& mine = s.t;
        PriceTable theirs(db, s.prompter);
        theirs.openCustomer("C001");
        // Another workstation changes other cells: both stay, and the window shows theirs too.
        theirs.setCellText("B101", "11");
        theirs.setValue("All_Remark", "他们的");
        theirs.save();
        mine.setCellText("A101", "125");
        mine.save();
        QCOMPARE(stored(db, "A101, B101") + '|' + shown(mine, "B101 All_Remark"), QString("125|11|11|他们的"));
        QVERIFY(!mine.isModified());
        // The same cell changed on both sides: refused, nothing written, the edits kept.
        theirs.setCellText("A102", "131");
        theirs.save();
        mine.setCellText("A102", "140");
        mine.setCellText("A103", "150");
        QCOMPARE(refusal([&] { mine.save(); }), PriceTable::changedMeanwhileText({"A102"}));
        QVERIFY(mine.isModified() && stored(db, "A102, A103") == "131|0");
        QCOMPARE(PriceTable::changedMeanwhileText({"A102", "d_remark", "All_Remark"}),
                 QString("以下各项已被其他用户修改：A102、D区说明、总说明。单价表没有保存，请关闭后重新打开再修改。"));
        mine.setCellText("A102", "131");
        mine.save();
        QCOMPARE(stored(db, "A103"), QString("150"));
        // 清空 writes over every field: one changed meanwhile is named.
        theirs.setCellText("C101", "5");
        theirs.save();
        mine.clear();
        QCOMPARE(refusal([&] { mine.save(); }), PriceTable::changedMeanwhileText({"C101"}));
        QCOMPARE(stored(db, "C101"), QString("5"));
        mine.discard();
        // The row gone meanwhile is written whole again; a second row is made the same.
        PriceTable again(db, s.prompter);
        again.openCustomer("C001");
        db.execute("delete from base_Dusmere_Customer_price_Table");
        again.setCellText("E101", "77");
        again.save();
        QCOMPARE(stored(db, "Corp_code, E101, A101"), QString("C001|77|125"));
        db.execute("insert into base_Dusmere_Customer_price_Table (Corp_code, A101, E101) values ('C001', 1, 2)");
        again.setCellText("E102", "78");
        again.save();
        QCOMPARE(tables(db, "E102=78 and A101=125"), 2);
        PriceTable s1(db, s.prompter), s2(db, s.prompter);
        s1.openStandard();
        s2.openStandard();
        s2.setCellText("E203", "9");
        s2.save();
        s1.setCellText("E201", "8");
        s1.save();
        QCOMPARE(standard(db, "E203, E201"), QString("9|8"));
    }
    void remarksKeepHostileTextAndRefuseControlCharacters() {
        Sheet s;
        const QString hostile = "'); delete from Client; -- 100% _折扣_ \\ \"引号\"\n第二行\t制表";
        s.t.setValue("All_Remark", hostile);
        s.t.setValue("E_Remark", QString(PriceTable::kMaxRemarkLength, QChar(0x6587)));
        QVERIFY_THROWS_EXCEPTION(UserError, s.t.setValue("A_Remark", QString(PriceTable::kMaxRemarkLength + 1, 'x')));
        for (const QChar control : {QChar(0), QChar(0x1b)}) {
            QCOMPARE(refusal([&] { s.t.setValue("A_Remark", QString("a") + control + "b"); }),
                     QString("说明中不能有控制字符"));
        }
        QVERIFY(s.t.value("A_Remark").toString().isEmpty());
        s.t.save();
        QCOMPARE(count(s.db(), "select count(*) from Client"), 1);
        PriceTable again(s.db(), s.prompter);
        again.openCustomer("C001");
        QCOMPARE(again.value("All_Remark").toString(), hostile);
        QCOMPARE(again.value("E_Remark").toString().size(), PriceTable::kMaxRemarkLength);
    }
    void customerGoneMeanwhileWritesNothing() {
        Sheet s("A101=120");
        Database& db = s.db();
        s.t.setCellText("A101", "90");
        // Another workstation deletes the customer (its table stays behind).
        db.execute("delete from Client where Corp_code='C001'");
        QCOMPARE(refusal([&] { s.t.save(); }), PriceTable::customerGoneText("C001"));
        QVERIFY(s.t.isModified() && shown(s.t, "A101") == "90");
        s.prompter.setNextAnswer(true);
        QVERIFY_THROWS_EXCEPTION(UserError, s.t.resetToStandard());
        QCOMPARE(stored(db, "A101"), QString("120"));
        setStandard(db, "Corp_code=''");
        PriceTable none(db, s.prompter);
        QCOMPARE(refusal([&] { none.openCustomer("C404"); }), PriceTable::noSuchCustomerText("C404"));
        for (const QString& code : {QString(), QString("   ")}) {
            QCOMPARE(refusal([&] { none.openCustomer(code); }), QString("请指定一个客户!"));
        }
        QVERIFY(!none.isOpen());
        QCOMPARE(QString::number(tables(db, "Corp_code='C404'")) + standard(db, "Corp_code"), QString("0"));
        addCustomer(db, "C001", "远东酒店");
        s.t.save();
        QCOMPARE(stored(db, "A101"), QString("90"));
    }
    void customerCodeChangeAndDeletionTakeTheTable() {
        Sheet s;
        Database& db = s.db();
        addCustomer(db, "C002", "长城饭店");
        for (const char* code : {"C001", "C002"}) {
            PriceTable t(db, s.prompter);
            t.openCustomer(code);
            t.setCellText("A101", QString(code).right(1));
            t.save();
        }
        PartnerDirectory dir(db, s.clock, s.prompter, PartnerSide::customers());
        dir.open();
        QVERIFY(dir.records().locate("Corp_code", "C001"));
        dir.records().setValue("Corp_code", "C009");
        dir.saveRecord();
        QVERIFY(dir.records().locate("Corp_code", "C002"));
        s.prompter.setNextAnswer(true);
        QVERIFY(dir.deleteRecords({dir.records().currentRow()}));
        QCOMPARE(stored(db, "Corp_code, A101"), QString("C009|1"));
        failWhen(db, "base_Dusmere_Customer_price_Table", "DELETE", "1 = 1");
        QVERIFY(dir.records().locate("Corp_code", "C009"));
        s.prompter.setNextAnswer(true);
        QVERIFY_THROWS_EXCEPTION(DbError, dir.deleteRecords({dir.records().currentRow()}));
        stopFailing(db, "base_Dusmere_Customer_price_Table");
        QCOMPARE(read(db, "select count(*) from Client where Corp_code='C009'") + '|' + stored(db, "Corp_code"),
                 QString("1|C009"));
    }
    void printoutRowsPerCustomerInTheOrderGiven() {
        Sheet s("A101=120, All_Remark='标准'");
        Database& db = s.db();
        db.execute("update Sys_Corp set Corp_name='恒通门窗'");
        addCustomer(db, "C002", "长城饭店");
        s.t.setCellText("A101", "80");
        s.t.save();
        PriceSheetPrintout printout(db);
        const auto fields = [](const ReportRows& rows) {
            QStringList out;
            for (const QVector<QVariant>& row : rows.rows) {
                QStringList values;
                for (const char* f :
                     {"Corp_code", "Customer_name", "A101", "Sheet_Note", "Sys_Corp_name", "Customer_Line"}) {
                    values << text(row[rows.fieldIndex(f)]);
                }
                out << values.join('|');
            }
            return out;
        };
        QCOMPARE(fields(printout.rows({})), QStringList{"||120|" + PriceSheetPrintout::standardNote() + "|恒通门窗|"});
        // C002 has no table: the standard prices under its name, nothing written; C404 is named.
        QCOMPARE(fields(printout.rows({"C002", "C404", "C001", "C002"})),
                 (QStringList{"C002|长城饭店|120|" + PriceSheetPrintout::standardPricesNote() +
                                  "|恒通门窗|客户名称: 长城饭店    客户编号: C002",
                              "C001|远东酒店|80||恒通门窗|客户名称: 远东酒店    客户编号: C001"}));
        QCOMPARE(printout.missingCodes(), QStringList{"C404"});
        QCOMPARE(tables(db), 1);
    }
};

QTEST_MAIN(TestPriceTables)
#include "test_price_tables.moc"
