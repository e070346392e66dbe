#include "ui/folder_chooser_dialog.h"

#include <QDir>
#include <QEvent>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
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
    m_start = QDir::cleanPath(QDir::fromNativeSeparators(start));
    // Folders arrive and are sorted in the background, which moves the rows:
    // until the user picks another folder, the starting one is brought back
    // into view after each change.
    connect(m_model, &QFileSystemModel::layoutChanged, this, &FolderChooserDialog::showStart, Qt::QueuedConnection);
    connect(m_model, &QFileSystemModel::rowsInserted, this, &FolderChooserDialog::showStart, Qt::QueuedConnection);
    connect(m_model, &QFileSystemModel::directoryLoaded, this, &FolderChooserDialog::showStart, Qt::QueuedConnection);
    // Once the user clicks, scrolls or types in the tree, it stays where
    // the user put it.
    m_tree->viewport()->installEventFilter(this);
    m_tree->installEventFilter(this);
    connect(m_tree->verticalScrollBar(), &QScrollBar::sliderPressed, this, [this] { m_start.clear(); });
    showStart();
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& i) {
        m_path->setText(QDir::toNativeSeparators(m_model->filePath(i)));
        if (!m_placing) {
            m_start.clear();
        }
    });
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("当前路径"), m_path);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree, 1);
    layout->addLayout(form);
    addOkCancelRow(this, layout, [this] { accept(); });
    resize(420, 460);
}

void FolderChooserDialog::showStart() {
    const QModelIndex startIndex = m_start.isEmpty() ? QModelIndex() : m_model->index(m_start);
    if (!startIndex.isValid()) {
        return;
    }
    // The path box keeps what the user may have typed meanwhile.
    const QString typed = m_path->text();
    m_placing = true;
    m_tree->setCurrentIndex(startIndex);
    m_placing = false;
    m_path->setText(typed);
    m_tree->scrollTo(startIndex, QAbstractItemView::PositionAtCenter);
}

bool FolderChooserDialog::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
        case QEvent::KeyPress:
            m_start.clear();
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
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
