// Quotations over the demo book of a busy company's ten years: 100,000
// quotations with about 2,500,000 lines and 200,000 receipts, built once
// per run in a temporary folder (OLVEND_BENCH_QUOTATIONS=N builds a
// smaller book for a quick run; OLVEND_BENCH_HOME=DIR keeps it in DIR and
// uses it again on later runs). Targets: the whole list opens in under
// 300 ms; a 200-line quotation loads in under 200 ms; a new 1,000-line
// quotation saves in under 100 ms; the receipts of a quotation that has
// receipts and receipt lines open in under 200 ms. Each is timed beside
// the raw SQLite statements it rests on (a connection of SQLite's C API to
// the same file, stepping every row and reading every column). The price a
// customer was last quoted for a goods is read in under 5 ms a line, for a
// goods the customer was quoted and for one it never was (every quotation
// of the busiest customer looked through).
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
#include "data/dataset.h"
#include "data/first_start.h"
#include "data/lookup_list.h"
#include "demo/demo_data.h"
#include "demo/demo_quotations.h"
#include "documents/price_history.h"
#include "documents/quotation_document.h"
#include "documents/quotation_list.h"
#include "documents/quotation_list_window.h"
#include "documents/receipt_book.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "raw_statement.h"
#include "ui/data_grid.h"

namespace {

struct Book {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<AppContext> context;
    sqlite3* raw = nullptr;
    QString bigQuotation;       // 200 lines, saved by the editor's class
    QString quotationReceipts;  // has receipts and receipt lines
    QStringList goodsCodes;     // the first 1,000 goods codes

    Book() {
        const int quotations = qEnvironmentVariableIsSet("OLVEND_BENCH_QUOTATIONS")
                                   ? qEnvironmentVariableIntValue("OLVEND_BENCH_QUOTATIONS")
                                   : 100000;
        // OLVEND_BENCH_HOME names the folder of a demo book made by an
        // earlier run (kept there), so that a run need not build it again.
        const QString home = qEnvironmentVariable("OLVEND_BENCH_HOME");
        const bool reuse = !home.isEmpty() && QFileInfo::exists(home + "/config.ini");
        context = std::make_unique<AppContext>(AppPaths(home.isEmpty() ? dir.path() : home), prompter);
        if (!reuse) {
            FirstStart::run(*context);
        }
        context->data().ConnectDatabases();
        context->CurrentUser = {"超级用户", "", "管理员组"};
        Database& db = context->data().main();
        if (!reuse) {
            QElapsedTimer timer;
            timer.start();
            DemoData::fill(*context, {2000, 100, 2000, 0});
            const DemoQuotations::Made made = DemoQuotations::fill(*context, quotations);
            std::fprintf(stderr, "demo book: %d quotations, %lld lines, %d receipts, %lld receipt lines in %.1f s\n",
                         made.quotations, made.lines, made.receipts, made.receiptLines, timer.elapsed() / 1000.0);
        }

        QSqlQuery g = db.query("select code from goods order by code limit 1000");
        while (g.next()) {
            goodsCodes.append(g.value(0).toString());
        }
        QuotationDocument doc(db, context->clock(), prompter, context->CurrentUser.UserName);
        doc.load(QuotationDocument::New);
        doc.addGoods(goodsCodes.mid(0, 200));
        if (!doc.save()) {
            qFatal("not saved: %s", qPrintable(prompter.lastText()));
        }
        bigQuotation = doc.billNo();
        // A quotation of the middle years with the most receipts.
        quotationReceipts = db.scalar(
                                  "select QuotationNo from Receipt_Head r where exists (select 1 from Receipt_Detail "
                                  "d where d.HeadNo = r.QuotationNo) group by QuotationNo "
                                  "order by count(*) desc, QuotationNo limit 1 offset :o",
                                  {{"o", quotations / 4}})
                                .toString();
        if (quotationReceipts.isEmpty()) {
            qFatal("no quotation with receipts");
        }
        if (sqlite3_open_v2(db.location().toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            qFatal("raw connection: %s", sqlite3_errmsg(raw));
        }
        // As the program's connections are set.
        sqlite3_exec(raw, "PRAGMA synchronous=FULL; PRAGMA busy_timeout=10000", nullptr, nullptr, nullptr);
    }
    ~Book() { sqlite3_close(raw); }
    // A kept book stays as the demo made it: the quotations the run saved
    // go again (while the application still runs).
    QStringList saved;
    void removeSaved() { QuotationList(context->data().main(), prompter).removeNow(saved + QStringList{bigQuotation}); }
};

Book& book() {
    static Book b;
    return b;
}

void BM_QuotationListOpen(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        auto list = std::make_unique<QuotationList>(b.context->data().main(), b.prompter);
        list->open();
        state.counters["rows"] = list->rows().rowCount();
        state.PauseTiming();
        list.reset();  // freeing the rows is no part of opening
        state.ResumeTiming();
    }
}

// The list window as the user opens it: rows read, grid sorted newest
// first, shown and painted once (offscreen).
void BM_QuotationListWindowOpen(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        auto w = std::make_unique<QuotationListWindow>(*b.context);
        w->show();
        benchmark::DoNotOptimize(w->grab());
        state.counters["rows"] = w->grid()->model()->rowCount();
        state.PauseTiming();
        w.reset();
        state.ResumeTiming();
    }
}

