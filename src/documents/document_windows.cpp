#include "documents/document_windows.h"

#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "documents/receipt_window.h"
#include "reports/document_report_window.h"

namespace DocumentWindows {

void printQuotation(AppContext& context, QuotationPrint kind, const QString& billNo, QWidget* parent) {
    if (kind == QuotationPrint::Purchase) {
        // The purchase order shows what the goods cost.
        PermissionChecker permissions(context.data().main(), context.CurrentUser);
        CostProfitRight::require(permissions);
        DocumentReportWindow window(context, DocumentPrintouts::Kind::PurchaseOrder, billNo, parent);
        window.showModal();
    } else {
        const auto printout = kind == QuotationPrint::Warning ? DocumentPrintouts::Kind::QuotationWarning
                                                              : DocumentPrintouts::Kind::Quotation;
        DocumentReportWindow window(context, printout, billNo, parent);
        window.showModal();
    }
}

void openReceipts(AppContext& context, const QString& quotationNo, QWidget* parent) {
    ReceiptWindow window(context, quotationNo, parent);
    window.showModal();
}

void printOrder(AppContext& context, const QString& orderCode, QWidget* parent) {
    DocumentReportWindow window(context, DocumentPrintouts::Kind::Order, orderCode, parent);
    window.showModal();
}

}  // namespace DocumentWindows
