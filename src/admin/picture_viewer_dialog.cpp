#include "admin/picture_viewer_dialog.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>

#include "platform/file_chooser.h"
#include "platform/picture_reader.h"
#include "platform/prompter.h"
#include "ui/action_manager.h"

PictureViewerDialog::PictureViewerDialog(Prompter& prompter, FileChooser& files, QWidget* parent)
    : QDialog(parent),
      m_prompter(prompter),
      m_files(files),
      m_title(new QLabel(QStringLiteral("没有图片可显示"), this)),
      m_picture(new QLabel(this)) {
    setObjectName(QStringLiteral("Sys_ViewPicture_Frm"));
    setWindowTitle(QStringLiteral("图片查看窗口"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setStyleSheet(QStringLiteral("QLabel { color: navy; font-weight: bold; }"));
    m_picture->setAlignment(Qt::AlignCenter);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(m_picture);
    scroll->setWidgetResizable(true);
    scroll->setAlignment(Qt::AlignCenter);
    auto* save = new QPushButton(QStringLiteral("图片另存为.."), this);
    auto* back = new QPushButton(QStringLiteral("返回"), this);
    connect(save, &QPushButton::clicked, this, [this] { ActionManager::guard(m_prompter, [this] { saveAs(); }); });
    connect(back, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(back);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);
    resize(720, 560);
}

void PictureViewerDialog::setPicture(const QString& file, const QString& title, const QString& proposedName) {
    m_proposed = proposedName;
    if (!m_proposed.isEmpty() && QFileInfo(m_proposed).suffix().isEmpty()) {
        m_proposed += QStringLiteral(".jpg");
    }
    m_image = PictureReader::read(file);
    if (m_image.isNull()) {
        m_title->setText(QStringLiteral("打开图片时出现意外,没有图片可显示"));
        m_picture->clear();
        return;
    }
    m_title->setText(title);
    m_picture->setPixmap(QPixmap::fromImage(m_image));
}

QString PictureViewerDialog::titleText() const {
    return m_title->text();
}

void PictureViewerDialog::saveAs() {
    if (m_image.isNull()) {
        return;
    }
    QString file = m_files.choose(
        FileQuestion::saveFile(QStringLiteral("图片另存为"), m_proposed,
                               QStringLiteral("JPEG 图片 (*.jpg *.jpeg);;PNG 图片 (*.png);;BMP 图片 (*.bmp)")));
    if (file.isEmpty()) {
        return;
    }
    if (QFileInfo(file).suffix().isEmpty()) {
        file += QStringLiteral(".jpg");
    }
    // The format follows the extension the user chose.
    if (!m_image.save(file)) {
        m_prompter.error(QStringLiteral("图片保存失败: %1").arg(file));
        return;
    }
    m_prompter.inform(QStringLiteral("图片已保存成功！"));
}
