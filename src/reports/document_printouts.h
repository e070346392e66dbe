#pragma once

#include <QString>

#include "reports/engine/report_rows.h"

class Database;

// The printouts of the documents: the order form of a quotation (plain, or
// marked as not ordered by the customer), the purchase order drawn from a
// quotation, the receipt, the made-to-measure order form and the work,
// ware-out and shipment forms made from it. For each it names the template under Report/
// and the window's caption, and reads the rows with one statement whose
// values are bound.
//
// Both quotation statements list the line (d.*), the quotation with its
// customer's name (h.* of Query_tmp) and the goods' names; a line whose
// goods no longer exist is left out. Columns that d and h share (id,
// Remark) come twice under one name, so the line's and the head's remarks
// come again under names of their own: Line_Remark and Head_Remark. Every
// row also carries the company's particulars from Sys_Corp as Sys_Corp_name,
// Sys_Corp_address, Sys_Corp_telephone, Sys_Tax_no, Sys_Bank_code,
// Sys_Linkman_name, Sys_Linkman_telephone and Sys_Linkman_email.
class DocumentPrintouts {
public:
    enum class Kind { Quotation, QuotationWarning, PurchaseOrder, Receipt, Order, WorkForm, WareOutForm, ShipmentForm };

    explicit DocumentPrintouts(Database& db);

    // A join that puts the company's particulars (Sys_Corp_name …) beside
    // every row of a statement: "… FROM t " + companyJoin().
    static QString companyJoin();

    // The template file in Report/ (or built into the program).
    static QString templateName(Kind kind);
    static QString caption(Kind kind);

    // The quotation's lines in SortNo order (the order form), or grouped by
    // supplier, each supplier's lines in SortNo order (the purchase order).
    // Parameter :HeadNo.
    static QString quotationStatement(Kind kind);
    // The quotation a receipt belongs to. Parameter :R.
    static QString receiptQuotationStatement();
    // The receipt's lines (shared by all receipts of the quotation) with
    // the receipt, its quotation and the quotation's amounts. Besides the
    // columns named by the receipt's text it carries the receipt's own
    // amount TotalPrice and, under names of their own, the receipt's number
    // Receipt_BillNo, date Receipt_Date, clerk Receipt_User, remark
    // Receipt_Remark, the name of its kind BillType_Name, the line's remark
    // Line_Remark, the quotation's number Quotation_BillNo and remark
    // Quotation_Remark. Parameters :R (receipt) and :N (its quotation).
    static QString receiptStatement();

    // An order form's goods rows with the order's head fields and the names
    // of the coded fields (Query_Order_form_GoodsAll), in the order the rows
    // were added, with the order's total of goods Order_Total, deposit
    // Deposit and discount Discount (zero when empty), the balance still
    // to pay Balance and the name of the paid mark isPay_Name. Parameters
    // :HeadCode and :payKinds (the code list that names the paid mark).
    static QString orderStatement();

    // A form made from an order (work, ware-out or shipment form), one row
    // per goods row it lists (the ware-out form: one row with its two
    // summaries, DetailNames and Fittings). Besides the goods row's columns
    // (those of Query_Order_form_GoodsAll, empty for a row whose goods row
    // was deleted from the order since) every row carries the form's code
    // Form_Code, date Form_Date, clerk Form_Person and remark Form_Remark,
    // the goods code the form names Form_Goods_Code, the order's particulars
    // Order_Code, Order_Customer_Name, Order_Link_man, Order_telephon,
    // Order_Send_Date, Order_Keyin_Date, Order_Remark and Order_Work_Remark,
    // and the shipment form's RecivePerson_Telephone. Parameter :FormCode.
    static QString formStatement(Kind kind);

    // Empty when the document exists; otherwise the message that it does
    // not. `key` is the quotation's number, or the receipt's for a receipt.
    QString missingText(Kind kind, const QString& key);
    ReportRows rows(Kind kind, const QString& key);

private:
    Database& m_db;
};
