#include <QEvent>
#include <QTest>
#include <QTimer>

#include "platform/errors.h"
#include "platform/prompter.h"
#include "ui/guarded_application.h"

namespace {
// Throws from its event handler, as a handler that forgot its guard would.
class Throwing : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            throw UserError(QStringLiteral("请填写[商品名称]"));
        }
        if (e->type() == QEvent::User + 1) {
            throw std::out_of_range("index 3");
        }
        return QObject::event(e);
    }
};
}  // namespace

// Whatever still reaches the event loop is stopped and shown; the program
// goes on.
class TestGuardedApplication : public QObject {
    Q_OBJECT
    ScriptedPrompter& m_prompter;

public:
    explicit TestGuardedApplication(ScriptedPrompter& prompter) : m_prompter(prompter) {}

private slots:
    void eventsThatThrowAreShown() {
        Throwing target;
        QEvent rule(QEvent::User);
        QVERIFY(!QCoreApplication::sendEvent(&target, &rule));
        QEvent other(QEvent::Type(QEvent::User + 1));
        QVERIFY(!QCoreApplication::sendEvent(&target, &other));
        QCOMPARE(m_prompter.texts(), QStringList({"请填写[商品名称]", "操作失败：程序内部错误（index 3）"}));
        // Posted, it leaves the loop running.
        QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        bool later = false;
        QTimer::singleShot(0, [&later] { later = true; });
        QTRY_VERIFY(later);
        QCOMPARE(m_prompter.messages().size(), 3);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    GuardedApplication app(argc, argv);
    ScriptedPrompter prompter;
    app.setPrompter(&prompter);
    TestGuardedApplication test(prompter);
    const int failed = QTest::qExec(&test, argc, argv);
    app.setPrompter(nullptr);
    return failed;
}

#include "test_guarded_application.moc"
