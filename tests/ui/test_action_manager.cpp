#include <QAction>
#include <QSignalSpy>
#include <QTest>
#include <stdexcept>

#include "data/permission_checker.h"
#include "data/records.h"
#include "platform/errors.h"
#include "support/test_books.h"
#include "ui/action_manager.h"

// Commands pass the permission check before their handler runs. The
// manager is part of the core: QAction needs a QGuiApplication (QTEST_MAIN
// makes one here, as the suite links no widgets), not a QApplication. That a
// window's buttons go through it is tested with the windows (test_units).
class TestActionManager : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void allowedCommandRuns();
    void refusedCommandShowsTheTextAndDoesNotRun();
    void errorsOfAHandlerAreShown();
    void nestedCommandChecksAgainAndStopsTheOuterOne();
    void guardShowsWhatIsThrown_data();
    void guardShowsWhatIsThrown();
    void guardInsideACommandLetsTheCommandGoOn();
    void guardInFindsTheManagerOfTheWindow();

private:
    std::unique_ptr<TestBooks::FreshBook> m_book;
    UserRecord m_user;
    std::unique_ptr<PermissionChecker> m_checker;
    ScriptedPrompter m_prompter;
};

void TestActionManager::init() {
    m_book = std::make_unique<TestBooks::FreshBook>("sqlite");
    Database& db = m_book->db();
    db.query("delete from Sys_user_Operation");
    db.query("delete from Sys_Operation_Table");
    db.query(
        "insert into Sys_Operation_Table (id, Action_Name, Form_Name, isControl) values "
        "(1, 'action_save', 'form_test', 1), (2, 'action_delete', 'form_test', 1)");
    db.query("insert into Sys_user_Operation (User_name, Action_id) values ('sales', 1)");
    m_user = UserRecord{"小王", "", "sales"};
    m_checker = std::make_unique<PermissionChecker>(db, m_user);
    m_prompter.clear();
}

void TestActionManager::cleanup() {
    m_checker.reset();
    m_book.reset();
}

void TestActionManager::allowedCommandRuns() {
    ActionManager am("Form_Test", *m_checker, m_prompter);
    int runs = 0;
    QAction* a = am.add("Action_Save", "保存", [&] { ++runs; });
    QCOMPARE(a->objectName(), QString("Action_Save"));
    QSignalSpy executed(&am, &ActionManager::executed);
    QVERIFY(am.execute("action_save"));
    a->trigger();
    QCOMPARE(runs, 2);
    QCOMPARE(executed.count(), 2);
    QVERIFY(m_prompter.messages().isEmpty());
}

void TestActionManager::refusedCommandShowsTheTextAndDoesNotRun() {
    ActionManager am("Form_Test", *m_checker, m_prompter);
    int runs = 0;
    am.add("Action_Delete", "删除", [&] { ++runs; });
    QVERIFY(!am.execute("Action_Delete"));
    QCOMPARE(runs, 0);
    QCOMPARE(m_prompter.lastText(), PermissionChecker::refusalText());
    // Granting the right works from the next command on.
    m_book->db().query("insert into Sys_user_Operation (User_name, Action_id) values ('sales', 2)");
    QVERIFY(am.execute("Action_Delete"));
    QCOMPARE(runs, 1);
}

void TestActionManager::errorsOfAHandlerAreShown() {
    ActionManager am("Form_Test", *m_checker, m_prompter);
    am.add("Action_Save", "保存", [] { throw UserError("请填写[商品名称]"); });
    QVERIFY(!am.execute("Action_Save"));
    QCOMPARE(m_prompter.lastText(), QString("请填写[商品名称]"));
    QCOMPARE(m_prompter.messages().last().kind, Prompter::Kind::Error);
}

void TestActionManager::nestedCommandChecksAgainAndStopsTheOuterOne() {
    ActionManager am("Form_Test", *m_checker, m_prompter);
    bool afterInner = false;
    am.add("Action_Delete", "删除", [] {});
    am.add("Action_Save", "保存", [&] {
        am.execute("Action_Delete");  // refused: the outer command stops here
        afterInner = true;
    });
    QVERIFY(!am.execute("Action_Save"));
    QVERIFY(!afterInner);
    QCOMPARE(m_prompter.messages().size(), 1);
    QCOMPARE(m_prompter.lastText(), PermissionChecker::refusalText());
}

