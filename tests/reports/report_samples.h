#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "reports/document_printouts.h"
#include "reports/engine/report_preparer.h"

class Database;

// Rows and a template the report engine's tests fill and lay out.
namespace ReportSamples {
// `n` rows of code, grp (over `groups` groups), amount and an empty note.
ReportRows rows(int n, int groups = 1);
// A list: a page header caption, a detail row of the code, a page footer of `footerText`.
ReportTemplate listTemplate(double detailHeight, const QString& footerText);
// The texts of every page, or of `page` (from 0), of bands of kind `band` when given.
QStringList textsOf(const PreparedReport& report, std::optional<ReportBand::Kind> band = {}, int page = -1);
// A report for a golden file: a line per page, then per placed band its kind and texts between " | ".
QString dump(const PreparedReport& report);
// Writes a row of `table`: the fields `names` (between ", ") take `values`.
void insert(Database& db, const QString& table, const QString& names, const QVariantList& values);
// Prepares printout `kind` of `key` on 1 April 2024 with its template; false (warned) when it cannot.
bool printout(Database& db, DocumentPrintouts::Kind kind, const QString& key, PreparedReport* out);
// The printout for a golden file: its template, caption and page size, then dump(); empty on failure.
QString printoutDump(Database& db, DocumentPrintouts::Kind kind, const QString& key);
}  // namespace ReportSamples
