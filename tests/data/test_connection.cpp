#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <atomic>

#include "data/account_books.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/first_start.h"
#include "data/setting_scrambler.h"
#include "platform/errors.h"
#include "support/test_books.h"

using TestBooks::TestProgram;

// Start-up records, settings, the first start and the connections.
class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void recordsStartInOrder();
    void databaseKind_data();
    void databaseKind();
    void pictureFolder_data();
    void pictureFolder();
    void firstStartPreparesAnEmptyFolder();
    void firstStartLeavesAPreparedFolderAlone();
    void connectsTheLastUsedBook();
    void missingConfigNamesWhatIsMissing();
    void missingBookFileIsAClearError();
    void bookFileThatIsNotADatabase();
    void databaseWithoutBookTablesIsRefused();
    void failedSwitchLeavesNoConnectionAndOtherBooksUntouched();
    void serverKindConnectsWithScrambledSettings();
    void serverDownIsAClearError();
    void lookupFieldValue();
    void lookupRefusesNamesThatAreNotIdentifiers();
    void sharedQueryAndCommand();
    void sqliteBooksUseWal();
    void manyOpenARollbackJournalBookAtOnce();
    void boundListsKeepValuesOutOfTheStatement();
};

void TestConnection::recordsStartInOrder() {
    TestProgram p(false);
    AppContext& c = p.context();
    QVERIFY(c.CurrentUser.UserName.isEmpty());
    QCOMPARE(c.CurrentAccountBook.BookID, 0);
    QCOMPARE(c.SoftwareInfo.ProductName, QString("Olvend"));
    QCOMPARE(c.SoftwareInfo.Version, QString("3.0"));
    QCOMPARE(c.SoftwareInfo.Title, QString("Olvend3.0"));
    QVERIFY(c.SoftwareInfo.IsAccess);
}

void TestConnection::databaseKind_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("isAccess");
    QTest::newRow("sqlserver lower") << "sqlserver" << false;
    QTest::newRow("SQLSERVER") << "SQLSERVER" << false;
    QTest::newRow("postgresql any case") << "PostgreSQL" << false;
    QTest::newRow("two words") << "sql server" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("access") << "ACCESS" << true;
}

void TestConnection::databaseKind() {
    QFETCH(QString, value);
    QFETCH(bool, isAccess);
    QTemporaryDir dir;
    QFile f(dir.filePath("config.ini"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("[sys_setting]\ndbtype=%1\n").arg(value).toUtf8());
    f.close();
    ScriptedPrompter prompter;
    AppContext c(AppPaths(dir.path()), prompter);
    QCOMPARE(c.SoftwareInfo.IsAccess, isAccess);
}

void TestConnection::pictureFolder_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");  // relative to the program folder when it starts with '~'
    QTest::newRow("default") << "default"
                             << "~Pic/Goods/";
    QTest::newRow("Default is a literal folder") << "Default"
                                                 << "Default";
    QTest::newRow("windows folder") << "D:\\Pics\\"
                                    << "D:/Pics/";
    QTest::newRow("unset") << ""
                           << "~Pic/Goods/";
}

void TestConnection::pictureFolder() {
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    IniFile ini(dir.filePath("config.ini"));
    ini.writeString("SYS_Setting", "picPath", value);
    ScriptedPrompter prompter;
    AppContext c(AppPaths(dir.path()), prompter);
    if (expected.startsWith('~')) {
        expected = c.paths().programFolder() + expected.mid(1);
    }
    QCOMPARE(c.PictureFolder, expected);
}

