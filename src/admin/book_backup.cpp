#include "admin/book_backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "data/account_books.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/server_book_export.h"
#include "platform/app_paths.h"
#include "platform/durable_file.h"
#include "platform/errors.h"

namespace {
void removeWithCompanions(const QString& file) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        QFile::remove(file + QLatin1String(suffix));
    }
}
}  // namespace

BookBackup::BookBackup(AppContext& context) : m_context(context) {}

BookBackup::Book BookBackup::find(AppContext& context, const QString& bookName) {
    Book book{context.CurrentAccountBook.BookName,
              context.SettingsFile.readString(QStringLiteral("DB"), QStringLiteral("Path"))};
    AccountBooks books(context.data().openSystem());
    if (!bookName.isEmpty()) {
        const auto row = books.findByNameOrId(bookName);
        if (!row) {
            throw UserError(QStringLiteral("找不到账本: %1").arg(bookName));
        }
        book = {row->AccountBookName, row->FilePath};
    } else if (book.label.isEmpty()) {
        // The book the settings name, called by its name in messages.
        const QString stored = AppPaths::normalizeSeparators(book.stored);
        for (const AccountBookRow& row : books.all()) {
            if (AppPaths::normalizeSeparators(row.FilePath).compare(stored, Qt::CaseInsensitive) == 0) {
                book.label = row.AccountBookName;
                break;
            }
        }
    }
    return book;
}

bool BookBackup::canWriteIn(const QString& folder) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".olvend-probe-XXXXXX")));
    return probe.open();
}

std::unique_ptr<Database> BookBackup::openServerBook(AppContext& context, const Book& book) {
    const QString schema = DataModule::serverSchemaOf(book.stored);
    return Database::openServer(context.data().serverParams(), book.label.isEmpty() ? schema : book.label, schema);
}

bool BookBackup::isAccountBook(Database& db) {
    for (const char* table : {"Client", "goods", "Quotation_Head", "Sys_user", "Sys_Operation_Table"}) {
        if (!db.hasTable(QString::fromLatin1(table))) {
            return false;
        }
    }
    return true;
}

qint64 BookBackup::backup(const QString& bookName, const QString& target) {
    const Book book = find(m_context, bookName);
    const bool local = m_context.SoftwareInfo.IsAccess;
    const QString source = local ? m_context.paths().resolve(book.stored) : QString();
    if (local && (book.stored.isEmpty() || !QFileInfo::exists(source))) {
        throw UserError(QStringLiteral("账本的数据库文件不存在: %1").arg(QDir::toNativeSeparators(source)));
    }
    const QFileInfo out(target);
    if (target.isEmpty() || out.exists()) {
        throw UserError(QStringLiteral("备份文件已经存在，请换一个文件名: %1").arg(QDir::toNativeSeparators(target)));
    }
    if (!out.absoluteDir().exists()) {
        throw UserError(
            QStringLiteral("备份文件所在的文件夹不存在: %1").arg(QDir::toNativeSeparators(out.absolutePath())));
    }
    if (local && out.absoluteFilePath() == QFileInfo(source).absoluteFilePath()) {
        throw UserError(QStringLiteral("备份文件不能是账本本身"));
    }
    if (!canWriteIn(out.absolutePath())) {
        throw UserError(QStringLiteral("无法在文件夹[%1]中写入备份文件，请检查该文件夹的权限，或换一个文件夹。")
                            .arg(QDir::toNativeSeparators(out.absolutePath())));
    }
    // Written under a name of its own, checked, then renamed: the target
    // never holds half a copy.
    const QString temp = out.absoluteFilePath() + QStringLiteral(".part");
    removeWithCompanions(temp);
    try {
        if (local) {
            copyLocal(book, temp, source);
        } else {
            copyServer(book, temp);
        }
        {
            auto copy = Database::openSqlite(temp, book.label);
            const QString check = copy->scalar(QStringLiteral("PRAGMA integrity_check")).toString();
            if (check != QLatin1String("ok")) {
                throw UserError(QStringLiteral("备份未通过完整性检查: %1").arg(check));
            }
            if (!isAccountBook(*copy)) {
                throw UserError(QStringLiteral("备份不是完整的账本，没有写入"));
            }
            copy->query(QStringLiteral("PRAGMA journal_mode=DELETE"));
        }
        QFile::remove(temp + QStringLiteral("-wal"));
        QFile::remove(temp + QStringLiteral("-shm"));
        if (QFileInfo::exists(target) || !QFile::rename(temp, target)) {
            throw UserError(QStringLiteral("无法写入备份文件: %1").arg(QDir::toNativeSeparators(target)));
        }
        // The copy and its name on the disk before anyone relies on it (a
        // restore replaces the book right after keeping its copy).
        if (!DurableFile::sync(target)) {
            QFile::remove(target);
            throw UserError(QStringLiteral("无法写入备份文件: %1").arg(QDir::toNativeSeparators(target)));
        }
    } catch (...) {
        removeWithCompanions(temp);
        throw;
    }
    return QFileInfo(target).size();
}

void BookBackup::copyLocal(const Book& book, const QString& temp, const QString& source) {
    auto db = Database::openSqlite(source, book.label);
    try {
        db->query(QStringLiteral("VACUUM INTO :target"), {{"target", temp}});
    } catch (const DbError& e) {
        // Reading the book fails as the book's fault; writing the copy as
        // the copy's, which the book's message would not name.
        if (e.kind() == DbError::Kind::Busy || e.kind() == DbError::Kind::Damaged ||
            e.kind() == DbError::Kind::ConnectionLost) {
            throw;
        }
        // Named as the user chose it (the copy is written under it + ".part").
        throw UserError(QStringLiteral("无法写入备份文件: %1。请检查磁盘空间和文件夹的权限。")
                            .arg(QDir::toNativeSeparators(temp.chopped(int(qstrlen(".part"))))),
                        e.details());
    }
}

void BookBackup::copyServer(const Book& book, const QString& temp) {
    auto server = openServerBook(m_context, book);
    ServerBookExport::write(*server, temp, server->label());
}
