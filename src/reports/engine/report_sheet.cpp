#include "reports/engine/report_sheet.h"

#include <QMap>
#include <algorithm>
#include <cmath>

namespace {
constexpr double kMm = PreparedReport::kDotsPerMm;
// Texts that start this close to each other share a column.
constexpr double kSameEdge = 1.0 * kMm;
constexpr double kMinWidth = 5.0 * kMm;
// The largest page a picture is measured against (A0's long side).
constexpr double kLargestPageMm = 1189.0;

// A text of a band, placed relative to the band's top-left corner.
struct Placed {
    QRectF rect;
    ReportSheet::Cell cell;
};

struct Line {
    ReportBand::Kind kind = ReportBand::Kind::Detail;
    QList<Placed> items;    // left to right
    int band = -1;          // the band instance it comes from
    bool pictures = false;  // the empty line that holds the band's pictures
};

// A picture of a band, placed relative to the band's top-left corner.
struct PlacedPicture {
    QRectF rect;
    int image = -1;
};

// The texts of one band instance split into lines: a text that starts below
// the middle of the line's first text begins the next line.
QList<Line> linesOf(ReportBand::Kind kind, int band, QList<Placed> items) {
    std::stable_sort(items.begin(), items.end(),
                     [](const Placed& a, const Placed& b) { return a.rect.top() < b.rect.top(); });
    QList<Line> lines;
    double limit = 0;
    for (const Placed& item : items) {
        if (lines.isEmpty() || item.rect.top() >= limit) {
            lines.append(Line{kind, {}, band});
            limit = item.rect.top() + std::max(item.rect.height() / 2, kSameEdge);
        }
        lines.last().items.append(item);
    }
    for (Line& line : lines) {
        std::stable_sort(line.items.begin(), line.items.end(),
                         [](const Placed& a, const Placed& b) { return a.rect.left() < b.rect.left(); });
    }
    return lines;
}

bool isBody(ReportBand::Kind kind) {
    return kind == ReportBand::Kind::GroupHeader || kind == ReportBand::Kind::Detail ||
           kind == ReportBand::Kind::GroupFooter || kind == ReportBand::Kind::Summary;
}

// The last column that starts at or before x (the first column for texts
// left of every column).
int columnAt(const QList<double>& edges, double x) {
    int column = 0;
    for (int i = 0; i < edges.size(); ++i) {
        if (edges[i] <= x + kSameEdge) {
            column = i;
        }
    }
    return column;
}
}  // namespace

