#include "reports/chart_view.h"

#include <QPainter>

#include "reports/statistics_chart.h"

ChartView::ChartView(const StatisticsChart& chart, const bool& ran, const QString& hint, QWidget* parent)
    : QWidget(parent), m_chart(chart), m_ran(ran), m_hint(hint) {
    setObjectName(QStringLiteral("chartView"));
    setMinimumSize(240, 180);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void ChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!m_ran) {
        painter.setPen(Qt::darkGray);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, m_hint);
        return;
    }
    QRectF area = QRectF(rect()).adjusted(8, 8, -8, -8);
    if (!m_note.isEmpty()) {
        const double line = fontMetrics().height() + 4;
        painter.setPen(Qt::darkGray);
        painter.drawText(QRectF(area.left(), area.bottom() - line, area.width(), line),
                         Qt::AlignLeft | Qt::AlignVCenter, m_note);
        area.setBottom(area.bottom() - line);
    }
    m_chart.paint(painter, area);
}

void ChartView::setNote(const QString& note) {
    if (note != m_note) {
        m_note = note;
        update();
    }
}

void ChartView::setHint(const QString& hint) {
    m_hint = hint;
    update();
}
