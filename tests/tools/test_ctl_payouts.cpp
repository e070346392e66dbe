#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include "data/data_module.h"
#include "support/golden.h"
#include "tools/ctl_book.h"

// The payout and statistics commands of olvendctl on both engines: arguments, outputs, rights (the rest: their
// classes').
class TestCtlPayouts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    // A kind by its number or name; both days of a period included; a tab in a remark does not break the columns.
    void addAndList() {
        CtlBook p;
        const CtlCall::Result first = p.ctl({"payout", "add", "0", "2006-06-01", "40", "--remark", "送货"});
        QCOMPARE(first.err + QString::number(first.code), QString("0"));
        QCOMPARE(first.out.trimmed(), p.db().scalar("select max(id) from payout").toString());
        QCOMPARE(p.ctl({"payout", "add", "运输费", "2006-06-02", "15", "--remark", "货款\t第二期"}).code, 0);
        QCOMPARE(p.ctl({"payout", "add", "0", "2006-06-03", "7"}).code, 0);
        const CtlCall::Result listed = p.ctl({"payout", "list", "0", "--from", "2006-06-01", "--to", "2006-06-02"});
        QCOMPARE(listed.code, 0);
        OLVEND_COMPARE_GOLDEN("tools/payout_list.txt",
                              QString(listed.out).replace(QRegularExpression("(^|\n)\\d+\t"), "\\1<id>\t"));
        QCOMPARE(listed.err, QString("共 2 条记录, 合计：55\n"));
    }
    // The commands' own refusals, one per message, one of the editor's, and wrong use; nothing written. The messages
    // are in the golden file.
    void refusalsWriteNothing() {
        CtlBook p;
        const QStringList before = p.state();
        const QString log =
            p.runAll({"payout add 房租 2006-06-01 1", "payout add 0 2006-02-30 1", "payout add 0 2006-06-01 1.5",
                      "payout add 0 2006-06-01 -1", "stats income --from 2006-07-01 --to 2006-06-01 --out <home>/x.pdf",
                      "stats income --kind 9 --out <home>/x.pdf", "stats payout --kind 房租 --out <home>/x.pdf",
                      "stats payout --out <home>/x.doc", "stats profit --remark x --out <home>/x.pdf",
                      "payout list 房租", "stats payout"});
        QCOMPARE(p.state(), before);
        OLVEND_COMPARE_GOLDEN("tools/payout_refusals.txt", log);
    }
    // Adding needs the list's 添加, the editor's 保存并关闭 and the main window's entry of the kind, which listing
    // needs too.
    void addingNeedsTheRights() {
        CtlBook p;
        const QStringList rights{"frm_payout/Action_Add", "frm_payout_edit/Action_SaveAndExit", "main_frm/Action16"};
        QCOMPARE(p.needsEach(rights, {"payout", "add", "0", "2006-06-01", "5"}), QStringList());
        QCOMPARE(CtlBooks::rows(p.db(), "payout"), 1);
        QCOMPARE(p.asClerk({"payout", "list", "0"}).code, 0);
        QCOMPARE(p.asClerk({"payout", "list", "1"}).code, 3);
        p.grantClerk(rights.mid(0, 2));
        QCOMPARE(p.asClerk({"payout", "list", "0"}).code, 3);
    }
    // The rows a report is made from, as the statement names them (a subject behind a backslash, so that it reads back
    // as text); without the cost right, income without costs and profits and no profit statistics (the golden file: the
    // transcript, the rows' file, the income files' headers). Reports of every kind, chart included, in the preview's
    // formats.
    void statsWriteRowsAndReports() {
        CtlBook p;
        QCOMPARE(p.ctl({"payout", "add", "0", "2006-06-01", "40", "--remark", "送货"}).code, 0);
        QCOMPARE(p.ctl({"payout", "add", "2", "2006-06-02", "8", "--remark", "100%_纸巾"}).code, 0);
        p.db().execute(
            "insert into Quotation_Head (BillNo, Rummery, Add_ClientName, state) values ('BJ1', '海景', '王', 1)");
        p.db().execute(
            "insert into Receipt_Head (BillNo, QuotationNo, keyin_Date, TotalPrice) values ('R1', 'BJ1', :d, 900)",
            {{"d", QDate(2006, 6, 3).startOfDay()}});
        p.grantClerk({"main_frm/action9", "main_frm/action11"});
        QString log = p.runAll({"stats payout --remark % --out <home>/p.tsv", "stats income --out <home>/all.tsv",
                                "--user 李四 stats income --out <home>/clerk.tsv",
                                "--user 李四 stats profit --out <home>/np.pdf", "stats income --out <home>/income.htm",
                                "stats payout --out <home>/payout.htm", "stats profit --out <home>/profit.pdf"});
        for (const char* name : {"p.tsv", "all.tsv", "clerk.tsv"}) {
            QFile f(p.folder() + '/' + name);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(f.readAll());
            log += name + (": " + (name[0] == 'p' ? text : text.section('\n', 0, 0)).toLower()) + '\n';
        }
        OLVEND_COMPARE_GOLDEN("tools/stats.txt", log);
        for (const char* name : {"income.htm", "payout.htm", "profit.pdf"}) {
            QFile f(p.folder() + '/' + name);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            QVERIFY2(QByteArray(name).endsWith(".pdf")
                         ? bytes.startsWith("%PDF") && bytes.size() > 1000
                         : bytes.contains("统计时间段: 全部日期") && bytes.contains("<img"),
                     name);
        }
    }
    // Statements and aged receivables: customers by code or typed name, files by extension, the rows as .tsv,
    // the rights of their windows, refusals that write no file.
    void statementsAndReceivables() {
        CtlBook p;
        Database& db = p.db();
        db.execute("insert into Client (Corp_code, Linkman_name, GroupClass) values ('00001', '王芳', 1)");
        const auto quotation = [&db](const char* billNo, const char* code, const char* name, QDate day, int amount) {
            db.execute(
                "insert into Quotation_Head (BillNo, ClientNo, Add_ClientName, Keyin_Date, Freight, state) "
                "values (:b, :c, :n, :d, :f, 1)",
                {{"b", billNo}, {"c", code}, {"n", name}, {"d", day.startOfDay()}, {"f", amount}});
        };
        quotation("BJ1", "00001", "王芳", QDate(2006, 5, 1), 1000);
        quotation("BJ2", "", "王芳", QDate(2006, 6, 1), 300);
        quotation("BJ3", "00001", "王芳", QDate(2006, 6, 20), 200);
        db.execute(
            "insert into Receipt_Head (BillNo, QuotationNo, keyin_Date, TotalPrice, BillType) values "
            "('R1', 'BJ1', :d1, 400, 0), ('R2', 'BJ3', :d2, 250, 1)",
            {{"d1", QDate(2006, 5, 10).startOfDay()}, {"d2", QDate(2006, 6, 21).startOfDay()}});
        p.grantClerk({"main_frm/action_customerstatement"});
        QString log =
            p.runAll({"statement 00001 王芳（未建档） --from 2006-05-05 --out <home>/s.tsv",
                      "statement 王芳 --out <home>/twice.pdf",
                      "statement 00001 --from 2006-06-30 --to 2006-06-01 --out <home>/bad.pdf",
                      "statement 00001 00404 --out <home>/none.pdf", "statement 00001 --out <home>/s.doc",
                      "statement --out <home>/x.pdf", "--user 李四 statement 00001 --out <home>/c.pdf",
                      "--user 李四 receivables --out <home>/c.tsv", "receivables --as-of 2006-06-25 --out <home>/r.tsv",
                      "receivables --out <home>/r.pdf", "statement 00001 王芳（未建档） --out <home>/s.xlsx"});
        for (const char* name : {"s.tsv", "r.tsv"}) {
            QFile f(p.folder() + '/' + name);
            QVERIFY(f.open(QIODevice::ReadOnly));
            log += name + (":\n" + QString::fromUtf8(f.readAll()));
        }
        OLVEND_COMPARE_GOLDEN("tools/receivables.txt", log);
        QFile pdf(p.folder() + "/c.pdf");
        QVERIFY(pdf.open(QIODevice::ReadOnly) && pdf.read(4) == "%PDF");
    }
};

QTEST_MAIN(TestCtlPayouts)
#include "test_ctl_payouts.moc"
