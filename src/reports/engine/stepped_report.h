#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <limits>
#include <memory>

#include "reports/engine/prepared_report.h"
#include "reports/engine/report_rows.h"

class ReportPreparer;

// A report made a little at a time, so that its window shows the first
// pages while the rest is read and laid out. Its rows come from a source
// in parts; each step places rows for a while and reads the next part when
// the rows run out. Done, it holds the very pages the report prepared whole
// would have.
class SteppedReport {
public:
    // Appends the next part of the rows (the same fields each time); false
    // when none is left. May throw: the pages made so far stay.
    using RowSource = std::function<bool(ReportRows* rows)>;
    // Runs once every row is read, before the closing bands are placed (a
    // chart drawn from the rows).
    using WhenRead = std::function<void(const ReportRows& rows, ReportPreparer& preparer)>;

    enum class State { Working, Done, Failed };

    SteppedReport(std::unique_ptr<ReportPreparer> preparer, RowSource source, WhenRead whenRead = {});
    ~SteppedReport();
    SteppedReport(const SteppedReport&) = delete;
    SteppedReport& operator=(const SteppedReport&) = delete;

    // Works for about `slice` (a part being read is read whole), or until
    // `pages` pages are finished; `today` is the date the report prints.
    State step(std::chrono::milliseconds slice, const QDate& today, int pages = std::numeric_limits<int>::max());

    State state() const { return m_state; }
    // Why it failed (the template or the report's size).
    const QString& error() const { return m_error; }
    qsizetype rowsRead() const { return m_rows.rows.size(); }
    // Pages no later row changes; their page counts show "…".
    int pagesSoFar() const;
    PreparedReport finishedSoFar() const;
    // The whole report, once done.
    const PreparedReport& report() const { return m_out; }

private:
    void work(std::chrono::milliseconds slice, const QDate& today, int pages);
    bool readPart();

    std::unique_ptr<ReportPreparer> m_preparer;
    RowSource m_source;
    WhenRead m_whenRead;
    ReportRows m_rows;
    PreparedReport m_out;
    State m_state = State::Working;
    QString m_error;
    bool m_begun = false;
    bool m_allRead = false;
};
