#include "documents/quotation_list.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include "data/cost_profit_right.h"
#include "data/database.h"
#include "data/dataset.h"
#include "data/sql_dialect.h"
#include "platform/errors.h"
#include "platform/prompter.h"

QuotationList::QuotationList(Database& db, Prompter& prompter)
    : m_db(db), m_prompter(prompter), m_rows(std::make_unique<Dataset>(db)) {
    // Every quotation of the book: a long list.
    m_rows->setReadInParallel(true);
    m_rows->setReadInParts(kFirstRows);
}

int QuotationList::newestRow() const {
    if (m_rows->isEmpty()) {
        return -1;
    }
    return m_db.isAccess() ? m_rows->rowCount() - 1 : 0;
}

QuotationList::~QuotationList() = default;

void QuotationList::open() {
    QString sql = listStatement(m_showsCost ? QStringLiteral("*") : CostProfitRight::quotationColumnsWithoutCost(m_db));
    // An embedded book keeps its rows in the order they were written and
    // updates them in place, so they are read as they lie, the newest last
    // (ordering by number would cost a lookup per row). A server moves an
    // updated row, so there they are ordered by number, as the grid sorts
    // them, the newest first: the list is read in parts, and the first part
    // is what the list shows on top.
    if (!m_db.isAccess()) {
        sql += QStringLiteral(" order by %1 desc").arg(m_db.dialect().byteOrder(QStringLiteral("BillNo")));
    }
    m_rows->open(sql);
    for (const char* f : {"sum_Goods_Price", "Freight", "Total_Price", "earnest", "sum_payed_money", "Leave_money",
                          "preferential", "total_Gain_Money"}) {
        if (m_rows->fieldIndex(QString::fromLatin1(f)) >= 0) {
            m_rows->setDisplayFormat(f, "0.00");
        }
    }
    for (const char* f : {"Send_Date", "Keyin_Date"}) {
        m_rows->setDisplayFormat(f, "YYYY-MM-DD");
    }
}

void QuotationList::refresh() {
    if (!m_rows->isOpen()) {
        open();
        return;
    }
    m_rows->refresh();
}

bool QuotationList::remove(const QStringList& billNos) {
    if (billNos.isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择记录"));
        return false;
    }
    if (!m_prompter.askYesNo(QStringLiteral("确定要删除吗？"))) {
        return false;
    }
    removeNow(billNos);
    return true;
}

void QuotationList::removeNow(const QStringList& billNos) {
    if (billNos.isEmpty()) {
        return;
    }
    QVariantMap params;
    QVariantList values;
    for (const QString& b : billNos) {
        values.append(b);
    }
    const QString in = Database::bindList("b", values, &params);
    // The head first: on a server its row stays locked until the end, so a
    // save or receipt of the same quotation on another workstation waits
    // and then finds it gone instead of leaving rows without a head. The
    // totals row goes once nothing is left to sum.
    WriteTransaction tx(m_db);
    m_db.execute(QStringLiteral("delete from Quotation_Head where BillNo in (%1)").arg(in), params);
    m_db.execute(QStringLiteral("delete from Receipt_Detail where HeadNo in (%1)").arg(in), params);
    m_db.execute(QStringLiteral("delete from Receipt_Head where QuotationNo in (%1)").arg(in), params);
    m_db.execute(QStringLiteral("delete from Quotation_Detail where HeadNo in (%1)").arg(in), params);
    m_db.execute(QStringLiteral("delete from Quotation_Sum where BillNo in (%1)").arg(in), params);
    tx.commit();
}

bool QuotationList::setInForce(const QString& billNo, bool inForce) {
    if (billNo.isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择记录"));
        return false;
    }
    const QVariantMap params{{"b", billNo}, {"s", inForce ? 1 : 0}};
    WriteTransaction tx(m_db);
    m_db.execute("update Quotation_Head set state=:s where BillNo=:b", params);
    m_db.execute("update Receipt_Head set state=:s where QuotationNo=:b", params);
    tx.commit();
    return true;
}
