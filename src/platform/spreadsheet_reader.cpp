#include "platform/spreadsheet_reader.h"

#include <zip.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "platform/errors.h"
#include "platform/spreadsheet_row_sink.h"

namespace {

constexpr qint64 kChunk = 256 * 1024;
// The last row of a sheet.
constexpr int kLastRow = 1048576;
// workbook.xml and its relations name the sheets; they are small.
constexpr qint64 kMaxIndexPartBytes = 16 * 1024 * 1024;

QString megabytes(qint64 bytes) {
    return QString::number(bytes / (1024 * 1024));
}

QString native(const QString& file) {
    return QDir::toNativeSeparators(file);
}

// A workbook text with its escapes undone: "_x000D_" is a carriage
// return, "_x005F_" an underscore that keeps what follows as written.
QString unescapedText(const QString& text) {
    if (!text.contains(QLatin1String("_x"))) {
        return text;
    }
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_') {
            const QStringView digits = QStringView(text).sliced(i + 2, 4);
            const bool hex = std::all_of(digits.begin(), digits.end(), [](QChar c) {
                const char16_t u = c.unicode();
                return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
            });
            if (hex) {
                const uint code = digits.toUInt(nullptr, 16);
                out += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// A number as Excel stores it ("12.5", "1.0000000000000002", "3E-2"), in
// its shortest form to 15 significant digits, as Excel shows it.
QString numberText(const QString& stored) {
    bool ok = false;
    const double value = stored.toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        return stored;
    }
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        return QString::number(qint64(value));
    }
    return QString::number(value, 'g', 15);
}

// An open workbook; its parts are read through a bounded stream.
class Workbook {
public:
    Workbook(const QString& file, const SpreadsheetReader::Limits& limits) : m_file(file), m_limits(limits) {
        int error = 0;
        m_zip = zip_open(QFile::encodeName(file).constData(), ZIP_RDONLY, &error);
        if (!m_zip) {
            throw UserError(QStringLiteral("无法读取文件 %1：它不是有效的 Excel 工作簿（.xlsx）。如果是旧的 .xls "
                                           "文件，请在 Excel 中另存为 .xlsx 或 CSV 文件后再导入。")
                                .arg(native(file)));
        }
    }
    ~Workbook() { zip_discard(m_zip); }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    bool has(const QString& part) const { return zip_name_locate(m_zip, part.toUtf8().constData(), 0) >= 0; }

    // Hands the part's decompressed bytes to `sink` a piece at a time; the
    // bytes of every part read count against the limit.
    void stream(const QString& part, const std::function<void(const QByteArray&)>& sink) {
        ZipPart device(*this, part);
        QByteArray buffer;
        while (!(buffer = device.read(kChunk)).isEmpty()) {
            sink(buffer);
        }
        device.check();
    }

    // One part of the archive read as a device, decompressed as it is read.
    // A read past the limit of unpacked bytes, or a failing one, ends the
    // device; check() then throws the reason.
    class ZipPart : public QIODevice {
    public:
        ZipPart(Workbook& book, const QString& part) : m_book(book), m_part(part) {
            m_file = zip_fopen(book.m_zip, part.toUtf8().constData(), 0);
            if (!m_file) {
                throw book.damaged(QStringLiteral("找不到部件 %1").arg(part));
            }
            open(QIODevice::ReadOnly);
        }
        ~ZipPart() override { zip_fclose(m_file); }
        bool isSequential() const override { return true; }
        void check() const {
            if (m_tooLarge) {
                throw UserError(QStringLiteral("文件 %1 解压后超过 %2 MB，不能导入。")
                                    .arg(native(m_book.m_file), megabytes(m_book.m_limits.maxUnpackedBytes)));
            }
            if (m_tooLong) {
                throw UserError(QStringLiteral("文件 %1 中有超过 %2 个字符的内容，不能导入。")
                                    .arg(native(m_book.m_file))
                                    .arg(m_book.m_limits.maxCellChars));
            }
            if (!m_failure.isEmpty()) {
                throw m_book.damaged(m_failure);
            }
        }

