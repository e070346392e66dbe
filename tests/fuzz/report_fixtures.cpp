#include "report_fixtures.h"

#include <QDate>
#include <QFile>
#include <QPainter>

#include "harness.h"
#include "reports/engine/report_file.h"

namespace ReportFixtures {

ReportRows documentRows() {
    ReportRows rows;
    rows.fields = {"BillDay",     "provider_name", "statusname",   "Goods_name", "QTY",
                   "Price",       "Total_Price",   "totalprice",   "subject",    "Income_price",
                   "PayoutPrice", "Freight",       "preferential", "earnest",    "Sys_Corp_name",
                   "Client_name", "remark",        "Order_Total",  "BillNo",     "Goods_Code"};
    const QList<QDate> days = {QDate(2024, 3, 1), QDate(2024, 3, 1), QDate(2024, 3, 2), QDate(2024, 3, 2),
                               QDate(2024, 3, 2), QDate(2024, 3, 5), QDate(2024, 3, 5), QDate(2024, 3, 5)};
    for (int i = 0; i < days.size(); ++i) {
        QVector<QVariant> row;
        row << days[i] << (i % 3 == 0 ? QStringLiteral("鸿运五金") : QStringLiteral("Acme Glass"))
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
            FUZZ_CHECK(p.font >= -1 && p.font < report.fonts.size(), QStringLiteral("font %1").arg(p.font));
            FUZZ_CHECK(p.image >= -1 && p.image < report.images.size(), QStringLiteral("image %1").arg(p.image));
            FUZZ_CHECK(p.kind != ReportPrimitive::Kind::Image || p.image >= 0,
                       QStringLiteral("image without a picture"));
            FUZZ_CHECK(p.band >= 0 && p.band < report.bands.size(), QStringLiteral("band %1").arg(p.band));
            FUZZ_CHECK(report.bands[p.band].page == pg, QStringLiteral("band %1 on page %2, its text on %3")
                                                            .arg(p.band)
                                                            .arg(report.bands[p.band].page)
                                                            .arg(pg));
        }
    }
    for (const ReportBandInstance& b : report.bands) {
        FUZZ_CHECK(b.page >= 0 && b.page < report.pages.size(), QStringLiteral("band on page %1").arg(b.page));
    }
}

void checkFileRoundTrip(const PreparedReport& report) {
    const QString first = Fuzz::scratchFolder() + QStringLiteral("/first.rmp");
    const QString second = Fuzz::scratchFolder() + QStringLiteral("/second.rmp");
    QString error;
    FUZZ_CHECK(ReportFile::save(report, first, &error), error);
    PreparedReport loaded;
    FUZZ_CHECK(ReportFile::load(first, &loaded, &error), QStringLiteral("a saved report does not load: %1").arg(error));
    FUZZ_CHECK(ReportFile::save(loaded, second, &error), error);
    QFile a(first);
    QFile b(second);
    FUZZ_CHECK(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly), QString());
    FUZZ_CHECK(a.readAll() == b.readAll(), QStringLiteral("a report saved again after loading differs"));
}

}  // namespace ReportFixtures
