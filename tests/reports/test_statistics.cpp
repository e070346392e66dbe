#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <tuple>

#include "data/cost_profit_right.h"
#include "data/field_def.h"
#include "data/permission_checker.h"
#include "documents/document_fixture.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "reports/engine/report_preparer.h"
#include "reports/engine/report_template.h"
#include "reports/report_samples.h"
#include "reports/statistics_chart.h"
#include "reports/statistics_report.h"
#include "support/golden.h"
#include "support/test_paths.h"

using namespace DocumentFixture;
using K = StatisticsReport::Kind;

namespace {
StatisticsFilter period(const QDate& from, const QDate& to) {
    return {from, to};
}

// The values of `field` (none: "?") as text, days in ISO form.
QStringList column(const ReportRows& rows, const QString& field) {
    QStringList out;
    for (const auto& row : rows.rows) {
        const QVariant v = row.value(rows.fieldIndex(field), "?");
        out << (v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate) : v.toString());
    }
    return out;
}

// A chart's months, series and shares as text.
QString chartText(const StatisticsChart& chart) {
    QString out = QString("%1 months from %2").arg(chart.months().size()).arg(chart.months().value(0).toString());
    for (const auto& series : chart.series()) {
        out += "; " + series.name + ":";
        for (double v : series.values) {
            out += ' ' + QString::number(v, 'f', 2);
        }
    }
    out += "; shares";
    for (const auto& share : chart.shares()) {
        out += QString(" %1=%2(%3)").arg(share.name).arg(share.amount).arg(share.key);
    }
    return out;
}

// Quotations BJ1, BJ2, BJ3 (out of force); receipts in June 2006, 2021 and undated; payouts of every kind.
void fill(Database& db) {
    for (const char* sql :
         {"insert into Quotation_Head (BillNo, Rummery, Add_ClientName, state) values ('BJ1', '酒楼甲', '张三', 1), "
          "('BJ2', '酒楼乙', null, 1), ('BJ3', '酒楼丙', '李四', 0)",
          "update Quotation_Head set ClientNo = '00009' where BillNo = 'BJ2'",
          "insert into Client (Corp_code, Linkman_name, GroupClass) values ('00009', '王芳', 1)",
          "insert into Receipt_Head (BillNo, QuotationNo, keyin_Date, TotalPrice) values "
          "('R1', 'BJ1', '2006-06-01 09:00:00', 100), ('R2', 'BJ2', '2006-06-01 18:30:00', 50), "
          "('R3', 'BJ1', '2006-06-02 23:59:59', 30), ('R4', 'BJ3', '2006-06-02 10:00:00', 999), "
          "('R5', 'BJ1', '2006-06-03 00:00:00', 20), ('R6', 'BJ2', '2021-03-05 12:00:00', 70), "
          "('R0', 'BJ1', null, 5)",
          "insert into payout (paytime, subject, totalprice, remark) values "
          "('2006-06-01 00:00:00', '1', 500, '六月工资'), ('2006-06-01 00:00:00', '0', 40, '送货'), "
          "('2006-06-01 00:00:00', '0', 10, null), ('2006-06-02 15:00:00', '2', 8, '100%_纸巾'), "
          "('2006-06-02 00:00:00', '2', 6, ''), ('2006-06-03 00:00:00', '3', 200, '汇款给供应商'), "
          "('2006-07-15 00:00:00', '0', 25, '送货'), ('2021-01-01 00:00:00', '1', 600, '新年工资'), "
          "('2030-01-01 00:00:00', '2', 3, '急!件')"}) {
        db.execute(sql);
    }
}
}  // namespace

