#pragma once

#include <QString>
#include <QStringList>

#include "reports/engine/report_preparer.h"

// Rows and a template the report engine's tests fill and lay out.
namespace ReportSamples {
// `n` rows of code, grp (spread over `groups` groups), amount and an empty
// note.
ReportRows rows(int n, int groups = 1);
// A list: a page header with one caption, a detail row of the code and a
// page footer of `footerText`.
ReportTemplate listTemplate(double detailHeight, const QString& footerText);
// The texts drawn on a page, in order.
QStringList textsOf(const ReportPage& page);
}  // namespace ReportSamples
