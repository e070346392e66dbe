#include "admin/password_dialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "admin/password_change.h"
#include "data/app_context.h"
#include "platform/prompter.h"
#include "ui/action_manager.h"
#include "ui/dialog_buttons.h"
#include "ui/style_holder.h"

PasswordDialog::PasswordDialog(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_new(new QLineEdit(this)),
      m_repeat(new QLineEdit(this)),
      m_show(new QCheckBox(QStringLiteral("显示密码"), this)) {
    setObjectName(QStringLiteral("SYS_ChangePassword_Frm"));
    setWindowTitle(QStringLiteral("修改密码"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setStyleSheet(StyleHolder::editorStyleSheet());
    for (QLineEdit* e : {m_new, m_repeat}) {
        e->setEchoMode(QLineEdit::Password);
    }
    connect(m_show, &QCheckBox::toggled, this, [this](bool on) {
        for (QLineEdit* e : {m_new, m_repeat}) {
            e->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password);
        }
    });
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("新密码"), m_new);
    form->addRow(QStringLiteral("重输确认"), m_repeat);
    form->addRow(m_show);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    addOkCancelRow(this, layout, [this] { confirm(); });
}

void PasswordDialog::confirm() {
    bool changed = false;
    if (!ActionManager::guard(m_context.prompter(), [this, &changed] {
            changed = PasswordChange(m_context).apply(m_new->text(), m_repeat->text());
        })) {
        return;
    }
    if (!changed) {
        m_context.prompter().inform(PasswordChange::mismatchText());
        m_new->clear();
        m_repeat->clear();
        m_new->setFocus();
        return;
    }
    accept();
}
