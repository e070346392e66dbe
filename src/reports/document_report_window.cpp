#include "reports/document_report_window.h"

#include "data/app_context.h"
#include "data/data_module.h"
#include "platform/errors.h"

DocumentReportWindow::DocumentReportWindow(AppContext& context, const QString& windowName, DocumentPrintouts::Kind kind,
                                           const QString& key, QWidget* parent)
    : ReportWindow(context, windowName, DocumentPrintouts::templateName(kind), parent), m_kind(kind), m_key(key) {
    setWindowTitle(DocumentPrintouts::caption(kind));
    setWindowState(windowState() | Qt::WindowMaximized);
}

bool DocumentReportWindow::prepare() {
    m_tried = true;
    bool shown = false;
    actions().guard([this, &shown] {
        DocumentPrintouts printouts(context().data().main());
        const QString missing = printouts.missingText(m_kind, m_key);
        if (!missing.isEmpty()) {
            throw UserError(missing);
        }
        setRows(printouts.rows(m_kind, m_key));
        shown = showReport();
    });
    m_prepared = shown;
    return shown;
}

void DocumentReportWindow::showEvent(QShowEvent* event) {
    ReportWindow::showEvent(event);
    if (!m_tried) {
        prepare();
    }
}
