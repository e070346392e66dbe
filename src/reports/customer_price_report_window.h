#pragma once

#include <QStringList>

#include "reports/report_window.h"

// "客户单价表": the price sheets of the given customers, one sheet each
// (a customer without a table of its own on the standard prices), or the
// standard sheet when no customer is given. Opens maximised and prepares
// the pages when first shown.
class CustomerPriceReportWindow : public ReportWindow {
    Q_OBJECT
public:
    CustomerPriceReportWindow(AppContext& context, const QStringList& customerCodes, QWidget* parent = nullptr);

    const QStringList& customerCodes() const { return m_codes; }
    // Reads the sheets and prepares the pages; false, with the reason shown
    // through the Prompter, when that fails. Never throws.
    bool prepare();
    bool isPrepared() const { return m_prepared; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QStringList m_codes;
    bool m_prepared = false;
    bool m_tried = false;
};
