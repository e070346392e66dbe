#pragma once

#include <QStringList>
#include <QTextStream>

// One run of olvendctl without the process around it: the global options
// (--home, --today, --book, --user), then the command. Answers go to `out`,
// every message to `err`; the result is the exit code. The caller provides
// the application object (reports lay out text, so a QGuiApplication).
namespace CtlMain {
// `arguments` without the program's name.
int run(const QStringList& arguments, QTextStream& out, QTextStream& err);
}  // namespace CtlMain
