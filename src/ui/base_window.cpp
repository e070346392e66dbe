#include "ui/base_window.h"

#include <QCloseEvent>

#include "data/app_context.h"
#include "data/data_module.h"
#include "ui/shortcuts.h"
#include "ui/style_holder.h"

BaseWindow::BaseWindow(AppContext& context, const QString& windowName, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_permissions(context.data(), context.CurrentUser),
      m_actions(windowName, m_permissions, context.prompter(), this) {
    setObjectName(windowName);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont f = font();
    f.setFamily(StyleHolder::fontFamily());
    setFont(f);
}

int runWindow(AppContext& context, QDialog& window) {
    if (WindowRunner* runner = context.windowRunner()) {
        return runner->run(window);
    }
    return window.exec();
}

int BaseWindow::showModal() {
    return runWindow(m_context, *this);
}

void BaseWindow::reject() {
    if (m_closing || confirmClose()) {
        m_closing = true;
        QDialog::reject();
        m_closing = false;
    }
}

void BaseWindow::showEvent(QShowEvent* event) {
    Shortcuts::install(*this);
    QDialog::showEvent(event);
}

void BaseWindow::closeEvent(QCloseEvent* event) {
    if (m_closing || confirmClose()) {
        event->accept();
        return;
    }
    event->ignore();
}
