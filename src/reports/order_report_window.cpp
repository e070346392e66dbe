#include "reports/order_report_window.h"

OrderReportWindow::OrderReportWindow(AppContext& context, const QString& headCode, QWidget* parent)
    : DocumentReportWindow(context, QStringLiteral("Report_Dusmere_Shipment_Form_Frm"), DocumentPrintouts::Kind::Order,
                           headCode, parent) {}
