#include "reports/statistics_window.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "reports/chart_view.h"
#include "reports/engine/report_preparer.h"
#include "reports/report_preview_frame.h"
#include "ui/editors.h"

StatisticsWindow::StatisticsWindow(AppContext& context, StatisticsReport::Kind kind, QWidget* parent)
    : ReportWindow(context, StatisticsReport::windowName(kind), StatisticsReport::templateName(kind), parent),
      m_kind(kind),
      m_from(new NullableDateEdit(this)),
      m_to(new NullableDateEdit(this)),
      m_viewBox(new QComboBox(this)),
      m_run(new QPushButton(QStringLiteral("开始统计"), this)),
      m_chartView(new ChartView(m_chart, m_ran, QStringLiteral("按“开始统计”显示图表"), this)),
      m_body(new QSplitter(Qt::Horizontal, this)) {
    setWindowTitle(StatisticsReport::caption(kind));
    setWindowState(windowState() | Qt::WindowMaximized);
    m_from->setObjectName(QStringLiteral("cxDateEdit_ShipDate_From"));
    m_to->setObjectName(QStringLiteral("cxDateEdit_ShipDate_To"));
    m_run->setObjectName(QStringLiteral("runButton"));

    // The frame moves into a splitter beside the panel, with the chart at
    // its side.
    QWidget* panel = buildPanel();
    m_body->addWidget(m_frame);
    m_body->addWidget(m_chartView);
    // The report takes most of the room and opens fitted to its width, so
    // its columns show whole.
    m_body->setStretchFactor(0, 7);
    m_body->setStretchFactor(1, 3);
    m_body->setSizes({700, 300});
    m_frame->setZoom(ReportPreviewFrame::Zoom::PageWidth);
    placeBeside(panel, m_body);

    connect(m_run, &QPushButton::clicked, this, [this] { run(); });
    // With the chart alone, the report's progress line shows under it.
    connect(m_frame, &ReportPreviewFrame::progressTextChanged, this, [this] { showNoteUnderChart(); });
    connect(m_viewBox, &QComboBox::currentIndexChanged, this,
            [this](int i) { setView(static_cast<View>(qBound(0, i, 2))); });
}

QWidget* StatisticsWindow::buildPanel() {
    QVBoxLayout* v = nullptr;
    QWidget* panel = parameterPanel(&v);
    v->addWidget(new QLabel(QStringLiteral("统计时间段:"), panel));
    v->addWidget(new QLabel(QStringLiteral("从"), panel));
    v->addWidget(m_from);
    v->addWidget(new QLabel(QStringLiteral("到"), panel));
    v->addWidget(m_to);
    if (m_kind == StatisticsReport::Kind::Payout) {
        m_kindBox = new QComboBox(panel);
        m_kindBox->setObjectName(QStringLiteral("cxComboBox_payout_type"));
        m_kindBox->addItems(StatisticsReport::kindChoices());
        m_remarkBox = new QComboBox(panel);
        m_remarkBox->setObjectName(QStringLiteral("cxComboBox_Remark"));
        m_remarkBox->setEditable(true);
        m_remarkBox->addItem(QStringLiteral("全部"));
        m_remarkBox->setCurrentText(QStringLiteral("全部"));
        v->addSpacing(6);
        v->addWidget(new QLabel(QStringLiteral("支出类型:"), panel));
        v->addWidget(m_kindBox);
        v->addWidget(new QLabel(QStringLiteral("支出备注:"), panel));
        v->addWidget(m_remarkBox);
        connect(m_kindBox, &QComboBox::activated, this, [this] { refillRemarks(); });
    }
    v->addSpacing(6);
    v->addWidget(new QLabel(QStringLiteral("显示:"), panel));
    m_viewBox->setObjectName(QStringLiteral("viewBox"));
    m_viewBox->addItems({QStringLiteral("报表和图表"), QStringLiteral("只看报表"), QStringLiteral("只看图表")});
    v->addWidget(m_viewBox);
    v->addSpacing(10);
    v->addWidget(m_run);
    v->addStretch();
    return panel;
}

StatisticsFilter StatisticsWindow::filter() const {
    StatisticsFilter f;
    f.from = m_from->checkedDate(QStringLiteral("开始日期"));
    f.to = m_to->checkedDate(QStringLiteral("结束日期"));
    if (m_kindBox) {
        f.kind = m_kindBox->currentText();
    }
    if (m_remarkBox) {
        f.remark = m_remarkBox->currentText();
    }
    return f;
}