void BM_RawQuotationList(benchmark::State& state) {
    RawStatement q(book().raw, QuotationList::listStatement().toUtf8().constData());
    for (auto _ : state) {
        state.counters["rows"] = q.readAll();
    }
}

void BM_QuotationLoad200Lines(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        QuotationDocument doc(b.context->data().main(), b.context->clock(), b.prompter, "超级用户");
        doc.load(QuotationDocument::Existing, b.bigQuotation);
        state.counters["lines"] = doc.lines().rowCount();
    }
}

void BM_RawQuotationLoad200Lines(benchmark::State& state) {
    Book& b = book();
    RawStatement head(b.raw, "select * from Quotation_Head where BillNo=?");
    RawStatement lines(b.raw, "select * from Quotation_Detail where HeadNo=? order by SortNo, id");
    const QByteArray no = b.bigQuotation.toUtf8();
    for (auto _ : state) {
        head.bind(1, no);
        head.readAll();
        lines.bind(1, no);
        state.counters["lines"] = lines.readAll();
    }
}

// Saving alone is timed; starting the quotation and adding the goods are
// reported as add_ms.
void BM_QuotationSave1000Lines(benchmark::State& state) {
    Book& b = book();
    double addMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QElapsedTimer timer;
        timer.start();
        auto doc = std::make_unique<QuotationDocument>(b.context->data().main(), b.context->clock(), b.prompter,
                                                       QStringLiteral("超级用户"));
        doc->load(QuotationDocument::New);
        doc->addGoods(b.goodsCodes);
        addMs += timer.nsecsElapsed() / 1e6;
        state.ResumeTiming();
        if (!doc->save()) {
            state.SkipWithError("not saved");
        }
        state.PauseTiming();
        b.saved.append(doc->billNo());
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["add_ms"] = addMs / double(state.iterations());
}

