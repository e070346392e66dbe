#pragma once

#include <QList>
#include <QSizeF>
#include <QString>
#include <QVariant>

#include "reports/engine/prepared_report.h"

// A prepared report laid out as one table for a spreadsheet. The pages are
// forgotten: the title bands come once, then the column header of the first
// page once, then every group header, detail, group footer and summary band
// in the order they were placed; page footers and the header's repeats on
// later pages are left out. A band becomes one row per line of texts (texts
// that start at the same height). Columns are where the header's and the
// detail's texts start, measured from their band's left edge, so a field
// keeps its column on every row and label columns line up too.
class ReportSheet {
public:
    struct Cell {
        int column = 0;
        int span = 1;  // columns it covers: a title across the table
        QString text;
        QVariant value;  // the one value the text shows, when it is one
        QString format;  // its display format
        bool bold = false;
        bool wrap = false;
        int align = Qt::AlignLeft;
    };
    struct Row {
        ReportBand::Kind kind = ReportBand::Kind::Detail;
        QList<Cell> cells;  // by column, left to right
    };
    // A picture of the report (a chart), placed on an empty row of its own
    // below the texts of its band; rows below it are left empty for its
    // height.
    struct Picture {
        int row = 0;
        int column = 0;
        int image = -1;  // index into PreparedReport::images
        QSizeF sizeMm;
    };

    explicit ReportSheet(const PreparedReport& report);

    const QList<Row>& rows() const { return m_rows; }
    // Widths in millimetres, one per column.
    const QList<double>& columnWidthsMm() const { return m_widths; }
    // Rows above the first body row when there is a column header (the pane
    // freezes below them), 0 without one.
    int frozenRows() const { return m_frozen; }
    // The first row of the column header (after the titles); with
    // frozenRows() the rows a printed page repeats at its top.
    int headerFirstRow() const { return m_headerFirst; }
    const QList<Picture>& pictures() const { return m_pictures; }
    // The height of an empty row the pictures are measured in (mm).
    static constexpr double kRowHeightMm = 5.3;

private:
    QList<Row> m_rows;
    QList<Picture> m_pictures;
    QList<double> m_widths;
    int m_frozen = 0;
    int m_headerFirst = 0;
};
