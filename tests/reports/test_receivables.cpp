#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>
#include <array>

#include "documents/document_fixture.h"
#include "platform/errors.h"
#include "platform/period.h"
#include "reports/customer_statement.h"
#include "reports/engine/report_preparer.h"
#include "reports/engine/report_template.h"
#include "reports/receivables_aging.h"
#include "reports/report_samples.h"
#include "reports/statistics_chart.h"
#include "support/test_paths.h"

using namespace DocumentFixture;

namespace {
// A quotation whose receivable is its freight (no lines); day null: no date.
void quotation(Database& db, const QString& billNo, const QString& clientNo, const QString& typedName, const QDate& day,
               double amount, int state = 1, const QString& remark = {}) {
    db.execute(
        "insert into Quotation_Head (BillNo, ClientNo, Add_ClientName, Keyin_Date, Send_Date, Freight, state, Remark) "
        "values (:b, :c, :n, :d, :s, :f, :st, :r)",
        {{"b", billNo},
         {"c", clientNo},
         {"n", typedName.isNull() ? QVariant() : QVariant(typedName)},
         {"d", day.isValid() ? QVariant(day.startOfDay()) : QVariant()},
         {"s", day.isValid() ? QVariant(day.addDays(7).startOfDay()) : QVariant()},
         {"f", amount},
         {"st", state},
         {"r", remark}});
}

void receipt(Database& db, const QString& billNo, const QString& quotationNo, const QDateTime& at, double amount,
             int type = 1) {
    db.execute(
        "insert into Receipt_Head (BillNo, QuotationNo, keyin_Date, TotalPrice, BillType) values (:b, :q, :d, :a, :t)",
        {{"b", billNo},
         {"q", quotationNo},
         {"d", at.isValid() ? QVariant(at) : QVariant()},
         {"a", amount},
         {"t", type}});
}

QDateTime at(int month, int day, int hour = 10) {
    return QDateTime(QDate(2026, month, day), QTime(hour, 0));
}

// "BillNo kind receivable/received balance" per line, amounts in yuan.
QStringList linesOf(const Statement& st) {
    QStringList out;
    for (const StatementLine& l : st.lines) {
        out << QStringLiteral("%1 %2 %3 %4/%5 %6")
                   .arg(l.date.toString("MM-dd"), l.billNo, l.kindName)
                   .arg(l.receivable / 100)
                   .arg(l.received / 100)
                   .arg(l.balance / 100);
    }
    return out;
}

// Customer 00001 王芳 with quotations around February 2026, a typed 王芳 apart, and 00002 with nothing.
void fill(Database& db) {
    db.execute(
        "insert into Client (Corp_code, Linkman_name, Corp_name, GroupClass) values "
        "('00001', '王芳', '[Sys_Corp_name]酒楼<b>', 1), ('00002', '空客户', '', 1)");
    quotation(db, "BJ1", "00001", "王芳", QDate(2026, 1, 5), 1000);
    quotation(db, "BJ2", "00001", "王芳", QDate(2026, 2, 10), 500, 1, "备注 [page()] 'x'");
    receipt(db, "R2a", "BJ2", at(2, 15), 200);
    receipt(db, "R2b", "BJ2", at(2, 5), 100, 0);                       // a deposit dated before its quotation
    quotation(db, "BJ3", "00001", "王芳", QDate(2026, 3, 1), 300, 0);  // out of force
    receipt(db, "R3", "BJ3", at(3, 2), 300);
    quotation(db, "BJ4", "00001", "", QDate(2026, 3, 10), 100);  // overpaid
    receipt(db, "R4", "BJ4", at(3, 12), 150);
    quotation(db, "BJ5", "", "王芳", QDate(2026, 2, 1), 700);      // no record: the typed 王芳
    quotation(db, "BJ6", "09999", "王芳", QDate(2026, 2, 3), 40);  // a code no record has
    receipt(db, "R5", "BJ5", at(2, 2), 100);
    quotation(db, "BJ7", "00001", "王芳", QDate(), 50);             // no date: before every day
    quotation(db, "BJ8", "00001", "王芳", QDate(2026, 1, 20), 80);  // paid on its day, by a receipt numbered before it
    receipt(db, "A8", "BJ8", at(1, 20, 18), 80);
}

// What each in-force quotation a party statement would read still has open on `to` (none: ever), with its
// day, from the tables directly: receivable less the receipts counted by then (a receipt counts on the
// later of its and its quotation's day).
QList<std::pair<QDate, qint64>> openQuotationsByHand(Database& db, const QString& condition, const QVariantMap& params,
                                                     const QDate& to) {
    // Read whole before the receipts are asked for: a server streams one statement's rows at a time.
    QList<QVector<QVariant>> quotations;
    QSqlQuery q = db.query(
        "select h.BillNo, h.Keyin_Date, s.Total_Price from Quotation_Head h join Quotation_Sum s on "
        "s.BillNo=h.BillNo left join Client c on c.Corp_code=h.ClientNo and h.ClientNo<>'' where h.state=1 and " +
            condition,
        params);
    while (q.next()) {
        quotations.append({q.value(0), q.value(1), q.value(2)});
    }
    QList<std::pair<QDate, qint64>> open;
    for (const QVector<QVariant>& row : quotations) {
        const QDate qDay = receivableDay(row[1]);
        if (to.isValid() && qDay.isValid() && qDay > to) {
            continue;
        }
        qint64 cents = receivableCents(row[2]);
        QSqlQuery r = db.query("select keyin_Date, TotalPrice from Receipt_Head where QuotationNo=:b", {{"b", row[0]}});
        while (r.next()) {
            QDate day = receivableDay(r.value(0));
            if (!day.isValid() || (qDay.isValid() && day < qDay)) {
                day = qDay;
            }
            if (!to.isValid() || !day.isValid() || day <= to) {
                cents -= receivableCents(r.value(1));
            }
        }
        open.append({qDay, cents});
    }
    return open;
}

qint64 openByHand(Database& db, const QString& condition, const QVariantMap& params, const QDate& to) {
    qint64 sum = 0;
    for (const auto& [day, cents] : openQuotationsByHand(db, condition, params, to)) {
        sum += cents;
    }
    return sum;
}
}  // namespace

