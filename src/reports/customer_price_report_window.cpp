#include "reports/customer_price_report_window.h"

#include "data/app_context.h"
#include "data/data_module.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "reports/price_sheet_printout.h"

CustomerPriceReportWindow::CustomerPriceReportWindow(AppContext& context, const QStringList& customerCodes,
                                                     QWidget* parent)
    : ReportWindow(context, PriceSheetPrintout::windowName(), PriceSheetPrintout::templateName(), parent),
      m_codes(customerCodes) {
    setWindowTitle(PriceSheetPrintout::caption());
    setWindowState(windowState() | Qt::WindowMaximized);
}

bool CustomerPriceReportWindow::prepare() {
    m_tried = true;
    bool shown = false;
    actions().guard([this, &shown] {
        PriceSheetPrintout printout(context().data().main());
        const ReportRows rows = printout.rows(m_codes);
        if (rows.rows.isEmpty()) {
            throw UserError(QStringLiteral("找不到客户: %1").arg(printout.missingCodes().join(QStringLiteral(", "))));
        }
        setRows(rows);
        shown = showReport();
        // Customers deleted meanwhile are named; the others print.
        if (!printout.missingCodes().isEmpty()) {
            context().prompter().inform(
                QStringLiteral("找不到客户: %1").arg(printout.missingCodes().join(QStringLiteral(", "))));
        }
    });
    m_prepared = shown;
    return shown;
}

void CustomerPriceReportWindow::showEvent(QShowEvent* event) {
    ReportWindow::showEvent(event);
    if (!m_tried) {
        prepare();
    }
}
