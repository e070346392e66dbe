#pragma once

#include "reports/document_report_window.h"

// The printout of a quotation for the customer, 订货单 (window name
// Report_Korvan_Quotation): `headNo` is the quotation's number. With
// `warningStyle` the form carries on every page the notice that the
// customer has not ordered it (template Korvan_Quotation_Warning.zrm);
// otherwise it is the plain form (Korvan_Quotation.zrm).
//
//     QuotationReportWindow window(context, billNo, false, this);
//     window.exec();  // opens maximised and prepares the pages
class QuotationReportWindow : public DocumentReportWindow {
    Q_OBJECT
public:
    QuotationReportWindow(AppContext& context, const QString& headNo, bool warningStyle, QWidget* parent = nullptr);
};
