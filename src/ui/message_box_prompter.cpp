#include "ui/message_box_prompter.h"

#include <QMessageBox>

void MessageBoxPrompter::inform(const QString& text, const QString& caption) {
    QMessageBox::information(m_parent, caption, text, QMessageBox::Ok);
}

void MessageBoxPrompter::error(const QString& text, const QString& caption) {
    QMessageBox::critical(m_parent, caption, text, QMessageBox::Ok);
}

bool MessageBoxPrompter::confirm(const QString& text, const QString& caption) {
    return QMessageBox::question(m_parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) ==
           QMessageBox::Ok;
}

bool MessageBoxPrompter::askYesNo(const QString& text, const QString& caption) {
    return QMessageBox::question(m_parent, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}
