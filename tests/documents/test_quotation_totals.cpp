#include <QRandomGenerator>
#include <QTest>

#include "data/dataset.h"
#include "data/schema_installer.h"
#include "document_fixture.h"
#include "documents/quotation_document.h"
#include "documents/quotation_list.h"
#include "platform/errors.h"

using namespace DocumentFixture;

namespace {
// Drops the triggers that keep the totals on `tables`.
void dropTotalTriggers(Database& db, const QStringList& tables) {
    for (const QString& t : tables) {
        if (!db.isAccess()) {
            db.query(QString("drop trigger tr_%1_sum on %2").arg(t.toLower(), t));
            continue;
        }
        for (const char* event : {"ins", "del", "upd"}) {
            db.query(QString("drop trigger tr_%1_%2").arg(t.toLower(), event));
        }
    }
}

// Opens the book as one of `version`, as the program does; its version then.
int upgradedFrom(Database& db, int version) {
    db.query("update schema_version set version=:v", {{"v", version}});
    db.forgetColumns();
    SchemaInstaller::ensureBook(db, false);
    return SchemaInstaller::storedVersion(db);
}

// Rows of quotation `no`: head, lines, receipts, receipt lines, totals.
QString rowsOf(Database& db, const QString& no) {
    return read(db,
                "select (select count(*) from Quotation_Head where BillNo=:h), (select count(*) from "
                "Quotation_Detail where HeadNo=:h), (select count(*) from Receipt_Head where QuotationNo=:h), "
                "(select count(*) from Receipt_Detail where HeadNo=:h), (select count(*) from Quotation_Sum where "
                "BillNo=:h)",
                {{"h", no}});
}

// The list's row of the quotation that is `k`-th oldest: a server lists the newest first.
int oldestFirst(const QuotationList& list, int k) {
    return list.newestRow() == 0 ? list.rows().rowCount() - 1 - k : k;
}
}  // namespace

