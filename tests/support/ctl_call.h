#pragma once

#include <QString>
#include <QStringList>

// olvendctl run in the test's own process: the program's options, streams and exit codes, a fresh
// context per call; what only a process shows (a failed allocation, Qt's start) needs the program.
namespace CtlCall {
struct Result {
    int code = -1;
    QString out;
    QString err;
};

// `args` after --home `home` and --today `today` (none when empty).
Result run(const QString& home, const QString& today, const QStringList& args);
// As the golden files keep a call: "$ ARGS", "exit N", stdout lines as "> LINE", stderr as "! LINE".
QString transcript(const QStringList& args, const Result& r);
}  // namespace CtlCall
