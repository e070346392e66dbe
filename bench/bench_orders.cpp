// Order forms over the demo book of a window-and-door maker's ten years:
// 50,000 orders with about 500,000 goods rows and the work, ware-out and
// shipment forms made from most of them, built once per run in a temporary
// folder (OLVEND_BENCH_ORDERS=N builds a smaller book for a quick run;
// OLVEND_BENCH_HOME=DIR keeps it in DIR and uses it again on later runs, and
// a kept book without orders receives them). Targets: the order list and
// its window open in under 1 s; a 200-row order loads in under 200 ms; a
// new 200-row order saves in under 100 ms; each of the three generations
// for a 200-row order takes under 100 ms. Each is timed beside the raw
// SQLite statements it rests on (a connection of SQLite's C API to the same
// file, stepping every row and reading every column).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <memory>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/first_start.h"
#include "demo/demo_orders.h"
#include "documents/order_form_document.h"
#include "documents/order_form_generator.h"
#include "documents/order_form_list.h"
#include "documents/order_form_list_window.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "raw_statement.h"
#include "ui/data_grid.h"

namespace {

constexpr int kBigOrderRows = 200;

// The counters a run draws from; put back at the end, so that a kept book
// issues the same numbers as the demo left it.
const char* const kCounters[] = {"dusmere_order_form_head", "dusmere_order_form_detail", "dusmere_work_form_head"};

// Fills an order's goods rows as the goods-row window does: a new row with
// its code, the goods name (its defaults), series, lock and quantity.
void addRows(OrderFormDocument& doc, int count) {
    for (int i = 0; i < count; ++i) {
        doc.addRow();
        Dataset& rows = doc.rows();
        rows.setValue("Goods_name", 1 + i % 6);
        rows.setValue("Goods_Type", 1 + i % 4);
        rows.setValue("Colour", 1 + i % 5);
        if (i % 3 == 0) {
            rows.setValue("Lock_Size", 1 + i % 4);
            rows.setValue("Lock_Fittings", QStringLiteral("加长"));
        }
        rows.setValue("QTY", 1 + i % 7);
        rows.post();
    }
}

struct Book {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<AppContext> context;
    sqlite3* raw = nullptr;
    QString bigOrder;  // 200 rows, saved by the order document
    QStringList saved;
    QHash<QString, QVariant> counters;

    Book() {
        const int orders = qEnvironmentVariableIsSet("OLVEND_BENCH_ORDERS")
                               ? qEnvironmentVariableIntValue("OLVEND_BENCH_ORDERS")
                               : 50000;
        const QString home = qEnvironmentVariable("OLVEND_BENCH_HOME");
        const bool reuse = !home.isEmpty() && QFileInfo::exists(home + "/config.ini");
        context = std::make_unique<AppContext>(AppPaths(home.isEmpty() ? dir.path() : home), prompter);
        if (!reuse) {
            FirstStart::run(*context);
        }
        context->data().ConnectDatabases();
        context->CurrentUser = {"超级用户", "", "管理员组"};
        Database& db = context->data().main();
        if (db.scalar("select count(*) from Dusmere_Order_Form_head").toInt() == 0) {
            QElapsedTimer timer;
            timer.start();
            const DemoOrders::Made made = DemoOrders::fill(*context, orders);
            std::fprintf(stderr,
                         "demo book: %d orders, %lld goods rows, %d work forms, %d ware-out forms, %d shipment "
                         "forms in %.1f s\n",
                         made.orders, made.rows, made.workForms, made.wareOutForms, made.shipmentForms,
                         timer.elapsed() / 1000.0);
        }
        for (const char* table : kCounters) {
            counters.insert(QString::fromLatin1(table),
                            db.scalar("select CurrID from Sys_ID_Autoincrement where tablename=:t",
                                      {{"t", QString::fromLatin1(table)}}));
        }
        OrderFormDocument doc(db, context->clock(), prompter, context->CurrentUser.UserName);
        doc.load(OrderFormDocument::New);
        doc.head().setValue("Gain_Customer_Name", QStringLiteral("测试酒楼"));
        addRows(doc, kBigOrderRows);
        if (!doc.save()) {
            qFatal("not saved: %s", qPrintable(prompter.lastText()));
        }
        bigOrder = doc.code();
        if (sqlite3_open_v2(db.location().toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            qFatal("raw connection: %s", sqlite3_errmsg(raw));
        }
        // As the program's connections are set.
        sqlite3_exec(raw, "PRAGMA synchronous=FULL; PRAGMA busy_timeout=10000", nullptr, nullptr, nullptr);
    }
    ~Book() { sqlite3_close(raw); }

    // A kept book stays as the demo made it: the orders the run saved go
    // again, with the forms made from them, and the counters go back.
    void removeSaved() {
        Database& db = context->data().main();
        OrderFormList(db, prompter).removeNow(saved + QStringList{bigOrder});
        for (auto it = counters.cbegin(); it != counters.cend(); ++it) {
            db.execute("update Sys_ID_Autoincrement set CurrID=:c where tablename=:t",
                       {{"c", it.value()}, {"t", it.key()}});
        }
    }
};

Book& book() {
    static Book b;
    return b;
}

void BM_OrderListOpen(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        auto list = std::make_unique<OrderFormList>(b.context->data().main(), b.prompter);
        list->open();
        state.counters["rows"] = list->rows().rowCount();
        state.PauseTiming();
        list.reset();  // freeing the rows is no part of opening
        state.ResumeTiming();
    }
}

// The list window as the user opens it: rows read, grid sorted newest
// first, shown and painted once (offscreen).
void BM_OrderListWindowOpen(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        auto w = std::make_unique<OrderFormListWindow>(*b.context);
        w->show();
        benchmark::DoNotOptimize(w->grab());
        state.counters["rows"] = w->grid()->model()->rowCount();
        state.PauseTiming();
        w.reset();
        state.ResumeTiming();
    }
}

