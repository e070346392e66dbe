#include "reports/document_report_window.h"

#include "data/app_context.h"
#include "data/data_module.h"
#include "platform/errors.h"

QString DocumentReportWindow::windowName(DocumentPrintouts::Kind kind) {
    using Kind = DocumentPrintouts::Kind;
    switch (kind) {
        case Kind::Quotation:
        case Kind::QuotationWarning:
            return QStringLiteral("Report_Korvan_Quotation");
        case Kind::PurchaseOrder:
            return QStringLiteral("Report_CaiGou");
        case Kind::Receipt:
            return QStringLiteral("Report_Korvan_ShouJu");
        case Kind::Order:
            return QStringLiteral("Report_Dusmere_Shipment_Form_Frm");
        case Kind::WorkForm:
            return QStringLiteral("Report_Dusmere_Work_Form_Frm");
        case Kind::WareOutForm:
            return QStringLiteral("Report_Dusmere_Ware_Out_Form_Frm");
        case Kind::ShipmentForm:
            return QStringLiteral("Report_Dusmere_Shipment_Driver_Frm");
    }
    return {};
}

DocumentReportWindow::DocumentReportWindow(AppContext& context, DocumentPrintouts::Kind kind, const QString& key,
                                           QWidget* parent)
    : ReportWindow(context, windowName(kind), DocumentPrintouts::templateName(kind), parent), m_kind(kind), m_key(key) {
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
