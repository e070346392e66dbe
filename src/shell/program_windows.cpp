#include "shell/program_windows.h"

#include "admin/about_dialog.h"
#include "admin/code_list_window.h"
#include "admin/company_info_window.h"
#include "admin/password_dialog.h"
#include "admin/settings_dialog.h"
#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "documents/order_form_list_window.h"
#include "documents/order_form_window.h"
#include "documents/payout_list_window.h"
#include "documents/quotation_list_window.h"
#include "master/customer_price_window.h"
#include "master/goods_list_window.h"
#include "master/partner_list_window.h"
#include "master/units_window.h"
#include "reports/receivables_window.h"
#include "reports/statement_window.h"
#include "reports/statistics_window.h"
#include "shell/query_panel_window.h"
#include "shell/users_window.h"
#include "ui/base_window.h"

namespace {

// A window that takes no start parameter.
template <typename Window>
WindowOpener::Factory plain() {
    return [](AppContext& context, int, QWidget* parent) {
        Window window(context, parent);
        runWindow(context, window);
    };
}

WindowOpener::Factory partnerList(const PartnerSide& side) {
    return [s = &side](AppContext& context, int startParameter, QWidget* parent) {
        PartnerListWindow window(context, *s, parent);
        window.setMode(startParameter);
        runWindow(context, window);
    };
}

WindowOpener::Factory statistics(StatisticsReport::Kind kind) {
    return [kind](AppContext& context, int, QWidget* parent) {
        // The profit statistics show nothing but what the company earns:
        // without the right to see costs and profits the window does not
        // open.
        if (StatisticsReport::isCostView(kind)) {
            PermissionChecker permissions(context.data().main(), context.CurrentUser);
            CostProfitRight::require(permissions);
        }
        StatisticsWindow window(context, kind, parent);
        runWindow(context, window);
    };
}

// The customer list in pick mode, for the statement's "选择…".
std::function<QString()> customerChooser(AppContext& context, QWidget* parent) {
    return [&context, parent] {
        PartnerListWindow list(context, PartnerSide::customers(), parent);
        list.setMode(1);
        return runWindow(context, list) == QDialog::Accepted ? list.chosenCode() : QString();
    };
}

}  // namespace

const WindowOpener& ProgramWindows::table() {
    static const WindowOpener windows({
        {"SYS_ChangePassword_Frm", plain<PasswordDialog>()},
        {"SYS_SystemSetting_Frm", plain<SettingsDialog>()},
        {"About_Frm", plain<AboutDialog>()},
        {"SYS_CurrCorpInfo_Frm", plain<CompanyInfoWindow>()},
        {"Sys_User_Operation_Frm", plain<UsersWindow>()},
        {"Sys_TableFieldStatus_frm", plain<CodeListWindow>()},
        {"Form_Client_List", partnerList(PartnerSide::customers())},
        {"Form_Provider_List", partnerList(PartnerSide::suppliers())},
        {"Form_Order_Customer_List", partnerList(PartnerSide::orderCustomers())},
        {"base_goods_frm",
         [](AppContext& context, int startParameter, QWidget* parent) {
             GoodsListWindow window(context, parent);
             window.setMode(startParameter);
             runWindow(context, window);
         }},
        {"Form_Quotation_List", plain<QuotationListWindow>()},
        {"frm_GainBill",
         [](AppContext& context, int, QWidget* parent) {
             // The main window always starts a new order.
             OrderFormWindow window(context, OrderFormDocument::New, QString(), parent);
             runWindow(context, window);
         }},
        {"frm_GainBill_list", plain<OrderFormListWindow>()},
        {"frm_payout",
         [](AppContext& context, int startParameter, QWidget* parent) {
             PayoutListWindow window(context, startParameter, parent);
             runWindow(context, window);
         }},
        {"Report_Dusmere_IncomePriceDetail_Frm", statistics(StatisticsReport::Kind::Income)},
        {"Report_Dusmere_payout_Frm", statistics(StatisticsReport::Kind::Payout)},
        {"Report_Dusmere_gain_frm", statistics(StatisticsReport::Kind::Profit)},
        {"Report_CustomerStatement_Frm",
         [](AppContext& context, int, QWidget* parent) {
             StatementWindow window(context, parent);
             window.setChooser(customerChooser(context, &window));
             runWindow(context, window);
         }},
        {"Report_ReceivablesAging_Frm", plain<ReceivablesWindow>()},
        {"Query_Panel_Frm",
         [](AppContext& context, int startParameter, QWidget* parent) {
             QueryPanelWindow window(context, startParameter, parent);
             runWindow(context, window);
         }},
        {"Base_CustomerPrice_Frm",
         [](AppContext& context, int startParameter, QWidget* parent) {
             // Mode 1 is the standard table; a customer's table needs the
             // customer, which only the customer list gives.
             CustomerPriceWindow window(context, startParameter == 1, QString(), QString(), parent);
             if (window.load()) {
                 runWindow(context, window);
             }
         }},
        {"base_unit_frm",
         [](AppContext& context, int startParameter, QWidget* parent) {
             UnitsWindow window(context, parent);
             window.setPickMode(startParameter == 1);
             runWindow(context, window);
         }},
    });
    return windows;
}
