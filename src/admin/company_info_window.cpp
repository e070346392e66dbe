#include "admin/company_info_window.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "data/app_context.h"
#include "data/data_module.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "ui/field_binder.h"
#include "ui/style_holder.h"

CompanyInfoWindow::CompanyInfoWindow(AppContext& context, QWidget* parent)
    : BaseWindow(context, QStringLiteral("SYS_CurrCorpInfo_Frm"), parent), m_editor(context.data().main()) {
    setWindowTitle(QStringLiteral("使用单位信息"));
    setStyleSheet(StyleHolder::editorStyleSheet());
    m_editor.open();
    auto* binder = new FieldBinder(&m_editor.corp(), this);
    connect(binder, &FieldBinder::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    auto* form = new QFormLayout;
    const QList<QPair<const char*, const char*>> fields = {
        {"Corp_name", "单位名称"},           {"Corp_telephone", "单位电话"},
        {"Corp_address", "单位地址"},        {"Tax_no", "税务登记号"},
        {"Bank_code", "开户银行及帐号"},     {"Linkman_name", "联系人名称"},
        {"Linkman_telephone", "联系人电话"}, {"Linkman_email", "联系人电子邮件"}};
    for (const auto& [field, caption] : fields) {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly(true);
        binder->bind(edit, QString::fromLatin1(field));
        form->addRow(QString::fromUtf8(caption) + QStringLiteral("："), edit);
        m_edits.append({QString::fromLatin1(field), edit});
    }
    auto* edit = new QPushButton(QStringLiteral("修改"), this);
    m_save = new QPushButton(QStringLiteral("保存"), this);
    m_cancel = new QPushButton(QStringLiteral("取消修改"), this);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    QAction* editAction = actions().add(QStringLiteral("Action_Edit"), QStringLiteral("修改"), [this] {
        m_editor.edit();
        updateButtons();
    });
    QAction* saveAction = actions().add(QStringLiteral("Action_Save"), QStringLiteral("保存"), [this] {
        m_editor.save();
        updateButtons();
    });
    QAction* cancelAction = actions().add(QStringLiteral("Action_Cancel"), QStringLiteral("取消修改"), [this] {
        m_editor.cancel();
        updateButtons();
    });
    connect(edit, &QPushButton::clicked, editAction, &QAction::trigger);
    connect(m_save, &QPushButton::clicked, saveAction, &QAction::trigger);
    connect(m_cancel, &QPushButton::clicked, cancelAction, &QAction::trigger);
    connect(close, &QPushButton::clicked, this, &CompanyInfoWindow::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(edit);
    buttons->addWidget(m_save);
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    resize(460, 320);
    updateButtons();
}

QLineEdit* CompanyInfoWindow::editorFor(const QString& field) const {
    for (const auto& [name, edit] : m_edits) {
        if (name.compare(field, Qt::CaseInsensitive) == 0) {
            return edit;
        }
    }
    return nullptr;
}

void CompanyInfoWindow::updateButtons() {
    const bool editing = m_editor.isEditing();
    m_save->setEnabled(editing);
    m_cancel->setEnabled(editing);
    for (const auto& pair : m_edits) {
        pair.second->setReadOnly(!editing);
    }
}

bool CompanyInfoWindow::confirmClose() {
    // Closing saves only while "修改" is in force, through the save command.
    if (!m_editor.isEditing()) {
        return true;
    }
    return actions().execute(QStringLiteral("Action_Save"));
}
