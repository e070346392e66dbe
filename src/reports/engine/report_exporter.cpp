#include "reports/engine/report_exporter.h"

#include <xlsxwriter.h>

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <list>

#include "data/field_def.h"
#include "reports/engine/prepared_report.h"
#include "reports/engine/report_file.h"
#include "reports/engine/report_painter.h"
#include "reports/engine/report_sheet.h"

namespace {
bool fail(QString* error, const QString& message) {
    if (error) {
        *error = message;
    }
    return false;
}

bool folderWritable(const QString& file, QString* error) {
    const QFileInfo dir(QFileInfo(file).absolutePath());
    if (!dir.exists() || !dir.isDir()) {
        return fail(error, QStringLiteral("文件夹不存在，无法写入[%1]").arg(QDir::toNativeSeparators(file)));
    }
    return true;
}

// A date's display format as a spreadsheet writes it: the report's
// letters (YYYY-MM-DD hh:nn:ss) in Excel's (yyyy-mm-dd hh:mm:ss).
QString spreadsheetDateFormat(const QString& format, bool withTime) {
    if (format.isEmpty()) {
        return withTime ? QStringLiteral("yyyy-mm-dd hh:mm:ss") : QStringLiteral("yyyy-mm-dd");
    }
    return format.toLower().replace(QLatin1String("nn"), QLatin1String("mm"));
}

// A date a workbook can hold as one: from 1900 (its first day) to 9999;
// any other is written as its text.
bool isDateValue(const QVariant& v) {
    const QDate d = v.typeId() == QMetaType::QDate       ? v.toDate()
                    : v.typeId() == QMetaType::QDateTime ? v.toDateTime().date()
                                                         : QDate();
    return d.isValid() && d.year() >= 1900 && d.year() <= 9999;
}

// A workbook keeps numbers as doubles: a whole number beyond 2^53 (an
// 18-digit price) would come back as another number, so it is written as
// its text.
bool fitsSpreadsheetNumber(const QVariant& v) {
    constexpr qulonglong kExactLimit = 1ULL << 53;
    if (v.typeId() == QMetaType::LongLong) {
        const qlonglong n = v.toLongLong();
        return (n < 0 ? 0ULL - qulonglong(n) : qulonglong(n)) <= kExactLimit;
    }
    if (v.typeId() == QMetaType::ULongLong) {
        return v.toULongLong() <= kExactLimit;
    }
    return true;
}

// The paper of libxlsxwriter's list that a page of this size is printed
// on: A4 unless it is A3, A5, B5 or Letter.
uint8_t paperOf(const QSizeF& mm) {
    const double shortSide = std::min(mm.width(), mm.height());
    const double longSide = std::max(mm.width(), mm.height());
    const auto near = [&](double a, double b) { return std::abs(shortSide - a) < 3 && std::abs(longSide - b) < 3; };
    if (near(297, 420)) {
        return 8;
    }
    if (near(148, 210)) {
        return 11;
    }
    if (near(182, 257)) {
        return 13;
    }
    if (near(215.9, 279.4)) {
        return 1;
    }
    return 9;
}

// About how many pixels a spreadsheet needs to show a line of text in its
// default font: a wide (CJK) character twice a narrow one, and a margin.
int textPixels(const QString& text) {
    int widest = 0;
    for (const QString& line : text.split('\n')) {
        int units = 0;
        for (const QChar c : line) {
            units += c.unicode() < 0x1100 ? 1 : 2;
        }
        widest = std::max(widest, units);
    }
    return widest == 0 ? 0 : widest * 8 + 10;
}

QString mm(double dots) {
    return QString::number(dots / PreparedReport::kDotsPerMm, 'f', 2) + QStringLiteral("mm");
}

}  // namespace

QString ReportExporter::withExtension(const QString& file, const QString& extension) {
    return QFileInfo(file).suffix().isEmpty() ? file + '.' + extension : file;
}

