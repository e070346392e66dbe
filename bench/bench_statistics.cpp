// The income, payout and profit statistics and the payout lists over the
// demo book of a busy company's ten years: 100,000 quotations with their
// 200,000 receipts and 200,000 payouts, built once per run in a temporary
// folder (OLVEND_BENCH_QUOTATIONS=N and OLVEND_BENCH_PAYOUTS=N build a
// smaller book for a quick run; OLVEND_BENCH_HOME=DIR keeps it in DIR and
// uses it again on later runs). Targets: each statistics report prepares
// for one year in under 1 s and for ten years in under 5 s, as "开始统计"
// prepares it (the rows read, the chart drawn, the shipped template
// prepared with both; only painting the preview is left out), timed part
// by part and again through the window itself, not shown (with the time to
// its first page, and the memory it takes and gives back when closed); the payout list
// of one kind opens in under 500 ms; the receivables by age of every
// customer in under 300 ms, and the ten-year statement of the busiest
// customer prepared in under 200 ms. Each is timed beside the raw SQLite
// statement it rests on (a connection of SQLite's C API to the same file,
// the same statement text with the same values, stepping every row and
// reading every column).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/first_start.h"
#include "demo/demo_data.h"
#include "demo/demo_payouts.h"
#include "demo/demo_quotations.h"
#include "documents/daily_numbers.h"
#include "documents/payout_list.h"
#include "documents/payout_list_window.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "raw_statement.h"
#include "reports/customer_statement.h"
#include "reports/engine/prepared_report.h"
#include "reports/engine/report_preparer.h"
#include "reports/engine/report_template.h"
#include "reports/receivables_aging.h"
#include "reports/statistics_chart.h"
#include "reports/statistics_report.h"
#include "reports/statistics_window.h"
#include "ui/data_grid.h"
#include "ui/editors.h"

namespace {

int envCount(const char* name, int fallback) {
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
}

// The demo quotations make about two receipts a quotation, a little under
// for a large book: payment receipts of the quotations in force (every
// n-th quotation, a month after it was taken) bring the book to two a
// quotation.
int topUpReceipts(Database& db, const QDate& today, int quotations) {
    const int missing = 2 * quotations - db.scalar("select count(*) from Receipt_Head").toInt();
    if (missing <= 0) {
        return 0;
    }
    QList<std::pair<QString, QDate>> heads;
    QSqlQuery q = db.query("select BillNo, Order_Date from Quotation_Head where state=1 order by BillNo");
    while (q.next()) {
        heads.append({q.value(0).toString(), q.value(1).toDateTime().date()});
    }
    if (heads.isEmpty()) {
        return 0;
    }
    DailyNumbers numbers(db, "AA", "Receipt_Head", "BillNo");
    WriteTransaction tx(db);
    const auto insert = db.prepared(
        "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, keyin_User, keyin_Date, remark, state) "
        "values (?, ?, 100, 1, '超级用户', ?, '尾款', 1)");
    for (int i = 0; i < missing; ++i) {
        const auto& [no, taken] = heads[int(qint64(i) * heads.size() / missing)];
        const QDate day = qMin(today, taken.addDays(30));
        insert->bindValue(0, no);
        insert->bindValue(1, numbers.next(day));
        insert->bindValue(2, db.toDbValue(day.startOfDay()));
        db.runBound(*insert);
    }
    numbers.settleCounter(db, today);
    tx.commit();
    return missing;
}

struct Book {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<AppContext> context;
    sqlite3* raw = nullptr;
    QDate lastDay;  // the book's newest payout: the periods end on it

