// Writes prepared reports (.rmp) made by the report engine from the shipped
// templates and the fixed rows the report targets use: the seeds of
// fuzz_prepared_report. Not a fuzz target.
//
//   make_prepared_samples REPORT_FOLDER OUT_FOLDER

#include <QDate>
#include <QDir>
#include <QGuiApplication>

#include <cstdio>

#include "report_fixtures.h"
#include "reports/engine/report_file.h"
#include "reports/engine/report_preparer.h"
#include "reports/engine/report_template.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_prepared_samples REPORT_FOLDER OUT_FOLDER\n");
        return 2;
    }
    const QDir templates(QString::fromLocal8Bit(argv[1]));
    const QDir out(QString::fromLocal8Bit(argv[2]));
    const ReportRows rows = ReportFixtures::documentRows();
    int failures = 0;
    for (const QString& name : templates.entryList({"*.zrm", "*.rmf"}, QDir::Files, QDir::Name)) {
        ReportTemplate tmpl;
        QString error;
        if (ReportTemplate::load(templates.filePath(name), &tmpl, &error) != ReportTemplate::LoadResult::Loaded) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            ++failures;
            continue;
        }
        ReportPreparer preparer(tmpl, templates.path());
        preparer.setImage(QStringLiteral("chart"), ReportFixtures::smallPicture());
        PreparedReport prepared;
        // Two rows keep the files small; the list template gets all.
        ReportRows some = rows;
        if (!tmpl.autoColumns) {
            some.rows = rows.rows.mid(0, 2);
        }
        const QString file = out.filePath(QFileInfo(name).completeBaseName() + QStringLiteral(".rmp"));
        if (!preparer.prepare(some, &prepared, &error, QDate(2024, 3, 31)) ||
            !ReportFile::save(prepared, file, &error)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(error));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return failures == 0 ? 0 : 1;
}
