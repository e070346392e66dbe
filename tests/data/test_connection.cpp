#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTest>

#include "book_checks.h"
#include "data/account_books.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/first_start.h"
#include "data/setting_scrambler.h"
#include "platform/errors.h"
#include "support/test_books.h"

using BookChecks::thrown;
using TestBooks::TestProgram;

namespace {
// The refusal to connect ("" when it went through); it leaves no book open.
QString connectRefusal(AppContext& c) {
    try {
        c.data().ConnectDatabases();
    } catch (const DbError& e) {
        if (c.data().isMainOpen()) {
            return "a book is open after: " + e.message();
        }
        return e.message();
    }
    return QString();
}
}  // namespace

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    // config.ini's kind of database and picture folder ("default": the program's own).
    void settingsOfConfigIni() {
        const struct {
            const char* kind;
            bool isAccess;
            const char* pictures;
            QString folder;
        } cases[] = {{"SQLSERVER", false, "default", "~Pic/Goods/"},
                     {"PostgreSQL", false, "Default", "Default"},
                     {"sql server", true, "D:\\Pics\\", "D:/Pics/"}};
        for (const auto& c : cases) {
            QTemporaryDir dir;
            IniFile(dir.filePath("config.ini")).writeString("sys_setting", "dbtype", c.kind);
            IniFile(dir.filePath("config.ini")).writeString("SYS_Setting", "picPath", c.pictures);
            ScriptedPrompter prompter;
            AppContext context(AppPaths(dir.path()), prompter);
            QVERIFY2(context.SoftwareInfo.IsAccess == c.isAccess, c.kind);
            QCOMPARE(context.PictureFolder, QString(c.folder).replace("~", context.paths().programFolder()));
        }
    }
    // The first start makes the settings and the system database with its first book, once.
    void firstStartPreparesAnEmptyFolder() {
        TestProgram p(false);
        AppContext& c = p.context();
        QVERIFY(FirstStart::isNeeded(c));
        QVERIFY(FirstStart::run(c));
        QVERIFY(QFileInfo(c.paths().defaultPictureFolder()).isDir());
        c.data().ConnectDatabases();
        const auto books = AccountBooks(c.data().system()).offered();
        QCOMPARE(books.size(), 1);
        QCOMPARE(books[0].AccountBookName + books[0].FilePath, QString("默认帐册db/UserAccountBook001.db"));
        const QString before = IniFile(c.paths().configFile()).toText();
        // The embedded kind is written down, so a later start does not depend on the default.
        const IniFile ini(c.paths().configFile());
        QCOMPARE(QStringList({ini.readString("SYS_Setting", "DBType"), ini.readString("SYS_Setting", "picPath"),
                              ini.readString("DefaultSetting", "Username"),
                              ini.readString("DefaultSetting", "AccountBook")}),
                 QStringList({"SQLITE", "default", "超级用户", QString::number(books[0].ID)}));
        QVERIFY(c.SoftwareInfo.IsAccess);
        QVERIFY(!FirstStart::run(c));
        QCOMPARE(IniFile(c.paths().configFile()).toText(), before);
    }
    // Each reason a book cannot be connected is said, naming the file; no file made or changed.
    void refusedBooksAreSaidAndLeftAlone() {
        TestProgram p(true);
        AppContext& c = p.context();
        const QString folder = c.paths().programFolder();
        c.data().ConnectDatabases();
        const int users = c.data().main().scalar("select count(*) from Sys_user").toInt();
        const QString garbage = BookChecks::written(folder + "db/garbage.db", QByteArray(8192, 'x'));
        Database::openSqlite(folder + "db/other.db", "other", {.mustExist = false})
            ->query("create table something (x integer)");
        const QList<QStringList> cases{{"db\\UserAccountBook077.db", "UserAccountBook077.db", "不存在"},
                                       {"db/garbage.db", "garbage.db", "不是有效的数据库文件"},
                                       {"db/other.db"}};
        for (const QStringList& path : cases) {
            c.SettingsFile.setString("db", "path", path[0]);
            const QString said = connectRefusal(c);
            QVERIFY2(!said.isEmpty() && said.contains(path.value(1)) && said.contains(path.value(2)), qPrintable(said));
            QVERIFY_THROWS_EXCEPTION(DbError, c.data().main());
        }
        QVERIFY(!QFileInfo::exists(folder + "db/UserAccountBook077.db"));
        QCOMPARE(QFileInfo(garbage).size(), 8192);
        QVERIFY(!Database::openSqlite(folder + "db/other.db", "other")->hasTable("Sys_user"));
        QCOMPARE(Database::openSqlite(folder + "db/UserAccountBook001.db", "check")
                     ->scalar("select count(*) from Sys_user")
                     .toInt(),
                 users);
        // No config.ini: what is missing is named.
        QFile::remove(c.paths().configFile());
        p.restart();
        const QString said = connectRefusal(p.context());
        QVERIFY2(said.contains("[db] path"), qPrintable(said));
    }
    // The server kind's settings are scrambled (every server test program connects with them); the list of books
    // lives in a schema of its own and names the default schema's book once.
    void serverKindListsItsBooks() {
        if (!TestBooks::postgresConfigured()) {
            QVERIFY2(!qEnvironmentVariableIsSet("OLVEND_REQUIRE_PG"), "OLVEND_TEST_PG is not set");
            QSKIP("no PostgreSQL server configured");
        }
        TestProgram p(true);
        p.connect("postgres");
        Database& list = p.context().data().system();
        QCOMPARE(list.scalar("select current_schema()").toString(), QString("olvend_system"));
        const auto books = AccountBooks(list).offered();
        QCOMPARE(books.size(), 1);
        QCOMPARE(books[0].AccountBookName + " " + books[0].FilePath, QString("默认帐册 public"));
        // A book whose schema is not there is a clear error.
        p.context().SettingsFile.setString("db", "path", "useraccountbook077");
        const QString said = connectRefusal(p.context());
        QVERIFY2(said.contains("useraccountbook077"), qPrintable(said));
    }
    void serverDownIsAClearError() {
        TestProgram p(true);
        IniFile& ini = p.context().SettingsFile;
        ini.setString("SYS_Setting", "DBType", "SQLSERVER");
        ini.setString("SQL_SERVER", "server", "127.0.0.1");
        ini.setString("SQL_SERVER", "port", "1");
        ini.setString("SQL_SERVER", "Database", ScrambleSetting("olvend"));
        ini.setString("SQL_SERVER", "Username", ScrambleSetting("nobody"));
        ini.save();
        p.restart();
        const auto e = thrown<DbError>([&] { p.context().data().ConnectDatabases(); });
        QVERIFY(e && !e->driverText().isEmpty());
        QVERIFY2(e->message().contains("127.0.0.1:1/olvend"), qPrintable(e->message()));
    }
    // A second start connects the book used last (WAL, full sync); the data module's shared helpers.
    void sharedLookupQueryAndCommand() {
        TestProgram p(true);
        p.restart();
        DataModule& dm = p.context().data();
        dm.ConnectDatabases();
        QVERIFY(dm.main().location().endsWith("db/UserAccountBook001.db"));
        QCOMPARE(dm.main().scalar("PRAGMA journal_mode").toString().toLower(), QString("wal"));
        QCOMPARE(dm.main().scalar("PRAGMA synchronous").toInt(), 2);  // FULL
        QCOMPARE(dm.LookupFieldValue("unit", "unit_code", "UN003", "Unit_name").toString(), QString("套"));
        // Hostile text is a value, never SQL; names must be identifiers.
        for (const char* code : {"nothing", "x' or '1'='1"}) {
            QVERIFY(dm.LookupFieldValue("unit", "unit_code", code, "Unit_name").isNull());
        }
        QVERIFY_THROWS_EXCEPTION(UserError,
                                 dm.LookupFieldValue("unit; drop table unit", "unit_code", "x", "Unit_name"));
        QVERIFY_THROWS_EXCEPTION(UserError, dm.LookupFieldValue("unit", "unit_code", "x", "Unit_name from goods --"));
        QCOMPARE(dm.ExecSharedCommand("update unit set remark=:r where unit_code like 'UN00%'", {{"r", "备注"}}), 6);
        QSqlQuery& q = dm.OpenSharedQuery("select count(*) from unit where remark=:r", {{"r", "备注"}});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 6);
        const auto e = thrown<DbError>([&] { dm.OpenSharedQuery("select * from no_such_table"); });
        QVERIFY(e && (e->message().contains("默认帐册") || e->message().contains("UserAccountBook001")));
        QVERIFY2(!e->message().contains("no_such_table") && e->details().contains("select * from no_such_table"),
                 qPrintable(e->message()));
    }
    // An "in (...)" list binds every value; quotes and wildcards match literally.
    void boundListsKeepValuesOutOfTheStatement() {
        TestBooks::FreshBook book("sqlite");
        Database& db = book.db();
        db.execute("insert into unit (unit_code, Unit_name) values ('X1', 'a''b'), ('X2', '%'), ('X3', 'c')");
        QVariantMap params{{"n", "ignored"}};
        const QString list = Database::bindList("u", {"a'b", "%", "') or 1=1 --"}, &params);
        QCOMPARE(list, QString(":u0,:u1,:u2"));
        QCOMPARE(QString::number(params.size()) + params.value("u0").toString(), QString("4a'b"));
        QCOMPARE(db.scalar(QString("select count(*) from unit where Unit_name in (%1)").arg(list), params).toInt(), 2);
        QVariantMap none;
        QVERIFY(Database::bindList("u", {}, &none).isEmpty() && none.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "test_connection.moc"
