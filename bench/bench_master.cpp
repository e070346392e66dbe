// The list windows over 100,000 goods and 50,000 customers, offscreen.
// Targets: each list window opens (shown and painted) in under 500 ms;
// a search answers in under 200 ms. Typing goods: the drop-down's matches
// for a 1-4 letter prefix in under 20 ms; the goods list's filter by
// initials in under 50 ms.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/first_start.h"
#include "data/sqlite_row_reader.h"
#include "demo/demo_data.h"
#include "master/goods_catalog.h"
#include "master/goods_list_window.h"
#include "master/partner_list_window.h"
#include "master/record_finder.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "shell/main_window.h"
#include "ui/data_grid.h"

namespace {

struct Program {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<MainWindow> mainWindow;
    Program() {
        context = std::make_unique<AppContext>(AppPaths(dir.path()), prompter);
        FirstStart::run(*context);
        context->data().ConnectDatabases();
        context->CurrentUser = {"超级用户", "", "管理员组"};
        DemoData::fill(*context, {50000, 200, 100000, 0});
        // The lists are opened from the main window, which is up by then
        // (with the fonts and styles every later window shares).
        mainWindow = std::make_unique<MainWindow>(*context);
        mainWindow->show();
        benchmark::DoNotOptimize(mainWindow->grab());
    }
};

Program& program() {
    static Program p;
    return p;
}

// Opening only: closing and freeing the previous window is not timed. The
// first open of a list in the process also pays for fresh heap pages, so it
// is reported on its own as first_ms.
template <class Window, class... Args>
void openListWindow(benchmark::State& state, Args&&... args) {
    static double firstMs = -1;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        auto w = std::make_unique<Window>(*program().context, args...);
        w->show();
        benchmark::DoNotOptimize(w->grab());
        if (firstMs < 0) {
            firstMs = timer.nsecsElapsed() / 1e6;
        }
        state.counters["rows"] = w->grid()->model()->rowCount();
        state.PauseTiming();
        w.reset();
        state.ResumeTiming();
    }
    state.counters["first_ms"] = firstMs;
}

void BM_OpenGoodsList100k(benchmark::State& state) {
    openListWindow<GoodsListWindow>(state);
}
BENCHMARK(BM_OpenGoodsList100k)->Unit(benchmark::kMillisecond);

void BM_OpenCustomerList50k(benchmark::State& state) {
    openListWindow<PartnerListWindow>(state, PartnerSide::customers());
}
BENCHMARK(BM_OpenCustomerList50k)->Unit(benchmark::kMillisecond);