    Book() {
        const int quotations = envCount("OLVEND_BENCH_QUOTATIONS", 100000);
        const int payouts = envCount("OLVEND_BENCH_PAYOUTS", 200000);
        const QString home = qEnvironmentVariable("OLVEND_BENCH_HOME");
        const bool reuse = !home.isEmpty() && QFileInfo::exists(home + "/config.ini");
        context = std::make_unique<AppContext>(AppPaths(home.isEmpty() ? dir.path() : home), prompter);
        if (!reuse) {
            FirstStart::run(*context);
        }
        context->data().ConnectDatabases();
        context->CurrentUser = {"超级用户", "", "管理员组"};
        Database& db = context->data().main();
        const QDate today = context->clock().today();
        if (db.scalar("select count(*) from Quotation_Head").toInt() == 0) {
            QElapsedTimer timer;
            timer.start();
            DemoData::fill(*context, {2000, 100, 2000, 0});
            const DemoQuotations::Made made = DemoQuotations::fill(*context, quotations);
            const int added = topUpReceipts(db, today, quotations);
            std::fprintf(stderr, "demo book: %d quotations, %lld lines, %d receipts and %d more in %.1f s\n",
                         made.quotations, made.lines, made.receipts, added, timer.elapsed() / 1000.0);
        }
        if (db.scalar("select count(*) from payout").toInt() == 0) {
            QElapsedTimer timer;
            timer.start();
            const DemoPayouts::Made made = DemoPayouts::fill(*context, payouts);
            std::fprintf(stderr, "demo book: %d payouts (%d, %d, %d, %d of the four kinds) in %.1f s\n", made.payouts,
                         made.ofKind[0], made.ofKind[1], made.ofKind[2], made.ofKind[3], timer.elapsed() / 1000.0);
        }
        lastDay = db.scalar("select max(paytime) from payout").toDateTime().date();
        if (!lastDay.isValid()) {
            lastDay = today;
        }
        std::fprintf(stderr, "book: %d quotations, %d receipts, %d payouts up to %s\n",
                     db.scalar("select count(*) from Quotation_Head").toInt(),
                     db.scalar("select count(*) from Receipt_Head").toInt(),
                     db.scalar("select count(*) from payout").toInt(), qPrintable(lastDay.toString(Qt::ISODate)));
        if (sqlite3_open_v2(db.location().toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            qFatal("raw connection: %s", sqlite3_errmsg(raw));
        }
        // As the program's connections are set.
        sqlite3_exec(raw, "PRAGMA synchronous=FULL; PRAGMA busy_timeout=10000", nullptr, nullptr, nullptr);
    }
    ~Book() { sqlite3_close(raw); }

    // The last `years` years up to the book's last day, both days included.
    StatisticsFilter period(int years) const {
        StatisticsFilter f;
        f.from = lastDay.addYears(-years).addDays(1);
        f.to = lastDay;
        return f;
    }
};

Book& book() {
    static Book b;
    return b;
}

const StatisticsReport::Kind kKinds[] = {StatisticsReport::Kind::Income, StatisticsReport::Kind::Payout,
                                         StatisticsReport::Kind::Profit};

// A whole report as an export makes it: the rows, the chart folded from
// them and its printed picture, the header's values and the shipped
// template prepared, each part's share reported in milliseconds; beside
// them the statement of monthly sums the window's early chart reads
// (chart_statement_ms, not part of the whole).
void BM_Statistics(benchmark::State& state) {
    Book& b = book();
    const StatisticsReport::Kind kind = kKinds[state.range(0)];
    const StatisticsFilter filter = b.period(int(state.range(1)));
    const QString path = b.context->paths().reportFile(StatisticsReport::templateName(kind));
    double rowsMs = 0, chartMs = 0, prepareMs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        StatisticsReport report(b.context->data().main());
        auto rows = std::make_unique<ReportRows>(report.rows(kind, filter));
        rowsMs += timer.nsecsElapsed() / 1e6;
        timer.restart();
        const StatisticsChart chart = StatisticsChart::fromRows(kind, *rows);
        const QImage picture = chart.printedImage();
        chartMs += timer.nsecsElapsed() / 1e6;
        timer.restart();
        ReportTemplate tmpl;
        QString error;
        if (ReportTemplate::load(path, &tmpl, &error) != ReportTemplate::LoadResult::Loaded) {
            state.SkipWithError("template not loaded");
            break;
        }
        ReportPreparer preparer(tmpl, QFileInfo(path).absolutePath());
        preparer.setParameters(report.parameters(kind, filter));
        preparer.setImage(QStringLiteral("chart"), picture);
        auto prepared = std::make_unique<PreparedReport>();
        if (!preparer.prepare(*rows, prepared.get(), &error, b.context->clock().today())) {
            state.SkipWithError("not prepared");
            break;
        }
        prepareMs += timer.nsecsElapsed() / 1e6;
        state.counters["rows"] = double(rows->rows.size());
        state.counters["pages"] = double(prepared->pages.size());
        state.PauseTiming();
        rows.reset();  // freeing the rows and pages is no part of preparing
        prepared.reset();
        state.ResumeTiming();
    }
    const double n = double(qMax<benchmark::IterationCount>(1, state.iterations()));
    state.counters["rows_ms"] = rowsMs / n;
    state.counters["chart_ms"] = chartMs / n;
    state.counters["prepare_ms"] = prepareMs / n;
    QElapsedTimer timer;
    timer.start();
    StatisticsReport report(b.context->data().main());
    benchmark::DoNotOptimize(report.monthly(kind, filter));
    state.counters["chart_statement_ms"] = timer.nsecsElapsed() / 1e6;
}

// The window itself on "开始统计" (not shown, so nothing is painted): the
// same work through the window's own path, with the prepared pages handed
// to its preview.
void BM_StatisticsWindowRun(benchmark::State& state) {
    Book& b = book();
    const StatisticsReport::Kind kind = kKinds[state.range(0)];
    const StatisticsFilter filter = b.period(int(state.range(1)));
    StatisticsWindow w(*b.context, kind);
    w.fromDate()->setValue(filter.from.startOfDay());
    w.toDate()->setValue(filter.to.startOfDay());
    double firstPageMs = 0;
    int n = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        // The first page shows when run() returns; the rest is made after.
        if (!w.run()) {
            state.SkipWithError("not shown");
            break;
        }
        firstPageMs += double(clock.nsecsElapsed()) / 1e6;
        ++n;
        if (!w.finishPreparing()) {
            state.SkipWithError("not finished");
            break;
        }
        state.counters["rows"] = double(w.rows().rows.size());
    }
    state.counters["first_page_ms"] = n > 0 ? firstPageMs / n : 0;
}

