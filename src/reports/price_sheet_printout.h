#pragma once

#include <QString>
#include <QStringList>

#include "reports/engine/report_rows.h"

class Database;

// The rows of the price sheet printout (客户单价表): one row per sheet with
// the table's fields (cells as whole numbers, the remarks), the customer's
// code Corp_code and name Customer_name, a note Sheet_Note on where the
// prices come from, the line under the sheet's title Customer_Line
// ("客户名称: … 客户编号: …"; empty on the standard sheet), and the
// company's particulars (Sys_Corp_name …).
//
// Without customer codes the sheet is the standard table (no code, no
// name). With codes there is one sheet per customer in the order given;
// a customer who has no table of its own yet prints the standard prices,
// noted as such. Codes that name no customer and have no table are left
// out and listed by missingCodes().
class PriceSheetPrintout {
public:
    explicit PriceSheetPrintout(Database& db);

    static QString templateName() { return QStringLiteral("Dusmere_CustomerPrice.rmf"); }
    static QString caption() { return QStringLiteral("客户单价表"); }
    static QString windowName() { return QStringLiteral("Report_Dusmere_CustomerPrice_Frm"); }
    static QString standardNote() { return QStringLiteral("单价表默认值"); }
    static QString standardPricesNote() { return QStringLiteral("按默认单价"); }

    ReportRows rows(const QStringList& customerCodes);
    const QStringList& missingCodes() const { return m_missing; }

private:
    Database& m_db;
    QStringList m_missing;
};
