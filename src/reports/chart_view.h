#pragma once

#include <QString>
#include <QWidget>

class StatisticsChart;

// A report's chart as its window shows it, drawn anew at any size; until
// the report has run, a hint where the chart will be.
class ChartView : public QWidget {
public:
    ChartView(const StatisticsChart& chart, const bool& ran, const QString& hint, QWidget* parent);
    void setHint(const QString& hint);
    const QString& hint() const { return m_hint; }
    // A line under the chart (how far the report has read, when the chart
    // shows alone); empty: none.
    void setNote(const QString& note);
    const QString& note() const { return m_note; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    const StatisticsChart& m_chart;
    const bool& m_ran;
    QString m_hint;
    QString m_note;
};
