#include "reports/statistics_report.h"

#include <QHash>
#include <QSqlQuery>
#include <algorithm>

#include "data/cost_profit_right.h"
#include "data/database.h"
#include "data/field_def.h"
#include "data/payout_kind.h"
#include "data/permission_checker.h"
#include "data/sql_dialect.h"
#include "data/sqlite_row_reader.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/period.h"

namespace {
QString all() {
    return QStringLiteral("全部");
}

// Appends "and <column> >= :from and <column> < :to" for the bounds given,
// with parameter names of their own per use.
QString periodCondition(const QString& column, const StatisticsFilter& f, const QString& prefix, QVariantMap* params) {
    QString c;
    const Period period = f.period();
    if (!period.lowerBound().isNull()) {
        c += QStringLiteral(" and %1>=:%2from").arg(column, prefix);
        params->insert(prefix + "from", period.lowerBound());
    }
    if (!period.upperBound().isNull()) {
        c += QStringLiteral(" and %1<:%2to").arg(column, prefix);
        params->insert(prefix + "to", period.upperBound());
    }
    return c;
}

// The condition of a part on the column that orders the rows, with
// parameters of its own.
QString partCondition(const QString& column, const StatisticsPart* part, const QString& prefix, QVariantMap* params) {
    if (!part) {
        return {};
    }
    if (part->undated) {
        return QStringLiteral(" and %1 is null").arg(column);
    }
    StatisticsFilter bounds;
    bounds.from = part->from;
    bounds.to = part->to.isValid() ? part->to.addDays(-1) : QDate();
    return periodCondition(column, bounds, prefix, params);
}

QVariant asDate(const QVariant& v) {
    if (v.isNull()) {
        return v;
    }
    if (v.typeId() == QMetaType::QDate) {
        return v;
    }
    if (v.typeId() == QMetaType::QDateTime) {
        return v.toDateTime().date();
    }
    const QString text = v.toString();
    const QDate d = QDate::fromString(text.left(10), Qt::ISODate);
    return d.isValid() ? QVariant(d) : v;
}

QVariant asDateTime(const QVariant& v) {
    if (v.isNull() || v.typeId() == QMetaType::QDateTime) {
        return v;
    }
    if (v.typeId() == QMetaType::QDate) {
        return v.toDate().startOfDay();
    }
    const QString text = v.toString();
    QDateTime dt = QDateTime::fromString(text.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dt.isValid()) {
        dt = QDateTime::fromString(text, Qt::ISODate);
    }
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(text.left(10), Qt::ISODate);
        if (d.isValid()) {
            dt = d.startOfDay();
        }
    }
    return dt.isValid() ? QVariant(dt) : v;
}

// A conversion of text through the texts already converted: a long report
// repeats its days and times many times over.
QVariant converted(const QVariant& v, QHash<QString, QVariant>& done, QVariant (*convert)(const QVariant&)) {
    if (v.typeId() != QMetaType::QString) {
        return convert(v);
    }
    const QString text = v.toString();
    auto it = done.constFind(text);
    if (it == done.constEnd()) {
        it = done.insert(text, convert(v));
    }
    return it.value();
}
}  // namespace

StatisticsReport::StatisticsReport(Database& db) : m_db(db) {}

QString StatisticsReport::windowName(Kind kind) {
    switch (kind) {
        case Kind::Income:
            return QStringLiteral("Report_Dusmere_IncomePriceDetail_Frm");
        case Kind::Payout:
            return QStringLiteral("Report_Dusmere_payout_Frm");
        case Kind::Profit:
            return QStringLiteral("Report_Dusmere_gain_frm");
    }
    return {};
}

QString StatisticsReport::caption(Kind kind) {
    switch (kind) {
        case Kind::Income:
            return QStringLiteral("收入统计");
        case Kind::Payout:
            return QStringLiteral("支出统计");
        case Kind::Profit:
            return QStringLiteral("利润统计");
    }
    return {};
}

QString StatisticsReport::templateName(Kind kind) {
    switch (kind) {
        case Kind::Income:
            return QStringLiteral("Korvan_TongJi_ShouRu.zrm");
        case Kind::Payout:
            return QStringLiteral("Korvan_TongJi_ZhiChu.zrm");
        case Kind::Profit:
            return QStringLiteral("Korvan_TongJi_LiRun.zrm");
    }
    return {};
}

