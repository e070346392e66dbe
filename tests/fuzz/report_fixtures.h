#pragma once

#include <QImage>
#include <QString>

#include "reports/engine/prepared_report.h"
#include "reports/engine/report_rows.h"

// What the report targets prepare from: rows with the fields the shipped
// templates name, a picture beside the template and a chart picture, and a
// check of what every prepared report promises its readers.
namespace ReportFixtures {

// Eight rows in three days, two providers, with nulls and text numbers.
ReportRows documentRows();
// A small picture, as a template's "file" or a host's "image" names it.
QImage smallPicture();
// Checks the indices a prepared report's primitives hold: fonts, pictures,
// band instances and their pages.
void checkConsistent(const PreparedReport& report);
// Saves the report to a scratch .rmp and loads it back: the second save
// writes the same bytes as the first.
void checkFileRoundTrip(const PreparedReport& report);

}  // namespace ReportFixtures
