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
#include "support/test_books.h"

// The command-line companion, run as a user would.
class TestOlvendctl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void initPreparesTheFolderOnce();
    void booksListsTheBooks();
    void nextCode();
    void nextCodeErrorsExitOne();
    void checkPermission();
    void login();
    void unscramble();
    void createBook();
    void createBookOnTheServer();
    void commandsNeedAPreparedFolder();
    void unknownBookIsAClearError();
    void wrongUseExitsTwo();
    void answerAloneWithoutRuntimeFolder_data();
    void answerAloneWithoutRuntimeFolder();
    void othersStillReachStderr();
    void reportStatementsOnlyRead_data();
    void reportStatementsOnlyRead();
    void printDocuments_data();
    void printDocuments();

private:
    struct Result {
        int code;
        QString out;
        QString err;
    };
    Result ctl(const QStringList& args, const QString& home = {});
    QTemporaryDir m_home;
};

// Runs as from cron or a root shell: without XDG_RUNTIME_DIR.
TestOlvendctl::Result TestOlvendctl::ctl(const QStringList& args, const QString& home) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("XDG_RUNTIME_DIR");
    p.setProcessEnvironment(env);
    p.start(OLVENDCTL_PATH, QStringList{"--home", home.isEmpty() ? m_home.path() : home} + args);
    if (!p.waitForFinished(60000)) {
        return {-1, "timeout", {}};
    }
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(p.readAllStandardError())};
}

void TestOlvendctl::initTestCase() {
    const Result r = ctl({"init"});
    QCOMPARE(r.code, 0);
}

void TestOlvendctl::initPreparesTheFolderOnce() {
    QVERIFY(QFile::exists(m_home.filePath("config.ini")));
    QVERIFY(QFile::exists(m_home.filePath("db/System.db")));
    QVERIFY(QFile::exists(m_home.filePath("db/UserAccountBook001.db")));
    const Result again = ctl({"init"});
    QCOMPARE(again.code, 0);
    QVERIFY(again.out.contains("已经初始化"));
}

void TestOlvendctl::booksListsTheBooks() {
    const Result r = ctl({"books"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("1\t默认帐册\tdb/UserAccountBook001.db"));
}

void TestOlvendctl::nextCode() {
    QCOMPARE(ctl({"--today", "2006-12-25", "next-code", "Receipt_Head", "BillNo"}).out, QString("AA0612250001"));
    QCOMPARE(ctl({"--today", "2006-12-25", "next-code", "RECEIPT_HEAD", "billno"}).out, QString("AA0612250002"));
    QCOMPARE(ctl({"--book", "默认帐册", "--today", "2006-12-26", "next-code", "receipt_head", "billno"}).out,
             QString("AA0612260001"));
    QCOMPARE(ctl({"next-code", "AccountBook", "DatabaseName"}).out, QString("UserAccountBook002"));
    QCOMPARE(ctl({"next-code", "payout", "subject", "--propose"}).out, QString("4"));
    QCOMPARE(ctl({"next-code", "payout", "subject", "--propose"}).out, QString("4"));
}

void TestOlvendctl::nextCodeErrorsExitOne() {
    // Answers on stdout, messages on stderr.
    const Result r = ctl({"next-code", "Foo", "Bar"});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QString("字段[Foo.Bar]的数据库中的自增值没有定义\n"));
    QCOMPARE(r.out, QString());
    const Result bad = ctl({"--today", "2006-02-30", "next-code", "goods", "code"});
    QCOMPARE(bad.code, 1);
    QVERIFY(!bad.err.isEmpty());
    QCOMPARE(bad.out, QString());
    // A command that runs out of memory ends with a message, not in
    // std::terminate.
    qputenv("OLVENDCTL_TEST_FAIL_ALLOCATION", "books");
    const Result oom = ctl({"books"});
    qunsetenv("OLVENDCTL_TEST_FAIL_ALLOCATION");
    QCOMPARE(oom.code, 1);
    QCOMPARE(oom.err, QString("内存不足，命令没有完成\n"));
    QCOMPARE(oom.out, QString());
}

void TestOlvendctl::checkPermission() {
    const Result admin = ctl({"check-permission", "超级用户", "Action_Delete", "Form_Quotation_List"});
    QCOMPARE(admin.code, 0);
    QCOMPARE(admin.out, QString("allowed"));
    const Result nobody = ctl({"check-permission", "nobody", "Action1", "main_frm"});
    QCOMPARE(nobody.code, 1);
}

void TestOlvendctl::login() {
    QCOMPARE(ctl({"login", "超级用户", ""}).out, QString("ok"));
    const Result wrong = ctl({"login", "超级用户", "x"});
    QCOMPARE(wrong.code, 1);
    QCOMPARE(wrong.out, QString("密码错误,请重新输入密码"));
    QCOMPARE(ctl({"login", "管理员组", ""}).code, 1);
}