bool ReportExporter::toPdf(const PreparedReport& report, const QString& name, QString* error) {
    const QString file = withExtension(name, "pdf");
    if (!folderWritable(file, error)) {
        return false;
    }
    QPdfWriter writer(file);
    writer.setCreator(QStringLiteral("Olvend"));
    writer.setResolution(int(PreparedReport::kDotsPerInch));
    // The page exactly as prepared, without the writer's default margins.
    writer.setPageLayout(
        QPageLayout(QPageSize(report.pageSizeMm, QPageSize::Millimeter), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter painter;
    if (!painter.begin(&writer)) {
        return fail(error, QStringLiteral("无法写入[%1]").arg(QDir::toNativeSeparators(file)));
    }
    const int pages = std::max<int>(1, static_cast<int>(report.pages.size()));
    for (int i = 0; i < pages; ++i) {
        if (i > 0) {
            writer.newPage();
        }
        ReportPainter::paintPage(painter, report, i);
    }
    if (!painter.end()) {
        return fail(error, QStringLiteral("无法写入[%1]").arg(QDir::toNativeSeparators(file)));
    }
    return true;
}

bool ReportExporter::toJpeg(const PreparedReport& report, const QString& name, QString* error, double dpi,
                            QStringList* written) {
    const QString file = withExtension(name, "jpg");
    if (!folderWritable(file, error)) {
        return false;
    }
    const QFileInfo info(file);
    const QString base = info.path() + '/' + info.completeBaseName();
    const QString suffix = '.' + info.suffix();
    const QSize size = (report.pageSizeMm / 25.4 * dpi).toSize();
    for (int i = 0; i < report.pages.size(); ++i) {
        QImage image(size, QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(dpi / 0.0254));
        image.setDotsPerMeterY(qRound(dpi / 0.0254));
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.scale(ReportPainter::scaleFor(dpi), ReportPainter::scaleFor(dpi));
        ReportPainter::paintPage(painter, report, i);
        painter.end();
        const QString target = i == 0 ? base + suffix : QStringLiteral("%1_%2%3").arg(base).arg(i + 1).arg(suffix);
        if (!image.save(target, "JPG", 90)) {
            return fail(error, QStringLiteral("无法写入[%1]").arg(QDir::toNativeSeparators(target)));
        }
        if (written) {
            written->append(target);
        }
    }
    return true;
}

bool ReportExporter::toHtml(const PreparedReport& report, const QString& name, QString* error) {
    const QString file = withExtension(name, "htm");
    if (!folderWritable(file, error)) {
        return false;
    }
    QHash<int, QString> imageData;
    auto dataUri = [&](int index) {
        if (!imageData.contains(index)) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            report.images[index].save(&buffer, "PNG");
            imageData.insert(index, QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64()));
        }
        return imageData.value(index);
    };
    QString html;
    html += QStringLiteral(
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Olvend</title>\n<style>\n"
        "body { background: #808080; margin: 0; font-family: 'SimSun', 'Noto Serif CJK SC', serif; }\n"
        ".nav { text-align: center; padding: 6px; }\n"
        ".nav a { color: blue; font-size: 18px; margin: 0 8px; }\n"
        ".page { position: relative; background: white; margin: 0 auto 12px auto; overflow: hidden; }\n"
        ".p { position: absolute; white-space: pre; overflow: hidden; display: flex; }\n"
        // A text that wraps is never cut: a browser's lines may stand taller
        // than the painter's, so its box grows instead of hiding them.
        ".w { white-space: pre-wrap; overflow: visible; line-height: 1.2; }\n</style></head><body>\n");
    const int pages = static_cast<int>(report.pages.size());
    for (int i = 0; i < pages; ++i) {
        html += QStringLiteral("<div class=\"nav\" id=\"page%1\">").arg(i + 1);
        html += QStringLiteral("<a href=\"#page1\">第一页</a>");
        html += QStringLiteral("<a href=\"#page%1\">下一页</a>").arg(std::min(i + 2, pages));
        html += QStringLiteral("<a href=\"#page%1\">上一页</a>").arg(std::max(i, 1));
        html += QStringLiteral("<a href=\"#page%1\">最后一页</a>").arg(pages);
        html += QStringLiteral("</div>\n<div class=\"page\" style=\"width:%1;height:%2\">\n")
                    .arg(mm(report.pageSizeDots().width()), mm(report.pageSizeDots().height()));
        for (const ReportPrimitive& p : report.pages[i].items) {
            const QString box =
                QStringLiteral("left:%1;top:%2;width:%3;%4:%5;")
                    .arg(mm(p.rect.x()), mm(p.rect.y()), mm(p.rect.width()),
                         p.wrap ? QStringLiteral("min-height") : QStringLiteral("height"), mm(p.rect.height()));
            const QString color = QColor::fromRgba(p.color).name();
            switch (p.kind) {
                case ReportPrimitive::Kind::Text: {
                    const ReportFontStyle f =
                        p.font >= 0 && p.font < report.fonts.size() ? report.fonts[p.font] : ReportFontStyle();
                    const QString justify = (p.align & Qt::AlignRight)     ? QStringLiteral("flex-end")
                                            : (p.align & Qt::AlignHCenter) ? QStringLiteral("center")
                                                                           : QStringLiteral("flex-start");
                    const QString valign = (p.align & Qt::AlignTop) || p.wrap ? QStringLiteral("flex-start")
                                           : (p.align & Qt::AlignBottom)      ? QStringLiteral("flex-end")
                                                                              : QStringLiteral("center");
                    html +=
                        QStringLiteral(
                            "<div class=\"p%1\" style=\"%2color:%3;font-size:%4pt;%5%6justify-content:%7;"
                            "align-items:%8;%9\">%10</div>\n")
                            .arg(p.wrap ? QStringLiteral(" w") : QString(), box, color)
                            .arg(f.pixelSize / PreparedReport::kDotsPerInch * 72, 0, 'f', 1)
                            .arg(f.bold ? QStringLiteral("font-weight:bold;") : QString(),
                                 f.italic ? QStringLiteral("font-style:italic;") : QString(), justify, valign,
                                 p.border ? QStringLiteral("box-sizing:border-box;border:1px solid black;") : QString(),
                                 p.text.toHtmlEscaped());
                    break;
                }
                case ReportPrimitive::Kind::Line:
                    html += QStringLiteral("<div class=\"p\" style=\"%1border-top:1px solid %2;height:0\"></div>\n")
                                .arg(box, color);
                    break;
                case ReportPrimitive::Kind::Rect:
                    html += QStringLiteral(
                                "<div class=\"p\" style=\"%1box-sizing:border-box;border:1px solid %2\"></div>\n")
                                .arg(box, color);
                    break;
                case ReportPrimitive::Kind::Image:
                    if (p.image >= 0 && p.image < report.images.size()) {
                        html += QStringLiteral("<img class=\"p\" style=\"%1object-fit:contain\" src=\"%2\">\n")
                                    .arg(box, dataUri(p.image));
                    }
                    break;
            }
        }
        html += QStringLiteral("</div>\n");
    }
    html += QStringLiteral("</body></html>\n");
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        return fail(error, QStringLiteral("无法写入[%1]: %2").arg(QDir::toNativeSeparators(file), out.errorString()));
    }
    out.write(html.toUtf8());
    if (!out.commit()) {
        return fail(error, QStringLiteral("无法写入[%1]: %2").arg(QDir::toNativeSeparators(file), out.errorString()));
    }
    return true;
}

