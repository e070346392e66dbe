#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "reports/document_printouts.h"
#include "reports/engine/report_preparer.h"

class Database;

// Rows and a template the report engine's tests fill and lay out.
namespace ReportSamples {
// `n` rows of code, grp (spread over `groups` groups), amount and an empty
// note.
ReportRows rows(int n, int groups = 1);
// A list: a page header with one caption, a detail row of the code and a
// page footer of `footerText`.
ReportTemplate listTemplate(double detailHeight, const QString& footerText);
// The texts of every page in order, or of page `page` only (from 0); only
// those of bands of one kind when `band` is given.
QStringList textsOf(const PreparedReport& report, std::optional<ReportBand::Kind> band = {}, int page = -1);
// A prepared report for a golden file: a line per page, then a line per
// placed band, its kind and its texts between " | ", as drawn (a page's
// header and footer once its body is placed).
QString dump(const PreparedReport& report);
// Writes a row of `table`: the fields named in `names` (between ", ")
// take `values` in turn.
void insert(Database& db, const QString& table, const QString& names, const QVariantList& values);
// Prepares the printout `kind` of `key` with its shipped template, printed
// on 1 April 2024; false, with the reason as a warning, when it cannot.
bool printout(Database& db, DocumentPrintouts::Kind kind, const QString& key, PreparedReport* out);
// The printout as a golden file holds it: a line of its template, caption
// and page size in millimetres, then dump(); empty when it fails.
QString printoutDump(Database& db, DocumentPrintouts::Kind kind, const QString& key);
}  // namespace ReportSamples
