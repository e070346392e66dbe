#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include "data/data_module.h"
#include "data/permission_checker.h"
#include "data/setting_scrambler.h"
#include "reports/engine/report_expression.h"
#include "support/golden.h"
#include "support/test_books.h"

// The command-line companion run as a program, as a user would: its global
// options, the commands of the program folder and the books, its usage and
// exit codes, and what it prints with nothing of Qt's.
class TestOlvendctl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void initPreparesTheFolderOnce();
    void bookCommands();
    void errorsExitOne();
    void createBook();
    void createBookOnTheServer();
    void wrongUseShowsTheUsage();
    void answerAloneWithoutRuntimeFolder();
    void reportStatementsOnlyRead();
    void printDocuments();

private:
    struct Result {
        int code;
        QString out;
        QString err;
    };
    Result ctl(const QStringList& args, const QString& home = {}, const QString& platform = {});
    QTemporaryDir m_home;
};

// Runs as from cron or a root shell: without XDG_RUNTIME_DIR.
TestOlvendctl::Result TestOlvendctl::ctl(const QStringList& args, const QString& home, const QString& platform) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("XDG_RUNTIME_DIR");
    if (!platform.isEmpty()) {
        env.insert("QT_QPA_PLATFORM", platform);
    }
    p.setProcessEnvironment(env);
    p.start(OLVENDCTL_PATH, QStringList{"--home", home.isEmpty() ? m_home.path() : home} + args);
    if (!p.waitForFinished(60000)) {
        return {-1, "timeout", {}};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2,
            QString::fromUtf8(p.readAllStandardOutput()).trimmed(), QString::fromUtf8(p.readAllStandardError())};
}

void TestOlvendctl::initTestCase() {
    QCOMPARE(ctl({"init"}).code, 0);
}

void TestOlvendctl::initPreparesTheFolderOnce() {
    for (const char* file : {"config.ini", "db/System.db", "db/UserAccountBook001.db"}) {
        QVERIFY2(QFile::exists(m_home.filePath(file)), file);
    }
    const Result again = ctl({"init"});
    QCOMPARE(again.code, 0);
    QVERIFY(again.out.contains("已经初始化"));
    // Commands on a folder not prepared say so and make nothing there.
    QTemporaryDir empty;
    const Result r = ctl({"next-code", "goods", "code"}, empty.path());
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains("init"));
    QVERIFY(!QFile::exists(empty.filePath("db")));
}

// One happy path each of the commands on the books and their users; the
// rules behind them are tested with their classes (numbering, log-in).
void TestOlvendctl::bookCommands() {
    QCOMPARE(ctl({"books"}).out, QString("1\t默认帐册\tdb/UserAccountBook001.db"));
    QCOMPARE(ctl({"--today", "2006-12-25", "next-code", "Receipt_Head", "BillNo"}).out, QString("AA0612250001"));
    QCOMPARE(
        ctl({"--book", "默认帐册", "--today", "2006-12-25", "next-code", "receipt_head", "billno", "--count", "2"}).out,
        QString("AA0612250002\nAA0612250003"));
    // Advances the counter of the books' names that create-book uses.
    QCOMPARE(ctl({"next-code", "AccountBook", "DatabaseName"}).out, QString("UserAccountBook002"));
    QCOMPARE(ctl({"next-code", "payout", "subject", "--propose"}).out, QString("4"));
    const Result nobody = ctl({"check-permission", "nobody", "Action1", "main_frm"});
    QCOMPARE(nobody.code, 1);
    QCOMPARE(nobody.err, QString("找不到用户: nobody\n"));
    const Result wrong = ctl({"login", "超级用户", "x"});
    QCOMPARE(wrong.code, 1);
    QCOMPARE(wrong.out, QString("密码错误,请重新输入密码"));
}

// Answers on stdout, messages on stderr, exit code 1.
void TestOlvendctl::errorsExitOne() {
    const Result r = ctl({"next-code", "Foo", "Bar"});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QString("字段[Foo.Bar]的数据库中的自增值没有定义\n"));
    QCOMPARE(r.out, QString());
    const Result bad = ctl({"--today", "2006-02-30", "next-code", "goods", "code"});
    QCOMPARE(bad.code, 1);
    QVERIFY(!bad.err.isEmpty());
    QCOMPARE(bad.out, QString());
    const Result unknown = ctl({"--book", "没有这个账本", "next-code", "goods", "code"});
    QCOMPARE(unknown.code, 1);
    QVERIFY(unknown.err.contains("没有这个账本"));
    // A command that runs out of memory ends with a message, not in
    // std::terminate.
    qputenv("OLVENDCTL_TEST_FAIL_ALLOCATION", "books");
    const Result oom = ctl({"books"});
    qunsetenv("OLVENDCTL_TEST_FAIL_ALLOCATION");
    QCOMPARE(oom.code, 1);
    QCOMPARE(oom.err, QString("内存不足，命令没有完成\n"));
    QCOMPARE(oom.out, QString());
}

