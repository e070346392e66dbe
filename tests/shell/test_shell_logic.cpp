#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "admin/book_creator.h"
#include "admin/company_info_editor.h"
#include "admin/password_change.h"
#include "admin/settings_editor.h"
#include "data/data_module.h"
#include "data/user_accounts.h"
#include "platform/errors.h"
#include "shell/bar_state.h"
#include "shell/login_service.h"
#include "support/test_books.h"

using TestBooks::TestProgram;

// Log-in, books, users and rights, company, settings and password rules, on
// both engines: the server kind keeps its data in the server database while
// the list of books stays in the embedded system database.
class TestShellLogic : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    void loginSwitchesBookThenChecksPassword();
    void wrongPasswordKeepsTheUserButSwitchesTheBook();
    void logInHashesPasswordsKeptAsText();
    void defaultBookThatIsGone();
    void typedBookNameChoosesCaseInsensitively();
    void onlyUsersAreOffered();
    void lockedBookIsAClearError();
    void unwritableConfigDoesNotStopTheLogIn();
    void createBookCopiesTheChosenBook();
    void createBookRefusals();
    void createBookNeverOverwritesAFile();
    void failedCopyLeavesTheListUnchanged();
    void companyInfoEditSaveCancel();
    void settingsAreWrittenAndTakeEffect();
    void passwordChange();
    void barStates();

private:
    static std::unique_ptr<TestProgram> loggedIn();
};

std::unique_ptr<TestProgram> TestShellLogic::loggedIn() {
    auto p = std::make_unique<TestProgram>(true);
    p->connect(TestBooks::currentEngine());
    p->context().CurrentUser = {"超级用户", "", "管理员组"};
    return p;
}

void TestShellLogic::loginSwitchesBookThenChecksPassword() {
    auto p = loggedIn();
    AppContext& c = p->context();
    const AccountBookRow second =
        BookCreator(c).create("第二账本", "用户账本", &AccountBooks(c.data().system()).offered()[0]);
    // The book in use now asks for a password; its copy made before does not.
    QVERIFY(UserAccounts::setPassword(c.data().main(), "超级用户", "旧密码"));
    c.CurrentUser = {};
    LoginService login(c);
    login.loadAccountBooks();
    QCOMPARE(login.books().size(), 2);
    QCOMPARE(login.books()[1].ID, second.ID);
    if (c.SoftwareInfo.IsAccess) {
        // The password is checked in the chosen book, after the switch.
        QCOMPARE(login.logIn(second, "超级用户", "旧密码"), LoginService::Result::WrongPassword);
        QCOMPARE(login.logIn(second, "超级用户", ""), LoginService::Result::LoggedIn);
        QVERIFY(c.data().main().location().endsWith(second.FilePath));
    } else {
        // The server kind connects its one server database whichever book is
        // chosen: the password stored there is the one that counts.
        QCOMPARE(login.logIn(second, "超级用户", ""), LoginService::Result::WrongPassword);
        QCOMPARE(login.logIn(second, "超级用户", "旧密码"), LoginService::Result::LoggedIn);
        QCOMPARE(c.data().main().scalar("select current_database()").toString(), p->serverBook()->serverDatabase());
    }
    QCOMPARE(c.CurrentUser.UserName, QString("超级用户"));
    QCOMPARE(c.CurrentAccountBook.BookName, QString("第二账本"));
    IniFile ini(c.paths().configFile());
    QCOMPARE(ini.readString("DB", "Path"), second.FilePath);
    QCOMPARE(ini.readString("DefaultSetting", "AccountBook"), QString::number(second.ID));
    QCOMPARE(ini.readString("DefaultSetting", "Username"), QString("超级用户"));
}

void TestShellLogic::wrongPasswordKeepsTheUserButSwitchesTheBook() {
    auto p = loggedIn();
    AppContext& c = p->context();
    BookCreator(c).create("第二账本", "", &AccountBooks(c.data().system()).offered()[0]);
    LoginService login(c);
    login.loadAccountBooks();
    QCOMPARE(login.logIn(login.books()[1], "超级用户", "x"), LoginService::Result::WrongPassword);
    QCOMPARE(c.CurrentUser.UserName, QString("超级用户"));  // the previous log-in stays
    QCOMPARE(c.CurrentAccountBook.BookName, QString("第二账本"));
    QCOMPARE(IniFile(c.paths().configFile()).readString("DB", "Path"), login.books()[1].FilePath);
}

