#include "reports/document_printouts.h"

#include <QSqlQuery>

#include "data/database.h"
#include "data/derived_forms.h"
#include "data/order_form_revision.h"

namespace {
// The company's particulars as one row beside every row of a printout. A
// book without its row in Sys_Corp still prints, with these left empty.
const char* const kCompanyJoin =
    "LEFT JOIN (SELECT Corp_name AS Sys_Corp_name, Corp_address AS Sys_Corp_address,"
    " Corp_telephone AS Sys_Corp_telephone, Tax_no AS Sys_Tax_no, Bank_code AS Sys_Bank_code,"
    " Linkman_name AS Sys_Linkman_name, Linkman_telephone AS Sys_Linkman_telephone,"
    " Linkman_email AS Sys_Linkman_email"
    " FROM Sys_Corp ORDER BY id LIMIT 1) AS c ON 1 = 1";

// The code list that names the kinds of receipts.
const char* const kReceiptKinds = "收据类型";
}  // namespace

DocumentPrintouts::DocumentPrintouts(Database& db) : m_db(db) {}

QString DocumentPrintouts::companyJoin() {
    return QLatin1String(kCompanyJoin);
}

namespace {
// The tables of the form a printout kind prints.
const DerivedFormTables& formTables(DocumentPrintouts::Kind kind) {
    switch (kind) {
        case DocumentPrintouts::Kind::WorkForm:
            return DerivedFormTables::of(DerivedForm::Work);
        case DocumentPrintouts::Kind::WareOutForm:
            return DerivedFormTables::of(DerivedForm::WareOut);
        default:
            return DerivedFormTables::of(DerivedForm::Shipment);
    }
}
}  // namespace

QString DocumentPrintouts::templateName(Kind kind) {
    switch (kind) {
        case Kind::Quotation:
            return QStringLiteral("Korvan_Quotation.zrm");
        case Kind::QuotationWarning:
            return QStringLiteral("Korvan_Quotation_Warning.zrm");
        case Kind::PurchaseOrder:
            return QStringLiteral("Korvan_CaiGou.zrm");
        case Kind::Receipt:
            return QStringLiteral("Korvan_ShouJu.zrm");
        case Kind::Order:
            return QStringLiteral("Dusmere_ShipmentForm.rmf");
        case Kind::WorkForm:
            return QStringLiteral("Dusmere_WorkForm.rmf");
        case Kind::WareOutForm:
            return QStringLiteral("Dusmere_WareOutForm.rmf");
        case Kind::ShipmentForm:
            return QStringLiteral("Dusmere_ShipmentForm_Driver.rmf");
    }
    return {};
}

QString DocumentPrintouts::caption(Kind kind) {
    switch (kind) {
        case Kind::Quotation:
        case Kind::QuotationWarning:
            return QStringLiteral("订货单");
        case Kind::PurchaseOrder:
            return QStringLiteral("采购单");
        case Kind::Receipt:
        case Kind::Order:
            return QStringLiteral("收款收据");
        case Kind::WorkForm:
        case Kind::WareOutForm:
        case Kind::ShipmentForm:
            return formTables(kind).caption;
    }
    return {};
}

QString DocumentPrintouts::quotationStatement(Kind kind) {
    // The id after SortNo only fixes the order of lines that share a number.
    // Lines whose goods are gone (no supplier) come first on every engine:
    // the engines disagree on where an ascending order puts nulls.
    const QString order = kind == Kind::PurchaseOrder
                              ? QStringLiteral(
                                    "CASE WHEN b.provider_name IS NULL THEN 0 ELSE 1 END, b.provider_name,"
                                    " b.Corp_code, d.SortNo, d.id")
                              : QStringLiteral("d.SortNo, d.id");
    // A line whose goods are gone from the catalogue still prints, from
    // what the line holds, under its goods code: every total on paper is
    // the list's.
    return QStringLiteral(
               "SELECT d.*, h.*, COALESCE(b.Goods_name, d.GoodsNo) AS Goods_name, b.Goods_size, b.Corp_Goods_Code,"
               " b.Unit_name, b.provider_name,"
               " b.Corp_code, d.Remark AS Line_Remark, h.Remark AS Head_Remark, c.*"
               " FROM ((Quotation_Detail AS d INNER JOIN Query_tmp AS h ON d.HeadNo = h.BillNo)"
               " LEFT JOIN Query_Goods_With_Corp_Unit AS b ON d.GoodsNo = b.code) %1"
               " WHERE d.HeadNo = :HeadNo ORDER BY %2")
        .arg(QLatin1String(kCompanyJoin), order);
}

