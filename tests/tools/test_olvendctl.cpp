#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include "data/data_module.h"
#include "data/database.h"
#include "data/setting_scrambler.h"
#include "platform/build_info.h"
#include "platform/ini_file.h"
#include "support/ctl_call.h"
#include "support/golden.h"
#include "support/test_books.h"
#include "support/test_paths.h"

// The command-line companion run as a program, as a user would: its global options, the commands of the program folder
// and the books, its usage and exit codes, and what it prints with nothing of Qt's.
class TestOlvendctl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCOMPARE(ctl({"init"}).code, 0); }
    // One happy path each of the commands on the folder, the books and their users (the rules: their classes' suites);
    // answers on stdout, messages on stderr with exit 1, wrong use the usage with exit 2 (a known command's own usage
    // only); nothing of Qt's is printed, as scripts read `2>&1`.
    void commandsOnTheFolderAndTheBooks() {
        QFile rows(m_home.filePath("rows.tsv"));
        QVERIFY(rows.open(QIODevice::WriteOnly) && rows.write("code\tname\nSP1\t合页\n") > 0);
        rows.close();
        // next-code advances the counter create-book uses; a global option given twice is refused.
        const QString script =
            "init|books|--today 2006-12-25 next-code Receipt_Head BillNo|--book 默认帐册 --today 2006-12-25 next-code "
            "receipt_head billno --count 2|next-code AccountBook DatabaseName|next-code payout subject --propose|"
            "check-permission nobody Action1 main_frm|check-permission 超级用户 Action_Delete main_frm|login 超级用户 "
            "x|login 超级用户 |next-code Foo Bar|--today 2006-02-30 next-code goods code|--book 没有这个账本 next-code "
            "goods code|create-book 分公司 --from 默认帐册 --description 分公司的账|create-book 分公司 --from 默认帐册|"
            "create-book 新的|--book 分公司 login 超级用户 |unscramble @scrambled@|report <src>/Report/List.rmf --rows "
            "<home>/rows.tsv --out <home>/r.rmp|render <home>/r.rmp --out <home>/r.pdf|login only-one|books extra|"
            "--today 2006-01-01 --today=2006-01-02 books|import goods --group|frobnicate";
        QString log;
        for (QString line : script.split('|')) {
            line.replace("<home>", m_home.path()).replace("<src>", TestPaths::sourceFolder());
            log += run(line.replace("@scrambled@", ScrambleSetting("olvend_db")).split(' '));
        }
        OLVEND_COMPARE_GOLDEN("tools/olvendctl.txt", log);
        QVERIFY(QFile::exists(m_home.filePath("db/UserAccountBook003.db")) && QFile::exists(m_home.filePath("r.pdf")));
        // Commands on a folder not prepared say so and make nothing there.
        QTemporaryDir empty;
        QCOMPARE(run({"next-code", "goods", "code"}, empty.path()),
                 QString("$ next-code goods code\nexit 1\n! 程序目录尚未初始化，请先运行 olvendctl init\n"));
        QVERIFY(!QFile::exists(empty.filePath("db")));
        // --version names the version and the folder the commands work on; --help is the usage, asked for.
        const Result version = ctl({"--version"});
        QCOMPARE(version.out + version.err + QString::number(version.code),
                 "Olvend " + BuildInfo::version() + "\n程序目录: " + m_home.path() + "/\n0");
        QCOMPARE(ctl({"--version", "books"}).code, 2);  // it takes no command
        const Result help = ctl({"--help"});
        QVERIFY2(help.code == 0 && help.err.isEmpty() && help.out.startsWith("usage: olvendctl"), qPrintable(help.out));
    }
    // A command that runs out of memory ends with a message, not in std::terminate; Qt's errors at start are not
    // dropped.
    void failuresOutsideTheCommands() {
        qputenv("OLVENDCTL_TEST_FAIL_ALLOCATION", "books");
        const QString oom = run({"books"});
        qunsetenv("OLVENDCTL_TEST_FAIL_ALLOCATION");
        QCOMPARE(oom, QString("$ books\nexit 1\n! 内存不足，命令没有完成\n"));
        const Result noPlatform = ctl({"books"}, {}, "no-such-platform");
        QVERIFY2(noPlatform.code != 0 && noPlatform.err.contains("no-such-platform"), qPrintable(noPlatform.err));
    }
    // A report's statement may read the book and nothing else, however it is put together: a write is refused, and so
    // is more than one statement; a single query is run.
    void reportStatementsOnlyRead() {
        for (const QString& engine : {QStringLiteral("sqlite"), QStringLiteral("postgres")}) {
            if (engine == "postgres" && !TestBooks::postgresConfigured()) {
                continue;
            }
            TestBooks::TestProgram program(true);
            program.connect(engine);
            Database& db = program.context().data().main();
            const int units = db.scalar("select count(*) from unit").toInt();
            QVERIFY(units > 0);
            const QString out = program.folder() + "/x.htm";
            for (const auto& [statement, allowed] :
                 {std::pair{"delete from unit", false}, std::pair{"select 1 as n; delete from unit", false},
                  std::pair{"commit; delete from unit", false},
                  std::pair{"select count(*) as n from unit where unit_name like '%米'", true}}) {
                const Result r =
                    ctl({"report", TestPaths::sourceFolder() + "/Report/List.rmf", "--sql", statement, "--out", out},
                        program.folder());
                QVERIFY2(r.code == (allowed ? 0 : 1), qPrintable(engine + ": " + statement + ": " + r.out + r.err));
                QCOMPARE(QFile::remove(out), allowed);
                QCOMPARE(db.scalar("select count(*) from unit").toInt(), units);
            }
        }
    }
    // use-server writes the server's settings as the program reads them, the names scrambled; a port that is no
    // port, an empty name, a value that would break its line, a folder not prepared and wrong use change nothing;
    // without --password the one kept stays. On a real server the next command works on its books.
    void serverSettingsAreWritten() {
        QTemporaryDir home;
        QCOMPARE(ctl({"use-server", "db.lan", "5433", "olvend", "clerk"}, home.path()).err,
                 QString("程序目录尚未初始化，请先运行 olvendctl init\n"));
        QVERIFY(!QFile::exists(home.filePath("config.ini")));
        QCOMPARE(ctl({"init"}, home.path()).code, 0);
        const QString configFile = home.filePath("config.ini");
        IniFile before(configFile);
        QCOMPARE(
            run({"use-server", "db.lan", "99999", "olvend", "clerk"}, home.path()),
            QString("$ use-server db.lan 99999 olvend clerk\nexit 1\n! 端口必须是 1 到 65535 之间的数字: 99999\n"));
        QCOMPARE(ctl({"use-server", "db.lan", "5433", " ", "clerk"}, home.path()).err,
                 QString("服务器、数据库和用户名都不能为空\n"));
        QCOMPARE(ctl({"use-server", "db.lan", "5433", "olvend", "clerk", "--password", "\t秘"}, home.path()).err,
                 QString("设置[password]的值无法写入config.ini，请换一个\n"));
        QCOMPARE(ctl({"use-server", "db.lan", "5433"}, home.path()).code, 2);
        QCOMPARE(IniFile(configFile).toText(), before.toText());
        const Result set = ctl({"use-server", "db.lan", "5433", "olvend", "clerk", "--password", "秘 密"}, home.path());
        QCOMPARE(set.out + set.err + QString::number(set.code),
                 QString("已设置数据库服务器: clerk@db.lan:5433/olvend\n0"));
        QCOMPARE(ctl({"use-server", "db.lan", "5433", "olvend", "clerk"}, home.path()).code, 0);
        const IniFile after(configFile);
        QCOMPARE(after.readString("SYS_Setting", "DBType"), QString("POSTGRESQL"));
        QCOMPARE(after.readString("SQL_SERVER", "server") + ':' + after.readString("SQL_SERVER", "port"),
                 QString("db.lan:5433"));
        QCOMPARE(QStringList({UnscrambleSetting(after.readString("SQL_SERVER", "Database")),
                              UnscrambleSetting(after.readString("SQL_SERVER", "Username")),
                              UnscrambleSetting(after.readString("SQL_SERVER", "password"))}),
                 QStringList({"olvend", "clerk", "秘 密"}));
        if (!TestBooks::postgresConfigured()) {
            return;
        }
        const ServerParams server = TestBooks::serverParams("olvend_ctl_use_server");
        auto admin = Database::openServer(TestBooks::serverParams("postgres"), "admin");
        admin->execute("drop database if exists olvend_ctl_use_server");
        admin->execute("create database olvend_ctl_use_server");
        const Result used = ctl({"use-server", server.host, QString::number(server.port), server.database, server.user,
                                 "--password", server.password},
                                home.path());
        QCOMPARE(used.code, 0);
        const Result books = ctl({"books"}, home.path());
        QVERIFY2(books.code == 0 && books.out.contains(QStringLiteral("默认帐册\tpublic")),
                 qPrintable(books.out + books.err));
        admin->execute("drop database olvend_ctl_use_server with (force)");
    }

private:
    using Result = CtlCall::Result;
    Result ctl(const QStringList& args, const QString& home = {}, const QString& platform = {});
    // CtlCall's transcript, the folders as <home> and <src>.
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
    p.start(TestPaths::olvendctl(), QStringList{"--home", home.isEmpty() ? m_home.path() : home} + args);
    if (!p.waitForFinished(60000)) {
        return {-1, "timeout", {}};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QString TestOlvendctl::run(const QStringList& args, const QString& home) {
    return CtlCall::transcript(args, ctl(args, home))
        .replace(home.isEmpty() ? m_home.path() : home, "<home>")
        .replace(TestPaths::sourceFolder(), "<src>");
}

QTEST_GUILESS_MAIN(TestOlvendctl)
#include "test_olvendctl.moc"
