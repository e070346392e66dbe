#pragma once

#include <QDate>
#include <QHash>
#include <QString>
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

private:
    struct CompiledItem;
    struct CompiledBand;
    struct Accumulator;
    struct State;

    bool compile(const ReportRows& rows, QString* error);
    void expandAutoColumns(const ReportRows& rows);
    void emitBand(State& s, const CompiledBand& band, int row, double xOffset, double y, bool deferred);
    double bandHeight(State& s, const CompiledBand& band, int row, double width);
    void startPage(State& s);
    void finishPage(State& s);
    void placeDetail(State& s, const CompiledBand& band, int row);
    void placeFullWidth(State& s, const CompiledBand& band, int row);
    int imageIndex(State& s, const QString& path);

    ReportTemplate m_template;
    QString m_folder;
    std::vector<std::unique_ptr<CompiledBand>> m_bands;
    std::vector<ReportExpression::Aggregate> m_aggregates;
    QHash<int, int> m_aggregateLevel;  // aggregate id -> group level of its band, -1 otherwise
};