    protected:
        qint64 readData(char* data, qint64 maxSize) override {
            if (m_tooLarge || m_tooLong || !m_failure.isEmpty()) {
                return -1;
            }
            const zip_int64_t n = zip_fread(m_file, data, zip_uint64_t(maxSize));
            if (n < 0) {
                m_failure = QString::fromUtf8(zip_file_strerror(m_file));
                return -1;
            }
            m_book.m_unpacked += n;
            if (m_book.m_unpacked > m_book.m_limits.maxUnpackedBytes) {
                m_tooLarge = true;
                return -1;
            }
            // The XML reader holds a whole text or tag before it hands it
            // on; bytes without any markup beyond what a cell may hold (each
            // character escaped at most as "&#x10FFFF;") are no worksheet.
            const qint64 maxRun = qint64(m_book.m_limits.maxCellChars) * 10 + 4096;
            for (zip_int64_t i = 0; i < n; ++i) {
                const char c = data[i];
                // Every tag and every text ends before the next '<'; a '>'
                // may stand in a text or a value.
                m_run = c == '<' ? 0 : m_run + 1;
                if (m_run > maxRun) {
                    m_tooLong = true;
                    return -1;
                }
            }
            return n;
        }
        qint64 writeData(const char*, qint64) override { return -1; }

    private:
        Workbook& m_book;
        QString m_part;
        zip_file_t* m_file = nullptr;
        bool m_tooLarge = false;
        bool m_tooLong = false;
        qint64 m_run = 0;  // bytes since the last '<'
        QString m_failure;
    };

    QByteArray whole(const QString& part, qint64 maxBytes) {
        QByteArray out;
        stream(part, [&](const QByteArray& piece) {
            out += piece;
            if (out.size() > maxBytes) {
                throw damaged(QStringLiteral("部件 %1 太大").arg(part));
            }
        });
        return out;
    }

    UserError damaged(const QString& details) const {
        return UserError(QStringLiteral("文件 %1 已损坏或不是 Excel 工作簿，无法读取。").arg(native(m_file)), details);
    }

private:
    QString m_file;
    const SpreadsheetReader::Limits& m_limits;
    zip_t* m_zip = nullptr;
    qint64 m_unpacked = 0;
};

// Parses a part as it is decompressed; `handle` sees every token.
// A workbook's parts declare no entities: a declaration could make a few
// bytes expand into gigabytes before any limit sees them.
void refuseDeclarations(Workbook& book, const QString& part, const QXmlStreamReader& xml) {
    if (xml.tokenType() == QXmlStreamReader::DTD) {
        throw book.damaged(QStringLiteral("%1 中有文档类型声明").arg(part));
    }
}

void parseStream(Workbook& book, const QString& part, const std::function<void(QXmlStreamReader&)>& handle) {
    Workbook::ZipPart device(book, part);
    QXmlStreamReader xml(&device);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.hasError()) {
            break;
        }
        refuseDeclarations(book, part, xml);
        handle(xml);
    }
    // A limit or a failing read ends the device first: that is the reason.
    device.check();
    if (xml.hasError()) {
        throw book.damaged(QStringLiteral("%1: %2").arg(part, xml.errorString()));
    }
}

// The parts of the workbook's first sheet and of its shared texts, found
// through the workbook's relations; the names Excel gives them when the
// relations do not say.
struct WorkbookParts {
    QString sheet;
    QString sharedStrings;  // empty when the workbook has none
    QString styles;         // empty when the workbook has none
    bool date1904 = false;  // day 0 is 1904-01-01, as old Mac workbooks count
};