bool ReportExporter::toXlsx(const PreparedReport& report, const QString& name, QString* error) {
    const QString file = withExtension(name, "xlsx");
    if (!folderWritable(file, error)) {
        return false;
    }
    const QByteArray path = QFile::encodeName(file);
    lxw_workbook* workbook = workbook_new(path.constData());
    if (!workbook) {
        return fail(error, QStringLiteral("无法写入[%1]").arg(QDir::toNativeSeparators(file)));
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    // Formats are made once and shared by every cell that looks the same.
    QHash<QString, lxw_format*> formats;
    auto formatFor = [&](const ReportSheet::Cell& cell, bool number) -> lxw_format* {
        const QString numberFormat =
            isDateValue(cell.value)
                ? spreadsheetDateFormat(cell.format, cell.value.typeId() == QMetaType::QDateTime &&
                                                         cell.value.toDateTime().time() != QTime(0, 0))
            : number ? cell.format
                     : QString();
        const uint8_t align = (cell.align & Qt::AlignHCenter) ? LXW_ALIGN_CENTER
                              : (cell.align & Qt::AlignRight) ? LXW_ALIGN_RIGHT
                                                              : LXW_ALIGN_NONE;
        if (numberFormat.isEmpty() && !cell.bold && !cell.wrap && align == LXW_ALIGN_NONE) {
            return nullptr;
        }
        const QString key =
            QStringLiteral("%1|%2|%3|%4").arg(numberFormat).arg(int(cell.bold)).arg(int(cell.wrap)).arg(int(align));
        auto it = formats.find(key);
        if (it == formats.end()) {
            lxw_format* fmt = workbook_add_format(workbook);
            if (!numberFormat.isEmpty()) {
                format_set_num_format(fmt, numberFormat.toUtf8().constData());
            }
            if (cell.bold) {
                format_set_bold(fmt);
            }
            if (cell.wrap) {
                format_set_text_wrap(fmt);
            }
            if (align != LXW_ALIGN_NONE) {
                format_set_align(fmt, align);
            }
            it = formats.insert(key, fmt);
        }
        return it.value();
    };
    // Printed from the spreadsheet as from the program: the template's
    // paper and orientation, the table as wide as the page.
    worksheet_set_paper(sheet, paperOf(report.pageSizeMm));
    if (report.pageSizeMm.width() > report.pageSizeMm.height()) {
        worksheet_set_landscape(sheet);
    } else {
        worksheet_set_portrait(sheet);
    }
    worksheet_fit_to_pages(sheet, 1, 0);
    const ReportSheet table(report);
    // Excel's widths are measured in pixels at 96 dots per inch.
    QList<int> widths;
    for (const double w : table.columnWidthsMm()) {
        widths << qRound(w / 25.4 * 96);
    }
    // A column is widened until every text that is not wrapped fits the
    // columns it covers: a label or an amount is never cut off by the
    // next cell ("运费: 140.00", "12,345,678.90").
    for (const ReportSheet::Row& line : table.rows()) {
        for (const ReportSheet::Cell& cell : line.cells) {
            if (cell.wrap || cell.column >= widths.size()) {
                continue;
            }
            const int last = std::min<int>(cell.column + cell.span, int(widths.size())) - 1;
            int have = 0;
            for (int c = cell.column; c <= last; ++c) {
                have += widths[c];
            }
            const int need = textPixels(cell.text) * (cell.bold ? 11 : 10) / 10;
            if (need > have) {
                widths[last] += need - have;
            }
        }
    }
    for (int c = 0; c < widths.size(); ++c) {
        worksheet_set_column_pixels(sheet, lxw_col_t(c), lxw_col_t(c), uint32_t(widths[c]), nullptr);
    }
    lxw_row_t row = 0;
    for (const ReportSheet::Row& line : table.rows()) {
        for (const ReportSheet::Cell& cell : line.cells) {
            const bool date = isDateValue(cell.value);
            const bool number = (isNumericValue(cell.value) && fitsSpreadsheetNumber(cell.value)) || date;
            lxw_format* format = formatFor(cell, number);
            const auto col = lxw_col_t(cell.column);
            const QByteArray text = number ? QByteArray() : cell.text.toUtf8();
            if (cell.span > 1) {
                // A merged range holds text; a number is written into its first cell.
                worksheet_merge_range(sheet, row, col, row, lxw_col_t(cell.column + cell.span - 1), text.constData(),
                                      format);
            }
            if (date) {
                const QDateTime d = cell.value.typeId() == QMetaType::QDate ? cell.value.toDate().startOfDay()
                                                                            : cell.value.toDateTime();
                lxw_datetime when{d.date().year(), d.date().month(),  d.date().day(),
                                  d.time().hour(), d.time().minute(), double(d.time().second())};
                worksheet_write_datetime(sheet, row, col, &when, format);
            } else if (number) {
                worksheet_write_number(sheet, row, col, cell.value.toDouble(), format);
            } else if (cell.span <= 1) {
                worksheet_write_string(sheet, row, col, text.constData(), format);
            }
        }
        ++row;
    }
    if (table.frozenRows() > 0) {
        worksheet_freeze_panes(sheet, lxw_row_t(table.frozenRows()), 0);
        // Each printed page starts with the column header, as on paper.
        if (table.frozenRows() > table.headerFirstRow()) {
            worksheet_repeat_rows(sheet, lxw_row_t(table.headerFirstRow()), lxw_row_t(table.frozenRows() - 1));
        }
    }
    // Pictures (a statistics chart) as PNG at their printed size; the bytes
    // live until the workbook is closed.
    std::list<QByteArray> pictureBytes;
    for (const ReportSheet::Picture& picture : table.pictures()) {
        const QImage& image = report.images[picture.image];
        if (image.isNull()) {
            continue;
        }
        QBuffer buffer(&pictureBytes.emplace_back());
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) {
            continue;
        }
        lxw_image_options options{};
        // Excel sizes a picture at 96 dots per inch.
        options.x_scale = picture.sizeMm.width() / 25.4 * 96 / image.width();
        options.y_scale = picture.sizeMm.height() / 25.4 * 96 / image.height();
        const QByteArray& png = pictureBytes.back();
        worksheet_insert_image_buffer_opt(sheet, lxw_row_t(picture.row), lxw_col_t(picture.column),
                                          reinterpret_cast<const unsigned char*>(png.constData()), size_t(png.size()),
                                          &options);
    }
    const lxw_error result = workbook_close(workbook);
    if (result != LXW_NO_ERROR) {
        return fail(error, QStringLiteral("无法写入[%1]: %2")
                               .arg(QDir::toNativeSeparators(file), QString::fromUtf8(lxw_strerror(result))));
    }
    return true;
}

