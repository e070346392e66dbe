#pragma once

#include <QString>
#include <QStringList>

// olvendctl's command line run in the test's own process: the same global
// options, commands, streams and exit codes as the program, each call with
// a fresh context on the program folder (as a new process would have), at
// a fraction of a process's cost. Tests of what only a process shows (its
// exit on a failed allocation, what Qt prints at start) start the program.
namespace CtlCall {
struct Result {
    int code = -1;
    QString out;
    QString err;
};

// `args` after the global options --home `home` and --today `today` (none
// when empty).
Result run(const QString& home, const QString& today, const QStringList& args);
// What a call did, as the golden files keep it: "$ ARGS", "exit N", then
// its stdout lines as "> LINE" and its stderr lines as "! LINE".
QString transcript(const QStringList& args, const Result& r);
}  // namespace CtlCall