QStringList StatisticsReport::kindChoices() {
    QStringList choices{all()};
    for (const PayoutKind& k : PayoutKind::all()) {
        choices << k.title;
    }
    return choices;
}

bool StatisticsReport::subjectOfChoice(const QString& choice, QString* subject) {
    if (choice.isEmpty() || choice == all()) {
        subject->clear();
        return true;
    }
    for (const PayoutKind& k : PayoutKind::all()) {
        if (k.title == choice) {
            *subject = k.subject;
            return true;
        }
    }
    return false;
}

void StatisticsReport::checkPeriod(const Period& period) {
    for (const QDate& d : {period.from, period.to}) {
        if (d.isValid() && !HeldDates::holds(d)) {
            throw UserError(
                QStringLiteral("日期 %1 超出范围：%2").arg(d.toString(Qt::ISODate), HeldDates::rangeText()));
        }
    }
    period.check();
}

void StatisticsReport::check(Kind kind, const StatisticsFilter& filter) {
    checkPeriod(filter.period());
    QString subject;
    if (kind == Kind::Payout && !subjectOfChoice(filter.kind, &subject)) {
        throw UserError(QStringLiteral("没有这种支出类型: %1").arg(filter.kind));
    }
}

QString StatisticsReport::rowSource(Kind kind, const StatisticsFilter& filter, const StatisticsPart* part,
                                    QVariantMap* params, QString* dated) const {
    check(kind, filter);
    if (isCostView(kind) && !m_showsCost) {
        throw UserError(PermissionChecker::refusalText());
    }
    params->clear();
    switch (kind) {
        case Kind::Income:
            *dated = QStringLiteral("s.Keyin_date");
            return QStringLiteral(
                       " from Receipt_head s join Query_Quotation_Head_list h on s.QuotationNo=h.billno"
                       " left join Client c on c.Corp_code=h.ClientNo where h.state=1%1")
                .arg(periodCondition(QStringLiteral("s.Keyin_date"), filter, QStringLiteral("s"), params) +
                     partCondition(QStringLiteral("s.Keyin_date"), part, QStringLiteral("ps"), params));
        case Kind::Payout: {
            QString conditions = periodCondition(QStringLiteral("a.paytime"), filter, QStringLiteral("p"), params) +
                                 partCondition(QStringLiteral("a.paytime"), part, QStringLiteral("pp"), params);
            QString subject;
            subjectOfChoice(filter.kind, &subject);
            if (!subject.isEmpty()) {
                conditions += QStringLiteral(" and a.subject=:subject");
                params->insert(QStringLiteral("subject"), subject);
            }
            if (filter.remark != all()) {
                if (filter.remark.isEmpty()) {
                    conditions += QStringLiteral(" and (a.remark is null or a.remark='')");
                } else {
                    conditions += QStringLiteral(" and lower(a.remark) like lower(:remark) escape '!'");
                    params->insert(QStringLiteral("remark"), likeContainsPattern(filter.remark));
                }
            }
            *dated = QStringLiteral("a.paytime");
            return QStringLiteral(
                       " from payout a left join Sys_Status_Describe b on b.StatusValue=a.subject"
                       " and b.ParamentName='费用名目' where 1=1%1")
                .arg(conditions);
        }
        case Kind::Profit: {
            const QString payouts = periodCondition(QStringLiteral("a.paytime"), filter, QStringLiteral("p"), params) +
                                    partCondition(QStringLiteral("a.paytime"), part, QStringLiteral("pp"), params);
            const QString receipts =
                periodCondition(QStringLiteral("s.Keyin_date"), filter, QStringLiteral("s"), params) +
                partCondition(QStringLiteral("s.Keyin_date"), part, QStringLiteral("ps"), params);
            *dated = QStringLiteral("t.billdate");
            // A ledger of payouts and receipts; each side carries the order
            // it was entered in.
            return QStringLiteral(
                       " from (select a.paytime as billdate,coalesce(b.StatusName,a.subject) as subject_name,"
                       "0 as Income_price,a.totalprice as PayoutPrice,a.remark as remark,0 as side,a.id as seq"
                       " from payout a left join Sys_Status_Describe b on b.StatusValue=a.subject"
                       " and b.ParamentName='费用名目' where 1=1%1"
                       " union all "
                       "select s.keyin_Date,'收款收据',s.TotalPrice,0,"
                       "coalesce(h.Rummery,'')||case when coalesce(h.Client_name,'')='' then '' else"
                       " '('||h.Client_name||')' end,1,s.id"
                       " from Receipt_Head s, Query_tmp h where s.QuotationNo=h.BillNo and h.state=1%2) t")
                .arg(payouts, receipts);
        }
    }
    Q_UNREACHABLE();
}

