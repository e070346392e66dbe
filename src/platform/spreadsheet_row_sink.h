#pragma once

#include <QString>
#include <QStringList>

#include "platform/spreadsheet_reader.h"

// The rows of a sheet as they are read, kept within the reader's limits:
// columns, characters of a cell and of the whole file, and rows. Every
// format's reader hands its cells to one of these.
class SpreadsheetRowSink {
public:
    // What a kept cell or shared text costs beyond its characters, counted
    // against the limit of text, so that many empty cells cannot fill the
    // memory either.
    static constexpr qint64 kCellOverhead = 16;

    SpreadsheetRowSink(SpreadsheetReader::Sheet& sheet, const SpreadsheetReader::Limits& limits)
        : m_sheet(sheet), m_limits(limits) {}

    // Puts `text` into column `column` of the row being read; throws
    // UserError when a limit is passed.
    void setCell(int rowNumber, int column, const QString& text, QStringList& cells);
    // Keeps the row unless it is empty, and starts the next.
    void endRow(int rowNumber, QStringList& cells);

private:
    SpreadsheetReader::Sheet& m_sheet;
    const SpreadsheetReader::Limits& m_limits;
    qint64 m_text = 0;
};
