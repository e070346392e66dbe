#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "data/account_books.h"

class AppContext;

// The rules of the log-in dialog: which books and users it offers, which
// book it shows first, and the log-in itself, which switches to the chosen
// book before it checks the password.
class LoginService {
public:
    enum class Result { LoggedIn, WrongPassword };

    explicit LoginService(AppContext& context);

    // Reconnects the main window to the book now named in the settings; by
    // default the data module's ConnectDatabases.
    std::function<void()> initMainWindow;

    // The books offered (type 0), read again.
    const QList<AccountBookRow>& loadAccountBooks();
    const QList<AccountBookRow>& books() const { return m_books; }
    // The user names that may log in (type 1) of the book now connected;
    // empty when no book is connected.
    QStringList userNames();
    // The book of [DefaultSetting] AccountBook, or nothing (the dialog then
    // says "找不到该账本所在的位置！").
    std::optional<AccountBookRow> defaultBook() const;
    QString defaultUserName() const;

    // The book whose name matches `typedName` (trimmed, without regard to
    // case), or else `current` (the row shown when the dialog opened), or
    // else the first book of the list.
    std::optional<AccountBookRow> chooseBook(const QString& typedName,
                                             const std::optional<AccountBookRow>& current) const;

    // Switches to `book` (settings, current book, connection), then checks
    // the user. Connection and settings failures throw with a message.
    Result logIn(const AccountBookRow& book, const QString& userName, const QString& password);

    static QString bookNotFoundText() { return QStringLiteral("找不到该账本所在的位置！"); }
    static QString wrongPasswordText() { return QStringLiteral("密码错误,请重新输入密码"); }

private:
    AppContext& m_context;
    QList<AccountBookRow> m_books;
};