void TestOlvendctl::unscramble() {
    const Result r = ctl({"unscramble", ScrambleSetting("olvend_db")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("olvend_db"));
}

void TestOlvendctl::createBook() {
    const Result made = ctl({"create-book", "分公司", "--from", "默认帐册", "--description", "分公司的账"});
    QCOMPARE(made.code, 0);
    // The name counter was advanced once already by the next-code test.
    QCOMPARE(made.out, QString("2\t分公司\tdb/UserAccountBook003.db"));
    QVERIFY(QFile::exists(m_home.filePath("db/UserAccountBook003.db")));
    QCOMPARE(ctl({"create-book", "分公司", "--from", "默认帐册"}).err, QString("新帐册的名称不能和现有帐册重名\n"));
    QCOMPARE(ctl({"create-book", "   ", "--from", "默认帐册"}).err, QString("请输入新帐册名称\n"));
    QCOMPARE(ctl({"create-book", "新的"}).code, 2);
    // The new book logs in like the one it was copied from.
    QCOMPARE(ctl({"--book", "分公司", "login", "超级用户", ""}).out, QString("ok"));
    QVERIFY(ctl({"books"}).out.contains("分公司"));
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
    Database& first = program.context().data().main();
    first.execute("update Sys_Corp set Corp_name = '总公司'");
    const Result made = ctl({"create-book", "分公司", "--from", "默认帐册"}, program.folder());
    QCOMPARE(made.code, 0);
    QCOMPARE(made.out, QString("2\t分公司\tuseraccountbook002"));
    QCOMPARE(ctl({"books"}, program.folder()).out, QString("1\t默认帐册\tpublic\n2\t分公司\tuseraccountbook002"));
    QCOMPARE(ctl({"--book", "分公司", "login", "超级用户", ""}, program.folder()).out, QString("ok"));
    // The copy is the new book's own: a change there stays there.
    auto copy = Database::openServer(TestBooks::serverParams(program.serverBook()->serverDatabase()), "分公司",
                                     "useraccountbook002");
    QCOMPARE(copy->scalar("select Corp_name from Sys_Corp").toString(), QString("总公司"));
    QCOMPARE(ctl({"--book", "分公司", "next-code", "unit", "unit_code"}, program.folder()).code, 0);
    QVERIFY(copy->scalar("select CurrID from Sys_ID_Autoincrement where tablename='unit'") !=
            first.scalar("select CurrID from Sys_ID_Autoincrement where tablename='unit'"));
}

void TestOlvendctl::commandsNeedAPreparedFolder() {
    QTemporaryDir empty;
    const Result r = ctl({"next-code", "goods", "code"}, empty.path());
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains("init"));
    QVERIFY(!QFile::exists(empty.filePath("db")));
}

void TestOlvendctl::unknownBookIsAClearError() {
    const Result r = ctl({"--book", "没有这个账本", "next-code", "goods", "code"});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains("没有这个账本"));
}

void TestOlvendctl::wrongUseExitsTwo() {
    QCOMPARE(ctl({}).code, 2);
    QCOMPARE(ctl({"frobnicate"}).code, 2);
    QCOMPARE(ctl({"login", "only-one"}).code, 2);
    QCOMPARE(ctl({"books", "extra"}).code, 2);
    // A global option given twice is refused, not settled by its order.
    const Result twice = ctl({"--today", "2006-01-01", "--today=2006-01-02", "books"});
    QCOMPARE(twice.code, 2);
    QVERIFY(twice.out.isEmpty() && twice.err.startsWith("usage: olvendctl"));
}

// Scripts read `2>&1`: a command prints its answer and nothing of Qt's.
void TestOlvendctl::answerAloneWithoutRuntimeFolder_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("answer");
    const QString rows = m_home.filePath("rows.tsv");
    const QString templ = QStringLiteral(OLVEND_SOURCE_DIR "/Report/List.rmf");
    QTest::newRow("check-permission") << QStringList{"check-permission", "超级用户", "Action_Delete", "main_frm"}
                                      << QString("allowed");
    QTest::newRow("login") << QStringList{"login", "超级用户", ""} << QString("ok");
    QTest::newRow("unscramble") << QStringList{"unscramble", ScrambleSetting("x")} << QString("x");
    QTest::newRow("report") << QStringList{"report", templ, "--rows", rows, "--out", m_home.filePath("r.rmp")}
                            << QString("1");
    QTest::newRow("render") << QStringList{"render", m_home.filePath("r.rmp"), "--out", m_home.filePath("r.pdf")}
                            << QString("1");
}

