#include <QAction>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <stdexcept>

#include "data/permission_checker.h"
#include "data/records.h"
#include "platform/errors.h"
#include "support/test_books.h"
#include "ui/action_manager.h"

namespace {
// What a handler throws: nothing, a database failure, a rule, a standard exception, anything else.
enum Throws { Nothing, DbFailure, Rule, Standard, Other };
const std::function<void()> kRaise[] = {[] {}, [] { throw DbError("执行语句失败(测试账本)", "database is locked"); },
                                        [] { throw UserError("请填写[商品名称]"); },
                                        [] { throw std::out_of_range("row 7 out of range"); }, [] { throw 42; }};

// Where the work runs: a command, the manager's guard, the guard without a manager.
enum class Through { Command, Manager, Prompter };
}  // namespace

// Commands pass the permission check before their handler runs.
class TestActionManager : public QObject {
    Q_OBJECT
    std::unique_ptr<TestBooks::FreshBook> m_book;
    UserRecord m_user{"小王", "", "sales"};  // the checker keeps a reference
    std::unique_ptr<PermissionChecker> m_checker;
    ScriptedPrompter m_prompter;

private slots:
    // The user's group may save, not delete, on the test window (names in any letter case).
    void init() {
        m_book = std::make_unique<TestBooks::FreshBook>("sqlite");
        Database& db = m_book->db();
        db.query("delete from Sys_user_Operation");
        db.query("delete from Sys_Operation_Table");
        db.query(
            "insert into Sys_Operation_Table (id, Action_Name, Form_Name, isControl) values "
            "(1, 'action_save', 'form_test', 1), (2, 'action_delete', 'form_test', 1)");
        db.query("insert into Sys_user_Operation (User_name, Action_id) values ('sales', 1)");
        m_checker = std::make_unique<PermissionChecker>(db, m_user);
        m_prompter.clear();
    }
    void cleanup() {
        m_checker.reset();
        m_book.reset();
    }

    // A refused command is said and does not run until granted; refused inside another, it stops both.
    void commandsRunOnlyWithTheirRight() {
        ActionManager am("Form_Test", *m_checker, m_prompter);
        int saves = 0, deletes = 0;
        bool nested = false, afterInner = false;
        QAction* save = am.add("Action_Save", "保存", [&] {
            ++saves;
            if (nested) {
                am.execute("Action_Delete");  // refused: the outer command stops here
                afterInner = true;
            }
        });
        am.add("Action_Delete", "删除", [&] { ++deletes; });
        QCOMPARE(save->objectName(), QString("Action_Save"));
        QSignalSpy executed(&am, &ActionManager::executed);
        QVERIFY(am.execute("action_save"));
        save->trigger();
        QCOMPARE(saves, 2);
        QCOMPARE(executed.count(), 2);
        QVERIFY(m_prompter.messages().isEmpty());
        QVERIFY(!am.execute("Action_Delete"));
        QCOMPARE(deletes, 0);
        QCOMPARE(m_prompter.lastText(), PermissionChecker::refusalText());
        nested = true;
        m_prompter.clear();
        QVERIFY(!am.execute("Action_Save"));
        QVERIFY(!afterInner);
        QCOMPARE(executed.count(), 2);
        QCOMPARE(m_prompter.messages().size(), 1);
        QCOMPARE(m_prompter.lastText(), PermissionChecker::refusalText());
        m_book->db().query("insert into Sys_user_Operation (User_name, Action_id) values ('sales', 2)");
        QVERIFY(am.execute("Action_Delete"));
        QCOMPARE(deletes, 1);
    }

    // Whatever is thrown is shown once as an error and stops there; the driver's text goes to the details.
    void guardShowsWhatIsThrown() {
        const std::tuple<Throws, const char*, const char*> cases[] = {
            {Nothing, "", ""},
            {DbFailure, "执行语句失败(测试账本)", "database is locked"},
            {Rule, "请填写[商品名称]", ""},
            {Standard, "操作失败：程序内部错误（row 7 out of range）", "row 7 out of range"},
            {Other, "操作失败：发生了未知的错误", ""}};
        for (const Through through : {Through::Command, Through::Manager, Through::Prompter}) {
            for (const auto& [what, shown, details] : cases) {
                m_prompter.clear();
                ActionManager am("Form_Test", *m_checker, m_prompter);
                bool done = false;
                const auto work = [&done, what = what] {
                    kRaise[what]();
                    done = true;
                };
                am.add("Action_Save", "保存", work);
                bool ok = false;
                try {
                    ok = through == Through::Command   ? am.execute("Action_Save")
                         : through == Through::Manager ? am.guard(work)
                                                       : ActionManager::guard(m_prompter, work);
                } catch (...) {
                    QFAIL("the guard let an exception through");
                }
                QStringList seen{ok && done ? "done" : !ok && !done ? "stopped" : "?"};
                for (const auto& m : m_prompter.messages()) {
                    seen << QString("%1|%2|%3").arg(m.kind == Prompter::Kind::Error ? "error" : "?", m.text, m.details);
                }
                const QStringList want =
                    *shown ? QStringList{"stopped", QString("error|%1|%2").arg(shown, details)} : QStringList{"done"};
                QVERIFY2(
                    seen == want,
                    qPrintable(
                        QString("through %1, throws %2: %3").arg(int(through)).arg(int(what)).arg(seen.join(" / "))));
            }
        }
    }

    // A guarded step of a command shows its own error; the command goes on.
    void guardInsideACommandLetsTheCommandGoOn() {
        ActionManager am("Form_Test", *m_checker, m_prompter);
        bool stepDone = true, commandDone = false;
        am.add("Action_Save", "保存", [&] {
            stepDone = am.guard([] { kRaise[DbFailure](); });
            commandDone = true;
        });
        QVERIFY(am.execute("Action_Save"));
        QVERIFY(!stepDone && commandDone);
        QCOMPARE(m_prompter.messages().size(), 1);
    }

    // The kit's widgets reach the manager of the window they sit in.
    void guardInFindsTheManagerOfTheWindow() {
        ScriptedPrompter inner;
        QObject window;
        ActionManager outer("Form_Test", *m_checker, m_prompter, &window);
        QObject panel(&window);
        QObject part(&panel);
        QVERIFY(!ActionManager::guardIn(&part, [] { kRaise[Rule](); }));
        QCOMPARE(m_prompter.lastText(), QString("请填写[商品名称]"));
        // A window inside the window: its own manager answers.
        QObject dialog(&window);
        ActionManager own("Form_Other", *m_checker, inner, &dialog);
        QObject field(&dialog);
        QVERIFY(!ActionManager::guardIn(&field, [] { kRaise[Standard](); }));
        QCOMPARE(inner.lastText(), QString("操作失败：程序内部错误（row 7 out of range）"));
        QCOMPARE(m_prompter.messages().size(), 1);
        // Outside any window nobody could show it.
        QObject alone;
        QVERIFY_THROWS_EXCEPTION(UserError, ActionManager::guardIn(&alone, [] { kRaise[Rule](); }));
    }
};

QTEST_MAIN(TestActionManager)
#include "test_action_manager.moc"
