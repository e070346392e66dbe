#include "tools/ctl_reports.h"

#include <QFileInfo>
#include <QSqlQuery>

#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "data/server_statement.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "reports/customer_statement.h"
#include "reports/document_printouts.h"
#include "reports/engine/report_exporter.h"
#include "reports/engine/report_file.h"
#include "reports/engine/report_preparer.h"
#include "reports/price_sheet_printout.h"
#include "reports/receivables_aging.h"
#include "reports/statistics_chart.h"
#include "tools/ctl_arguments.h"
#include "tools/ctl_payouts.h"
#include "tools/ctl_session.h"

CtlReports::CtlReports(CtlSession& session) : m_session(session) {}

int CtlReports::report(const QStringList& args) {
    CtlArguments a;
    if (!a.parse(args, {}, {"--sql", "--rows", "--out"}) || a.words().size() != 1) {
        return CtlSession::kWrongUse;
    }
    const QString templateName = a.word(0);
    const QString sql = a.value("--sql");
    const QString rowsFile = a.value("--rows");
    const QString outFile = a.value("--out");
    if (templateName.isEmpty() || outFile.isEmpty() || sql.isEmpty() == rowsFile.isEmpty()) {
        return CtlSession::kWrongUse;
    }
    QString folder;
    const ReportTemplate tmpl = loadTemplate(templateName, &folder);
    ReportRows rows;
    if (!rowsFile.isEmpty()) {
        QString error;
        if (!ReportRows::fromTsv(rowsFile, &rows, &error)) {
            throw UserError(error);
        }
    } else {
        m_session.openBook();
        // A statement of the user's own reads whatever the book holds, the
        // costs and profits included.
        if (!m_session.actingUserMay(QStringLiteral("Action_QueryReport"), QStringLiteral("olvendctl")) ||
            !m_session.actingUserMay(CostProfitRight::actionName(), CostProfitRight::formName())) {
            return 3;
        }
        rows = readOnlyRows(sql);
    }
    writeReport(tmpl, folder, rows, outFile);
    return 0;
}

ReportTemplate CtlReports::loadTemplate(const QString& templateName, QString* folder) {
    // A path, or the name of a template in Report/ or built into the program.
    QString templatePath = templateName;
    if (!QFileInfo::exists(templatePath) && !QFileInfo::exists(templatePath + ".rmf")) {
        templatePath = m_session.context().paths().reportFile(templateName);
    }
    ReportTemplate tmpl;
    QString error;
    const auto loaded = ReportTemplate::load(templatePath, &tmpl, &error);
    if (loaded == ReportTemplate::LoadResult::Failed) {
        throw UserError(error);
    }
    if (loaded == ReportTemplate::LoadResult::Missing) {
        throw UserError(QStringLiteral("找不到报表模板: %1").arg(templateName));
    }
    *folder = QFileInfo(templatePath).absolutePath();
    return tmpl;
}

void CtlReports::writeReport(const ReportTemplate& tmpl, const QString& folder, const ReportRows& rows,
                             const QString& outFile, const QVariantMap& parameters,
                             const QHash<QString, QImage>& images) {
    QString error;
    PreparedReport prepared;
    ReportPreparer preparer(tmpl, folder);
    preparer.setParameters(parameters);
    for (auto it = images.cbegin(); it != images.cend(); ++it) {
        preparer.setImage(it.key(), it.value());
    }
    if (!preparer.prepare(rows, &prepared, &error, m_session.context().clock().today())) {
        throw UserError(error);
    }
    if (!ReportExporter::byExtension(prepared, outFile, &error)) {
        throw UserError(error);
    }
    m_session.out() << prepared.pages.size() << Qt::endl;
}