// The rows alone, as the list reads them; heap_mb is the heap they hold.
void BM_LoadGoodsRows100k(benchmark::State& state) {
    for (auto _ : state) {
        const size_t before = mallinfo2().uordblks;
        auto ds = std::make_unique<Dataset>(program().context->data().main());
        ds->setUpdateTable("goods");
        ds->open("select * from goods order by code");
        benchmark::DoNotOptimize(ds->rowCount());
        state.PauseTiming();
        state.counters["heap_mb"] = (mallinfo2().uordblks - before) / 1048576.0;
        ds.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadGoodsRows100k)->Unit(benchmark::kMillisecond);

// Reading alone, without column definitions or conversions: the floor.
void BM_ReadGoodsRowsDirect100k(benchmark::State& state) {
    for (auto _ : state) {
        SqliteRowReader::Result raw;
        SqliteRowReader::readAll(program().context->data().main(), "select * from goods order by code", {}, &raw);
        benchmark::DoNotOptimize(raw.rows.rowCount());
        state.PauseTiming();
        raw = SqliteRowReader::Result();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReadGoodsRowsDirect100k)->Unit(benchmark::kMillisecond);

void BM_SearchGoods100k(benchmark::State& state) {
    GoodsListWindow w(*program().context);
    w.show();
    int i = 0;
    for (auto _ : state) {
        w.searchBox()->setText(QString::number(1000 + (i++ % 8000)));
        w.search();
        benchmark::DoNotOptimize(w.grid()->footerText("code"));
    }
}
BENCHMARK(BM_SearchGoods100k)->Unit(benchmark::kMillisecond);

void BM_SearchCustomers50k(benchmark::State& state) {
    PartnerListWindow w(*program().context, PartnerSide::customers());
    w.show();
    const QStringList words{"王", "杭州", "李静", "0012", "酒店"};
    int i = 0;
    for (auto _ : state) {
        w.searchBox()->setText(words[i++ % words.size()]);
        w.search();
        benchmark::DoNotOptimize(w.grid()->footerText("Corp_code"));
    }
}
BENCHMARK(BM_SearchCustomers50k)->Unit(benchmark::kMillisecond);

// The drop-down of a document grid: up to 20 goods for what is typed,
// best first; one run per text (prefixes of initials common and rare, a
// code), named by its position in the list.
const QStringList kTyped{"z", "zk", "zkb", "zkbl", "b", "bx", "bxg", "bxgh", "q", "qz", "dl", "bmq", "sp0009"};
void BM_GoodsDropDown100k(benchmark::State& state) {
    RecordFinder finder(program().context->data().main(), RecordFinder::goods());
    const QString typed = kTyped.at(int(state.range(0)));
    int found = 0;
    for (auto _ : state) {
        found = int(finder.find(typed).size());
    }
    state.counters["found"] = found;
}
BENCHMARK(BM_GoodsDropDown100k)->DenseRange(0, 12)->Unit(benchmark::kMillisecond);

// The slowest kind: a prefix of initials that matches nothing, so that
// every kind of match is looked for to the end.
void BM_GoodsDropDownNoMatch100k(benchmark::State& state) {
    RecordFinder finder(program().context->data().main(), RecordFinder::goods());
    for (auto _ : state) {
        benchmark::DoNotOptimize(finder.find("qqxz"));
    }
}
BENCHMARK(BM_GoodsDropDownNoMatch100k)->Unit(benchmark::kMillisecond);

// A part of a name (not initials): every name looked through.
void BM_GoodsDropDownNamePart100k(benchmark::State& state) {
    RecordFinder finder(program().context->data().main(), RecordFinder::goods());
    const QStringList typed{"玻璃", "不锈钢", "门吸"};
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(finder.find(typed[i++ % typed.size()]));
    }
}
BENCHMARK(BM_GoodsDropDownNamePart100k)->Unit(benchmark::kMillisecond);

// The goods list's search by initials over the rows it holds (the filter
// alone) and as the 查找 button runs it (the book read again first).
void BM_FilterGoodsByInitials100k(benchmark::State& state) {
    GoodsListWindow w(*program().context);
    w.show();
    w.showAll();
    const QStringList typed{"zkbl", "bxg", "dl", "bmq", "z"};
    int i = 0;
    for (auto _ : state) {
        w.grid()->setTextFilter(typed[i++ % typed.size()], GoodsCatalog::searchFields());
        benchmark::DoNotOptimize(w.grid()->model()->rowCount());
    }
}
BENCHMARK(BM_FilterGoodsByInitials100k)->Unit(benchmark::kMillisecond);

void BM_SearchGoodsByInitials100k(benchmark::State& state) {
    GoodsListWindow w(*program().context);
    w.show();
    const QStringList typed{"zkbl", "bxg", "dl", "bmq", "z"};
    int i = 0;
    for (auto _ : state) {
        w.searchBox()->setText(typed[i++ % typed.size()]);
        w.search();
        benchmark::DoNotOptimize(w.grid()->footerText("code"));
    }
}
BENCHMARK(BM_SearchGoodsByInitials100k)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Clock::pinLocalTimeZone();  // as the program does at start-up
    QApplication app(argc, argv);
    program();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
