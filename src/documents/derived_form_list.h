#pragma once

#include <QString>
#include <memory>

#include "reports/document_printouts.h"

class Database;
class Dataset;

// The work, ware-out or shipment forms made from order forms, each with
// the order's particulars and the number of its rows (the ware-out form:
// its two summaries), and the rows of one form as its printout lists them.
class DerivedFormList {
public:
    using Kind = DocumentPrintouts::Kind;

    DerivedFormList(Database& db, Kind kind);
    ~DerivedFormList();
    DerivedFormList(const DerivedFormList&) = delete;
    DerivedFormList& operator=(const DerivedFormList&) = delete;

    Kind kind() const { return m_kind; }
    void open();
    Dataset& forms() { return *m_forms; }
    const Dataset& forms() const { return *m_forms; }
    Dataset& rows() { return *m_rows; }
    // Reads the rows of the form with this code (none for an empty code).
    void showRows(const QString& formCode);

    // Every form of the kind: Form_Code, Order_Form_Code, KeyIn_Date,
    // KeyIn_Person, Row_Count and the order's Gain_Customer_Name,
    // Link_man, telephon and Send_Date; the ware-out form adds DetailNames
    // and Fittings, the shipment form RecivePerson_Telephone.
    static QString listStatement(Kind kind);
    // The caption of the list: "工作单", "出仓单", "出货单".
    static QString caption(Kind kind) { return DocumentPrintouts::caption(kind); }

private:
    Database& m_db;
    Kind m_kind;
    std::unique_ptr<Dataset> m_forms;
    std::unique_ptr<Dataset> m_rows;
};
