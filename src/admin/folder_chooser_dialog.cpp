#include "admin/folder_chooser_dialog.h"

#include <QDir>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include "ui/dialog_buttons.h"

FolderChooserDialog::FolderChooserDialog(const QString& start, QWidget* parent)
    : QDialog(parent), m_model(new QFileSystemModel(this)), m_tree(new QTreeView(this)), m_path(new QLineEdit(this)) {
    setObjectName(QStringLiteral("Form_Sys_SystemSetting_picPath"));
    setWindowTitle(QStringLiteral("选择图片存放目录"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(QDir::rootPath());
    m_tree->setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c) {
        m_tree->hideColumn(c);
    }
    m_tree->header()->hide();
    m_path->setText(QDir::toNativeSeparators(start));
    const QModelIndex startIndex = m_model->index(start);
    if (startIndex.isValid()) {
        m_tree->setCurrentIndex(startIndex);
        m_tree->scrollTo(startIndex);
    }
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& i) { m_path->setText(QDir::toNativeSeparators(m_model->filePath(i))); });
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("当前路径"), m_path);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree, 1);
    layout->addLayout(form);
    addOkCancelRow(this, layout, [this] { accept(); });
    resize(420, 460);
}

QString FolderChooserDialog::path() const {
    return m_path->text().trimmed();
}

void FolderChooserDialog::accept() {
    if (path().isEmpty()) {
        return;
    }
    QDialog::accept();
}
