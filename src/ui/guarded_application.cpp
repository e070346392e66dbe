#include "ui/guarded_application.h"

#include <cstdio>

#include "platform/errors.h"
#include "platform/prompter.h"

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        show(userTextOf(e));
    } catch (...) {
        show(QStringLiteral("操作失败：发生了未知的错误"));
    }
    return false;
}

void GuardedApplication::show(const QString& text) {
    // The message box runs its own event loop; an error raised inside it is
    // only written out.
    if (!m_prompter || m_showing) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return;
    }
    m_showing = true;
    try {
        m_prompter->error(text);
    } catch (...) {
    }
    m_showing = false;
}
