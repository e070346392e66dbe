// Report templates (.zrm/.rmf) as ReportTemplate reads them; one that loads
// is prepared from fixed rows as olvendctl report does, the result checked
// as every reader of prepared pages relies on, saved and reopened.

#include <QDate>
#include <QFile>

#include "harness.h"
#include "reports/engine/report_preparer.h"
#include "reports/engine/report_template.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A template names pictures relative to its own folder.
    static const bool logo = Fuzz::smallPicture().save(Fuzz::scratchFolder() + QStringLiteral("/logo.png"));
    FUZZ_CHECK(logo, QString());
    const QByteArray json = Fuzz::bytes(data, size);
    ReportTemplate tmpl;
    QString error;
    if (!ReportTemplate::fromJson(json, &tmpl, &error)) {
        FUZZ_CHECK(!error.isEmpty(), QStringLiteral("refused without a message"));
        return 0;
    }
    // The same bytes from a file load the same way.
    const QString file = Fuzz::writeScratchFile(QStringLiteral("template.rmf"), json);
    ReportTemplate fromFile;
    FUZZ_CHECK(ReportTemplate::load(file, &fromFile, &error) == ReportTemplate::LoadResult::Loaded, error);
    FUZZ_CHECK(fromFile.bands.size() == tmpl.bands.size(), QString());
    FUZZ_CHECK(tmpl.columns >= 1 && tmpl.bands.size() <= 200, QStringLiteral("columns %1").arg(tmpl.columns));
    const QSizeF page = tmpl.effectivePageSize();
    FUZZ_CHECK(page.width() > 0 && page.height() > 0, QString());
    tmpl.groupFields();
    // Prepared from the rows, and from none.
    static const ReportRows rows = Fuzz::documentRows();
    static const ReportRows noRows{rows.fields, {}};
    for (const ReportRows* source : {&rows, &noRows}) {
        ReportPreparer preparer(tmpl, Fuzz::scratchFolder());
        preparer.setParameters({{"Period_Text", QStringLiteral("2024-03-01 至 2024-03-31")}});
        preparer.setImage(QStringLiteral("chart"), Fuzz::smallPicture());
        PreparedReport prepared;
        QString why;
        if (!preparer.prepare(*source, &prepared, &why, QDate(2024, 3, 31))) {
            FUZZ_CHECK(!why.isEmpty(), QStringLiteral("not prepared, without a message"));
            continue;
        }
        FUZZ_CHECK(!prepared.pages.isEmpty(), QStringLiteral("a prepared report without a page"));
        Fuzz::checkConsistent(prepared);
        if (source == &rows) {
            Fuzz::checkFileRoundTrip(prepared);
        }
    }
    return 0;
}
