#include "master/partner_side.h"

const PartnerSide& PartnerSide::customers() {
    static const PartnerSide side{
        QStringLiteral("Client"),
        QStringLiteral("Client_group"),
        QStringLiteral("Form_Client_List"),
        QStringLiteral("Form_Client_Edit"),
        QStringLiteral("客户档案管理"),
        QStringLiteral("客户档案管理"),
        {QStringLiteral("Corp_code"), QStringLiteral("Linkman_name"), QStringLiteral("Corp_name"),
         QStringLiteral("China_Linkman_name")},
        QStringLiteral("select BillNo  from Quotation_Head where ClientNo=:code order by BillNo"),
        QStringLiteral("该客户已经被报价单使用，不能删除。如果要删除该客户请先删除以下报价单："),
        false,
        QStringLiteral("增加客户类别"),
        QStringLiteral("请输入客户类别名称："),
        true,
        QStringLiteral("客户编码")};
    return side;
}

const PartnerSide& PartnerSide::suppliers() {
    static const PartnerSide side{
        QStringLiteral("Provider"),
        QStringLiteral("Provider_group"),
        QStringLiteral("Form_Provider_List"),
        QStringLiteral("Form_Provider_Edit"),
        QStringLiteral("供应商管理"),
        QStringLiteral("供应商档案"),
        {QStringLiteral("Corp_code"), QStringLiteral("provider_name"), QStringLiteral("provider_Corp_Name"),
         QStringLiteral("provider_mobile"), QStringLiteral("provider_Linkman1"), QStringLiteral("provider_Linkman2")},
        QStringLiteral("select code, Goods_name from goods where Provide_corp=:code order by code"),
        QStringLiteral("该供应商已经被商品使用，不能删除。如果要删除该客户请先删除以下商品："),
        true,
        QStringLiteral("增加类别"),
        QStringLiteral("请输入类别名称："),
        false,
        QStringLiteral("供应商编码")};
    return side;
}