void TestConnection::firstStartPreparesAnEmptyFolder() {
    TestProgram p(false);
    AppContext& c = p.context();
    QVERIFY(FirstStart::isNeeded(c));
    QVERIFY(FirstStart::run(c));
    QVERIFY(QFileInfo::exists(c.paths().configFile()));
    QVERIFY(QFileInfo::exists(c.paths().systemDatabase()));
    QVERIFY(QFileInfo::exists(c.paths().programFolder() + "db/UserAccountBook001.db"));
    QVERIFY(QFileInfo(c.paths().defaultPictureFolder()).isDir());
    IniFile ini(c.paths().configFile());
    QCOMPARE(ini.readString("db", "path"), QString("db/UserAccountBook001.db"));
    c.data().ConnectDatabases();
    const auto books = AccountBooks(c.data().system()).offered();
    QCOMPARE(books.size(), 1);
    QCOMPARE(books[0].AccountBookName, QString("默认帐册"));
    QCOMPARE(books[0].Type, 0);
    QCOMPARE(books[0].FilePath, QString("db/UserAccountBook001.db"));
    QCOMPARE(ini.readString("DefaultSetting", "AccountBook"), QString::number(books[0].ID));
    // The next book name continues the numbering.
    QCOMPARE(c.data().main().scalar("select CurrID from Sys_ID_Autoincrement where tablename='accountbook'").toString(),
             QString("UserAccountBook001"));
}

void TestConnection::firstStartLeavesAPreparedFolderAlone() {
    TestProgram p(true);
    const QString before = IniFile(p.context().paths().configFile()).toText();
    QVERIFY(!FirstStart::run(p.context()));
    QCOMPARE(IniFile(p.context().paths().configFile()).toText(), before);
}

void TestConnection::connectsTheLastUsedBook() {
    TestProgram p(true);
    p.restart();
    AppContext& c = p.context();
    c.data().ConnectDatabases();
    QVERIFY(c.data().isMainOpen());
    QVERIFY(c.data().main().location().endsWith("db/UserAccountBook001.db"));
    QCOMPARE(c.data().main().scalar("select count(*) from Sys_user").toInt(), 2);
}

void TestConnection::missingConfigNamesWhatIsMissing() {
    TestProgram p(true);
    QFile::remove(p.context().paths().configFile());
    p.restart();
    try {
        p.context().data().ConnectDatabases();
        QFAIL("expected an error");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains("[db] path"), qPrintable(e.message()));
    }
    QVERIFY(!p.context().data().isMainOpen());
}

void TestConnection::missingBookFileIsAClearError() {
    TestProgram p(true);
    p.context().SettingsFile.setString("db", "path", "db\\UserAccountBook077.db");
    try {
        p.context().data().ConnectDatabases();
        QFAIL("expected an error");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains("UserAccountBook077.db"), qPrintable(e.message()));
        QVERIFY(e.message().contains("不存在"));
    }
    // Opening a missing book never creates an empty file in its place.
    QVERIFY(!QFileInfo::exists(p.context().paths().programFolder() + "db/UserAccountBook077.db"));
}

void TestConnection::bookFileThatIsNotADatabase() {
    TestProgram p(true);
    const QString path = p.context().paths().programFolder() + "db/garbage.db";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();
    p.context().SettingsFile.setString("db", "path", "db/garbage.db");
    try {
        p.context().data().ConnectDatabases();
        QFAIL("expected an error");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains("garbage.db"), qPrintable(e.message()));
        QVERIFY2(e.message().contains("不是有效的数据库文件"), qPrintable(e.message()));
    }
    QCOMPARE(QFileInfo(path).size(), 8192);
}

void TestConnection::databaseWithoutBookTablesIsRefused() {
    TestProgram p(true);
    const QString path = p.context().paths().programFolder() + "db/other.db";
    {
        auto db = Database::openSqlite(path, "other", {.mustExist = false});
        db->query("create table something (x integer)");
    }
    p.context().SettingsFile.setString("db", "path", "db/other.db");
    QVERIFY_THROWS_EXCEPTION(DbError, p.context().data().ConnectDatabases());
    auto db = Database::openSqlite(path, "other");
    QVERIFY(!db->hasTable("Sys_user"));
}

void TestConnection::failedSwitchLeavesNoConnectionAndOtherBooksUntouched() {
    TestProgram p(true);
    AppContext& c = p.context();
    c.data().ConnectDatabases();
    const QString bookFile = c.paths().programFolder() + "db/UserAccountBook001.db";
    const int usersBefore = c.data().main().scalar("select count(*) from Sys_user").toInt();
    c.SettingsFile.setString("db", "path", "db/none.db");
    QVERIFY_THROWS_EXCEPTION(DbError, c.data().ConnectDatabases());
    QVERIFY(!c.data().isMainOpen());
    QVERIFY_THROWS_EXCEPTION(DbError, c.data().main());
    auto db = Database::openSqlite(bookFile, "check");
    QCOMPARE(db->scalar("select count(*) from Sys_user").toInt(), usersBefore);
}

