#include "platform/build_info.h"

QString BuildInfo::version() {
    return QStringLiteral(OLVEND_VERSION);
}

QString BuildInfo::installedBinDir() {
    return QStringLiteral(OLVEND_INSTALLED_BINDIR);
}
