#include "platform/spreadsheet_row_sink.h"

#include "platform/errors.h"

void SpreadsheetRowSink::setCell(int rowNumber, int column, const QString& text, QStringList& cells) {
    if (column >= m_limits.maxColumns) {
        if (text.trimmed().isEmpty()) {
            return;  // formatting far to the right holds nothing
        }
        throw UserError(QStringLiteral("文件第 %1 行超过 %2 列，不能导入。").arg(rowNumber).arg(m_limits.maxColumns));
    }
    if (text.size() > m_limits.maxCellChars) {
        throw UserError(QStringLiteral("文件第 %1 行第 %2 列的内容超过 %3 个字符，不能导入。")
                            .arg(rowNumber)
                            .arg(column + 1)
                            .arg(m_limits.maxCellChars));
    }
    // Each cell kept costs its text and a fixed overhead, so that many
    // empty cells cannot fill the memory either.
    m_text += text.size() + kCellOverhead;
    if (m_text > m_limits.maxTextChars) {
        throw UserError(QStringLiteral("文件中的文字太多（超过 %1 个字符），不能导入。").arg(m_limits.maxTextChars));
    }
    while (cells.size() <= column) {
        cells.append(QString());
    }
    cells[column] = text;
}

void SpreadsheetRowSink::endRow(int rowNumber, QStringList& cells) {
    while (!cells.isEmpty() && cells.last().trimmed().isEmpty()) {
        cells.removeLast();
    }
    if (cells.isEmpty()) {
        return;
    }
    // The captions come on top: a file written from 100,000 records
    // is read back whole.
    if (m_sheet.rows.size() > m_limits.maxRows) {
        throw UserError(
            QStringLiteral("文件超过 %1 行，不能一次导入。请把它分成几个文件再导入。").arg(m_limits.maxRows));
    }
    m_sheet.rows.append(cells);
    m_sheet.rowNumbers.append(rowNumber);
    cells.clear();
}
