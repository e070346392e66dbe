#include "platform/build_info.h"

#include <QDir>

QString BuildInfo::version() {
    return QStringLiteral(OLVEND_VERSION);
}

QString BuildInfo::versionText(const QString& programFolder) {
    return QStringLiteral("Olvend %1\n程序目录: %2\n").arg(version(), QDir::toNativeSeparators(programFolder));
}

QString BuildInfo::installedBinDir() {
    return QStringLiteral(OLVEND_INSTALLED_BINDIR);
}
