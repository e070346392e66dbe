#include "reports/receivables_aging.h"

#include <QHash>
#include <QSqlQuery>
#include <algorithm>

#include "data/database.h"
#include "data/sqlite_row_reader.h"
#include "platform/errors.h"
#include "platform/period.h"
#include "reports/statistics_chart.h"
#include "reports/statistics_report.h"

namespace {
QString sectionName(bool overpaid) {
    return overpaid ? QStringLiteral("预收/多收") : QStringLiteral("应收");
}
}  // namespace

ReceivablesAging::ReceivablesAging(Database& db) : m_db(db) {}

QStringList ReceivablesAging::bucketNames() {
    return {QStringLiteral("0-30天"), QStringLiteral("31-60天"), QStringLiteral("61-90天"), QStringLiteral("91-180天"),
            QStringLiteral("180天以上")};
}

int ReceivablesAging::bucketOf(int days) {
    if (days <= 30) {
        return 0;
    }
    if (days <= 60) {
        return 1;
    }
    if (days <= 90) {
        return 2;
    }
    return days <= 180 ? 3 : 4;
}

ReceivablesAging::Result ReceivablesAging::build(const QDate& asOf) const {
    if (!asOf.isValid()) {
        throw UserError(QStringLiteral("请填写[截止日期]"));
    }
    StatisticsReport::checkPeriod({QDate(), asOf});

    Result result;
    result.asOf = asOf;
    // Receipts after the day are rare unless the day lies back: without
    // them what is open is what the kept totals say.
    QVariantMap params;
    const QVariant after = Period{QDate(), asOf}.upperBound();
    const bool receiptsAfter =
        !after.isNull() &&
        m_db.scalar(
                QStringLiteral("select count(*) from (select 1 from Receipt_Head where keyin_Date>=:after limit 1) t"),
                {{"after", after}})
                .toInt() > 0;
    const QString sql = statement(asOf, receiptsAfter, &params);
    QHash<QString, QString> recordNames;
    QSqlQuery clients = m_db.query(QStringLiteral("select Corp_code, Linkman_name from Client"));
    while (clients.next()) {
        recordNames.insert(clients.value(0).toString(), clients.value(1).toString().trimmed());
    }

    QHash<QString, int> lineOf[2];
    auto add = [&](const QVariant& code, const QVariant& typed, const QVariant& day, const QVariant& open) {
        const qint64 cents = receivableCents(open);
        if (cents == 0) {
            return;
        }
        const bool overpaid = cents < 0;
        ReceivableParty party;
        // A code no record has counts as the name typed beside it.
        const auto record = recordNames.constFind(code.toString());
        const bool hasRecord = !code.toString().isEmpty() && record != recordNames.constEnd();
        party.clientNo = hasRecord ? code.toString() : QString();
        party.typedName = hasRecord ? QString() : typed.toString();
        auto it = lineOf[overpaid].find(party.key());
        if (it == lineOf[overpaid].end()) {
            party.name =
                ReceivableParty::displayName(hasRecord ? record.value() : QString(), party.clientNo, party.typedName);
            Line line;
            line.party = party;
            line.overpaid = overpaid;
            it = lineOf[overpaid].insert(party.key(), static_cast<int>(result.lines.size()));
            result.lines.append(line);
        }
        Line& line = result.lines[it.value()];
        const QDate d = receivableDay(day);
        const int bucket = d.isValid() ? bucketOf(static_cast<int>(d.daysTo(asOf))) : kBuckets - 1;
        line.total += cents;
        line.quotations += 1;
        line.buckets[bucket] += cents;
        if (d.isValid() && (!line.oldest.isValid() || d < line.oldest)) {
            line.oldest = d;
        }
    };
    SqliteRowReader::Result direct;
    if (SqliteRowReader::readAll(m_db, sql, params, &direct)) {
        for (int r = 0; r < direct.rows.rowCount(); ++r) {
            const auto row = direct.rows.row(r);
            add(row[0], row[1], row[2], row[3]);
        }
    } else {
        QSqlQuery q = m_db.query(sql, params);
        while (q.next()) {
            add(q.value(0), q.value(1), q.value(2), q.value(3));
        }
    }

    std::stable_sort(result.lines.begin(), result.lines.end(), [](const Line& a, const Line& b) {
        if (a.overpaid != b.overpaid) {
            return !a.overpaid;
        }
        const qint64 sizeA = a.overpaid ? -a.total : a.total, sizeB = b.overpaid ? -b.total : b.total;
        if (sizeA != sizeB) {
            return sizeA > sizeB;
        }
        return a.party.name < b.party.name;
    });
    for (const Line& line : result.lines) {
        if (line.overpaid) {
            result.overpaid += line.total;
            continue;
        }
        result.owed += line.total;
        for (int b = 0; b < kBuckets; ++b) {
            result.owedBuckets[b] += line.buckets[b];
        }
    }
    return result;
}