// Resident memory of this process, MB (Linux).
double residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
        }
    }
    return 0;
}

// What a closed statistics window gives back: the resident memory after the
// whole report was made, and once the window is closed and the event loop
// has run.
void BM_StatisticsWindowClosed(benchmark::State& state) {
    Book& b = book();
    const StatisticsReport::Kind kind = kKinds[state.range(0)];
    const StatisticsFilter filter = b.period(int(state.range(1)));
    for (auto _ : state) {
        const double before = residentMb();
        auto* w = new StatisticsWindow(*b.context, kind);
        w->fromDate()->setValue(filter.from.startOfDay());
        w->toDate()->setValue(filter.to.startOfDay());
        if (!w->run() || !w->finishPreparing()) {
            state.SkipWithError("not shown");
            delete w;
            break;
        }
        state.counters["made_mb"] = residentMb() - before;
        delete w;
        QCoreApplication::processEvents();
        state.counters["closed_mb"] = residentMb() - before;
    }
}

// The statement of the report with the same values bound as the program
// binds them.
void BM_RawStatistics(benchmark::State& state) {
    Book& b = book();
    Database& db = b.context->data().main();
    const StatisticsReport::Kind kind = kKinds[state.range(0)];
    QVariantMap params;
    const QString sql = StatisticsReport(db).statement(kind, b.period(int(state.range(1))), &params);
    RawStatement q(b.raw, sql.toUtf8().constData());
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        q.bind((':' + it.key()).toUtf8().constData(), db.toDbValue(it.value()).toString().toUtf8());
    }
    for (auto _ : state) {
        state.counters["rows"] = q.readAll();
    }
}

void statisticsArgs(benchmark::internal::Benchmark* bm) {
    bm->ArgNames({"kind", "years"});
    for (int kind = 0; kind < 3; ++kind) {
        for (int years : {1, 10}) {
            bm->Args({kind, years});
        }
    }
}

// The payout kinds as the main window opens their lists: 运输费 0, 工资 1,
// 日杂费 2, 汇款 4.
void payoutKinds(benchmark::internal::Benchmark* bm) {
    bm->ArgName("kind");
    for (int kind : {0, 1, 2, 4}) {
        bm->Arg(kind);
    }
}

void BM_PayoutListOpen(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        auto list = std::make_unique<PayoutList>(b.context->data().main(), b.prompter, int(state.range(0)));
        list->open();
        state.counters["rows"] = list->rows().rowCount();
        state.PauseTiming();
        list.reset();  // freeing the rows is no part of opening
        state.ResumeTiming();
    }
}

// The list window as the user opens it: the kinds' names and the rows
// read, the grid sorted newest first, shown and painted once (offscreen).
void BM_PayoutListWindowOpen(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        auto w = std::make_unique<PayoutListWindow>(*b.context, int(state.range(0)));
        w->show();
        benchmark::DoNotOptimize(w->grab());
        state.counters["rows"] = w->grid()->model()->rowCount();
        state.PauseTiming();
        w.reset();
        state.ResumeTiming();
    }
}

