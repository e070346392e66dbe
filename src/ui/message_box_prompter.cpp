#include "ui/message_box_prompter.h"

#include <QInputDialog>
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

bool MessageBoxPrompter::askText(const QString& caption, const QString& prompt, QString* text) {
    bool ok = false;
    const QString answer = QInputDialog::getText(m_parent, caption, prompt, QLineEdit::Normal, *text, &ok);
    if (ok) {
        *text = answer;
    }
    return ok;
}
