#include "admin/book_creator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/numbering.h"
#include "data/server_book_copier.h"
#include "platform/errors.h"

BookCreator::BookCreator(AppContext& context) : m_context(context) {}

// The next free book name. The counter lives in the current embedded book
// (or, before any book is open and on the server kind, the highest number
// in use is the base); a name whose file, server schema or row exists
// already is passed over.
QString BookCreator::nextDatabaseName() {
    DataModule& dm = m_context.data();
    AccountBooks books(dm.system());
    auto taken = [&](const QString& name) {
        const bool row =
            dm.system()
                .scalar("select count(*) from AccountBook where LOWER(DatabaseName)=LOWER(:n)", {{"n", name}})
                .toInt() > 0;
        if (row) {
            return true;
        }
        if (!m_context.SoftwareInfo.IsAccess) {
            return ServerBookCopier::schemaExists(dm.system(), name);
        }
        return QFileInfo::exists(m_context.paths().dbFolder() + name + ".db");
    };
    for (int attempt = 0; attempt < 1000; ++attempt) {
        QString name;
        if (dm.isMainOpen() && dm.main().isAccess()) {
            name = Numbering(dm.main(), m_context.clock()).GetAutoIncrementID("AccountBook", "DatabaseName", false);
        } else {
            int highest = 0;
            QSqlQuery q = dm.system().query("select DatabaseName from AccountBook");
            while (q.next()) {
                highest = std::max(highest, q.value(0).toString().mid(15).toInt());
            }
            name = QStringLiteral("UserAccountBook%1").arg(highest + 1 + attempt, 3, 10, QChar('0'));
            if (highest + 1 + attempt > 999) {
                throw UserError(QStringLiteral("字段[AccountBook.DatabaseName]的编号已用完，不能再生成新的编号"));
            }
        }
        if (!taken(name)) {
            return name;
        }
    }
    throw UserError(QStringLiteral("找不到可用的账本文件名"));
}

AccountBookRow BookCreator::create(const QString& typedName, const QString& description, const AccountBookRow* source) {
    const QString name = typedName.trimmed();
    if (name.isEmpty()) {
        throw UserError(QStringLiteral("请输入新帐册名称"));
    }
    if (!source) {
        throw UserError(QStringLiteral("请选择一本帐册"));
    }
    DataModule& dm = m_context.data();
    AccountBooks books(dm.openSystem());
    if (books.findByName(name)) {
        throw UserError(QStringLiteral("新帐册的名称不能和现有帐册重名"));
    }
    if (!m_context.SoftwareInfo.IsAccess) {
        return createOnServer(name, description, *source);
    }
    const QString sourceFile = m_context.paths().resolve(source->FilePath);
    if (!QFileInfo::exists(sourceFile)) {
        throw UserError(QStringLiteral("所选帐册的数据库文件不存在: %1").arg(QDir::toNativeSeparators(sourceFile)));
    }
    const QString databaseName = nextDatabaseName();
    const QString filePath = QStringLiteral("db/") + databaseName + QStringLiteral(".db");
    const QString target = m_context.paths().resolve(filePath);
    const QString temp = target + QStringLiteral(".new");
    QDir().mkpath(m_context.paths().dbFolder());
    QFile::remove(temp);

    // A consistent copy even while the source is open elsewhere: SQLite
    // writes it from one read transaction, including what the source's
    // write-ahead log holds.
    try {
        {
            auto src = Database::openSqlite(sourceFile, source->AccountBookName);
            src->query(QStringLiteral("VACUUM INTO :target"), {{"target", temp}});
        }
        {
            auto copy = Database::openSqlite(temp, name);
            const QString check = copy->scalar("PRAGMA integrity_check").toString();
            if (check != QLatin1String("ok")) {
                throw UserError(QStringLiteral("复制的帐册未通过完整性检查: %1").arg(check));
            }
            copy->query("PRAGMA journal_mode=DELETE");
        }
        QFile::remove(temp + "-wal");
        QFile::remove(temp + "-shm");
        if (QFileInfo::exists(target) || !QFile::rename(temp, target)) {
            throw UserError(QStringLiteral("无法创建帐册文件: %1").arg(QDir::toNativeSeparators(target)));
        }
    } catch (...) {
        QFile::remove(temp);
        QFile::remove(temp + "-wal");
        QFile::remove(temp + "-shm");
        throw;
    }

    AccountBookRow row;
    row.AccountBookName = name;
    row.DatabaseName = databaseName;
    row.FilePath = filePath;
    row.description = description;
    row.version = 1;
    row.Builtdate = m_context.clock().today();
    row.Type = 0;
    try {
        row = books.add(row);
    } catch (...) {
        QFile::remove(target);
        throw;
    }
    m_context.CurrentAccountBook = {row.ID, row.AccountBookName, row.FilePath, row.Type};
    return row;
}

// On the server kind the book is a schema of the server database, copied
// from the chosen book's schema. The copy and the new row of the list, which
// lives in the same database, are one transaction: a failure at any step
// leaves neither a schema nor a row.
AccountBookRow BookCreator::createOnServer(const QString& name, const QString& description,
                                           const AccountBookRow& source) {
    Database& system = m_context.data().system();
    AccountBookRow row;
    {
        WriteTransaction tx(system);
        // Every table is copied from one snapshot of the source, even while
        // others write to it.
        system.query("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
        // Another workstation creating a book at the same time waits here,
        // so the two never draw the same name.
        system.query("LOCK TABLE AccountBook IN EXCLUSIVE MODE");
        if (AccountBooks(system).findByName(name)) {
            throw UserError(QStringLiteral("新帐册的名称不能和现有帐册重名"));
        }
        row.AccountBookName = name;
        row.DatabaseName = nextDatabaseName();
        // The schema's name is made from the numbered name, never from what
        // the user typed.
        row.FilePath = row.DatabaseName.toLower();
        row.description = description;
        row.version = 1;
        row.Builtdate = m_context.clock().today();
        row.Type = 0;
        ServerBookCopier::copy(system, DataModule::serverSchemaOf(source.FilePath), row.FilePath);
        row = AccountBooks(system).add(row);
        tx.commit();
    }
    m_context.CurrentAccountBook = {row.ID, row.AccountBookName, row.FilePath, row.Type};
    return row;
}