namespace {
using Writer = bool (*)(const PreparedReport&, const QString&, QString*);

// The formats a report is written in, by the file's extension.
const QHash<QString, Writer>& writers() {
    const Writer toJpeg = [](const PreparedReport& r, const QString& f, QString* e) {
        return ReportExporter::toJpeg(r, f, e);  // at the default resolution
    };
    static const QHash<QString, Writer> byExtension{{"pdf", &ReportExporter::toPdf},
                                                    {"jpg", toJpeg},
                                                    {"jpeg", toJpeg},
                                                    {"htm", &ReportExporter::toHtml},
                                                    {"html", &ReportExporter::toHtml},
                                                    {"xlsx", &ReportExporter::toXlsx},
                                                    {"rmp", &ReportFile::save}};
    return byExtension;
}
}  // namespace

bool ReportExporter::byExtension(const PreparedReport& report, const QString& file, QString* error) {
    const Writer write = writers().value(QFileInfo(file).suffix().toLower());
    return write ? write(report, file, error) : fail(error, unsupportedText(file));
}

bool ReportExporter::knowsExtension(const QString& file) {
    return writers().contains(QFileInfo(file).suffix().toLower());
}

QString ReportExporter::unsupportedText(const QString& file, const QString& moreFormats) {
    const QString formats = QStringLiteral(".pdf .xlsx .htm .html .jpg .rmp");
    return QStringLiteral("不支持的输出格式: %1 (可用 %2)")
        .arg(file, moreFormats.isEmpty() ? formats : formats + ' ' + moreFormats);
}
