#include "data/db_failure.h"

#include <cerrno>

#include <QRegularExpression>

// What a refused statement means, from the code the database gave: the
// SQLSTATE of a server, the (extended) result code of SQLite. SQLite's
// primary constraint code alone says less: its own text then tells which
// constraint failed. An I/O failure of SQLite is a full disk when the
// system's error (`systemErrno`, 0 when unknown) says so.
DbError::Kind DbFailure::classify(bool embedded, const QString& nativeCode, const QString& databaseText,
                                  int systemErrno) {
    const QString code = nativeCode.trimmed();
    if (embedded) {
        bool ok = false;
        const int value = code.toInt(&ok);
        if (!ok) {
            return DbError::Kind::Other;
        }
        switch (value) {
            case 2067:  // SQLITE_CONSTRAINT_UNIQUE
            case 1555:  // SQLITE_CONSTRAINT_PRIMARYKEY
                return DbError::Kind::Duplicate;
            case 787:  // SQLITE_CONSTRAINT_FOREIGNKEY
                return DbError::Kind::Reference;
            case 1299:  // SQLITE_CONSTRAINT_NOTNULL
                return DbError::Kind::MissingValue;
            default:
                break;
        }
        switch (value & 0xff) {
            case 5:  // SQLITE_BUSY
            case 6:  // SQLITE_LOCKED
                return DbError::Kind::Busy;
            case 8:  // SQLITE_READONLY
                return DbError::Kind::ReadOnly;
            case 13:  // SQLITE_FULL
                return DbError::Kind::DiskFull;
            case 11:  // SQLITE_CORRUPT
            case 26:  // SQLITE_NOTADB
                return DbError::Kind::Damaged;
            case 10:  // SQLITE_IOERR: a write refused for want of room is a full disk
                if (systemErrno == ENOSPC || systemErrno == EFBIG || systemErrno == EDQUOT) {
                    return DbError::Kind::DiskFull;
                }
                return DbError::Kind::FileError;
            case 14:  // SQLITE_CANTOPEN
                return DbError::Kind::FileError;
            case 19: {  // SQLITE_CONSTRAINT
                if (databaseText.startsWith(QLatin1String("UNIQUE")) ||
                    databaseText.startsWith(QLatin1String("PRIMARY KEY"))) {
                    return DbError::Kind::Duplicate;
                }
                if (databaseText.startsWith(QLatin1String("FOREIGN KEY"))) {
                    return DbError::Kind::Reference;
                }
                if (databaseText.startsWith(QLatin1String("NOT NULL"))) {
                    return DbError::Kind::MissingValue;
                }
                return DbError::Kind::Other;
            }
            default:
                return DbError::Kind::Other;
        }
    }
    if (code == QLatin1String("23505")) {
        return DbError::Kind::Duplicate;
    }
    if (code == QLatin1String("22003")) {
        return DbError::Kind::NumberTooLarge;
    }
    if (code == QLatin1String("23503")) {
        return DbError::Kind::Reference;
    }
    if (code == QLatin1String("23502")) {
        return DbError::Kind::MissingValue;
    }
    if (code == QLatin1String("42501")) {
        return DbError::Kind::NotPermitted;
    }
    if (code == QLatin1String("55P03") || code == QLatin1String("40P01") || code == QLatin1String("40001")) {
        return DbError::Kind::Busy;
    }
    // Class 08 is a connection failure, 57P0x a server going down; a
    // statement that fails without any SQLSTATE never reached the server.
    if (code.isEmpty() || code.startsWith(QLatin1String("08")) || code.startsWith(QLatin1String("57P0"))) {
        return DbError::Kind::ConnectionLost;
    }
    return DbError::Kind::Other;
}

// `where` names the database ("账本[默认帐册]"), `file` its file (or the
// server's address).
QString DbFailure::userText(DbError::Kind kind, const QString& where, const QString& file) {
    switch (kind) {
        case DbError::Kind::Duplicate:
            return QStringLiteral("保存失败：该编号或名称已经存在，不能重复。请修改后再保存。");
        case DbError::Kind::NumberTooLarge:
            return QStringLiteral("保存失败：有数值超出了允许的位数。请改小后再保存。");
        case DbError::Kind::Reference:
            return QStringLiteral("保存失败：该记录仍被其他资料使用，或它引用的资料已不存在。请检查后再保存。");
        case DbError::Kind::MissingValue:
            return QStringLiteral("保存失败：有必须填写的内容没有填写。请填写后再保存。");
        case DbError::Kind::Busy:
            return QStringLiteral("%1正被其他用户或程序使用，这次操作没有完成。请稍后再试。").arg(where);
        case DbError::Kind::ConnectionLost:
            return QStringLiteral("与%1(%2)的连接已中断，这次操作没有完成。请检查网络或服务器，然后重新登录。")
                .arg(where, file);
        case DbError::Kind::ReadOnly:
            return QStringLiteral(
                       "%1的文件不能写入（只读）：%2。这次的修改没有保存。请检查该文件及其所在文件夹的权限后再试。")
                .arg(where, file);
        case DbError::Kind::DiskFull:
            return QStringLiteral(
                       "磁盘已满，%1的文件无法写入：%2。这次的修改没有保存，已保存的资料不受影响。"
                       "请腾出磁盘空间后再试。")
                .arg(where, file);
        case DbError::Kind::Damaged:
            return QStringLiteral("%1的文件已损坏：%2。这次操作没有完成。请关闭程序，用最近的备份替换该文件后再试。")
                .arg(where, file);
        case DbError::Kind::FileError:
            return QStringLiteral("读写%1的文件时出错：%2。这次操作没有完成，修改没有保存。请检查磁盘后再试。")
                .arg(where, file);
        case DbError::Kind::NotPermitted:
            return QStringLiteral(
                       "操作被拒绝：登录%1的数据库用户没有这项操作所需的权限，修改没有保存。"
                       "请让数据库管理员检查该用户的权限（恢复账本需要是账本各表的所有者）。")
                .arg(where);
        default:
            return QStringLiteral(
                       "操作失败：%1没有执行成功，修改没有保存。请重试；如果一再出现，"
                       "请把详细信息告诉系统管理员。")
                .arg(where);
    }
}

QString DbFailure::failedColumn(const QString& driverText) {
    // SQLite: "UNIQUE constraint failed: table.column"; PostgreSQL: "Key
    // (column)=(value) already exists" in whatever language the server
    // speaks.
    static const QRegularExpression sqlite(
        QStringLiteral(R"(constraint failed: [A-Za-z_][A-Za-z0-9_]*\.([A-Za-z_][A-Za-z0-9_]*))"));
    static const QRegularExpression server(QStringLiteral(R"(\(([A-Za-z_][A-Za-z0-9_]*)\)=\()"));
    QRegularExpressionMatch m = sqlite.match(driverText);
    if (!m.hasMatch()) {
        m = server.match(driverText);
    }
    return m.hasMatch() ? m.captured(1) : QString();
}
