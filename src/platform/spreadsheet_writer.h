#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Writes rows under a header line as an Excel workbook (.xlsx, one sheet)
// or as comma-separated values (.csv, UTF-8 with a byte-order mark, which
// Excel reads as Unicode), by the file's extension. Numbers go as numbers
// and everything else as text: a text that starts like a formula ("=",
// "+", "-", "@") is never taken for one, in a workbook because it is
// written as a text cell, in a CSV file because it is written behind an
// apostrophe, as Excel itself shows such a text. The file appears whole or
// not at all.
class SpreadsheetWriter {
public:
    // Throws UserError with the reason; nothing is left at `file` then.
    static void write(const QString& file, const QStringList& header, const QList<QVariantList>& rows,
                      const QString& sheetName = QStringLiteral("Sheet1"));
    static void writeXlsx(const QString& file, const QStringList& header, const QList<QVariantList>& rows,
                          const QString& sheetName);
    static void writeCsv(const QString& file, const QStringList& header, const QList<QVariantList>& rows);

    // A CSV field as written: quoted when it holds a separator, a quote or
    // a line break; behind an apostrophe when it would start a formula.
    static QString csvField(const QVariant& value);
    // The text a CSV field guarded that way stands for ("'=1" -> "=1").
    static QString unguarded(const QString& field);
};
