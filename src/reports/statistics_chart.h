#pragma once

#include <QDate>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

#include "reports/engine/report_rows.h"
#include "reports/statistics_report.h"

class QPainter;

// The picture of a statistics report: its amounts per month (income,
// payouts and the profit between them) as bars, or as lines when the
// period is long, and for payouts each kind's share of the total. Built
// from the report's sums per month: read in one statement
// (StatisticsReport::monthly) or folded from the rows it prints
// (StatisticsReport::monthlyOf).
class StatisticsChart {
public:
    struct Series {
        QString name;
        QList<double> values;  // one per month
        bool line = false;     // drawn as a line over the bars
    };
    struct Share {
        QString name;
        double amount = 0;
        QString key;  // what orders the shares: the payout kind's code
    };

    static StatisticsChart fromMonthly(StatisticsReport::Kind kind, const ReportRows& sums);
    // From the rows of a report, summed by month (StatisticsReport::monthlyOf).
    static StatisticsChart fromRows(StatisticsReport::Kind kind, const ReportRows& rows) {
        return fromMonthly(kind, StatisticsReport::monthlyOf(kind, rows));
    }
    // Bars over named categories instead of months (the age of receivables).
    static StatisticsChart ofCategories(const QString& title, const QStringList& labels, const QList<Series>& series);

    const QList<QDate>& months() const { return m_months; }
    const QList<Series>& series() const { return m_series; }
    const QList<Share>& shares() const { return m_shares; }
    const QStringList& labels() const { return m_labels; }
    bool isEmpty() const { return slotCount() == 0; }
    // More months than bars can show side by side: lines instead.
    bool drawsLines() const { return slotCount() > kMaxBarMonths; }

    // Draws into `area` (any device; sizes follow the area's height).
    void paint(QPainter& painter, const QRectF& area) const;
    // The chart as a picture of `sizeMm` millimetres at `dpi`.
    QImage image(const QSizeF& sizeMm, double dpi = 200) const;
    // The chart as the statistics templates print it (their "chart" picture).
    QImage printedImage() const { return image(QSizeF(186, 95)); }

    static constexpr int kMaxBarMonths = 24;
    // The value axis's ticks from `low` to `high`: one unit (万, 亿) for all
    // and as many decimals as `step` needs.
    static QStringList axisLabels(double low, double high, double step);

private:
    int slotCount() const { return static_cast<int>(m_labels.isEmpty() ? m_months.size() : m_labels.size()); }
    void paintMonths(QPainter& painter, const QRectF& area) const;
    void paintShares(QPainter& painter, const QRectF& area) const;

    QString m_title;
    QList<QDate> m_months;
    QStringList m_labels;  // categories in place of months
    QList<Series> m_series;
    QList<Share> m_shares;
};