WorkbookParts workbookParts(Workbook& book) {
    WorkbookParts parts;
    QString relationId;
    {
        QXmlStreamReader xml(book.whole(QStringLiteral("xl/workbook.xml"), kMaxIndexPartBytes));
        while (!xml.atEnd() && relationId.isEmpty()) {
            xml.readNext();
            refuseDeclarations(book, QStringLiteral("xl/workbook.xml"), xml);
            if (xml.tokenType() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("workbookPr")) {
                const QStringView d = xml.attributes().value(QLatin1String("date1904"));
                parts.date1904 = d == QLatin1String("1") || d == QLatin1String("true");
            }
            if (xml.tokenType() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("sheet")) {
                for (const QXmlStreamAttribute& a : xml.attributes()) {
                    if (a.name() == QLatin1String("id")) {
                        relationId = a.value().toString();
                    }
                }
            }
        }
    }
    const auto partOf = [](const QString& target) {
        return target.startsWith('/') ? target.mid(1) : QStringLiteral("xl/") + target;
    };
    const QString rels = QStringLiteral("xl/_rels/workbook.xml.rels");
    if (book.has(rels)) {
        QXmlStreamReader xml(book.whole(rels, kMaxIndexPartBytes));
        while (!xml.atEnd()) {
            xml.readNext();
            refuseDeclarations(book, rels, xml);
            if (xml.tokenType() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("Relationship")) {
                continue;
            }
            const QXmlStreamAttributes a = xml.attributes();
            const QString target = a.value(QLatin1String("Target")).toString();
            if (target.isEmpty()) {
                continue;
            }
            if (!relationId.isEmpty() && a.value(QLatin1String("Id")) == relationId && parts.sheet.isEmpty()) {
                parts.sheet = partOf(target);
            } else if (a.value(QLatin1String("Type")).endsWith(QLatin1String("/sharedStrings")) &&
                       parts.sharedStrings.isEmpty()) {
                parts.sharedStrings = partOf(target);
            } else if (a.value(QLatin1String("Type")).endsWith(QLatin1String("/styles")) && parts.styles.isEmpty()) {
                parts.styles = partOf(target);
            }
        }
    }
    if (parts.sheet.isEmpty() || !book.has(parts.sheet)) {
        parts.sheet = QStringLiteral("xl/worksheets/sheet1.xml");
    }
    if (!book.has(parts.sheet)) {
        throw book.damaged(QStringLiteral("工作簿中找不到工作表"));
    }
    if (parts.sharedStrings.isEmpty() || !book.has(parts.sharedStrings)) {
        parts.sharedStrings = QStringLiteral("xl/sharedStrings.xml");
    }
    if (!book.has(parts.sharedStrings)) {
        parts.sharedStrings.clear();
    }
    if (parts.styles.isEmpty() || !book.has(parts.styles)) {
        parts.styles = QStringLiteral("xl/styles.xml");
    }
    if (!book.has(parts.styles)) {
        parts.styles.clear();
    }
    return parts;
}

// Whether a number format shows a date: Excel's own date formats (those
// of Chinese, Japanese and Korean Excel included), or a format of the
// workbook's own with a year or day in it outside quoted text.
bool isDateFormat(int id, const QString& code) {
    if ((id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 36) || (id >= 50 && id <= 58)) {
        return true;
    }
    bool quoted = false;
    bool bracket = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i).toLower();
        if (quoted) {
            quoted = c != '"';
        } else if (bracket) {
            bracket = c != ']';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '[') {
            bracket = true;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;  // the next character is shown as it is
        } else if (c == 'y' || c == 'd') {
            return true;
        }
    }
    return false;
}

