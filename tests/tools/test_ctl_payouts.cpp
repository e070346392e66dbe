#include <QFile>
#include <QTest>

#include "data/data_module.h"
#include "documents/document_fixture.h"
#include "support/ctl_book.h"
#include "support/test_books.h"

using namespace DocumentFixture;

// The payout and statistics commands of olvendctl, run as a user would, on
// both engines.
class TestCtlPayouts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void addAndList();
    void refusedPayoutsWriteNothing_data();
    void refusedPayoutsWriteNothing();
    void addingNeedsTheRights();
    void statsWriteRowsAndReports();
};

namespace {
using Result = CtlCall::Result;

struct Program : CtlBook {
    void add(const QStringList& args) {
        const Result r = ctl(QStringList{"payout", "add"} + args);
        if (r.code != 0) {
            qFatal("payout add failed: %s", qPrintable(r.err));
        }
    }
};
}  // namespace

void TestCtlPayouts::addAndList() {
    Program p;
    const Result first = p.ctl({"payout", "add", "0", "2006-06-01", "40", "--remark", "送货"});
    QCOMPARE(first.err, QString());
    QCOMPARE(first.code, 0);
    QCOMPARE(first.out.trimmed(), p.db().scalar("select max(id) from payout").toString());
    p.add({"运输费", "2006-06-02", "15"});
    p.add({"4", "2006-06-02", "1000", "--remark", "货款\t第二期"});
    p.add({"汇款", "2006-06-03", "0"});
    QCOMPARE(count(p.db(), "select count(*) from payout where subject='3'"), 2);
    QCOMPARE(count(p.db(), "select count(*) from payout where subject='0' and paytime=:d",
                   {{"d", QDate(2006, 6, 2).startOfDay()}}),
             1);

    const Result transport = p.ctl({"payout", "list", "0"});
    QCOMPARE(transport.code, 0);
    const QStringList lines = transport.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QString("id\tpaytime\tsubject\ttotalprice\tremark"));
    QVERIFY(lines[1].contains("\t2006-06-01\t0\t40\t送货"));
    QVERIFY(lines[2].endsWith("\t2006-06-02\t0\t15\t"));
    QCOMPARE(transport.err, QString("共 2 条记录, 合计：55\n"));
    // Both days included; a tab in a remark does not break the columns.
    const Result remittances = p.ctl({"payout", "list", "汇款", "--from", "2006-06-02", "--to", "2006-06-02"});
    QCOMPARE(remittances.out.split('\n', Qt::SkipEmptyParts).size(), 2);
    QVERIFY(remittances.out.contains("1000\t货款\\t第二期\n"));
    QCOMPARE(p.ctl({"payout", "list", "1", "--from", "2006-06-03", "--to", "2006-06-02"}).err,
             QString("开始日期不能晚于结束日期\n"));
    QCOMPARE(p.ctl({"payout", "list", "0", "--from"}).code, 2);
}

void TestCtlPayouts::refusedPayoutsWriteNothing_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("kind outside the four") << QStringList{"5", "2006-06-01", "1"} << "没有这种支出类型";
    QTest::newRow("kind by an unknown name") << QStringList{"房租", "2006-06-01", "1"} << "没有这种支出类型";
    QTest::newRow("impossible date") << QStringList{"0", "2006-02-30", "1"} << "日期[2006-02-30]不对";
    QTest::newRow("date written otherwise") << QStringList{"0", "06/01/2006", "1"} << "日期[06/01/2006]不对";
    QTest::newRow("date of no day") << QStringList{"0", "1900-01-01", "1"} << "日期[1900-01-01]不对";
    QTest::newRow("letters in the amount") << QStringList{"0", "2006-06-01", "12ab"} << "[支出金额]必须是整数";
    QTest::newRow("fraction") << QStringList{"0", "2006-06-01", "1.5"} << "[支出金额]必须是整数";
    QTest::newRow("negative") << QStringList{"0", "2006-06-01", "-1"} << "支出金额不能是负数";
    QTest::newRow("beyond the largest") << QStringList{"0", "2006-06-01", "1000000000"} << "支出金额不能超过999999999";
    QTest::newRow("beyond any integer") << QStringList{"0", "2006-06-01", "99999999999999999999"}
                                        << "[支出金额]必须是整数";
    QTest::newRow("remark too long") << QStringList{"0", "2006-06-01", "1", "--remark", QString(51, QChar(u'长'))}
                                     << "的内容太长，最多50个字符";
}

