// The --rows file of olvendctl report: tab-separated rows under a header
// line, read as ReportRows reads them and prepared with the list template
// that lays out whatever columns it is given (Report/List.rmf).

#include <QDate>
#include <QFile>

#include "harness.h"
#include "report_fixtures.h"
#include "reports/engine/report_expression.h"
#include "reports/engine/report_preparer.h"
#include "reports/engine/report_rows.h"
#include "reports/engine/report_template.h"

namespace {
ReportTemplate listTemplate() {
    QFile f(QStringLiteral(OLVEND_REPORT_DIR "/List.rmf"));
    if (!f.open(QIODevice::ReadOnly)) {
        Fuzz::broken("cannot read List.rmf", f.fileName());
    }
    ReportTemplate t;
    QString error;
    if (!ReportTemplate::fromJson(f.readAll(), &t, &error)) {
        Fuzz::broken("List.rmf does not load", error);
    }
    return t;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::startGuiApplication(argc, argv);
    return 0;
}

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
    static const ReportTemplate list = listTemplate();
    ReportPreparer preparer(list);
    PreparedReport prepared;
    QString why;
    FUZZ_CHECK(preparer.prepare(rows, &prepared, &why, QDate(2024, 3, 31)),
               QStringLiteral("the list template refuses these rows: %1").arg(why));
    ReportFixtures::checkConsistent(prepared);
    int row = 0;
    for (const ReportPage& page : prepared.pages) {
        QList<const ReportPrimitive*> cells;
        for (const ReportPrimitive& p : page.items) {
            if (p.row >= 0 && prepared.bands[p.band].kind == ReportBand::Kind::Detail) {
                cells.append(&p);
            }
        }
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const ReportPrimitive& p = *cells[c];
            const int r = static_cast<int>(c / rows.fields.size());
            const int column = static_cast<int>(c % rows.fields.size());
            FUZZ_CHECK(p.row == row + r, QStringLiteral("row %1 placed as %2").arg(row + r).arg(p.row));
            // Two columns of one name both show the first (as a statement's
            // d.* and h.* do).
            const int source = rows.fieldIndex(rows.fields[column]);
            const QString expected = formatReportValue(rows.rows[p.row][source], QString());
            FUZZ_CHECK(p.text == expected, QStringLiteral("row %1 column [%2] shows \"%3\", the file holds \"%4\"")
                                               .arg(p.row)
                                               .arg(rows.fields[column], p.text, expected));
        }
        row += static_cast<int>(cells.size() / rows.fields.size());
    }
    FUZZ_CHECK(row == rows.rows.size(), QStringLiteral("%1 rows shown of %2").arg(row).arg(rows.rows.size()));
    return 0;
}
