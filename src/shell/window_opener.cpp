#include "shell/window_opener.h"

#include "admin/about_dialog.h"
#include "admin/code_list_window.h"
#include "admin/company_info_window.h"
#include "admin/password_dialog.h"
#include "admin/settings_dialog.h"
#include "data/app_context.h"
#include "master/goods_list_window.h"
#include "master/partner_list_window.h"
#include "master/units_window.h"
#include "shell/users_window.h"

bool WindowOpener::open(AppContext& context, const QString& windowName, int startParameter, QWidget* parent) {
    Q_UNUSED(startParameter);
    const QString name = windowName.toLower();
    if (name == QLatin1String("sys_changepassword_frm")) {
        PasswordDialog(context, parent).exec();
    } else if (name == QLatin1String("sys_systemsetting_frm")) {
        SettingsDialog(context, parent).exec();
    } else if (name == QLatin1String("about_frm")) {
        AboutDialog(context, parent).exec();
    } else if (name == QLatin1String("sys_currcorpinfo_frm")) {
        CompanyInfoWindow(context, parent).showModal();
    } else if (name == QLatin1String("sys_user_operation_frm")) {
        UsersWindow(context, parent).showModal();
    } else if (name == QLatin1String("form_client_list")) {
        PartnerListWindow(context, PartnerSide::customers(), parent).showModal();
    } else if (name == QLatin1String("form_provider_list")) {
        PartnerListWindow(context, PartnerSide::suppliers(), parent).showModal();
    } else if (name == QLatin1String("base_goods_frm")) {
        GoodsListWindow(context, parent).showModal();
    } else if (name == QLatin1String("base_unit_frm")) {
        UnitsWindow(context, parent).showModal();
    } else if (name == QLatin1String("sys_tablefieldstatus_frm")) {
        CodeListWindow(context, parent).showModal();
    } else {
        return false;
    }
    return true;
}
