#include "reports/statistics_chart.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
const QColor kColors[] = {QColor(0x3b, 0x7d, 0xd8), QColor(0xe0, 0x6c, 0x3c), QColor(0x3c, 0xa0, 0x5a),
                          QColor(0x9b, 0x59, 0xb6), QColor(0xf1, 0xc4, 0x0f), QColor(0x7f, 0x8c, 0x8d)};

QColor colorAt(int i) {
    return kColors[i % static_cast<int>(std::size(kColors))];
}

// The first day of a month given as 'yyyy-MM' text.
QDate monthOf(const QVariant& v) {
    if (v.isNull()) {
        return {};
    }
    return QDate::fromString(v.toString().left(7) + QStringLiteral("-01"), Qt::ISODate);
}

// A round step for the value axis: 1, 2 or 5 times a power of ten.
double niceStep(double range, int ticks) {
    if (range <= 0) {
        return 1;
    }
    const double raw = range / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (raw <= m * power) {
            return m * power;
        }
    }
    return 10 * power;
}

// The font set `factor` times its size, whether sized in pixels or points.
QFont scaledFont(const QFont& font, double factor) {
    QFont scaled = font;
    if (scaled.pixelSize() > 0) {
        scaled.setPixelSize(qMax(1, qRound(scaled.pixelSize() * factor)));
    } else {
        scaled.setPointSizeF(scaled.pointSizeF() * factor);
    }
    return scaled;
}

// The ticks of a value axis in one unit and with as many decimals as the
// step needs, so that 5000 does not stand beside 1.0万 nor 50.0万 beside 100万.
struct AxisUnit {
    double divisor = 1;
    QString suffix;
    int decimals = 0;
};

AxisUnit axisUnit(double largest, double step) {
    AxisUnit unit;
    if (largest >= 100000000) {
        unit = {100000000, QStringLiteral("亿")};
    } else if (largest >= 10000) {
        unit = {10000, QStringLiteral("万")};
    }
    // The fewest decimals that show the step whole (2.5万 needs one).
    const double scaled = step / unit.divisor;
    while (unit.decimals < 4) {
        const double shifted = scaled * std::pow(10.0, unit.decimals);
        if (std::abs(shifted - std::round(shifted)) < 1e-6 * std::max(1.0, shifted)) {
            break;
        }
        ++unit.decimals;
    }
    return unit;
}

QString axisText(double v, const AxisUnit& unit) {
    const QString text = QString::number(v / unit.divisor, 'f', unit.decimals);
    // Zero, or what rounds to it, reads "0" (never "-0.00").
    bool ok = false;
    if (text.toDouble(&ok) == 0 && ok) {
        return QStringLiteral("0");
    }
    return text + unit.suffix;
}

QString amountText(double v) {
    if (std::abs(v) >= 100000000) {
        return QString::number(v / 100000000, 'f', 1) + QStringLiteral("亿");
    }
    if (std::abs(v) >= 10000) {
        return QString::number(v / 10000, 'f', std::abs(v) >= 1000000 ? 0 : 1) + QStringLiteral("万");
    }
    return QString::number(v, 'f', 0);
}
}  // namespace