void TestOlvendctl::answerAloneWithoutRuntimeFolder() {
    QFETCH(QStringList, args);
    QFETCH(QString, answer);
    QFile rows(m_home.filePath("rows.tsv"));
    QVERIFY(rows.open(QIODevice::WriteOnly));
    rows.write("code\tname\nSP1\t合页\n");
    rows.close();
    const Result r = ctl(args);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out, answer);
    QCOMPARE(r.code, 0);
}

// Dropping Qt's notice silences nothing else: the program's own messages
// and Qt's errors still reach stderr.
void TestOlvendctl::othersStillReachStderr() {
    const Result r = ctl({"frobnicate"});
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.startsWith("usage: olvendctl"));
    QVERIFY(!r.err.contains("XDG_RUNTIME_DIR"));
    // An unknown command lists every command; a known one used wrongly
    // shows its own usage only, even before any book exists.
    QVERIFY(r.err.contains("\n  init ") && r.err.contains("\n  import ") && r.err.contains("\n  prices show"));
    const Result wrong = ctl({"import", "goods", "--group"});
    QCOMPARE(wrong.code, 2);
    QVERIFY2(wrong.err.startsWith("usage: olvendctl") && wrong.err.contains("\n  import customers|suppliers|goods"),
             qPrintable(wrong.err));
    QVERIFY2(!wrong.err.contains("\n  init ") && !wrong.err.contains("\n  export "), qPrintable(wrong.err));
    QCOMPARE(wrong.out, QString());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("XDG_RUNTIME_DIR");
    env.insert("QT_QPA_PLATFORM", "no-such-platform");
    p.setProcessEnvironment(env);
    p.start(OLVENDCTL_PATH, {"--home", m_home.path(), "books"});
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains("no-such-platform"), qPrintable(err));
    QVERIFY(p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0);
}

void TestOlvendctl::reportStatementsOnlyRead_data() {
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("allowed");
    const QStringList refused{"delete from unit", "select 1 as n; delete from unit", "commit; delete from unit",
                              "select 1 as n; commit; delete from unit; select 1 as n"};
    const QStringList allowed{"select * from unit", "select count(*) as n from unit where unit_name like '%米'"};
    for (const QString& engine : {QStringLiteral("sqlite"), QStringLiteral("postgres")}) {
        if (engine == "postgres" && !TestBooks::postgresConfigured()) {
            continue;
        }
        for (const QString& statement : refused) {
            QTest::addRow("%s: %s", qPrintable(engine), qPrintable(statement)) << engine << statement << false;
        }
        for (const QString& statement : allowed) {
            QTest::addRow("%s: %s", qPrintable(engine), qPrintable(statement)) << engine << statement << true;
        }
    }
}

// A report's statement may read the book and nothing else, however it is
// put together: a write is refused, and so is more than one statement; a
// single query is run.
void TestOlvendctl::reportStatementsOnlyRead() {
    QFETCH(QString, engine);
    QFETCH(QString, statement);
    QFETCH(bool, allowed);
    TestBooks::TestProgram program(true);
    program.connect(engine);
    Database& db = program.context().data().main();
    const int units = db.scalar("select count(*) from unit").toInt();
    QVERIFY(units > 0);
    QDir(program.folder()).mkpath("Report");
    QVERIFY(QFile::copy(QStringLiteral(OLVEND_SOURCE_DIR "/Report/List.rmf"), program.folder() + "/Report/List.rmf"));
    const Result r =
        ctl({"report", "List", "--sql", statement, "--out", program.folder() + "/x.htm"}, program.folder());
    QVERIFY2(r.code == (allowed ? 0 : 1), qPrintable(r.out + r.err));
    QCOMPARE(QFile::exists(program.folder() + "/x.htm"), allowed);
    QCOMPARE(db.scalar("select count(*) from unit").toInt(), units);
}

