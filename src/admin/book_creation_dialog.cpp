#include "admin/book_creation_dialog.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "admin/book_creator.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "ui/action_manager.h"
#include "ui/style_holder.h"

BookCreationDialog::BookCreationDialog(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_name(new QLineEdit(this)),
      m_description(new QLineEdit(BookCreator::defaultDescription(), this)),
      m_books(new QTableWidget(this)) {
    setObjectName(QStringLiteral("sys_BuiltAccoutBook_frm"));
    setWindowTitle(QStringLiteral("创建新帐册"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setStyleSheet(StyleHolder::editorStyleSheet());
    m_name->setMaxLength(50);
    m_description->setMaxLength(255);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("新帐册名称："), m_name);
    form->addRow(QStringLiteral("新帐册描述："), m_description);

    m_books->setColumnCount(2);
    m_books->setHorizontalHeaderLabels({QStringLiteral("帐册名称"), QStringLiteral("帐册描述")});
    m_books->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_books->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_books->setSelectionMode(QAbstractItemView::SingleSelection);
    m_books->horizontalHeader()->setStretchLastSection(true);
    m_books->setColumnWidth(0, 160);
    StyleHolder::applyGrid(m_books, StyleHolder::GridCE);
    ActionManager::guard(context.prompter(), [this, &context] {
        DataModule& dm = context.data();
        m_rows = AccountBooks(dm.openSystem()).all();
    });
    m_books->setRowCount(m_rows.size());
    for (int i = 0; i < m_rows.size(); ++i) {
        m_books->setItem(i, 0, new QTableWidgetItem(m_rows[i].AccountBookName));
        m_books->setItem(i, 1, new QTableWidgetItem(m_rows[i].description));
    }

    auto* create = new QPushButton(QStringLiteral("创建"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    connect(create, &QPushButton::clicked, this, &BookCreationDialog::create);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(create);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("请从下面选择一本帐册，选中的帐册将作为新帐册的创建依据"), this));
    layout->addWidget(m_books);
    layout->addLayout(buttons);
    resize(460, 360);
}

void BookCreationDialog::create() {
    const int row = m_books->currentRow();
    const AccountBookRow* source =
        m_books->selectionModel()->hasSelection() && row >= 0 && row < m_rows.size() ? &m_rows[row] : nullptr;
    const bool created = ActionManager::guard(
        m_context.prompter(), [&] { BookCreator(m_context).create(m_name->text(), m_description->text(), source); });
    if (created) {
        accept();
    }
}
