#pragma once

#include <QDate>
#include <QHash>
#include <QImage>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <vector>

#include "reports/engine/prepared_report.h"
#include "reports/engine/report_expression.h"
#include "reports/engine/report_rows.h"
#include "reports/engine/report_template.h"

// Turns a template and rows into pages of primitives: bands in order, group
// headers and footers where the group fields change, page breaks that keep
// the page footer clear, text that wraps and grows its band, label columns,
// and page numbers filled in once the page count is known.
class ReportPreparer {
public:
    // `templateFolder` is where pictures named by the template are found.
    explicit ReportPreparer(const ReportTemplate& tmpl, const QString& templateFolder = {});
    ~ReportPreparer();

    // Compiles the template's texts against the rows' fields; false with a
    // message naming the band and item.
    bool prepare(const ReportRows& rows, PreparedReport* out, QString* error, const QDate& today = QDate());
    // Values a template names like fields when the rows have no such field
    // (a report's period and filters): they print also when there are no
    // rows.
    void setParameters(const QVariantMap& parameters);
    // A picture the host draws (a chart), named by picture items with
    // "image": name.
    void setImage(const QString& name, const QImage& image);

private:
    struct CompiledItem;
    struct CompiledBand;
    struct Accumulator;
    struct State;

    bool compile(const ReportRows& rows, QString* error);
    void expandAutoColumns(const ReportRows& rows);
    // `height`: the band's height as bandHeight() gave it for this row, or
    // -1 to have it measured.
    void emitBand(State& s, const CompiledBand& band, int row, double xOffset, double y, bool deferred,
                  double height = -1);
    double bandHeight(State& s, const CompiledBand& band, int row, double width);
    // The font of a one-line text made smaller until the text fits `width`
    // (dots); the item's own font when it fits.
    int shrunkFont(State& s, const CompiledItem& c, const QString& text, double width);
    void startPage(State& s);
    void finishPage(State& s);
    void placeDetail(State& s, const CompiledBand& band, int row);
    void placeFullWidth(State& s, const CompiledBand& band, int row);
    // The aggregates whose sums an aggregate of this band (kind, group
    // level) and scope is read from.
    std::vector<ReportExpression::Aggregate>& aggregateSums(ReportBand::Kind kind, int level, const QString& scope);
    int imageIndex(State& s, const QString& path);
    int namedImageIndex(State& s, const QString& name);
    QVariant fieldValue(const State& s, const QString& field, int row) const;

    ReportTemplate m_template;
    QString m_folder;
    std::vector<std::unique_ptr<CompiledBand>> m_bands;
    QHash<QString, QVariant> m_parameters;  // by lower-case name
    QHash<QString, QImage> m_namedImages;
    // The aggregates by the sums they are read from (as emitBand answers
    // them): the whole report, the page, and each group level. A row adds
    // to each sum only what is read from it.
    std::vector<ReportExpression::Aggregate> m_reportAggregates;
    std::vector<ReportExpression::Aggregate> m_pageAggregates;
    std::vector<std::vector<ReportExpression::Aggregate>> m_groupAggregates;
};
