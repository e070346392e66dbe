#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariant>

#include "reports/engine/report_template.h"

// A font as prepared pages name it: family, size in dots, weight, slant.
struct ReportFontStyle {
    QString family;
    double pixelSize = 0;  // dots (1/1200 inch)
    bool bold = false;
    bool italic = false;
    bool operator==(const ReportFontStyle& o) const {
        return family == o.family && pixelSize == o.pixelSize && bold == o.bold && italic == o.italic;
    }
    QFont toFont() const;
};

// One positioned thing on a prepared page. Positions are in dots of
// 1/1200 inch from the page's top-left corner.
struct ReportPrimitive {
    enum class Kind { Text, Line, Rect, Image };
    Kind kind = Kind::Text;
    QRectF rect;
    QString text;
    int font = -1;  // index into PreparedReport::fonts
    int align = Qt::AlignLeft | Qt::AlignVCenter;
    bool wrap = false;
    bool border = false;
    QRgb color = 0xff000000;
    double lineWidth = 0;  // dots
    int image = -1;        // index into PreparedReport::images
    int band = -1;         // the band instance it belongs to (report-wide number)
    int row = -1;          // the data row, or -1
    QVariant value;        // for exports: the one value the text shows, when it is one
    QString format;        // and its display format
};
// Moved in memory as a whole when a page's list grows (every member allows
// it): a long report's pages fill without copying each primitive again.
Q_DECLARE_TYPEINFO(ReportPrimitive, Q_RELOCATABLE_TYPE);

// One placed copy of a template band: which kind of band it was, the page
// it stands on and its top-left corner there (dots). The spreadsheet export
// rebuilds one table from these: titles once, the column header once, no
// page footers.
struct ReportBandInstance {
    ReportBand::Kind kind = ReportBand::Kind::Detail;
    int page = 0;
    QPointF origin;
};

struct ReportPage {
    QList<ReportPrimitive> items;
};

// Pages of primitives: what preview, print and every export draw from, and
// what a prepared report file keeps.
struct PreparedReport {
    static constexpr double kDotsPerInch = 1200;
    static constexpr double kDotsPerMm = 1200 / 25.4;

    QSizeF pageSizeMm{210, 297};
    QList<ReportFontStyle> fonts;
    QList<QImage> images;
    QList<ReportPage> pages;
    QList<ReportBandInstance> bands;  // by ReportPrimitive::band; empty in files of version 1

    QSizeF pageSizeDots() const { return pageSizeMm * kDotsPerMm; }
    int fontIndex(const ReportFontStyle& style);
    bool isEmpty() const { return pages.isEmpty(); }
};