// The printouts of the documents, as their report windows show them. The
// messages go to stderr.
int CtlReports::print(const QStringList& args) {
    CtlArguments a;
    if (!a.parse(args, {}, {"--out"})) {
        return CtlSession::kWrongUse;
    }
    const QStringList& positional = a.words();
    const QString outFile = a.value("--out");
    if (!positional.isEmpty() && positional[0] == "prices") {
        return printPrices(positional.mid(1), outFile);
    }
    static const QMap<QString, DocumentPrintouts::Kind> kinds{{"quotation", DocumentPrintouts::Kind::Quotation},
                                                              {"warning", DocumentPrintouts::Kind::QuotationWarning},
                                                              {"purchase", DocumentPrintouts::Kind::PurchaseOrder},
                                                              {"receipt", DocumentPrintouts::Kind::Receipt},
                                                              {"order", DocumentPrintouts::Kind::Order}};
    if (positional.size() != 2 || !kinds.contains(positional[0]) || outFile.isEmpty()) {
        return CtlSession::kWrongUse;
    }
    const DocumentPrintouts::Kind kind = kinds.value(positional[0]);
    const QString& key = positional[1];
    m_session.openBook();
    // The right of the command that prints it in its window.
    static const QMap<DocumentPrintouts::Kind, QPair<QString, QString>> rights{
        {DocumentPrintouts::Kind::Quotation, {"Action_print", "Form_Quotation_List"}},
        {DocumentPrintouts::Kind::QuotationWarning, {"Action4", "Form_Quotation_List"}},
        {DocumentPrintouts::Kind::PurchaseOrder, {"Action2", "Form_Quotation_List"}},
        {DocumentPrintouts::Kind::Receipt, {"Action3", "Form_Receipt"}},
        {DocumentPrintouts::Kind::Order, {"Action_print", "frm_GainBill_list"}}};
    const auto right = rights.value(kind);
    if (!m_session.actingUserMay(right.first, right.second)) {
        return 3;
    }
    // The purchase order shows what the goods cost.
    if (kind == DocumentPrintouts::Kind::PurchaseOrder &&
        !m_session.actingUserMay(CostProfitRight::actionName(), CostProfitRight::formName())) {
        return 3;
    }
    DocumentPrintouts printouts(m_session.context().data().main());
    const QString missing = printouts.missingText(kind, key);
    if (!missing.isEmpty()) {
        throw UserError(missing);
    }
    writeShipped(DocumentPrintouts::templateName(kind), printouts.rows(kind, key), outFile);
    return 0;
}

int CtlReports::printPrices(const QStringList& codes, const QString& outFile) {
    if (outFile.isEmpty()) {
        return CtlSession::kWrongUse;
    }
    m_session.openBook();
    if (!m_session.actingUserMay(QStringLiteral("Action_Print"), QStringLiteral("Base_CustomerPrice_Frm"))) {
        return 3;
    }
    PriceSheetPrintout printout(m_session.context().data().main());
    const ReportRows rows = printout.rows(codes);
    if (!printout.missingCodes().isEmpty()) {
        throw UserError(QStringLiteral("找不到客户: %1").arg(printout.missingCodes().join(QStringLiteral(", "))));
    }
    writeShipped(PriceSheetPrintout::templateName(), rows, outFile);
    return 0;
}

ReportRows CtlReports::readOnlyRows(const QString& sql) {
    Database& db = m_session.context().data().main();
    // The statement may only read: the connection refuses writes meanwhile.
    if (db.isAccess()) {
        db.query("PRAGMA query_only = ON");
        try {
            QSqlQuery q = db.query(sql);
            ReportRows rows = ReportRows::fromQuery(q);
            db.query("PRAGMA query_only = OFF");
            return rows;
        } catch (...) {
            db.query("PRAGMA query_only = OFF");
            throw;
        }
    }
    // One statement only: a "commit; ..." would end the read-only
    // transaction and go on writing.
    ServerStatement::requireSingle(db, sql);
    db.query("BEGIN READ ONLY");
    try {
        QSqlQuery q = db.query(sql);
        ReportRows rows = ReportRows::fromQuery(q);
        db.query("ROLLBACK");
        return rows;
    } catch (...) {
        db.query("ROLLBACK");
        throw;
    }
}