void BM_RawInsertQuotation1000Lines(benchmark::State& state) {
    Book& b = book();
    RawStatement head(b.raw,
                      "insert into Quotation_Head (BillNo, ClientNo, Order_Date, Send_Date, Keyin_Date, Keyin_User, "
                      "IsDelete, isPigeonhole, state) values (?, '', '2024-01-01 00:00:00', '2024-01-08 00:00:00', "
                      "'2024-01-01 00:00:00', 'raw', 0, 0, 1)");
    RawStatement line(b.raw,
                      "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, "
                      "SortNo) values (?, ?, ?, ?, ?, ?, ?)");
    QList<QByteArray> codes;
    for (const QString& c : b.goodsCodes) {
        codes.append(c.toUtf8());
    }
    int n = 0;
    for (auto _ : state) {
        const QByteArray no = QStringLiteral("RAW%1").arg(++n, 8, 10, QChar('0')).toUtf8();
        sqlite3_exec(b.raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        head.bind(1, no);
        head.readAll();
        for (int i = 0; i < codes.size(); ++i) {
            line.bind(1, no);
            line.bind(2, codes[i]);
            line.bind(3, 2.0);
            line.bind(4, 10.5);
            line.bind(5, 21.0);
            line.bind(6, 7.0);
            line.bind(7, double(i + 1));
            line.readAll();
        }
        sqlite3_exec(b.raw, "COMMIT", nullptr, nullptr, nullptr);
    }
    // Gone again, so that a book kept for later runs lists its quotations
    // in the order they were written and the next run's numbers are free.
    sqlite3_exec(b.raw,
                 "delete from Quotation_Detail where HeadNo like 'RAW%'; "
                 "delete from Quotation_Head where BillNo like 'RAW%'; "
                 "delete from Quotation_Sum where BillNo like 'RAW%'",
                 nullptr, nullptr, nullptr);
}

void BM_ReceiptBookOpen(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        ReceiptBook receipts(b.context->data().main(), b.context->clock(), b.prompter, "超级用户");
        receipts.open(b.quotationReceipts);
        state.counters["receipts"] = receipts.receipts().rowCount();
        state.counters["lines"] = receipts.lines().rowCount();
    }
}

// The statements ReceiptBook::open runs when receipts and lines exist.
void BM_RawReceiptBookOpen(benchmark::State& state) {
    Book& b = book();
    RawStatement exists(b.raw, "select count(*) from Quotation_Head where BillNo=?");
    RawStatement kinds(b.raw,
                       "select d.StatusValue, d.StatusName from Sys_Status_Describe d, Sys_Status_Describe_head h "
                       "where d.paramentName=h.paramentName and h.TableName='Receipt_Head' and h.FieldName='BillType' "
                       "order by d.StatusValue");
    RawStatement count(b.raw, "select count(*) from Receipt_Head where QuotationNo=?");
    RawStatement row(b.raw, "select * from Query_Quotation_Head_list where BillNo=?");
    RawStatement receipts(b.raw, "select * from Receipt_Head where QuotationNo=? order by BillNo");
    RawStatement lines(b.raw, "select * from Receipt_Detail where HeadNo=? order by id");
    const QByteArray no = b.quotationReceipts.toUtf8();
    for (auto _ : state) {
        for (RawStatement* s : {&exists, &count, &row, &receipts, &lines}) {
            s->bind(1, no);
        }
        exists.readAll();
        kinds.readAll();
        count.readAll();
        row.readAll();
        state.counters["receipts"] = receipts.readAll();
        state.counters["lines"] = lines.readAll();
    }
}

// (customer code, goods) of 200 lines spread over the book.
QList<QPair<QString, QString>> quotedPairs(Database& db) {
    QList<QPair<QString, QString>> pairs;
    QSqlQuery q = db.query(
        "select h.ClientNo, d.GoodsNo from Quotation_Detail d join Quotation_Head h on h.BillNo = d.HeadNo "
        "where h.state = 1 and h.ClientNo <> '' and d.id % 9973 = 0 limit 200");
    while (q.next()) {
        pairs.append({q.value(0).toString(), q.value(1).toString()});
    }
    return pairs;
}

// The customer code with the most quotations.
QString busiestCustomer(Database& db) {
    return db
        .scalar(
            "select ClientNo from Quotation_Head where ClientNo <> '' group by ClientNo order by count(*) desc limit 1")
        .toString();
}