void TestShellLogic::logInHashesPasswordsKeptAsText() {
    auto p = loggedIn();
    AppContext& c = p->context();
    Database& db = c.data().main();
    db.execute("update Sys_user set password='旧密码' where User_name='超级用户'");
    db.execute("insert into Sys_user (User_name, password, User_Group, type) values ('小王', 'wang', '管理员组', 1)");
    LoginService login(c);
    login.loadAccountBooks();
    const AccountBookRow book = login.books()[0];
    QCOMPARE(login.logIn(book, "超级用户", "旧"), LoginService::Result::WrongPassword);
    // A wrong password writes nothing.
    QCOMPARE(c.data().main().scalar("select password from Sys_user where User_name='小王'").toString(),
             QString("wang"));
    QCOMPARE(login.logIn(book, "超级用户", "旧密码"), LoginService::Result::LoggedIn);
    Database& now = c.data().main();
    QVERIFY(now.scalar("select password from Sys_user where User_name='小王'").toString().startsWith("$argon2id$"));
    QVERIFY(c.CurrentUser.Password.startsWith("$argon2id$"));
    QVERIFY(UserAccounts::verifyLogin(now, "小王", "wang").has_value());
    QCOMPARE(login.logIn(book, "超级用户", "旧密码"), LoginService::Result::LoggedIn);
}

void TestShellLogic::defaultBookThatIsGone() {
    auto p = loggedIn();
    AppContext& c = p->context();
    c.SettingsFile.setString("DefaultSetting", "AccountBook", "77");
    LoginService login(c);
    login.loadAccountBooks();
    QVERIFY(!login.defaultBook().has_value());
    c.SettingsFile.setString("DefaultSetting", "AccountBook", "1");
    QCOMPARE(login.defaultBook()->AccountBookName, QString("默认帐册"));
}

void TestShellLogic::typedBookNameChoosesCaseInsensitively() {
    auto p = loggedIn();
    AppContext& c = p->context();
    BookCreator(c).create("Shop", "", &AccountBooks(c.data().system()).offered()[0]);
    LoginService login(c);
    login.loadAccountBooks();
    const auto current = login.defaultBook();
    QCOMPARE(login.chooseBook("  shop ", current)->AccountBookName, QString("Shop"));
    QCOMPARE(login.chooseBook("nothing like it", current)->AccountBookName, QString("默认帐册"));
    // Without a default book the list's first row is the current one.
    QCOMPARE(login.chooseBook("nothing like it", std::nullopt)->AccountBookName, QString("默认帐册"));
    QCOMPARE(login.chooseBook("", std::nullopt)->AccountBookName, QString("默认帐册"));
    QCOMPARE(login.chooseBook("SHOP", std::nullopt)->AccountBookName, QString("Shop"));
}

void TestShellLogic::onlyUsersAreOffered() {
    auto p = loggedIn();
    AppContext& c = p->context();
    c.data().main().query("insert into Sys_user (User_name, User_Group, type) values ('销售组', '0', 0)");
    c.data().main().query("insert into Sys_user (User_name, User_Group, type) values ('小王', '销售组', 1)");
    LoginService login(c);
    QCOMPARE(login.userNames(), QStringList({"超级用户", "小王"}));
}

void TestShellLogic::lockedBookIsAClearError() {
    if (TestBooks::currentEngine() != QLatin1String("sqlite")) {
        QSKIP("only an embedded book is a file another program can lock");
    }
    auto p = loggedIn();
    AppContext& c = p->context();
    const QString file = c.paths().resolve("db/UserAccountBook001.db");
    c.data().disconnect();
    // Another program holds the book exclusively.
    auto holder = Database::openSqlite(file, "holder");
    holder->query("PRAGMA locking_mode=EXCLUSIVE");
    holder->query("BEGIN EXCLUSIVE");
    c.data().setSqliteOptions({.busyTimeoutMs = 200});
    LoginService login(c);
    login.loadAccountBooks();
    try {
        login.logIn(login.books()[0], "超级用户", "");
        QFAIL("expected an error");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains("锁定"), qPrintable(e.message()));
        QVERIFY(e.message().contains("UserAccountBook001.db"));
    }
    holder->query("ROLLBACK");
}

