#include "platform/spreadsheet_writer.h"

#include <xlsxwriter.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/errors.h"

namespace {

bool isNumber(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
            return std::isfinite(v.toDouble());
        default:
            return false;
    }
}

bool startsLikeFormula(const QString& text) {
    return !text.isEmpty() && QStringLiteral("=+-@").contains(text.at(0));
}

// Apostrophes (`least` of them at least), then a character that starts a
// formula: what the CSV guard writes and what reading takes one off.
bool apostrophesBeforeFormula(const QString& text, int least) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == '\'') {
        ++i;
    }
    return i >= least && startsLikeFormula(text.mid(i, 1));
}

// A date a workbook can hold as one: from 1900 (its first day) to 9999;
// any other is written as its text.
bool isDate(const QVariant& v) {
    const QDate d = v.typeId() == QMetaType::QDate       ? v.toDate()
                    : v.typeId() == QMetaType::QDateTime ? v.toDateTime().date()
                                                         : QDate();
    return d.isValid() && d.year() >= 1900 && d.year() <= 9999;
}

QDateTime dateTimeOf(const QVariant& v) {
    return v.typeId() == QMetaType::QDate ? QDateTime(v.toDate(), QTime(0, 0)) : v.toDateTime();
}

QString dateText(const QVariant& v) {
    const QDateTime d = dateTimeOf(v);
    return d.time() == QTime(0, 0) ? d.date().toString(QStringLiteral("yyyy-MM-dd"))
                                   : d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString numberText(const QVariant& v) {
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
        return QString::number(v.toDouble(), 'g', 15);
    }
    return v.toString();
}

UserError cannotWrite(const QString& file, const QString& details = {}) {
    return UserError(
        QStringLiteral("无法写入文件: %1。请检查磁盘空间和文件夹的权限。").arg(QDir::toNativeSeparators(file)),
        details);
}

}  // namespace

QString SpreadsheetWriter::csvField(const QVariant& value) {
    if (value.isNull()) {
        return QString();
    }
    QString text = isNumber(value) ? numberText(value) : isDate(value) ? dateText(value) : value.toString();
    if (!isNumber(value) && apostrophesBeforeFormula(text, 0)) {
        // Apostrophes already there before such a character get one more,
        // so that reading back strips exactly the one added.
        text.prepend('\'');
    }
    if (text.contains(',') || text.contains('"') || text.contains('\n') || text.contains('\r') || text.contains(';') ||
        text.contains('\t')) {
        text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        text = '"' + text + '"';
    }
    return text;
}

QString SpreadsheetWriter::unguarded(const QString& field) {
    return apostrophesBeforeFormula(field, 1) ? field.mid(1) : field;
}

void SpreadsheetWriter::write(const QString& file, const QStringList& header, const QList<QVariantList>& rows,
                              const QString& sheetName, const QList<Column>& columns) {
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == QLatin1String("xlsx")) {
        writeXlsx(file, header, rows, sheetName, columns);
    } else if (suffix == QLatin1String("csv")) {
        writeCsv(file, header, rows);
    } else {
        throw UserError(QStringLiteral("只能导出为 Excel 工作簿（.xlsx）或 CSV 文件（.csv）：%1")
                            .arg(QDir::toNativeSeparators(file)));
    }
}

void SpreadsheetWriter::writeCsv(const QString& file, const QStringList& header, const QList<QVariantList>& rows) {
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        throw cannotWrite(file, out.errorString());
    }
    QByteArray bytes("\xEF\xBB\xBF");
    const auto line = [&bytes](const QVariantList& cells) {
        QStringList fields;
        for (const QVariant& v : cells) {
            fields << csvField(v);
        }
        bytes += fields.join(',').toUtf8();
        bytes += "\r\n";
    };
    line(QVariantList(header.cbegin(), header.cend()));
    for (const QVariantList& row : rows) {
        line(row);
        if (bytes.size() > 1024 * 1024) {
            out.write(bytes);
            bytes.clear();
        }
    }
    out.write(bytes);
    if (!out.commit()) {
        throw cannotWrite(file, out.errorString());
    }
}

namespace {
bool isControl(QChar c) {
    return c.unicode() < 0x20 && c != '\t' && c != '\n';
}

bool isHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

// A text as a workbook cell holds it: a control character as its escape
// ("_x000D_"), and the underscore of a text that would read as an escape
// (also one that a following control character's escape would complete)
// as "_x005F_", so that Excel and the reader show it as typed.
QByteArray xlsxText(const QString& text) {
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (isControl(c)) {
            out += QStringLiteral("_x%1_").arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, '0'));
            continue;
        }
        if (c == '_' && i + 6 < n && text[i + 1] == 'x' && isHexDigit(text[i + 2]) && isHexDigit(text[i + 3]) &&
            isHexDigit(text[i + 4]) && isHexDigit(text[i + 5]) && (text[i + 6] == '_' || isControl(text[i + 6]))) {
            out += QStringLiteral("_x005F_");
            continue;
        }
        out += c;
    }
    return out.toUtf8();
}
}  // namespace