// For each cell style (the cells' "s"), whether it shows a date.
QList<bool> dateStyles(Workbook& book, const QString& part) {
    QList<bool> out;
    if (part.isEmpty()) {
        return out;
    }
    QHash<int, QString> codes;
    QList<int> formatIds;
    bool inCellXfs = false;
    parseStream(book, part, [&](QXmlStreamReader& xml) {
        if (xml.isStartElement()) {
            const QXmlStreamAttributes a = xml.attributes();
            if (xml.name() == QLatin1String("numFmt")) {
                codes.insert(a.value(QLatin1String("numFmtId")).toInt(),
                             a.value(QLatin1String("formatCode")).toString());
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (xml.name() == QLatin1String("xf") && inCellXfs && formatIds.size() < 65536) {
                formatIds << a.value(QLatin1String("numFmtId")).toInt();
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    });
    for (const int id : formatIds) {
        out << isDateFormat(id, codes.value(id));
    }
    return out;
}

// A date cell's number as the date it shows: yyyy-MM-dd, with the time
// when it has one.
QString dateText(double serial, bool date1904) {
    if (!std::isfinite(serial) || serial < 0 || serial > 2958466) {
        return QString();  // beyond 9999-12-31: shown as the number
    }
    const double days = std::floor(serial);
    // Excel counts 1900-02-29, a day that never was: serials from 61 on
    // are a day ahead of a plain count from 1899-12-31.
    const QDate base = date1904 ? QDate(1904, 1, 1) : days >= 61 ? QDate(1899, 12, 30) : QDate(1899, 12, 31);
    const QDate date = base.addDays(qint64(days));
    const qint64 seconds = std::llround((serial - days) * 86400.0);
    if (seconds == 0 || seconds >= 86400) {
        return date.addDays(seconds >= 86400 ? 1 : 0).toString(QStringLiteral("yyyy-MM-dd"));
    }
    return date.toString(QStringLiteral("yyyy-MM-dd ")) +
           QTime(0, 0).addSecs(int(seconds)).toString(QStringLiteral("HH:mm:ss"));
}

// The workbook's shared texts, in order.
QStringList sharedStrings(Workbook& book, const QString& part, const SpreadsheetReader::Limits& limits) {
    QStringList out;
    if (part.isEmpty()) {
        return out;
    }
    QString current;
    bool inText = false;
    int phonetic = 0;  // inside <rPh>, the reading of East Asian text
    qint64 total = 0;
    parseStream(book, part, [&](QXmlStreamReader& xml) {
        const auto name = xml.name();
        if (xml.isStartElement()) {
            if (name == QLatin1String("si")) {
                current.clear();
            } else if (name == QLatin1String("rPh")) {
                ++phonetic;
            } else if (name == QLatin1String("t") && phonetic == 0) {
                inText = true;
            }
        } else if (xml.isEndElement()) {
            if (name == QLatin1String("t")) {
                inText = false;
            } else if (name == QLatin1String("rPh")) {
                --phonetic;
            } else if (name == QLatin1String("si")) {
                total += current.size() + SpreadsheetRowSink::kCellOverhead;
                if (total > limits.maxTextChars) {
                    throw UserError(
                        QStringLiteral("文件中的文字太多（超过 %1 个字符），不能导入。").arg(limits.maxTextChars));
                }
                out.append(unescapedText(current));
            }
        } else if (xml.isCharacters() && inText) {
            current += xml.text();
            if (current.size() > limits.maxCellChars) {
                throw UserError(QStringLiteral("文件中有超过 %1 个字符的内容，不能导入。").arg(limits.maxCellChars));
            }
        }
    });
    return out;
}

}  // namespace

int SpreadsheetReader::columnOfReference(const QString& reference) {
    int column = 0;
    int letters = 0;
    for (const QChar c : reference) {
        const char16_t u = c.unicode();
        if (u >= 'A' && u <= 'Z') {
            column = column * 26 + (u - 'A' + 1);
        } else if (u >= 'a' && u <= 'z') {
            column = column * 26 + (u - 'a' + 1);
        } else {
            break;
        }
        if (++letters > 3) {
            return -1;  // beyond XFD, the last column Excel has
        }
    }
    return letters == 0 ? -1 : column - 1;
}

SpreadsheetReader::Sheet SpreadsheetReader::read(const QString& file, const Limits& limits) {
    const QFileInfo info(file);
    if (!info.isFile()) {
        throw UserError(QStringLiteral("找不到文件: %1").arg(native(file)));
    }
    if (info.size() > limits.maxFileBytes) {
        throw UserError(
            QStringLiteral("文件 %1 超过 %2 MB，不能导入。").arg(native(file), megabytes(limits.maxFileBytes)));
    }
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("xlsx")) {
        return readXlsx(file, limits);
    }
    if (suffix != QLatin1String("csv") && suffix != QLatin1String("txt")) {
        throw UserError(QStringLiteral("只能导入 Excel 工作簿（.xlsx）或 CSV 文件（.csv）：%1").arg(native(file)));
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        throw UserError(QStringLiteral("无法读取文件: %1").arg(native(file)), in.errorString());
    }
    return readCsv(in.readAll(), limits);
}

SpreadsheetReader::Sheet SpreadsheetReader::readXlsx(const QString& file, const Limits& limits) {
    Workbook book(file, limits);
    const WorkbookParts parts = workbookParts(book);
    const QStringList shared = sharedStrings(book, parts.sharedStrings, limits);
    const QList<bool> dates = dateStyles(book, parts.styles);

    Sheet sheet;
    sheet.format = QStringLiteral("XLSX");
    SpreadsheetRowSink sink(sheet, limits);
    QStringList cells;
    int rowNumber = 0;
    int column = -1;
    QString type;
    int style = 0;
    QString value;    // <v>
    QString inline_;  // <is><t>…
    bool inValue = false;
    bool inInline = false;
    bool formula = false;   // the cell has <f>
    bool hasValue = false;  // and <v>, even an empty one
    int phonetic = 0;
    parseStream(book, parts.sheet, [&](QXmlStreamReader& xml) {
        const auto name = xml.name();
        if (xml.isStartElement()) {
            if (name == QLatin1String("row")) {
                bool ok = false;
                const QStringView given = xml.attributes().value(QLatin1String("r"));
                const int r = given.toInt(&ok);
                if (!given.isEmpty() && !ok) {
                    throw book.damaged(QStringLiteral("行号 %1 无效").arg(given.toString()));
                }
                // Excel's sheets end at row 1,048,576; a larger number is no row.
                if (ok && r > kLastRow) {
                    throw book.damaged(QStringLiteral("行号 %1 超出范围").arg(r));
                }
                rowNumber = ok && r > rowNumber ? r : rowNumber + 1;
                if (rowNumber > kLastRow) {
                    throw book.damaged(QStringLiteral("行数超出范围"));
                }
                cells.clear();
                column = -1;
            } else if (name == QLatin1String("c")) {
                const int c = columnOfReference(xml.attributes().value(QLatin1String("r")).toString());
                column = c >= 0 ? c : column + 1;
                type = xml.attributes().value(QLatin1String("t")).toString();
                style = xml.attributes().value(QLatin1String("s")).toInt();
                value.clear();
                inline_.clear();
                formula = false;
                hasValue = false;
            } else if (name == QLatin1String("v")) {
                inValue = true;
                hasValue = true;
            } else if (name == QLatin1String("f")) {
                formula = true;
            } else if (name == QLatin1String("rPh")) {
                ++phonetic;
            } else if (name == QLatin1String("t") && phonetic == 0) {
                inInline = true;
            }
        } else if (xml.isEndElement()) {
            if (name == QLatin1String("v")) {
                inValue = false;
            } else if (name == QLatin1String("t")) {
                inInline = false;
            } else if (name == QLatin1String("rPh")) {
                --phonetic;
            } else if (name == QLatin1String("c")) {
                // A formula no program has computed has no value to import.
                if (formula && !hasValue && type != QLatin1String("inlineStr")) {
                    throw UserError(QStringLiteral("文件第 %1 行第 %2 列的公式没有计算结果。请在 Excel 中打开文件、"
                                                   "保存后再导入。")
                                        .arg(rowNumber)
                                        .arg(column + 1));
                }
                QString text;
                if (type == QLatin1String("s")) {
                    bool ok = false;
                    const int index = value.trimmed().toInt(&ok);
                    if (!ok || index < 0 || index >= shared.size()) {
                        throw book.damaged(
                            QStringLiteral("第 %1 行引用了不存在的共享文字 %2").arg(rowNumber).arg(value));
                    }
                    text = shared[index];
                } else if (type == QLatin1String("inlineStr")) {
                    text = unescapedText(inline_);
                } else if (type == QLatin1String("b")) {
                    text = value.trimmed() == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                } else if (type == QLatin1String("str") || type == QLatin1String("e") || value.isEmpty()) {
                    text = value;
                } else {
                    text = numberText(value.trimmed());
                    if (style >= 0 && style < dates.size() && dates[style]) {
                        const QString date = dateText(value.trimmed().toDouble(), parts.date1904);
                        text = date.isEmpty() ? text : date;
                    }
                }
                sink.setCell(rowNumber, column, text, cells);
            } else if (name == QLatin1String("row")) {
                sink.endRow(rowNumber, cells);
            }
        } else if (xml.isCharacters()) {
            if (inValue) {
                value += xml.text();
            } else if (inInline) {
                inline_ += xml.text();
            }
            // A cell is measured as it grows, not once it is whole.
            if (value.size() > limits.maxCellChars || inline_.size() > limits.maxCellChars) {
                throw UserError(QStringLiteral("文件第 %1 行第 %2 列的内容超过 %3 个字符，不能导入。")
                                    .arg(rowNumber)
                                    .arg(column + 1)
                                    .arg(limits.maxCellChars));
            }
        }
    });
    return sheet;
}
