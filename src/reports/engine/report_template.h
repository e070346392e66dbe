#pragma once

#include <QColor>
#include <QList>
#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <QString>

// A report template: page set-up, bands and their items, in millimetres.
// Stored as JSON inside the .zrm/.rmf files of Report/.
struct ReportFont {
    QString family = QStringLiteral("SimSun");
    double pointSize = 10;
    bool bold = false;
    bool italic = false;
};

struct ReportItem {
    // FieldValue: a text that shows one field's value, for a field whose
    // name is no expression ("单价 (元)", "count(*)", an empty name). The
    // list of whatever columns rows have is made of these; template files
    // do not name the kind.
    enum class Kind { Text, Line, Rect, Picture, FieldValue };
    Kind kind = Kind::Text;
    QRectF rect;     // millimetres, relative to the band's top-left
    QString text;    // static text with [expression] placeholders
    QString format;  // display format for placeholders' values
    ReportFont font;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    bool wrap = false;       // the text wraps and may grow the band
    bool shrink = false;     // a text too wide for its box is set smaller
    bool border = false;     // a text item with a frame
    double lineWidth = 0.2;  // millimetres
    QColor color = Qt::black;
    QString pictureFile;  // a picture from a file (relative to the template)
    QString field;        // or the file named by this field; a field value: the field shown
    QString pictureName;  // or a picture the report's host draws
};

struct ReportBand {
    enum class Kind { Title, PageHeader, GroupHeader, Detail, GroupFooter, Summary, PageFooter };
    Kind kind = Kind::Detail;
    double height = 8;   // millimetres
    QString groupField;  // group header and footer: the field that groups
    QList<ReportItem> items;
    // The band starts a page of its own unless it would come first on the
    // page anyway (one sheet per row or per group).
    bool newPage = false;
    // A group footer left out where its group holds a single row (a
    // subtotal that would only repeat the row above it).
    bool hideForOneRow = false;
};

struct ReportTemplate {
    static constexpr int kVersion = 1;

    int version = kVersion;
    QSizeF pageSize{210, 297};  // millimetres, portrait
    bool landscape = false;
    QMarginsF margins{10, 10, 10, 10};
    int columns = 1;
    double columnGap = 0;
    double columnWidth = 0;     // 0: the content width shared by the columns
    bool columnsAcross = true;  // labels fill a row before the next one
    // A template that lays out every column of whatever rows it is given.
    bool autoColumns = false;
    QString title;
    QList<ReportBand> bands;

    enum class LoadResult { Loaded, Missing, Failed };
    // Loads a template file. A missing file (also after trying ".rmf" when
    // the name has no extension) is Missing, without a message; a damaged
    // one is Failed with a message naming the file and the place.
    static LoadResult load(const QString& path, ReportTemplate* out, QString* error);
    static bool fromJson(const QByteArray& json, ReportTemplate* out, QString* error);

    QSizeF effectivePageSize() const;
    // Group fields from the outermost group in.
    QStringList groupFields() const;
    const ReportBand* band(ReportBand::Kind kind) const;
};
