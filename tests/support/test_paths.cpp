#include "support/test_paths.h"

QString TestPaths::olvendctl() {
    return QStringLiteral(OLVEND_TEST_OLVENDCTL);
}

QString TestPaths::goldenFolder() {
    return QStringLiteral(OLVEND_TEST_SOURCE_DIR "/tests/golden");
}

QString TestPaths::sourceFolder() {
    return QStringLiteral(OLVEND_TEST_SOURCE_DIR);
}
