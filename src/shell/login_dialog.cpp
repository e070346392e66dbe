#include "shell/login_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "admin/book_creation_dialog.h"
#include "data/app_context.h"
#include "platform/prompter.h"
#include "ui/action_manager.h"
#include "ui/base_window.h"
#include "ui/style_holder.h"

LoginDialog::LoginDialog(AppContext& context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_context(context),
      m_service(context),
      m_user(new QComboBox(this)),
      m_password(new QLineEdit(this)),
      m_book(new QComboBox(this)),
      m_login(new QPushButton(QStringLiteral("确定"), this)),
      m_cancel(new QPushButton(QStringLiteral("取消"), this)),
      m_newBook(new QPushButton(QStringLiteral("新建账本"), this)) {
    setObjectName(QStringLiteral("LoginFrm"));
    setWindowTitle(QStringLiteral("登陆"));
    setStyleSheet(StyleHolder::editorStyleSheet());
    m_user->setObjectName(QStringLiteral("cxComboBox_Username"));
    m_password->setObjectName(QStringLiteral("cxTextEdit_Password"));
    m_book->setObjectName(QStringLiteral("cxComboBox_AccountBook"));
    m_login->setObjectName(QStringLiteral("cxButton_Login"));
    m_cancel->setObjectName(QStringLiteral("cxButton2"));
    m_newBook->setObjectName(QStringLiteral("cxButton1"));
    for (QComboBox* box : {m_user, m_book}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setMinimumWidth(200);
    }
    m_password->setEchoMode(QLineEdit::Password);
    m_login->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    m_newBook->setAutoDefault(false);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("用户名"), m_user);
    form->addRow(QStringLiteral("密 码"), m_password);
    form->addRow(QStringLiteral("账 本"), m_book);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_newBook);
    buttons->addStretch();
    buttons->addWidget(m_login);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_login, &QPushButton::clicked, this, &LoginDialog::logIn);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_newBook, &QPushButton::clicked, this, &LoginDialog::newBook);
    // The dialog sees key presses before its controls: Enter anywhere logs in.
    for (QWidget* w : findChildren<QWidget*>()) {
        w->installEventFilter(this);
    }
}

bool LoginDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            logIn();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void LoginDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The dialog takes its full size before anything is read: a failure
    // told while it is being shown (a server out of reach) must not leave
    // it at the size of a window without a layout.
    if (layout()) {
        layout()->activate();
    }
    adjustSize();
    prepare();
    adjustSize();
}

void LoginDialog::prepare() {
    m_user->clear();
    ActionManager::guard(m_context.prompter(), [this] { m_user->addItems(m_service.userNames()); });
    m_user->setEditText(m_service.defaultUserName());
    loadAccountBooks();
    m_password->clear();
    m_password->setFocus();
}

void LoginDialog::loadAccountBooks() {
    if (!ActionManager::guard(m_context.prompter(), [this] { m_service.loadAccountBooks(); })) {
        return;
    }
    const QString keep = m_book->currentText();
    m_book->clear();
    for (const AccountBookRow& b : m_service.books()) {
        m_book->addItem(b.AccountBookName, b.ID);
    }
    const auto def = m_service.defaultBook();
    if (def) {
        showBook(*def);
    } else {
        m_book->setEditText(keep);
        m_context.prompter().inform(LoginService::bookNotFoundText());
    }
}

void LoginDialog::showBook(const AccountBookRow& book) {
    m_shownBook = book;
    m_book->setEditText(book.AccountBookName);
}

void LoginDialog::logIn() {
    const auto book = m_service.chooseBook(m_book->currentText(), m_shownBook);
    if (!book) {
        m_context.prompter().inform(QStringLiteral("请选择账本"));
        return;
    }
    LoginService::Result result = LoginService::Result::WrongPassword;
    const bool opened = ActionManager::guard(
        m_context.prompter(), [&] { result = m_service.logIn(*book, m_user->currentText(), m_password->text()); });
    if (!opened) {
        // The book could not be opened: the message said why; the dialog stays usable.
        m_password->clear();
        return;
    }
    m_shownBook = book;
    m_password->clear();
    if (result == LoginService::Result::WrongPassword) {
        m_context.prompter().inform(LoginService::wrongPasswordText());
        m_password->setFocus();
        return;
    }
    accept();
}

void LoginDialog::newBook() {
    BookCreationDialog dialog(m_context, this);
    if (runWindow(m_context, dialog) != QDialog::Accepted) {
        return;
    }
    loadAccountBooks();
    const AccountBookRecord& created = m_context.CurrentAccountBook;
    for (const AccountBookRow& b : m_service.books()) {
        if (b.ID == created.BookID) {
            showBook(b);
        }
    }
}