namespace {
enum class Throws { Nothing, Database, Rule, Standard, Other };

void raise(Throws what) {
    switch (what) {
        case Throws::Nothing:
            return;
        case Throws::Database:
            throw DbError("执行语句失败(测试账本)", "database is locked");
        case Throws::Rule:
            throw UserError("请填写[商品名称]");
        case Throws::Standard:
            throw std::out_of_range("row 7 out of range");
        case Throws::Other:
            throw 42;
    }
}
}  // namespace

// Whatever is thrown inside is shown as an error and stops there; both the
// manager's guard and the one for dialogs without a manager.
void TestActionManager::guardShowsWhatIsThrown_data() {
    QTest::addColumn<int>("what");
    QTest::addColumn<bool>("withManager");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("details");
    for (bool withManager : {true, false}) {
        const char* who = withManager ? "manager" : "prompter";
        QTest::addRow("%s: nothing", who) << int(Throws::Nothing) << withManager << QString() << QString();
        // The driver's text goes to the box's details, not into the message.
        QTest::addRow("%s: database", who) << int(Throws::Database) << withManager << QString("执行语句失败(测试账本)")
                                           << QString("database is locked");
        QTest::addRow("%s: rule", who) << int(Throws::Rule) << withManager << QString("请填写[商品名称]") << QString();
        QTest::addRow("%s: std", who) << int(Throws::Standard) << withManager
                                      << QString("操作失败：程序内部错误（row 7 out of range）")
                                      << QString("row 7 out of range");
        QTest::addRow("%s: other", who) << int(Throws::Other) << withManager << QString("操作失败：发生了未知的错误")
                                        << QString();
    }
}

void TestActionManager::guardShowsWhatIsThrown() {
    QFETCH(int, what);
    QFETCH(bool, withManager);
    QFETCH(QString, shown);
    QFETCH(QString, details);
    ActionManager am("Form_Test", *m_checker, m_prompter);
    bool done = false;
    auto work = [&] {
        raise(Throws(what));
        done = true;
    };
    bool ok = false;
    try {
        ok = withManager ? am.guard(work) : ActionManager::guard(m_prompter, work);
    } catch (...) {
        QFAIL("the guard let an exception through");
    }
    QCOMPARE(ok, shown.isEmpty());
    QCOMPARE(done, shown.isEmpty());
    if (shown.isEmpty()) {
        QVERIFY(m_prompter.messages().isEmpty());
        return;
    }
    QCOMPARE(m_prompter.messages().size(), 1);
    QCOMPARE(m_prompter.lastText(), shown);
    QCOMPARE(m_prompter.messages().last().details, details);
    QCOMPARE(m_prompter.messages().last().kind, Prompter::Kind::Error);
}

// A guarded step of a command shows its own error; the command goes on
// and ends normally.
void TestActionManager::guardInsideACommandLetsTheCommandGoOn() {
    ActionManager am("Form_Test", *m_checker, m_prompter);
    bool stepDone = true;
    bool commandDone = false;
    am.add("Action_Save", "保存", [&] {
        stepDone = am.guard([] { raise(Throws::Database); });
        commandDone = true;
    });
    QVERIFY(am.execute("Action_Save"));
    QVERIFY(!stepDone);
    QVERIFY(commandDone);
    QCOMPARE(m_prompter.messages().size(), 1);
}

// The kit's widgets reach the manager of the window they sit in.
void TestActionManager::guardInFindsTheManagerOfTheWindow() {
    ScriptedPrompter inner;
    QObject window;
    ActionManager outer("Form_Test", *m_checker, m_prompter, &window);
    QObject panel(&window);
    QObject part(&panel);
    QVERIFY(!ActionManager::guardIn(&part, [] { raise(Throws::Rule); }));
    QCOMPARE(m_prompter.lastText(), QString("请填写[商品名称]"));
    // A window inside the window: its own manager answers.
    QObject dialog(&window);
    ActionManager own("Form_Other", *m_checker, inner, &dialog);
    QObject field(&dialog);
    QVERIFY(!ActionManager::guardIn(&field, [] { raise(Throws::Standard); }));
    QCOMPARE(inner.lastText(), QString("操作失败：程序内部错误（row 7 out of range）"));
    QCOMPARE(m_prompter.messages().size(), 1);
    // Outside any window nobody could show it.
    QObject alone;
    QVERIFY_THROWS_EXCEPTION(UserError, ActionManager::guardIn(&alone, [] { raise(Throws::Rule); }));
}

QTEST_MAIN(TestActionManager)
#include "test_action_manager.moc"
