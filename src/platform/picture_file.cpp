#include "platform/picture_file.h"

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
    return folder.endsWith('/') ? folder + storedPath : folder + '/' + storedPath;
}