void TestOlvendctl::printDocuments_data() {
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QStringList>("args");  // the output file's name follows
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<QString>("message");
    const QString notice = QStringLiteral("客户未订购此单，请勿打印，一经打印，计入总帐");
    for (const QString& engine : {QStringLiteral("sqlite"), QStringLiteral("postgres")}) {
        if (engine == "postgres" && !TestBooks::postgresConfigured()) {
            continue;
        }
        const QByteArray name = engine.toUtf8();
        const char* e = name.constData();
        QTest::addRow("%s: quotation", e)
            << engine << QStringList{"print", "quotation", "BJ001", "--out", "q.htm"} << 0
            << QStringList{"订货单号: BJ001", "不锈钢合页", "17.50", "35.00"} << QStringList{notice} << QString();
        QTest::addRow("%s: warning", e) << engine << QStringList{"print", "warning", "BJ001", "--out", "w.htm"} << 0
                                        << QStringList{"订货单号: BJ001", notice} << QStringList{} << QString();
        QTest::addRow("%s: purchase", e) << engine << QStringList{"print", "purchase", "BJ001", "--out", "p.htm"} << 0
                                         << QStringList{"采购单号: BJ001", "王五五金厂 小计", "11.30"}
                                         << QStringList{"17.50", "35.00"} << QString();
        QTest::addRow("%s: receipt", e) << engine << QStringList{"print", "receipt", "SK001", "--out", "r.htm"} << 0
                                        << QStringList{"收据号: SK001", "人民币(大写): " + chineseCapitalAmount(1234),
                                                       "未收: -1,199.00"}
                                        << QStringList{} << QString();
        QTest::addRow("%s: pdf", e) << engine << QStringList{"print", "quotation", "BJ001", "--out", "q.pdf"} << 0
                                    << QStringList{} << QStringList{} << QString();
        QTest::addRow("%s: unknown quotation", e)
            << engine << QStringList{"print", "purchase", "BJ999", "--out", "x.pdf"} << 1 << QStringList{}
            << QStringList{} << QString("找不到订货单: BJ999");
        QTest::addRow("%s: unknown receipt", e)
            << engine << QStringList{"print", "receipt", "BJ001", "--out", "x.pdf"} << 1 << QStringList{}
            << QStringList{} << QString("找不到收款收据: BJ001");
        QTest::addRow("%s: unknown format", e) << engine << QStringList{"print", "quotation", "BJ001", "--out", "x.doc"}
                                               << 1 << QStringList{} << QStringList{} << QString("x.doc");
        // A user whose group has no right to print quotations.
        QTest::addRow("%s: without the right", e)
            << engine << QStringList{"--user", "小李", "print", "purchase", "BJ001", "--out", "n.pdf"} << 3
            << QStringList{} << QStringList{} << PermissionChecker::refusalText();
    }
    QTest::addRow("unknown printout") << QString("sqlite") << QStringList{"print", "invoice", "BJ001", "--out", "x.pdf"}
                                      << 2 << QStringList{} << QStringList{} << QString("usage: olvendctl");
    QTest::addRow("no file") << QString("sqlite") << QStringList{"print", "quotation", "BJ001"} << 2 << QStringList{}
                             << QStringList{} << QString("usage: olvendctl");
}

// The printouts as the report windows make them, written in the format the
// file's extension names; an unknown number is said on stderr.
void TestOlvendctl::printDocuments() {
    QFETCH(QString, engine);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    QFETCH(QString, message);
    TestBooks::TestProgram program(true);
    program.connect(engine);
    Database& db = program.context().data().main();
    db.execute("insert into Sys_user (User_name, User_Group, type) values ('收款组', '0', 0), ('小李', '收款组', 1)");
    db.execute("insert into Provider (Corp_code, provider_name) values ('P001', '王五五金厂')");
    db.execute(
        "insert into goods (code, Goods_name, Goods_unit, Provide_corp) values ('SP001', '不锈钢合页', 'UN001', "
        "'P001')");
    db.execute("insert into Quotation_Head (BillNo, Add_ClientName, state) values ('BJ001', '张三', 1)");
    db.execute(
        "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money, SortNo) "
        "values ('BJ001', 'SP001', 2, 17.5, 35, 5.65, 23.7, 1)");
    db.execute(
        "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, state) values ('BJ001', 'SK001', 1234, "
        "1, 1)");
    db.execute(
        "insert into Receipt_Detail (HeadNo, GoodsClassName, GoodsClassUnit, QTY, Price, Total_Price) "
        "values ('BJ001', '合页', 'UN001', 2, 17, 35)");
    const QString file = program.folder() + "/" + args.last();
    args.last() = file;
    const Result r = ctl(args, program.folder());
    QCOMPARE(r.code, code);
    QCOMPARE(QFile::exists(file), code == 0);
    if (code != 0) {
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        return;
    }
    QCOMPARE(r.out, QString("1"));
    QCOMPARE(r.err, QString());
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray data = f.readAll();
    if (file.endsWith(".pdf")) {
        QVERIFY(data.startsWith("%PDF"));
        return;
    }
    const QString html = QString::fromUtf8(data);
    for (const QString& text : shown) {
        QVERIFY2(html.contains(text.toHtmlEscaped()), qPrintable(text));
    }
    for (const QString& text : hidden) {
        QVERIFY2(!html.contains(text.toHtmlEscaped()), qPrintable(text));
    }
}

QTEST_GUILESS_MAIN(TestOlvendctl)
#include "test_olvendctl.moc"
