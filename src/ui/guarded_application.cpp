#include "ui/guarded_application.h"

#include <cstdio>
#include <stdexcept>

#include "platform/errors.h"
#include "platform/prompter.h"

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        show(e);
    } catch (...) {
        show(std::runtime_error("unknown exception"), QStringLiteral("操作失败：发生了未知的错误"));
    }
    return false;
}

void GuardedApplication::show(const std::exception& e, const QString& text) {
    // The message box runs its own event loop; an error raised inside it is
    // only written out.
    if (!m_prompter || m_showing) {
        const QString all = (text.isEmpty() ? userTextOf(e) : text) + '\n' + detailsOf(e);
        std::fprintf(stderr, "%s\n", all.toLocal8Bit().constData());
        return;
    }
    m_showing = true;
    try {
        if (text.isEmpty()) {
            m_prompter->showFailure(e);
        } else {
            m_prompter->error(text);
        }
    } catch (...) {
    }
    m_showing = false;
}
