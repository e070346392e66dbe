#pragma once

#include "reports/document_report_window.h"

// The printout of an order form, 收款收据 (window name
// Report_Dusmere_Shipment_Form_Frm, template Dusmere_ShipmentForm.rmf):
// the order's particulars, its goods rows with their coded fields by name,
// the deposit and the discount. `headCode` is the order's Order_Form_Code.
//
//     OrderReportWindow window(context, code, this);
//     window.exec();  // opens maximised and prepares the pages
class OrderReportWindow : public DocumentReportWindow {
    Q_OBJECT
public:
    OrderReportWindow(AppContext& context, const QString& headCode, QWidget* parent = nullptr);
};
