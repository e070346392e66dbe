#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "reports/engine/prepared_report.h"
#include "reports/engine/report_rows.h"

// What the fuzz targets share. Every target starts with a QGuiApplication on
// the offscreen platform (fonts, pictures and painting need one), made by
// the LLVMFuzzerInitialize of harness.cpp.
namespace Fuzz {

inline QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}
// The shipped report templates (Report/) and the book's schema (schema/).
QString reportFolder();
QString schemaFolder();
// A folder of this process's own, removed at exit, and a file written in it.
QString scratchFolder();
QString writeScratchFile(const QString& name, const QByteArray& content);
// Prints what was expected and aborts: libFuzzer keeps the input.
[[noreturn]] void broken(const char* what, const QString& detail = {});

// For the report targets: eight rows in three days with the fields the
// shipped templates name, with nulls and text numbers; a small picture.
ReportRows documentRows();
QImage smallPicture();
// The indices a prepared report's primitives hold (fonts, pictures, band
// instances and their pages) in range.
void checkConsistent(const PreparedReport& report);
// The report saved to a .rmp, loaded and saved again: the same bytes.
void checkFileRoundTrip(const PreparedReport& report);

}  // namespace Fuzz

// Checks a property of the code under test; a false one is a finding.
#define FUZZ_CHECK(condition, detail)           \
    do {                                        \
        if (!(condition)) {                     \
            Fuzz::broken(#condition, (detail)); \
        }                                       \
    } while (false)
