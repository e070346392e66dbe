#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Writes rows under a header line as an Excel workbook (.xlsx, one sheet)
// or as comma-separated values (.csv, UTF-8 with a byte-order mark, which
// Excel reads as Unicode), by the file's extension. Numbers go as numbers,
// dates (QDate) as dates, everything else as text. A text that starts like
// a formula ("=", "+", "-", "@") is never taken for one: in a workbook it
// is a text cell, in a CSV file it is written behind an apostrophe (what
// Excel and LibreOffice keep as text and never run). Reading takes that
// apostrophe off again, from the CSV file or from a workbook a spreadsheet
// program saved it into (see unguarded()). The file appears whole or not
// at all.
class SpreadsheetWriter {
public:
    // How a workbook shows a column: its width in pixels (0: the default)
    // and whether it holds texts a spreadsheet must keep as typed (codes,
    // telephone numbers: "00001" is no number), which get the text format
    // "@". The caption row is frozen above the rows in any case.
    struct Column {
        int widthPixels = 0;
        bool text = false;
    };

    // Throws UserError with the reason; nothing is left at `file` then.
    static void write(const QString& file, const QStringList& header, const QList<QVariantList>& rows,
                      const QString& sheetName = QStringLiteral("Sheet1"), const QList<Column>& columns = {});
    static void writeXlsx(const QString& file, const QStringList& header, const QList<QVariantList>& rows,
                          const QString& sheetName, const QList<Column>& columns = {});
    static void writeCsv(const QString& file, const QStringList& header, const QList<QVariantList>& rows);

    // A CSV field as written: quoted when it holds a separator, a quote or
    // a line break; behind an apostrophe when it would start a formula
    // (also behind apostrophes of its own: "'=1" is written "''=1").
    static QString csvField(const QVariant& value);
    // The text a cell guarded that way stands for ("'=1" -> "=1",
    // "''=1" -> "'=1"); any other text as it is ("'abc" stays).
    static QString unguarded(const QString& field);
};