QString StatisticsReport::statement(Kind kind, const StatisticsFilter& filter, QVariantMap* params,
                                    const StatisticsPart* part) const {
    QString dated;
    const QString source = rowSource(kind, filter, part, params, &dated);
    const SqlDialect& d = m_db.dialect();
    const QString day = d.dayOf(dated);
    switch (kind) {
        case Kind::Income: {
            // The quotation's row of the list, without its costs and
            // profits for those who may not see them.
            const QString head = m_showsCost ? QStringLiteral("h.*")
                                             : CostProfitRight::quotationColumnsWithoutCost(m_db, QStringLiteral("h."));
            return QStringLiteral(
                       "select %4,s.keyin_Date as Payday,s.TotalPrice as PayPrice,s.BillNo as Receipt_BillNo,"
                       "(select count(*) from Receipt_head r where r.QuotationNo=h.billno%1) as ReceiptBillCount,"
                       // The customer as the quotation list names it: the
                       // name typed on the quotation, else its record's.
                       "coalesce(nullif(h.Add_ClientName,''),c.Linkman_name,'') as Client_name,"
                       "%2 as BillDay%3"
                       " order by case when s.Keyin_date is null then 0 else 1 end,%2,h.billno,s.billno")
                .arg(periodCondition(QStringLiteral("r.Keyin_date"), filter, QStringLiteral("c"), params), day, source,
                     head);
        }
        case Kind::Payout:
            return QStringLiteral(
                       "select a.*,coalesce(b.StatusName,a.subject) as statusname,%1 as BillDay%2"
                       " order by %1,%3,%4,a.id")
                .arg(day, source, d.byteOrder(QStringLiteral("a.subject")),
                     d.byteOrder(QStringLiteral("coalesce(a.remark,'')")));
        case Kind::Profit:
            // Payouts before receipts of the same moment; each side in the
            // order it was entered.
            return QStringLiteral(
                       "select t.billdate,t.subject_name,t.Income_price,t.PayoutPrice,t.remark,%1 as BillDay%2"
                       " order by case when t.billdate is null then 0 else 1 end,t.billdate,t.side,t.seq")
                .arg(day, source);
    }
    return {};
}

QString StatisticsReport::monthlyStatement(Kind kind, const StatisticsFilter& filter, QVariantMap* params) const {
    QString dated;
    const QString source = rowSource(kind, filter, nullptr, params, &dated);
    const QString month = m_db.dialect().monthOf(dated);
    switch (kind) {
        case Kind::Income:
            return QStringLiteral("select %1 as Month,sum(s.TotalPrice) as Income%2 group by 1").arg(month, source);
        case Kind::Payout:
            return QStringLiteral(
                       "select %1 as Month,sum(a.totalprice) as Payout,coalesce(b.StatusName,a.subject) as statusname,"
                       "a.subject as subject%2 group by 1,3,4")
                .arg(month, source);
        case Kind::Profit:
            return QStringLiteral(
                       "select %1 as Month,sum(t.Income_price) as Income,sum(t.PayoutPrice) as Payout%2 group by 1")
                .arg(month, source);
    }
    return {};
}

ReportRows StatisticsReport::monthly(Kind kind, const StatisticsFilter& filter) const {
    QVariantMap params;
    const QString sql = monthlyStatement(kind, filter, &params);
    QSqlQuery q = m_db.query(sql, params);
    return ReportRows::fromQuery(q);
}