void TestConnection::serverKindConnectsWithScrambledSettings() {
    if (!TestBooks::postgresConfigured()) {
        if (qEnvironmentVariableIsSet("OLVEND_REQUIRE_PG")) {
            QFAIL("OLVEND_TEST_PG is not set");
        }
        QSKIP("no PostgreSQL server configured");
    }
    TestProgram p(true);
    p.connect("postgres");
    // What connect() wrote is read back through UnscrambleSetting.
    const ServerParams sp = TestBooks::serverParams(p.serverBook()->serverDatabase());
    QVERIFY(p.context().SettingsFile.readString("SQL_SERVER", "Database") != sp.database);
    QVERIFY(!p.context().SoftwareInfo.IsAccess);
    Database& db = p.context().data().main();
    QVERIFY(!db.isAccess());
    QCOMPARE(db.scalar("select current_database()").toString(), sp.database);
    // The list of books lives in the server database, in a schema of its
    // own, and names the book the database held in its default schema; a
    // [db] path written for the embedded kind means that book.
    Database& list = p.context().data().system();
    QVERIFY(!list.isAccess());
    QCOMPARE(list.scalar("select current_schema()").toString(), QString("olvend_system"));
    const auto books = AccountBooks(list).offered();
    QCOMPARE(books.size(), 1);
    QCOMPARE(books[0].AccountBookName, QString("默认帐册"));
    QCOMPARE(books[0].FilePath, QString("public"));
    QCOMPARE(books[0].ID, p.context().SettingsFile.readString("DefaultSetting", "AccountBook").toInt());
    QCOMPARE(db.scalar("select current_schema()").toString(), QString("public"));
    // Connecting again neither adds a second row nor changes the first.
    p.context().data().ConnectDatabases();
    QCOMPARE(AccountBooks(p.context().data().system()).offered().size(), 1);
    // A book whose schema is not on the server is a clear error, never
    // another book's data.
    p.context().SettingsFile.setString("db", "path", "useraccountbook077");
    try {
        p.context().data().ConnectDatabases();
        QFAIL("expected an error");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains("useraccountbook077"), qPrintable(e.message()));
    }
    QVERIFY(!p.context().data().isMainOpen());
}

void TestConnection::serverDownIsAClearError() {
    TestProgram p(true);
    IniFile& ini = p.context().SettingsFile;
    ini.setString("SYS_Setting", "DBType", "SQLSERVER");
    ini.setString("SQL_SERVER", "server", "127.0.0.1");
    ini.setString("SQL_SERVER", "port", "1");
    ini.setString("SQL_SERVER", "Database", ScrambleSetting("olvend"));
    ini.setString("SQL_SERVER", "Username", ScrambleSetting("nobody"));
    ini.save();
    p.restart();
    try {
        p.context().data().ConnectDatabases();
        QFAIL("expected an error");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains("127.0.0.1:1/olvend"), qPrintable(e.message()));
        QVERIFY(!e.driverText().isEmpty());
    }
}

void TestConnection::lookupFieldValue() {
    TestProgram p(true);
    DataModule& dm = p.context().data();
    dm.ConnectDatabases();
    dm.main().query("insert into unit (unit_code, Unit_name) values ('UN100', 'x'), ('UN101', 'x')");
    QCOMPARE(dm.LookupFieldValue("unit", "unit_code", "UN003", "Unit_name").toString(), QString("套"));
    QCOMPARE(dm.LookupFieldValue("unit", "Unit_name", "x", "unit_code").toString().left(4), QString("UN10"));
    QVERIFY(dm.LookupFieldValue("unit", "unit_code", "nothing", "Unit_name").isNull());
    // Hostile text is a value, never SQL.
    QVERIFY(dm.LookupFieldValue("unit", "unit_code", "x' or '1'='1", "Unit_name").isNull());
}

