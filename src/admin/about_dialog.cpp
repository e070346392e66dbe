#include "admin/about_dialog.h"

#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "data/app_context.h"

AboutDialog::AboutDialog(const AppContext& context, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("About_Frm"));
    setWindowTitle(QStringLiteral("关于"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("产品名称："), new QLabel(context.SoftwareInfo.ProductName, this));
    form->addRow(QStringLiteral("软件版本："), new QLabel(context.SoftwareInfo.Version, this));
    // Where the books and settings are: the first question when a book
    // seems lost.
    auto* folder = new QLabel(QDir::toNativeSeparators(context.paths().programFolder()), this);
    folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QStringLiteral("程序目录："), folder);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    form->addRow(ok);
    // Wide enough for its title (a window manager cuts a title a narrow
    // box cannot hold).
    setMinimumWidth(std::max(320, fontMetrics().horizontalAdvance(context.SoftwareInfo.Title) + 160));
}