ReportRows StatisticsReport::rows(Kind kind, const StatisticsFilter& filter, const StatisticsPart* part) const {
    QVariantMap params;
    const QString sql = statement(kind, filter, &params, part);
    // SQLite hands dates back as text: the report groups and the chart
    // counts by real dates. Every date-time column of the tables the rows
    // come from, and the statements' own date columns, by name.
    QStringList timeNames{QStringLiteral("Payday"), QStringLiteral("billdate")};
    for (const char* table : {"Quotation_Head", "Receipt_Head", "payout"}) {
        for (const FieldDef& f : TableSchema::columns(m_db, QString::fromLatin1(table))) {
            if (f.type == FieldDef::Type::DateTime) {
                timeNames << f.name;
            }
        }
    }
    QList<int> dayColumns, timeColumns;
    auto findColumns = [&](const ReportRows& named) {
        dayColumns = {named.fieldIndex(QStringLiteral("BillDay"))};
        for (const QString& name : timeNames) {
            const int c = named.fieldIndex(name);
            if (c >= 0 && !timeColumns.contains(c)) {
                timeColumns << c;
            }
        }
    };
    ReportRows rows;
    // Ten years of receipts and payouts are hundreds of thousands of rows:
    // an embedded book's are read straight from SQLite, in a fraction of
    // the driver's time, and each distinct date converted once.
    SqliteRowReader::Result direct;
    if (SqliteRowReader::readAll(m_db, sql, params, &direct)) {
        rows.fields = direct.names;
        findColumns(rows);
        for (int c : dayColumns) {
            if (c >= 0) {
                direct.rows.convertColumn(c, asDate);
            }
        }
        for (int c : timeColumns) {
            direct.rows.convertColumn(c, asDateTime);
        }
        rows.rows.reserve(direct.rows.rowCount());
        for (int r = 0; r < direct.rows.rowCount(); ++r) {
            rows.rows.append(direct.rows.row(r));
        }
        return rows;
    }
    QSqlQuery q = m_db.query(sql, params);
    rows = ReportRows::fromQuery(q);
    findColumns(rows);
    QHash<QString, QVariant> days, times;
    for (QVector<QVariant>& row : rows.rows) {
        for (int c : dayColumns) {
            if (c >= 0) {
                row[c] = converted(row[c], days, asDate);
            }
        }
        for (int c : timeColumns) {
            row[c] = converted(row[c], times, asDateTime);
        }
    }
    return rows;
}

ReportRows StatisticsReport::monthlyOf(Kind kind, const ReportRows& rows) {
    ReportRows sums;
    const int day = rows.fieldIndex(QStringLiteral("BillDay"));
    int income = -1, payout = -1, name = -1, subject = -1;
    switch (kind) {
        case Kind::Income:
            sums.fields = {QStringLiteral("Month"), QStringLiteral("Income")};
            income = rows.fieldIndex(QStringLiteral("PayPrice"));
            break;
        case Kind::Payout:
            sums.fields = {QStringLiteral("Month"), QStringLiteral("Payout"), QStringLiteral("statusname"),
                           QStringLiteral("subject")};
            payout = rows.fieldIndex(QStringLiteral("totalprice"));
            name = rows.fieldIndex(QStringLiteral("statusname"));
            subject = rows.fieldIndex(QStringLiteral("subject"));
            break;
        case Kind::Profit:
            sums.fields = {QStringLiteral("Month"), QStringLiteral("Income"), QStringLiteral("Payout")};
            income = rows.fieldIndex(QStringLiteral("Income_price"));
            payout = rows.fieldIndex(QStringLiteral("PayoutPrice"));
            break;
    }
    if (day < 0) {
        return sums;
    }
    // Keyed by the month's number and, for payouts, the kind's name and code.
    QHash<std::pair<int, QString>, qsizetype> found;
    for (const auto& row : rows.rows) {
        const QDate date = row[day].toDate();
        if (!date.isValid()) {
            continue;
        }
        const QString kindKey = name >= 0 ? row[name].toString() + QChar(0) + row[subject].toString() : QString();
        const std::pair<int, QString> key{date.year() * 12 + date.month() - 1, kindKey};
        auto it = found.find(key);
        if (it == found.end()) {
            QVector<QVariant> line{date.toString(QStringLiteral("yyyy-MM"))};
            for (int side : {income, payout}) {
                if (side >= 0) {
                    line << 0.0;
                }
            }
            if (name >= 0) {
                line << row[name] << row[subject];
            }
            it = found.insert(key, sums.rows.size());
            sums.rows.append(line);
        }
        QVector<QVariant>& line = sums.rows[*it];
        int column = 1;
        for (int side : {income, payout}) {
            if (side >= 0) {
                line[column] = line[column].toDouble() + row[side].toDouble();
                ++column;
            }
        }
    }
    return sums;
}

