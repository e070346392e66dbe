#include "data/derived_forms.h"

const QList<DerivedFormTables>& DerivedFormTables::all() {
    static const QList<DerivedFormTables> forms{
        {DerivedForm::Work, QStringLiteral("work"), QStringLiteral("工作单"), QStringLiteral("Dusmere_Work_Form_Head"),
         QStringLiteral("Work_Form_Code"), QStringLiteral("Dusmere_Work_Form_Detail"), QStringLiteral("head_Code"),
         QStringLiteral("Order_Form_Code"), QStringLiteral("Action_CreateWorkFormExecute")},
        {DerivedForm::WareOut, QStringLiteral("wareout"), QStringLiteral("出仓单"),
         QStringLiteral("Dusmere_Ware_Out_Form_Head"), QStringLiteral("Ware_Out_Form_Code"),
         QStringLiteral("Dusmere_Ware_Out_Form_Detail"), QStringLiteral("head_code"),
         QStringLiteral("Ware_Out_Form_Code"), QStringLiteral("Action_CreateWareOutFormExecute")},
        {DerivedForm::Shipment, QStringLiteral("shipment"), QStringLiteral("出货单"),
         QStringLiteral("Dusmere_Shipment_Form_Head"), QStringLiteral("Shipment_Form_Code"),
         QStringLiteral("Dusmere_Shipment_Form_Detail"), QStringLiteral("head_code"),
         QStringLiteral("Shipment_Form_Code"), QStringLiteral("Action_CreateShipmentFormExecute")},
    };
    return forms;
}

const DerivedFormTables& DerivedFormTables::of(DerivedForm form) {
    return all()[static_cast<int>(form)];
}

const DerivedFormTables* DerivedFormTables::named(const QString& name) {
    for (const DerivedFormTables& t : all()) {
        if (t.name == name) {
            return &t;
        }
    }
    return nullptr;
}

QString DerivedFormTables::headCodesOf(const QString& orders) const {
    if (code == orderCode) {
        return orders;
    }
    return QStringLiteral("select %1 from %2 where %3 in (%4)").arg(code, head, orderCode, orders);
}
