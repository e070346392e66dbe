#include "data/first_start.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "data/account_books.h"
#include "data/app_context.h"
#include "data/database.h"
#include "data/schema_installer.h"
#include "platform/errors.h"

bool FirstStart::isNeeded(const AppContext& context) {
    return !QFileInfo::exists(context.paths().systemDatabase());
}

bool FirstStart::run(AppContext& context) {
    if (!isNeeded(context)) {
        return false;
    }
    const AppPaths& paths = context.paths();
    for (const QString& folder : {paths.dbFolder(), paths.defaultPictureFolder()}) {
        if (!QDir().mkpath(folder)) {
            throw UserError(
                QStringLiteral("无法创建文件夹: %1\n请检查该文件夹的权限，或用 --home 目录 指定另一个程序目录。")
                    .arg(QDir::toNativeSeparators(folder)));
        }
    }
    const QString bookName = QStringLiteral("UserAccountBook001");
    const QString bookPath = QStringLiteral("db/") + bookName + QStringLiteral(".db");
    const QString bookFile = paths.resolve(bookPath);
    const QString systemFile = paths.systemDatabase();
    // The system database is made under a temporary name and renamed last,
    // so an interrupted first start is simply run again.
    const QString systemTemp = systemFile + ".new";
    QFile::remove(systemTemp);
    if (QFileInfo::exists(bookFile)) {
        throw UserError(QStringLiteral("账本文件已存在，没有覆盖: %1").arg(bookFile));
    }
    try {
        SchemaInstaller::createBookFile(bookFile, QStringLiteral("默认帐册"));
        AccountBookRow row;
        {
            auto system = Database::openSqlite(systemTemp, QStringLiteral("系统数据库"), {.mustExist = false});
            SchemaInstaller::ensureSystem(*system);
            row.AccountBookName = QStringLiteral("默认帐册");
            row.DatabaseName = bookName;
            row.FilePath = bookPath;
            row.description = QStringLiteral("用户账本");
            row.version = 1;
            row.Builtdate = context.clock().today();
            row.Type = 0;
            row = AccountBooks(*system).add(row);
            system->query("PRAGMA wal_checkpoint(TRUNCATE)");
            system->query("PRAGMA journal_mode=DELETE");
        }
        QFile::remove(systemTemp + "-wal");
        QFile::remove(systemTemp + "-shm");

        // The settings are written before the system database is renamed
        // into place: a settings file that cannot be written leaves the
        // folder as it was, to be started again once it can.
        IniFile& ini = context.SettingsFile;
        if (!ini.hasKey("SYS_Setting", "DBType")) {
            ini.setString("SYS_Setting", "DBType", "SQLITE");
        }
        if (!ini.hasKey("SYS_Setting", "picPath")) {
            ini.setString("SYS_Setting", "picPath", "default");
        }
        if (!ini.hasKey("SYS_Setting", "ShowCustomFilter")) {
            ini.setString("SYS_Setting", "ShowCustomFilter", "false");
        }
        ini.setString("DB", "Path", bookPath);
        ini.setString("DefaultSetting", "AccountBook", QString::number(row.ID));
        if (!ini.hasKey("DefaultSetting", "Username")) {
            ini.setString("DefaultSetting", "Username", QStringLiteral("超级用户"));
        }
        ini.save();
        if (!QFile::rename(systemTemp, systemFile)) {
            throw UserError(QStringLiteral("无法创建系统数据库: %1").arg(systemFile));
        }
        context.resolveDatabaseKind();
        context.resolvePictureFolder();
    } catch (...) {
        QFile::remove(systemTemp);
        if (!QFileInfo::exists(systemFile)) {
            QFile::remove(bookFile);
            QFile::remove(bookFile + "-wal");
            QFile::remove(bookFile + "-shm");
        }
        throw;
    }
    return true;
}
