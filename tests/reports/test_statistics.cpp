#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>
#include <tuple>

#include "data/cost_profit_right.h"
#include "data/field_def.h"
#include "data/permission_checker.h"
#include "documents/document_fixture.h"
#include "platform/errors.h"
#include "reports/engine/report_preparer.h"
#include "reports/engine/report_template.h"
#include "reports/report_samples.h"
#include "reports/statistics_chart.h"
#include "reports/statistics_report.h"
#include "support/golden.h"

using namespace DocumentFixture;

// The income, payout and profit statistics: their periods, filters and
// orders on both engines, the chart drawn from their rows, and each
// shipped template prepared from them.
class TestStatistics : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void filtersPickTheirRows();
    void payoutOfAKindWithoutNameStillShows();
    void profitLedgerOrderAndSums();
    void refusedFilters();
    void costsAndProfitsOnlyWithTheRight();
    void remarkChoicesFollowTheKind();
    void templatesPrepareWithTheirChart_data();
    void templatesPrepareWithTheirChart();
    void chartCountsPerMonth();

private:
    // Quotations BJ1 (in force, 酒楼甲 for 张三), BJ2 (in force, no client
    // name) and BJ3 (out of force); receipts over three days of June 2006
    // and one in 2021; payouts of every kind.
    static void fill(Database& db);
    static QStringList column(const ReportRows& rows, const QString& field);
    static double sum(const ReportRows& rows, const QString& field);
};

void TestStatistics::fill(Database& db) {
    db.execute(
        "insert into Quotation_Head (BillNo, Rummery, Add_ClientName, state) values "
        "('BJ1', '酒楼甲', '张三', 1), ('BJ2', '酒楼乙', null, 1), ('BJ3', '酒楼丙', '李四', 0)");
    // BJ2's customer is only its record's.
    db.execute("update Quotation_Head set ClientNo = '00009' where BillNo = 'BJ2'");
    db.execute("insert into Client (Corp_code, Linkman_name, GroupClass) values ('00009', '王芳', 1)");
    struct Receipt {
        const char* bill;
        const char* quotation;
        const char* time;
        int amount;
    };
    const Receipt receipts[] = {
        {"R1", "BJ1", "2006-06-01 09:00:00", 100},
        {"R2", "BJ2", "2006-06-01 18:30:00", 50},
        {"R3", "BJ1", "2006-06-02 23:59:59", 30},
        {"R4", "BJ3", "2006-06-02 10:00:00", 999},
        {"R5", "BJ1", "2006-06-03 00:00:00", 20},
        {"R6", "BJ2", "2021-03-05 12:00:00", 70},
        {"R0", "BJ1", nullptr, 5},  // a receipt without a date
    };
    for (const Receipt& r : receipts) {
        db.execute("insert into Receipt_Head (BillNo, QuotationNo, keyin_Date, TotalPrice) values (:b, :q, :t, :a)",
                   {{"b", r.bill},
                    {"q", r.quotation},
                    {"t", r.time ? QVariant(QDateTime::fromString(r.time, "yyyy-MM-dd HH:mm:ss")) : QVariant()},
                    {"a", r.amount}});
    }
    struct Payout {
        const char* time;
        const char* subject;
        int amount;
        const char* remark;  // nullptr: none
    };
    const Payout payouts[] = {
        {"2006-06-01 00:00:00", "1", 500, "六月工资"}, {"2006-06-01 00:00:00", "0", 40, "送货"},
        {"2006-06-01 00:00:00", "0", 10, nullptr},     {"2006-06-02 15:00:00", "2", 8, "100%_纸巾"},
        {"2006-06-02 00:00:00", "2", 6, ""},           {"2006-06-03 00:00:00", "3", 200, "汇款给供应商"},
        {"2006-07-15 00:00:00", "0", 25, "送货"},      {"2021-01-01 00:00:00", "1", 600, "新年工资"},
        {"2030-01-01 00:00:00", "2", 3, "急!件"},
    };
    for (const Payout& p : payouts) {
        db.execute("insert into payout (paytime, subject, totalprice, remark) values (:t, :s, :a, :r)",
                   {{"t", QDateTime::fromString(p.time, "yyyy-MM-dd HH:mm:ss")},
                    {"s", p.subject},
                    {"a", p.amount},
                    {"r", p.remark ? QVariant(QString::fromUtf8(p.remark)) : QVariant()}});
    }
}

QStringList TestStatistics::column(const ReportRows& rows, const QString& field) {
    const int c = rows.fieldIndex(field);
    if (c < 0) {
        qFatal("no column %s", qPrintable(field));
    }
    QStringList out;
    for (const auto& row : rows.rows) {
        const QVariant v = row[c];
        out << (v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate) : v.toString());
    }
    return out;
}

