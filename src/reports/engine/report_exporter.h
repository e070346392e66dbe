#pragma once

#include <QString>

struct PreparedReport;

// Writes a prepared report to files. Each export writes to the name given
// and appends the default extension when the name has none; a failure
// (a folder that cannot be written, a full disk) returns false with a
// message naming the file.
class ReportExporter {
public:
    // Returns the file name actually used (with its extension).
    static QString withExtension(const QString& file, const QString& extension);

    static bool toPdf(const PreparedReport& report, const QString& file, QString* error);
    // One JPEG per page: the name, then name_2, name_3, ... at `dpi`.
    static bool toJpeg(const PreparedReport& report, const QString& file, QString* error, double dpi = 96,
                       QStringList* written = nullptr);
    // One HTML file with the pages in order and links between them.
    static bool toHtml(const PreparedReport& report, const QString& file, QString* error);
    // One sheet holding one table (see ReportSheet): the title once, the
    // column header once with the pane frozen below it, every group, detail
    // and summary row, no page headers or footers between them; column
    // widths from the template, numbers as numbers in their display format.
    static bool toXlsx(const PreparedReport& report, const QString& file, QString* error);
    // Picks the export by the file's extension (.pdf, .jpg, .htm/.html,
    // .xlsx, .rmp); false with a message for any other.
    static bool byExtension(const PreparedReport& report, const QString& file, QString* error);
    // Whether byExtension writes a file of this name's extension.
    static bool knowsExtension(const QString& file);
    // The refusal of a file of another extension; moreFormats (e.g. ".tsv")
    // names what the caller writes besides.
    static QString unsupportedText(const QString& file, const QString& moreFormats = {});
};
