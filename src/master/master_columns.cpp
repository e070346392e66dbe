#include "master/master_columns.h"

#include <algorithm>

QList<MasterColumn> MasterColumns::listed(MasterKind kind) {
    using S = MasterColumn::Shows;
    switch (kind) {
        case MasterKind::Customers:
            return {{"Corp_code", "客户编号", 70},
                    {"Linkman_name", "客户姓名", 80},
                    {"Corp_name", "酒店名称", 120},
                    {"China_Linkman_name", "国内联系人", 80},
                    {"LinkMan_Telephone", "国内电话", 95},
                    {"Linkman_foreign_telephone", "国外电话", 95},
                    {"QQ", "QQ", 70},
                    {"Linkman_Fax", "传真", 80},
                    {"Linkman_country", "国家", 60},
                    {"Linkman_Email", "E-MAIL", 110},
                    {"Linkman_foreign_telephone", "酒店电话", 95},
                    {"remark", "备注", 120}};
        case MasterKind::Suppliers:
            return {{"Corp_code", "供应商编号", 75},
                    {"provider_name", "姓名", 70},
                    {"provider_Corp_Name", "公司名称", 130},
                    {"provider_mobile", "手机", 95},
                    {"provider_Fax", "传真", 80},
                    {"provider_QQ", "QQ", 70},
                    {"provider_Telephone", "座机", 90},
                    {"provider_Linkman1", "联系人(1)", 70},
                    {"provider_Linkman2", "联系人(2)", 70},
                    {"provider_Linkman1_Tel", "电话(1)", 90},
                    {"provider_Linkman2_Tel", "电话(2)", 90},
                    {"provider_BankUserName", "开户姓名", 70},
                    {"provider_BankNo1", "帐号(1)", 120},
                    {"provider_BankNo2", "帐号(2)", 120},
                    {"provider_Send_Tel", "始发电话", 90},
                    {"provider_Receipt_Tel", "到站电话", 90},
                    {"remark", "备注", 120}};
        case MasterKind::Goods:
            return {{"code", "商品编码", 95},
                    {"Goods_name", "商品名称", 120},
                    {"Corp_Goods_Code", "厂家商品编码", 90},
                    {"Goods_size", "商品规格", 80},
                    {"Goods_unit", "商品单位", 60, S::UnitName},
                    {"purchase_price", "入货价", 70, S::Number, true, true},
                    {"Default_price", "默认售价", 70, S::Number, true},
                    {"Default_Qty", "默认数量", 60, S::Number},
                    {"Default_TotalPrice", "默认总值", 75, S::Number, true},
                    {"Provide_corp", "供货商", 120, S::SupplierName},
                    {"Keyin_person", "录入员", 70},
                    {"Keyin_time", "录入日期", 85, S::Date},
                    {"remark", "备注", 140}};
        case MasterKind::OrderCustomers:
            return {{"Corp_code", "客户编号", 70},    {"Corp_name", "客户名称", 130},  {"boss_name", "老板", 80},
                    {"Boss_mobile", "老板手机", 100}, {"Corp_telephone", "电话", 100}, {"Corp_address", "地址", 180},
                    {"remark", "备注", 140}};
    }
    return {};
}

namespace {
// Where each kind of record is kept.
struct Tables {
    const char* table;
    const char* groupTable;
    const char* groupField;
    const char* word;
};

Tables tables(MasterKind kind) {
    switch (kind) {
        case MasterKind::Customers:
            return {"Client", "Client_group", "GroupClass", "客户"};
        case MasterKind::Suppliers:
            return {"Provider", "Provider_group", "GroupClass", "供应商"};
        case MasterKind::Goods:
            return {"goods", "goods_group", "Goods_class", "商品"};
        case MasterKind::OrderCustomers:
            break;
    }
    return {"customer_provider", "customer_group", "Customer_Group", "客户"};
}
}  // namespace

QString MasterColumns::table(MasterKind kind) {
    return QString::fromLatin1(tables(kind).table);
}

QString MasterColumns::groupTable(MasterKind kind) {
    return QString::fromLatin1(tables(kind).groupTable);
}

QString MasterColumns::groupField(MasterKind kind) {
    return QString::fromLatin1(tables(kind).groupField);
}

QString MasterColumns::recordWord(MasterKind kind) {
    return QString::fromUtf8(tables(kind).word);
}

QString MasterColumns::codeField(MasterKind kind) {
    return kind == MasterKind::Goods ? QStringLiteral("code") : QStringLiteral("Corp_code");
}

bool MasterColumns::mapsIdentifyingField(MasterKind kind, const QStringList& mapping) {
    const QStringList identifying = identifyingFields(kind);
    return std::any_of(mapping.cbegin(), mapping.cend(),
                       [&identifying](const QString& f) { return identifying.contains(f, Qt::CaseInsensitive); });
}

QStringList MasterColumns::identifyingFields(MasterKind kind) {
    switch (kind) {
        case MasterKind::Customers:
            return {codeField(kind), "Linkman_name", "Corp_name"};
        case MasterKind::Suppliers:
            return {codeField(kind), "provider_name", "provider_Corp_Name"};
        case MasterKind::Goods:
            return {codeField(kind), "Goods_name"};
        case MasterKind::OrderCustomers:
            return {codeField(kind), "Corp_name"};
    }
    return {codeField(kind)};
}
