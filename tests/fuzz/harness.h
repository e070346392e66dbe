#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

// What the fuzz targets share: the Qt application they need, a scratch
// folder for the parsers that read files by name, and a way to stop on a
// broken promise so that libFuzzer keeps the input that broke it.
namespace Fuzz {

// Starts a QGuiApplication on the offscreen platform (fonts, pictures and
// painting need one). Safe to call more than once.
void startGuiApplication(int* argc, char*** argv);

// The bytes libFuzzer hands over.
inline QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// A folder of this process's own, made on first use and removed at exit.
QString scratchFolder();
// Writes `content` to `name` inside the scratch folder and returns its path.
QString writeScratchFile(const QString& name, const QByteArray& content);

// Prints what was expected and aborts: libFuzzer reports a crash and saves
// the input.
[[noreturn]] void broken(const char* what, const QString& detail = {});

}  // namespace Fuzz

// Checks a property of the code under test; a false one is a finding.
#define FUZZ_CHECK(condition, detail)           \
    do {                                        \
        if (!(condition)) {                     \
            Fuzz::broken(#condition, (detail)); \
        }                                       \
    } while (false)
