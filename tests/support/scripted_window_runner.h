#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>
#include <functional>

#include "platform/window_runner.h"

// Shows no window: each window a command opens goes to the next step of
// the script, which may look at it, act on it and return its result, as
// ScriptedPrompter answers boxes. A window with no step left, or not of the
// kind its step expects, is answered as cancelled (the window itself is not
// closed). Every window opened is kept
// by its window name (its class when it has none) for the test to compare,
// a mismatch as "unexpected …".
class ScriptedWindowRunner : public WindowRunner {
public:
    QStringList shown;

    // The next window must be a `Window`; `act` gets it and gives the result.
    template <class Window>
    void then(std::function<int(Window&)> act) {
        m_steps.append([act](QDialog& dialog) {
            auto* window = dynamic_cast<Window*>(&dialog);
            return window ? act(*window) : -1;
        });
    }
    // The same for a step that works the window as a user does (and may
    // use QVERIFY): the window's own result is given back.
    template <class Window>
    void thenWork(std::function<void(Window&)> work) {
        then<Window>([work](Window& window) {
            work(window);
            return window.result();
        });
    }
    int run(QDialog& window) override {
        shown.append(window.objectName().isEmpty() ? QString::fromLatin1(window.metaObject()->className())
                                                   : window.objectName());
        if (m_steps.isEmpty()) {
            return QDialog::Rejected;
        }
        const int result = m_steps.takeFirst()(window);
        if (result < 0) {
            shown.last() = QStringLiteral("unexpected ") + shown.last();
            return QDialog::Rejected;
        }
        return result;
    }

private:
    QList<std::function<int(QDialog&)>> m_steps;
};
