#include "admin/book_restore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "admin/book_backup.h"
#include "data/account_books.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/name_initials.h"
#include "data/schema_installer.h"
#include "data/server_book_import.h"
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

// `stem` + ".db", or with "-2", "-3"… when that exists.
QString freeName(const QString& stem) {
    QString name = stem + QStringLiteral(".db");
    for (int n = 2; QFileInfo::exists(name); ++n) {
        name = stem + QStringLiteral("-%1.db").arg(n);
    }
    return name;
}

// A book's name as part of a file name: the characters file systems refuse
// become "_".
QString fileNameOf(const QString& name) {
    QString out;
    for (const QChar c : name) {
        out += (c.unicode() < 0x20 || QStringLiteral("\\/:*?\"<>|").contains(c)) ? QChar('_') : c;
    }
    return out.trimmed();
}
}  // namespace

BookRestore::BookRestore(AppContext& context) : m_context(context) {}

QString BookRestore::restore(const QString& bookName, const QString& backupFile) {
    const BookBackup::Book book = BookBackup::find(m_context, bookName);
    const bool local = m_context.SoftwareInfo.IsAccess;
    const QString bookFile = local ? m_context.paths().resolve(book.stored) : QString();
    if (local && !QFileInfo::exists(bookFile)) {
        throw UserError(QStringLiteral("账本的数据库文件不存在: %1").arg(QDir::toNativeSeparators(bookFile)));
    }
    const QFileInfo backupInfo(backupFile);
    if (!backupInfo.isFile()) {
        throw UserError(QStringLiteral("找不到备份文件: %1").arg(QDir::toNativeSeparators(backupFile)));
    }
    if (local && backupInfo.absoluteFilePath() == QFileInfo(bookFile).absoluteFilePath()) {
        throw UserError(QStringLiteral("备份文件不能是账本本身"));
    }

    // The backup is read from a copy beside a local book (whose folder has
    // room for it), a server book's in the program's book folder.
    std::unique_ptr<QTemporaryDir> scratch;
    const QString work =
        readableCopy(backupFile, local ? QFileInfo(bookFile).absolutePath() : m_context.paths().dbFolder(), scratch);
    checkBackup(work, backupFile);

    // The book as it is just before the restore, kept until it is no longer
    // needed: beside a local book; a server book's beside the backup
    // restored, where the user is looking, or in the program's book folder
    // when that folder cannot be written.
    QString stem;
    if (local) {
        stem = bookFile;
    } else {
        QString name = fileNameOf(book.label);
        if (name.isEmpty()) {
            name = DataModule::serverSchemaOf(book.stored);
        }
        QDir folder = backupInfo.absoluteDir();
        if (!BookBackup::canWriteIn(folder.absolutePath())) {
            folder = QDir(m_context.paths().dbFolder());
        }
        stem = folder.filePath(name);
    }
    // Taken once the restore holds the book against other writers, so that
    // nothing saved in between is in neither the copy nor the restored book;
    // named then, so that a restore that waited for another gets a name of
    // its own.
    QString savedAs;
    const auto keepCurrent = [&] {
        savedAs = freeName(stem + QStringLiteral(".before-restore-") +
                           QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
        try {
            BookBackup(m_context).backup(bookName, savedAs);
        } catch (const OlvendError& e) {
            savedAs.clear();
            throw UserError(QStringLiteral("恢复前无法保存账本现在的资料: %1\n账本没有改变。").arg(e.message()),
                            e.details());
        }
    };
    try {
        if (local) {
            replaceLocal(bookFile, book.label, work, keepCurrent);
        } else {
            ServerBookImport::replace(*BookBackup::openServerBook(m_context, book), work, keepCurrent);
        }
    } catch (const DbError& e) {
        // Only a server gone during the commit leaves it open whether the
        // book was restored; the copy then stays.
        if (e.kind() != DbError::Kind::ConnectionLost && !savedAs.isEmpty()) {
            QFile::remove(savedAs);
        }
        throw;
    } catch (...) {
        if (!savedAs.isEmpty()) {
            QFile::remove(savedAs);
        }
        throw;
    }
    // Connections that remember the tables' columns read them again.
    if (m_context.data().isMainOpen()) {
        m_context.data().main().forgetColumns();
    }
    return savedAs;
}

void BookRestore::check(const QString& backupFile) {
    if (!QFileInfo(backupFile).isFile()) {
        throw UserError(QStringLiteral("找不到备份文件: %1").arg(QDir::toNativeSeparators(backupFile)));
    }
    std::unique_ptr<QTemporaryDir> scratch;
    checkBackup(readableCopy(backupFile, m_context.paths().dbFolder(), scratch), backupFile);
}

QString BookRestore::readableCopy(const QString& backupFile, const QString& folder,
                                  std::unique_ptr<QTemporaryDir>& scratch) {
    // Opening a file may change it, the backup stays as it was, and a
    // backup on a read-only disk restores as well as any other. The copy
    // goes into the system's temporary folder when `folder` cannot be
    // written.
    QFile source(backupFile);
    if (!source.open(QIODevice::ReadOnly)) {
        throw UserError(QStringLiteral("无法读取备份文件: %1").arg(QDir::toNativeSeparators(backupFile)),
                        source.errorString());
    }
    source.close();
    scratch = std::make_unique<QTemporaryDir>(QDir(folder).filePath(QStringLiteral(".olvend-restore-XXXXXX")));
    if (!scratch->isValid()) {
        scratch = std::make_unique<QTemporaryDir>();
    }
    const QString work = scratch->isValid() ? scratch->filePath(QStringLiteral("restore.db")) : QString();
    // The copy is the program's own to open and change, whatever the
    // backup's permissions (a read-only file keeps them in its copy).
    if (work.isEmpty() || !source.copy(work) ||
        !QFile::setPermissions(work, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        throw UserError(QStringLiteral("无法复制备份文件，请检查文件夹[%1]的空间和权限。账本没有改变。")
                            .arg(QDir::toNativeSeparators(scratch->isValid() ? scratch->path() : folder)),
                        scratch->isValid() ? source.errorString() : scratch->errorString());
    }
    return work;
}

void BookRestore::checkBackup(const QString& work, const QString& backupFile) {
    std::unique_ptr<Database> check;
    QString result;
    try {
        check = Database::openSqlite(work, QStringLiteral("备份"));
        result = check->scalar(QStringLiteral("PRAGMA integrity_check")).toString();
    } catch (const OlvendError&) {
        throw UserError(QStringLiteral("备份文件已损坏或不是账本: %1").arg(QDir::toNativeSeparators(backupFile)));
    }
    if (result != QLatin1String("ok")) {
        throw UserError(QStringLiteral("备份文件已损坏（未通过完整性检查），不能恢复: %1")
                            .arg(QDir::toNativeSeparators(backupFile)),
                        result);
    }
    if (!BookBackup::isAccountBook(*check)) {
        throw UserError(QStringLiteral("备份文件不是账本: %1").arg(QDir::toNativeSeparators(backupFile)));
    }
    // A newer program's book may hold what this one would drop.
    const int version = SchemaInstaller::storedVersion(*check);
    if (version > SchemaInstaller::kBookVersion) {
        throw UserError(QStringLiteral("备份文件来自较新版本的程序（账本版本 %1，本程序为 %2），不能恢复: %3")
                            .arg(version)
                            .arg(SchemaInstaller::kBookVersion)
                            .arg(QDir::toNativeSeparators(backupFile)));
    }
}

QString BookRestore::missingTableText(const QString& table) {
    return QStringLiteral("备份文件中没有表[%1]，不能恢复；账本没有改变。").arg(table);
}

void BookRestore::replaceLocal(const QString& bookFile, const QString& label, const QString& work,
                               const std::function<void()>& whileLocked) {
    auto book = Database::openSqlite(bookFile, label);
    book->query(QStringLiteral("ATTACH DATABASE :file AS restored"), {{"file", work}});
    const auto detach = [&] {
        try {
            book->query(QStringLiteral("DETACH DATABASE restored"));
        } catch (const OlvendError&) {
            // The connection closes next; the first error is the one told.
        }
    };
    try {
        // Each table of the book and the backup's table of the same name,
        // checked before anything is locked or copied.
        QHash<QString, QString> backupTables;
        for (const QString& t : tablesOf(*book, QStringLiteral("restored"))) {
            backupTables.insert(t.toLower(), t);
        }
        QList<QPair<QString, QString>> pairs;
        for (const QString& table : tablesOf(*book, QStringLiteral("main"))) {
            if (!restoredTable(table)) {
                continue;
            }
            const auto from = backupTables.constFind(table.toLower());
            if (from == backupTables.constEnd()) {
                // Emptying it would lose its rows with nothing in their place.
                throw UserError(missingTableText(table));
            }
            pairs.append({table, from.value()});
        }
        // The write lock keeps other writers out from here to the commit;
        // readers, the copy of the current book among them, go on.
        WriteTransaction tx(*book);
        whileLocked();
        for (const auto& [table, fromTable] : pairs) {
            const QString name = Database::checkIdentifier(table);
            book->execute(QStringLiteral("delete from main.%1").arg(name));
            QStringList theirs = columnsOf(*book, QStringLiteral("restored"), fromTable);
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
                              .arg(name, list, Database::checkIdentifier(fromTable)));
        }
        SchemaInstaller::installTotals(*book);
        // A backup made before initials were kept leaves them to compute.
        NameInitials::fillMissing(*book);
        tx.commit();
    } catch (...) {
        detach();
        throw;
    }
    detach();
}
