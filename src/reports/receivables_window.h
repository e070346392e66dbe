#pragma once

#include <functional>

#include "reports/receivables_aging.h"
#include "reports/report_window.h"
#include "reports/statistics_chart.h"

class NullableDateEdit;
class QPushButton;
class QSplitter;
class QTableWidget;

// "应收账款账龄": the as-of day (today at first) and "开始" on the left; the
// report, and beside it the chart of the age buckets over the customers
// with something open. A double click on a customer opens its statement of
// the quotations open on the day. The right of the main window's command
// is asked on every run.
class ReceivablesWindow : public ReportWindow {
    Q_OBJECT
public:
    explicit ReceivablesWindow(AppContext& context, QWidget* parent = nullptr);

    NullableDateEdit* asOfDate() const { return m_asOf; }
    QPushButton* runButton() const { return m_run; }
    QTableWidget* customerTable() const { return m_table; }
    const ReceivablesAging::Result& result() const { return m_result; }
    const StatisticsChart& chart() const { return m_chart; }

    bool run();
    // The statement of the customer of a table row, open quotations only.
    void openStatement(int row);

private:
    void fillTable();

    // Before the chart view, which draws them.
    StatisticsChart m_chart;
    bool m_ran = false;
    NullableDateEdit* m_asOf;
    QPushButton* m_run;
    QTableWidget* m_table;
    QWidget* m_chartView;
    ReceivablesAging::Result m_result;
};
