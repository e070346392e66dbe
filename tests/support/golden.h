#pragma once

#include <QString>

// A test's text against tests/golden/`name`; a difference shows its first line. OLVEND_UPDATE_GOLDEN=1
// (tools/update_golden.sh) writes the files afresh: read `git diff` before committing.
namespace Golden {
// True when `actual` equals the kept file (or rewrote it); else `why` says what differs.
bool matches(const QString& name, const QString& actual, QString* why);
}  // namespace Golden

#define OLVEND_COMPARE_GOLDEN(name, actual)                                               \
    do {                                                                                  \
        QString goldenWhy_;                                                               \
        QVERIFY2(Golden::matches((name), (actual), &goldenWhy_), qPrintable(goldenWhy_)); \
    } while (false)
