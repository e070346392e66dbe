#include "admin/settings_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "admin/settings_editor.h"
#include "data/app_context.h"
#include "ui/action_manager.h"
#include "ui/dialog_buttons.h"

SettingsDialog::SettingsDialog(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_filter(new QCheckBox(QStringLiteral("在列表界面显示\"自定义过滤条件\"按钮"), this)),
      m_folder(new QLineEdit(this)) {
    setObjectName(QStringLiteral("SYS_SystemSetting_Frm"));
    setWindowTitle(QStringLiteral("系统设置"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const SettingsEditor settings(context);
    m_filter->setChecked(settings.showCustomFilter());
    m_folder->setText(settings.pictureFolder());
    auto* tabs = new QTabWidget(this);
    auto* page = new QWidget(tabs);
    auto* choose = new QPushButton(QStringLiteral("选择目录..."), page);
    connect(choose, &QPushButton::clicked, this, &SettingsDialog::chooseFolder);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(choose);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(m_filter);
    pageLayout->addWidget(new QLabel(QStringLiteral("图片保存路径"), page));
    pageLayout->addLayout(folderRow);
    pageLayout->addStretch();
    tabs->addTab(page, QStringLiteral("界面设置"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    addOkCancelRow(this, layout, [this] { confirm(); });
    resize(460, 220);
}

void SettingsDialog::chooseFolder() {
    const QString path = m_context.files().choose(FileQuestion::folder(QStringLiteral("选择目录"), m_folder->text()));
    if (!path.isEmpty()) {
        m_folder->setText(path);
    }
}

void SettingsDialog::confirm() {
    const bool applied = ActionManager::guard(
        m_context.prompter(), [this] { SettingsEditor(m_context).apply(m_filter->isChecked(), m_folder->text()); });
    if (applied) {
        accept();
    }
}