double TestStatistics::sum(const ReportRows& rows, const QString& field) {
    const int c = rows.fieldIndex(field);
    double total = 0;
    for (const auto& row : rows.rows) {
        total += row[c].toDouble();
    }
    return total;
}

// Each period and filter with the rows it picks, a line each, kept in a
// golden file: receipts of quotations in force with their quotation's
// receipt count; payouts by day, then kind, then remark (no remark first),
// where "%", "_" and "!" typed are themselves.
void TestStatistics::filtersPickTheirRows() {
    Book b;
    fill(b.db());
    StatisticsReport report(b.db());
    const QDate d1(2006, 6, 1), d2(2006, 6, 2), d3(2006, 6, 3), none;
    QString text;
    // A receipt without a date comes first on both engines.
    const std::tuple<const char*, QDate, QDate> periods[] = {{"one day, its last second included", d2, d2},
                                                             {"one day, two receipts", d1, d1},
                                                             {"three days", d1, d3},
                                                             {"no bounds reach past 2020", none, none},
                                                             {"only From", d3, none},
                                                             {"only To", none, d1},
                                                             {"nothing", QDate(2010, 1, 1), QDate(2010, 12, 31)},
                                                             {"To on the last day there is", d3, QDate(9999, 12, 31)}};
    for (const auto& [tag, from, to] : periods) {
        StatisticsFilter f;
        f.from = from;
        f.to = to;
        const ReportRows rows = report.rows(StatisticsReport::Kind::Income, f);
        text += QString("income, %1: %2 / %3\n")
                    .arg(tag, column(rows, "Receipt_BillNo").join(','), column(rows, "ReceiptBillCount").join(','));
        if (from.isNull() && to.isNull()) {
            // The quotation list's columns come with every receipt.
            QVERIFY(rows.fieldIndex("Total_Price") >= 0 && rows.fieldIndex("Rummery") >= 0);
            QCOMPARE(rows.rows.last()[rows.fieldIndex("BillDay")].typeId(), int(QMetaType::QDate));
            QCOMPARE(rows.rows.last()[rows.fieldIndex("Payday")].typeId(), int(QMetaType::QDateTime));
        }
    }
    const std::tuple<const char*, const char*, QDate, QDate> payouts[] = {
        {"全部", "全部", none, none},   {"", "全部", d1, d1},  // an empty kind is all
        {"运输费", "全部", none, none}, {"汇款", "全部", none, none},
        {"全部", "", none, none},       {"运输费", "", d1, QDate(2006, 6, 30)},
        {"全部", "工资", none, none},   {"全部", "%", none, none},
        {"全部", "_", none, none},      {"全部", "!", none, none},
        {"全部", "'", none, none},      {"全部", "全部", d2, d2}};
    for (const auto& [kind, remark, from, to] : payouts) {
        StatisticsFilter f;
        f.kind = kind;
        f.remark = remark;
        f.from = from;
        f.to = to;
        const ReportRows rows = report.rows(StatisticsReport::Kind::Payout, f);
        text += QString("payout, kind [%1] remark [%2] %3..%4: %5\n")
                    .arg(kind, remark, from.toString(Qt::ISODate), to.toString(Qt::ISODate),
                         column(rows, "totalprice").join(','));
    }
    OLVEND_COMPARE_GOLDEN("reports/statistics_filters.txt", text);
}

void TestStatistics::payoutOfAKindWithoutNameStillShows() {
    Book b;
    fill(b.db());
    b.db().execute("insert into payout (paytime, subject, totalprice) values (:t, '9', 33)",
                   {{"t", QDate(2006, 6, 1).startOfDay()}});
    // A name removed from the code list leaves its payouts under their code.
    b.db().execute("delete from Sys_Status_Describe where ParamentName='费用名目' and StatusValue='2'");
    StatisticsFilter f;
    f.from = QDate(2006, 6, 1);
    f.to = QDate(2006, 6, 2);
    StatisticsReport report(b.db());
    const ReportRows rows = report.rows(StatisticsReport::Kind::Payout, f);
    QCOMPARE(column(rows, "statusname").join(','), QString("运输费,运输费,工资,9,2,2"));
    QCOMPARE(sum(rows, "totalprice"), 10.0 + 40 + 500 + 33 + 6 + 8);
    const ReportRows ledger = report.rows(StatisticsReport::Kind::Profit, f);
    QVERIFY(column(ledger, "subject_name").contains("9"));
    QCOMPARE(sum(ledger, "PayoutPrice"), 10.0 + 40 + 500 + 33 + 6 + 8);
}