// Customer statements and receivables by age, on both engines.
class TestReceivables : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    // Opening balance, lines by day with their running balance, the parties kept apart, bad input.
    void statementOfAPeriod() {
        Book b;
        fill(b.db());
        CustomerStatement statement(b.db());
        const ReceivableParty record = ReceivableParty::find(b.db(), "00001");
        QCOMPARE(record.name, QString("王芳"));
        const Statement feb = statement.build(record, {QDate(2026, 2, 1), QDate(2026, 2, 28)});
        // The deposit of 5 February counts on its quotation's day and says so.
        QCOMPARE(linesOf(feb), QStringList({"02-01  上期结余 0/0 1050", "02-10 BJ2 订货单 500/0 1550",
                                            "02-10 R2b 定金收据 0/100 1450", "02-15 R2a 收款收据 0/200 1250"}));
        QVERIFY(feb.lines[2].remark.contains("收款日期 2026-02-05，早于订货单"));
        QCOMPARE(feb.opening, 105000);
        QCOMPARE(feb.periodReceivable, 50000);
        QCOMPARE(feb.periodReceived, 30000);
        QCOMPARE(feb.closing, 125000);

        // From = To: that day only.
        QCOMPARE(statement.build(record, {QDate(2026, 2, 10), QDate(2026, 2, 10)}).closing, 145000);
        // No bounds: the undated quotation first; out of force left out; the overpaid one nets here.
        const Statement all = statement.build(record, {});
        QCOMPARE(linesOf(all).mid(0, 3),
                 QStringList({"  上期结余 0/0 0", " BJ7 订货单 50/0 50", "01-05 BJ1 订货单 1000/0 1050"}));
        QVERIFY(!linesOf(all).join('|').contains("BJ3") && !linesOf(all).join('|').contains("BJ5"));
        // A day's quotations come before its receipts, whatever their numbers.
        QCOMPARE(linesOf(all).mid(3, 2), QStringList({"01-20 BJ8 订货单 80/0 1130", "01-20 A8 收款收据 0/80 1050"}));
        QCOMPARE(all.closing, 120000);
        QCOMPARE(all.closing, receivableCents(b.db().scalar(
                                  "select sum(s.Leave_money) from Quotation_Sum s join Quotation_Head h on "
                                  "h.BillNo=s.BillNo where h.ClientNo='00001' and h.state=1")));

        // The typed 王芳 holds the quotations without a record, also one whose code names none; 王芳 alone is
        // both, so it is refused naming them; a record's name borne by one record alone finds it.
        const ReceivableParty typed = ReceivableParty::find(b.db(), "王芳（未建档）");
        QCOMPARE(typed.name, QString("王芳（未建档）"));
        QVERIFY_THROWS_EXCEPTION(UserError, ReceivableParty::find(b.db(), "王芳"));
        try {
            ReceivableParty::find(b.db(), "王芳");
        } catch (const UserError& e) {
            QCOMPARE(e.message(),
                     QString("客户名称[王芳]不唯一（客户编号 00001；另有未建档的订货单，写作“王芳（未建档）”），"
                             "请填写客户编号"));
        }
        QCOMPARE(ReceivableParty::find(b.db(), "空客户").clientNo, QString("00002"));
        const Statement typedAll = statement.build(typed, {});
        QCOMPARE(linesOf(typedAll), QStringList({"  上期结余 0/0 0", "02-01 BJ5 订货单 700/0 700",
                                                 "02-02 R5 收款收据 0/100 600", "02-03 BJ6 订货单 40/0 640"}));

        // A customer with nothing: the opening line alone.
        const Statement none = statement.build(ReceivableParty::find(b.db(), "00002"), {QDate(2026, 1, 1), {}});
        QCOMPARE(none.lines.size(), 1);
        QCOMPARE(none.closing, 0);

        // Only what is open on a day: BJ1, BJ7, the rest of BJ2 and the overpaid BJ4, with their receipts.
        const Statement open = statement.build(record, {QDate(2026, 1, 1), QDate(2026, 3, 31), true});
        QCOMPARE(open.opening, 0);
        QCOMPARE(open.closing, 120000);
        QVERIFY(linesOf(open).join('|').contains("R4"));
        QVERIFY(!linesOf(open).join('|').contains("BJ8") && !linesOf(open).join('|').contains("A8"));
        QCOMPARE(statement.build(record, {{}, QDate(2026, 3, 11), true}).closing, 135000);  // BJ4 before R4

        // Names only on quotations out of force, and the mark alone, name nobody.
        quotation(b.db(), "BJ9", "", "李四", QDate(2026, 1, 1), 10, 0);
        for (const QString& unknown : {QString("00003"), QString("李四"), QString(), QString("（未建档）")}) {
            try {
                ReceivableParty::find(b.db(), unknown);
                QFAIL("found");
            } catch (const UserError& e) {
                QCOMPARE(e.message(), QString("找不到客户[%1]").arg(unknown));
            }
        }
        try {
            statement.build(record, {QDate(2026, 3, 1), QDate(2026, 2, 1)});
            QFAIL("built");
        } catch (const UserError& e) {
            QCOMPARE(e.message(), Period::outOfOrderText());
        }

        // Printed: one statement per customer on pages of its own, hostile text as typed, the closing
        // balance in capitals.
        ReportTemplate tmpl;
        QString error;
        QCOMPARE(ReportTemplate::load(TestPaths::sourceFolder() + "/Report/" + CustomerStatement::templateName(), &tmpl,
                                      &error),
                 ReportTemplate::LoadResult::Loaded);
        ReportPreparer preparer(tmpl, TestPaths::sourceFolder() + "/Report");
        preparer.setParameters(statement.parameters({}));
        PreparedReport prepared;
        QVERIFY2(preparer.prepare(CustomerStatement::rows({all, typedAll}), &prepared, &error), qPrintable(error));
        QCOMPARE(prepared.pages.size(), 2);
        const QString first = ReportSamples::textsOf(prepared, {}, 0).join('|');
        // A receipt names its quotation beside its own remark.
        QVERIFY2(first.contains("酒店名称: [Sys_Corp_name]酒楼<b>") && first.contains("备注 [page()] 'x'") &&
                     first.contains("|BJ2；收款日期 2026-02-05，早于订货单|") && first.contains("壹仟贰佰元整") &&
                     !first.contains("BJ5"),
                 qPrintable(first));
        QVERIFY(ReportSamples::textsOf(prepared, {}, 1).join('|').contains("王芳（未建档）"));
    }

    // Buckets at their edges, the overpaid apart, receipts after the day, the chart and the .tsv lines.
    void agingByBuckets() {
        Book b;
        Database& db = b.db();
        db.execute(
            "insert into Client (Corp_code, Linkman_name, GroupClass) values ('00001', '甲', 1), "
            "('00002', '乙', 1)");
        const QDate asOf(2026, 6, 30);
        int n = 0;
        for (int days : {0, 30, 31, 60, 61, 90, 91, 180, 181}) {
            quotation(db, QString("BJA%1").arg(++n), "00001", "甲", asOf.addDays(-days), 100);
        }
        quotation(db, "BJB1", "00002", "乙", asOf.addDays(-10), 1000);
        receipt(db, "RB1", "BJB1", asOf.addDays(-5).startOfDay(), 400);
        receipt(db, "RB2", "BJB1", asOf.addDays(1).startOfDay(), 600);  // after the day: still open on it
        quotation(db, "BJB2", "00002", "乙", asOf.addDays(-100), 50);
        receipt(db, "RB3", "BJB2", asOf.addDays(-99).startOfDay(), 80);  // overpaid by 30
        quotation(db, "BJC1", "", "散客", asOf.addDays(-40), 70);
        quotation(db, "BJC2", "", "散客", asOf.addDays(1), 999);      // after the day
        quotation(db, "BJC3", "", "散客", asOf.addDays(-3), 999, 0);  // out of force
        quotation(db, "BJC4", "", "散客", asOf.addDays(-3), 0);       // nothing open

        ReceivablesAging aging(db);
        const ReceivablesAging::Result r = aging.build(asOf);
        QCOMPARE(r.lines.size(), 4);
        const ReceivablesAging::Line& a = r.lines[0];  // the largest first
        QCOMPARE(a.party.clientNo, QString("00001"));
        QCOMPARE(a.total, 90000);
        QCOMPARE(a.quotations, 9);
        QCOMPARE(a.oldest, asOf.addDays(-181));
        QCOMPARE(QList<qint64>(a.buckets.begin(), a.buckets.end()), QList<qint64>({20000, 20000, 20000, 20000, 10000}));
        QCOMPARE(r.lines[1].party.clientNo, QString("00002"));
        QCOMPARE(r.lines[1].total, 60000);
        QCOMPARE(r.lines[2].party.name, QString("散客（未建档）"));
        QCOMPARE(r.lines[2].buckets[1], 7000);
        QVERIFY(r.lines[3].overpaid && r.lines[3].party.clientNo == "00002");
        QCOMPARE(r.lines[3].total, -3000);
        QCOMPARE(r.lines[3].buckets[3], -3000);
        QCOMPARE(r.owed, 90000 + 60000 + 7000);
        QCOMPARE(r.overpaid, -3000);
        QCOMPARE(QList<qint64>(r.owedBuckets.begin(), r.owedBuckets.end()),
                 QList<qint64>({80000, 27000, 20000, 20000, 10000}));
        // Owed and overpaid together are what the statements of the day leave open.
        CustomerStatement statement(db);
        qint64 statements = 0;
        for (const char* who : {"00001", "00002", "散客（未建档）"}) {
            statements += statement.build(ReceivableParty::find(db, who), {{}, asOf, true}).closing;
        }
        QCOMPARE(statements, r.owed + r.overpaid);

        const StatisticsChart chart = ReceivablesAging::chart(r);
        QCOMPARE(chart.labels(), ReceivablesAging::bucketNames());
        QCOMPARE(chart.series().value(0).values, QList<double>({800, 270, 200, 200, 100}));
        const ReportRows tsv = ReceivablesAging::tsvRows(r);
        QCOMPARE(tsv.fields.join(','), QString("ClientNo,ClientName,Leave_money,Quotations,OldestDate,Days0_30,"
                                               "Days31_60,Days61_90,Days91_180,Over180"));
        QCOMPARE(tsv.rows[3].value(2).toDouble(), -30.0);
        QCOMPARE(tsv.rows[1].value(9).toInt(), 0);

        // On the day of BJB1's last receipt 乙 owes nothing (only its overpaid line stays); BJC2 is then open.
        const ReceivablesAging::Result next = aging.build(asOf.addDays(1));
        QStringList owing;
        for (const ReceivablesAging::Line& line : next.lines) {
            owing << line.party.name + (line.overpaid ? "-" : "+");
        }
        QCOMPARE(owing, QStringList({"散客（未建档）+", "甲+", "乙-"}));
        // A day no date can follow is no bound.
        QVERIFY(aging.build(QDate(9999, 12, 31)).owed > 0);
        QVERIFY_THROWS_EXCEPTION(UserError, aging.build(QDate()));
    }

    // Over a random book: opening + movements = closing = what the quotations of up to To leave open,
    // and the aged receivables agree with the statements and with the kept totals.
    void randomBookInvariant() {
        Book b;
        Database& db = b.db();
        QRandomGenerator random(20261209);
        db.execute(
            "insert into Client (Corp_code, Linkman_name, GroupClass) values ('00001', '甲', 1), "
            "('00002', '乙', 1), ('00003', '丙', 1)");
        const QStringList codes{"00001", "00002", "00003", "", "09999"};
        const QStringList names{"甲", "乙", "丁", "戊", ""};
        const QDate start(2025, 1, 1);
        {
            WriteTransaction t(db);
            for (int i = 0; i < 120; ++i) {
                const QString billNo = QString("BJ%1").arg(i, 4, 10, QChar('0'));
                const QDate day = random.bounded(20) == 0 ? QDate() : start.addDays(random.bounded(600));
                quotation(db, billNo, codes[random.bounded(codes.size())], names[random.bounded(names.size())], day,
                          random.bounded(1, 100000) / 100.0, random.bounded(6) == 0 ? 0 : 1);
                for (int k = random.bounded(4); k > 0; --k) {
                    const QDateTime when =
                        random.bounded(15) == 0
                            ? QDateTime()
                            : start.addDays(random.bounded(-30, 650)).startOfDay().addSecs(random.bounded(86400));
                    receipt(db, QString("R%1-%2").arg(i).arg(k), billNo, when, random.bounded(0, 400), k % 2);
                }
            }
            t.commit();
        }
        QList<ReceivableParty> parties;
        for (const char* who : {"00001", "00002", "00003", "甲（未建档）", "乙（未建档）", "丁", "戊"}) {
            try {
                parties << ReceivableParty::find(db, who);
            } catch (const UserError&) {
            }
        }
        QVERIFY(parties.size() >= 6);
        // The quotations without a record or a name are a party too (no one can type it; the aging shows it).
        ReceivableParty nameless;
        nameless.name = ReceivableParty::displayName({}, {}, {});
        parties << nameless;
        CustomerStatement statement(db);
        for (int round = 0; round < 12; ++round) {
            QDate from = random.bounded(4) == 0 ? QDate() : start.addDays(random.bounded(650));
            QDate to = random.bounded(4) == 0 ? QDate() : start.addDays(random.bounded(650));
            if (from.isValid() && to.isValid() && from > to) {
                std::swap(from, to);
            }
            for (const ReceivableParty& party : parties) {
                const Statement st = statement.build(party, {from, to});
                QVariantMap params;
                const QString condition = party.condition(&params);
                // The opening balance is what was open the day before From; with the period's movements it
                // makes the closing balance, what is open on To.
                const qint64 opening = from.isValid() ? openByHand(db, condition, params, from.addDays(-1)) : 0;
                QCOMPARE(st.opening, opening);
                QCOMPARE(opening + st.periodReceivable - st.periodReceived, st.closing);
                QVERIFY2(st.closing == openByHand(db, condition, params, to),
                         qPrintable(QString("%1 %2..%3: %4 lines, %5")
                                        .arg(party.key(), from.toString(Qt::ISODate), to.toString(Qt::ISODate))
                                        .arg(st.lines.size())
                                        .arg(st.closing)));
                if (!to.isValid()) {
                    QSqlQuery q = db.query(
                        "select sum(s.Leave_money) from Quotation_Head h join Quotation_Sum s on "
                        "s.BillNo=h.BillNo " +
                            ReceivableParty::partyJoin() + " where h.state=1 and " + condition,
                        params);
                    QVERIFY(q.next());
                    QCOMPARE(st.closing, receivableCents(q.value(0)));
                }
            }
        }
        ReceivablesAging aging(db);
        for (const QDate& asOf : {start.addDays(200), start.addDays(400), QDate(2030, 1, 1)}) {
            const ReceivablesAging::Result r = aging.build(asOf);
            qint64 statements = 0;
            for (const ReceivableParty& party : parties) {
                statements += statement.build(party, {{}, asOf, true}).closing;
            }
            QCOMPARE(r.owed + r.overpaid, statements);
            // Each customer's lines, bucket by bucket, as the quotations open on the day give them.
            for (const ReceivableParty& party : parties) {
                QVariantMap params;
                const QString condition = party.condition(&params);
                std::array<qint64, ReceivablesAging::kBuckets> owed{}, overpaid{};
                for (const auto& [day, cents] : openQuotationsByHand(db, condition, params, asOf)) {
                    const int bucket =
                        !day.isValid() ? 4 : ReceivablesAging::bucketOf(static_cast<int>(day.daysTo(asOf)));
                    (cents < 0 ? overpaid : owed)[bucket] += cents;
                }
                std::array<qint64, ReceivablesAging::kBuckets> listedOwed{}, listedOverpaid{};
                for (const ReceivablesAging::Line& line : r.lines) {
                    if (line.party.key() == party.key()) {
                        (line.overpaid ? listedOverpaid : listedOwed) = line.buckets;
                    }
                }
                QVERIFY2(listedOwed == owed && listedOverpaid == overpaid, qPrintable(party.key()));
            }
        }
        // Far after every receipt: the kept totals of the quotations in force.
        QCOMPARE(aging.build(QDate(2030, 1, 1)).owed + aging.build(QDate(2030, 1, 1)).overpaid,
                 receivableCents(db.scalar("select sum(s.Leave_money) from Quotation_Sum s join Quotation_Head h "
                                           "on h.BillNo=s.BillNo where h.state=1")));
    }
};

QTEST_MAIN(TestReceivables)
#include "test_receivables.moc"