void TestConnection::lookupRefusesNamesThatAreNotIdentifiers() {
    TestProgram p(true);
    DataModule& dm = p.context().data();
    dm.ConnectDatabases();
    QVERIFY_THROWS_EXCEPTION(UserError, dm.LookupFieldValue("unit; drop table unit", "unit_code", "x", "Unit_name"));
    QVERIFY_THROWS_EXCEPTION(UserError, dm.LookupFieldValue("unit", "unit_code", "x", "Unit_name from goods --"));
    QVERIFY(dm.main().hasTable("unit"));
}

void TestConnection::sharedQueryAndCommand() {
    TestProgram p(true);
    DataModule& dm = p.context().data();
    dm.ConnectDatabases();
    QCOMPARE(dm.ExecSharedCommand("update unit set remark=:r where unit_code like 'UN00%'", {{"r", "备注"}}), 6);
    QSqlQuery& q = dm.OpenSharedQuery("select count(*) from unit where remark=:r", {{"r", "备注"}});
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 6);
    try {
        dm.OpenSharedQuery("select * from no_such_table");
        QFAIL("expected an error");
    } catch (const DbError& e) {
        // The user reads which book; the statement is in the details.
        QVERIFY(e.message().contains("默认帐册") || e.message().contains("UserAccountBook001"));
        QVERIFY2(!e.message().contains("no_such_table"), qPrintable(e.message()));
        QVERIFY(e.details().contains("select * from no_such_table"));
    }
}

void TestConnection::sqliteBooksUseWal() {
    TestProgram p(true);
    p.context().data().ConnectDatabases();
    Database& db = p.context().data().main();
    QCOMPARE(db.scalar("PRAGMA journal_mode").toString().toLower(), QString("wal"));
    QCOMPARE(db.scalar("PRAGMA synchronous").toInt(), 2);  // FULL
}

// The first start leaves the system database in rollback-journal mode;
// the first programs to open it turn it into a write-ahead log, and when
// several open it at the same moment each one must wait for the others,
// not fail at once for the lock.
void TestConnection::manyOpenARollbackJournalBookAtOnce() {
    for (int round = 0; round < 20; ++round) {
        QTemporaryDir dir;
        const QString file = dir.filePath("book.db");
        {
            auto db = Database::openSqlite(file, "book", {.mustExist = false});
            db->query("create table t (n integer)");
            db->query("PRAGMA journal_mode=DELETE");
        }
        constexpr int kThreads = 6;
        std::atomic<int> ready{0};
        QStringList errors;
        QMutex mutex;
        QList<QThread*> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.append(QThread::create([&] {
                ++ready;
                while (ready < kThreads) {
                    QThread::yieldCurrentThread();
                }
                try {
                    auto db = Database::openSqlite(file, "book");
                    db->scalar("select count(*) from t");
                } catch (const OlvendError& e) {
                    QMutexLocker lock(&mutex);
                    errors << e.message() + " " + e.details();
                }
            }));
        }
        for (QThread* t : threads) {
            t->start();
        }
        for (QThread* t : threads) {
            t->wait();
            delete t;
        }
        QVERIFY2(errors.isEmpty(), qPrintable(QString::number(round) + ": " + errors.join('\n')));
    }
}

// An "in (...)" list binds every value; quotes and wildcards match literally.
void TestConnection::boundListsKeepValuesOutOfTheStatement() {
    TestBooks::FreshBook book("sqlite");
    Database& db = book.db();
    db.execute("insert into unit (unit_code, Unit_name) values ('X1', 'a''b'), ('X2', '%'), ('X3', 'c')");
    QVariantMap params{{"n", "ignored"}};
    const QString list = Database::bindList("u", {"a'b", "%", "') or 1=1 --"}, &params);
    QCOMPARE(list, QString(":u0,:u1,:u2"));
    QCOMPARE(params.size(), 4);
    QCOMPARE(params.value("u0").toString(), QString("a'b"));
    QCOMPARE(db.scalar(QString("select count(*) from unit where Unit_name in (%1)").arg(list), params).toInt(), 2);
    QVariantMap none;
    QCOMPARE(Database::bindList("u", {}, &none), QString());
    QVERIFY(none.isEmpty());
}

QTEST_GUILESS_MAIN(TestConnection)
#include "test_connection.moc"
