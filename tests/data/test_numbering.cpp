#include <QSet>
#include <QSqlQuery>
#include <QTest>
#include <latch>
#include <thread>

#include "book_checks.h"
#include "data/numbering.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "support/test_books.h"

using BookChecks::refusal;
using TestBooks::FreshBook;

namespace {
QString stored(Database& db, const QString& table, const QString& field) {
    return db
        .scalar("select CurrID from Sys_ID_Autoincrement where tablename=:t and fieldname=:f",
                {{"t", table.toLower()}, {"f", field.toLower()}})
        .toString();
}

void setStored(Database& db, const QString& table, const QString& field, const QString& value) {
    QCOMPARE(db.execute("update Sys_ID_Autoincrement set CurrID=:v where tablename=:t and fieldname=:f",
                        {{"v", value}, {"t", table.toLower()}, {"f", field.toLower()}}),
             1);
}

// A book and the numbering on it, on 2006-12-25.
struct Fixture {
    FreshBook book{TestBooks::currentEngine()};
    Database& db = book.db();
    Clock clock;
    Numbering n{db, clock};
    Fixture() { clock.setToday(QDate(2006, 12, 25)); }
    QString next(const QString& table, const QString& field, bool codeList = false) {
        return n.GetAutoIncrementID(table, field, codeList);
    }
};
}  // namespace

