#include "tools/ctl_payouts.h"

#include <QFileInfo>

#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/schema_names.h"
#include "documents/payout_editor.h"
#include "documents/payout_list.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "reports/engine/report_exporter.h"
#include "reports/engine/report_preparer.h"
#include "reports/engine/report_template.h"
#include "reports/statistics_chart.h"
#include "reports/statistics_report.h"

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

// The options each command takes, all with a value.
bool optionsWellFormed(const QStringList& rest, const QStringList& names) {
    for (int i = 0; i < rest.size(); i += 2) {
        if (!names.contains(rest[i]) || i + 1 >= rest.size()) {
            return false;
        }
        // An option given twice is a slip, not a choice.
        if (rest.indexOf(rest[i], i + 1) >= 0 && rest.indexOf(rest[i], i + 1) % 2 == 0) {
            return false;
        }
    }
    return true;
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

CtlPayouts::CtlPayouts(AppContext& context, QTextStream& out, QTextStream& err, const QString& userName)
    : m_context(context), m_out(out), m_err(err), m_documents(context, out, err, userName) {}

bool CtlPayouts::wellFormed(const QString& command, const QStringList& args) {
    if (command == "stats") {
        StatisticsReport::Kind kind;
        return !args.isEmpty() && statsKind(args[0], &kind) &&
               optionsWellFormed(args.mid(1), {"--from", "--to", "--kind", "--remark", "--out"}) &&
               args.mid(1).contains(QStringLiteral("--out"));
    }
    if (args.isEmpty()) {
        return false;
    }
    if (args[0] == "add") {
        return args.size() >= 4 && optionsWellFormed(args.mid(4), {"--remark"});
    }
    if (args[0] == "list") {
        return args.size() >= 2 && optionsWellFormed(args.mid(2), {"--from", "--to"});
    }
    return false;
}

int CtlPayouts::run(const QString& command, const QStringList& args) {
    try {
        if (command == "stats") {
            return stats(args);
        }
        return args[0] == "add" ? add(args) : list(args);
    } catch (const std::exception& e) {
        flushMessages();
        m_err << userTextOf(e) << Qt::endl;
        return 1;
    }
}

QString CtlPayouts::option(const QStringList& args, const QString& name, bool* present) {
    for (int i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == name) {
            if (present) {
                *present = true;
            }
            return args[i + 1];
        }
    }
    if (present) {
        *present = false;
    }
    return {};
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

void CtlPayouts::flushMessages() {
    for (const ScriptedPrompter::Message& m : m_prompter.messages()) {
        m_err << m.text << Qt::endl;
    }
    m_prompter.clear();
}

// The payout is added as the list's "添加" and the editor's "保存并关闭" do
// it, with the editor's checks; a refused payout writes nothing.
int CtlPayouts::add(const QStringList& args) {
    PayoutKind kind;
    if (!PayoutKind::parse(args[1], &kind)) {
        throw UserError(QStringLiteral("没有这种支出类型: %1（0 运输费、1 工资、2 日杂费、3 或 4 汇款）").arg(args[1]));
    }
    const QDate day = parseDate(args[2]);
    if (!day.isValid()) {
        throw UserError(QStringLiteral("请填写[费用发生日期]"));
    }
    bool ok = false;
    const qint64 amount = args[3].toLongLong(&ok);
    if (!ok) {
        throw UserError(QStringLiteral("[支出金额]必须是整数，不能是\"%1\"").arg(args[3]));
    }
    bool hasRemark = false;
    const QString remark = option(args.mid(4), QStringLiteral("--remark"), &hasRemark);
    if (!m_documents.actingUserMay(listEntry(kind.kind), QStringLiteral("main_frm")) ||
        !m_documents.actingUserMay(QStringLiteral("Action_Add"), kListForm) ||
        !m_documents.actingUserMay(QStringLiteral("Action_SaveAndExit"), kEditForm)) {
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
        flushMessages();
        return 1;
    }
    m_out << rows.value("id").toString() << Qt::endl;
    return 0;
}

int CtlPayouts::list(const QStringList& args) {
    PayoutKind kind;
    if (!PayoutKind::parse(args[1], &kind)) {
        throw UserError(QStringLiteral("没有这种支出类型: %1（0 运输费、1 工资、2 日杂费、3 或 4 汇款）").arg(args[1]));
    }
    const QStringList rest = args.mid(2);
    const QDate from = parseDate(option(rest, QStringLiteral("--from")));
    const QDate to = parseDate(option(rest, QStringLiteral("--to")));
    requireOrderedPeriod(from, to);
    // The listing is the list the main window's entry of the kind opens.
    if (!m_documents.actingUserMay(listEntry(kind.kind), QStringLiteral("main_frm"))) {
        return 3;
    }
    PayoutList payouts(m_context.data().main(), m_prompter, kind.kind);
    payouts.open();
    Dataset& rows = payouts.rows();
    // Oldest first, then as entered: a listing to read from the top.
    QList<int> shown;
    for (int r = 0; r < rows.rowCount(); ++r) {
        const QDate d = rows.value(r, "paytime").toDateTime().date();
        if ((!from.isValid() || d >= from) && (!to.isValid() || d <= to)) {
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

int CtlPayouts::stats(const QStringList& args) {
    StatisticsReport::Kind kind;
    statsKind(args[0], &kind);
    const QStringList rest = args.mid(1);
    StatisticsFilter filter;
    filter.from = parseDate(option(rest, QStringLiteral("--from")));
    filter.to = parseDate(option(rest, QStringLiteral("--to")));
    bool hasKind = false, hasRemark = false;
    const QString kindText = option(rest, QStringLiteral("--kind"), &hasKind);
    if (hasKind && kindText != QStringLiteral("全部")) {
        PayoutKind k;
        if (!PayoutKind::parse(kindText, &k)) {
            throw UserError(QStringLiteral("没有这种支出类型: %1").arg(kindText));
        }
        filter.kind = k.title;
    }
    const QString remark = option(rest, QStringLiteral("--remark"), &hasRemark);
    if (hasRemark) {
        filter.remark = remark;
    }
    if (kind != StatisticsReport::Kind::Payout && (hasKind || hasRemark)) {
        throw UserError(QStringLiteral("--kind 和 --remark 只用于支出统计"));
    }
    const QString outFile = option(rest, QStringLiteral("--out"));
    // The main window's entry of each statistics window carries its right.
    const char* entry = kind == StatisticsReport::Kind::Income   ? "Action9"
                        : kind == StatisticsReport::Kind::Payout ? "Action10"
                                                                 : "Action11";
    if (!m_documents.actingUserMay(QString::fromLatin1(entry), QStringLiteral("main_frm"))) {
        return 3;
    }
    // Costs and profits only for those who may see them: the profit
    // statistics not at all, the others without those columns.
    if (StatisticsReport::isCostView(kind) &&
        !m_documents.actingUserMay(CostProfitRight::actionName(), CostProfitRight::formName())) {
        return 3;
    }
    PermissionChecker permissions(m_context.data().main(), m_context.CurrentUser);
    StatisticsReport report(m_context.data().main());
    report.setShowsCost(CostProfitRight::heldBy(permissions));
    const ReportRows rows = report.rows(kind, filter);

    if (QFileInfo(outFile).suffix().compare(QLatin1String("tsv"), Qt::CaseInsensitive) == 0) {
        // What `report --rows` reads back as it was, under the names the
        // book's tables spell (a server gives them in lower case).
        ReportRows named = rows;
        for (QString& field : named.fields) {
            field = SchemaNames::canonical(field);
        }
        QString error;
        if (!named.toTsv(outFile, &error)) {
            throw UserError(error);
        }
        m_out << rows.rows.size() << Qt::endl;
        return 0;
    }

    const QString templatePath = m_context.paths().reportFile(StatisticsReport::templateName(kind));
    ReportTemplate tmpl;
    QString error;
    if (ReportTemplate::load(templatePath, &tmpl, &error) != ReportTemplate::LoadResult::Loaded) {
        throw UserError(error.isEmpty() ? QStringLiteral("找不到报表模板: %1").arg(StatisticsReport::templateName(kind))
                                        : error);
    }
    ReportPreparer preparer(tmpl, QFileInfo(templatePath).absolutePath());
    preparer.setParameters(report.parameters(kind, filter));
    preparer.setImage(QStringLiteral("chart"), StatisticsChart::fromRows(kind, rows).printedImage());
    PreparedReport prepared;
    if (!preparer.prepare(rows, &prepared, &error, m_context.clock().today()) ||
        !ReportExporter::byExtension(prepared, outFile, &error)) {
        throw UserError(error);
    }
    m_out << prepared.pages.size() << Qt::endl;
    return 0;
}