void SpreadsheetWriter::writeXlsx(const QString& file, const QStringList& header, const QList<QVariantList>& rows,
                                  const QString& sheetName, const QList<Column>& columns) {
    // Written under a work name and renamed once whole.
    // A short name of its own beside the file: no file of the user's is
    // overwritten, and a long file name does not grow too long.
    const QString temp = QFileInfo(file).dir().filePath(
        QStringLiteral(".olvend-%1.part").arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0')));
    {
        // The name is taken, and the folder found writable, before the
        // workbook is made: the library would report a folder it cannot
        // write in its own words, on the standard error.
        QFile claim(temp);
        if (!claim.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            throw cannotWrite(file, claim.errorString());
        }
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // rows go to disk as they are written
    options.tmpdir = nullptr;
    // Whatever leaves this function before the rename (a refusal, or memory
    // running out while texts are converted) takes the work file with it.
    struct WorkFile {
        const QString& path;
        lxw_workbook* book = nullptr;  // until closed
        bool kept = false;
        ~WorkFile() {
            if (book) {
                lxw_workbook_free(book);
            }
            if (!kept) {
                QFile::remove(path);
            }
        }
    } work{temp};
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(temp).constData(), &options);
    if (!book) {
        throw cannotWrite(file);
    }
    work.book = book;
    QString name = sheetName.left(31);
    for (const char c : {'[', ']', ':', '*', '?', '/', '\\'}) {
        name.replace(QChar(c), QChar('_'));
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book, name.isEmpty() ? nullptr : name.toUtf8().constData());
    if (!sheet) {
        // A name Excel reserves or refuses ("History", a leading
        // apostrophe): the sheet keeps the default name.
        sheet = workbook_add_worksheet(book, nullptr);
    }
    if (!sheet) {
        throw cannotWrite(file);
    }
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    // Texts a spreadsheet keeps as typed, whatever is typed there later.
    lxw_format* textFormat = workbook_add_format(book);
    format_set_num_format(textFormat, "@");
    lxw_format* dateFormat = workbook_add_format(book);
    format_set_num_format(dateFormat, "yyyy-mm-dd");
    lxw_format* dateTimeFormat = workbook_add_format(book);
    format_set_num_format(dateTimeFormat, "yyyy-mm-dd hh:mm:ss");
    lxw_error error = LXW_NO_ERROR;
    for (int c = 0; c < columns.size() && error == LXW_NO_ERROR; ++c) {
        const Column& column = columns[c];
        if (column.widthPixels > 0 || column.text) {
            error = worksheet_set_column_pixels(sheet, lxw_col_t(c), lxw_col_t(c),
                                                column.widthPixels > 0 ? uint32_t(column.widthPixels) : 64,
                                                column.text ? textFormat : nullptr);
        }
    }
    // The captions stay in sight while the rows scroll.
    worksheet_freeze_panes(sheet, 1, 0);
    for (int c = 0; c < header.size() && error == LXW_NO_ERROR; ++c) {
        error = worksheet_write_string(sheet, 0, lxw_col_t(c), xlsxText(header[c]).constData(), bold);
    }
    for (int r = 0; r < rows.size() && error == LXW_NO_ERROR; ++r) {
        const QVariantList& row = rows[r];
        for (int c = 0; c < row.size() && error == LXW_NO_ERROR; ++c) {
            const QVariant& v = row[c];
            if (v.isNull()) {
                continue;
            }
            if (isNumber(v)) {
                error = worksheet_write_number(sheet, lxw_row_t(r + 1), lxw_col_t(c), v.toDouble(), nullptr);
            } else if (isDate(v)) {
                const QDateTime d = dateTimeOf(v);
                lxw_datetime when{d.date().year(), d.date().month(),  d.date().day(),
                                  d.time().hour(), d.time().minute(), double(d.time().second())};
                error = worksheet_write_datetime(sheet, lxw_row_t(r + 1), lxw_col_t(c), &when,
                                                 d.time() == QTime(0, 0) ? dateFormat : dateTimeFormat);
            } else {
                // A text cell: never read as a formula, whatever it starts
                // with. Apostrophes before a formula's first character get
                // one more, as in a CSV file, since reading takes one off.
                QString text = v.toString();
                if (apostrophesBeforeFormula(text, 1)) {
                    text.prepend('\'');
                }
                const bool keptAsText = c < columns.size() && columns[c].text;
                error = worksheet_write_string(sheet, lxw_row_t(r + 1), lxw_col_t(c), xlsxText(text).constData(),
                                               keptAsText ? textFormat : nullptr);
            }
        }
    }
    work.book = nullptr;  // closing frees it, whatever it returns
    const lxw_error closed = workbook_close(book);
    if (error == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED) {
        throw UserError(
            QStringLiteral("有内容超过 32767 个字符，Excel 工作簿的单元格放不下，没有导出。请导出为 CSV 文件。"));
    }
    if (error != LXW_NO_ERROR || closed != LXW_NO_ERROR) {
        throw cannotWrite(file, QString::fromUtf8(lxw_strerror(error != LXW_NO_ERROR ? error : closed)));
    }
    // Takes the name in one step; when the system refuses, the old file
    // stays as it was.
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(file).constData()) != 0) {
        throw cannotWrite(file, QString::fromLocal8Bit(std::strerror(errno)));
    }
    work.kept = true;
}
