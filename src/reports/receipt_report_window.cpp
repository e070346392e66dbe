#include "reports/receipt_report_window.h"

ReceiptReportWindow::ReceiptReportWindow(AppContext& context, const QString& receiptNo, QWidget* parent)
    : DocumentReportWindow(context, QStringLiteral("Report_Korvan_ShouJu"), DocumentPrintouts::Kind::Receipt, receiptNo,
                           parent) {}
