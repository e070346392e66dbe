// The --rows file of olvendctl report (tab-separated, a header line) as
// ReportRows reads it, prepared with the list template (Report/List.rmf).

#include <QDate>

#include "harness.h"
#include "reports/engine/report_expression.h"
#include "reports/engine/report_preparer.h"
#include "reports/engine/report_template.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString file = Fuzz::writeScratchFile(QStringLiteral("rows.tsv"), Fuzz::bytes(data, size));
    ReportRows rows;
    QString error;
    if (!ReportRows::fromTsv(file, &rows, &error)) {
        FUZZ_CHECK(!error.isEmpty(), QStringLiteral("refused without a message"));
        return 0;
    }
    FUZZ_CHECK(!rows.fields.isEmpty(), QString());
    for (const QVector<QVariant>& row : rows.rows) {
        FUZZ_CHECK(row.size() == rows.fields.size(),
                   QStringLiteral("a row of %1 values under %2 fields").arg(row.size()).arg(rows.fields.size()));
    }
    for (int i = 0; i < rows.fields.size(); ++i) {
        const int found = rows.fieldIndex(rows.fields[i]);
        FUZZ_CHECK(found >= 0 && found <= i, QStringLiteral("field %1 found at %2").arg(rows.fields[i]).arg(found));
    }
    // Every column the file has shows in the list, each row's values in
    // the detail band in the order of the header.
    static const ReportTemplate list = [] {
        ReportTemplate t;
        QString why;
        if (ReportTemplate::load(Fuzz::reportFolder() + QStringLiteral("/List.rmf"), &t, &why) !=
            ReportTemplate::LoadResult::Loaded) {
            Fuzz::broken("List.rmf does not load", why);
        }
        return t;
    }();
    ReportPreparer preparer(list);
    PreparedReport prepared;
    QString why;
    FUZZ_CHECK(preparer.prepare(rows, &prepared, &why, QDate(2024, 3, 31)),
               QStringLiteral("the list template refuses these rows: %1").arg(why));
    Fuzz::checkConsistent(prepared);
    const int columns = static_cast<int>(rows.fields.size());
    int cell = 0;
    for (const ReportPage& page : prepared.pages) {
        for (const ReportPrimitive& p : page.items) {
            if (p.row < 0 || prepared.bands[p.band].kind != ReportBand::Kind::Detail) {
                continue;
            }
            FUZZ_CHECK(p.row == cell / columns, QStringLiteral("row %1 placed as %2").arg(cell / columns).arg(p.row));
            // Two columns of one name both show the first (as a statement's
            // d.* and h.* do).
            const QString& field = rows.fields[cell++ % columns];
            const QString expected = formatReportValue(rows.rows[p.row][rows.fieldIndex(field)], QString());
            FUZZ_CHECK(p.text == expected, QStringLiteral("row %1 column [%2] shows \"%3\", the file holds \"%4\"")
                                               .arg(p.row)
                                               .arg(field, p.text, expected));
        }
    }
    FUZZ_CHECK(cell == rows.rows.size() * columns,
               QStringLiteral("%1 cells shown of %2 rows").arg(cell).arg(rows.rows.size()));
    return 0;
}
