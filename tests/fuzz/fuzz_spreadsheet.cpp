// Spreadsheets handed to the import: any bytes read as a CSV file, as a
// workbook file, and as the sheet and shared texts of an otherwise sound
// workbook, under small limits. Every outcome is rows or a UserError, and
// the rows keep the limits: no row beyond the count, no cell beyond its
// length, no empty row, row numbers in order.

#include <zip.h>

#include <QFile>

#include "harness.h"
#include "platform/errors.h"
#include "platform/spreadsheet_reader.h"

namespace {

SpreadsheetReader::Limits smallLimits() {
    SpreadsheetReader::Limits limits;
    limits.maxRows = 200;
    limits.maxColumns = 50;
    limits.maxCellChars = 1000;
    limits.maxTextChars = 100000;
    limits.maxFileBytes = 1024 * 1024;
    limits.maxUnpackedBytes = 4 * 1024 * 1024;
    return limits;
}

void checkSheet(const SpreadsheetReader::Sheet& sheet, const SpreadsheetReader::Limits& limits) {
    FUZZ_CHECK(sheet.rows.size() <= limits.maxRows + 1, QString::number(sheet.rows.size()));
    FUZZ_CHECK(sheet.rowNumbers.size() == sheet.rows.size(), QString());
    int previous = 0;
    for (qsizetype r = 0; r < sheet.rows.size(); ++r) {
        const QStringList& row = sheet.rows[r];
        FUZZ_CHECK(!row.isEmpty() && row.size() <= limits.maxColumns, QString::number(row.size()));
        FUZZ_CHECK(!row.last().trimmed().isEmpty(), QStringLiteral("row %1 ends blank").arg(r));
        for (const QString& cell : row) {
            FUZZ_CHECK(cell.size() <= limits.maxCellChars, QString::number(cell.size()));
        }
        FUZZ_CHECK(sheet.rowNumbers[r] > previous,
                   QStringLiteral("row number %1 after %2").arg(sheet.rowNumbers[r]).arg(previous));
        previous = sheet.rowNumbers[r];
    }
}

template <typename Read>
void readChecked(const Read& read) {
    const SpreadsheetReader::Limits limits = smallLimits();
    try {
        checkSheet(read(limits), limits);
    } catch (const UserError& e) {
        FUZZ_CHECK(!e.message().isEmpty(), QString());
    }
}

// A workbook whose sheet is `sheet` and whose shared texts are `shared`.
QString workbookAround(const QByteArray& sheet, const QByteArray& shared) {
    const QString file = Fuzz::scratchFolder() + QStringLiteral("/wrapped.xlsx");
    int error = 0;
    zip_t* z = zip_open(QFile::encodeName(file).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z) {
        Fuzz::broken("zip_open");
    }
    static const QByteArray workbook =
        R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="a" sheetId="1" r:id="rId1"/></sheets></workbook>)";
    static const QByteArray rels =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="x" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="y/sharedStrings" Target="sharedStrings.xml"/></Relationships>)";
    const QList<QPair<const char*, QByteArray>> parts{{"xl/workbook.xml", workbook},
                                                      {"xl/_rels/workbook.xml.rels", rels},
                                                      {"xl/worksheets/sheet1.xml", sheet},
                                                      {"xl/sharedStrings.xml", shared}};
    for (const auto& [name, bytes] : parts) {
        // libzip reads the bytes when the archive is closed; `parts` holds them until then.
        zip_source_t* source = zip_source_buffer(z, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (!source || zip_file_add(z, name, source, ZIP_FL_OVERWRITE) < 0) {
            Fuzz::broken("zip_file_add");
        }
    }
    if (zip_close(z) != 0) {
        Fuzz::broken("zip_close");
    }
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::startGuiApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = Fuzz::bytes(data, size);
    readChecked([&](const SpreadsheetReader::Limits& limits) { return SpreadsheetReader::readCsv(bytes, limits); });
    const QString file = Fuzz::writeScratchFile(QStringLiteral("input.xlsx"), bytes);
    readChecked([&](const SpreadsheetReader::Limits& limits) { return SpreadsheetReader::readXlsx(file, limits); });
    // The sheet and the shared texts split at the first NUL, if any.
    const qsizetype split = bytes.indexOf('\0');
    const QByteArray sheet = split < 0 ? bytes : bytes.left(split);
    const QByteArray shared = split < 0 ? QByteArray() : bytes.mid(split + 1);
    const QString wrapped = workbookAround(sheet, shared);
    readChecked([&](const SpreadsheetReader::Limits& limits) { return SpreadsheetReader::readXlsx(wrapped, limits); });
    return 0;
}