StatisticsChart StatisticsChart::fromMonthly(StatisticsReport::Kind kind, const ReportRows& sums) {
    StatisticsChart chart;
    const int monthColumn = sums.fieldIndex(QStringLiteral("Month"));
    const int incomeColumn = sums.fieldIndex(QStringLiteral("Income"));
    const int payoutColumn = sums.fieldIndex(QStringLiteral("Payout"));
    const int kindColumn = sums.fieldIndex(QStringLiteral("statusname"));
    const int subjectColumn = sums.fieldIndex(QStringLiteral("subject"));
    switch (kind) {
        case StatisticsReport::Kind::Income:
            chart.m_title = QStringLiteral("每月收入");
            break;
        case StatisticsReport::Kind::Payout:
            chart.m_title = QStringLiteral("每月支出");
            break;
        case StatisticsReport::Kind::Profit:
            chart.m_title = QStringLiteral("每月收入、支出与利润");
            break;
    }
    if (monthColumn < 0) {
        return chart;
    }
    // Rows without a date have no month: they count in no bar.
    QList<QDate> months(sums.rows.size());
    QDate first, last;
    for (qsizetype r = 0; r < sums.rows.size(); ++r) {
        const QDate m = monthOf(sums.rows[r][monthColumn]);
        months[r] = m;
        if (m.isValid()) {
            first = !first.isValid() || m < first ? m : first;
            last = !last.isValid() || m > last ? m : last;
        }
    }
    if (!first.isValid()) {
        return chart;
    }
    for (QDate m = first; m <= last; m = m.addMonths(1)) {
        chart.m_months << m;
    }
    QList<double> income(chart.m_months.size(), 0), payout(chart.m_months.size(), 0);
    QHash<QString, int> shareIndex;
    for (qsizetype r = 0; r < sums.rows.size(); ++r) {
        const QDate& m = months[r];
        if (!m.isValid()) {
            continue;
        }
        const auto& row = sums.rows[r];
        const int i = (m.year() - first.year()) * 12 + m.month() - first.month();
        if (incomeColumn >= 0) {
            income[i] += row[incomeColumn].toDouble();
        }
        if (payoutColumn >= 0) {
            const double amount = row[payoutColumn].toDouble();
            payout[i] += amount;
            if (kindColumn >= 0) {
                const QString name = row[kindColumn].toString();
                const QString key = subjectColumn >= 0 ? row[subjectColumn].toString() : name;
                auto it = shareIndex.find(name);
                if (it == shareIndex.end()) {
                    it = shareIndex.insert(name, static_cast<int>(chart.m_shares.size()));
                    chart.m_shares.append({name, 0, key});
                }
                Share& share = chart.m_shares[it.value()];
                share.amount += amount;
                // Kinds that show under one name take the place of the
                // smallest code among them.
                share.key = std::min(share.key, key);
            }
        }
    }
    // Each kind keeps its place and colour whatever the period shows first.
    std::stable_sort(chart.m_shares.begin(), chart.m_shares.end(),
                     [](const Share& a, const Share& b) { return a.key < b.key; });
    const bool lines = chart.drawsLines();
    const bool hasIncome = kind != StatisticsReport::Kind::Payout;
    const bool hasPayout = kind != StatisticsReport::Kind::Income;
    if (hasIncome) {
        chart.m_series.append({QStringLiteral("收入"), income, lines});
    }
    if (hasPayout) {
        chart.m_series.append({QStringLiteral("支出"), payout, lines});
    }
    if (hasIncome && hasPayout) {
        QList<double> profit(income.size());
        for (int i = 0; i < income.size(); ++i) {
            profit[i] = income[i] - payout[i];
        }
        chart.m_series.append({QStringLiteral("利润"), profit, true});
    }
    return chart;
}

QStringList StatisticsChart::axisLabels(double low, double high, double step) {
    QStringList out;
    if (!(step > 0) || high < low) {
        return out;
    }
    const AxisUnit unit = axisUnit(std::max(std::abs(low), std::abs(high)), step);
    for (double v = low; v <= high + step / 2; v += step) {
        out << axisText(std::abs(v) < step / 2 ? 0 : v, unit);
    }
    return out;
}

StatisticsChart StatisticsChart::ofCategories(const QString& title, const QStringList& labels,
                                              const QList<Series>& series) {
    StatisticsChart chart;
    chart.m_title = title;
    chart.m_labels = labels;
    chart.m_series = series;
    return chart;
}

QImage StatisticsChart::image(const QSizeF& sizeMm, double dpi) const {
    const QSize px(qRound(sizeMm.width() / 25.4 * dpi), qRound(sizeMm.height() / 25.4 * dpi));
    QImage img(px, QImage::Format_RGB32);
    img.setDotsPerMeterX(qRound(dpi / 0.0254));
    img.setDotsPerMeterY(qRound(dpi / 0.0254));
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p, QRectF(QPointF(0, 0), QSizeF(px)));
    return img;
}

void StatisticsChart::paint(QPainter& painter, const QRectF& area) const {
    painter.save();
    QFont font = painter.font();
    font.setFamily(QStringLiteral("SimSun"));
    // Text follows the smaller side, so a narrow pane keeps its plot.
    font.setPixelSize(qMax(9, qRound(qMin(area.height() / 28, area.width() / 48))));
    painter.setFont(font);
    if (isEmpty()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("这段时间没有数据"));
        painter.restore();
        return;
    }
    if (m_shares.size() > 0) {
        const double pieWidth = qMin(area.width() * 0.36, area.height() * 1.4);
        paintMonths(painter, QRectF(area.left(), area.top(), area.width() - pieWidth, area.height()));
        paintShares(painter, QRectF(area.right() - pieWidth, area.top(), pieWidth, area.height()));
    } else {
        paintMonths(painter, area);
    }
    painter.restore();
}