void TestShellLogic::unwritableConfigDoesNotStopTheLogIn() {
    auto p = loggedIn();
    AppContext& c = p->context();
    c.CurrentUser = {};
    // config.ini can no longer be written (a folder stands in its place).
    QVERIFY(QFile::remove(c.paths().configFile()));
    QVERIFY(QDir().mkpath(c.paths().configFile()));
    LoginService login(c);
    login.loadAccountBooks();
    QCOMPARE(login.logIn(login.books()[0], "超级用户", ""), LoginService::Result::LoggedIn);
    QVERIFY(p->prompter().lastText().contains("config.ini"));
    QCOMPARE(c.CurrentUser.UserName, QString("超级用户"));
}

void TestShellLogic::createBookCopiesTheChosenBook() {
    auto p = loggedIn();
    AppContext& c = p->context();
    const AccountBookRow chosen = AccountBooks(c.data().system()).offered()[0];
    // Written through a second connection while the program may hold the
    // book open: the copy must hold it all the same.
    auto source = Database::openSqlite(c.paths().resolve(chosen.FilePath), "source");
    source->query("insert into unit (unit_code, Unit_name) values ('UN007', '卷')");
    const AccountBookRow row = BookCreator(c).create("  分公司  ", "分公司账本", &chosen);
    QCOMPARE(row.AccountBookName, QString("分公司"));
    QCOMPARE(row.DatabaseName, QString("UserAccountBook002"));
    QCOMPARE(row.FilePath, QString("db/UserAccountBook002.db"));
    QCOMPARE(c.CurrentAccountBook.BookID, row.ID);
    auto copy = Database::openSqlite(c.paths().resolve(row.FilePath), "copy");
    QCOMPARE(copy->scalar("select Unit_name from unit where unit_code='UN007'").toString(), QString("卷"));
    // Later changes stay in their own book.
    copy->query("insert into unit (unit_code, Unit_name) values ('UN008', '桶')");
    QCOMPARE(source->scalar("select count(*) from unit where unit_code='UN008'").toInt(), 0);
    const auto listed = AccountBooks(c.data().system()).findById(row.ID);
    QCOMPARE(listed->description, QString("分公司账本"));
    QCOMPARE(listed->Type, 0);
    QCOMPARE(listed->version, 1);
    // An embedded book in use draws the file name from its counter; the
    // server kind's database is no book file and keeps its data unchanged.
    QCOMPARE(c.data().main().scalar("select CurrID from Sys_ID_Autoincrement where tablename='accountbook'").toString(),
             c.SoftwareInfo.IsAccess ? QString("UserAccountBook002") : QString("UserAccountBook001"));
}

void TestShellLogic::createBookRefusals() {
    auto p = loggedIn();
    AppContext& c = p->context();
    const AccountBookRow source = AccountBooks(c.data().system()).offered()[0];
    BookCreator creator(c);
    auto refused = [&](const QString& name, const AccountBookRow* src) {
        try {
            creator.create(name, "", src);
        } catch (const UserError& e) {
            return e.message();
        }
        return QString();
    };
    QCOMPARE(refused("   ", &source), QString("请输入新帐册名称"));
    QCOMPARE(refused("新账本", nullptr), QString("请选择一本帐册"));
    QCOMPARE(refused("默认帐册", &source), QString("新帐册的名称不能和现有帐册重名"));
    creator.create("Shop", "", &source);
    QCOMPARE(refused("SHOP", &source), QString("新帐册的名称不能和现有帐册重名"));
    QCOMPARE(AccountBooks(c.data().system()).offered().size(), 2);
}

void TestShellLogic::createBookNeverOverwritesAFile() {
    auto p = loggedIn();
    AppContext& c = p->context();
    // A stray file already holds the next name: it is passed over, untouched.
    QFile stray(c.paths().dbFolder() + "UserAccountBook002.db");
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.write("someone else's file");
    stray.close();
    const AccountBookRow row = BookCreator(c).create("新账本", "", &AccountBooks(c.data().system()).offered()[0]);
    QCOMPARE(row.DatabaseName, QString("UserAccountBook003"));
    QCOMPARE(QFileInfo(c.paths().dbFolder() + "UserAccountBook002.db").size(), qint64(19));
}

void TestShellLogic::failedCopyLeavesTheListUnchanged() {
    auto p = loggedIn();
    AppContext& c = p->context();
    AccountBookRow missing = AccountBooks(c.data().system()).offered()[0];
    missing.FilePath = "db/gone.db";
    try {
        BookCreator(c).create("新账本", "", &missing);
        QFAIL("expected a refusal");
    } catch (const UserError& e) {
        QVERIFY(e.message().contains("gone.db"));
    }
    QCOMPARE(AccountBooks(c.data().system()).offered().size(), 1);
    QCOMPARE(c.CurrentAccountBook.BookName, QString());
}