void BM_RawPayoutList(benchmark::State& state) {
    RawStatement q(book().raw, "select * from payout where subject=:subject");
    q.bind(":subject", PayoutKind::of(int(state.range(0))).subject.toUtf8());
    for (auto _ : state) {
        state.counters["rows"] = q.readAll();
    }
}

// Binds the values as the program binds them and reads every row.
int64_t rawRows(sqlite3* raw, Database& db, const QString& sql, const QVariantMap& params) {
    RawStatement q(raw, sql.toUtf8().constData());
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        q.bind((':' + it.key()).toUtf8().constData(), db.toDbValue(it.value()).toString().toUtf8());
    }
    return q.readAll();
}
// 应收账款账龄 on the book's last day, as "开始" makes it: the aging of
// every customer, its rows and chart.
void BM_ReceivablesAging(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        ReceivablesAging aging(b.context->data().main());
        const ReceivablesAging::Result result = aging.build(b.lastDay);
        const ReportRows rows = ReceivablesAging::rows(result);
        benchmark::DoNotOptimize(ReceivablesAging::chart(result).printedImage());
        state.counters["customers"] = double(rows.rows.size());
    }
}
void BM_RawReceivablesAging(benchmark::State& state) {
    Book& b = book();
    QVariantMap params;
    const QString sql = ReceivablesAging::statement(b.lastDay, false, &params);
    for (auto _ : state) {
        state.counters["rows"] = double(rawRows(b.raw, b.context->data().main(), sql, params));
    }
}
// The customer with the most quotations in force.
ReceivableParty busiestCustomer() {
    Database& db = book().context->data().main();
    return ReceivableParty::find(db, db.scalar("select h.ClientNo from Quotation_Head h join Client c on "
                                               "c.Corp_code=h.ClientNo where h.state=1 "
                                               "group by h.ClientNo order by count(*) desc limit 1")
                                         .toString());
}
// The busiest customer's statement of ten years, prepared from the shipped
// template as the window prepares it.
void BM_CustomerStatement(benchmark::State& state) {
    Book& b = book();
    const ReceivableParty party = busiestCustomer();
    const StatementFilter filter{b.lastDay.addYears(-10).addDays(1), b.lastDay};
    const QString path = b.context->paths().reportFile(CustomerStatement::templateName());
    ReportTemplate tmpl;
    QString error;
    if (ReportTemplate::load(path, &tmpl, &error) != ReportTemplate::LoadResult::Loaded) {
        state.SkipWithError("template not loaded");
        return;
    }
    for (auto _ : state) {
        CustomerStatement statement(b.context->data().main());
        const Statement st = statement.build(party, filter);
        ReportPreparer preparer(tmpl, QFileInfo(path).absolutePath());
        preparer.setParameters(statement.parameters(filter));
        PreparedReport prepared;
        if (!preparer.prepare(CustomerStatement::rows({st}), &prepared, &error, b.context->clock().today())) {
            state.SkipWithError("not prepared");
            break;
        }
        state.counters["lines"] = double(st.lines.size());
        state.counters["pages"] = double(prepared.pages.size());
    }
}
void BM_RawCustomerStatement(benchmark::State& state) {
    Book& b = book();
    QVariantMap params;
    const QStringList sql =
        CustomerStatement::statements(busiestCustomer(), {b.lastDay.addYears(-10).addDays(1), b.lastDay}, &params);
    for (auto _ : state) {
        int64_t rows = 0;
        for (const QString& statement : sql) {
            rows += rawRows(b.raw, b.context->data().main(), statement, params);
        }
        state.counters["rows"] = double(rows);
    }
}
BENCHMARK(BM_ReceivablesAging)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_RawReceivablesAging)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CustomerStatement)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_RawCustomerStatement)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Statistics)->Apply(statisticsArgs)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_StatisticsWindowRun)->Apply(statisticsArgs)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_StatisticsWindowClosed)->Apply(statisticsArgs)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_RawStatistics)->Apply(statisticsArgs)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_PayoutListOpen)->Apply(payoutKinds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PayoutListWindowOpen)->Apply(payoutKinds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawPayoutList)->Apply(payoutKinds)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Clock::pinLocalTimeZone();  // as the program does at start-up
    QApplication app(argc, argv);
    book();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