void TestCtlPayouts::refusedPayoutsWriteNothing() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    Program p;
    const Result r = p.ctl(QStringList{"payout", "add"} + args);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QCOMPARE(count(p.db(), "select count(*) from payout"), 0);
}

void TestCtlPayouts::addingNeedsTheRights() {
    Program p;
    Database& db = p.db();
    db.execute("insert into Sys_user (User_name, User_Group, type) values ('业务组', '0', 0), ('李四', '业务组', 1)");
    auto grant = [&db](const QString& form, const QString& action) {
        db.execute(
            "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table "
            "where LOWER(Form_Name)=:f and LOWER(Action_Name)=:a",
            {{"f", form.toLower()}, {"a", action.toLower()}});
    };
    const QStringList args{"--user", "李四", "payout", "add", "0", "2006-06-01", "5"};
    QCOMPARE(p.ctl(args).code, 3);
    // Each right alone is not enough.
    grant("frm_payout", "Action_Add");
    QCOMPARE(p.ctl(args).code, 3);
    db.execute("delete from Sys_user_Operation");
    grant("frm_payout_edit", "Action_SaveAndExit");
    QCOMPARE(p.ctl(args).code, 3);
    QCOMPARE(count(db, "select count(*) from payout"), 0);
    grant("frm_payout", "Action_Add");
    // Nor both without the main window's entry of the kind, which listing
    // needs too.
    QCOMPARE(p.ctl(args).code, 3);
    QCOMPARE(p.ctl({"--user", "李四", "payout", "list", "0"}).code, 3);
    QCOMPARE(count(db, "select count(*) from payout"), 0);
    grant("main_frm", "Action16");
    const Result allowed = p.ctl(args);
    QCOMPARE(allowed.err, QString());
    QCOMPARE(allowed.code, 0);
    QCOMPARE(count(db, "select count(*) from payout"), 1);
    QCOMPARE(p.ctl({"--user", "李四", "payout", "list", "0"}).code, 0);
    QCOMPARE(p.ctl({"--user", "李四", "payout", "list", "1"}).code, 3);
}

