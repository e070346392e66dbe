#include "documents/derived_form_list.h"

#include "data/database.h"
#include "data/dataset.h"
#include "data/order_form_revision.h"

DerivedFormList::DerivedFormList(Database& db, Kind kind)
    : m_db(db), m_kind(kind), m_forms(std::make_unique<Dataset>(db)), m_rows(std::make_unique<Dataset>(db)) {}

DerivedFormList::~DerivedFormList() = default;

QString DerivedFormList::listStatement(Kind kind) {
    const QString order =
        QStringLiteral(" oh.Gain_Customer_Name, oh.Link_man, oh.telephon, oh.Send_Date, ") +
        OrderFormRevision::formNoteColumn() +
        QStringLiteral(" FROM %1 AS f LEFT JOIN Dusmere_Order_Form_head AS oh ON oh.Order_Form_Code = f.%2");
    switch (kind) {
        case Kind::WorkForm:
            return QStringLiteral(
                       "SELECT f.ID, f.Work_Form_Code AS Form_Code, f.Order_Form_Code, f.KeyIn_Date, f.KeyIn_Person,"
                       " (SELECT COUNT(*) FROM Dusmere_Work_Form_Detail AS r WHERE r.head_Code = f.Work_Form_Code)"
                       " AS Row_Count,") +
                   order.arg("Dusmere_Work_Form_Head", "Order_Form_Code") +
                   QStringLiteral(" ORDER BY f.Work_Form_Code");
        case Kind::WareOutForm:
            return QStringLiteral(
                       "SELECT f.ID, f.Ware_Out_Form_Code AS Form_Code, f.Ware_Out_Form_Code AS Order_Form_Code,"
                       " f.KeyIn_Date, f.KeyIn_Person,"
                       " (SELECT COUNT(*) FROM Dusmere_Order_Form_Detail AS r WHERE r.Head_Code = f.Ware_Out_Form_Code)"
                       " AS Row_Count,"
                       " (SELECT MIN(d.DetailNames) FROM Dusmere_Ware_Out_Form_Detail AS d"
                       " WHERE d.head_code = f.Ware_Out_Form_Code) AS DetailNames,"
                       " (SELECT MIN(d.Fittings) FROM Dusmere_Ware_Out_Form_Detail AS d"
                       " WHERE d.head_code = f.Ware_Out_Form_Code) AS Fittings,") +
                   order.arg("Dusmere_Ware_Out_Form_Head", "Ware_Out_Form_Code") +
                   QStringLiteral(" ORDER BY f.Ware_Out_Form_Code");
        default:
            return QStringLiteral(
                       "SELECT f.ID, f.Shipment_Form_Code AS Form_Code, f.Shipment_Form_Code AS Order_Form_Code,"
                       " f.KeyIn_Date, f.KeyIn_Person, f.RecivePerson_Telephone,"
                       " (SELECT COUNT(*) FROM Dusmere_Shipment_Form_Detail AS r WHERE r.head_code = "
                       "f.Shipment_Form_Code) AS Row_Count,") +
                   order.arg("Dusmere_Shipment_Form_Head", "Shipment_Form_Code") +
                   QStringLiteral(" ORDER BY f.Shipment_Form_Code");
    }
}

void DerivedFormList::open() {
    m_forms->open(listStatement(m_kind));
    for (const char* f : {"KeyIn_Date", "Send_Date"}) {
        m_forms->setDisplayFormat(f, "YYYY-MM-DD");
    }
    showRows(m_forms->isEmpty() ? QString() : m_forms->value(0, "Form_Code").toString());
}

void DerivedFormList::showRows(const QString& formCode) {
    m_rows->open(DocumentPrintouts::formStatement(m_kind), {{"FormCode", formCode}});
    // The ware-out form's one row holds its summaries only.
    for (const char* f : {"Price", "Total_Price"}) {
        if (m_rows->fieldIndex(f) >= 0) {
            m_rows->setDisplayFormat(f, "0.00");
        }
    }
}
