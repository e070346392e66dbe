#pragma once

#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class CtlSession;
struct ReportRows;
struct ReportTemplate;

// The report commands of olvendctl: `report` (a template filled by a
// statement of the user's own or by a .tsv file), `render` (a prepared
// report converted), `print` (the printouts of the documents and the
// price sheets, as their windows print them), `statement` and
// `receivables`. Each writes the file its
// extension asks for and prints the page count. Exit codes as for every
// command; CtlSession::kWrongUse for arguments without the command's shape.
class CtlReports {
public:
    explicit CtlReports(CtlSession& session);

    int report(const QStringList& args);
    int render(const QStringList& args);
    int print(const QStringList& args);
    // statement CUSTOMER... [--from D] [--to D] --out FILE
    int statement(const QStringList& args);
    // receivables [--as-of D] --out FILE
    int receivables(const QStringList& args);

    // A shipped template prepared from the rows and written as the
    // extension of `outFile` asks; prints the page count. Throws UserError.
    void writeShipped(const QString& templateName, const ReportRows& rows, const QString& outFile,
                      const QVariantMap& parameters = {}, const QHash<QString, QImage>& images = {});
    // Whether the rows themselves are asked for (.tsv); refuses an output
    // name no format is written under, before the book is read.
    static bool wantsTsv(const QString& outFile);
    // The rows as a tab-separated file; prints the row count.
    void writeTsv(const ReportRows& rows, const QString& outFile);

private:
    // print prices [CUSTOMER...] --out FILE
    int printPrices(const QStringList& codes, const QString& outFile);
    // A template by its path, or by its name in Report/ or built into the
    // program; `folder` receives where its pictures are. Throws UserError.
    ReportTemplate loadTemplate(const QString& templateName, QString* folder);
    // Prepares the rows and writes the file its extension asks for; prints
    // the page count. Throws UserError.
    void writeReport(const ReportTemplate& tmpl, const QString& folder, const ReportRows& rows, const QString& outFile,
                     const QVariantMap& parameters = {}, const QHash<QString, QImage>& images = {});
    // The rows of a statement that may only read.
    ReportRows readOnlyRows(const QString& sql);

    CtlSession& m_session;
};
