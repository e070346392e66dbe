#pragma once

#include <QHash>
#include <QImage>
#include <QVariantMap>

#include "reports/engine/report_rows.h"
#include "reports/engine/stepped_report.h"
#include "ui/base_window.h"

class QTimer;
class QVBoxLayout;
class ReportPreparer;
class ReportPreviewFrame;

// The host of a report: it feeds rows, loads its template from Report/ and
// shows the prepared pages in the preview frame. A missing template shows
// an empty report without a message; a damaged one says what is wrong.
class ReportWindow : public BaseWindow {
    Q_OBJECT
public:
    ReportWindow(AppContext& context, const QString& windowName, const QString& templateName,
                 QWidget* parent = nullptr);
    ~ReportWindow() override;

    ReportPreviewFrame* frame() const { return m_frame; }
    void setRows(const ReportRows& rows) { m_rows = rows; }
    const ReportRows& rows() const { return m_rows; }
    // Values the template prints beside the rows (a period, filters).
    void setParameters(const QVariantMap& parameters) { m_parameters = parameters; }
    // Pictures the window draws for the template (a chart), by name.
    void setImage(const QString& name, const QImage& image) { m_images.insert(name, image); }
    // Rows of a statement on the current book.
    void setQuery(const QString& sql, const QVariantMap& params = {});
    // Loads the template anew and prepares the report from the rows.
    bool showReport();
    // Loads the template anew and prepares the report from rows read in
    // parts: the first page shows before this returns, the rest follows
    // while the window stays in use, with a progress line under the pages.
    // Printing and exports finish it first. False when the template or the
    // first part fails.
    bool showReportInSteps(SteppedReport::RowSource source, SteppedReport::WhenRead whenRead = {});
    // Whether a report is still being made.
    bool isPreparing() const;
    // Makes the rest of the report now; false when it failed.
    bool finishPreparing();

protected:
    // A report made in steps is done (`done`) or stopped short.
    virtual void preparingEnded(bool done) { Q_UNUSED(done); }
    // The light blue panel of a window's parameters, 129 pixels wide; its
    // layout receives the fields.
    QWidget* parameterPanel(QVBoxLayout** fields);
    // Puts the panel on the left of `body` (the frame, or what holds it).
    void placeBeside(QWidget* panel, QWidget* body);

    ReportPreviewFrame* m_frame;

private:
    // The template with the window's parameters and pictures; null (with
    // the error shown) when the template is damaged.
    std::unique_ptr<ReportPreparer> preparer();
    // One turn of the work in the background, ending early once `pages`
    // pages are made; false once the work stops.
    bool continuePreparing(std::chrono::milliseconds slice, int pages = std::numeric_limits<int>::max());
    void showProgress(bool force);
    void stopPreparing();

    QString m_template;
    std::unique_ptr<SteppedReport> m_stepped;
    QTimer* m_stepTimer;
    int m_shownPages = -1;
    qint64 m_shownAt = 0;  // ms, when the frame was last given pages
    ReportRows m_rows;
    QVariantMap m_parameters;
    QHash<QString, QImage> m_images;
};
