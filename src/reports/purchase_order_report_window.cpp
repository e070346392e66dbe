#include "reports/purchase_order_report_window.h"

PurchaseOrderReportWindow::PurchaseOrderReportWindow(AppContext& context, const QString& headNo, QWidget* parent)
    : DocumentReportWindow(context, QStringLiteral("Report_CaiGou"), DocumentPrintouts::Kind::PurchaseOrder, headNo,
                           parent) {}
