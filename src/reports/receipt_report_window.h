#pragma once

#include "reports/document_report_window.h"

// The printout of a receipt, 收款收据 (window name Report_Korvan_ShouJu,
// template Korvan_ShouJu.zrm): the receipt's amount in figures and in
// capital numerals, its lines and the quotation's receivable, received and
// outstanding amounts. `receiptNo` is the receipt's number (Receipt_Head
// BillNo).
//
//     ReceiptReportWindow window(context, receiptNo, this);
//     window.exec();  // opens maximised and prepares the pages
class ReceiptReportWindow : public DocumentReportWindow {
    Q_OBJECT
public:
    ReceiptReportWindow(AppContext& context, const QString& receiptNo, QWidget* parent = nullptr);
};
