#include "tools/ctl_payouts.h"

#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/schema_names.h"
#include "documents/payout_editor.h"
#include "documents/payout_list.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/period.h"
#include "reports/statistics_chart.h"
#include "reports/statistics_report.h"
#include "tools/ctl_arguments.h"
#include "tools/ctl_documents.h"
#include "tools/ctl_reports.h"

namespace {
const QString kListForm = QStringLiteral("frm_payout");
const QString kEditForm = QStringLiteral("frm_payout_edit");

// The main window's entry that opens the payout list of a kind.
QString listEntry(int kind) {
    switch (kind) {
        case 0:
            return QStringLiteral("Action16");
        case 1:
            return QStringLiteral("Action17");
        case 2:
            return QStringLiteral("Action18");
        default:
            return QStringLiteral("Action19");
    }
}

// Refuses a payout kind that is none of the lists', naming those there are.
QString unknownKindText(const QString& text) {
    return QStringLiteral("没有这种支出类型: %1（0 运输费、1 工资、2 日杂费、3 或 4 汇款）").arg(text);
}

bool statsKind(const QString& text, StatisticsReport::Kind* kind) {
    if (text == "income") {
        *kind = StatisticsReport::Kind::Income;
    } else if (text == "payout") {
        *kind = StatisticsReport::Kind::Payout;
    } else if (text == "profit") {
        *kind = StatisticsReport::Kind::Profit;
    } else {
        return false;
    }
    return true;
}

}  // namespace

CtlPayouts::CtlPayouts(CtlSession& session)
    : m_session(session),
      m_context(session.context()),
      m_out(session.out()),
      m_err(session.err()),
      m_prompter(session.prompter()) {}

bool CtlPayouts::parse(const QString& command, const QStringList& args, CtlArguments* parsed) {
    if (command == "stats") {
        StatisticsReport::Kind kind;
        return parsed->parse(args, {}, {"--from", "--to", "--kind", "--remark", "--out"}) &&
               parsed->words().size() == 1 && statsKind(parsed->word(0), &kind) && parsed->has("--out");
    }
    if (args.value(0) == "add") {
        return parsed->parse(args, {}, {"--remark"}) && parsed->words().size() == 4;
    }
    if (args.value(0) == "list") {
        return parsed->parse(args, {}, {"--from", "--to"}) && parsed->words().size() == 2;
    }
    return false;
}

bool CtlPayouts::wellFormed(const QString& command, const QStringList& args) {
    CtlArguments parsed;
    return parse(command, args, &parsed);
}

int CtlPayouts::run(const QString& command, const QStringList& args) {
    CtlArguments a;
    parse(command, args, &a);
    if (command == "stats") {
        return stats(a);
    }
    return a.word(0) == "add" ? add(a) : list(a);
}

QDate CtlPayouts::parseDate(const QString& text) {
    if (text.isEmpty()) {
        return {};
    }
    const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid() || d < HeldDates::first()) {
        throw UserError(QStringLiteral("日期[%1]不对，应写成 YYYY-MM-DD（%2 以后）")
                            .arg(text, HeldDates::first().toString(Qt::ISODate)));
    }
    return d;
}

// The payout is added as the list's "添加" and the editor's "保存并关闭" do
// it, with the editor's checks; a refused payout writes nothing.
int CtlPayouts::add(const CtlArguments& a) {
    PayoutKind kind;
    if (!PayoutKind::parse(a.word(1), &kind)) {
        throw UserError(unknownKindText(a.word(1)));
    }
    const QDate day = parseDate(a.word(2));
    if (!day.isValid()) {
        throw UserError(QStringLiteral("请填写[费用发生日期]"));
    }
    bool ok = false;
    const qint64 amount = a.word(3).toLongLong(&ok);
    if (!ok) {
        throw UserError(QStringLiteral("[支出金额]必须是整数，不能是\"%1\"").arg(a.word(3)));
    }
    const bool hasRemark = a.has("--remark");
    const QString remark = a.value("--remark");
    if (!m_session.actingUserMay(listEntry(kind.kind), QStringLiteral("main_frm")) ||
        !m_session.actingUserMay(QStringLiteral("Action_Add"), kListForm) ||
        !m_session.actingUserMay(QStringLiteral("Action_SaveAndExit"), kEditForm)) {
        return 3;
    }
    PayoutList list(m_context.data().main(), m_prompter, kind.kind);
    list.open();
    PayoutEditor editor(list, m_prompter, m_context.clock().today(), PayoutEditor::New);
    Dataset& rows = list.rows();
    rows.setValue("paytime", day.startOfDay());
    rows.setValue("totalprice", amount);
    if (hasRemark) {
        rows.setValue("remark", remark);
    }
    if (!editor.saveAndClose()) {
        m_session.flushMessages();
        return 1;
    }
    m_out << rows.value("id").toString() << Qt::endl;
    return 0;
}

