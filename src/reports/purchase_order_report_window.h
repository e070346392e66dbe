#pragma once

#include "reports/document_report_window.h"

// The purchase order drawn from a quotation, 采购单 (window name
// Report_CaiGou, template Korvan_CaiGou.zrm): the quotation's lines grouped
// by supplier with purchase prices and each supplier's subtotal; no sale
// prices. `headNo` is the quotation's number.
//
//     PurchaseOrderReportWindow window(context, billNo, this);
//     window.exec();  // opens maximised and prepares the pages
class PurchaseOrderReportWindow : public DocumentReportWindow {
    Q_OBJECT
public:
    PurchaseOrderReportWindow(AppContext& context, const QString& headNo, QWidget* parent = nullptr);
};
