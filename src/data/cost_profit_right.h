#pragma once

#include <QString>

#include "data/permission_checker.h"

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
};
