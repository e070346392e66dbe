#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "admin/book_creation_dialog.h"
#include "data/data_module.h"
#include "data/user_accounts.h"
#include "master/customer_price_window.h"
#include "shell/login_dialog.h"
#include "shell/main_window.h"
#include "shell/program_windows.h"
#include "support/test_books.h"
#include "ui/picture_button.h"

// The shell's windows offscreen: every window the main window can open, and the main paths of the log-in dialog and the
// main window (the rules: TestShellLogic; the rights: TestRightsWalk).
class TestShellWindows : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_program = std::make_unique<TestBooks::TestProgram>(true);
        m_program->context().data().ConnectDatabases();
    }
    void cleanup() { m_program.reset(); }
    // A default book that is gone is said; a book whose file is missing keeps the dialog usable; a wrong password
    // empties the box; Enter logs in.
    void loginDialogLogsIn() {
        AppContext& c = m_program->context();
        Database& db = c.data().main();
        db.query("insert into Sys_user (User_name, User_Group, type) values ('销售组', '0', 0), ('小王', '销售组', 1)");
        UserAccounts::setPassword(db, "小王", "secret");
        c.data().system().query(
            "insert into AccountBook (AccountBookName, DatabaseName, FilePath, Type) "
            "values ('丢失的账本', 'UserAccountBook009', 'db/UserAccountBook009.db', 0)");
        c.SettingsFile.setString("DefaultSetting", "AccountBook", "42");
        LoginDialog dialog(c);
        dialog.show();
        QVERIFY(m_program->prompter().texts().contains(LoginService::bookNotFoundText()));
        dialog.bookBox()->setEditText("丢失的账本");
        QTest::keyClick(dialog.passwordBox(), Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QVERIFY2(m_program->prompter().lastText().contains("UserAccountBook009.db"),
                 qPrintable(m_program->prompter().lastText()));
        QVERIFY(c.CurrentUser.UserName.isEmpty());
        dialog.bookBox()->setEditText("默认帐册");
        dialog.userBox()->setEditText("小王");
        QTest::keyClicks(dialog.passwordBox(), "wrong");
        QTest::keyClick(dialog.passwordBox(), Qt::Key_Enter);
        QVERIFY(dialog.isVisible());
        QCOMPARE(m_program->prompter().lastText(), LoginService::wrongPasswordText());
        QVERIFY(dialog.passwordBox()->text().isEmpty());
        QVERIFY(c.CurrentUser.UserName.isEmpty());
        QTest::keyClicks(dialog.passwordBox(), "secret");
        QTest::keyClick(dialog.userBox(), Qt::Key_Return);  // Enter in the user box logs in too
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(c.CurrentUser.UserName + c.CurrentAccountBook.BookName, QString("小王默认帐册"));
    }
    void createBookAndLogIntoIt() {
        AppContext& c = m_program->context();
        LoginDialog dialog(c);
        m_program->windows().then<BookCreationDialog>([](BookCreationDialog& create) {
            create.nameEdit()->setText("分公司账本");
            create.booksTable()->selectRow(0);
            create.create();
            return create.result();
        });
        dialog.show();
        QTest::mouseClick(dialog.newBookButton(), Qt::LeftButton);
        QCOMPARE(dialog.bookBox()->currentText(), QString("分公司账本"));
        QCOMPARE(dialog.bookBox()->count(), 2);
        QTest::keyClick(dialog.passwordBox(), Qt::Key_Return);
        QCOMPARE(c.CurrentUser.UserName + c.CurrentAccountBook.BookName, QString("超级用户分公司账本"));
        QVERIFY(c.data().main().location().endsWith("db/UserAccountBook002.db"));
    }
    void mainWindowAfterLogInBacksUpAndRestores() {
        AppContext& c = m_program->context();
        c.clock().setToday(QDate(2006, 12, 25));
        MainWindow w(c);
        const QStringList& opened = m_program->windows().shown;
        m_program->windows().then<LoginDialog>(logInAsShown);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.userLabel()->text(), QString("超级用户"));
        QVERIFY(m_program->prompter().messages().isEmpty());
        QCOMPARE(w.pages()->currentIndex(), 5);
        QCOMPARE(w.bar().state(1), BarState::Active);
        QCOMPARE(opened, QStringList{"LoginFrm"});
        // Bar button 1 shows the order page and opens the quotation list at once.
        QTest::mouseClick(w.barButton(1), Qt::LeftButton);
        QCOMPARE(opened.last(), QString("Form_Quotation_List"));
        QTest::mouseClick(w.barButton(2), Qt::LeftButton);
        QCOMPARE(w.pages()->currentIndex(), 4);
        QCOMPARE(w.bar().state(2), BarState::Active);
        QCOMPARE(w.bar().state(1), BarState::Normal);
        QVERIFY(w.actions().execute("Action19"));
        QCOMPARE(opened.last(), QString("frm_payout"));
        // Logging in again sets the log-in time anew.
        c.clock().setToday(QDate(2006, 12, 26));
        m_program->windows().then<LoginDialog>(logInAsShown);
        QVERIFY(w.actions().execute("Action_LoginAgain"));
        QVERIFY(w.loginTimeLabel()->text().startsWith("20061226 "));
        // 备份账本 writes a copy where the user chose; 恢复账本 asks, then brings it back (the rules: TestBookBackup).
        Database& db = c.data().main();
        QTemporaryDir out;
        const QString file = out.filePath("copy.db");
        m_program->files().answers = {file, file, file};
        const int units = db.scalar("select count(*) from unit").toInt();
        m_program->prompter().clear();
        QVERIFY(w.actions().execute("Action_BackupBook"));
        QVERIFY(QFile::exists(file));
        QVERIFY(m_program->prompter().lastText().startsWith("账本已备份到："));
        // An existing file is refused by the backup itself, not asked about.
        QVERIFY(!m_program->files().asked.last().confirmOverwrite);
        db.execute("insert into unit (unit_code, Unit_name, remark) values ('UN900', '箱', '')");
        m_program->prompter().setNextAnswer(true);
        QVERIFY(w.actions().execute("Action_RestoreBook"));
        QVERIFY(m_program->prompter().texts().contains(MainWindow::restoreQuestion()));
        QVERIFY(m_program->prompter().lastText().startsWith("账本已恢复。恢复前的账本已另存为："));
        QCOMPARE(db.scalar("select count(*) from unit").toInt(), units);
    }
    // Every window of the program's table opens from an entry (actions, page entries, menus) under its own name, the
    // customer price entry with the standard table; nothing else opens but the log-in dialog of 重新登录.
    void everyEntryFindsItsWindow() {
        AppContext& c = m_program->context();
        c.CurrentUser = {"超级用户", "", "管理员组"};
        struct EntryWindows : ScriptedWindowRunner {
            bool standardPrices = false;
            int run(QDialog& window) override {
                if (auto* prices = dynamic_cast<CustomerPriceWindow*>(&window)) {
                    standardPrices = prices->table().isStandard();
                }
                return ScriptedWindowRunner::run(window);
            }
        } windows;
        c.setWindowRunner(&windows);
        MainWindow w(c);
        m_program->files().answers.clear();  // every file question cancelled
        for (QAction* a : w.actions().actions()) {
            a->trigger();
        }
        for (PictureButton* entry : w.pages()->findChildren<PictureButton*>()) {
            emit entry->clicked();
        }
        for (QMenu* menu : {w.settingsMenu(), w.helpMenu()}) {
            for (QAction* a : menu->actions()) {
                if (!a->isSeparator() && a->text() != QStringLiteral("退出系统")) {
                    a->trigger();
                }
            }
            menu->hide();
        }
        for (const QString& name : ProgramWindows::table().windowNames()) {
            QVERIFY2(windows.shown.contains(name, Qt::CaseInsensitive), qPrintable(name));
            QVERIFY(ProgramWindows::table().contains(name.toUpper()));
        }
        // No entry fell back to the not-yet-open notice.
        QVERIFY(!m_program->prompter().texts().contains(MainWindow::notYetOpenText()));
        for (const QString& shown : windows.shown) {
            QVERIFY2(ProgramWindows::table().contains(shown) || shown == "LoginFrm", qPrintable(shown));
        }
        QVERIFY(windows.standardPrices);
        c.setWindowRunner(&m_program->windows());
    }

private:
    static int logInAsShown(LoginDialog& dialog) {
        dialog.prepare();
        dialog.logIn();
        return dialog.result();
    }
    std::unique_ptr<TestBooks::TestProgram> m_program;
};

QTEST_MAIN(TestShellWindows)
#include "test_shell_windows.moc"
