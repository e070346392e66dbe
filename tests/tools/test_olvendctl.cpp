#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include "data/data_module.h"
#include "data/setting_scrambler.h"
#include "support/ctl_call.h"
#include "support/golden.h"
#include "support/test_books.h"

// The command-line companion run as a program, as a user would: its global
// options, the commands of the program folder and the books, its usage and
// exit codes, and what it prints with nothing of Qt's.
class TestOlvendctl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCOMPARE(ctl({"init"}).code, 0); }
    void commandsOnTheFolderAndTheBooks();
    void failuresOutsideTheCommands();
    void createBookOnTheServer();
    void reportStatementsOnlyRead();
    void printDocuments();

private:
    using Result = CtlCall::Result;
    Result ctl(const QStringList& args, const QString& home = {}, const QString& platform = {});
    // What the command did, as CtlBook::run writes it; the folders as <home>
    // and <src>.
    QString run(const QStringList& args, const QString& home = {});
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
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QString TestOlvendctl::run(const QStringList& args, const QString& home) {
    return CtlCall::transcript(args, ctl(args, home))
        .replace(home.isEmpty() ? m_home.path() : home, "<home>")
        .replace(OLVEND_SOURCE_DIR, "<src>");
}

// One happy path each of the commands on the folder, the books and their
// users (the rules behind them are tested with their classes: numbering,
// log-in); answers on stdout, messages on stderr, exit code 1; wrong use
// shows the usage with exit code 2: an unknown command lists every
// command, a known one used wrongly its own usage only. Scripts read
// `2>&1`: a command prints its answer and nothing of Qt's.
void TestOlvendctl::commandsOnTheFolderAndTheBooks() {
    for (const char* file : {"config.ini", "db/System.db", "db/UserAccountBook001.db"}) {
        QVERIFY2(QFile::exists(m_home.filePath(file)), file);
    }
    QFile rows(m_home.filePath("rows.tsv"));
    QVERIFY(rows.open(QIODevice::WriteOnly) && rows.write("code\tname\nSP1\t合页\n") > 0);
    rows.close();
    // The books' name counter advanced by next-code is the one create-book
    // uses; the new book logs in like the one it was copied from; a global
    // option given twice is refused, not settled by its order.
    const QString script =
        "init|books|--today 2006-12-25 next-code Receipt_Head BillNo|--book 默认帐册 --today 2006-12-25 next-code "
        "receipt_head billno --count 2|next-code AccountBook DatabaseName|next-code payout subject --propose|"
        "check-permission nobody Action1 main_frm|check-permission 超级用户 Action_Delete main_frm|login 超级用户 x|"
        "login 超级用户 |next-code Foo Bar|--today 2006-02-30 next-code goods code|--book 没有这个账本 next-code goods "
        "code|create-book 分公司 --from 默认帐册 --description 分公司的账|create-book 分公司 --from 默认帐册|"
        "create-book 新的|--book 分公司 login 超级用户 |unscramble @scrambled@|report <src>/Report/List.rmf --rows "
        "<home>/rows.tsv --out <home>/r.rmp|render <home>/r.rmp --out <home>/r.pdf|login only-one|books extra|"
        "--today 2006-01-01 --today=2006-01-02 books|import goods --group|frobnicate";
    QString log;
    for (QString line : script.split('|')) {
        line.replace("<home>", m_home.path()).replace("<src>", OLVEND_SOURCE_DIR);
        log += run(line.replace("@scrambled@", ScrambleSetting("olvend_db")).split(' '));
    }
    OLVEND_COMPARE_GOLDEN("tools/olvendctl.txt", log);
    QVERIFY(QFile::exists(m_home.filePath("db/UserAccountBook003.db")) && QFile::exists(m_home.filePath("r.pdf")));
    QCOMPARE(ctl({}).err, ctl({"frobnicate"}).err);
    // Commands on a folder not prepared say so and make nothing there.
    QTemporaryDir empty;
    QCOMPARE(run({"next-code", "goods", "code"}, empty.path()),
             QString("$ next-code goods code\nexit 1\n! 程序目录尚未初始化，请先运行 olvendctl init\n"));
    QVERIFY(!QFile::exists(empty.filePath("db")));
}

// A command that runs out of memory ends with a message, not in
// std::terminate; Qt's errors at start are not dropped.
void TestOlvendctl::failuresOutsideTheCommands() {
    qputenv("OLVENDCTL_TEST_FAIL_ALLOCATION", "books");
    const QString oom = run({"books"});
    qunsetenv("OLVENDCTL_TEST_FAIL_ALLOCATION");
    QCOMPARE(oom, QString("$ books\nexit 1\n! 内存不足，命令没有完成\n"));
    const Result noPlatform = ctl({"books"}, {}, "no-such-platform");
    QVERIFY2(noPlatform.err.contains("no-such-platform"), qPrintable(noPlatform.err));
    QVERIFY(noPlatform.code != 0);
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
    QString log;
    for (const QStringList& args : {QStringList{"create-book", "分公司", "--from", "默认帐册"},
                                    {"books"},
                                    {"--book", "分公司", "login", "超级用户", ""}}) {
        log += run(args, program.folder());
    }
    QCOMPARE(
        log,
        QString(
            "$ create-book 分公司 --from 默认帐册\nexit 0\n> 2\t分公司\tuseraccountbook002\n$ books\nexit 0\n"
            "> 1\t默认帐册\tpublic\n> 2\t分公司\tuseraccountbook002\n$ --book 分公司 login 超级用户 \nexit 0\n> ok\n"));
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
// written in the format the file's extension names; an unknown number, an
// unknown format, a missing right and wrong use are said on stderr, and
// nothing is written.
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
    // The last but one: a user whose group has no right to print
    // quotations.
    const QString home = program.folder();
    QString log;
    for (const QString& line :
         QString("print quotation BJ001 --out @/q.htm|print receipt SK001 --out @/r.htm|print purchase BJ001 --out "
                 "@/p.pdf|print purchase BJ999 --out @/x.pdf|print quotation BJ001 --out @/x.doc|--user 小李 print "
                 "purchase BJ001 --out @/x.pdf|print invoice BJ001 --out @/x.pdf")
             .split('|')) {
        log += run(QString(line).replace('@', home).split(' '), home);
    }
    OLVEND_COMPARE_GOLDEN("tools/print_documents.txt", log);
    QCOMPARE(QDir(home).entryList({"*.htm", "*.pdf", "*.doc"}, QDir::Files, QDir::Name),
             QStringList({"p.pdf", "q.htm", "r.htm"}));
    // What they print is the printouts' (test_document_printouts): here the
    // document named and the format.
    for (const auto& [file, shown] :
         {std::pair{"q.htm", "订货单号: BJ001"}, std::pair{"r.htm", "收据号: SK001"}, std::pair{"p.pdf", "%PDF"}}) {
        QFile f(home + '/' + file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY2(QString::fromUtf8(f.readAll()).contains(QString::fromUtf8(shown)), file);
    }
}

QTEST_GUILESS_MAIN(TestOlvendctl)
#include "test_olvendctl.moc"