void StatisticsChart::paintMonths(QPainter& painter, const QRectF& area) const {
    const QFontMetricsF fm(painter.font());
    const double line = fm.height();
    // Title and legend over the plot.
    painter.setPen(Qt::black);
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), line * 1.4), Qt::AlignCenter, m_title);
    QFont normal = bold;
    normal.setBold(false);
    painter.setFont(normal);
    double x = area.left() + line * 4;
    const double legendY = area.top() + line * 1.5;
    for (int s = 0; s < m_series.size(); ++s) {
        painter.fillRect(QRectF(x, legendY + line * 0.25, line * 0.8, line * 0.5), colorAt(s));
        x += line;
        const QString name = m_series[s].name;
        painter.setPen(Qt::black);
        painter.drawText(QPointF(x, legendY + line * 0.8), name);
        x += fm.horizontalAdvance(name) + line;
    }

    double low = 0, high = 0;
    for (const Series& s : m_series) {
        for (double v : s.values) {
            low = qMin(low, v);
            high = qMax(high, v);
        }
    }
    if (high == low) {
        high = low + 1;
    }
    const double step = niceStep(high - low, 5);
    low = std::floor(low / step) * step;
    high = std::ceil(high / step) * step;

    const double labelWidth = fm.horizontalAdvance(QStringLiteral("-000.0万")) + line * 0.5;
    const QRectF plot(area.left() + labelWidth, legendY + line * 1.6, area.width() - labelWidth - line,
                      area.bottom() - (legendY + line * 1.6) - line * 2.2);
    if (plot.width() <= 0 || plot.height() <= 0) {
        return;
    }
    const auto yOf = [&](double v) { return plot.bottom() - (v - low) / (high - low) * plot.height(); };

    // Value axis with its grid.
    const QStringList ticks = axisLabels(low, high, step);
    for (int t = 0; t < ticks.size(); ++t) {
        const double y = yOf(low + t * step);
        painter.setPen(QPen(QColor(0xdd, 0xdd, 0xdd), 0));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(area.left(), y - line / 2, labelWidth - line * 0.3, line),
                         Qt::AlignRight | Qt::AlignVCenter, ticks[t]);
    }
    painter.setPen(QPen(Qt::black, 0));
    painter.drawLine(QPointF(plot.left(), yOf(0)), QPointF(plot.right(), yOf(0)));
    painter.drawLine(plot.bottomLeft(), plot.topLeft());

    const int n = slotCount();
    const double slot = plot.width() / n;
    // Month or category labels: as many as fit.
    double widest = fm.horizontalAdvance(QStringLiteral("2006-06"));
    for (const QString& label : m_labels) {
        widest = qMax(widest, fm.horizontalAdvance(label));
    }
    double labelSpace = widest + line * 0.5;
    // Months keep a space between them; categories fill their slots.
    const double monthGap = m_labels.isEmpty() ? line * 0.5 : 0;
    int every = qMax(1, static_cast<int>(std::ceil((labelSpace + monthGap) / slot)));
    const QFont plotFont = painter.font();
    if (!m_labels.isEmpty() && every > 1) {
        // Every category is named: set smaller to fit its slot.
        painter.setFont(scaledFont(plotFont, qMax(0.5, slot / labelSpace)));
        labelSpace = slot;
        every = 1;
    }
    double taken = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < n; i += every) {
        const QString text = m_labels.isEmpty() ? m_months[i].toString(QStringLiteral("yyyy-MM")) : m_labels[i];
        // The last labels stay inside the picture; one pushed that way onto
        // the label before it is left out.
        const double x = qMin(plot.left() + slot * i + slot / 2 - labelSpace / 2, area.right() - labelSpace);
        if (x < taken + monthGap - 0.5) {
            continue;
        }
        painter.drawText(QRectF(x, plot.bottom() + line * 0.3, labelSpace, line), Qt::AlignCenter, text);
        taken = x + labelSpace;
    }
    painter.setFont(plotFont);

    QList<int> bars;
    for (int s = 0; s < m_series.size(); ++s) {
        if (!m_series[s].line) {
            bars << s;
        }
    }
    if (!bars.isEmpty()) {
        const double barWidth = slot * 0.8 / bars.size();
        for (int b = 0; b < bars.size(); ++b) {
            const Series& s = m_series[bars[b]];
            for (int i = 0; i < n; ++i) {
                const double v = s.values.value(i);
                const double top = yOf(qMax(v, 0.0)), bottom = yOf(qMin(v, 0.0));
                painter.fillRect(
                    QRectF(plot.left() + slot * i + slot * 0.1 + barWidth * b, top, barWidth, qMax(bottom - top, 0.5)),
                    colorAt(bars[b]));
            }
        }
    }
    for (int s = 0; s < m_series.size(); ++s) {
        if (!m_series[s].line) {
            continue;
        }
        QPainterPath path;
        for (int i = 0; i < n; ++i) {
            const QPointF pt(plot.left() + slot * i + slot / 2, yOf(m_series[s].values.value(i)));
            if (i == 0) {
                path.moveTo(pt);
            } else {
                path.lineTo(pt);
            }
        }
        painter.setPen(QPen(colorAt(s), qMax(1.0, line / 8)));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        if (n <= kMaxBarMonths) {
            painter.setBrush(colorAt(s));
            for (int i = 0; i < n; ++i) {
                painter.drawEllipse(QPointF(plot.left() + slot * i + slot / 2, yOf(m_series[s].values.value(i))),
                                    line / 6, line / 6);
            }
        }
    }
}