ReportSheet::ReportSheet(const PreparedReport& report) {
    auto instance = [&report](int band) -> const ReportBandInstance* {
        return band >= 0 && band < report.bands.size() ? &report.bands[band] : nullptr;
    };
    // Texts by band instance, in the order the instances were placed. A
    // file without band instances (version 1) is taken as all body.
    QMap<int, QList<Placed>> texts;
    QMap<int, QList<PlacedPicture>> pictures;
    for (const ReportPage& page : report.pages) {
        for (const ReportPrimitive& p : page.items) {
            const ReportBandInstance* b = instance(p.band);
            if (p.kind == ReportPrimitive::Kind::Image && p.image >= 0 && p.image < report.images.size()) {
                pictures[p.band].append({p.rect.translated(b ? -b->origin : QPointF()), p.image});
                texts[p.band];  // the band takes part even without texts
                continue;
            }
            if (p.kind != ReportPrimitive::Kind::Text || p.text.isEmpty()) {
                continue;
            }
            Placed placed;
            placed.rect = p.rect.translated(b ? -b->origin : QPointF());
            placed.cell.text = p.text;
            placed.cell.value = p.value;
            placed.cell.format = p.format;
            placed.cell.bold = p.font >= 0 && p.font < report.fonts.size() && report.fonts[p.font].bold;
            placed.cell.wrap = p.wrap;
            placed.cell.align = p.align & Qt::AlignHorizontal_Mask;
            texts[p.band].append(placed);
        }
    }
    QList<Line> titles, header, body;
    int headerPage = -1;
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        const ReportBandInstance* b = instance(it.key());
        const ReportBand::Kind kind = b ? b->kind : ReportBand::Kind::Detail;
        if (kind == ReportBand::Kind::Title) {
            titles += linesOf(kind, it.key(), it.value());
        } else if (kind == ReportBand::Kind::PageHeader) {
            // The column header of the first page that has one; its repeats
            // on later pages are left out.
            if (headerPage < 0) {
                headerPage = b->page;
            }
            if (b->page == headerPage) {
                header += linesOf(kind, it.key(), it.value());
            }
        } else if (isBody(kind)) {
            body += linesOf(kind, it.key(), it.value());
        }
        // A band with pictures ends with an empty line that holds them.
        if (pictures.contains(it.key()) && (kind == ReportBand::Kind::Title || isBody(kind))) {
            (kind == ReportBand::Kind::Title ? titles : body).append(Line{kind, {}, it.key(), true});
        }
    }

    // Columns start where the header's and the detail's texts start.
    QList<double> starts;
    double lastRight = 0;
    auto collect = [&](bool structureOnly) {
        for (const QList<Line>* part : {&header, &body}) {
            for (const Line& line : *part) {
                if (structureOnly && line.kind != ReportBand::Kind::PageHeader &&
                    line.kind != ReportBand::Kind::Detail) {
                    continue;
                }
                for (const Placed& item : line.items) {
                    starts.append(item.rect.left());
                }
            }
        }
    };
    collect(true);
    if (starts.isEmpty()) {
        collect(false);
    }
    std::sort(starts.begin(), starts.end());
    QList<double> edges;
    for (double x : starts) {
        if (edges.isEmpty() || x > edges.last() + kSameEdge) {
            edges.append(x);
        }
    }
    if (edges.isEmpty()) {
        edges.append(0);
    }
    // The last column is as wide as the texts that start in it.
    for (const QList<Line>* part : {&header, &body}) {
        for (const Line& line : *part) {
            for (const Placed& item : line.items) {
                if (columnAt(edges, item.rect.left()) == edges.size() - 1) {
                    lastRight = std::max(lastRight, item.rect.right());
                }
            }
        }
    }
    for (int i = 0; i < edges.size(); ++i) {
        const double width = i + 1 < edges.size() ? edges[i + 1] - edges[i] : lastRight - edges[i];
        m_widths.append(std::max(width, kMinWidth) / kMm);
    }

    for (const QList<Line>* part : {&titles, &header, &body}) {
        if (part == &header) {
            m_headerFirst = static_cast<int>(m_rows.size());
        }
        for (const Line& line : *part) {
            if (line.pictures) {
                // The pictures' line: each starts in its column, and rows
                // are left empty below for the tallest.
                // A picture is at most as large as a page: a damaged file
                // may say otherwise.
                const auto withinPage = [](double mm, double page) {
                    const double limit = std::isfinite(page) ? std::clamp(page, 1.0, kLargestPageMm) : kLargestPageMm;
                    return std::isfinite(mm) ? std::clamp(mm, 0.0, limit) : 0.0;
                };
                double tallest = 0;
                for (const PlacedPicture& picture : pictures.value(line.band)) {
                    const QSizeF size(withinPage(picture.rect.width() / kMm, report.pageSizeMm.width()),
                                      withinPage(picture.rect.height() / kMm, report.pageSizeMm.height()));
                    m_pictures.append(
                        {static_cast<int>(m_rows.size()), columnAt(edges, picture.rect.left()), picture.image, size});
                    tallest = std::max(tallest, size.height());
                }
                const int rows = std::max(1, static_cast<int>(std::ceil(tallest / kRowHeightMm)));
                for (int i = 0; i < rows; ++i) {
                    m_rows.append(Row{line.kind, {}});
                }
                continue;
            }
            Row row;
            row.kind = line.kind;
            int next = 0;
            for (const Placed& item : line.items) {
                Cell cell = item.cell;
                // Two texts that start in one column: the second moves right.
                cell.column = std::max(columnAt(edges, item.rect.left()), next);
                const int last = columnAt(edges, item.rect.right() - 2 * kSameEdge);
                cell.span = std::max(1, last - cell.column + 1);
                next = cell.column + 1;
                row.cells.append(cell);
            }
            // A text spans columns only up to the next text of its row.
            for (int i = 0; i + 1 < row.cells.size(); ++i) {
                row.cells[i].span = std::min(row.cells[i].span, row.cells[i + 1].column - row.cells[i].column);
            }
            m_rows.append(row);
        }
        if (part == &header && !header.isEmpty()) {
            m_frozen = static_cast<int>(m_rows.size());
        }
    }
}
