// Speed of the data services, each beside the raw statement it is built on.
// Targets: a permission check under 20 us and within 3x of one raw prepared
// count query; 1,000 rows applied within 2x of the same inserts done raw in
// one transaction.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <memory>

#include "data/database.h"
#include "data/dataset.h"
#include "data/numbering.h"
#include "data/permission_checker.h"
#include "data/records.h"
#include "data/schema_installer.h"
#include "platform/clock.h"

namespace {

// One book for the whole run, with an ordinary user whose group holds one
// controlled right.
struct Book {
    QTemporaryDir dir;
    std::unique_ptr<Database> db;
    Book() {
        const QString path = dir.filePath("bench.db");
        SchemaInstaller::createBookFile(path, "bench");
        db = Database::openSqlite(path, "bench");
        db->query("insert into Sys_user (User_name, User_Group, type) values ('sales', '0', 0)");
        db->query("insert into Sys_user (User_name, User_Group, type) values ('小王', 'sales', 1)");
        db->query(
            "insert into Sys_user_Operation (User_name, Action_id) select 'sales', id from "
            "Sys_Operation_Table where Action_Name='action_save' and Form_Name='form_quotation_edit'");
    }
};

Book& book() {
    static Book b;
    return b;
}

void BM_GetAutoIncrementID(benchmark::State& state) {
    Database& db = *book().db;
    Clock clock;
    Numbering numbering(db, clock);
    db.query("update Sys_ID_Autoincrement set CurrID='SP00000000' where tablename='goods'");
    for (auto _ : state) {
        benchmark::DoNotOptimize(numbering.GetAutoIncrementID("goods", "code", false));
        if (state.iterations() % 90000000 == 0) {
            db.query("update Sys_ID_Autoincrement set CurrID='SP00000000' where tablename='goods'");
        }
    }
}
BENCHMARK(BM_GetAutoIncrementID);

void BM_RawCounterReadAndUpdate(benchmark::State& state) {
    Database& db = *book().db;
    QSqlQuery begin(db.qdb()), select(db.qdb()), update(db.qdb()), commit(db.qdb());
    select.prepare("select CurrID from Sys_ID_Autoincrement where tablename=:t and fieldname=:f");
    update.prepare("update Sys_ID_Autoincrement set CurrID=:c where tablename=:t and fieldname=:f");
    qlonglong n = 0;
    for (auto _ : state) {
        begin.exec("BEGIN IMMEDIATE");
        select.bindValue(":t", "unit");
        select.bindValue(":f", "unit_code");
        select.exec();
        select.next();
        benchmark::DoNotOptimize(select.value(0));
        select.finish();
        update.bindValue(":c", QString("UN%1").arg(++n % 1000, 3, 10, QChar('0')));
        update.bindValue(":t", "unit");
        update.bindValue(":f", "unit_code");
        update.exec();
        commit.exec("COMMIT");
    }
}
BENCHMARK(BM_RawCounterReadAndUpdate);

void BM_CheckActionPermission(benchmark::State& state) {
    UserRecord user{"小王", "", "sales"};
    PermissionChecker checker(*book().db, user);
    for (auto _ : state) {
        benchmark::DoNotOptimize(checker.CheckActionPermission("Action_Save", "Form_Quotation_Edit"));
    }
}
BENCHMARK(BM_CheckActionPermission);

void BM_RawPreparedCountQuery(benchmark::State& state) {
    QSqlQuery q(book().db->qdb());
    q.setForwardOnly(true);
    q.prepare(
        "select count(*) as rc from Sys_Operation_Table a where LOWER(a.Action_Name)=:Action_Name and "
        "LOWER(a.Form_Name)=:Form_Name and isControl=0");
    for (auto _ : state) {
        q.bindValue(":Action_Name", QString("Action_Save").toLower());
        q.bindValue(":Form_Name", QString("Form_Quotation_Edit").toLower());
        q.exec();
        q.next();
        benchmark::DoNotOptimize(q.value(0));
        q.finish();
    }
}
BENCHMARK(BM_RawPreparedCountQuery);

constexpr int kRows = 1000;

void BM_DatasetApplyUpdates1000(benchmark::State& state) {
    Database& db = *book().db;
    for (auto _ : state) {
        state.PauseTiming();
        db.query("delete from Quotation_Detail");
        Dataset ds(db);
        ds.setUpdateTable("Quotation_Detail");
        ds.open("select * from Quotation_Detail where 1=2");
        for (int i = 0; i < kRows; ++i) {
            ds.append();
            ds.setValue("HeadNo", "BJ0612250001");
            ds.setValue("GoodsNo", QString("SP%1").arg(i, 8, 10, QChar('0')));
            ds.setValue("QTY", 2);
            ds.setValue("Price", 12.5);
            ds.setValue("Total_Price", 25);
            ds.setValue("SortNo", i);
        }
        ds.post();
        state.ResumeTiming();
        ds.applyUpdates();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_DatasetApplyUpdates1000)->Unit(benchmark::kMillisecond);

void BM_RawInsert1000InOneTransaction(benchmark::State& state) {
    Database& db = *book().db;
    for (auto _ : state) {
        state.PauseTiming();
        db.query("delete from Quotation_Detail");
        state.ResumeTiming();
        QSqlQuery begin(db.qdb()), insert(db.qdb()), commit(db.qdb());
        insert.prepare(
            "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, SortNo) "
            "values (:h, :g, :q, :p, :t, :s)");
        begin.exec("BEGIN IMMEDIATE");
        for (int i = 0; i < kRows; ++i) {
            insert.bindValue(":h", "BJ0612250001");
            insert.bindValue(":g", QString("SP%1").arg(i, 8, 10, QChar('0')));
            insert.bindValue(":q", 2.0);
            insert.bindValue(":p", 12.5);
            insert.bindValue(":t", 25.0);
            insert.bindValue(":s", i);
            insert.exec();
            benchmark::DoNotOptimize(insert.lastInsertId());
        }
        commit.exec("COMMIT");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_RawInsert1000InOneTransaction)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