void StatisticsChart::paintShares(QPainter& painter, const QRectF& area) const {
    const QFontMetricsF fm(painter.font());
    const double line = fm.height();
    double total = 0;
    for (const Share& s : m_shares) {
        total += qMax(0.0, s.amount);
    }
    painter.setPen(Qt::black);
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), line * 1.4), Qt::AlignCenter,
                     QStringLiteral("各类支出占比"));
    bold.setBold(false);
    painter.setFont(bold);
    const double legendHeight = line * 1.2 * m_shares.size();
    const double side = qMax(0.0, qMin(area.width() - line, area.height() - line * 2 - legendHeight));
    const QRectF pie(area.center().x() - side / 2, area.top() + line * 1.6, side, side);
    auto legendText = [&](int i, const QString& name) {
        const double share = total > 0 ? qMax(0.0, m_shares[i].amount) / total : 0;
        return QStringLiteral("%1  %2  %3%")
            .arg(name, amountText(m_shares[i].amount), QString::number(share * 100, 'f', 1));
    };
    auto shareName = [&](int i) { return m_shares[i].name.isEmpty() ? QStringLiteral("(未分类)") : m_shares[i].name; };
    // Every legend line whole: set smaller where the area is narrow, and a
    // long name shortened rather than the amount or its share cut off.
    const double room = area.width() - line * 2;
    double widest = 0;
    for (int i = 0; i < m_shares.size(); ++i) {
        widest = qMax(widest, QFontMetricsF(painter.font()).horizontalAdvance(legendText(i, shareName(i))));
    }
    if (widest > room && room > 0) {
        painter.setFont(scaledFont(painter.font(), qMax(0.6, room / widest)));
    }
    double start = 90 * 16;
    for (int i = 0; i < m_shares.size(); ++i) {
        const double share = total > 0 ? qMax(0.0, m_shares[i].amount) / total : 0;
        const double span = -share * 360 * 16;
        painter.setPen(QPen(Qt::white, 0));
        painter.setBrush(colorAt(i));
        if (share >= 0.999) {
            painter.drawEllipse(pie);
        } else if (share > 0) {
            painter.drawPie(pie, qRound(start), qRound(span));
        }
        start += span;
        const double y = pie.bottom() + line * 0.4 + line * 1.2 * i;
        painter.fillRect(QRectF(area.left() + line, y + line * 0.25, line * 0.8, line * 0.5), colorAt(i));
        painter.setPen(Qt::black);
        QString name = shareName(i);
        const QFontMetricsF metrics(painter.font());
        const double rest = metrics.horizontalAdvance(legendText(i, QString()));
        if (metrics.horizontalAdvance(legendText(i, name)) > room) {
            name = metrics.elidedText(name, Qt::ElideRight, qMax(0.0, room - rest));
        }
        painter.drawText(QRectF(area.left() + line * 2, y, room, line), Qt::AlignLeft | Qt::AlignVCenter,
                         legendText(i, name));
    }
}