QString DocumentPrintouts::receiptQuotationStatement() {
    return QStringLiteral("SELECT QuotationNo FROM Receipt_Head WHERE BillNo = :R");
}

// A receipt whose quotation has no receipt lines still prints its head,
// amount and capitals, on one row without a line.
QString DocumentPrintouts::receiptStatement() {
    return QStringLiteral(
               "SELECT d.*, rh.BillNo, rh.BillType, rh.remark, u.Unit_name AS unit_name,"
               " q.Leave_money AS Leave_money, q.sum_payed_money AS payed_money,"
               " q.Total_Price AS Quotation_Total_Price, h.*, rh.TotalPrice, rh.BillNo AS Receipt_BillNo,"
               " rh.keyin_Date AS Receipt_Date, rh.keyin_User AS Receipt_User, rh.remark AS Receipt_Remark,"
               " (SELECT s.StatusName FROM Sys_Status_Describe AS s WHERE s.ParamentName = :kinds"
               " AND s.StatusValue = CAST(rh.BillType AS VARCHAR(20)) ORDER BY s.id LIMIT 1) AS BillType_Name,"
               " d.Remark AS Line_Remark, h.BillNo AS Quotation_BillNo, h.Remark AS Quotation_Remark, c.*"
               " FROM ((((Receipt_Head AS rh LEFT JOIN Receipt_Detail AS d"
               " ON d.HeadNo = rh.QuotationNo AND d.HeadNo = :N)"
               " INNER JOIN Query_tmp AS h ON rh.QuotationNo = h.BillNo)"
               " LEFT JOIN unit AS u ON u.unit_code = d.GoodsClassUnit)"
               " LEFT JOIN Query_Quotation_Head_list AS q ON q.BillNo = h.BillNo) %1"
               " WHERE rh.BillNo = :R AND rh.QuotationNo = :N ORDER BY d.id")
        .arg(QLatin1String(kCompanyJoin));
}

QString DocumentPrintouts::orderStatement() {
    return QStringLiteral(
               "SELECT g.*, COALESCE(t.Order_Total, 0) AS Order_Total, COALESCE(g.earnest, 0) AS Deposit,"
               " COALESCE(g.preferential, 0) AS Discount,"
               " ROUND(COALESCE(t.Order_Total, 0) - COALESCE(g.earnest, 0) - COALESCE(g.preferential, 0), 2)"
               " AS Balance,"
               " (SELECT s.StatusName FROM Sys_Status_Describe AS s WHERE s.ParamentName = :payKinds"
               " AND s.StatusValue = CAST(COALESCE(g.isPay, 0) AS VARCHAR(20)) ORDER BY s.id LIMIT 1) AS isPay_Name,"
               " c.*"
               " FROM (Query_Order_form_GoodsAll AS g"
               " LEFT JOIN (SELECT Head_Code AS Total_Code, ROUND(SUM(Total_Price), 2) AS Order_Total"
               " FROM Dusmere_Order_Form_Detail GROUP BY Head_Code) AS t ON t.Total_Code = g.Head_Code) %1"
               " WHERE g.Head_Code = :HeadCode ORDER BY g.ID")
        .arg(QLatin1String(kCompanyJoin));
}

namespace {
// The order a form was made from, under names of its own.
const char* const kOrderColumns =
    " oh.Order_Form_Code AS Order_Code, oh.Gain_Customer_Name AS Order_Customer_Name, oh.Link_man AS Order_Link_man,"
    " oh.telephon AS Order_telephon, oh.Send_Date AS Order_Send_Date, oh.Keyin_Date AS Order_Keyin_Date,"
    " oh.Remark_ShipmentForm AS Order_Remark, oh.Remark_WorkForm AS Order_Work_Remark";

}  // namespace

