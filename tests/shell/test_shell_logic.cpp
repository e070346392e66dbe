#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTest>

#include "admin/book_creator.h"
#include "admin/company_info_editor.h"
#include "admin/password_change.h"
#include "admin/settings_editor.h"
#include "data/data_module.h"
#include "data/schema_installer.h"
#include "data/user_accounts.h"
#include "platform/errors.h"
#include "shell/login_service.h"
#include "support/test_books.h"

using TestBooks::TestProgram;

// Log-in, books, company, settings and password rules, on both engines: on
// the server kind each book is a schema of the server database, and the
// list of books is kept there too.
class TestShellLogic : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() {
        if (!TestBooks::engineAvailable()) {
            return;
        }
        m_p = std::make_unique<TestProgram>(true);
        m_p->connect(TestBooks::currentEngine());
        c().CurrentUser = {"超级用户", "", "管理员组"};
    }
    void cleanup() { m_p.reset(); }
    // The password is checked in the chosen book, after the switch: a wrong one
    // keeps the user logged in before, in the chosen book; each book then
    // logs into its own data, and the program started again finds the book
    // used last.
    void loginSwitchesBookThenChecksPassword() {
        const AccountBookRow first = firstBook();
        const AccountBookRow second = BookCreator(c()).create("第二账本", "用户账本", &first);
        // The book in use now asks for a password; its copy made before does not.
        QVERIFY(UserAccounts::setPassword(main(), "超级用户", "旧密码"));
        LoginService login(c());
        login.loadAccountBooks();
        QCOMPARE(login.books().size(), 2);
        QCOMPARE(login.books()[1].ID, second.ID);
        QCOMPARE(login.logIn(second, "超级用户", "旧密码"), LoginService::Result::WrongPassword);
        QCOMPARE(c().CurrentUser.UserName, QString("超级用户"));  // the previous log-in stays
        QCOMPARE(c().CurrentAccountBook.BookName, QString("第二账本"));
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
        QCOMPARE(ini.readString("DefaultSetting", "AccountBook"), QString::number(second.ID));
        QCOMPARE(ini.readString("DefaultSetting", "Username"), QString("超级用户"));
        const QString count = QStringLiteral("select count(*) from unit where unit_code='UN008'");
        main().query("insert into unit (unit_code, Unit_name) values ('UN008', '桶')");
        QCOMPARE(login.logIn(login.books()[0], "超级用户", "旧密码"), LoginService::Result::LoggedIn);
        QCOMPARE(main().scalar(count).toInt(), 0);
        QCOMPARE(login.logIn(second, "超级用户", ""), LoginService::Result::LoggedIn);
        m_p->restart();
        c().data().ConnectDatabases();
        QCOMPARE(main().scalar(count).toInt(), 1);
    }
    void logInHashesPasswordsKeptAsText() {
        main().execute("update Sys_user set password='旧密码' where User_name='超级用户'");
        main().execute(
            "insert into Sys_user (User_name, password, User_Group, type) values ('小王', 'wang', '管理员组', 1)");
        LoginService login(c());
        login.loadAccountBooks();
        const AccountBookRow book = login.books()[0];
        QCOMPARE(login.logIn(book, "超级用户", "旧"), LoginService::Result::WrongPassword);
        // A wrong password writes nothing.
        QCOMPARE(main().scalar("select password from Sys_user where User_name='小王'").toString(), QString("wang"));
        QCOMPARE(login.logIn(book, "超级用户", "旧密码"), LoginService::Result::LoggedIn);
        QVERIFY(
            main().scalar("select password from Sys_user where User_name='小王'").toString().startsWith("$argon2id$"));
        QVERIFY(c().CurrentUser.Password.startsWith("$argon2id$"));
        QVERIFY(UserAccounts::verifyLogin(main(), "小王", "wang").has_value());
        QCOMPARE(login.logIn(book, "超级用户", "旧密码"), LoginService::Result::LoggedIn);
    }
    void booksAndUsersOffered() {
        main().query(
            "insert into Sys_user (User_name, User_Group, type) values ('销售组', '0', 0), ('小王', '销售组', 1)");
        LoginService login(c());
        QCOMPARE(login.userNames(), QStringList({"超级用户", "小王"}));  // no groups
        const AccountBookRow first = firstBook();
        BookCreator(c()).create("Shop", "", &first);
        login.loadAccountBooks();
        // A default book that is gone is none.
        c().SettingsFile.setString("DefaultSetting", "AccountBook", "77");
        QVERIFY(!login.defaultBook().has_value());
        c().SettingsFile.setString("DefaultSetting", "AccountBook", "1");
        const auto current = login.defaultBook();
        QCOMPARE(current->AccountBookName, QString("默认帐册"));
        // A typed name chooses without regard to case or spaces; else the
        // current book, else the list's first.
        QCOMPARE(login.chooseBook("  shop ", current)->AccountBookName, QString("Shop"));
        QCOMPARE(login.chooseBook("nothing like it", current)->AccountBookName, QString("默认帐册"));
        QCOMPARE(login.chooseBook("nothing like it", std::nullopt)->AccountBookName, QString("默认帐册"));
    }
    void lockedBookIsAClearError() {
        if (isServer()) {
            QSKIP("only an embedded book is a file another program can lock");
        }
        const QString file = c().paths().resolve("db/UserAccountBook001.db");
        c().data().disconnect();
        // Another program holds the book exclusively.
        auto holder = Database::openSqlite(file, "holder");
        holder->query("PRAGMA locking_mode=EXCLUSIVE");
        holder->query("BEGIN EXCLUSIVE");
        c().data().setSqliteOptions({.busyTimeoutMs = 200});
        LoginService login(c());
        login.loadAccountBooks();
        try {
            login.logIn(login.books()[0], "超级用户", "");
            QFAIL("expected an error");
        } catch (const DbError& e) {
            QVERIFY2(e.message().contains("锁定") && e.message().contains("UserAccountBook001.db"),
                     qPrintable(e.message()));
        }
        holder->query("ROLLBACK");
    }
    void createBookCopiesTheChosenBook() {
        const AccountBookRow chosen = firstBook();
        // Written through a second connection while the program may hold the
        // book open: the copy must hold it all the same.
        auto source = openBook(chosen);
        source->query("insert into unit (unit_code, Unit_name) values ('UN007', '卷')");
        // A quotation with its kept totals, some of them computed by the book.
        source->query("insert into Quotation_Head (BillNo, Freight) values ('BJ0001', 5)");
        source->query("insert into Quotation_Detail (HeadNo, GoodsNo, Total_Price) values ('BJ0001', 'G1', 10)");
        if (isServer()) {
            // A table numbered by a serial default rather than an identity.
            source->query("create table extra_serial (id serial primary key, v varchar(10))");
            source->query("insert into extra_serial (v) values ('a')");
        }
        const AccountBookRow row = BookCreator(c()).create("  分公司  ", "分公司账本", &chosen);
        // A file beside the program, or a schema of the server database.
        QCOMPARE(QStringList({row.AccountBookName, row.DatabaseName, row.FilePath}),
                 QStringList(
                     {"分公司", "UserAccountBook002", isServer() ? "useraccountbook002" : "db/UserAccountBook002.db"}));
        QCOMPARE(c().CurrentAccountBook.BookID, row.ID);
        QCOMPARE(AccountBooks(c().data().system()).findById(row.ID)->description, QString("分公司账本"));
        auto copy = openBook(row);
        QCOMPARE(copy->scalar("select Unit_name from unit where unit_code='UN007'").toString(), QString("卷"));
        // The saved queries are there and read the copy's own tables.
        const QString total = "select Total_Price from Query_Quotation_Head_list where BillNo='BJ0001'";
        QCOMPARE(copy->scalar("select Unit_name from Query_Goods_With_Corp_Unit where 1=0").toString(), QString());
        QCOMPARE(copy->scalar(total).toDouble(), 15.0);
        // Later changes stay in their own book, new keys included, and the
        // copy's totals follow the copy's own lines.
        copy->query("insert into Quotation_Detail (HeadNo, GoodsNo, Total_Price) values ('BJ0001', 'G2', 1)");
        QCOMPARE(copy->scalar(total).toDouble(), 16.0);
        QCOMPARE(source->scalar(total).toDouble(), 15.0);
        copy->query("insert into unit (unit_code, Unit_name) values ('UN008', '桶')");
        source->query("insert into unit (unit_code, Unit_name) values ('UN009', '瓶')");
        QCOMPARE(copy->scalar("select id from unit where unit_code='UN008'").toInt(),
                 source->scalar("select id from unit where unit_code='UN009'").toInt());
        if (isServer()) {
            // Each book draws from a sequence of its own.
            QCOMPARE(copy->scalar("insert into extra_serial (v) values ('b') returning id").toInt(), 2);
            QCOMPARE(source->scalar("insert into extra_serial (v) values ('c') returning id").toInt(), 2);
            const QString copiedDefault =
                source
                    ->scalar(
                        "select column_default from information_schema.columns where table_schema = :s and "
                        "table_name = 'extra_serial' and column_name = 'id'",
                        {{"s", row.FilePath}})
                    .toString();
            QVERIFY2(copiedDefault.contains(row.FilePath + ".extra_serial_id_seq"), qPrintable(copiedDefault));
        }
        // An embedded book in use draws the file name from its counter; the
        // server kind's database is no book file and keeps its data unchanged.
        QCOMPARE(main().scalar("select CurrID from Sys_ID_Autoincrement where tablename='accountbook'").toString(),
                 c().SoftwareInfo.IsAccess ? QString("UserAccountBook002") : QString("UserAccountBook001"));
    }
    // A server book not opened since an older version of the program keeps
    // that version's tables; its copy is brought up to date, the book itself
    // is left as it is.
    void createBookFromABookOfAnOlderVersion() {
        if (!isServer()) {
            QSKIP("an embedded book is always upgraded when it is opened, before it can be copied");
        }
        const AccountBookRow chosen = firstBook();
        auto source = openBook(chosen);
        for (const char* sql :
             {"insert into Quotation_Head (BillNo, Freight) values ('BJ0001', 5)",
              "insert into Quotation_Detail (HeadNo, GoodsNo, Total_Price) values ('BJ0001', 'G1', 10)",
              "drop view Query_Quotation_Head_list", "drop trigger tr_quotation_head_sum on Quotation_Head",
              "drop table Quotation_Sum",
              "create table Quotation_Sum (BillNo varchar(20) not null primary key, sum_Goods numeric(18,2) not null "
              "default 0, sum_Gain numeric(18,2) not null default 0, sum_Cost numeric(18,4) not null default 0, "
              "sum_Paid numeric(18,2) not null default 0)",
              "insert into Quotation_Sum (BillNo, sum_Goods) values ('BJ0001', 10)",
              "create view Query_Quotation_Head_list as select h.*, t.sum_Goods from Quotation_Head h "
              "left join Quotation_Sum t on t.BillNo = h.BillNo",
              "update schema_version set version=3"}) {
            source->query(sql);
        }
        auto copy = openBook(BookCreator(c()).create("分公司", "", &chosen));
        const QString total = "select Total_Price from Query_Quotation_Head_list where BillNo='BJ0001'";
        QCOMPARE(copy->scalar("select max(version) from schema_version").toInt(), int(SchemaInstaller::kBookVersion));
        QCOMPARE(copy->scalar(total).toDouble(), 15.0);
        copy->query("update Quotation_Head set Freight=6");
        QCOMPARE(copy->scalar(total).toDouble(), 16.0);
        QCOMPARE(source->scalar("select max(version) from schema_version").toInt(), 3);
    }
    // Refused copies, and a copy the list refuses at the last step, leave the
    // list of books, the current book and the book files as they were.
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
        QCOMPARE(AccountBooks(list).offered().size(), 1);
        QCOMPARE(c().CurrentAccountBook.BookName, QString());
        if (isServer()) {
            QCOMPARE(list.scalar("select count(*) from pg_namespace where nspname like 'useraccountbook%'").toInt(), 0);
        } else {
            QCOMPARE(QDir(c().paths().dbFolder()).entryList({"UserAccountBook002*"}, QDir::Files), QStringList());
        }
        // Nothing is left in the way of the next try (an embedded book's
        // counter has moved on when the name was drawn).
        const AccountBookRow row = creator.create("Shop", "用户账本", &source);
        QCOMPARE(row.DatabaseName, isServer() ? QString("UserAccountBook002") : QString("UserAccountBook003"));
        QCOMPARE(openBook(row)->scalar("select count(*) from Sys_user where User_name='超级用户'").toInt(), 1);
        QCOMPARE(refusal([&] { creator.create("SHOP", "", &source); }), QString("新帐册的名称不能和现有帐册重名"));
        QCOMPARE(AccountBooks(list).offered().size(), 2);
    }
    // A file, or a schema, that already holds the next name is someone else's:
    // passed over, untouched.
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
            QCOMPARE(
                main()
                    .scalar("select count(*) from information_schema.tables where table_schema='useraccountbook002'")
                    .toInt(),
                1);
        } else {
            QCOMPARE(QFileInfo(c().paths().dbFolder() + "UserAccountBook002.db").size(), qint64(19));
        }
    }
    // The company's details are written by 修改 only; a picture folder left
    // blank is the program's own (a folder written: TestFaults); a password
    // typed twice differently changes nothing.
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
        e.edit();
        e.corp().setValue("Corp_name", "东方门窗有限公司");
        e.close();  // closing while editing saves without asking
        QCOMPARE(main().scalar("select Corp_name from Sys_Corp").toString(), QString("东方门窗有限公司"));
        QVERIFY(!e.isEditing());
        SettingsEditor s(c());
        s.apply(true, "/srv/pictures");
        QCOMPARE(c().PictureFolder, QString("/srv/pictures/"));
        s.apply(false, "  ");
        IniFile ini(c().paths().configFile());
        QCOMPARE(ini.readString("SYS_Setting", "picPath") + ini.readString("SYS_Setting", "ShowCustomFilter"),
                 QString("defaultfalse"));
        QCOMPARE(c().PictureFolder, c().paths().defaultPictureFolder());
        QVERIFY(!s.showCustomFilter());
        PasswordChange change(c());
        QVERIFY(!change.apply("abc", "ABC"));
        QVERIFY(UserAccounts::verifyLogin(main(), "超级用户", "").has_value());
        QVERIFY(change.apply("新密码'1", "新密码'1"));
        QVERIFY(!UserAccounts::verifyLogin(main(), "超级用户", "").has_value());
        QVERIFY(UserAccounts::verifyLogin(main(), "超级用户", "新密码'1").has_value());
        QVERIFY(change.apply("", ""));
        QVERIFY(UserAccounts::verifyLogin(main(), "超级用户", "").has_value());
    }

private:
    AppContext& c() { return m_p->context(); }
    Database& main() { return c().data().main(); }
    AccountBookRow firstBook() { return AccountBooks(c().data().system()).offered()[0]; }
    // Another program's connection to `book`: its file, or its schema on the
    // server.
    std::unique_ptr<Database> openBook(const AccountBookRow& book) {
        if (!isServer()) {
            return Database::openSqlite(c().paths().resolve(book.FilePath), book.AccountBookName);
        }
        return Database::openServer(TestBooks::serverParams(m_p->serverBook()->serverDatabase()), book.AccountBookName,
                                    book.FilePath);
    }
    // The message of the UserError `run` throws.
    static QString refusal(const std::function<void()>& run) {
        try {
            run();
        } catch (const UserError& e) {
            return e.message();
        }
        return QString();
    }
    static bool isServer() { return TestBooks::currentEngine() == QLatin1String("postgres"); }
    std::unique_ptr<TestProgram> m_p;
};

QTEST_GUILESS_MAIN(TestShellLogic)
#include "test_shell_logic.moc"
