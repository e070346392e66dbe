// The customer price tables over a book of 50,000 customers, each with its
// own table, built once per run in a temporary folder (OLVEND_BENCH_CUSTOMERS=N
// builds a smaller book; OLVEND_BENCH_HOME=DIR keeps it in DIR and uses it
// again on later runs). Targets: one customer's table opens in under
// 100 ms (the table alone, and the price window made, loaded and painted);
// the sheets of 100 selected customers print to PDF in under 2 s (the rows
// read, the shipped template prepared, the PDF written). Beside them: a
// customer's first opening (the copy of the standard table), saving a
// table, and the raw SQLite statement the opening rests on.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/first_start.h"
#include "demo/demo_data.h"
#include "master/customer_price_window.h"
#include "master/price_table.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "raw_statement.h"
#include "reports/engine/prepared_report.h"
#include "reports/engine/report_exporter.h"
#include "reports/engine/report_preparer.h"
#include "reports/engine/report_template.h"
#include "reports/price_sheet_printout.h"

namespace {

int envCount(const char* name, int fallback) {
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
}

struct Book {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<AppContext> context;
    sqlite3* raw = nullptr;
    QStringList codes;  // every customer's code, in code order

    Book() {
        const int customers = envCount("OLVEND_BENCH_CUSTOMERS", 50000);
        const QString home = qEnvironmentVariable("OLVEND_BENCH_HOME");
        const bool reuse = !home.isEmpty() && QFileInfo::exists(home + "/config.ini");
        context = std::make_unique<AppContext>(AppPaths(home.isEmpty() ? dir.path() : home), prompter);
        if (!reuse) {
            FirstStart::run(*context);
        }
        context->data().ConnectDatabases();
        context->CurrentUser = {"超级用户", "", "管理员组"};
        Database& db = context->data().main();
        if (db.scalar("select count(*) from Client").toInt() == 0) {
            QElapsedTimer timer;
            timer.start();
            DemoData::fill(*context, {customers, 10, 100, 0});
            db.execute(
                "update Sys_Corp set Corp_name='恒通门窗有限公司', Corp_address='广州市天河区中山大道 88 号', "
                "Corp_telephone='020-88886666'");
            db.execute(
                "update base_Dusmere_Price_Table set A101=1200, A102=1350, A103=1500, B101=80, B202=95, "
                "D204=2450, A_Remark='含税，送货上门', All_Remark='报价有效期三十天'");
            // Every customer's own table, its prices a little off the
            // standard ones.
            QStringList columns{"Corp_code"};
            QStringList values{"c.Corp_code"};
            for (const QString& f : PriceTable::fieldNames()) {
                columns << f;
                values << (PriceTable::isCell(f) ? QString("100 + (c.ID * %1) % 5000").arg(columns.size())
                                                 : QString("'%1 说明'").arg(f));
            }
            WriteTransaction tx(db);
            db.execute(QString("insert into base_Dusmere_Customer_price_Table (%1) select %2 from Client c")
                           .arg(columns.join(", "), values.join(", ")));
            tx.commit();
            std::fprintf(stderr, "demo book: %d customers with their price tables in %.1f s\n", customers,
                         timer.elapsed() / 1000.0);
        }
        QSqlQuery q = db.query("select Corp_code from Client order by Corp_code");
        while (q.next()) {
            codes << q.value(0).toString();
        }
        std::fprintf(stderr, "book: %lld customers, %d price tables\n", static_cast<long long>(codes.size()),
                     db.scalar("select count(*) from base_Dusmere_Customer_price_Table").toInt());
        if (sqlite3_open_v2(db.location().toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            qFatal("raw connection: %s", sqlite3_errmsg(raw));
        }
        sqlite3_exec(raw, "PRAGMA synchronous=FULL; PRAGMA busy_timeout=10000", nullptr, nullptr, nullptr);
    }
    ~Book() { sqlite3_close(raw); }

    // A different customer each time, spread over the whole book.
    const QString& nextCode() {
        m_next = (m_next + 7919) % codes.size();
        return codes[m_next];
    }

private:
    qsizetype m_next = 0;
};

Book& book() {
    static Book b;
    return b;
}

void BM_OpenCustomerTable(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        PriceTable table(b.context->data().main(), b.prompter);
        table.openCustomer(b.nextCode());
        benchmark::DoNotOptimize(table.value("D204"));
    }
}

void BM_OpenCustomerWindow(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        CustomerPriceWindow window(*b.context, false, b.nextCode());
        if (!window.load()) {
            state.SkipWithError("the window did not open");
            break;
        }
        window.show();
        QApplication::processEvents();
        window.repaint();
        benchmark::DoNotOptimize(window.table().value("A101"));
    }
}

void BM_FirstOpeningCopies(benchmark::State& state) {
    Book& b = book();
    Database& db = b.context->data().main();
    for (auto _ : state) {
        state.PauseTiming();
        const QString code = b.nextCode();
        db.execute("delete from base_Dusmere_Customer_price_Table where Corp_code=:c", {{"c", code}});
        state.ResumeTiming();
        PriceTable table(db, b.prompter);
        table.openCustomer(code);
        benchmark::DoNotOptimize(table.value("A101"));
    }
}

void BM_SaveCustomerTable(benchmark::State& state) {
    Book& b = book();
    qint64 n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PriceTable table(b.context->data().main(), b.prompter);
        table.openCustomer(b.nextCode());
        table.setCellText("C203", QString::number(++n));
        state.ResumeTiming();
        table.save();
    }
}

void BM_PrintHundredToPdf(benchmark::State& state) {
    Book& b = book();
    QTemporaryDir out;
    ReportTemplate tmpl;
    QString error;
    const QString path = b.context->paths().reportFile(PriceSheetPrintout::templateName());
    if (ReportTemplate::load(path, &tmpl, &error) != ReportTemplate::LoadResult::Loaded) {
        state.SkipWithError("the template did not load");
        return;
    }
    int pages = 0;
    for (auto _ : state) {
        QStringList selected;
        for (int i = 0; i < 100; ++i) {
            selected << b.nextCode();
        }
        PriceSheetPrintout printout(b.context->data().main());
        const ReportRows rows = printout.rows(selected);
        ReportPreparer preparer(tmpl, QFileInfo(path).absolutePath());
        PreparedReport prepared;
        if (!preparer.prepare(rows, &prepared, &error) ||
            !ReportExporter::toPdf(prepared, out.filePath("sheets.pdf"), &error)) {
            state.SkipWithError(qPrintable(error));
            break;
        }
        pages = static_cast<int>(prepared.pages.size());
    }
    state.counters["pages"] = pages;
}

void BM_RawCustomerTable(benchmark::State& state) {
    Book& b = book();
    const QByteArray sql =
        (PriceTable::selectStatement(PriceTable::customerTable()) + " where corp_code=:corp_code LIMIT 1").toUtf8();
    for (auto _ : state) {
        RawStatement s(b.raw, sql.constData());
        s.bind(":corp_code", b.nextCode().toUtf8());
        benchmark::DoNotOptimize(s.readAll());
    }
}

BENCHMARK(BM_OpenCustomerTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCustomerWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstOpeningCopies)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveCustomerTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintHundredToPdf)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_RawCustomerTable)->Unit(benchmark::kMillisecond);

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
