#include "admin/book_backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "data/account_books.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "data/database.h"
#include "platform/errors.h"

namespace {
void removeWithCompanions(const QString& file) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        QFile::remove(file + QLatin1String(suffix));
    }
}
}  // namespace

BookBackup::BookBackup(AppContext& context) : m_context(context) {}

qint64 BookBackup::backup(const QString& bookName, const QString& target) {
    if (!m_context.SoftwareInfo.IsAccess) {
        throw UserError(QStringLiteral("服务器账本的备份请在服务器上进行"));
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
    const QString source = m_context.paths().resolve(stored);
    if (stored.isEmpty() || !QFileInfo::exists(source)) {
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
    if (out.absoluteFilePath() == QFileInfo(source).absoluteFilePath()) {
        throw UserError(QStringLiteral("备份文件不能是账本本身"));
    }
    // Written under a name of its own, checked, then renamed: the target
    // never holds half a copy.
    const QString temp = out.absoluteFilePath() + QStringLiteral(".part");
    removeWithCompanions(temp);
    try {
        {
            auto book = Database::openSqlite(source, label);
            book->query(QStringLiteral("VACUUM INTO :target"), {{"target", temp}});
        }
        {
            auto copy = Database::openSqlite(temp, label);
            const QString check = copy->scalar(QStringLiteral("PRAGMA integrity_check")).toString();
            if (check != QLatin1String("ok")) {
                throw UserError(QStringLiteral("备份未通过完整性检查: %1").arg(check));
            }
            copy->query(QStringLiteral("PRAGMA journal_mode=DELETE"));
        }
        QFile::remove(temp + QStringLiteral("-wal"));
        QFile::remove(temp + QStringLiteral("-shm"));
        if (QFileInfo::exists(target) || !QFile::rename(temp, target)) {
            throw UserError(QStringLiteral("无法写入备份文件: %1").arg(QDir::toNativeSeparators(target)));
        }
    } catch (...) {
        removeWithCompanions(temp);
        throw;
    }
    return QFileInfo(target).size();
}
