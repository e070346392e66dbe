#include "admin/code_value_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "data/code_list_editor.h"
#include "ui/action_manager.h"
#include "ui/dialog_buttons.h"
#include "ui/style_holder.h"

CodeValueDialog::CodeValueDialog(CodeListEditor& editor, QWidget* parent)
    : QDialog(parent), m_editor(editor), m_value(new QLineEdit(this)), m_name(new QLineEdit(this)) {
    setObjectName(QStringLiteral("Sys_TableFieldStatus_Edit_Frm"));
    setWindowTitle(QStringLiteral("请输入参数名称"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setStyleSheet(StyleHolder::editorStyleSheet());
    m_value->setEnabled(false);
    m_value->setText(editor.values().value("StatusValue").toString());
    m_name->setText(editor.values().value("StatusName").toString());
    const int size = editor.values().field("StatusName").size;
    if (size > 0) {
        m_name->setMaxLength(size);
    }
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("编号："), m_value);
    form->addRow(QStringLiteral("名称："), m_name);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    addOkCancelRow(this, layout, [this] { accept(); });
    resize(300, 120);
}

void CodeValueDialog::accept() {
    const bool added = ActionManager::guard(m_editor.prompter(), [this] {
        m_editor.values().setValue("StatusName", m_name->text());
        m_editor.confirmAdd();
    });
    if (added) {
        QDialog::accept();
    }
}

void CodeValueDialog::reject() {
    m_editor.cancelAdd();
    QDialog::reject();
}
