#pragma once

#include <QString>
#include <QStringList>

#include "data/permission_checker.h"

class Database;

// The right to see what goods cost the company and what it earns on them:
// purchase prices, line profits, the quotations' costs and profits and the
// purchase order. Without it those columns, editors and printouts are left
// out altogether, not shown empty. It is listed with the main window's
// commands, so the permission tree grants it like any other.
class CostProfitRight {
public:
    static QString actionName() { return QStringLiteral("Action_ViewCostProfit"); }
    static QString formName() { return QStringLiteral("main_frm"); }

    static bool heldBy(PermissionChecker& permissions) { return permissions.isAllowed(actionName(), formName()); }
    // Throws UserError with the refusal text when the right is not held.
    static void require(PermissionChecker& permissions) { permissions.CheckActionPermission(actionName(), formName()); }

    // The columns of the quotation list that tell costs and profits.
    static QStringList quotationCostColumns() {
        return {QStringLiteral("sum_Gain_Money"), QStringLiteral("sum_goods_cost_price"),
                QStringLiteral("total_Gain_Money")};
    }
    // The quotation list's columns without them, each behind `prefix`, for
    // a select list.
    static QString quotationColumnsWithoutCost(Database& db, const QString& prefix = QString());
};