void TestOlvendctl::createBook() {
    const Result made = ctl({"create-book", "分公司", "--from", "默认帐册", "--description", "分公司的账"});
    QCOMPARE(made.code, 0);
    // The name counter was advanced once already by bookCommands.
    QCOMPARE(made.out, QString("2\t分公司\tdb/UserAccountBook003.db"));
    QVERIFY(QFile::exists(m_home.filePath("db/UserAccountBook003.db")));
    QCOMPARE(ctl({"create-book", "分公司", "--from", "默认帐册"}).err, QString("新帐册的名称不能和现有帐册重名\n"));
    QCOMPARE(ctl({"create-book", "新的"}).code, 2);
    // The new book logs in like the one it was copied from.
    QCOMPARE(ctl({"--book", "分公司", "login", "超级用户", ""}).out, QString("ok"));
}

// On the server kind the list and the books are on the server: a book made
// here is a schema of the server database, and --book reaches it.
void TestOlvendctl::createBookOnTheServer() {
    if (!TestBooks::postgresConfigured()) {
        if (qEnvironmentVariableIsSet("OLVEND_REQUIRE_PG")) {
            QFAIL("OLVEND_TEST_PG is not set");
        }
        QSKIP("no PostgreSQL server configured");
    }
    TestBooks::TestProgram program(true);
    program.connect("postgres");
    const Result made = ctl({"create-book", "分公司", "--from", "默认帐册"}, program.folder());
    QCOMPARE(made.code, 0);
    QCOMPARE(made.out, QString("2\t分公司\tuseraccountbook002"));
    QCOMPARE(ctl({"books"}, program.folder()).out, QString("1\t默认帐册\tpublic\n2\t分公司\tuseraccountbook002"));
    QCOMPARE(ctl({"--book", "分公司", "login", "超级用户", ""}, program.folder()).out, QString("ok"));
}

// An unknown command lists every command; a known one used wrongly shows
// its own usage only, even before any book exists. Qt's notice of a
// missing runtime folder is dropped, its errors are not.
void TestOlvendctl::wrongUseShowsTheUsage() {
    const Result unknown = ctl({"frobnicate"});
    QCOMPARE(unknown.code, 2);
    QCOMPARE(unknown.out, QString());
    OLVEND_COMPARE_GOLDEN("tools/usage.txt", unknown.err);
    QCOMPARE(ctl({}).err, unknown.err);
    const Result wrong = ctl({"import", "goods", "--group"});
    QCOMPARE(wrong.code, 2);
    QCOMPARE(wrong.out, QString());
    OLVEND_COMPARE_GOLDEN("tools/usage_import.txt", wrong.err);
    for (const QStringList& args : {QStringList{"login", "only-one"}, QStringList{"books", "extra"},
                                    // A global option given twice is refused, not settled by its order.
                                    QStringList{"--today", "2006-01-01", "--today=2006-01-02", "books"}}) {
        const Result r = ctl(args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.out.isEmpty() && r.err.startsWith("usage: olvendctl"), qPrintable(args.join(' ')));
    }
    const Result noPlatform = ctl({"books"}, {}, "no-such-platform");
    QVERIFY2(noPlatform.err.contains("no-such-platform"), qPrintable(noPlatform.err));
    QVERIFY(noPlatform.code != 0);
}

// Scripts read `2>&1`: a command prints its answer and nothing of Qt's.
void TestOlvendctl::answerAloneWithoutRuntimeFolder() {
    QFile rows(m_home.filePath("rows.tsv"));
    QVERIFY(rows.open(QIODevice::WriteOnly));
    rows.write("code\tname\nSP1\t合页\n");
    rows.close();
    for (const auto& [args, answer] :
         {std::pair{QStringList{"check-permission", "超级用户", "Action_Delete", "main_frm"}, "allowed"},
          std::pair{QStringList{"login", "超级用户", ""}, "ok"},
          std::pair{QStringList{"unscramble", ScrambleSetting("olvend_db")}, "olvend_db"},
          std::pair{QStringList{"report", QStringLiteral(OLVEND_SOURCE_DIR "/Report/List.rmf"), "--rows",
                                m_home.filePath("rows.tsv"), "--out", m_home.filePath("r.rmp")},
                    "1"},
          std::pair{QStringList{"render", m_home.filePath("r.rmp"), "--out", m_home.filePath("r.pdf")}, "1"}}) {
        const Result r = ctl(args);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, QString::fromUtf8(answer));
        QCOMPARE(r.code, 0);
    }
}

