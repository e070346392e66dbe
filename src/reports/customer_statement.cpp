#include "reports/customer_statement.h"

#include <QHash>
#include <QSqlQuery>
#include <algorithm>

#include "data/database.h"
#include "platform/period.h"
#include "reports/statistics_report.h"

namespace {
struct QuotationInfo {
    QDate date;
    qint64 receivable = 0;
    qint64 receivedByTo = 0;
};

// Earlier days first; a line without a day before every other.
bool dayBefore(const QDate& a, const QDate& b) {
    if (a.isValid() != b.isValid()) {
        return !a.isValid();
    }
    return a < b;
}

QVariant amountOrNull(qint64 cents, bool shown) {
    return shown ? QVariant(centsToAmount(cents)) : QVariant();
}

// What the printed line says beside its amounts: a receipt names its
// quotation's number first.
QString noteOf(const StatementLine& l) {
    if (l.kind != StatementLine::Kind::Receipt) {
        return l.remark;
    }
    return l.remark.isEmpty() ? l.quotationNo : l.quotationNo + QStringLiteral("；") + l.remark;
}

QVariant dayOrNull(const QDate& d) {
    return d.isValid() ? QVariant(d) : QVariant();
}
}  // namespace

CustomerStatement::CustomerStatement(Database& db) : m_db(db) {}

void CustomerStatement::check(const StatementFilter& filter) {
    StatisticsReport::checkPeriod({filter.openOnly ? QDate() : filter.from, filter.to});
}

QStringList CustomerStatement::statements(const ReceivableParty& party, const StatementFilter& filter,
                                          QVariantMap* params) {
    const QString partyCondition = party.condition(params);
    QString toCondition;
    const QVariant upper = Period{QDate(), filter.to}.upperBound();
    if (!upper.isNull()) {
        toCondition = QStringLiteral(" and (h.Keyin_Date<:upper or h.Keyin_Date is null)");
        params->insert(QStringLiteral("upper"), upper);
    }
    const QString where = QStringLiteral(" where h.state=1 and ") + partyCondition + toCondition;
    return {QStringLiteral("select h.BillNo, h.Keyin_Date, h.Send_Date, h.Remark, s.Total_Price "
                           "from Quotation_Head h left join Quotation_Sum s on s.BillNo=h.BillNo ") +
                ReceivableParty::partyJoin() + where,
            QStringLiteral("select r.BillNo, r.QuotationNo, r.keyin_Date, r.TotalPrice, r.BillType, r.remark "
                           "from Receipt_Head r join Quotation_Head h on h.BillNo=r.QuotationNo ") +
                ReceivableParty::partyJoin() + where};
}

Statement CustomerStatement::build(const ReceivableParty& party, const StatementFilter& filter) const {
    check(filter);
    const QDate from = filter.openOnly ? QDate() : filter.from;
    const QDate to = filter.to;
    Statement st;
    st.party = party;

    QVariantMap params;
    const QStringList sql = statements(party, filter, &params);

    QHash<QString, QString> kindNames;
    QSqlQuery k = m_db.query(
        QStringLiteral("select StatusValue, StatusName from Sys_Status_Describe where ParamentName='收据类型'"));
    while (k.next()) {
        kindNames.insert(k.value(0).toString().trimmed(), k.value(1).toString());
    }

    QList<StatementLine> quotations, receipts;
    QHash<QString, QuotationInfo> info;
    QSqlQuery q = m_db.query(sql[0], params);
    while (q.next()) {
        StatementLine line;
        line.kind = StatementLine::Kind::Quotation;
        line.billNo = q.value(0).toString();
        line.quotationNo = line.billNo;
        line.date = receivableDay(q.value(1));
        line.sendDate = receivableDay(q.value(2));
        line.remark = q.value(3).toString();
        line.receivable = receivableCents(q.value(4));
        line.kindName = QStringLiteral("订货单");
        info.insert(line.billNo, {line.date, line.receivable, 0});
        quotations << line;
    }
    QSqlQuery r = m_db.query(sql[1], params);
    while (r.next()) {
        StatementLine line;
        line.kind = StatementLine::Kind::Receipt;
        line.billNo = r.value(0).toString();
        line.quotationNo = r.value(1).toString();
        const QDate own = receivableDay(r.value(2));
        const QDate quotationDay = info.value(line.quotationNo).date;
        line.date = !own.isValid() || dayBefore(own, quotationDay) ? quotationDay : own;
        line.received = receivableCents(r.value(3));
        const QString type = r.value(4).toString().trimmed();
        line.kindName = kindNames.value(type, type.isEmpty() ? QStringLiteral("收据") : type);
        line.remark = r.value(5).toString();
        if (own.isValid() && own != line.date) {
            const QString note = QStringLiteral("收款日期 %1，早于订货单").arg(own.toString(Qt::ISODate));
            line.remark = line.remark.isEmpty() ? note : line.remark + QStringLiteral("；") + note;
        }
        if (to.isValid() && line.date.isValid() && line.date > to) {
            continue;
        }
        info[line.quotationNo].receivedByTo += line.received;
        receipts << line;
    }

    if (filter.openOnly) {
        // Only the quotations with something open on To, with their receipts.
        const auto closed = [&info](const StatementLine& l) {
            const QuotationInfo i = info.value(l.quotationNo);
            return i.receivable == i.receivedByTo;
        };
        quotations.removeIf(closed);
        receipts.removeIf(closed);
    }

    QList<StatementLine> lines = quotations + receipts;
    std::stable_sort(lines.begin(), lines.end(), [](const StatementLine& a, const StatementLine& b) {
        if (a.date != b.date) {
            return dayBefore(a.date, b.date);
        }
        // A day's quotations before its receipts; each by number.
        if (a.kind != b.kind) {
            return a.kind == StatementLine::Kind::Quotation;
        }
        if (a.quotationNo != b.quotationNo) {
            return a.quotationNo < b.quotationNo;
        }
        return a.billNo < b.billNo;
    });

    StatementLine opening;
    opening.kind = StatementLine::Kind::Opening;
    opening.kindName = QStringLiteral("上期结余");
    opening.date = from;
    QList<StatementLine> period;
    for (const StatementLine& l : lines) {
        if (from.isValid() && dayBefore(l.date, from)) {
            st.opening += l.receivable - l.received;
        } else {
            period << l;
        }
    }
    opening.balance = st.opening;
    st.lines << opening;
    qint64 balance = st.opening;
    for (StatementLine& l : period) {
        balance += l.receivable - l.received;
        l.balance = balance;
        st.periodReceivable += l.receivable;
        st.periodReceived += l.received;
        st.lines << l;
    }
    st.closing = balance;
    return st;
}