QList<StatisticsPart> StatisticsReport::parts(Kind kind, const StatisticsFilter& filter) const {
    check(kind, filter);
    // The first and last dates the book holds, within the filter's: the
    // parts cover the rows there are, however wide the period asked.
    QDate first, last;
    {
        QSqlQuery q = m_db.query(
            QStringLiteral("select (select min(paytime) from payout),(select max(paytime) from payout),"
                           "(select min(Keyin_date) from Receipt_Head),(select max(Keyin_date) from Receipt_Head)"));
        QList<QDate> found;
        if (q.next()) {
            for (int i = 0; i < 4; ++i) {
                const bool used = kind == Kind::Profit || (kind == Kind::Payout) == (i < 2);
                const QVariant day = asDate(q.value(i));
                if (used && day.typeId() == QMetaType::QDate && day.toDate().isValid()) {
                    found << day.toDate();
                }
            }
        }
        std::sort(found.begin(), found.end());
        if (!found.isEmpty()) {
            first = filter.from.isValid() ? std::max(filter.from, found.first()) : found.first();
            last = filter.to.isValid() ? std::min(filter.to, found.last()) : found.last();
        }
    }
    // Receipts without a date come first, as the statements order them;
    // a period with a From has none, and a payout always has its date.
    QList<StatisticsPart> out;
    if (!filter.from.isValid() && kind != Kind::Payout) {
        out.append({true, {}, {}});
    }
    // Each part's ends are days; the first is open below and the last
    // above, so nothing the filter takes falls between them.
    QDate from;
    if (first.isValid() && last.isValid()) {
        // The first week alone: its rows are enough for the first pages,
        // and they cross a slow line in a fraction of a month's time.
        const QDate week = first.addDays(7);
        if (week <= last && week < QDate(first.year(), first.month(), 1).addMonths(1)) {
            out.append({false, from, week});
            from = week;
        }
        // Then a month at a time: a reader joins as many as it reads in a
        // moment.
        QDate end = QDate(first.year(), first.month(), 1);
        for (;;) {
            end = end.addMonths(1);
            if (!end.isValid() || end > last) {
                break;
            }
            out.append({false, from, end});
            from = end;
        }
    }
    out.append({false, from, {}});
    return out;
}

StatisticsPart StatisticsReport::takeJoined(QList<StatisticsPart>* parts, int months) {
    StatisticsPart part = parts->takeFirst();
    // The first dated part (open below) stays a week, for the first pages.
    if (part.undated || !part.from.isValid()) {
        return part;
    }
    for (int i = 1; i < months && part.to.isValid() && !parts->isEmpty(); ++i) {
        part.to = parts->takeFirst().to;
    }
    return part;
}

QString StatisticsReport::periodText(const StatisticsFilter& filter) {
    const QString from = filter.from.toString(Qt::ISODate);
    const QString to = filter.to.toString(Qt::ISODate);
    if (filter.from.isValid() && filter.to.isValid()) {
        return from + QStringLiteral(" 至 ") + to;
    }
    if (filter.from.isValid()) {
        return from + QStringLiteral(" 起");
    }
    if (filter.to.isValid()) {
        return QStringLiteral("截至 ") + to;
    }
    return QStringLiteral("全部日期");
}

QVariantMap StatisticsReport::parameters(Kind kind, const StatisticsFilter& filter) const {
    QVariantMap p;
    p.insert(QStringLiteral("Report_Title"), caption(kind));
    p.insert(QStringLiteral("Period_Text"), periodText(filter));
    p.insert(QStringLiteral("Kind_Text"), filter.kind.isEmpty() ? all() : filter.kind);
    p.insert(QStringLiteral("Remark_Text"),
             filter.remark == all() ? filter.remark
                                    : (filter.remark.isEmpty() ? QStringLiteral("(无备注)")
                                                               : QStringLiteral("含“%1”").arg(filter.remark)));
    p.insert(QStringLiteral("Sys_Corp_name"),
             m_db.scalar(QStringLiteral("select Corp_name from Sys_Corp order by id limit 1")));
    return p;
}

QStringList StatisticsReport::remarkChoices(const QString& kindChoice) const {
    QStringList out{all()};
    QString subject;
    if (!subjectOfChoice(kindChoice, &subject)) {
        return out;
    }
    QVariantMap params;
    QString sql = QStringLiteral(
        "select t.remark from (select distinct remark from payout where remark is not null and remark<>''");
    if (!subject.isEmpty()) {
        sql += QStringLiteral(" and subject=:subject");
        params.insert(QStringLiteral("subject"), subject);
    }
    sql += QStringLiteral(") t order by ") + m_db.dialect().byteOrder(QStringLiteral("t.remark"));
    QSqlQuery q = m_db.query(sql, params);
    while (q.next()) {
        out << q.value(0).toString();
    }
    return out;
}
