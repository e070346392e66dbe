#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include "data/data_module.h"
#include "data/permission_checker.h"
#include "documents/document_fixture.h"
#include "support/ctl_book.h"
#include "support/golden.h"
#include "support/test_books.h"

using namespace DocumentFixture;

// The payout and statistics commands of olvendctl on both engines. The
// payout editor's checks and the statistics' numbers are tested with their
// classes; here the commands' arguments, outputs and rights.
class TestCtlPayouts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void addAndList();
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

// A kind by its number or name; both days of a period included; a tab in
// a remark does not break the columns.
void TestCtlPayouts::addAndList() {
    Program p;
    const Result first = p.ctl({"payout", "add", "0", "2006-06-01", "40", "--remark", "送货"});
    QCOMPARE(first.err, QString());
    QCOMPARE(first.code, 0);
    QCOMPARE(first.out.trimmed(), p.db().scalar("select max(id) from payout").toString());
    p.add({"运输费", "2006-06-02", "15", "--remark", "货款\t第二期"});
    p.add({"0", "2006-06-03", "7"});
    const Result listed = p.ctl({"payout", "list", "0", "--from", "2006-06-01", "--to", "2006-06-02"});
    QCOMPARE(listed.code, 0);
    QString out = listed.out;
    out.replace(QRegularExpression("(^|\n)\\d+\t"), "\\1<id>\t");
    OLVEND_COMPARE_GOLDEN("tools/payout_list.txt", out);
    QCOMPARE(listed.err, QString("共 2 条记录, 合计：55\n"));
}

// The commands' own refusals of their arguments, one per message, and one
// of the editor's checks it goes through (exit 1, a message, nothing
// written); wrong use (exit 2).
void TestCtlPayouts::refusedPayoutsWriteNothing() {
    Program p;
    const QString x = p.program.folder() + "/x.pdf";
    for (const auto& [args, message] :
         {std::pair{QStringList{"payout", "add", "房租", "2006-06-01", "1"}, "没有这种支出类型: 房租"},
          std::pair{QStringList{"payout", "add", "0", "2006-02-30", "1"}, "日期[2006-02-30]不对"},
          std::pair{QStringList{"payout", "add", "0", "2006-06-01", "1.5"}, "[支出金额]必须是整数，不能是\"1.5\""},
          std::pair{QStringList{"payout", "add", "0", "2006-06-01", "-1"}, "支出金额不能是负数"},
          std::pair{QStringList{"stats", "income", "--from", "2006-07-01", "--to", "2006-06-01", "--out", x},
                    "开始日期不能晚于结束日期"},
          std::pair{QStringList{"stats", "income", "--kind", "0", "--out", x}, "--kind 和 --remark 只用于支出统计"},
          std::pair{QStringList{"stats", "payout", "--kind", "房租", "--out", x}, "没有这种支出类型: 房租"},
          std::pair{QStringList{"stats", "payout"}, ""}}) {
        const Result r = p.ctl(args);
        QCOMPARE(r.code, *message ? 1 : 2);
        const QString said = QString::fromUtf8(message);
        QVERIFY2(!*message ? r.err.startsWith("usage: olvendctl")
                           : (args[1] == "add" ? r.err.contains(said) : r.err == said + '\n'),
                 qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(count(p.db(), "select count(*) from payout"), 0);
        QVERIFY(!QFile::exists(x));
    }
}

// Adding needs the list's 添加, the editor's 保存并关闭 and the main
// window's entry of the kind, which listing needs too.
void TestCtlPayouts::addingNeedsTheRights() {
    Program p;
    Database& db = p.db();
    db.execute("insert into Sys_user (User_name, User_Group, type) values ('业务组', '0', 0), ('李四', '业务组', 1)");
    const QList<std::pair<QString, QString>> rights{
        {"frm_payout", "Action_Add"}, {"frm_payout_edit", "Action_SaveAndExit"}, {"main_frm", "Action16"}};
    auto grantOnly = [&db, &rights](int missing) {
        db.execute("delete from Sys_user_Operation");
        for (int i = 0; i < rights.size(); ++i) {
            if (i != missing) {
                db.execute(
                    "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from "
                    "Sys_Operation_Table where LOWER(Form_Name)=:f and LOWER(Action_Name)=:a",
                    {{"f", rights[i].first.toLower()}, {"a", rights[i].second.toLower()}});
            }
        }
    };
    const QStringList args{"--user", "李四", "payout", "add", "0", "2006-06-01", "5"};
    for (int missing = 0; missing < rights.size(); ++missing) {
        grantOnly(missing);
        const Result r = p.ctl(args);
        QCOMPARE(r.code, 3);
        QCOMPARE(r.err, PermissionChecker::refusalText() + '\n');
    }
    QCOMPARE(p.ctl({"--user", "李四", "payout", "list", "0"}).code, 3);
    QCOMPARE(count(db, "select count(*) from payout"), 0);
    grantOnly(-1);
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
    p.db().execute(
        "insert into Quotation_Head (BillNo, Rummery, Add_ClientName, state) values ('BJ1', '海景', '王', 1)");
    p.db().execute(
        "insert into Receipt_Head (BillNo, QuotationNo, keyin_Date, TotalPrice) values ('R1', 'BJ1', :d, 900)",
        {{"d", QDate(2006, 6, 3).startOfDay()}});
    const QString folder = p.program.folder();

    // The rows the report is made from, columns as the statement names them;
    // a subject is a text: behind a backslash, so that it reads back as one.
    const Result tsv = p.ctl({"stats", "payout", "--remark", "%", "--out", folder + "/p.tsv"});
    QCOMPARE(tsv.err, QString());
    QCOMPARE(tsv.out, QString("1\n"));
    QFile f(folder + "/p.tsv");
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].toLower(), QString("id\tpaytime\tsubject\ttotalprice\tremark\tstatusname\tbillday"));
    QVERIFY2(lines[1].endsWith("\t2006-06-02\t\\2\t8\t100%_纸巾\t日杂费\t2006-06-02"), qPrintable(lines[1]));

    // Without the right to see costs and profits: income without the
    // quotations' costs and profits, no profit statistics at all.
    p.db().execute(
        "insert into Sys_user (User_name, User_Group, type) values ('业务组', '0', 0), ('李四', '业务组', 1)");
    p.db().execute(
        "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table "
        "where LOWER(Form_Name)='main_frm' and LOWER(Action_Name) in ('action9', 'action11')");
    for (const bool seesCost : {true, false}) {
        const QStringList user = seesCost ? QStringList{} : QStringList{"--user", "李四"};
        QCOMPARE(p.ctl(user + QStringList{"stats", "income", "--out", folder + "/income.tsv"}).out, QString("1\n"));
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
    QCOMPARE(noProfit.err, PermissionChecker::refusalText() + '\n');
    QVERIFY(!QFile::exists(folder + "/np.pdf"));

    // Reports of every kind, chart included, in the formats of the preview.
    for (const QString& out : {QString("income.htm"), QString("payout.htm"), QString("profit.pdf")}) {
        const Result r = p.ctl({"stats", out.section('.', 0, 0), "--out", folder + "/" + out});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QFile file(folder + "/" + out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(out.endsWith(".pdf") ? bytes.startsWith("%PDF") && bytes.size() > 1000
                                     : bytes.contains("统计时间段: 全部日期") && bytes.contains("<img"));
    }
}

QTEST_MAIN(TestCtlPayouts)
#include "test_ctl_payouts.moc"