QString ReceivablesAging::statement(const QDate& asOf, bool receiptsAfter, QVariantMap* params) {
    // What is open today less the receipts counted after the day: a
    // receipt counts on its own day, or its quotation's when that is later
    // (and the quotations read here are all of the day or before).
    QString lateJoin, until;
    QString open = QStringLiteral("s.Leave_money");
    const QVariant after = Period{QDate(), asOf}.upperBound();
    if (!after.isNull()) {
        params->insert(QStringLiteral("after2"), after);
        until = QStringLiteral(" and (h.Keyin_Date<:after2 or h.Keyin_Date is null)");
    }
    if (!after.isNull() && receiptsAfter) {
        // The receipts after the day, few unless the day lies far back.
        params->insert(QStringLiteral("after"), after);
        lateJoin = QStringLiteral(
            " left join (select QuotationNo, sum(TotalPrice) as late from Receipt_Head"
            " where keyin_Date>=:after group by QuotationNo) l on l.QuotationNo=h.BillNo");
        open = QStringLiteral("s.Leave_money+coalesce(l.late,0)");
    }
    // The customers' records are looked up apart, once each, not per quotation.
    return QStringLiteral("select h.ClientNo, h.Add_ClientName, h.Keyin_Date, ") + open +
           QStringLiteral(" as OpenAmount from Quotation_Head h join Quotation_Sum s on s.BillNo=h.BillNo ") +
           lateJoin + QStringLiteral(" where h.state=1") + until + QStringLiteral(" and ") + open +
           QStringLiteral("<>0");
}

ReportRows ReceivablesAging::rows(const Result& result) {
    ReportRows out;
    out.fields = {"Section",    "PartyKey", "ClientNo",  "ClientName", "Leave_money", "Quotations",
                  "OldestDate", "Days0_30", "Days31_60", "Days61_90",  "Days91_180",  "Over180"};
    for (const Line& l : result.lines) {
        QVector<QVariant> row{sectionName(l.overpaid),
                              l.party.key(),
                              l.party.clientNo,
                              l.party.name,
                              centsToAmount(l.total),
                              l.quotations,
                              l.oldest.isValid() ? QVariant(l.oldest) : QVariant()};
        // An empty bucket prints blank.
        for (qint64 b : l.buckets) {
            row << (b == 0 ? QVariant() : QVariant(centsToAmount(b)));
        }
        out.rows.append(row);
    }
    return out;
}

ReportRows ReceivablesAging::tsvRows(const Result& result) {
    ReportRows all = rows(result);
    ReportRows out;
    // Without the section and the key: the sign tells the overpaid apart.
    out.fields = all.fields.mid(2);
    for (const QVector<QVariant>& row : all.rows) {
        QVector<QVariant> line = row.mid(2);
        // Empty buckets are 0 here; the oldest date stays empty when none is known.
        for (int c = static_cast<int>(out.fields.indexOf(QStringLiteral("Days0_30"))); c < line.size(); ++c) {
            if (line[c].isNull()) {
                line[c] = 0;
            }
        }
        out.rows.append(line);
    }
    return out;
}

StatisticsChart ReceivablesAging::chart(const Result& result) {
    // Nothing owed: the chart says there is nothing rather than five empty bars.
    if (result.owed == 0) {
        return StatisticsChart::ofCategories(QStringLiteral("未收款账龄分布"), {}, {});
    }
    QList<double> values;
    for (qint64 b : result.owedBuckets) {
        values << centsToAmount(b);
    }
    return StatisticsChart::ofCategories(QStringLiteral("未收款账龄分布"), bucketNames(),
                                         {{QStringLiteral("未收款"), values, false}});
}

QVariantMap ReceivablesAging::parameters(const Result& result) const {
    QVariantMap p;
    p.insert(QStringLiteral("Report_Title"), caption());
    p.insert(QStringLiteral("AsOf_Text"), result.asOf.toString(Qt::ISODate));
    p.insert(QStringLiteral("Owed_Total"), centsToAmount(result.owed));
    p.insert(QStringLiteral("Overpaid_Total"), centsToAmount(result.overpaid));
    p.insert(QStringLiteral("Sys_Corp_name"),
             m_db.scalar(QStringLiteral("select Corp_name from Sys_Corp order by id limit 1")));
    return p;
}
