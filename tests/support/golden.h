#pragma once

#include <QString>

// Compares a text a test produced (a printout's texts, a command's output)
// with the file tests/golden/`name` kept in the repository. A difference
// fails the test and shows the first line that differs. Run the tests with
// OLVEND_UPDATE_GOLDEN=1 to write the files afresh (tools/update_golden.sh),
// then read the change in `git diff` before committing it.
namespace Golden {
// True when `actual` equals the kept file (or the file was rewritten);
// `why` then says what differs.
bool matches(const QString& name, const QString& actual, QString* why);
}  // namespace Golden

#define OLVEND_COMPARE_GOLDEN(name, actual)                                               \
    do {                                                                                  \
        QString goldenWhy_;                                                               \
        QVERIFY2(Golden::matches((name), (actual), &goldenWhy_), qPrintable(goldenWhy_)); \
    } while (false)
