#include "reports/report_samples.h"

#include <algorithm>

ReportRows ReportSamples::rows(int n, int groups) {
    ReportRows r;
    r.fields = {"code", "grp", "amount", "note"};
    for (int i = 1; i <= n; ++i) {
        r.rows.append({QString("R%1").arg(i, 3, 10, QChar('0')), QString("G%1").arg((i - 1) * groups / std::max(1, n)),
                       double(i), QString()});
    }
    return r;
}

ReportTemplate ReportSamples::listTemplate(double detailHeight, const QString& footerText) {
    ReportTemplate t;
    t.margins = QMarginsF(10, 10, 10, 10);
    ReportBand header{ReportBand::Kind::PageHeader, 10, {}, {}};
    ReportItem caption;
    caption.rect = QRectF(0, 0, 50, 10);
    caption.text = "编号";
    header.items.append(caption);
    ReportBand detail{ReportBand::Kind::Detail, detailHeight, {}, {}};
    ReportItem code;
    code.rect = QRectF(0, 0, 50, detailHeight);
    code.text = "[code]";
    detail.items.append(code);
    ReportBand footer{ReportBand::Kind::PageFooter, 10, {}, {}};
    ReportItem sum;
    sum.rect = QRectF(0, 0, 150, 10);
    sum.text = footerText;
    footer.items.append(sum);
    t.bands = {header, detail, footer};
    return t;
}

QStringList ReportSamples::textsOf(const ReportPage& page) {
    QStringList out;
    for (const ReportPrimitive& p : page.items) {
        if (p.kind == ReportPrimitive::Kind::Text) {
            out << p.text;
        }
    }
    return out;
}
