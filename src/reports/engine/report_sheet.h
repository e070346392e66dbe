#pragma once

#include <QList>
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

    explicit ReportSheet(const PreparedReport& report);

    const QList<Row>& rows() const { return m_rows; }
    // Widths in millimetres, one per column.
    const QList<double>& columnWidthsMm() const { return m_widths; }
    // Rows above the first body row when there is a column header (the pane
    // freezes below them), 0 without one.
    int frozenRows() const { return m_frozen; }

private:
    QList<Row> m_rows;
    QList<double> m_widths;
    int m_frozen = 0;
};
