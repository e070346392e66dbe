#pragma once

#include <QHash>
#include <QImage>
#include <QVariantMap>

#include "reports/engine/report_rows.h"
#include "ui/base_window.h"

class QVBoxLayout;
class ReportPreviewFrame;

// The host of a report: it feeds rows, loads its template from Report/ and
// shows the prepared pages in the preview frame. A missing template shows
// an empty report without a message; a damaged one says what is wrong.
class ReportWindow : public BaseWindow {
    Q_OBJECT
public:
    ReportWindow(AppContext& context, const QString& windowName, const QString& templateName,
                 QWidget* parent = nullptr);

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

protected:
    // The light blue panel of a window's parameters, 129 pixels wide; its
    // layout receives the fields.
    QWidget* parameterPanel(QVBoxLayout** fields);
    // Puts the panel on the left of `body` (the frame, or what holds it).
    void placeBeside(QWidget* panel, QWidget* body);

    ReportPreviewFrame* m_frame;

private:
    QString m_template;
    ReportRows m_rows;
    QVariantMap m_parameters;
    QHash<QString, QImage> m_images;
};