void BM_RawOrderList(benchmark::State& state) {
    RawStatement q(book().raw, OrderFormList::listStatement().toUtf8().constData());
    for (auto _ : state) {
        state.counters["rows"] = q.readAll();
    }
}

void BM_OrderLoad200Rows(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        OrderFormDocument doc(b.context->data().main(), b.context->clock(), b.prompter, "超级用户");
        doc.load(OrderFormDocument::Existing, b.bigOrder);
        state.counters["rows"] = doc.rows().rowCount();
    }
}

void BM_RawOrderLoad200Rows(benchmark::State& state) {
    Book& b = book();
    RawStatement head(b.raw, "select * from Dusmere_Order_Form_head where Order_Form_Code=?");
    RawStatement rows(b.raw, "select * from Dusmere_Order_Form_Detail where Head_Code=? order by ID");
    const QByteArray code = b.bigOrder.toUtf8();
    for (auto _ : state) {
        head.bind(1, code);
        head.readAll();
        rows.bind(1, code);
        state.counters["rows"] = rows.readAll();
    }
}

// Saving alone is timed; starting the order and adding its rows (a goods
// code drawn for each) are reported as add_ms.
void BM_OrderSave200Rows(benchmark::State& state) {
    Book& b = book();
    double addMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QElapsedTimer timer;
        timer.start();
        auto doc = std::make_unique<OrderFormDocument>(b.context->data().main(), b.context->clock(), b.prompter,
                                                       QStringLiteral("超级用户"));
        doc->load(OrderFormDocument::New);
        addRows(*doc, kBigOrderRows);
        addMs += timer.nsecsElapsed() / 1e6;
        state.ResumeTiming();
        if (!doc->save()) {
            state.SkipWithError("not saved");
        }
        state.PauseTiming();
        b.saved.append(doc->code());
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["add_ms"] = addMs / double(state.iterations());
}