void TestStatistics::profitLedgerOrderAndSums() {
    Book b;
    fill(b.db());
    StatisticsFilter f;
    f.from = QDate(2006, 6, 1);
    f.to = QDate(2006, 6, 3);
    const ReportRows rows = StatisticsReport(b.db()).rows(StatisticsReport::Kind::Profit, f);
    QCOMPARE(rows.fields.mid(0, 5).join(',').toLower(),
             QString("billdate,subject_name,income_price,payoutprice,remark"));
    // By moment; payouts before receipts of the same moment; the receipt of
    // the quotation out of force is left out.
    QCOMPARE(column(rows, "subject_name").join(','),
             QString("工资,运输费,运输费,收款收据,收款收据,日杂费,日杂费,收款收据,汇款,收款收据"));
    QCOMPARE(column(rows, "remark").join('|'),
             QString("六月工资|送货||酒楼甲(张三)|酒楼乙(王芳)||100%_纸巾|酒楼甲(张三)|"
                     "汇款给供应商|酒楼甲(张三)"));
    QCOMPARE(sum(rows, "Income_price"), 100.0 + 50 + 30 + 20);
    QCOMPARE(sum(rows, "PayoutPrice"), 500.0 + 40 + 10 + 8 + 6 + 200);
    QCOMPARE(column(rows, "BillDay").join(','), QString("2006-06-01,2006-06-01,2006-06-01,2006-06-01,2006-06-01,"
                                                        "2006-06-02,2006-06-02,2006-06-02,2006-06-03,2006-06-03"));
}

void TestStatistics::refusedFilters() {
    Book b;
    StatisticsReport report(b.db());
    StatisticsFilter f;
    f.from = QDate(2006, 6, 2);
    f.to = QDate(2006, 6, 1);
    for (auto kind : {StatisticsReport::Kind::Income, StatisticsReport::Kind::Payout, StatisticsReport::Kind::Profit}) {
        try {
            report.rows(kind, f);
            QFAIL("From after To was accepted");
        } catch (const UserError& e) {
            QCOMPARE(e.message(), QString("开始日期不能晚于结束日期"));
        }
    }
    StatisticsFilter unknown;
    unknown.kind = "房租";
    QVERIFY_THROWS_EXCEPTION(UserError, report.rows(StatisticsReport::Kind::Payout, unknown));
}

// Without the right to see costs and profits the income rows do not carry
// the quotations' costs and profits, and the profit statistics, which are
// nothing but what the company earns, are refused whole.
void TestStatistics::costsAndProfitsOnlyWithTheRight() {
    Book b;
    fill(b.db());
    StatisticsReport report(b.db());
    for (const bool shows : {true, false}) {
        report.setShowsCost(shows);
        const ReportRows income = report.rows(StatisticsReport::Kind::Income, {});
        QCOMPARE(column(income, "Receipt_BillNo").join(','), QString("R0,R1,R2,R3,R5,R6"));
        QVERIFY(income.fieldIndex("Total_Price") >= 0);
        for (const QString& cost : CostProfitRight::quotationCostColumns()) {
            QVERIFY2((income.fieldIndex(cost) >= 0) == shows, qPrintable(cost));
        }
        QCOMPARE(report.rows(StatisticsReport::Kind::Payout, {}).rows.size(), 9);
    }
    try {
        report.rows(StatisticsReport::Kind::Profit, {});
        QFAIL("the profit statistics were read");
    } catch (const UserError& e) {
        QCOMPARE(e.message(), PermissionChecker::refusalText());
    }
}

void TestStatistics::remarkChoicesFollowTheKind() {
    Book b;
    fill(b.db());
    StatisticsReport report(b.db());
    QCOMPARE(report.remarkChoices("运输费"), QStringList({"全部", "送货"}));
    QCOMPARE(report.remarkChoices("全部").size(), 7);
    QCOMPARE(report.remarkChoices("全部").first(), QString("全部"));
    // By code points on both engines, whatever the server's collation.
    QCOMPARE(report.remarkChoices("日杂费"), QStringList({"全部", "100%_纸巾", "急!件"}));
}

void TestStatistics::templatesPrepareWithTheirChart_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("income") << int(StatisticsReport::Kind::Income);
    QTest::newRow("payout") << int(StatisticsReport::Kind::Payout);
    QTest::newRow("profit") << int(StatisticsReport::Kind::Profit);
}

