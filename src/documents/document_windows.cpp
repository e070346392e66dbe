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
        DocumentReportWindow(context, DocumentPrintouts::Kind::PurchaseOrder, billNo, parent).exec();
    } else {
        const auto printout = kind == QuotationPrint::Warning ? DocumentPrintouts::Kind::QuotationWarning
                                                              : DocumentPrintouts::Kind::Quotation;
        DocumentReportWindow(context, printout, billNo, parent).exec();
    }
}

void openReceipts(AppContext& context, const QString& quotationNo, QWidget* parent) {
    ReceiptWindow(context, quotationNo, parent).exec();
}

void printOrder(AppContext& context, const QString& orderCode, QWidget* parent) {
    DocumentReportWindow(context, DocumentPrintouts::Kind::Order, orderCode, parent).exec();
}

}  // namespace DocumentWindows
