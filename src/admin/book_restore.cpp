#include "admin/book_restore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>

#include "admin/book_backup.h"
#include "data/account_books.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/schema_installer.h"
#include "platform/errors.h"

namespace {
// Tables the program keeps for itself: the schema's version stays the
// book's, and the quotations' totals are computed from the restored rows.
bool restoredTable(const QString& name) {
    const QString n = name.toLower();
    return !n.startsWith(QLatin1String("sqlite_")) && n != QLatin1String("schema_version") &&
           n != QLatin1String("quotation_sum");
}

QStringList tablesOf(Database& db, const QString& schema) {
    QStringList out;
    QSqlQuery q =
        db.query(QStringLiteral("select name from %1.sqlite_master where type='table' order by name").arg(schema));
    while (q.next()) {
        out << q.value(0).toString();
    }
    return out;
}

QStringList columnsOf(Database& db, const QString& schema, const QString& table) {
    QStringList out;
    QSqlQuery q = db.query(QStringLiteral("PRAGMA %1.table_info(%2)").arg(schema, Database::checkIdentifier(table)));
    while (q.next()) {
        out << q.value(1).toString();
    }
    return out;
}

void removeWithCompanions(const QString& file) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        QFile::remove(file + QLatin1String(suffix));
    }
}
}  // namespace

BookRestore::BookRestore(AppContext& context) : m_context(context) {}

QString BookRestore::restore(const QString& bookName, const QString& backupFile) {
    if (!m_context.SoftwareInfo.IsAccess) {
        throw UserError(QStringLiteral("服务器账本的恢复请在服务器上进行"));
    }
    QString label = m_context.CurrentAccountBook.BookName;
    QString stored = m_context.SettingsFile.readString(QStringLiteral("DB"), QStringLiteral("Path"));
    if (!bookName.isEmpty()) {
        const auto row = AccountBooks(m_context.data().openSystem()).findByName(bookName);
        if (!row) {
            throw UserError(QStringLiteral("找不到账本: %1").arg(bookName));
        }
        label = row->AccountBookName;
        stored = row->FilePath;
    }
    const QString bookFile = m_context.paths().resolve(stored);
    if (!QFileInfo::exists(bookFile)) {
        throw UserError(QStringLiteral("账本的数据库文件不存在: %1").arg(QDir::toNativeSeparators(bookFile)));
    }
    if (!QFileInfo(backupFile).isFile()) {
        throw UserError(QStringLiteral("找不到备份文件: %1").arg(QDir::toNativeSeparators(backupFile)));
    }
    if (QFileInfo(backupFile).absoluteFilePath() == QFileInfo(bookFile).absoluteFilePath()) {
        throw UserError(QStringLiteral("备份文件不能是账本本身"));
    }

    // The backup is read from a copy: opening a file may change it, and the
    // backup stays as it was.
    const QString work = bookFile + QStringLiteral(".restore");
    removeWithCompanions(work);
    if (!QFile::copy(backupFile, work)) {
        throw UserError(QStringLiteral("无法读取备份文件: %1").arg(QDir::toNativeSeparators(backupFile)));
    }
    QString savedAs;
    try {
        {
            std::unique_ptr<Database> check;
            QString result;
            try {
                check = Database::openSqlite(work, QStringLiteral("备份"));
                result = check->scalar(QStringLiteral("PRAGMA integrity_check")).toString();
            } catch (const OlvendError&) {
                throw UserError(
                    QStringLiteral("备份文件已损坏或不是账本: %1").arg(QDir::toNativeSeparators(backupFile)));
            }
            if (result != QLatin1String("ok")) {
                throw UserError(QStringLiteral("备份文件未通过完整性检查: %1").arg(result));
            }
            for (const char* table : {"Client", "goods", "Quotation_Head", "Sys_user", "Sys_Operation_Table"}) {
                if (!check->hasTable(QString::fromLatin1(table))) {
                    throw UserError(QStringLiteral("备份文件不是账本: %1").arg(QDir::toNativeSeparators(backupFile)));
                }
            }
        }
        // The book as it is now, kept beside it until it is no longer needed.
        savedAs = bookFile + QStringLiteral(".before-restore-") +
                  QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".db");
        BookBackup(m_context).backup(bookName, savedAs);

        auto book = Database::openSqlite(bookFile, label);
        book->query(QStringLiteral("ATTACH DATABASE :file AS restored"), {{"file", work}});
        try {
            WriteTransaction tx(*book);
            const QStringList inBackup = tablesOf(*book, QStringLiteral("restored"));
            QHash<QString, QString> backupTables;
            for (const QString& t : inBackup) {
                backupTables.insert(t.toLower(), t);
            }
            for (const QString& table : tablesOf(*book, QStringLiteral("main"))) {
                if (!restoredTable(table)) {
                    continue;
                }
                const QString name = Database::checkIdentifier(table);
                book->execute(QStringLiteral("delete from main.%1").arg(name));
                const auto from = backupTables.constFind(table.toLower());
                if (from == backupTables.constEnd()) {
                    continue;
                }
                QStringList theirs = columnsOf(*book, QStringLiteral("restored"), from.value());
                for (QString& c : theirs) {
                    c = c.toLower();
                }
                QStringList common;
                for (const QString& c : columnsOf(*book, QStringLiteral("main"), table)) {
                    if (theirs.contains(c.toLower())) {
                        common << Database::checkIdentifier(c);
                    }
                }
                const QString list = common.join(QStringLiteral(", "));
                book->execute(QStringLiteral("insert into main.%1 (%2) select %2 from restored.%3")
                                  .arg(name, list, Database::checkIdentifier(from.value())));
            }
            SchemaInstaller::installTotals(*book);
            tx.commit();
        } catch (...) {
            book->query(QStringLiteral("DETACH DATABASE restored"));
            throw;
        }
        book->query(QStringLiteral("DETACH DATABASE restored"));
    } catch (...) {
        removeWithCompanions(work);
        throw;
    }
    removeWithCompanions(work);
    // Connections that remember the tables' columns read them again.
    m_context.data().main().forgetColumns();
    return savedAs;
}