class TestNumbering : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    void incrementPadded() {
        const struct {
            const char* digits;
            int width;
            const char* expected;
        } cases[] = {
            {"0017", 4, "0018"},     {"0099", 4, "0100"},
            {"9999", 4, "10000"},                                                       // reaches the width
            {"123456", 3, "123457"},                                                    // a longer one stays whole
            {"0", 5, "00001"},       {"100000000000000000", 4, "100000000000000001"}};  // 18 digits, the most taken
        for (const auto& c : cases) {
            QCOMPARE(Numbering::IncrementPadded(c.digits, c.width), QString(c.expected));
        }
        for (const char* bad : {"", "12a", " 12", "-3", "1.5", "1000000000000000000"}) {
            QVERIFY_THROWS_EXCEPTION(UserError, Numbering::IncrementPadded(bad, 4));
        }
    }
    // The code after the stored one, per rule; the counter row keeps it.
    void nextCode() {
        Fixture f;
        const QList<QStringList> cases{
            // table, field, stored, expected
            {"Receipt_Head", "BillNo", "AA0612240017", "AA0612250001"},  // a new day
            {"Receipt_Head", "BillNo", "AA0612250001", "AA0612250002"},  // the same day
            {"RECEIPT_HEAD", "billno", "AA0612250002", "AA0612250003"},  // names in any case
            {"Quotation_Head", "BillNo", "BJ0612250041", "BJ0612250042"},
            {"Dusmere_Order_Form_head", "Order_Form_Code", "", "AA0612250001"},        // "AA" too, its own counter
            {"Dusmere_Work_Form_Head", "Work_Form_Code", "0612250009", "0612250010"},  // no prefix
            {"Dusmere_Shipment_Form_Head", "Shipment_Form_Code", "0601010003", "0612250001"},
            {"ware_out_bill_head", "bill_auto_no", "CK0612250100", "CK0612250101"},
            {"check_bill_head", "bill_auto_no", "", "PD0612250001"},
            {"goods", "code", "SP00000041", "SP00000042"},
            {"unit", "unit_code", "UN009", "UN010"},
            {"AccountBook", "DatabaseName", "UserAccountBook001", "UserAccountBook002"},
            {"customer_provider", "corp_code", "00041", "00042"},
            {"customer_provider", "corp_code", "99999", "00001"},  // wraps
            {"Dusmere_Order_Form_Detail", "Goods_Code", "999998", "999999"},
            {"Dusmere_Order_Form_Detail", "Goods_Code", "999999", "1"},  // wraps
            {"Dusmere_Order_Form_Detail", "Goods_Code", "41", "42"}};
        for (const QStringList& c : cases) {
            setStored(f.db, c[0], c[1], c[2]);
            QCOMPARE(f.next(c[0], c[1]), c[3]);
            QCOMPARE(stored(f.db, c[0], c[1]), c[3]);
        }
        // The day is read at each draw: a session past midnight starts the new day's numbers.
        f.clock.setToday(QDate(2007, 1, 1));
        QCOMPARE(f.next("Quotation_Head", "BillNo"), QString("BJ0701010001"));
    }
    // A fixed-width counter at its top is refused, naming the counter; nothing is stored.
    void fixedWidthCountersRefuseToOverflow() {
        Fixture f;
        const QList<QStringList> cases{{"Receipt_Head", "BillNo", "AA0612259999"}, {"unit", "unit_code", "UN999"}};
        for (const QStringList& c : cases) {
            setStored(f.db, c[0], c[1], c[2]);
            const QString said = refusal([&] { f.next(c[0], c[1]); });
            QVERIFY2(said.contains(c[0] + "." + c[1]), qPrintable(c[2] + ": " + said));
            QCOMPARE(stored(f.db, c[0], c[1]), c[2]);
        }
    }
    // Customer codes pass over those used by customers, suppliers and order customers, wrapping at the top.
    void corpCodesPassOverCodesInUse() {
        Fixture f;
        f.db.query("insert into Client (Corp_code) values ('00001')");
        f.db.query("insert into Provider (Corp_code) values ('00002')");
        f.db.query("insert into customer_provider (corp_code) values ('00004')");
        setStored(f.db, "customer_provider", "corp_code", "99998");
        QCOMPARE(f.next("customer_provider", "corp_code"), QString("99999"));
        QCOMPARE(f.next("customer_provider", "corp_code"), QString("00003"));
        QCOMPARE(f.next("customer_provider", "corp_code"), QString("00005"));
        f.db.query("insert into Client (Corp_code) values ('99999')");
        setStored(f.db, "customer_provider", "corp_code", "99998");
        QCOMPARE(f.next("customer_provider", "corp_code"), QString("00003"));
    }
    void missingRowAndMissingRule() {
        Fixture f;
        QCOMPARE(refusal([&] { f.next("No_Table", "No_Field"); }),
                 QString("字段[No_Table.No_Field]的数据库中的自增值没有定义"));
        f.db.query("insert into Sys_ID_Autoincrement (tablename, fieldname, CurrID) values ('other', 'code', '1')");
        QCOMPARE(refusal([&] { f.next("Other", "Code"); }), QString("字段[Other.Code]的自增值函数没有定义"));
        QCOMPARE(stored(f.db, "other", "code"), QString("1"));
    }
    void codeListMode() {
        Fixture f;
        f.db.query(
            "insert into Sys_Status_Describe_head (paramentname, TableName, FieldName, isSystem_Param) "
            "values ('测试', 'T_List', 'F_List', 0)");
        // An empty list without a counter row proposes 1: no error.
        QCOMPARE(f.next("T_List", "F_List", true), QString("1"));
        for (const char* v : {"1", "2", "10"}) {
            f.db.query(
                "insert into Sys_Status_Describe (ParamentName, StatusValue, StatusName) values ('测试', :v, 'x')",
                {{"v", QString(v)}});
        }
        // Numeric maximum, not text maximum; nothing is consumed.
        QCOMPARE(f.next("T_List", "F_List", true), QString("11"));
        QCOMPARE(f.next("T_List", "F_List", true), QString("11"));
        QCOMPARE(f.next("payout", "subject", true), QString("4"));
        // A pair with a rule gives the rule's value, and nothing is stored.
        setStored(f.db, "goods", "code", "SP00000005");
        QCOMPARE(f.next("goods", "code", true), QString("SP00000006"));
        QCOMPARE(f.next("goods", "code"), QString("SP00000006"));
        // A code drawn is consumed even if the caller discards its record.
        QCOMPARE(f.next("unit", "unit_code"), QString("UN007"));
        QCOMPARE(f.next("unit", "unit_code"), QString("UN008"));
    }
    void concurrentConnectionsNeverShareACode() {
        FreshBook book(TestBooks::currentEngine());
        constexpr int kThreads = 4;
        constexpr int kEach = 40;
        QList<QStringList> results(kThreads);
        QStringList errors(kThreads);
        std::latch ready(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                try {
                    auto db = book.connectAgain();
                    Clock clock;
                    Numbering n(*db, clock);
                    ready.arrive_and_wait();
                    for (int i = 0; i < kEach; ++i) {
                        results[t].append(n.GetAutoIncrementID("goods", "code", false));
                    }
                } catch (const OlvendError& e) {
                    errors[t] = e.message();
                }
            });
        }
        for (std::thread& t : threads) {
            t.join();
        }
        QCOMPARE(errors.join(""), QString());
        QSet<QString> all;
        for (const QStringList& r : results) {
            QCOMPARE(r.size(), kEach);
            all.unite(QSet<QString>(r.begin(), r.end()));
        }
        QCOMPARE(all.size(), kThreads * kEach);
        QVERIFY(all.contains(QString("SP%1").arg(kThreads * kEach, 8, 10, QChar('0'))));
    }
};

QTEST_GUILESS_MAIN(TestNumbering)
#include "test_numbering.moc"