bool StatisticsWindow::run() {
    bool shown = false;
    actions().guard([this, &shown] {
        const StatisticsFilter f = filter();
        auto report = std::make_shared<StatisticsReport>(context().data().main());
        // Asked on every run: rights changed meanwhile take effect.
        report->setShowsCost(CostProfitRight::heldBy(permissions()));
        // Refused here, before any page, when the filter or the rights
        // forbid it.
        QVariantMap unused;
        report->statement(m_kind, f, &unused);
        // The parts still to read, and how many months the next joins: as
        // many as come in about a quarter of a second, so that the window
        // stays quick between them also over a slow line.
        struct Reading {
            QList<StatisticsPart> parts;
            int months = 1;
        };
        auto reading = std::make_shared<Reading>();
        reading->parts = report->parts(m_kind, f);
        const QVariantMap parameters = report->parameters(m_kind, f);
        // Nothing below throws before the new report replaces the one shown.
        m_chart = StatisticsChart();
        m_ran = false;
        m_chartReport = report;
        m_chartFilter = f;
        m_chartView->setHint(QStringLiteral("正在统计…"));
        setParameters(parameters);
        setImage(QStringLiteral("chart"), QImage());
        const StatisticsReport::Kind kind = m_kind;
        // The rows come a part of the period at a time, so that the first
        // pages show at once. The chart shows early from one statement of
        // monthly sums, read right after the first page; once every row is
        // read it is drawn again from the very rows the report prints, so
        // that the chart on its last page agrees with its totals also when
        // others wrote meanwhile.
        auto source = [report, reading, kind, f](ReportRows* rows) {
            if (reading->parts.isEmpty()) {
                return false;
            }
            const int before = static_cast<int>(reading->parts.size());
            const StatisticsPart part = StatisticsReport::takeJoined(&reading->parts, reading->months);
            const int joined = before - static_cast<int>(reading->parts.size());
            QElapsedTimer clock;
            clock.start();
            ReportRows more = report->rows(kind, f, &part);
            const qint64 spent = qMax<qint64>(1, clock.elapsed());
            if (part.from.isValid()) {
                reading->months =
                    static_cast<int>(std::clamp<qint64>(joined * kPartMilliseconds / spent, 1, kMostMonths));
            }
            if (rows->fields.isEmpty()) {
                rows->fields = more.fields;
            }
            rows->rows.append(std::move(more.rows));
            return true;
        };
        auto whenRead = [this](const ReportRows& rows, ReportPreparer& preparer) {
            showChart(StatisticsChart::fromRows(m_kind, rows));
            preparer.setImage(QStringLiteral("chart"), m_chart.printedImage());
            setRows(rows);
        };
        shown = showReportInSteps(source, whenRead);
        if (!shown) {
            m_chartReport.reset();
            if (m_chartView->hint() == QStringLiteral("正在统计…")) {
                m_chartView->setHint(QStringLiteral("按“开始统计”显示图表"));
            }
        } else if (m_chartReport) {
            // After the first page is on screen, while the rest still reads.
            QTimer::singleShot(0, this, [this] {
                if (!actions().guard([this] { readChart(); })) {
                    m_chartView->setHint(QStringLiteral("图表没有读出"));
                }
            });
        }
    });
    return shown;
}

void StatisticsWindow::readChart() {
    if (!m_chartReport) {
        return;
    }
    showChart(StatisticsChart::fromMonthly(m_kind, m_chartReport->monthly(m_kind, m_chartFilter)));
}

void StatisticsWindow::showChart(StatisticsChart chart) {
    m_chartReport.reset();
    m_chart = std::move(chart);
    m_ran = true;
    m_chartView->update();
}

void StatisticsWindow::preparingEnded(bool done) {
    if (!done) {
        // No chart beside a report that stopped short, though one was read
        // early: the two would not agree.
        m_chartReport.reset();
        m_chart = StatisticsChart();
        m_ran = false;
        m_chartView->setHint(QStringLiteral("数据没有读完，没有图表"));
    }
}

void StatisticsWindow::showNoteUnderChart() {
    m_chartView->setNote(m_frame->isHidden() ? m_frame->progressText() : QString());
}

void StatisticsWindow::setView(View view) {
    m_frame->setVisible(view != View::Chart);
    m_chartView->setVisible(view != View::Report);
    showNoteUnderChart();
    if (m_viewBox->currentIndex() != static_cast<int>(view)) {
        m_viewBox->setCurrentIndex(static_cast<int>(view));
    }
}

void StatisticsWindow::refillRemarks() {
    if (!m_kindBox || !m_remarkBox || m_kindBox->currentText().isEmpty()) {
        return;
    }
    actions().guard([this] {
        const QStringList choices = StatisticsReport(context().data().main()).remarkChoices(m_kindBox->currentText());
        m_remarkBox->clear();
        m_remarkBox->addItems(choices);
        m_remarkBox->setCurrentText(QStringLiteral("全部"));
    });
}
