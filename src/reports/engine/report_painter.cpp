#include "reports/engine/report_painter.h"

#include <QPainter>

#include "reports/engine/prepared_report.h"

void ReportPainter::paintPage(QPainter& painter, const PreparedReport& report, int index) {
    if (index < 0 || index >= report.pages.size()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    // A picture drawn smaller than it was made (a chart made for print, on
    // screen) keeps its thin strokes: without smoothing, every other line
    // of pixels is dropped and a character loses its strokes.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    QList<QFont> fonts;
    fonts.reserve(report.fonts.size());
    for (const ReportFontStyle& f : report.fonts) {
        fonts.append(f.toFont());
    }
    for (const ReportPrimitive& p : report.pages[index].items) {
        QPen pen(QColor::fromRgba(p.color));
        pen.setWidthF(std::max(1.0, p.lineWidth));
        switch (p.kind) {
            case ReportPrimitive::Kind::Text: {
                if (p.border) {
                    QPen border(Qt::black);
                    border.setWidthF(std::max(1.0, 0.2 * PreparedReport::kDotsPerMm));
                    painter.setPen(border);
                    painter.setBrush(Qt::NoBrush);
                    painter.drawRect(p.rect);
                }
                if (p.text.isEmpty()) {
                    break;
                }
                painter.setPen(QColor::fromRgba(p.color));
                if (p.font >= 0 && p.font < fonts.size()) {
                    painter.setFont(fonts[p.font]);
                }
                const double pad = 0.5 * PreparedReport::kDotsPerMm;
                const QRectF box = p.rect.adjusted(pad, 0, -pad, 0);
                int flags = p.align;
                if (p.wrap) {
                    flags |= Qt::TextWordWrap;
                }
                painter.drawText(box, flags, p.text);
                break;
            }
            case ReportPrimitive::Kind::Line:
                painter.setPen(pen);
                painter.drawLine(p.rect.topLeft(), p.rect.bottomRight());
                break;
            case ReportPrimitive::Kind::Rect:
                painter.setPen(pen);
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(p.rect);
                break;
            case ReportPrimitive::Kind::Image:
                if (p.image >= 0 && p.image < report.images.size()) {
                    const QImage& img = report.images[p.image];
                    const QSizeF fitted = QSizeF(img.size()).scaled(p.rect.size(), Qt::KeepAspectRatio);
                    const QRectF target(p.rect.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
                    painter.drawImage(target, img);
                }
                break;
        }
    }
    painter.restore();
}
