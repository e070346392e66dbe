#include "shell/login_service.h"

#include <QSqlQuery>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/password_hasher.h"
#include "data/user_accounts.h"
#include "platform/errors.h"
#include "platform/prompter.h"

LoginService::LoginService(AppContext& context) : m_context(context) {
    initMainWindow = [this] { m_context.data().ConnectDatabases(); };
}

const QList<AccountBookRow>& LoginService::loadAccountBooks() {
    DataModule& dm = m_context.data();
    m_books = AccountBooks(dm.openSystem()).offered();
    return m_books;
}

QStringList LoginService::userNames() {
    QStringList out;
    if (!m_context.data().isMainOpen()) {
        return out;
    }
    QSqlQuery q = m_context.data().main().query("select user_name from sys_user where type=1 order by id");
    while (q.next()) {
        out.append(q.value(0).toString());
    }
    return out;
}

std::optional<AccountBookRow> LoginService::defaultBook() const {
    const QString id = m_context.SettingsFile.readString("DefaultSetting", "AccountBook").trimmed();
    for (const AccountBookRow& b : m_books) {
        if (QString::number(b.ID).compare(id, Qt::CaseInsensitive) == 0) {
            return b;
        }
    }
    return std::nullopt;
}

QString LoginService::defaultUserName() const {
    return m_context.SettingsFile.readString("DefaultSetting", "Username");
}

std::optional<AccountBookRow> LoginService::chooseBook(const QString& typedName,
                                                       const std::optional<AccountBookRow>& current) const {
    const QString name = typedName.trimmed();
    for (const AccountBookRow& b : m_books) {
        if (b.AccountBookName.compare(name, Qt::CaseInsensitive) == 0) {
            return b;
        }
    }
    // A name that matches nothing keeps the book that was current: the one
    // shown, or else the first of the list, where a fresh list stands.
    if (!current && !m_books.isEmpty()) {
        return m_books.first();
    }
    return current;
}

LoginService::Result LoginService::logIn(const AccountBookRow& book, const QString& userName, const QString& password) {
    IniFile& ini = m_context.SettingsFile;
    ini.setString("DefaultSetting", "AccountBook", QString::number(book.ID));
    ini.setString("DB", "Path", book.FilePath);
    m_context.CurrentAccountBook = {book.ID, book.AccountBookName, book.FilePath, book.Type};
    // The connection follows the settings even when they cannot be saved;
    // the message about the file comes after the switch.
    QString saveError;
    try {
        ini.save();
    } catch (const UserError& e) {
        saveError = e.message();
    }
    initMainWindow();
    if (!saveError.isEmpty()) {
        m_context.prompter().error(saveError);
    }
    Database& db = m_context.data().main();
    auto user = UserAccounts::verifyLogin(db, userName, password);
    if (!user) {
        return Result::WrongPassword;
    }
    if (!PasswordHasher::isHash(user->Password)) {
        // The book still keeps passwords as text: hash them all now. Should
        // that fail, the log-in stands and the next one tries again.
        try {
            UserAccounts::migratePlainPasswords(db);
            user = UserAccounts::verifyLogin(db, userName, password);
        } catch (const OlvendError&) {
        }
        if (!user) {
            return Result::WrongPassword;
        }
    }
    m_context.CurrentUser = *user;
    ini.setString("DefaultSetting", "Username", user->UserName);
    try {
        ini.save();
    } catch (const UserError& e) {
        m_context.prompter().error(e.message());
    }
    return Result::LoggedIn;
}
