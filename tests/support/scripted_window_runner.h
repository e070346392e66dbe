#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>
#include <functional>

#include "platform/window_runner.h"

// Shows no window: each one a command opens goes to the next step of the script, which acts on it and
// gives its result. No step left, or a window of another kind: cancelled (not closed). Every window is
// kept by its name (else its class), a mismatch as "unexpected …".
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
    // A step that works the window as a user does (QVERIFY allowed): the window's own result.
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
