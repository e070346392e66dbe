#pragma once

#include <QDialog>
#include <optional>

#include "shell/login_service.h"

class AppContext;
class QComboBox;
class QLineEdit;
class QPushButton;

// "登陆": the account book, the user and the password. Enter anywhere logs
// in; a wrong password keeps the dialog open; Cancel closes it.
class LoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoginDialog(AppContext& context, QWidget* parent = nullptr);

    LoginService& service() { return m_service; }
    QComboBox* userBox() const { return m_user; }
    QLineEdit* passwordBox() const { return m_password; }
    QComboBox* bookBox() const { return m_book; }
    QPushButton* loginButton() const { return m_login; }
    QPushButton* newBookButton() const { return m_newBook; }

    // Refills both lists and the defaults, as each showing does.
    void prepare();
    void logIn();
    void newBook();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadAccountBooks();
    void showBook(const AccountBookRow& book);

    AppContext& m_context;
    LoginService m_service;
    QComboBox* m_user;
    QLineEdit* m_password;
    QComboBox* m_book;
    QPushButton* m_login;
    QPushButton* m_cancel;
    QPushButton* m_newBook;
    std::optional<AccountBookRow> m_shownBook;
};
