#include "tools/ctl_commands.h"

#include <QSqlQuery>

#include "admin/book_creator.h"
#include "data/account_books.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "data/first_start.h"
#include "data/numbering.h"
#include "data/permission_checker.h"
#include "data/setting_scrambler.h"
#include "data/user_accounts.h"
#include "platform/errors.h"

CtlCommands::CtlCommands(AppContext& context, QTextStream& out, QTextStream& err)
    : m_context(context), m_out(out), m_err(err) {}

QString CtlCommands::usage() {
    return QStringLiteral(
        "usage: olvendctl [--home DIR] [--today YYYY-MM-DD] [--book NAME] COMMAND ...\n"
        "commands:\n"
        "  init                              prepare an empty program folder\n"
        "  books                             list the account books (ID, name, file)\n"
        "  next-code TABLE FIELD [--propose] [--count N]\n"
        "                                    issue the next code (or propose a code-list value)\n"
        "  check-permission USER ACTION FORM may USER run ACTION of window FORM\n"
        "  login USER PASSWORD               check a log-in against the book\n"
        "  create-book NAME --from BOOK [--description TEXT]\n"
        "                                    a new account book copied from BOOK\n"
        "  unscramble TEXT                   read a scrambled server setting\n"
        "  scramble TEXT                     write a server setting in scrambled form\n");
}

int CtlCommands::wrongUse() {
    m_err << usage();
    return 2;
}

int CtlCommands::run(const QStringList& arguments, const QString& bookName) {
    if (arguments.isEmpty()) {
        return wrongUse();
    }
    const QString command = arguments.first();
    const QStringList args = arguments.mid(1);
    try {
        if (command == "init") {
            return init();
        }
        if (command == "books") {
            return books();
        }
        if (command == "create-book") {
            return createBook(args);
        }
        if (command == "unscramble") {
            return unscramble(args);
        }
        if (command == "scramble") {
            return scramble(args);
        }
        if (command == "next-code" || command == "check-permission" || command == "login") {
            if (command == "next-code" && (args.size() < 2)) {
                return wrongUse();
            }
            if (command == "check-permission" && args.size() != 3) {
                return wrongUse();
            }
            if (command == "login" && args.size() != 2) {
                return wrongUse();
            }
            openBook(bookName);
            if (command == "next-code") {
                return nextCode(args);
            }
            if (command == "check-permission") {
                return checkPermission(args);
            }
            return login(args);
        }
        return wrongUse();
    } catch (const OlvendError& e) {
        m_out << e.message() << Qt::endl;
        return 1;
    }
}

int CtlCommands::init() {
    if (!FirstStart::run(m_context)) {
        m_out << QStringLiteral("程序目录已经初始化: %1").arg(m_context.paths().programFolder()) << Qt::endl;
        return 0;
    }
    m_out << QStringLiteral("已初始化: %1").arg(m_context.SettingsFile.readString("db", "path")) << Qt::endl;
    return 0;
}

int CtlCommands::books() {
    if (FirstStart::isNeeded(m_context)) {
        throw UserError(QStringLiteral("程序目录尚未初始化，请先运行 olvendctl init"));
    }
    auto system = Database::openSqlite(m_context.paths().systemDatabase(), QStringLiteral("系统数据库"));
    for (const AccountBookRow& row : AccountBooks(*system).offered()) {
        m_out << row.ID << '\t' << row.AccountBookName << '\t' << row.FilePath << Qt::endl;
    }
    return 0;
}

void CtlCommands::openBook(const QString& bookName) {
    if (FirstStart::isNeeded(m_context)) {
        throw UserError(QStringLiteral("程序目录尚未初始化，请先运行 olvendctl init"));
    }
    if (!bookName.isEmpty()) {
        auto system = Database::openSqlite(m_context.paths().systemDatabase(), QStringLiteral("系统数据库"));
        const auto row = AccountBooks(*system).findByName(bookName);
        if (!row) {
            throw UserError(QStringLiteral("找不到账本: %1").arg(bookName));
        }
        // Only this run uses the named book; the settings file is not changed.
        m_context.SettingsFile.setString("DB", "Path", row->FilePath);
        m_context.CurrentAccountBook = {row->ID, row->AccountBookName, row->FilePath, row->Type};
    }
    m_context.data().ConnectDatabases();
}

int CtlCommands::nextCode(const QStringList& args) {
    bool propose = false;
    int count = 1;
    QStringList names;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--propose") {
            propose = true;
        } else if (args[i] == "--count" && i + 1 < args.size()) {
            count = args[++i].toInt();
        } else {
            names.append(args[i]);
        }
    }
    if (names.size() != 2 || count < 1) {
        return wrongUse();
    }
    Numbering numbering(m_context.data().main(), m_context.clock());
    for (int i = 0; i < count; ++i) {
        m_out << numbering.GetAutoIncrementID(names[0], names[1], propose) << Qt::endl;
    }
    return 0;
}

int CtlCommands::checkPermission(const QStringList& args) {
    Database& db = m_context.data().main();
    QSqlQuery q = db.query("select user_name, password, User_Group from sys_user where user_name=:user_name",
                           {{"user_name", args[0]}});
    if (!q.next()) {
        throw UserError(QStringLiteral("找不到用户: %1").arg(args[0]));
    }
    UserRecord user{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
    PermissionChecker checker(db, user);
    if (!checker.isAllowed(args[1], args[2])) {
        m_out << PermissionChecker::refusalText() << Qt::endl;
        return 3;
    }
    m_out << "allowed" << Qt::endl;
    return 0;
}

int CtlCommands::login(const QStringList& args) {
    const auto user = UserAccounts::verifyLogin(m_context.data().main(), args[0], args[1]);
    if (!user) {
        m_out << QStringLiteral("密码错误,请重新输入密码") << Qt::endl;
        return 1;
    }
    m_out << "ok" << Qt::endl;
    return 0;
}

int CtlCommands::unscramble(const QStringList& args) {
    if (args.size() != 1) {
        return wrongUse();
    }
    m_out << UnscrambleSetting(args[0]) << Qt::endl;
    return 0;
}

int CtlCommands::scramble(const QStringList& args) {
    if (args.size() != 1) {
        return wrongUse();
    }
    m_out << ScrambleSetting(args[0]) << Qt::endl;
    return 0;
}

int CtlCommands::createBook(const QStringList& args) {
    QString name;
    QString from;
    QString description = BookCreator::defaultDescription();
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--from" && i + 1 < args.size()) {
            from = args[++i];
        } else if (args[i] == "--description" && i + 1 < args.size()) {
            description = args[++i];
        } else if (name.isNull()) {
            name = args[i];
        } else {
            return wrongUse();
        }
    }
    if (name.isNull() || from.isEmpty()) {
        return wrongUse();
    }
    if (FirstStart::isNeeded(m_context)) {
        throw UserError(QStringLiteral("程序目录尚未初始化，请先运行 olvendctl init"));
    }
    // The source book is the current one, so that its counter names the new
    // file, as in the log-in dialog.
    openBook(from);
    const auto source = AccountBooks(m_context.data().system()).findByName(from);
    const AccountBookRow row = BookCreator(m_context).create(name, description, source ? &*source : nullptr);
    m_out << row.ID << '\t' << row.AccountBookName << '\t' << row.FilePath << Qt::endl;
    return 0;
}
