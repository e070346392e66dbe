#pragma once

#include <QString>

// What the build knows of the program: its version, and the folder an
// installed program's executables are placed in.
namespace BuildInfo {
// "3.0", the project's version.
QString version();
// The executables' folder of an installed program ("/usr/bin"): a program
// started from there keeps its data in the user's data folder.
QString installedBinDir();
// What --version prints: the version, then the program folder.
QString versionText(const QString& programFolder);
}  // namespace BuildInfo
