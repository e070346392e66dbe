#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Reads the rows of a spreadsheet a user hands the program: the first
// worksheet of an Excel workbook (.xlsx) or a text file of comma-separated
// values (.csv, UTF-8 or GB18030, found out from the bytes). Every cell
// comes as the text it shows: a formula's last computed value, a number in
// its shortest exact form, a date cell as yyyy-MM-dd (with HH:mm:ss when it
// holds a time), a merged range's text in its first cell only.
// Whatever the file holds, memory stays bounded: the workbook's parts are
// decompressed and parsed a piece at a time, and a file beyond the limits
// (rows, columns, text, decompressed size) is refused with a message
// naming the limit, before it is read to the end.
class SpreadsheetReader {
public:
    struct Limits {
        int maxRows = 100000;  // rows with any text below the first (the captions)
        int maxColumns = 200;
        int maxCellChars = 32767;  // as Excel allows
        qint64 maxTextChars = 64 * 1024 * 1024;
        qint64 maxFileBytes = 256 * 1024 * 1024;      // a CSV file, or an .xlsx as stored
        qint64 maxUnpackedBytes = 512 * 1024 * 1024;  // an .xlsx's parts once decompressed
    };

    struct Sheet {
        // Each row as many cells as its last non-empty one; rows without
        // any text are left out. The first row is normally the header.
        QList<QStringList> rows;
        // The 1-based row numbers of `rows` in the file, for messages.
        QList<int> rowNumbers;
        // "UTF-8", "GB18030", "UTF-16" for a CSV file; "XLSX" for a workbook.
        QString format;
    };

    // By the file's extension (.xlsx, .csv, .txt); throws UserError in the
    // user's words when it cannot be read.
    static Sheet read(const QString& file, const Limits& limits);
    static Sheet read(const QString& file) { return read(file, Limits()); }
    static Sheet readXlsx(const QString& file, const Limits& limits);
    static Sheet readCsv(const QByteArray& bytes, const Limits& limits);
    // The decoding of CSV bytes: a byte-order mark decides, else UTF-8 when
    // the bytes are valid UTF-8, else GB18030 (what Chinese Excel writes).
    static QString csvEncoding(const QByteArray& bytes);
    // A column letter pair of a cell reference ("AB12") as a 0-based
    // column; -1 when it names none.
    static int columnOfReference(const QString& reference);
};
