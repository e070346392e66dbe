#include "platform/file_problem.h"

#include <QFileDevice>
#include <QFileInfo>

QString FileProblem::reading(const QFileDevice& file) {
    const QFileInfo info(file.fileName());
    if (!info.exists()) {
        return QStringLiteral("文件不存在");
    }
    if (info.isDir()) {
        return QStringLiteral("这是一个文件夹，不是文件");
    }
    switch (file.error()) {
        case QFileDevice::PermissionsError:
            return QStringLiteral("没有读取该文件的权限");
        case QFileDevice::OpenError:
            return info.isReadable() ? QStringLiteral("文件无法打开") : QStringLiteral("没有读取该文件的权限");
        case QFileDevice::ReadError:
            return QStringLiteral("读取文件时出错");
        case QFileDevice::ResourceError:
            return QStringLiteral("系统资源不足（打开的文件太多或内存不足）");
        default:
            return QStringLiteral("文件无法读取");
    }
}

QString FileProblem::writing(const QFileDevice& file) {
    const QFileInfo info(file.fileName());
    if (info.isDir()) {
        return QStringLiteral("这是一个文件夹，不是文件");
    }
    if (!QFileInfo(info.absolutePath()).isDir()) {
        return QStringLiteral("文件夹不存在");
    }
    switch (file.error()) {
        case QFileDevice::PermissionsError:
            return QStringLiteral("没有写入该文件的权限");
        case QFileDevice::OpenError:
            return QFileInfo(info.absolutePath()).isWritable() ? QStringLiteral("文件无法打开")
                                                               : QStringLiteral("没有写入该文件夹的权限");
        case QFileDevice::WriteError:
        case QFileDevice::ResourceError:
            return QStringLiteral("写入文件时出错，磁盘可能已满");
        default:
            return QStringLiteral("文件无法写入");
    }
}
