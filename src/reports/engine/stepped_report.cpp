#include "reports/engine/stepped_report.h"

#include <QElapsedTimer>

#include "reports/engine/report_preparer.h"

namespace {
// Rows placed between two looks at the clock.
constexpr int kRowsPerTurn = 64;
}  // namespace

SteppedReport::SteppedReport(std::unique_ptr<ReportPreparer> preparer, RowSource source, WhenRead whenRead)
    : m_preparer(std::move(preparer)), m_source(std::move(source)), m_whenRead(std::move(whenRead)) {}

SteppedReport::~SteppedReport() = default;

bool SteppedReport::readPart() {
    if (m_allRead) {
        return false;
    }
    m_allRead = !m_source(&m_rows);
    return !m_allRead;
}

SteppedReport::State SteppedReport::step(std::chrono::milliseconds slice, const QDate& today, int pages) {
    try {
        work(slice, today, pages);
    } catch (...) {
        // The rows stop here (a lost connection): what was made stays to
        // be seen, but the report is never finished as if they were all
        // there.
        m_state = State::Failed;
        m_error = QStringLiteral("报表不完整：读取数据时出错");
        throw;
    }
    return m_state;
}

void SteppedReport::work(std::chrono::milliseconds slice, const QDate& today, int pages) {
    QElapsedTimer clock;
    clock.start();
    while (m_state == State::Working) {
        if (!m_begun) {
            // The fields come with the first part; the title is made from
            // the first row, so it waits for one.
            while (readPart() && m_rows.rows.isEmpty()) {
            }
            if (!m_preparer->begin(&m_rows, &m_out, &m_error, today)) {
                m_state = State::Failed;
                break;
            }
            m_begun = true;
        }
        const int before = m_preparer->rowsPlaced();
        if (!m_preparer->advance(m_allRead, kRowsPerTurn, &m_error)) {
            m_state = State::Failed;
            break;
        }
        if (m_preparer->rowsPlaced() == before) {
            // Every row read so far is placed, or the next needs more.
            if (!m_allRead) {
                readPart();
            } else {
                if (m_whenRead) {
                    m_whenRead(m_rows, *m_preparer);
                }
                m_state = m_preparer->finish(&m_error) ? State::Done : State::Failed;
                break;
            }
        }
        if (clock.elapsed() >= slice.count() || m_preparer->finishedPages() >= pages) {
            break;
        }
    }
}

int SteppedReport::pagesSoFar() const {
    return m_state == State::Done ? static_cast<int>(m_out.pages.size()) : m_preparer->finishedPages();
}

PreparedReport SteppedReport::finishedSoFar() const {
    return m_state == State::Done ? m_out : m_preparer->finishedSoFar();
}