int CtlPayouts::list(const CtlArguments& a) {
    PayoutKind kind;
    if (!PayoutKind::parse(a.word(1), &kind)) {
        throw UserError(unknownKindText(a.word(1)));
    }
    const QDate from = parseDate(a.value("--from"));
    const QDate to = parseDate(a.value("--to"));
    const Period period{from, to};
    period.check();
    // The listing is the list the main window's entry of the kind opens.
    if (!m_session.actingUserMay(listEntry(kind.kind), QStringLiteral("main_frm"))) {
        return 3;
    }
    PayoutList payouts(m_context.data().main(), m_prompter, kind.kind);
    payouts.open();
    Dataset& rows = payouts.rows();
    // Oldest first, then as entered: a listing to read from the top.
    QList<int> shown;
    for (int r = 0; r < rows.rowCount(); ++r) {
        const QDate d = rows.value(r, "paytime").toDateTime().date();
        if (period.contains(d)) {
            shown.append(r);
        }
    }
    std::stable_sort(shown.begin(), shown.end(), [&rows](int a, int b) {
        const QDateTime x = rows.value(a, "paytime").toDateTime(), y = rows.value(b, "paytime").toDateTime();
        return x != y ? x < y : rows.value(a, "id").toLongLong() < rows.value(b, "id").toLongLong();
    });
    const QStringList columns{"id", "paytime", "subject", "totalprice", "remark"};
    m_out << columns.join('\t') << Qt::endl;
    qint64 total = 0;
    for (int r : shown) {
        QStringList cells;
        for (const QString& c : columns) {
            cells << CtlDocuments::escaped(CtlDocuments::plainText(rows.field(c), rows.value(r, c)));
        }
        total += rows.value(r, "totalprice").toLongLong();
        m_out << cells.join('\t') << '\n';
    }
    m_err << QStringLiteral("共 %1 条记录, 合计：%2").arg(shown.size()).arg(total) << Qt::endl;
    return 0;
}

int CtlPayouts::stats(const CtlArguments& a) {
    StatisticsReport::Kind kind;
    statsKind(a.word(0), &kind);
    StatisticsFilter filter;
    filter.from = parseDate(a.value("--from"));
    filter.to = parseDate(a.value("--to"));
    const bool hasKind = a.has("--kind");
    const bool hasRemark = a.has("--remark");
    if (kind != StatisticsReport::Kind::Payout && (hasKind || hasRemark)) {
        throw UserError(QStringLiteral("--kind 和 --remark 只用于支出统计"));
    }
    const QString kindText = a.value("--kind");
    if (hasKind && kindText != QStringLiteral("全部")) {
        PayoutKind k;
        if (!PayoutKind::parse(kindText, &k)) {
            throw UserError(unknownKindText(kindText));
        }
        filter.kind = k.title;
    }
    const QString remark = a.value("--remark");
    if (hasRemark) {
        filter.remark = remark;
    }
    const QString outFile = a.value("--out");
    const bool tsv = CtlReports::wantsTsv(outFile);
    // The main window's entry of each statistics window carries its right.
    const char* entry = kind == StatisticsReport::Kind::Income   ? "Action9"
                        : kind == StatisticsReport::Kind::Payout ? "Action10"
                                                                 : "Action11";
    if (!m_session.actingUserMay(QString::fromLatin1(entry), QStringLiteral("main_frm"))) {
        return 3;
    }
    // Costs and profits only for those who may see them: the profit
    // statistics not at all, the others without those columns.
    if (StatisticsReport::isCostView(kind) &&
        !m_session.actingUserMay(CostProfitRight::actionName(), CostProfitRight::formName())) {
        return 3;
    }
    PermissionChecker permissions(m_context.data().main(), m_context.CurrentUser);
    StatisticsReport report(m_context.data().main());
    report.setShowsCost(CostProfitRight::heldBy(permissions));
    const ReportRows rows = report.rows(kind, filter);

    CtlReports reports(m_session);
    if (tsv) {
        // What `report --rows` reads back as it was, under the names the
        // book's tables spell (a server gives them in lower case).
        ReportRows named = rows;
        for (QString& field : named.fields) {
            field = SchemaNames::canonical(field);
        }
        reports.writeTsv(named, outFile);
        return 0;
    }
    reports.writeShipped(StatisticsReport::templateName(kind), rows, outFile, report.parameters(kind, filter),
                         {{QStringLiteral("chart"), StatisticsChart::fromRows(kind, rows).printedImage()}});
    return 0;
}