// A report's statement may read the book and nothing else, however it is
// put together: a write is refused, and so is more than one statement; a
// single query is run.
void TestOlvendctl::reportStatementsOnlyRead() {
    for (const QString& engine : {QStringLiteral("sqlite"), QStringLiteral("postgres")}) {
        if (engine == "postgres" && !TestBooks::postgresConfigured()) {
            continue;
        }
        TestBooks::TestProgram program(true);
        program.connect(engine);
        Database& db = program.context().data().main();
        const int units = db.scalar("select count(*) from unit").toInt();
        QVERIFY(units > 0);
        QDir(program.folder()).mkpath("Report");
        QVERIFY(
            QFile::copy(QStringLiteral(OLVEND_SOURCE_DIR "/Report/List.rmf"), program.folder() + "/Report/List.rmf"));
        const QString out = program.folder() + "/x.htm";
        for (const auto& [statement, allowed] :
             {std::pair{"delete from unit", false}, std::pair{"select 1 as n; delete from unit", false},
              std::pair{"commit; delete from unit", false},
              std::pair{"select count(*) as n from unit where unit_name like '%米'", true}}) {
            const Result r = ctl({"report", "List", "--sql", statement, "--out", out}, program.folder());
            QVERIFY2(r.code == (allowed ? 0 : 1), qPrintable(engine + ": " + statement + ": " + r.out + r.err));
            QCOMPARE(QFile::remove(out), allowed);
            QCOMPARE(db.scalar("select count(*) from unit").toInt(), units);
        }
    }
}

// The printouts (whose texts the printout tests check on both engines)
// written in the format the file's extension names; an unknown number is
// said on stderr, and nothing is written.
void TestOlvendctl::printDocuments() {
    TestBooks::TestProgram program(true);
    program.connect("sqlite");
    for (const QString& sql :
         QString(
             "insert into Sys_user (User_name, User_Group, type) values ('收款组', '0', 0), ('小李', '收款组', 1); "
             "insert into Provider (Corp_code, provider_name) values ('P001', '王五五金厂'); "
             "insert into goods (code, Goods_name, Goods_unit, Provide_corp) values ('SP001', '不锈钢合页', 'UN001', "
             "'P001'); insert into Quotation_Head (BillNo, Add_ClientName, state) values ('BJ001', '张三', 1); "
             "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money, "
             "SortNo) values ('BJ001', 'SP001', 2, 17.5, 35, 5.65, 23.7, 1); insert into Receipt_Head (QuotationNo, "
             "BillNo, TotalPrice, BillType, state) values ('BJ001', 'SK001', 1234, 1, 1)")
             .split("; ")) {
        program.context().data().main().execute(sql);
    }
    const struct {
        QStringList args;  // the output file's name last
        int code;
        QStringList shown;  // or a part of the message
    } cases[] = {
        {{"print", "quotation", "BJ001", "--out", "q.htm"}, 0, {"订货单号: BJ001", "不锈钢合页", "17.50", "35.00"}},
        {{"print", "receipt", "SK001", "--out", "r.htm"},
         0,
         {"收据号: SK001", "人民币(大写): " + chineseCapitalAmount(1234)}},
        {{"print", "purchase", "BJ001", "--out", "p.pdf"}, 0, {"%PDF"}},
        {{"print", "purchase", "BJ999", "--out", "x.pdf"}, 1, {"找不到订货单: BJ999"}},
        {{"print", "quotation", "BJ001", "--out", "x.doc"}, 1, {"x.doc"}},
        // A user whose group has no right to print quotations.
        {{"--user", "小李", "print", "purchase", "BJ001", "--out", "n.pdf"}, 3, {PermissionChecker::refusalText()}},
        {{"print", "invoice", "BJ001", "--out", "x.pdf"}, 2, {"usage: olvendctl"}},
    };
    for (auto c : cases) {
        const QString file = program.folder() + "/" + c.args.last();
        c.args.last() = file;
        const Result r = ctl(c.args, program.folder());
        const QString what = c.args.join(' ');
        QVERIFY2(r.code == c.code, qPrintable(what + ": " + r.err));
        QVERIFY2(QFile::exists(file) == (c.code == 0), qPrintable(what));
        QCOMPARE(r.out, c.code == 0 ? QString("1") : QString());
        QVERIFY2(c.code != 0 || r.err.isEmpty(), qPrintable(r.err));
        QFile f(file);
        const QString text = c.code == 0 && f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : r.err;
        for (const QString& shown : c.shown) {
            QVERIFY2(text.contains(c.code == 0 ? shown.toHtmlEscaped() : shown), qPrintable(what + ": " + shown));
        }
    }
}

QTEST_GUILESS_MAIN(TestOlvendctl)
#include "test_olvendctl.moc"