void TestCtlPayouts::statsWriteRowsAndReports() {
    Program p;
    p.add({"0", "2006-06-01", "40", "--remark", "送货"});
    p.add({"2", "2006-06-02", "8", "--remark", "100%_纸巾"});
    p.add({"1", "2006-07-01", "500"});
    p.db().execute(
        "insert into Quotation_Head (BillNo, Rummery, Add_ClientName, state) values ('BJ1', '海景', '王', 1)");
    p.db().execute(
        "insert into Receipt_Head (BillNo, QuotationNo, keyin_Date, TotalPrice) values ('R1', 'BJ1', :d, 900)",
        {{"d", QDate(2006, 6, 3).startOfDay()}});
    const QString folder = p.program.folder();

    // The rows the report is made from, columns as the statement names them.
    const Result tsv = p.ctl({"stats", "payout", "--remark", "%", "--out", folder + "/p.tsv"});
    QCOMPARE(tsv.err, QString());
    QCOMPARE(tsv.out, QString("1\n"));
    QFile f(folder + "/p.tsv");
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].toLower(), QString("id\tpaytime\tsubject\ttotalprice\tremark\tstatusname\tbillday"));
    // The subject is a text: behind a backslash, so that it reads back as one.
    QVERIFY2(lines[1].endsWith("\t2006-06-02\t\\2\t8\t100%_纸巾\t日杂费\t2006-06-02"), qPrintable(lines[1]));

    const Result profit =
        p.ctl({"stats", "profit", "--from", "2006-06-01", "--to", "2006-06-30", "--out", folder + "/profit.tsv"});
    QCOMPARE(profit.out, QString("3\n"));
    QFile pf(folder + "/profit.tsv");
    QVERIFY(pf.open(QIODevice::ReadOnly));
    const QString ledger = QString::fromUtf8(pf.readAll());
    QVERIFY2(ledger.contains("2006-06-03\t收款收据\t900\t0\t海景(王)\t2006-06-03"), qPrintable(ledger));

    // Without the right to see costs and profits: income without the
    // quotations' costs and profits, no profit statistics at all.
    p.db().execute(
        "insert into Sys_user (User_name, User_Group, type) values ('业务组', '0', 0), ('李四', '业务组', 1)");
    p.db().execute(
        "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table "
        "where LOWER(Form_Name)='main_frm' and LOWER(Action_Name) in ('action9', 'action11')");
    for (const bool seesCost : {true, false}) {
        const QStringList user = seesCost ? QStringList{} : QStringList{"--user", "李四"};
        const Result income = p.ctl(user + QStringList{"stats", "income", "--out", folder + "/income.tsv"});
        QCOMPARE(income.out, QString("1\n"));
        QFile in(folder + "/income.tsv");
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QString header = QString::fromUtf8(in.readLine()).toLower();
        QVERIFY2(header.contains("\ttotal_price\t"), qPrintable(header));
        for (const char* cost : {"sum_gain_money", "sum_goods_cost_price", "total_gain_money"}) {
            QCOMPARE(header.contains(QLatin1String(cost)), seesCost);
        }
    }
    const Result noProfit = p.ctl({"--user", "李四", "stats", "profit", "--out", folder + "/np.pdf"});
    QCOMPARE(noProfit.code, 3);
    QCOMPARE(noProfit.err, QStringLiteral("对不起，您没有该功能的操作权限，详情请询问管理员。\n"));
    QVERIFY(!QFile::exists(folder + "/np.pdf"));

    // Reports of every kind, chart included, in the formats of the preview.
    for (const QString& kind : {QString("income"), QString("payout"), QString("profit")}) {
        const QString out = folder + "/" + kind + ".htm";
        const Result r = p.ctl({"stats", kind, "--out", out});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QFile html(out);
        QVERIFY(html.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(html.readAll());
        QVERIFY(text.contains("统计时间段: 全部日期"));
        QVERIFY(text.contains("<img"));
    }
    QCOMPARE(p.ctl({"stats", "profit", "--out", folder + "/profit.pdf"}).code, 0);
    QVERIFY(QFile(folder + "/profit.pdf").size() > 1000);

    // Refusals: From after To, a kind filter outside payouts, a wrong kind.
    QCOMPARE(p.ctl({"stats", "income", "--from", "2006-07-01", "--to", "2006-06-01", "--out", folder + "/x.pdf"}).err,
             QString("开始日期不能晚于结束日期\n"));
    QCOMPARE(p.ctl({"stats", "income", "--kind", "0", "--out", folder + "/x.pdf"}).code, 1);
    QCOMPARE(p.ctl({"stats", "payout", "--kind", "房租", "--out", folder + "/x.pdf"}).code, 1);
    QVERIFY(!QFile::exists(folder + "/x.pdf"));
    QCOMPARE(p.ctl({"stats", "payout"}).code, 2);
    QCOMPARE(p.ctl({"stats", "losses", "--out", folder + "/x.pdf"}).code, 2);
}

QTEST_MAIN(TestCtlPayouts)
#include "test_ctl_payouts.moc"
