#include "platform/picture_file.h"

#include <QFileInfo>
#include <QRegularExpression>

QString PictureFile::nameForCode(const QString& code) {
    return code + QStringLiteral(".jpg");
}

bool PictureFile::isSafeName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.endsWith('.') ||
        name.endsWith(' ')) {
        return false;
    }
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("/\\:*?\"<>|").contains(c)) {
            return false;
        }
    }
    // Windows opens the device, not a file, for these names with any
    // extension.
    static const QRegularExpression device(QStringLiteral("^(CON|PRN|AUX|NUL|COM[0-9]|LPT[0-9])(\\..*)?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    return !device.match(name).hasMatch();
}

QString PictureFile::inFolder(const QString& folder, const QString& storedPath) {
    if (folder.isEmpty() || !isSafeName(storedPath)) {
        return {};
    }
    const QString path = folder.endsWith('/') ? folder + storedPath : folder + '/' + storedPath;
    // A link put into a shared folder would lead reads and writes elsewhere.
    if (QFileInfo(path).isSymLink()) {
        return {};
    }
    return path;
}
