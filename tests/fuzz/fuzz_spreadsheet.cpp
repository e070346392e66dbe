// Spreadsheets for the import: any bytes read as a CSV file, a workbook, and
// the sheet and shared texts of a sound workbook, under small limits: rows
// or a UserError, the rows within the limits, none empty, numbered in order.

#include <zip.h>

#include <QFile>
#include <functional>

#include "harness.h"
#include "platform/errors.h"
#include "platform/spreadsheet_reader.h"

namespace {

const SpreadsheetReader::Limits kLimits{.maxRows = 200,
                                        .maxColumns = 50,
                                        .maxCellChars = 1000,
                                        .maxTextChars = 100000,
                                        .maxFileBytes = 1024 * 1024,
                                        .maxUnpackedBytes = 4 * 1024 * 1024};

void readChecked(const std::function<SpreadsheetReader::Sheet()>& read) {
    try {
        const SpreadsheetReader::Sheet sheet = read();
        FUZZ_CHECK(sheet.rows.size() <= kLimits.maxRows + 1, QString::number(sheet.rows.size()));
        FUZZ_CHECK(sheet.rowNumbers.size() == sheet.rows.size(), QString());
        int previous = 0;
        for (qsizetype r = 0; r < sheet.rows.size(); ++r) {
            const QStringList& row = sheet.rows[r];
            FUZZ_CHECK(!row.isEmpty() && row.size() <= kLimits.maxColumns, QString::number(row.size()));
            FUZZ_CHECK(!row.last().trimmed().isEmpty(), QStringLiteral("row %1 ends blank").arg(r));
            for (const QString& cell : row) {
                FUZZ_CHECK(cell.size() <= kLimits.maxCellChars, QString::number(cell.size()));
            }
            FUZZ_CHECK(sheet.rowNumbers[r] > previous,
                       QStringLiteral("row number %1 after %2").arg(sheet.rowNumbers[r]).arg(previous));
            previous = sheet.rowNumbers[r];
        }
    } catch (const UserError& e) {
        FUZZ_CHECK(!e.message().isEmpty(), QString());
    }
}

// A workbook whose sheet is `sheet` and whose shared texts are `shared`.
QString workbookAround(const QByteArray& sheet, const QByteArray& shared) {
    static const QByteArray workbook =
        R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="a" sheetId="1" r:id="rId1"/></sheets></workbook>)";
    static const QByteArray rels =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="x" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="y/sharedStrings" Target="sharedStrings.xml"/></Relationships>)";
    const QString file = Fuzz::scratchFolder() + QStringLiteral("/wrapped.xlsx");
    int error = 0;
    zip_t* z = zip_open(QFile::encodeName(file).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    const QList<QPair<const char*, QByteArray>> parts{{"xl/workbook.xml", workbook},
                                                      {"xl/_rels/workbook.xml.rels", rels},
                                                      {"xl/worksheets/sheet1.xml", sheet},
                                                      {"xl/sharedStrings.xml", shared}};
    bool written = z != nullptr;
    for (const auto& [name, bytes] : parts) {
        // libzip reads the bytes when the archive is closed; `parts` holds
        // them until then.
        zip_source_t* source =
            written ? zip_source_buffer(z, bytes.constData(), zip_uint64_t(bytes.size()), 0) : nullptr;
        written = source && zip_file_add(z, name, source, ZIP_FL_OVERWRITE) >= 0;
    }
    if (!written || zip_close(z) != 0) {
        Fuzz::broken("cannot write the workbook", file);
    }
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = Fuzz::bytes(data, size);
    readChecked([&] { return SpreadsheetReader::readCsv(bytes, kLimits); });
    const QString file = Fuzz::writeScratchFile(QStringLiteral("input.xlsx"), bytes);
    readChecked([&] { return SpreadsheetReader::readXlsx(file, kLimits); });
    // The sheet and the shared texts split at the first NUL, if any.
    const qsizetype split = bytes.indexOf('\0');
    const QString wrapped =
        workbookAround(split < 0 ? bytes : bytes.left(split), split < 0 ? QByteArray() : bytes.mid(split + 1));
    readChecked([&] { return SpreadsheetReader::readXlsx(wrapped, kLimits); });
    return 0;
}