// A quotation's kept totals and the list's amounts (never drifting from its
// lines and receipts, also in older books), its state and its receipts'
// following it, its deletion in one transaction, on both engines.
class TestQuotationTotals : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    // Out of force, a quotation takes its receipts along (the list still
    // ending with the newest after an older one was edited); deleted, it
    // takes everything of it along in one transaction.
    void stateAndDeletionTakeEverythingOfTheQuotation() {
        Book b;
        const QString keep = storedQuotation(b, 2);
        const QString gone = storedQuotation(b, 3);
        Database& db = b.db();
        const QStringList receiptsOf{keep, keep, gone};
        for (int i = 0; i < receiptsOf.size(); ++i) {
            db.query(
                "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, state) values (:q, :b, 10, 1, 1)",
                {{"q", receiptsOf[i]}, {"b", QString("R%1").arg(i)}});
            db.query("insert into Receipt_Detail (HeadNo, GoodsClassName, QTY) values (:q, 'x', 1)",
                     {{"q", receiptsOf[i]}});
        }
        Quotation doc(b, QuotationDocument::Existing, keep);
        doc.head().setValue("Remark", "改过");
        QVERIFY(doc.save());
        QuotationList list(db, b.prompter);
        const QString states =
            "select (select count(*) from Receipt_Head where state=0), (select count(*) from Quotation_Head where "
            "state=0)";
        QVERIFY(!list.setInForce({}, false) && list.setInForce(keep, false));
        QCOMPARE(read(db, states), QString("2|1"));
        list.open();
        QCOMPARE(values(list.rows(), {"BillNo", "state_desc"}, oldestFirst(list, 0)) + "|" +
                     values(list.rows(), {"BillNo"}, oldestFirst(list, 1)),
                 keep + "|失效|" + gone);
        QVERIFY(list.setInForce(keep, true));
        QCOMPARE(read(db, states), QString("0|0"));

        b.prompter.clear();
        QVERIFY(!list.remove({}));
        b.prompter.setNextAnswers({false, true, true});
        QVERIFY(!list.remove({gone}));
        QCOMPARE(b.prompter.texts(), QStringList({"请选择记录", "确定要删除吗？"}));
        QCOMPARE(rowsOf(db, gone), QString("1|3|1|1|1"));
        // A failure at the last statement leaves every row where it was.
        failWhen(db, "Quotation_Head", "DELETE", "OLD.BillNo = '" + gone + "'");
        QVERIFY_THROWS_EXCEPTION(DbError, list.remove({gone}));
        QCOMPARE(rowsOf(db, gone), QString("1|3|1|1|1"));
        stopFailing(db, "Quotation_Head");
        QVERIFY(list.remove({gone}));
        QCOMPARE(rowsOf(db, gone) + " " + rowsOf(db, keep), QString("0|0|0|0|0 1|2|2|2|1"));
        list.refresh();
        QCOMPARE(list.rows().rowCount(), 1);
    }

    void totalsNeverDriftFromLinesAndReceipts() {
        Book b;
        Database& db = b.db();
        QStringList numbers;
        for (int i = 0; i < 4; ++i) {
            numbers.append(storedQuotation(b, 3 + i));
        }
        // Every kind of write the program and other tools make, in any order
        // (the parts of one write apart by "; ").
        const QStringList writes{
            "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money, "
            "SortNo) values (:h, 'G1', :q, :a, :a2, :a3, :g, 9)",
            "update Quotation_Detail set Total_Price=:a, QTY=:n where id in (select min(id) from Quotation_Detail "
            "where HeadNo=:h)",
            "delete from Quotation_Detail where id in (select max(id) from Quotation_Detail where HeadNo=:h)",
            "update Quotation_Detail set HeadNo=:to where id in (select min(id) from Quotation_Detail where HeadNo=:h)",
            "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType) values (:hOrNull, :r, :whole, 1)",
            "update Receipt_Head set TotalPrice=:wholeOrNull where id in (select min(id) from Receipt_Head where "
            "QuotationNo=:h)",
            "update Receipt_Head set QuotationNo=:to where id in (select max(id) from Receipt_Head where "
            "QuotationNo=:h)",
            "delete from Receipt_Head where id in (select min(id) from Receipt_Head where QuotationNo=:h)",
            "update Quotation_Head set Freight=:f, preferential=:d where BillNo=:h",
            // A head goes and comes back, its lines and receipts left.
            "delete from Quotation_Head where BillNo=:h; insert into Quotation_Head (BillNo, Freight) select :h, 3.5 "
            "where not exists (select 1 from Quotation_Head where BillNo=:h)",
            // Renumbered and back again, alone or with its freight.
            "update Quotation_Head set BillNo='TMP' where BillNo=:h; update Quotation_Head set BillNo=:h where "
            "BillNo='TMP'",
            "update Quotation_Head set BillNo='TMP' where BillNo=:h; update Quotation_Head set BillNo=:h, "
            "Freight=Freight+1 where BillNo='TMP'"};
        QRandomGenerator rng(42);
        for (int step = 0; step < 200; ++step) {
            const QString no = numbers[rng.bounded(numbers.size())];
            const double amount = rng.bounded(100000) / 100.0;
            auto maybe = [&rng](const QVariant& v) { return rng.bounded(3) ? v : QVariant(); };
            const QVariantMap params{{"h", no},
                                     {"to", numbers[rng.bounded(numbers.size())]},
                                     {"q", rng.bounded(50) / 4.0},
                                     {"n", rng.bounded(9)},
                                     {"a", amount},
                                     {"a2", amount * 2},
                                     {"a3", qRound64(amount * 100 / 3.0) / 100.0},
                                     {"g", maybe(qRound64(amount * 100 / 7.0) / 100.0)},
                                     {"hOrNull", maybe(no)},
                                     {"r", QString("R%1").arg(step)},
                                     {"whole", qRound(amount)},
                                     {"wholeOrNull", maybe(qRound(amount))},
                                     {"f", maybe(amount)},
                                     {"d", maybe(qRound64(amount * 10) / 100.0)}};
            for (const QString& part : writes[rng.bounded(writes.size())].split("; ")) {
                db.query(part, params);
                QCOMPARE(drifted(db), QStringList());
            }
            // A transaction that rolls back takes its totals with it.
            if (step % 25 == 0) {
                WriteTransaction tx(db);
                db.query("delete from Quotation_Detail where HeadNo=:h", {{"h", no}});
            }
        }
        QCOMPARE(drifted(db), QStringList());
        // The list shows what the lines, receipts, freight and discount add to.
        QuotationList list(db, b.prompter);
        list.open();
        for (int r = 0; r < list.rows().rowCount(); ++r) {
            const QStringList sums =
                read(db,
                     "select (select ROUND(COALESCE(SUM(Total_Price), 0), 2) from Quotation_Detail where HeadNo=:h), "
                     "(select COALESCE(SUM(TotalPrice), 0) from Receipt_Head where QuotationNo=:h), "
                     "COALESCE(Freight, 0), COALESCE(preferential, 0), (select ROUND(COALESCE(SUM(Gain_Money), 0), "
                     "2) from Quotation_Detail where HeadNo=:h) from Quotation_Head where BillNo=:h",
                     {{"h", list.rows().value(r, "BillNo")}})
                    .split('|');
            auto cents = [](double v) { return text(qRound64(v * 100) / 100.0); };
            const double goods = sums[0].toDouble(), paid = sums[1].toDouble(), discount = sums[3].toDouble();
            const double receivable = goods + sums[2].toDouble() - discount;
            QCOMPARE(
                values(list.rows(),
                       {"sum_Goods_Price", "sum_payed_money", "Total_Price", "total_Gain_Money", "Leave_money",
                        "isPayAll"},
                       r),
                QStringList({text(goods), text(paid), cents(receivable), cents(sums[4].toDouble() - discount),
                             cents(receivable - paid), qRound64((receivable - paid) * 100) <= 0 ? "已付清" : "未付清"})
                    .join('|'));
        }
    }

    // The list's amounts are exact to the cent whatever residue doubles leave
    // (8030.22 + 180 - 0.22 - 8210), and decimals after whole ones (1 + 4).
    void listAmountsToTheCent() {
        Book b;
        storedQuotation(b, 2);
        // The lines' amounts, freight, discount and paid.
        for (const auto& [amounts, freight, discount, paid] :
             QList<std::tuple<QVariantList, double, double, int>>{{{8030.22}, 180, 0.22, 8210},
                                                                  {{8030.22}, 180, 0.21, 8210},
                                                                  {{0.1, 0.2, 10.7}, 0, 0, 11},
                                                                  {{99.99}, 0, 0, 100}}) {
            Quotation doc(b);
            doc.head().setValue("Freight", freight);
            doc.head().setValue("preferential", discount);
            for (const QVariant& amount : amounts) {
                const QString code = QString("M%1").arg(count(b.db(), "select count(*) from goods"));
                addGoods(b.db(), code, "货");
                doc.addGoods({code});
                doc.lines().setCurrentRow(doc.lines().rowCount() - 1);
                doc.lines().setValue("Total_Price", amount);
                doc.lines().post();
            }
            QVERIFY(doc.save());
            b.db().query("insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType) values (:q, :q, :t, 1)",
                         {{"q", doc.billNo()}, {"t", paid}});
        }
        QuotationList list(b.db(), b.prompter);
        list.open();
        QStringList rows;
        for (int r = 0; r < list.rows().rowCount(); ++r) {
            rows << values(list.rows(), {"sum_Goods_Price", "Total_Price", "Leave_money", "isPayAll"},
                           oldestFirst(list, r));
        }
        QCOMPARE(rows.join("; "), QString("5|5|5|未付清; 8030.22|8210|0|已付清; 8030.22|8210.01|0.01|未付清; "
                                          "11|11|0|已付清; 99.99|99.99|-0.01|已付清"));
    }

    // An older book gets its totals computed afresh, freight and discount
    // beside them: version 1 kept none (no table, no triggers), version 2
    // sums only and an index of lines by goods code, which goes. The
    // triggers work from then on; a changed discount shows in the list.
    void olderBookGetsItsTotalsComputed_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("version 1") << 1;
        QTest::newRow("version 2") << 2;
    }
    void olderBookGetsItsTotalsComputed() {
        QFETCH(int, version);
        Book b;
        Database& db = b.db();
        const QString no = storedQuotation(b, 3);  // goods 1.00 + 4.00 + 9.00
        db.query("update Quotation_Head set Freight=20, preferential=0.5 where BillNo=:b", {{"b", no}});
        // A head with neither lines nor receipts had no totals row before.
        db.query("insert into Quotation_Head (BillNo, Freight) values ('BARE', 12.5)");
        db.query("insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType) values (:q, 'R1', 7, 0)",
                 {{"q", no}});
        const QString indexes =
            db.isAccess() ? "select count(*) from sqlite_master where type='index' and name=:n"
                          : "select count(*) from pg_indexes where schemaname=current_schema() and indexname=:n";
        auto indexed = [&](const char* name) { return QString::number(count(db, indexes, {{"n", name}})); };
        QCOMPARE(indexed("ix_quotation_detail_goods"), QString("0"));
        db.query("drop view Query_Quotation_Head_list");
        if (version == 1) {
            dropTotalTriggers(db, {"Quotation_Detail", "Receipt_Head", "Quotation_Head"});
            db.query("drop table Quotation_Sum");
        } else {
            db.query("create index ix_quotation_detail_goods on Quotation_Detail (GoodsNo)");
            dropTotalTriggers(db, {"Quotation_Head"});
            db.query("drop table Quotation_Sum");
            db.query(
                "create table Quotation_Sum (BillNo varchar(20) not null primary key, sum_Goods numeric(18,2) not "
                "null default 0, sum_Gain numeric(18,2) not null default 0, sum_Cost numeric(18,4) not null default "
                "0, sum_Paid numeric(18,2) not null default 0)");
            // Totals that went wrong somehow are put right as well.
            db.query("insert into Quotation_Sum (BillNo, sum_Goods, sum_Paid) values (:b, 99, 1)", {{"b", no}});
            db.query(
                "create view Query_Quotation_Head_list as select h.*, t.sum_Goods from Quotation_Head h "
                "left join Quotation_Sum t on t.BillNo = h.BillNo");
        }
        QCOMPARE(upgradedFrom(db, version), SchemaInstaller::kBookVersion);
        QCOMPARE(indexed("ix_quotation_detail_goods") + indexed("ix_quotation_detail_head"), QString("01"));
        QCOMPARE(drifted(db), QStringList());
        db.query("delete from Quotation_Detail where GoodsNo='G1'");
        QCOMPARE(drifted(db), QStringList());

        QuotationList list(db, b.prompter);
        list.open();
        const QStringList amounts{"sum_Goods_Price", "sum_payed_money", "Total_Price", "Leave_money", "isPayAll"};
        QVERIFY(list.rows().locate("BillNo", "BARE"));
        QCOMPARE(values(list.rows(), {"Total_Price", "isPayAll"}), QString("12.5|未付清"));
        QVERIFY(list.rows().locate("BillNo", no));
        QCOMPARE(values(list.rows(), amounts), QString("13|7|32.5|25.5|未付清"));
        // The editor's discount of the rest is in the list at once.
        Quotation doc(b, QuotationDocument::Existing, no);
        doc.head().setValue("preferential", 26);
        QVERIFY(doc.save());
        list.refresh();
        QVERIFY(list.rows().locate("BillNo", no));
        QCOMPARE(values(list.rows(), amounts), QString("13|7|7|0|已付清"));
    }
};

QTEST_GUILESS_MAIN(TestQuotationTotals)
#include "test_quotation_totals.moc"
