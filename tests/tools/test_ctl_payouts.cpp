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
};

QTEST_MAIN(TestCtlPayouts)
#include "test_ctl_payouts.moc"