void TestShellLogic::companyInfoEditSaveCancel() {
    auto p = loggedIn();
    Database& db = p->context().data().main();
    CompanyInfoEditor e(db);
    e.open();
    e.close();  // closing without "修改" writes nothing
    e.corp().setValue("Corp_name", "不会保存");
    e.close();
    QCOMPARE(db.scalar("select Corp_name from Sys_Corp").toString(), QString());
    e.corp().cancelUpdates();
    e.edit();
    e.corp().setValue("Corp_name", "东方门窗有限公司");
    e.cancel();
    QCOMPARE(e.corp().value("Corp_name").toString(), QString());
    e.edit();
    e.corp().setValue("Corp_name", "东方门窗有限公司");
    e.corp().setValue("Tax_no", "440100123456789");
    e.close();  // closing while editing saves without asking
    QCOMPARE(db.scalar("select Corp_name from Sys_Corp").toString(), QString("东方门窗有限公司"));
    QVERIFY(!e.isEditing());
}

void TestShellLogic::settingsAreWrittenAndTakeEffect() {
    auto p = loggedIn();
    AppContext& c = p->context();
    SettingsEditor s(c);
    QVERIFY(!s.showCustomFilter());
    s.apply(true, "/srv/pictures");
    QCOMPARE(c.PictureFolder, QString("/srv/pictures/"));
    IniFile ini(c.paths().configFile());
    QCOMPARE(ini.readString("SYS_Setting", "picPath"), QString("/srv/pictures/"));
    QCOMPARE(ini.readString("SYS_Setting", "ShowCustomFilter"), QString("true"));
    s.apply(false, "  ");
    QCOMPARE(IniFile(c.paths().configFile()).readString("SYS_Setting", "picPath"), QString("default"));
    QCOMPARE(c.PictureFolder, c.paths().defaultPictureFolder());
    QCOMPARE(IniFile(c.paths().configFile()).readString("SYS_Setting", "ShowCustomFilter"), QString("false"));
    QVERIFY(!s.showCustomFilter());
}

void TestShellLogic::passwordChange() {
    auto p = loggedIn();
    AppContext& c = p->context();
    PasswordChange change(c);
    QVERIFY(!change.apply("abc", "ABC"));
    QVERIFY(UserAccounts::verifyLogin(c.data().main(), "超级用户", "").has_value());
    QVERIFY(change.apply("新密码'1", "新密码'1"));
    QVERIFY(!UserAccounts::verifyLogin(c.data().main(), "超级用户", "").has_value());
    QVERIFY(UserAccounts::verifyLogin(c.data().main(), "超级用户", "新密码'1").has_value());
    QVERIFY(change.apply("", ""));
    QVERIFY(UserAccounts::verifyLogin(c.data().main(), "超级用户", "").has_value());
}

void TestShellLogic::barStates() {
    if (TestBooks::currentEngine() != QLatin1String("sqlite")) {
        QSKIP("no database involved");
    }
    BarState bar;
    bar.activate(1);
    QCOMPARE(bar.state(1), BarState::Active);
    bar.hovered(1, 50, 20);
    QCOMPARE(bar.state(1), BarState::Active);  // active buttons ignore hovering
    bar.hovered(2, 50, 20);
    QCOMPARE(bar.state(2), BarState::Hot);
    bar.hovered(3, 50, 20);
    QCOMPARE(bar.state(2), BarState::Normal);
    QCOMPARE(bar.state(3), BarState::Hot);
    bar.hovered(3, 5, 20);  // outside the hot area
    QCOMPARE(bar.state(3), BarState::Normal);
    bar.hovered(2, 50, 20);
    bar.clicked(2, false);  // refused: only hover states reset
    QCOMPARE(bar.state(2), BarState::Normal);
    QCOMPARE(bar.state(1), BarState::Active);
    bar.clicked(2, true);
    QCOMPARE(bar.state(2), BarState::Active);
    QCOMPARE(bar.state(1), BarState::Normal);
    bar.clicked(9, true);
    QCOMPARE(bar.state(2), BarState::Active);
}

QTEST_GUILESS_MAIN(TestShellLogic)
#include "test_shell_logic.moc"