// What each template prints over three days of June 2006 is kept in a
// golden file; its chart is the one picture.
void TestStatistics::templatesPrepareWithTheirChart() {
    QFETCH(int, kind);
    const auto k = static_cast<StatisticsReport::Kind>(kind);
    Book b;
    fill(b.db());
    StatisticsFilter f;
    f.from = QDate(2006, 6, 1);
    f.to = QDate(2006, 6, 3);
    StatisticsReport report(b.db());
    const ReportRows rows = report.rows(k, f);
    ReportTemplate tmpl;
    QString error;
    QCOMPARE(ReportTemplate::load(QStringLiteral(OLVEND_SOURCE_DIR "/Report/") + StatisticsReport::templateName(k),
                                  &tmpl, &error),
             ReportTemplate::LoadResult::Loaded);
    ReportPreparer preparer(tmpl);
    preparer.setParameters(report.parameters(k, f));
    preparer.setImage("chart", StatisticsChart::fromRows(k, rows).image(QSizeF(186, 95), 50));
    PreparedReport prepared;
    QVERIFY2(preparer.prepare(rows, &prepared, &error, QDate(2006, 6, 25)), qPrintable(error));
    int images = 0;
    for (const ReportPage& page : prepared.pages) {
        for (const ReportPrimitive& p : page.items) {
            images += p.kind == ReportPrimitive::Kind::Image ? 1 : 0;
        }
    }
    OLVEND_COMPARE_GOLDEN(QString("reports/statistics_%1.txt").arg(QTest::currentDataTag()),
                          ReportSamples::dump(prepared));
    QCOMPARE(images, 1);
    // Amounts and days shown alone are the values themselves, so that a
    // spreadsheet gets numbers and dates.
    static const QRegularExpression amount(QStringLiteral("^-?[0-9,]+\\.[0-9]{2}$"));
    static const QRegularExpression day(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}$"));
    for (const ReportPage& page : prepared.pages) {
        for (const ReportPrimitive& p : page.items) {
            if (amount.match(p.text).hasMatch()) {
                QVERIFY2(isNumericValue(p.value), qPrintable(p.text));
            } else if (day.match(p.text).hasMatch()) {
                QVERIFY2(p.value.typeId() == QMetaType::QDate || p.value.typeId() == QMetaType::QDateTime,
                         qPrintable(p.text));
            }
        }
    }

    // No rows: the header still says what was asked, and nothing fails.
    f.from = QDate(2010, 1, 1);
    f.to = QDate(2010, 1, 1);
    ReportPreparer empty(tmpl);
    empty.setParameters(report.parameters(k, f));
    PreparedReport none;
    QVERIFY2(empty.prepare(report.rows(k, f), &none, &error, QDate(2006, 6, 25)), qPrintable(error));
    const QString emptyTexts = ReportSamples::textsOf(none).join('|');
    QVERIFY2(emptyTexts.contains("2010-01-01 至 2010-01-01"), qPrintable(emptyTexts));
}

void TestStatistics::chartCountsPerMonth() {
    Book b;
    fill(b.db());
    StatisticsReport report(b.db());
    StatisticsFilter f;
    f.from = QDate(2006, 6, 1);
    f.to = QDate(2006, 8, 31);
    const StatisticsChart payout =
        StatisticsChart::fromRows(StatisticsReport::Kind::Payout, report.rows(StatisticsReport::Kind::Payout, f));
    QCOMPARE(payout.months(), (QList<QDate>{QDate(2006, 6, 1), QDate(2006, 7, 1)}));
    QCOMPARE(payout.series().size(), 1);
    QCOMPARE(payout.series()[0].values, (QList<double>{764, 25}));
    double shares = 0;
    for (const auto& s : payout.shares()) {
        shares += s.amount;
        if (s.name == "运输费") {
            QCOMPARE(s.amount, 75.0);
        }
    }
    QCOMPARE(shares, 789.0);

    // Profit per month, with an empty month between.
    f.to = QDate();
    const StatisticsChart profit =
        StatisticsChart::fromRows(StatisticsReport::Kind::Profit, report.rows(StatisticsReport::Kind::Profit, f));
    QCOMPARE(profit.months().size(), (2030 - 2006) * 12 + 1 - 6 + 1);
    QCOMPARE(profit.series().size(), 3);
    QCOMPARE(profit.series()[0].values.first(), 200.0);
    QCOMPARE(profit.series()[1].values.first(), 764.0);
    QCOMPARE(profit.series()[2].values.first(), -564.0);
    QCOMPARE(profit.series()[2].values[1], -25.0);
    QCOMPARE(profit.series()[2].values[2], 0.0);
    QCOMPARE(profit.series()[2].values[(2021 - 2006) * 12 + 3 - 6], 70.0);
    QCOMPARE(profit.series()[2].values.last(), -3.0);
    QVERIFY(profit.drawsLines());
    QVERIFY(profit.shares().isEmpty());
    QVERIFY(!profit.image(QSizeF(100, 50), 50).isNull());

    const StatisticsChart none = StatisticsChart::fromRows(StatisticsReport::Kind::Income, ReportRows());
    QVERIFY(none.isEmpty());
}

QTEST_MAIN(TestStatistics)
#include "test_statistics.moc"