void BM_LastQuotedPrice(benchmark::State& state) {
    Book& b = book();
    Database& db = b.context->data().main();
    static const QList<QPair<QString, QString>> pairs = quotedPairs(db);
    PriceHistory history(db);
    int found = 0;
    for (auto _ : state) {
        found = 0;
        for (const auto& [customer, goods] : pairs) {
            found += history.last({customer, QString()}, goods, QString()).has_value() ? 1 : 0;
        }
    }
    state.counters["lookups"] = double(pairs.size());
    state.counters["found"] = found;
    state.counters["ms_per_line"] = benchmark::Counter(
        double(pairs.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The busiest customer and a goods it was never quoted: every one of its
// quotations is looked through.
void BM_LastQuotedPriceNeverQuoted(benchmark::State& state) {
    Book& b = book();
    Database& db = b.context->data().main();
    const QString customer = busiestCustomer(db);
    const QString goods = db.scalar(
                                "select min(code) from goods where code not in (select d.GoodsNo from "
                                "Quotation_Detail d join Quotation_Head h on h.BillNo = d.HeadNo where "
                                "h.ClientNo = :c)",
                                {{"c", customer}})
                              .toString();
    PriceHistory history(db);
    for (auto _ : state) {
        benchmark::DoNotOptimize(history.last({customer, QString()}, goods, QString()));
    }
    state.counters["quotations"] =
        db.scalar("select count(*) from Quotation_Head where ClientNo = :c", {{"c", customer}}).toDouble();
}

// A quotation of the busiest customer from the middle of its history opened
// again: each of its goods' last price before it, past all the customer's
// later quotations.
void BM_LastQuotedPriceBeforeOldQuotation(benchmark::State& state) {
    Book& b = book();
    Database& db = b.context->data().main();
    const QString customer = busiestCustomer(db);
    const int quotations =
        db.scalar("select count(*) from Quotation_Head where ClientNo = :c", {{"c", customer}}).toInt();
    QSqlQuery q = db.query(
        "select BillNo, Keyin_Date from Quotation_Head where ClientNo = :c order by Keyin_Date, BillNo limit 1 "
        "offset :half",
        {{"c", customer}, {"half", quotations / 2}});
    if (!q.next()) {
        state.SkipWithError("no old quotation");
        return;
    }
    const PriceHistory::Position old{q.value(1), q.value(0).toString()};
    QStringList goods;
    QSqlQuery lines = db.query("select GoodsNo from Quotation_Detail where HeadNo = :b", {{"b", old.billNo}});
    while (lines.next()) {
        goods << lines.value(0).toString();
    }
    PriceHistory history(db);
    int found = 0;
    for (auto _ : state) {
        found = 0;
        for (const QString& g : goods) {
            found += history.last({customer, QString()}, g, old.billNo, old).has_value() ? 1 : 0;
        }
    }
    state.counters["lines"] = double(goods.size());
    state.counters["found"] = found;
    state.counters["later_quotations"] = quotations - quotations / 2 - 1;
    state.counters["ms_per_line"] = benchmark::Counter(
        double(goods.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The editor's column for a 200-line quotation of the busiest customer.
void BM_EditorLastPrices200Lines(benchmark::State& state) {
    Book& b = book();
    Database& db = b.context->data().main();
    const QString customer = busiestCustomer(db);
    QuotationDocument doc(db, b.context->clock(), b.prompter, b.context->CurrentUser.UserName);
    doc.load(QuotationDocument::Existing, b.bigQuotation);
    doc.head().setValue("ClientNo", customer);
    for (auto _ : state) {
        doc.reloadLastPrices();
    }
    state.counters["lines"] = doc.lines().rowCount();
    state.counters["with_a_price"] = double(doc.lastPrices()->entries().size());
    doc.discardChanges();
}

BENCHMARK(BM_QuotationListOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuotationListWindowOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawQuotationList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuotationLoad200Lines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawQuotationLoad200Lines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuotationSave1000Lines)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RawInsertQuotation1000Lines)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ReceiptBookOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawReceiptBookOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LastQuotedPrice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LastQuotedPriceNeverQuoted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LastQuotedPriceBeforeOldQuotation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorLastPrices200Lines)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Clock::pinLocalTimeZone();  // as the program does at start-up
    QApplication app(argc, argv);
    book();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    book().removeSaved();
    return 0;
}