int CtlReports::render(const QStringList& args) {
    CtlArguments a;
    if (!a.parse(args, {}, {"--out"}) || a.words().size() != 1 || a.value("--out").isEmpty()) {
        return CtlSession::kWrongUse;
    }
    PreparedReport prepared;
    QString error;
    if (!ReportFile::load(a.word(0), &prepared, &error) ||
        !ReportExporter::byExtension(prepared, a.value("--out"), &error)) {
        throw UserError(error);
    }
    m_session.out() << prepared.pages.size() << Qt::endl;
    return 0;
}

void CtlReports::writeShipped(const QString& templateName, const ReportRows& rows, const QString& outFile,
                              const QVariantMap& parameters, const QHash<QString, QImage>& images) {
    QString folder;
    const ReportTemplate tmpl = loadTemplate(templateName, &folder);
    writeReport(tmpl, folder, rows, outFile, parameters, images);
}

bool CtlReports::wantsTsv(const QString& outFile) {
    const bool tsv = QFileInfo(outFile).suffix().compare(QLatin1String("tsv"), Qt::CaseInsensitive) == 0;
    if (!tsv && !ReportExporter::knowsExtension(outFile)) {
        throw UserError(ReportExporter::unsupportedText(outFile, QStringLiteral(".tsv")));
    }
    return tsv;
}

void CtlReports::writeTsv(const ReportRows& rows, const QString& outFile) {
    QString error;
    if (!rows.toTsv(outFile, &error)) {
        throw UserError(error);
    }
    m_session.out() << rows.rows.size() << Qt::endl;
}

int CtlReports::statement(const QStringList& args) {
    CtlArguments a;
    if (!a.parse(args, {}, {"--from", "--to", "--out"}) || a.words().isEmpty() || a.value("--out").isEmpty()) {
        return CtlSession::kWrongUse;
    }
    const QString outFile = a.value("--out");
    const bool tsv = wantsTsv(outFile);
    StatementFilter filter;
    filter.from = CtlPayouts::parseDate(a.value("--from"));
    filter.to = CtlPayouts::parseDate(a.value("--to"));
    CustomerStatement::check(filter);
    m_session.openBook();
    if (!m_session.actingUserMay(CustomerStatement::actionName(), QStringLiteral("main_frm"))) {
        return 3;
    }
    Database& db = m_session.context().data().main();
    // Every customer is found before anything is written.
    QList<ReceivableParty> parties;
    for (const QString& name : a.words()) {
        parties << ReceivableParty::find(db, name);
    }
    CustomerStatement builder(db);
    QList<Statement> statements;
    for (const ReceivableParty& party : parties) {
        statements << builder.build(party, filter);
    }
    if (tsv) {
        writeTsv(CustomerStatement::tsvRows(statements), outFile);
        return 0;
    }
    writeShipped(CustomerStatement::templateName(), CustomerStatement::rows(statements), outFile,
                 builder.parameters(filter));
    return 0;
}

int CtlReports::receivables(const QStringList& args) {
    CtlArguments a;
    if (!a.parse(args, {}, {"--as-of", "--out"}) || !a.words().isEmpty() || a.value("--out").isEmpty()) {
        return CtlSession::kWrongUse;
    }
    const QString outFile = a.value("--out");
    const bool tsv = wantsTsv(outFile);
    QDate asOf = CtlPayouts::parseDate(a.value("--as-of"));
    m_session.openBook();
    if (!m_session.actingUserMay(ReceivablesAging::actionName(), QStringLiteral("main_frm"))) {
        return 3;
    }
    if (!asOf.isValid()) {
        asOf = m_session.context().clock().today();
    }
    ReceivablesAging aging(m_session.context().data().main());
    const ReceivablesAging::Result result = aging.build(asOf);
    if (tsv) {
        writeTsv(ReceivablesAging::tsvRows(result), outFile);
        return 0;
    }
    writeShipped(ReceivablesAging::templateName(), ReceivablesAging::rows(result), outFile, aging.parameters(result),
                 {{QStringLiteral("chart"), ReceivablesAging::chart(result).printedImage()}});
    return 0;
}
