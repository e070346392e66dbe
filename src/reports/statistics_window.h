#pragma once

#include "reports/chart_view.h"
#include "reports/report_window.h"
#include "reports/statistics_chart.h"
#include "reports/statistics_report.h"

class NullableDateEdit;
class QComboBox;
class QPushButton;
class QSplitter;

// "收入统计", "支出统计" and "利润统计": a light blue panel on the left with
// the period (and for payouts the kind and remark drop-downs) and "开始统计",
// which reads the rows anew on every press and shows the report, with its
// chart beside it, instead of it or not at all. The window opens maximised;
// the last parameters stay while it is open.
class StatisticsWindow : public ReportWindow {
    Q_OBJECT
public:
    enum class View { ReportAndChart, Report, Chart };

    StatisticsWindow(AppContext& context, StatisticsReport::Kind kind, QWidget* parent = nullptr);

    // A part of the rows is sized to be read in about this long, of one
    // month up to this many.
    static constexpr int kPartMilliseconds = 250;
    static constexpr int kMostMonths = 12;

    StatisticsReport::Kind kind() const { return m_kind; }
    NullableDateEdit* fromDate() const { return m_from; }
    NullableDateEdit* toDate() const { return m_to; }
    QComboBox* kindBox() const { return m_kindBox; }
    QComboBox* remarkBox() const { return m_remarkBox; }
    QComboBox* viewBox() const { return m_viewBox; }
    QPushButton* runButton() const { return m_run; }
    QWidget* chartView() const { return m_chartView; }
    const StatisticsChart& chart() const { return m_chart; }
    StatisticsFilter filter() const;

    // "开始统计": false when the filter is refused or reading fails (said
    // through the Prompter); the previous report then stays.
    bool run();
    void setView(View view);
    // Fills the remark choices for the chosen kind ("全部" set as the text).
    void refillRemarks();

protected:
    void preparingEnded(bool done) override;

private:
    QWidget* buildPanel();
    // Reads the early chart of the last "开始统计" unless it came already;
    // throws as the statement does.
    void readChart();
    // Shows a chart of the last "开始统计"; an early one still due is no
    // longer wanted.
    void showChart(StatisticsChart chart);
    void showNoteUnderChart();

    StatisticsReport::Kind m_kind;
    StatisticsChart m_chart;
    bool m_ran = false;  // the chart of the last "开始统计" is read
    // The report and filter of the last "开始统计", while its early chart
    // is still to be read.
    std::shared_ptr<const StatisticsReport> m_chartReport;
    StatisticsFilter m_chartFilter;
    NullableDateEdit* m_from;
    NullableDateEdit* m_to;
    QComboBox* m_kindBox = nullptr;
    QComboBox* m_remarkBox = nullptr;
    QComboBox* m_viewBox;
    QPushButton* m_run;
    ChartView* m_chartView;
    QSplitter* m_body;
};
