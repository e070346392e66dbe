#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "admin/book_creator.h"
#include "admin/company_info_editor.h"
#include "admin/password_change.h"
#include "admin/settings_editor.h"
#include "data/book_checks.h"
#include "data/data_module.h"
#include "data/user_accounts.h"
#include "master/refusal.h"
#include "shell/login_service.h"
#include "support/test_books.h"

// Log-in, books, company, settings and password rules, on both engines.
class TestShellLogic : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { m_p = TestBooks::TestProgram::asAdministratorOnCurrentEngine(); }
    void cleanup() { m_p.reset(); }
    // The password is checked in the chosen book after the switch; each book logs into its own data; a
    // password kept as text is hashed at log-in (the rule: TestSchema::plainPasswordsAreHashedOnlyWhenAsked).
    void loginSwitchesBookThenChecksPassword() {
        const AccountBookRow first = firstBook();
        const AccountBookRow second = BookCreator(c()).create("第二账本", "用户账本", &first);
        main().execute("update Sys_user set password='旧密码' where User_name='超级用户'");
        LoginService login(c());
        login.loadAccountBooks();
        QVERIFY(login.books().size() == 2 && login.books()[1].ID == second.ID);
        QCOMPARE(login.logIn(second, "超级用户", "旧密码"), LoginService::Result::WrongPassword);
        QCOMPARE(c().CurrentUser.UserName + c().CurrentAccountBook.BookName, QString("超级用户第二账本"));  // still in
        QCOMPARE(IniFile(c().paths().configFile()).readString("DB", "Path"), second.FilePath);
        c().CurrentUser = {};
        QCOMPARE(login.logIn(second, "超级用户", ""), LoginService::Result::LoggedIn);
        if (isServer()) {
            QCOMPARE(main().scalar("select current_database()").toString(), m_p->serverBook()->serverDatabase());
            QCOMPARE(main().scalar("select current_schema()").toString(), second.FilePath);
        } else {
            QVERIFY(main().location().endsWith(second.FilePath));
        }
        QCOMPARE(c().CurrentUser.UserName + c().CurrentAccountBook.BookName, QString("超级用户第二账本"));
        IniFile ini(c().paths().configFile());
        QCOMPARE(ini.readString("DefaultSetting", "AccountBook") + ini.readString("DefaultSetting", "Username"),
                 QString::number(second.ID) + "超级用户");
        const QString count = QStringLiteral("select count(*) from unit where unit_code='UN008'");
        main().query("insert into unit (unit_code, Unit_name) values ('UN008', '桶')");
        QCOMPARE(login.logIn(login.books()[0], "超级用户", "旧密码"), LoginService::Result::LoggedIn);
        QCOMPARE(main().scalar(count).toInt(), 0);
        QVERIFY(c().CurrentUser.Password.startsWith("$argon2id$"));  // as read back from the book after the hashing
        QCOMPARE(login.logIn(second, "超级用户", ""), LoginService::Result::LoggedIn);
        m_p->restart();
        c().data().ConnectDatabases();
        QCOMPARE(main().scalar(count).toInt(), 1);
    }
    void lockedBookIsAClearError() {
        if (isServer()) {
            QSKIP("only an embedded book is a file another program can lock");
        }
        c().data().disconnect();
        auto holder = Database::openSqlite(c().paths().resolve("db/UserAccountBook001.db"), "holder");
        holder->query("PRAGMA locking_mode=EXCLUSIVE");
        holder->query("BEGIN EXCLUSIVE");
        c().data().setSqliteOptions({.busyTimeoutMs = 200});
        LoginService login(c());
        login.loadAccountBooks();
        const auto e = BookChecks::thrown<DbError>([&] { login.logIn(login.books()[0], "超级用户", ""); });
        QVERIFY2(e && e->message().contains("锁定") && e->message().contains("UserAccountBook001.db"),
                 qPrintable(e ? e->message() : "no error"));
        holder->query("ROLLBACK");
    }
    void createBookCopiesTheChosenBook() {
        const AccountBookRow chosen = firstBook();
        // Written through another connection while the program holds the book open.
        auto source = openBook(chosen);
        source->query("insert into unit (unit_code, Unit_name) values ('UN007', '卷')");
        source->query("insert into Quotation_Head (BillNo, Freight) values ('BJ0001', 5)");
        source->query("insert into Quotation_Detail (HeadNo, GoodsNo, Total_Price) values ('BJ0001', 'G1', 10)");
        if (isServer()) {
            source->query("create table extra_serial (id serial primary key, v varchar(10))");
            source->query("insert into extra_serial (v) values ('a')");
        }
        const AccountBookRow row = BookCreator(c()).create("  分公司  ", "分公司账本", &chosen);
        QCOMPARE(QStringList({row.AccountBookName, row.DatabaseName, row.FilePath}),
                 QStringList(
                     {"分公司", "UserAccountBook002", isServer() ? "useraccountbook002" : "db/UserAccountBook002.db"}));
        QCOMPARE(c().CurrentAccountBook.BookID, row.ID);
        QCOMPARE(AccountBooks(c().data().system()).findById(row.ID)->description, QString("分公司账本"));
        auto copy = openBook(row);
        QCOMPARE(copy->scalar("select Unit_name from unit where unit_code='UN007'").toString(), QString("卷"));
        const QString total = "select Total_Price from Query_Quotation_Head_list where BillNo='BJ0001'";
        QCOMPARE(copy->scalar("select Unit_name from Query_Goods_With_Corp_Unit where 1=0").toString(), QString());
        QCOMPARE(copy->scalar(total).toDouble(), 15.0);
        // Later changes stay in their own book, new keys and totals included.
        copy->query("insert into Quotation_Detail (HeadNo, GoodsNo, Total_Price) values ('BJ0001', 'G2', 1)");
        QCOMPARE(QList<double>({copy->scalar(total).toDouble(), source->scalar(total).toDouble()}),
                 QList<double>({16.0, 15.0}));
        copy->query("insert into unit (unit_code, Unit_name) values ('UN008', '桶')");
        source->query("insert into unit (unit_code, Unit_name) values ('UN009', '瓶')");
        QCOMPARE(copy->scalar("select id from unit where unit_code='UN008'").toInt(),
                 source->scalar("select id from unit where unit_code='UN009'").toInt());
        if (isServer()) {
            QCOMPARE(copy->scalar("insert into extra_serial (v) values ('b') returning id").toInt(), 2);
            QCOMPARE(source->scalar("insert into extra_serial (v) values ('c') returning id").toInt(), 2);
        }
        // Only an embedded book draws the file name from its counter.
        QCOMPARE(main().scalar("select CurrID from Sys_ID_Autoincrement where tablename='accountbook'").toString(),
                 c().SoftwareInfo.IsAccess ? QString("UserAccountBook002") : QString("UserAccountBook001"));
    }
    // Refused copies leave the list of books, the current book and the files as they were.
    void createBookRefusalsLeaveNoBook() {
        const AccountBookRow source = firstBook();
        AccountBookRow missing = source;
        missing.FilePath = isServer() ? "gone" : "db/gone.db";
        BookCreator creator(c());
        QCOMPARE(refusal([&] { creator.create("   ", "", &source); }), QString("请输入新帐册名称"));
        QCOMPARE(refusal([&] { creator.create("新账本", "", nullptr); }), QString("请选择一本帐册"));
        QCOMPARE(refusal([&] { creator.create("默认帐册", "", &source); }), QString("新帐册的名称不能和现有帐册重名"));
        const QString gone = refusal([&] { creator.create("新账本", "", &missing); });
        QVERIFY2(gone.contains(isServer() ? "gone" : "gone.db"), qPrintable(gone));
        Database& list = c().data().system();
        if (isServer()) {
            list.query("alter table AccountBook add constraint refuse_test check (description <> '拒绝')");
        } else {
            list.query(
                "create trigger refuse_test before insert on AccountBook when new.description = '拒绝' "
                "begin select raise(abort, 'refused'); end");
        }
        QVERIFY_THROWS_EXCEPTION(DbError, creator.create("新账本", "拒绝", &source));
        QVERIFY(AccountBooks(list).offered().size() == 1 && c().CurrentAccountBook.BookName.isEmpty());
        if (isServer()) {
            QCOMPARE(list.scalar("select count(*) from pg_namespace where nspname like 'useraccountbook%'").toInt(), 0);
        } else {
            QCOMPARE(QDir(c().paths().dbFolder()).entryList({"UserAccountBook002*"}, QDir::Files), QStringList());
        }
        // Nothing is left in the way of the next try (an embedded book's counter has moved on).
        const AccountBookRow row = creator.create("Shop", "用户账本", &source);
        QCOMPARE(row.DatabaseName, isServer() ? QString("UserAccountBook002") : QString("UserAccountBook003"));
        QCOMPARE(openBook(row)->scalar("select count(*) from Sys_user where User_name='超级用户'").toInt(), 1);
        QCOMPARE(refusal([&] { creator.create("SHOP", "", &source); }), QString("新帐册的名称不能和现有帐册重名"));
        QCOMPARE(AccountBooks(list).offered().size(), 2);
    }
    // A file or schema already holding the next name is passed over, untouched.
    void createBookNeverOverwritesAFile() {
        if (isServer()) {
            main().query("create schema useraccountbook002");
            main().query("create table useraccountbook002.kept (n integer)");
        } else {
            QFile stray(c().paths().dbFolder() + "UserAccountBook002.db");
            QVERIFY(stray.open(QIODevice::WriteOnly) && stray.write("someone else's file") == 19);
        }
        const AccountBookRow first = firstBook();
        const AccountBookRow row = BookCreator(c()).create("新账本", "", &first);
        QCOMPARE(row.DatabaseName, QString("UserAccountBook003"));
        if (isServer()) {
            QCOMPARE(row.FilePath, QString("useraccountbook003"));
            QCOMPARE(main().scalar("select count(*) from useraccountbook002.kept").toInt(), 0);
            QCOMPARE(main().scalar("select count(*) from pg_tables where schemaname='useraccountbook002'").toInt(), 1);
        } else {
            QCOMPARE(QFileInfo(c().paths().dbFolder() + "UserAccountBook002.db").size(), qint64(19));
        }
    }
    // Company details are written by 修改 only; a blank picture folder is the program's; a mistyped password changes
    // nothing.
    void companySettingsAndPassword() {
        CompanyInfoEditor e(main());
        e.open();
        e.corp().setValue("Corp_name", "不会保存");
        e.close();  // closing without "修改" writes nothing
        QCOMPARE(main().scalar("select Corp_name from Sys_Corp").toString(), QString());
        e.corp().cancelUpdates();
        e.edit();
        e.corp().setValue("Corp_name", "东方门窗有限公司");
        e.cancel();
        QCOMPARE(e.corp().value("Corp_name").toString(), QString());
        SettingsEditor s(c());
        s.apply(true, "/srv/pictures");
        s.apply(false, "  ");
        IniFile ini(c().paths().configFile());
        QCOMPARE(ini.readString("SYS_Setting", "picPath") + ini.readString("SYS_Setting", "ShowCustomFilter"),
                 QString("defaultfalse"));
        QCOMPARE(c().PictureFolder, c().paths().defaultPictureFolder());
        QVERIFY(!PasswordChange(c()).apply("abc", "ABC"));
        QVERIFY(UserAccounts::verifyLogin(main(), "超级用户", "").has_value());
    }

private:
    AppContext& c() { return m_p->context(); }
    Database& main() { return c().data().main(); }
    AccountBookRow firstBook() { return AccountBooks(c().data().system()).offered()[0]; }
    // Another program's connection to `book`.
    std::unique_ptr<Database> openBook(const AccountBookRow& book) {
        if (!isServer()) {
            return Database::openSqlite(c().paths().resolve(book.FilePath), book.AccountBookName);
        }
        return Database::openServer(TestBooks::serverParams(m_p->serverBook()->serverDatabase()), book.AccountBookName,
                                    book.FilePath);
    }
    static bool isServer() { return TestBooks::currentEngine() == QLatin1String("postgres"); }
    std::unique_ptr<TestBooks::TestProgram> m_p;
};

QTEST_GUILESS_MAIN(TestShellLogic)
#include "test_shell_logic.moc"
