#include "ui/message_box_prompter.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
// A box stands over the window that raised it (the dialog in front), not
// over the main window it would otherwise be centred on.
QWidget* owner(QWidget* fallback) {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    return fallback;
}

// A message box whose buttons carry the program's own Chinese texts,
// whatever translations are installed.
QMessageBox::StandardButton ask(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
                                const QList<QPair<QMessageBox::StandardButton, QString>>& buttons,
                                QMessageBox::StandardButton defaultButton, const QString& details = {}) {
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, owner(parent));
    // The statement and the driver's text, behind the details button (its
    // Chinese label comes from the program's translations).
    box.setDetailedText(details);
    for (const auto& [button, label] : buttons) {
        box.addButton(button)->setText(label);
    }
    box.setDefaultButton(defaultButton);
    box.exec();
    return box.standardButton(box.clickedButton());
}

const QString kOk = QStringLiteral("确定");
const QString kCancel = QStringLiteral("取消");
}  // namespace

void MessageBoxPrompter::inform(const QString& text, const QString& caption) {
    ask(m_parent, QMessageBox::Information, caption, text, {{QMessageBox::Ok, kOk}}, QMessageBox::Ok);
}

void MessageBoxPrompter::error(const QString& text, const QString& caption) {
    ask(m_parent, QMessageBox::Critical, caption, text, {{QMessageBox::Ok, kOk}}, QMessageBox::Ok);
}

void MessageBoxPrompter::failure(const QString& text, const QString& details, const QString& caption) {
    ask(m_parent, QMessageBox::Critical, caption, text, {{QMessageBox::Ok, kOk}}, QMessageBox::Ok, details);
}

bool MessageBoxPrompter::confirm(const QString& text, const QString& caption) {
    return ask(m_parent, QMessageBox::Question, caption, text, {{QMessageBox::Ok, kOk}, {QMessageBox::Cancel, kCancel}},
               QMessageBox::Ok) == QMessageBox::Ok;
}

bool MessageBoxPrompter::askYesNo(const QString& text, const QString& caption) {
    return ask(m_parent, QMessageBox::Question, caption, text,
               {{QMessageBox::Yes, QStringLiteral("是")}, {QMessageBox::No, QStringLiteral("否")}},
               QMessageBox::Yes) == QMessageBox::Yes;
}

Prompter::SaveAnswer MessageBoxPrompter::askSaveChanges(const QString& text, const QString& caption) {
    switch (ask(m_parent, QMessageBox::Question, caption, text,
                {{QMessageBox::Yes, QStringLiteral("是")},
                 {QMessageBox::No, QStringLiteral("否")},
                 {QMessageBox::Cancel, kCancel}},
                QMessageBox::Yes)) {
        case QMessageBox::Yes:
            return SaveAnswer::Save;
        case QMessageBox::No:
            return SaveAnswer::Discard;
        default:
            return SaveAnswer::Cancel;
    }
}

bool MessageBoxPrompter::askText(const QString& caption, const QString& prompt, QString* text) {
    QInputDialog dialog(owner(m_parent));
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(*text);
    dialog.setOkButtonText(kOk);
    dialog.setCancelButtonText(kCancel);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    *text = dialog.textValue();
    return true;
}
