#include "harness.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "reports/engine/report_file.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's warnings about damaged pictures and fonts would drown the output.
    qputenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false;*.info=false");
    // It lives as long as the process: libFuzzer never returns to main.
    static int count = *argc;
    new QGuiApplication(count, *argv);
    return 0;
}

namespace Fuzz {

QString reportFolder() {
    return QStringLiteral(OLVEND_FUZZ_SOURCE_DIR "/Report");
}

QString schemaFolder() {
    return QStringLiteral(OLVEND_FUZZ_SOURCE_DIR "/schema");
}

QString scratchFolder() {
    static const QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/olvend-fuzz-XXXXXX"));
    if (!dir.isValid()) {
        broken("cannot make a scratch folder", QDir::tempPath());
    }
    return dir.path();
}

QString writeScratchFile(const QString& name, const QByteArray& content) {
    const QString path = scratchFolder() + '/' + name;
    // Unbuffered: copying into QFile's buffer costs more than the parsers.
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) ||
        f.write(content) != content.size()) {
        broken("cannot write a scratch file", path);
    }
    return path;
}

void broken(const char* what, const QString& detail) {
    std::fprintf(stderr, "\n==== broken property: %s\n==== %s\n", what, detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

ReportRows documentRows() {
    ReportRows rows;
    rows.fields = {"BillDay",     "provider_name", "statusname",   "Goods_name", "QTY",
                   "Price",       "Total_Price",   "totalprice",   "subject",    "Income_price",
                   "PayoutPrice", "Freight",       "preferential", "earnest",    "Sys_Corp_name",
                   "Client_name", "remark",        "Order_Total",  "BillNo",     "Goods_Code"};
    const int days[] = {1, 1, 2, 2, 2, 5, 5, 5};
    for (int i = 0; i < 8; ++i) {
        QVector<QVariant> row;
        row << QDate(2024, 3, days[i]) << (i % 3 == 0 ? QStringLiteral("鸿运五金") : QStringLiteral("Acme Glass"))
            << (i < 4 ? QStringLiteral("已审核") : QStringLiteral("未审核"))
            << QStringLiteral("铝合金平开门 %1 号").arg(i) << double(i + 1) << 12.5 * i << 12.5 * i * (i + 1)
            << (i == 3 ? QVariant() : QVariant(100.0 * i)) << QString::number(i % 4) << 1000.0 / (i + 1)
            << (i == 5 ? QVariant(QStringLiteral("37.5")) : QVariant(-12.25 * i)) << 50.0 << QVariant() << 0.0
            << QStringLiteral("奥尔文德门窗有限公司") << QStringLiteral("张三") << QStringLiteral("加急，周五前送达")
            << 98765.43 << QStringLiteral("BJ2024030%1").arg(i) << QStringLiteral("G-%1").arg(i * 7);
        rows.rows.append(row);
    }
    return rows;
}

QImage smallPicture() {
    QImage image(24, 16, QImage::Format_ARGB32);
    image.fill(QColor(30, 90, 160));
    QPainter p(&image);
    p.fillRect(4, 4, 8, 8, Qt::yellow);
    return image;
}

void checkConsistent(const PreparedReport& report) {
    for (int pg = 0; pg < report.pages.size(); ++pg) {
        for (const ReportPrimitive& p : report.pages[pg].items) {
            FUZZ_CHECK(
                p.font >= -1 && p.font < report.fonts.size() && p.image >= -1 && p.image < report.images.size() &&
                    (p.kind != ReportPrimitive::Kind::Image || p.image >= 0) && p.band >= 0 &&
                    p.band < report.bands.size() && report.bands[p.band].page == pg,
                QStringLiteral("on page %1: font %2, image %3, band %4").arg(pg).arg(p.font).arg(p.image).arg(p.band));
        }
    }
    for (const ReportBandInstance& b : report.bands) {
        FUZZ_CHECK(b.page >= 0 && b.page < report.pages.size(), QStringLiteral("band on page %1").arg(b.page));
    }
}

void checkFileRoundTrip(const PreparedReport& report) {
    const QString first = scratchFolder() + QStringLiteral("/first.rmp");
    const QString second = scratchFolder() + QStringLiteral("/second.rmp");
    QString error;
    FUZZ_CHECK(ReportFile::save(report, first, &error), error);
    PreparedReport loaded;
    FUZZ_CHECK(ReportFile::load(first, &loaded, &error), QStringLiteral("a saved report does not load: %1").arg(error));
    FUZZ_CHECK(ReportFile::save(loaded, second, &error), error);
    QFile a(first);
    QFile b(second);
    FUZZ_CHECK(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && a.readAll() == b.readAll(),
               QStringLiteral("a report saved again after loading differs"));
}

}  // namespace Fuzz