void BM_RawInsertOrder200Rows(benchmark::State& state) {
    Book& b = book();
    RawStatement head(b.raw,
                      "insert into Dusmere_Order_Form_head (Order_Form_Code, corp_code, Order_Date, Send_Date, "
                      "Keyin_Date, User_name, IsDelete, isPigeonhole, isPay) values (?, '', '2024-01-01 00:00:00', "
                      "'2024-01-08 00:00:00', '2024-01-01 00:00:00', 'raw', 0, 0, 0)");
    RawStatement row(b.raw,
                     "insert into Dusmere_Order_Form_Detail (Head_Code, Goods_Code, Goods_Type, Goods_name, Colour, "
                     "QTY, Goods_Unit, Model_Size, Lock_Size, Goods_Status, Price, Total_Price) "
                     "values (?, ?, ?, ?, ?, ?, 3, '1200*1500', ?, 0, 480, ?)");
    int n = 0;
    for (auto _ : state) {
        const QByteArray code = QStringLiteral("RAW%1").arg(++n, 8, 10, QChar('0')).toUtf8();
        sqlite3_exec(b.raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        head.bind(1, code);
        head.readAll();
        for (int i = 0; i < kBigOrderRows; ++i) {
            row.bind(1, code);
            row.bind(2, QByteArray::number(i + 1));
            row.bind(3, double(1 + i % 4));
            row.bind(4, double(1 + i % 6));
            row.bind(5, double(1 + i % 5));
            row.bind(6, double(1 + i % 7));
            row.bind(7, double(1 + i % 4));
            row.bind(8, 480.0 * (1 + i % 7));
            row.readAll();
        }
        sqlite3_exec(b.raw, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3_exec(b.raw,
                 "delete from Dusmere_Order_Form_Detail where Head_Code like 'RAW%'; "
                 "delete from Dusmere_Order_Form_head where Order_Form_Code like 'RAW%'",
                 nullptr, nullptr, nullptr);
}

// Each generation replaces the forms made the time before: the question is
// answered Yes.
void generate(benchmark::State& state, bool (OrderFormGenerator::*command)(const QStringList&)) {
    Book& b = book();
    OrderFormGenerator generator(b.context->data().main(), b.context->clock(), b.prompter, "超级用户");
    for (auto _ : state) {
        state.PauseTiming();
        if (b.prompter.pendingAnswers() == 0) {
            b.prompter.setNextAnswer(true);
        }
        b.prompter.clear();
        state.ResumeTiming();
        if (!(generator.*command)({b.bigOrder})) {
            state.SkipWithError("not generated");
        }
    }
}

void BM_GenerateWorkForms200Rows(benchmark::State& state) {
    generate(state, &OrderFormGenerator::createWorkForms);
}

void BM_GenerateWareOutForm200Rows(benchmark::State& state) {
    generate(state, &OrderFormGenerator::createWareOutForm);
}

void BM_GenerateShipmentForm200Rows(benchmark::State& state) {
    generate(state, &OrderFormGenerator::createShipmentForm);
}

// The raw forms are written for an order code of their own and removed at
// the end; they read the big order's rows.
constexpr const char* kRawForms = "RAWFORMS";

void dropRawForms(sqlite3* raw) {
    sqlite3_exec(raw,
                 "delete from Dusmere_Work_Form_Detail where Order_Form_Code = 'RAWFORMS'; "
                 "delete from Dusmere_Work_Form_Head where Order_Form_Code = 'RAWFORMS'; "
                 "delete from Dusmere_Ware_Out_Form_Detail where head_code = 'RAWFORMS'; "
                 "delete from Dusmere_Ware_Out_Form_Head where Ware_Out_Form_Code = 'RAWFORMS'; "
                 "delete from Dusmere_Shipment_Form_Detail where head_code = 'RAWFORMS'; "
                 "delete from Dusmere_Shipment_Form_Head where Shipment_Form_Code = 'RAWFORMS'",
                 nullptr, nullptr, nullptr);
}

// The checks before the transaction, the head read inside it, and the
// goods rows the forms are made from: (ID, goods code, series) in row
// order.
struct RawChecks {
    RawStatement exists;
    RawStatement goods;
    RawStatement forms;
    RawStatement head;
    RawStatement rows;
    struct Row {
        qint64 id;
        QByteArray goodsCode;
        qint64 series;  // -1: none
    };
    RawChecks(sqlite3* raw, const char* formsSql)
        : exists(raw, "select count(*) from Dusmere_Order_Form_head where Order_Form_Code=?"),
          goods(raw, "select count(*) from Dusmere_Order_Form_Detail where Head_Code=?"),
          forms(raw, formsSql),
          head(raw, "select Order_Form_Code from Dusmere_Order_Form_head where Order_Form_Code=?"),
          rows(raw, "select ID, Goods_Code, Goods_Type from Dusmere_Order_Form_Detail where Head_Code=? order by ID") {}
    // Leaves a write transaction open.
    QList<Row> run(sqlite3* raw, const QByteArray& order) {
        for (RawStatement* s : {&exists, &goods, &head, &rows}) {
            s->bind(1, order);
        }
        forms.bind(1, QByteArray(kRawForms));
        exists.readAll();
        goods.readAll();
        forms.readAll();
        sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        head.readAll();
        QList<Row> out;
        rows.forEach([&out](sqlite3_stmt* s) {
            out.append({sqlite3_column_int64(s, 0),
                        QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(s, 1))),
                        sqlite3_column_type(s, 2) == SQLITE_NULL ? -1 : sqlite3_column_int64(s, 2)});
        });
        return out;
    }
};

void BM_RawWorkForms200Rows(benchmark::State& state) {
    Book& b = book();
    RawChecks checks(b.raw, "select count(*) from Dusmere_Work_Form_Head where Order_Form_Code=?");
    RawStatement counterRead(b.raw,
                             "select CurrID from Sys_ID_Autoincrement where tablename='dusmere_work_form_head' and "
                             "fieldname='work_form_code'");
    RawStatement counterWrite(b.raw,
                              "update Sys_ID_Autoincrement set CurrID=CurrID where tablename='dusmere_work_form_head' "
                              "and fieldname='work_form_code'");
    RawStatement insertHead(b.raw,
                            "insert into Dusmere_Work_Form_Head (Work_Form_Code, Order_Form_Code, KeyIn_Date, "
                            "KeyIn_Person) values (?, 'RAWFORMS', '2024-01-01 09:00:00', 'raw')");
    RawStatement insertRow(b.raw,
                           "insert into Dusmere_Work_Form_Detail (head_Code, Order_Form_Code, goods_code) "
                           "values (?, 'RAWFORMS', ?)");
    const QByteArray order = b.bigOrder.toUtf8();
    int n = 0;
    for (auto _ : state) {
        const QList<RawChecks::Row> rows = checks.run(b.raw, order);
        sqlite3_exec(b.raw,
                     "delete from Dusmere_Work_Form_Detail where head_Code in (select Work_Form_Code from "
                     "Dusmere_Work_Form_Head where Order_Form_Code='RAWFORMS'); "
                     "delete from Dusmere_Work_Form_Head where Order_Form_Code='RAWFORMS'",
                     nullptr, nullptr, nullptr);
        // A form per series: its number drawn, its head and its rows.
        std::map<qint64, QList<QByteArray>> bySeries;
        for (const RawChecks::Row& row : rows) {
            bySeries[row.series].append(row.goodsCode);
        }
        for (const auto& [series, codes] : bySeries) {
            const QByteArray workCode = QStringLiteral("RAW%1").arg(++n, 7, 10, QChar('0')).toUtf8();
            counterRead.readAll();
            counterWrite.readAll();
            insertHead.bind(1, workCode);
            insertHead.readAll();
            for (const QByteArray& goods : codes) {
                insertRow.bind(1, workCode);
                insertRow.bind(2, goods);
                insertRow.readAll();
            }
        }
        sqlite3_exec(b.raw, "COMMIT", nullptr, nullptr, nullptr);
    }
    dropRawForms(b.raw);
}

void BM_RawWareOutForm200Rows(benchmark::State& state) {
    Book& b = book();
    RawChecks checks(b.raw, "select count(*) from Dusmere_Ware_Out_Form_Head where Ware_Out_Form_Code=?");
    RawStatement goodsSums(b.raw, OrderFormGenerator::goodsSumsStatement().toUtf8().constData());
    RawStatement goodsCodes(b.raw,
                            "select Goods_Type, Goods_Code from Dusmere_Order_Form_Detail where Head_Code=:code and "
                            "Goods_Type is not null order by ID");
    RawStatement lockSums(b.raw, OrderFormGenerator::lockSumsStatement().toUtf8().constData());
    RawStatement fittings(b.raw,
                          "select Lock_Size, Lock_Fittings from Dusmere_Order_Form_Detail where Head_Code=:code and "
                          "Lock_Size is not null order by ID");
    RawStatement insertHead(b.raw,
                            "insert into Dusmere_Ware_Out_Form_Head (Ware_Out_Form_Code, KeyIn_Date, KeyIn_Person) "
                            "values ('RAWFORMS', '2024-01-01 09:00:00', 'raw')");
    RawStatement insertRow(b.raw,
                           "insert into Dusmere_Ware_Out_Form_Detail (head_code, DetailNames, Fittings) "
                           "values ('RAWFORMS', 'text', 'text')");
    const QByteArray order = b.bigOrder.toUtf8();
    for (auto _ : state) {
        checks.run(b.raw, order);
        sqlite3_exec(b.raw,
                     "delete from Dusmere_Ware_Out_Form_Detail where head_code='RAWFORMS'; "
                     "delete from Dusmere_Ware_Out_Form_Head where Ware_Out_Form_Code='RAWFORMS'",
                     nullptr, nullptr, nullptr);
        goodsSums.bind(":code", order);
        goodsSums.bind(":seriesField", "goods_type");
        goodsSums.bind(":unitField", "goods_unit");
        state.counters["entries"] = goodsSums.readAll();
        goodsCodes.bind(":code", order);
        goodsCodes.readAll();
        lockSums.bind(":code", order);
        lockSums.bind(":lockField", "lock_size");
        lockSums.readAll();
        fittings.bind(":code", order);
        fittings.readAll();
        insertHead.readAll();
        insertRow.readAll();
        sqlite3_exec(b.raw, "COMMIT", nullptr, nullptr, nullptr);
    }
    dropRawForms(b.raw);
}

void BM_RawShipmentForm200Rows(benchmark::State& state) {
    Book& b = book();
    RawChecks checks(b.raw, "select count(*) from Dusmere_Shipment_Form_Head where Shipment_Form_Code=?");
    RawStatement mobile(b.raw,
                        "select c.Boss_mobile from Dusmere_Order_Form_head h join customer_provider c on c.corp_code "
                        "= h.corp_code where h.Order_Form_Code=? order by c.id");
    RawStatement insertHead(b.raw,
                            "insert into Dusmere_Shipment_Form_Head (Shipment_Form_Code, KeyIn_Date, KeyIn_Person, "
                            "RecivePerson_Telephone) values ('RAWFORMS', '2024-01-01 09:00:00', 'raw', '')");
    RawStatement insertRow(b.raw,
                           "insert into Dusmere_Shipment_Form_Detail (goods_id, head_code, goods_code) "
                           "values (?, 'RAWFORMS', ?)");
    const QByteArray order = b.bigOrder.toUtf8();
    for (auto _ : state) {
        const QList<RawChecks::Row> rows = checks.run(b.raw, order);
        sqlite3_exec(b.raw,
                     "delete from Dusmere_Shipment_Form_Detail where head_code='RAWFORMS'; "
                     "delete from Dusmere_Shipment_Form_Head where Shipment_Form_Code='RAWFORMS'",
                     nullptr, nullptr, nullptr);
        mobile.bind(1, order);
        mobile.readAll();
        insertHead.readAll();
        for (const RawChecks::Row& row : rows) {
            insertRow.bind(1, QByteArray::number(row.id));
            insertRow.bind(2, row.goodsCode);
            insertRow.readAll();
        }
        sqlite3_exec(b.raw, "COMMIT", nullptr, nullptr, nullptr);
    }
    dropRawForms(b.raw);
}

BENCHMARK(BM_OrderListOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrderListWindowOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawOrderList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrderLoad200Rows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawOrderLoad200Rows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrderSave200Rows)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RawInsertOrder200Rows)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_GenerateWorkForms200Rows)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RawWorkForms200Rows)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_GenerateWareOutForm200Rows)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RawWareOutForm200Rows)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_GenerateShipmentForm200Rows)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RawShipmentForm200Rows)->Unit(benchmark::kMillisecond)->Iterations(20);

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