ReportRows CustomerStatement::rows(const QList<Statement>& statements) {
    ReportRows out;
    out.fields = {"PartyKey",
                  "ClientNo",
                  "ClientName",
                  "Client_Corp",
                  "Client_Telephone",
                  "Client_Address",
                  "Opening_Balance",
                  "Period_Receivable",
                  "Period_Received",
                  "Closing_Balance",
                  "LineDate",
                  "BillNo",
                  "Kind",
                  "QuotationNo",
                  "Receivable",
                  "Received",
                  "Balance",
                  "Send_Date",
                  "Remark",
                  "Note"};
    for (const Statement& st : statements) {
        for (const StatementLine& l : st.lines) {
            out.rows.append({st.party.key(),
                             st.party.clientNo,
                             st.party.name,
                             st.party.corpName,
                             st.party.telephone,
                             st.party.address,
                             centsToAmount(st.opening),
                             centsToAmount(st.periodReceivable),
                             centsToAmount(st.periodReceived),
                             centsToAmount(st.closing),
                             dayOrNull(l.date),
                             l.billNo,
                             l.kindName,
                             l.quotationNo,
                             amountOrNull(l.receivable, l.kind == StatementLine::Kind::Quotation),
                             amountOrNull(l.received, l.kind == StatementLine::Kind::Receipt),
                             centsToAmount(l.balance),
                             dayOrNull(l.sendDate),
                             l.remark,
                             noteOf(l)});
        }
    }
    return out;
}

ReportRows CustomerStatement::tsvRows(const QList<Statement>& statements) {
    ReportRows out;
    out.fields = {"ClientNo",    "ClientName", "BillDate", "BillNo",  "Kind",
                  "QuotationNo", "Receivable", "Received", "Balance", "Remark"};
    for (const Statement& st : statements) {
        for (const StatementLine& l : st.lines) {
            out.rows.append({st.party.clientNo, st.party.name, dayOrNull(l.date), l.billNo, l.kindName, l.quotationNo,
                             amountOrNull(l.receivable, l.kind == StatementLine::Kind::Quotation),
                             amountOrNull(l.received, l.kind == StatementLine::Kind::Receipt), centsToAmount(l.balance),
                             l.remark});
        }
    }
    return out;
}

QString CustomerStatement::periodText(const StatementFilter& filter) {
    if (filter.openOnly) {
        return QStringLiteral("截至 %1 未结清的订货单").arg(filter.to.toString(Qt::ISODate));
    }
    StatisticsFilter f;
    f.from = filter.from;
    f.to = filter.to;
    return StatisticsReport::periodText(f);
}

QVariantMap CustomerStatement::parameters(const StatementFilter& filter) const {
    QVariantMap p;
    p.insert(QStringLiteral("Report_Title"), caption());
    p.insert(QStringLiteral("Period_Text"), periodText(filter));
    QSqlQuery q = m_db.query(QStringLiteral(
        "select Corp_name, Corp_address, Corp_telephone, Bank_code, Tax_no from Sys_Corp order by id limit 1"));
    const bool found = q.next();
    p.insert(QStringLiteral("Sys_Corp_name"), found ? q.value(0).toString() : QString());
    p.insert(QStringLiteral("Sys_Corp_address"), found ? q.value(1).toString() : QString());
    p.insert(QStringLiteral("Sys_Corp_telephone"), found ? q.value(2).toString() : QString());
    p.insert(QStringLiteral("Sys_Corp_bank"), found ? q.value(3).toString() : QString());
    return p;
}