QString DocumentPrintouts::formStatement(Kind kind) {
    const DerivedFormTables& t = formTables(kind);
    // Forms_Note: a form made before its order last changed says so on paper.
    const QString form = QStringLiteral(
                             " f.%1 AS Form_Code, f.KeyIn_Date AS Form_Date, f.KeyIn_Person AS Form_Person,"
                             " f.Remark AS Form_Remark, %2,")
                             .arg(t.code, OrderFormRevision::formNoteColumn());
    if (kind == Kind::WareOutForm) {
        return QStringLiteral(
                   "SELECT %1 d.DetailNames, d.Fittings, %2, c.*"
                   " FROM ((Dusmere_Ware_Out_Form_Head AS f"
                   " LEFT JOIN Dusmere_Ware_Out_Form_Detail AS d ON d.head_code = f.Ware_Out_Form_Code)"
                   " LEFT JOIN Dusmere_Order_Form_head AS oh ON oh.Order_Form_Code = f.Ware_Out_Form_Code) %3"
                   " WHERE f.Ware_Out_Form_Code = :FormCode ORDER BY d.ID")
            .arg(form, QLatin1String(kOrderColumns), QLatin1String(kCompanyJoin));
    }
    // Work rows name their order; shipment rows carry the order's code.
    const QString rowOrder =
        kind == Kind::WorkForm ? QStringLiteral("r.Order_Form_Code") : QStringLiteral("r.head_code");
    const QString telephone =
        kind == Kind::ShipmentForm ? QStringLiteral("f.RecivePerson_Telephone") : QStringLiteral("''");
    return QStringLiteral(
               "SELECT g.*, %1 r.goods_code AS Form_Goods_Code, %2 AS RecivePerson_Telephone, %3, c.*"
               " FROM (((%4 AS f LEFT JOIN %5 AS r ON r.%6 = f.%7)"
               " LEFT JOIN Query_Order_form_GoodsAll AS g ON g.Head_Code = %8 AND g.Goods_Code = r.goods_code)"
               " LEFT JOIN Dusmere_Order_Form_head AS oh ON oh.Order_Form_Code = f.%9) %10"
               " WHERE f.%7 = :FormCode ORDER BY r.ID")
        .arg(form, telephone, QLatin1String(kOrderColumns), t.head, t.rows, t.rowCode, t.code, rowOrder, t.orderCode)
        .arg(QLatin1String(kCompanyJoin));
}

QString DocumentPrintouts::missingText(Kind kind, const QString& key) {
    if (kind == Kind::WorkForm || kind == Kind::WareOutForm || kind == Kind::ShipmentForm) {
        const DerivedFormTables& t = formTables(kind);
        return m_db.query(QStringLiteral("SELECT %1 FROM %2 WHERE %1 = :FormCode").arg(t.code, t.head),
                          {{"FormCode", key}})
                       .next()
                   ? QString()
                   : QStringLiteral("找不到%1: %2").arg(caption(kind), key);
    }
    if (kind == Kind::Order) {
        return m_db.query(QStringLiteral("SELECT Order_Form_Code FROM Dusmere_Order_Form_head WHERE "
                                         "Order_Form_Code = :HeadCode"),
                          {{"HeadCode", key}})
                       .next()
                   ? QString()
                   : QStringLiteral("找不到订单: %1").arg(key);
    }
    if (kind == Kind::Receipt) {
        return m_db.query(receiptQuotationStatement(), {{"R", key}}).next()
                   ? QString()
                   : QStringLiteral("找不到收款收据: %1").arg(key);
    }
    return m_db.query(QStringLiteral("SELECT BillNo FROM Quotation_Head WHERE BillNo = :HeadNo"), {{"HeadNo", key}})
                   .next()
               ? QString()
               : QStringLiteral("找不到订货单: %1").arg(key);
}

ReportRows DocumentPrintouts::rows(Kind kind, const QString& key) {
    if (kind == Kind::WorkForm || kind == Kind::WareOutForm || kind == Kind::ShipmentForm) {
        QSqlQuery q = m_db.query(formStatement(kind), {{"FormCode", key}});
        return ReportRows::fromQuery(q);
    }
    if (kind == Kind::Order) {
        QSqlQuery q = m_db.query(orderStatement(), {{"HeadCode", key}, {"payKinds", QStringLiteral("收款情况")}});
        return ReportRows::fromQuery(q);
    }
    if (kind != Kind::Receipt) {
        QSqlQuery q = m_db.query(quotationStatement(kind), {{"HeadNo", key}});
        return ReportRows::fromQuery(q);
    }
    QSqlQuery head = m_db.query(receiptQuotationStatement(), {{"R", key}});
    // A receipt that does not exist has no rows; the statement below would
    // find none either.
    const QVariant quotation = head.next() ? head.value(0) : QVariant(QString());
    QSqlQuery q =
        m_db.query(receiptStatement(), {{"R", key}, {"N", quotation}, {"kinds", QString::fromUtf8(kReceiptKinds)}});
    return ReportRows::fromQuery(q);
}
