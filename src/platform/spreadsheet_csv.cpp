#include <QStringDecoder>
#include <algorithm>

#include "platform/errors.h"
#include "platform/spreadsheet_reader.h"
#include "platform/spreadsheet_row_sink.h"

// How a CSV file is read: its encoding told from its bytes (UTF-8, UTF-16
// or GB18030), its separator from its first line, and its rows kept within
// the reader's limits.

namespace {

constexpr qint64 kDecodeChunk = 1024 * 1024;

// Where a piece of UTF-8 that starts at `from` may end without cutting a
// character in two: at most `from + kDecodeChunk`, moved back to the start
// of the character there.
qsizetype utf8PieceEnd(const QByteArray& bytes, qsizetype from) {
    qsizetype end = std::min<qsizetype>(bytes.size(), from + kDecodeChunk);
    if (end == bytes.size()) {
        return end;
    }
    qsizetype back = end;
    while (back > from && back > end - 4 && (uchar(bytes[back]) & 0xC0) == 0x80) {
        --back;
    }
    return back > from ? back : end;  // invalid bytes fail the decoding anyway
}

// Decodes a piece at a time, so that neither a second copy of the text
// nor more than the limit of characters is ever held. `out` null only
// checks that the bytes decode.
bool decodeUtf8(const QByteArray& bytes, qsizetype from, QString* out, qint64 maxChars) {
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    for (qsizetype at = from; at < bytes.size();) {
        const qsizetype end = utf8PieceEnd(bytes, at);
        const QString piece = utf8(QByteArrayView(bytes).sliced(at, end - at));
        if (utf8.hasError()) {
            return false;
        }
        if (out) {
            if (out->size() + piece.size() > maxChars) {
                throw UserError(QStringLiteral("文件中的文字太多（超过 %1 个字符），不能导入。").arg(maxChars));
            }
            *out += piece;
        }
        at = end;
    }
    return true;
}

UserError unknownEncoding() {
    return UserError(
        QStringLiteral("文件的编码无法识别（既不是 UTF-8 也不是 GB18030），请把文件另存为 UTF-8 "
                       "编码的 CSV 文件后再导入。"));
}

// GB18030 a piece at a time, each piece ending after a line break (a byte
// no GB18030 character contains), so that every piece decodes on its own
// and a character cut off at the file's end is an error.
QString decodeGb18030(const QByteArray& bytes, qint64 maxChars) {
    QString out;
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype end = std::min<qsizetype>(bytes.size(), at + kDecodeChunk);
        if (end < bytes.size()) {
            const qsizetype lineEnd = bytes.lastIndexOf('\n', end - 1);
            if (lineEnd >= at) {
                end = lineEnd + 1;
            } else {
                const qsizetype next = bytes.indexOf('\n', end);
                end = next < 0 ? bytes.size() : next + 1;
            }
        }
        QStringDecoder gb("GB18030", QStringDecoder::Flag::Stateless);
        if (!gb.isValid()) {
            throw UserError(QStringLiteral("本程序无法读取 GB18030 编码的文件，请把文件另存为 UTF-8 编码后再导入。"));
        }
        out += gb(QByteArrayView(bytes).sliced(at, end - at));
        if (gb.hasError()) {
            throw unknownEncoding();
        }
        if (out.size() > maxChars) {
            throw UserError(QStringLiteral("文件中的文字太多（超过 %1 个字符），不能导入。").arg(maxChars));
        }
        at = end;
    }
    return out;
}

