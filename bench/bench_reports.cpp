// A report of 10,000 detail rows. Targets: preparation under 500 ms; the PDF
// under 2.5 s and within 1.5x of painting the same primitives straight into
// a QPdfWriter; the XLSX under 1 s.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "reports/engine/report_exporter.h"
#include "reports/engine/report_painter.h"
#include "reports/engine/report_preparer.h"

namespace {

constexpr int kRows = 10000;

ReportRows makeRows() {
    ReportRows r;
    r.fields = {"code", "name", "unit", "qty", "price", "amount"};
    for (int i = 1; i <= kRows; ++i) {
        r.rows.append({QString("SP%1").arg(i, 8, 10, QChar('0')), QString("商品名称%1").arg(i), QString("套"),
                       double(i % 20 + 1), 12.5 + i % 7, (i % 20 + 1) * (12.5 + i % 7)});
    }
    return r;
}

ReportTemplate makeTemplate() {
    ReportTemplate t;
    QString error;
    const QByteArray json = R"({"version": 1, "bands": [
        {"kind": "pageHeader", "height": 10, "items": [
            {"rect": [0,0,40,8], "text": "商品编码", "border": true}, {"rect": [40,0,60,8], "text": "商品名称", "border": true},
            {"rect": [100,0,20,8], "text": "单位", "border": true}, {"rect": [120,0,20,8], "text": "数量", "border": true},
            {"rect": [140,0,20,8], "text": "单价", "border": true}, {"rect": [160,0,30,8], "text": "金额", "border": true}]},
        {"kind": "detail", "height": 6, "items": [
            {"rect": [0,0,40,6], "text": "[code]"}, {"rect": [40,0,60,6], "text": "[name]"},
            {"rect": [100,0,20,6], "text": "[unit]"}, {"rect": [120,0,20,6], "text": "[qty]", "align": "right"},
            {"rect": [140,0,20,6], "text": "[price]", "format": "0.00", "align": "right"},
            {"rect": [160,0,30,6], "text": "[amount]", "format": "#,##0.00", "align": "right"}]},
        {"kind": "pageFooter", "height": 8, "items": [
            {"rect": [0,0,120,8], "text": "第 [page()] 页 / 共 [pages()] 页"},
            {"rect": [120,0,70,8], "text": "本页合计: [sum(amount)]", "format": "#,##0.00", "align": "right"}]},
        {"kind": "summary", "height": 8, "items": [
            {"rect": [120,0,70,8], "text": "总计: [sum(amount)]", "format": "#,##0.00", "align": "right"}]}]})";
    ReportTemplate::fromJson(json, &t, &error);
    return t;
}

const ReportRows& rows() {
    static const ReportRows r = makeRows();
    return r;
}

const PreparedReport& prepared() {
    static const PreparedReport p = [] {
        PreparedReport out;
        QString error;
        ReportPreparer(makeTemplate()).prepare(rows(), &out, &error);
        return out;
    }();
    return p;
}

void BM_Prepare10k(benchmark::State& state) {
    const ReportTemplate t = makeTemplate();
    for (auto _ : state) {
        PreparedReport out;
        QString error;
        ReportPreparer(t).prepare(rows(), &out, &error);
        benchmark::DoNotOptimize(out.pages.size());
    }
    state.counters["pages"] = double(prepared().pages.size());
}
BENCHMARK(BM_Prepare10k)->Unit(benchmark::kMillisecond);

void BM_Pdf10k(benchmark::State& state) {
    QTemporaryDir dir;
    for (auto _ : state) {
        QString error;
        ReportExporter::toPdf(prepared(), dir.filePath("r.pdf"), &error);
    }
}
BENCHMARK(BM_Pdf10k)->Unit(benchmark::kMillisecond);

// The same primitives painted straight into a QPdfWriter, without the
// engine's painter: the floor the PDF export is measured against.
void BM_DirectQPainterPdf10k(benchmark::State& state) {
    QTemporaryDir dir;
    const PreparedReport& report = prepared();
    for (auto _ : state) {
        QPdfWriter writer(dir.filePath("direct.pdf"));
        writer.setResolution(1200);
        writer.setPageLayout(QPageLayout(QPageSize(report.pageSizeMm, QPageSize::Millimeter), QPageLayout::Portrait,
                                         QMarginsF(0, 0, 0, 0)));
        QPainter painter(&writer);
        QList<QFont> fonts;
        for (const ReportFontStyle& f : report.fonts) {
            fonts.append(f.toFont());
        }
        for (int i = 0; i < report.pages.size(); ++i) {
            if (i > 0) {
                writer.newPage();
            }
            for (const ReportPrimitive& p : report.pages[i].items) {
                if (p.kind == ReportPrimitive::Kind::Text) {
                    if (p.border) {
                        painter.drawRect(p.rect);
                    }
                    painter.setFont(fonts[p.font]);
                    painter.drawText(p.rect, p.align, p.text);
                }
            }
        }
        painter.end();
    }
}
BENCHMARK(BM_DirectQPainterPdf10k)->Unit(benchmark::kMillisecond);

void BM_Xlsx10k(benchmark::State& state) {
    QTemporaryDir dir;
    for (auto _ : state) {
        QString error;
        ReportExporter::toXlsx(prepared(), dir.filePath("r.xlsx"), &error);
    }
}
BENCHMARK(BM_Xlsx10k)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    prepared();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
