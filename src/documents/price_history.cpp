#include "documents/price_history.h"

#include <QSqlQuery>

#include "data/database.h"
#include "data/field_def.h"

std::optional<PriceHistory::Quoted> PriceHistory::last(const Customer& customer, const QString& goodsNo,
                                                       const QString& exceptBillNo,
                                                       const std::optional<Position>& before) {
    const QList<Quoted> rows = read(customer, goodsNo, exceptBillNo, 1, before);
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return rows.first();
}

QList<PriceHistory::Quoted> PriceHistory::history(const Customer& customer, const QString& goodsNo,
                                                  const QString& exceptBillNo, int limit) {
    return read(customer, goodsNo, exceptBillNo, limit, std::nullopt);
}

QList<PriceHistory::Quoted> PriceHistory::read(const Customer& customer, const QString& goodsNo,
                                               const QString& exceptBillNo, int limit,
                                               const std::optional<Position>& before) {
    QList<Quoted> out;
    if (customer.isEmpty() || goodsNo.trimmed().isEmpty() || limit <= 0) {
        return out;
    }
    // The customer's quotations, newest first, as their index lies; each
    // one's lines looked up by the lines' index by quotation. The first
    // that holds the goods ends a search for the last price.
    QVariantMap params{{"goods", goodsNo.trimmed()}, {"limit", limit}};
    const QString sql =
        QStringLiteral(
            "SELECT h.BillNo, h.Keyin_Date, d.QTY, d.Price FROM Quotation_Head h JOIN Quotation_Detail d ON "
            "d.HeadNo = h.BillNo WHERE %1 AND d.GoodsNo = :goods ORDER BY h.Keyin_Date DESC, h.BillNo DESC "
            "LIMIT :limit")
            .arg(conditions(customer, exceptBillNo, before, &params));
    QSqlQuery q = m_db.query(sql, params);
    FieldDef keyinDate;
    keyinDate.type = FieldDef::Type::DateTime;
    while (q.next()) {
        out.append(
            {q.value(0).toString(), keyinDate.normalize(q.value(1)).toDateTime().date(), q.value(2), q.value(3)});
    }
    return out;
}

QString PriceHistory::conditions(const Customer& customer, const QString& exceptBillNo,
                                 const std::optional<Position>& before, QVariantMap* params) const {
    const bool byCode = !customer.code.trimmed().isEmpty();
    params->insert("customer", byCode ? customer.code.trimmed() : customer.name.trimmed());
    // Bound as text even when empty: a null would match no row.
    params->insert("self", exceptBillNo.isNull() ? QStringLiteral("") : exceptBillNo);
    QString sql =
        QStringLiteral("%1 AND h.state = 1 AND h.BillNo <> :self")
            .arg(byCode ? QStringLiteral("h.ClientNo = :customer") : QStringLiteral("h.Add_ClientName = :customer"));
    if (before && !before->keyinDate.isNull()) {
        // The date's upper bound first, which the index can seek to; the
        // same day's later numbers are left out after it.
        sql += QStringLiteral(
            " AND h.Keyin_Date <= :beforeDate AND (h.Keyin_Date < :beforeDate OR h.BillNo < "
            ":beforeBill)");
        params->insert("beforeDate", before->keyinDate);
        params->insert("beforeBill", before->billNo.isNull() ? QStringLiteral("") : before->billNo);
    }
    return sql;
}

QHash<QString, PriceHistory::Quoted> PriceHistory::lastOfEach(const Customer& customer, const QStringList& goodsNos,
                                                              const QString& exceptBillNo,
                                                              const std::optional<Position>& before) {
    QHash<QString, Quoted> out;
    QStringList wanted;
    for (const QString& code : goodsNos) {
        if (!code.trimmed().isEmpty() && !wanted.contains(code.trimmed())) {
            wanted.append(code.trimmed());
        }
    }
    if (customer.isEmpty()) {
        return out;
    }
    FieldDef keyinDate;
    keyinDate.type = FieldDef::Type::DateTime;
    // The server ranks each goods' lines and sends only the newest.
    constexpr int kChunk = 500;
    for (int first = 0; first < wanted.size(); first += kChunk) {
        QVariantMap params;
        QVariantList codes;
        for (const QString& code : wanted.mid(first, kChunk)) {
            codes.append(code);
        }
        const QString inList = Database::bindList("g", codes, &params);
        const QString sql =
            QStringLiteral(
                "SELECT GoodsNo, BillNo, Keyin_Date, QTY, Price FROM (SELECT d.GoodsNo, h.BillNo, h.Keyin_Date, "
                "d.QTY, d.Price, ROW_NUMBER() OVER (PARTITION BY d.GoodsNo ORDER BY h.Keyin_Date DESC, h.BillNo "
                "DESC, d.id) AS newest FROM Quotation_Head h JOIN Quotation_Detail d ON d.HeadNo = h.BillNo WHERE %1 "
                "AND d.GoodsNo IN (%2)) q WHERE newest = 1")
                .arg(conditions(customer, exceptBillNo, before, &params), inList);
        QSqlQuery q = m_db.query(sql, params);
        while (q.next()) {
            out.insert(
                q.value(0).toString(),
                {q.value(1).toString(), keyinDate.normalize(q.value(2)).toDateTime().date(), q.value(3), q.value(4)});
        }
    }
    return out;
}

bool PriceHistory::quotedAfter(const Customer& customer, const Position& position) {
    if (customer.isEmpty() || position.keyinDate.isNull()) {
        return false;
    }
    const bool byCode = !customer.code.trimmed().isEmpty();
    const QString sql =
        QStringLiteral(
            "SELECT 1 FROM Quotation_Head h WHERE %1 AND h.state = 1 AND h.Keyin_Date >= :date AND (h.Keyin_Date > "
            ":date OR h.BillNo > :bill) LIMIT 1")
            .arg(byCode ? QStringLiteral("h.ClientNo = :customer") : QStringLiteral("h.Add_ClientName = :customer"));
    QSqlQuery q = m_db.query(sql, {{"customer", byCode ? customer.code.trimmed() : customer.name.trimmed()},
                                   {"date", position.keyinDate},
                                   {"bill", position.billNo.isNull() ? QStringLiteral("") : position.billNo}});
    return q.next();
}

QString PriceHistory::describe(const Quoted& quoted) {
    return QStringLiteral("%1 (%2)").arg(QString::number(quoted.price.toDouble(), 'f', 2),
                                         quoted.date.toString(QStringLiteral("yyyy-MM-dd")));
}