// UTF-16 with its byte-order mark, a piece at a time.
QString decodeUtf16(const QByteArray& bytes, qint64 maxChars) {
    if (bytes.size() % 2 != 0) {
        throw unknownEncoding();  // half a character at the end
    }
    QStringDecoder utf16(QStringDecoder::Utf16);
    QString out;
    for (qsizetype at = 0; at < bytes.size(); at += kDecodeChunk) {
        out += utf16(QByteArrayView(bytes).sliced(at, std::min<qsizetype>(kDecodeChunk, bytes.size() - at)));
        if (out.size() > maxChars) {
            throw UserError(QStringLiteral("文件中的文字太多（超过 %1 个字符），不能导入。").arg(maxChars));
        }
    }
    // A first half of a character at the very end stays in the decoder.
    if (bytes.size() >= 4) {
        const bool littleEndian = bytes.startsWith("\xFF\xFE");
        const uchar a = uchar(bytes[bytes.size() - 2]);
        const uchar b = uchar(bytes[bytes.size() - 1]);
        const char16_t last = littleEndian ? char16_t(a | (b << 8)) : char16_t((a << 8) | b);
        if (QChar::isHighSurrogate(last)) {
            throw unknownEncoding();
        }
    }
    if (utf16.hasError()) {
        throw unknownEncoding();
    }
    return out;
}

}  // namespace

QString SpreadsheetReader::csvEncoding(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return QStringLiteral("UTF-8");
    }
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        return QStringLiteral("UTF-16");
    }
    return decodeUtf8(bytes, 0, nullptr, 0) ? QStringLiteral("UTF-8") : QStringLiteral("GB18030");
}

SpreadsheetReader::Sheet SpreadsheetReader::readCsv(const QByteArray& bytes, const Limits& limits) {
    if (bytes.size() > limits.maxFileBytes) {
        throw UserError(
            QStringLiteral("文件超过 %1 MB，不能导入。").arg(QString::number(limits.maxFileBytes / (1024 * 1024))));
    }
    Sheet sheet;
    sheet.format = csvEncoding(bytes);
    QString text;
    if (sheet.format == QLatin1String("UTF-16")) {
        text = decodeUtf16(bytes, limits.maxTextChars);
    } else if (sheet.format == QLatin1String("UTF-8")) {
        // A byte-order mark says UTF-8; bytes that are not are refused, not
        // read up to the first bad one.
        const qsizetype bom = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        if (!decodeUtf8(bytes, bom, &text, limits.maxTextChars)) {
            throw unknownEncoding();
        }
    } else {
        text = decodeGb18030(bytes, limits.maxTextChars);
    }
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);  // a UTF-16 byte-order mark
    }
    // The separator the first line uses most: a comma, else a semicolon or
    // a tab (as some Excel versions and regions write).
    QChar separator(',');
    {
        const QStringView first = QStringView(text).left(text.indexOf('\n') < 0 ? text.size() : text.indexOf('\n'));
        const qsizetype commas = first.count(',');
        if (first.count('\t') > commas && first.count('\t') >= first.count(';')) {
            separator = '\t';
        } else if (first.count(';') > commas) {
            separator = ';';
        }
    }

    SpreadsheetRowSink sink(sheet, limits);
    QStringList cells;
    QString field;
    int record = 1;
    int column = 0;
    bool quoted = false;
    bool fieldStarted = false;
    const auto endField = [&] {
        sink.setCell(record, column, field, cells);
        field.clear();
        ++column;
        fieldStarted = false;
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (field.size() > limits.maxCellChars) {
            throw UserError(QStringLiteral("文件第 %1 行第 %2 列的内容超过 %3 个字符，不能导入。")
                                .arg(record)
                                .arg(column + 1)
                                .arg(limits.maxCellChars));
        }
        if (quoted) {
            if (c == '"') {
                if (i + 1 < n && text.at(i + 1) == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == '"' && !fieldStarted && field.isEmpty()) {
            quoted = true;
            fieldStarted = true;
        } else if (c == separator) {
            endField();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < n && text.at(i + 1) == '\n') {
                ++i;
            }
            endField();
            sink.endRow(record, cells);
            cells.clear();
            column = 0;
            ++record;
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted) {
        throw UserError(QStringLiteral("文件第 %1 行的引号没有结束，文件可能不完整。").arg(record));
    }
    if (fieldStarted || !field.isEmpty() || column > 0) {
        endField();
        sink.endRow(record, cells);
    }
    return sheet;
}