// The income, payout and profit statistics on both engines, their charts and their templates.
class TestStatistics : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    // Rows of each period and filter ("%", "_", "!" are themselves), columns, remark choices, charts.
    void rowsChoicesAndCharts() {
        Book b;
        fill(b.db());
        StatisticsReport report(b.db());
        const QDate d1(2006, 6, 1), d2(2006, 6, 2), d3(2006, 6, 3), none;
        QString text;
        // A receipt without a date comes first on both engines.
        const std::tuple<const char*, QDate, QDate> periods[] = {
            {"one day, its last second included", d2, d2},
            {"one day, two receipts", d1, d1},
            {"three days", d1, d3},
            {"no bounds reach past 2020", none, none},
            {"only From", d3, none},
            {"only To", none, d1},
            {"nothing", QDate(2010, 1, 1), QDate(2010, 12, 31)},
            {"To on the last day there is", d3, QDate(9999, 12, 31)}};
        for (const auto& [tag, from, to] : periods) {
            const ReportRows rows = report.rows(K::Income, period(from, to));
            text += QString("income, %1: %2 / %3\n")
                        .arg(tag, column(rows, "Receipt_BillNo").join(','), column(rows, "ReceiptBillCount").join(','));
            if (from.isNull() && to.isNull()) {
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
            StatisticsFilter f = period(from, to);
            f.kind = kind;
            f.remark = remark;
            text += QString("payout, kind [%1] remark [%2] %3..%4: %5\n")
                        .arg(kind, remark, from.toString(Qt::ISODate), to.toString(Qt::ISODate),
                             column(report.rows(K::Payout, f), "totalprice").join(','));
        }
        for (const auto& [kind, name] :
             {std::pair{K::Income, "income"}, std::pair{K::Payout, "payout"}, std::pair{K::Profit, "profit"}}) {
            text += QString("%1 columns: %2\n").arg(name, report.rows(kind, {}).fields.join(',').toLower());
        }
        // Remark choices by code points, whatever the server's collation.
        for (const char* kind : {"运输费", "日杂费", "全部"}) {
            text += QString("remarks of %1: %2\n").arg(kind, report.remarkChoices(kind).join(','));
        }
        // Payouts per month and their shares; profit per month as lines.
        const auto values = [](const QList<double>& v) {
            QStringList out;
            for (double d : v) {
                out << QString::number(d);
            }
            return out.join(',');
        };
        const StatisticsChart payout =
            StatisticsChart::fromMonthly(K::Payout, report.monthly(K::Payout, period(d1, QDate(2006, 8, 31))));
        text += QString("payout chart: %1 months from %2, %3 series: %4; shares:")
                    .arg(payout.months().size())
                    .arg(payout.months().value(0).toString(Qt::ISODate))
                    .arg(payout.series().size())
                    .arg(values(payout.series().value(0).values));
        for (const auto& share : payout.shares()) {
            text += QString(" %1 %2").arg(share.name).arg(share.amount);
        }
        const StatisticsChart profit =
            StatisticsChart::fromMonthly(K::Profit, report.monthly(K::Profit, period(d1, none)));
        text += QString("\nprofit chart: %1 months, lines %2, %3 shares")
                    .arg(profit.months().size())
                    .arg(profit.drawsLines())
                    .arg(profit.shares().size());
        for (const auto& series : profit.series()) {
            text += QString("; %1 ... %2 (March 2021) ... %3")
                        .arg(values(series.values.mid(0, 3)))
                        .arg(series.values.value((2021 - 2006) * 12 + 3 - 6))
                        .arg(series.values.last());
        }
        QVERIFY(!profit.image(QSizeF(100, 50), 50).isNull());
        QVERIFY(StatisticsChart::fromMonthly(K::Income, ReportRows()).isEmpty());
        // The value axis speaks one unit with the decimals its step needs.
        QCOMPARE(StatisticsChart::axisLabels(0, 20000, 5000).join(' '), QString("0 0.5万 1.0万 1.5万 2.0万"));
        QCOMPARE(StatisticsChart::axisLabels(0, 1000000, 500000).join(' '), QString("0 50万 100万"));
        QCOMPARE(StatisticsChart::axisLabels(-2000, 4000, 2000).join(' '), QString("-2000 0 2000 4000"));
        QCOMPARE(StatisticsChart::axisLabels(0, 300000000, 100000000).join(' '), QString("0 1亿 2亿 3亿"));
        QCOMPARE(StatisticsChart::axisLabels(0, 100000, 25000).join(' '), QString("0 2.5万 5.0万 7.5万 10.0万"));
        QCOMPARE(StatisticsChart::axisLabels(-1, 0, 0.5).join(' '), QString("-1.0 -0.5 0"));
        // A kind whose name was removed shows under its code.
        b.db().execute("insert into payout (paytime, subject, totalprice) values ('2006-06-01 00:00:00', '9', 33)");
        b.db().execute("delete from Sys_Status_Describe where ParamentName='费用名目' and StatusValue='2'");
        const ReportRows kinds = report.rows(K::Payout, period(d1, d2));
        const ReportRows ledger = report.rows(K::Profit, period(d1, d2));
        text += QString("\nkind 2 without a name: %1 (%2); ledger %3 (%4)\n")
                    .arg(column(kinds, "statusname").join(','), column(kinds, "totalprice").join(','),
                         column(ledger, "subject_name").join(','), column(ledger, "PayoutPrice").join(','));
        OLVEND_COMPARE_GOLDEN("reports/statistics_rows.txt", text);
    }

    // The parts a report is read in give, one after the other, exactly its rows in their order, also at the
    // parts' edges and for rows without a date; a part is a week, the rest of its month, a quarter, then a year.
    void partsGiveTheWholeRowsInOrder() {
        Book b;
        fill(b.db());
        // Rows on both sides of the parts' first edges (8 June, July and October 2006, October 2007).
        b.db().execute(
            "insert into Receipt_Head (BillNo, QuotationNo, keyin_Date, TotalPrice) values "
            "('W1', 'BJ1', '2006-06-07 23:59:59', 6), ('W2', 'BJ2', '2006-06-08 00:00:00', 7), "
            "('E1', 'BJ2', '2006-06-30 23:59:59', 1), ('E2', 'BJ1', '2006-07-01 00:00:00', 2), "
            "('E3', 'BJ1', '2006-09-30 23:59:59', 3), ('E4', 'BJ2', '2006-10-01 00:00:00', 4), "
            "('E5', 'BJ1', '2007-10-01 00:00:00', 5)");
        b.db().execute(
            "insert into payout (paytime, subject, totalprice, remark) values "
            "('2006-06-07 23:59:59', '1', 6, 'w'), ('2006-06-08 00:00:00', '1', 7, 'x'), "
            "('2006-06-30 23:59:59', '0', 1, 'a'), ('2006-07-01 00:00:00', '0', 2, 'b'), "
            "('2007-09-30 23:59:59', '2', 3, 'c')");
        StatisticsReport report(b.db());
        const auto cells = [](const ReportRows& rows) {
            QStringList out;
            for (const auto& row : rows.rows) {
                QStringList line;
                for (const QVariant& v : row) {
                    line << ReportRows::tsvCell(v);
                }
                out << line.join('\t');
            }
            return out;
        };
        const QDate none;
        qsizetype compared = 0;
        for (const K kind : {K::Income, K::Payout, K::Profit}) {
            for (const auto& [from, to] :
                 {std::pair{none, none}, std::pair{QDate(2006, 6, 2), none}, std::pair{none, QDate(2006, 9, 30)},
                  std::pair{QDate(2006, 6, 30), QDate(2021, 3, 5)}, std::pair{QDate(2006, 7, 1), QDate(2006, 7, 1)}}) {
                const StatisticsFilter f = period(from, to);
                const QString tag = QString("kind %1 from %2 to %3")
                                        .arg(int(kind))
                                        .arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate));
                const ReportRows whole = report.rows(kind, f);
                const QList<StatisticsPart> parts = report.parts(kind, f);
                ReportRows joined;
                for (const StatisticsPart& part : parts) {
                    const ReportRows some = report.rows(kind, f, &part);
                    QCOMPARE(some.fields, whole.fields);
                    joined.rows.append(some.rows);
                }
                compared += whole.rows.size();
                QVERIFY2(cells(joined) == cells(whole), qPrintable(tag));
                // The chart's statement of monthly sums gives the chart the very rows give.
                QCOMPARE(chartText(StatisticsChart::fromMonthly(kind, report.monthly(kind, f))),
                         chartText(StatisticsChart::fromRows(kind, whole)));
                if (from.isNull() && to.isNull()) {
                    // From 1 June 2006 on: a week, the rest of June, then a month at a time up to the last date
                    // (March 2021 for receipts, 2030 for payouts), and receipts without a date.
                    const QDate last(kind == K::Income ? 2021 : 2030, kind == K::Income ? 3 : 1, 1);
                    const int months = (last.year() - 2006) * 12 + last.month() - 7 + 1;
                    QCOMPARE(parts.size(), months + (kind == K::Payout ? 2 : 3));
                    QCOMPARE(parts.first().undated, kind != K::Payout);
                    const auto dated = std::find_if(parts.cbegin(), parts.cend(), [](auto& p) { return !p.undated; });
                    QCOMPARE(dated->to, QDate(2006, 6, 8));
                    QCOMPARE((dated + 1)->to, QDate(2006, 7, 1));
                    QCOMPARE((dated + 2)->to, QDate(2006, 8, 1));
                    QVERIFY(!parts.last().to.isValid() && !parts.last().undated);
                    // A reader joins month parts, never the first week nor the undated rows.
                    QList<StatisticsPart> left = parts;
                    if (kind != K::Payout) {
                        QVERIFY(StatisticsReport::takeJoined(&left, 12).undated);
                    }
                    QCOMPARE(StatisticsReport::takeJoined(&left, 12).to, QDate(2006, 6, 8));
                    const StatisticsPart quarter = StatisticsReport::takeJoined(&left, 3);
                    QCOMPARE(quarter.from, QDate(2006, 6, 8));
                    QCOMPARE(quarter.to, QDate(2006, 9, 1));
                    const StatisticsPart rest = StatisticsReport::takeJoined(&left, 100000);
                    QVERIFY(left.isEmpty() && rest.from == QDate(2006, 9, 1) && !rest.to.isValid());
                    const ReportRows joinedRows = report.rows(kind, f, &quarter);
                    qsizetype inQuarter = 0;
                    for (int i = 1; i <= 3; ++i) {
                        inQuarter += report.rows(kind, f, &*(dated + i)).rows.size();
                    }
                    QCOMPARE(joinedRows.rows.size(), inQuarter);
                }
            }
        }
        QVERIFY(compared > 60);
        // Also for payouts of one kind, without a remark or with one (the kinds' shares included).
        for (const auto& [kind, remark, shares] :
             {std::tuple{"运输费", "全部", 1}, std::tuple{"全部", "", 2}, std::tuple{"全部", "%", 1}}) {
            StatisticsFilter f = period(QDate(2006, 6, 1), none);
            f.kind = kind;
            f.remark = remark;
            const StatisticsChart sums = StatisticsChart::fromMonthly(K::Payout, report.monthly(K::Payout, f));
            QCOMPARE(chartText(sums), chartText(StatisticsChart::fromRows(K::Payout, report.rows(K::Payout, f))));
            QVERIFY2(sums.shares().size() == shares, qPrintable(chartText(sums)));
        }
        // A period far wider than the book's dates is read in the parts of the dates there are.
        QCOMPARE(report.parts(K::Income, period(QDate(1990, 1, 1), QDate(9999, 12, 31))).size(),
                 report.parts(K::Income, {}).size() - 1);
    }

    // Bad periods and kinds are refused; without the cost right costs are left out and profits refused.
    void refusalsAndTheCostRight() {
        Book b;
        fill(b.db());
        StatisticsReport report(b.db());
        // The chart's monthly sums are refused just as the rows are.
        const auto refusal = [&report](K kind, const StatisticsFilter& f) {
            QStringList said;
            for (const bool sums : {false, true}) {
                try {
                    sums ? report.monthly(kind, f) : report.rows(kind, f);
                    said << "accepted";
                } catch (const UserError& e) {
                    said << e.message();
                }
            }
            return said[0] == said[1] ? said[0] : said.join(" / ");
        };
        for (auto kind : {K::Income, K::Payout, K::Profit}) {
            QCOMPARE(refusal(kind, period(QDate(2006, 6, 2), QDate(2006, 6, 1))), QString("开始日期不能晚于结束日期"));
        }
        // The days a date box holds, and no others.
        for (const QDate& day : {QDate(1900, 1, 1), QDate(10000, 1, 1)}) {
            QCOMPARE(
                refusal(K::Payout, period(day, QDate())),
                QString("日期 %1 超出范围：日期须在 1900-01-02 到 9999-12-31 之间").arg(day.toString(Qt::ISODate)));
        }
        QCOMPARE(report.rows(K::Payout, period(HeldDates::first(), HeldDates::last())).rows.size(), 9);
        QCOMPARE(refusal(K::Payout, {QDate(), QDate(), "房租"}), QString("没有这种支出类型: 房租"));
        for (const bool shows : {true, false}) {
            report.setShowsCost(shows);
            const ReportRows income = report.rows(K::Income, {});
            QCOMPARE(column(income, "Receipt_BillNo").join(','), QString("R0,R1,R2,R3,R5,R6"));
            QVERIFY(income.fieldIndex("Total_Price") >= 0);
            for (const QString& cost : CostProfitRight::quotationCostColumns()) {
                QVERIFY2((income.fieldIndex(cost) >= 0) == shows, qPrintable(cost));
            }
            QCOMPARE(report.rows(K::Payout, {}).rows.size(), 9);
        }
        QCOMPARE(refusal(K::Profit, {}), PermissionChecker::refusalText());
    }

    void templatesPrepareWithTheirChart_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("income") << int(K::Income);
        QTest::newRow("payout") << int(K::Payout);
        QTest::newRow("profit") << int(K::Profit);
    }

    // Each template over three days (golden), its chart the one picture, amounts and days as values.
    void templatesPrepareWithTheirChart() {
        QFETCH(int, kind);
        const auto k = static_cast<K>(kind);
        Book b;
        fill(b.db());
        StatisticsReport report(b.db());
        ReportTemplate tmpl;
        QString error;
        QCOMPARE(ReportTemplate::load(TestPaths::sourceFolder() + "/Report/" + StatisticsReport::templateName(k), &tmpl,
                                      &error),
                 ReportTemplate::LoadResult::Loaded);
        const auto prepare = [&](const StatisticsFilter& f, PreparedReport* out) {
            const ReportRows rows = report.rows(k, f);
            ReportPreparer preparer(tmpl);
            preparer.setParameters(report.parameters(k, f));
            preparer.setImage("chart",
                              StatisticsChart::fromMonthly(k, report.monthly(k, f)).image(QSizeF(186, 95), 50));
            return preparer.prepare(rows, out, &error, QDate(2006, 6, 25));
        };
        PreparedReport prepared;
        QVERIFY2(prepare(period(QDate(2006, 6, 1), QDate(2006, 6, 3)), &prepared), qPrintable(error));
        OLVEND_COMPARE_GOLDEN(QString("reports/statistics_%1.txt").arg(QTest::currentDataTag()),
                              ReportSamples::dump(prepared));
        static const QRegularExpression amount(QStringLiteral("^-?[0-9,]+\\.[0-9]{2}$"));
        static const QRegularExpression day(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}$"));
        int images = 0;
        for (const ReportPage& page : prepared.pages) {
            for (const ReportPrimitive& p : page.items) {
                images += p.kind == ReportPrimitive::Kind::Image ? 1 : 0;
                if (amount.match(p.text).hasMatch()) {
                    QVERIFY2(isNumericValue(p.value), qPrintable(p.text));
                } else if (day.match(p.text).hasMatch()) {
                    QVERIFY2(p.value.typeId() == QMetaType::QDate || p.value.typeId() == QMetaType::QDateTime,
                             qPrintable(p.text));
                }
            }
        }
        QCOMPARE(images, 1);
        PreparedReport none;
        QVERIFY2(prepare(period(QDate(2010, 1, 1), QDate(2010, 1, 1)), &none), qPrintable(error));
        const QString emptyTexts = ReportSamples::textsOf(none).join('|');
        QVERIFY2(emptyTexts.contains("2010-01-01 至 2010-01-01"), qPrintable(emptyTexts));
    }
};

QTEST_MAIN(TestStatistics)
#include "test_statistics.moc"
