#include "reports/quotation_report_window.h"

QuotationReportWindow::QuotationReportWindow(AppContext& context, const QString& headNo, bool warningStyle,
                                             QWidget* parent)
    : DocumentReportWindow(
          context, QStringLiteral("Report_Korvan_Quotation"),
          warningStyle ? DocumentPrintouts::Kind::QuotationWarning : DocumentPrintouts::Kind::Quotation, headNo,
          parent) {}
