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

    // The same in steps, for rows that arrive in parts and pages shown as
    // they are made; prepare() is these three at once, so both give the
    // same pages. begin() takes the rows read so far: the object may grow
    // meanwhile and must outlive the preparation.
    bool begin(const ReportRows* rows, PreparedReport* out, QString* error, const QDate& today = QDate());
    // Places at most `budget` rows, fewer when a row needs rows not read
    // yet (a group header's sums over its whole group) unless
    // `rowsComplete`; false with a message when the report grows too big.
    bool advance(bool rowsComplete, int budget, QString* error);
    // Places what is left of the rows, which must now all be there, then
    // the closing bands, and fills in the page counts.
    bool finish(QString* error);
    int rowsPlaced() const;
    // Pages no later row changes, but for their page counts.
    int finishedPages() const;
    // Those pages as they will print, with "…" for the page count.
    PreparedReport finishedSoFar() const;
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
    struct ArgumentValue;
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
    // The sums (their argument slots) an aggregate of this band (kind,
    // group level) and scope is read from.
    std::vector<int>& sumsOf(ReportBand::Kind kind, int level, const QString& scope);
    std::vector<const CompiledBand*> bandsOf(ReportBand::Kind kind, int level) const;
    // Whether rows a and b are in one group of this level.
    bool sameGroup(int a, int b, int level) const;
    void accumulate(std::vector<Accumulator>& sums, int row, const std::vector<int>& argumentSlots);
    void placeRow(int r);
    void placeGroupFooters(int level, int lastRow);
    // Whether row r can be placed with the rows read so far.
    bool rowReady(int r) const;
    QString pageCountText(int deferred, int pages) const;
    int imageIndex(State& s, const QString& path);
    int namedImageIndex(State& s, const QString& name);
    QVariant fieldValue(const State& s, const QString& field, int row) const;
    // Lets a context read the fields of `row` (parameters included).
    void bindRow(ReportExpression::Context& ctx, const State& s, int row) const;

    ReportTemplate m_template;
    QString m_folder;
    std::vector<std::unique_ptr<CompiledBand>> m_bands;
    QHash<QString, QVariant> m_parameters;  // by lower-case name
    QHash<QString, QImage> m_namedImages;
    // How many distinct arguments the aggregates have (their slots).
    int m_argumentSlots = 0;
    // The sums aggregates are read from (as emitBand answers them): the
    // whole report, the page, and each group level, each as the argument
    // slots it adds, each once, so that a row adds to each sum only what
    // is read from it. Then the argument of each slot (pointing into
    // m_bands' parsed texts, so valid until the next compile) and each
    // aggregate id's slot (-1: none).
    std::vector<int> m_reportSlots, m_pageSlots;
    std::vector<std::vector<int>> m_groupSlots;
    std::vector<const ReportExpression::Node*> m_slotArguments;
    std::vector<int> m_slotOfAggregate;  // by aggregate id
    std::unique_ptr<State> m_state;      // of the preparation under way
};
