// Prepared reports (.rmp) as ReportFile reads them; one that loads is laid
// out as a spreadsheet table, its first pages drawn, saved and loaded again.

#include <QImage>
#include <QPainter>

#include "harness.h"
#include "reports/engine/report_file.h"
#include "reports/engine/report_painter.h"
#include "reports/engine/report_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString file = Fuzz::writeScratchFile(QStringLiteral("input.rmp"), Fuzz::bytes(data, size));
    PreparedReport report;
    QString error;
    if (!ReportFile::load(file, &report, &error)) {
        FUZZ_CHECK(!error.isEmpty(), QStringLiteral("refused without a message"));
        return 0;
    }
    FUZZ_CHECK(report.pageSizeMm.width() > 0 && report.pageSizeMm.height() > 0, QString());
    // The spreadsheet export's table.
    const ReportSheet sheet(report);
    const int columns = static_cast<int>(sheet.columnWidthsMm().size());
    FUZZ_CHECK(columns >= 1, QString());
    for (const ReportSheet::Row& row : sheet.rows()) {
        for (const ReportSheet::Cell& cell : row.cells) {
            FUZZ_CHECK(cell.column >= 0 && cell.span >= 1,
                       QStringLiteral("cell at %1 spans %2").arg(cell.column).arg(cell.span));
        }
    }
    FUZZ_CHECK(sheet.frozenRows() >= 0 && sheet.frozenRows() <= sheet.rows().size(), QString());
    // The preview: the first pages at a small scale.
    QImage canvas(64, 90, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    const double scale = 64.0 / std::max(1.0, report.pageSizeDots().width());
    painter.scale(scale, scale);
    for (int i = 0; i < std::min<int>(3, static_cast<int>(report.pages.size())); ++i) {
        ReportPainter::paintPage(painter, report, i);
    }
    painter.end();
    Fuzz::checkFileRoundTrip(report);
    return 0;
}
