#include "reports/receivables_window.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "data/app_context.h"
#include "data/data_module.h"
#include "platform/clock.h"
#include "reports/chart_view.h"
#include "reports/report_preview_frame.h"
#include "reports/statement_window.h"
#include "ui/editors.h"

ReceivablesWindow::ReceivablesWindow(AppContext& context, QWidget* parent)
    : ReportWindow(context, ReceivablesAging::windowName(), ReceivablesAging::templateName(), parent),
      m_asOf(new NullableDateEdit(this)),
      m_run(new QPushButton(QStringLiteral("开始"), this)),
      m_table(new QTableWidget(this)),
      m_chartView(new ChartView(m_chart, m_ran, QStringLiteral("按“开始”显示账龄图表"), this)) {
    setWindowTitle(ReceivablesAging::caption());
    setWindowState(windowState() | Qt::WindowMaximized);
    m_asOf->setObjectName(QStringLiteral("asOfDate"));
    m_asOf->setValue(context.clock().today());
    m_run->setObjectName(QStringLiteral("runButton"));

    QVBoxLayout* v = nullptr;
    QWidget* panel = parameterPanel(&v);
    v->addWidget(new QLabel(QStringLiteral("截止日期:"), panel));
    v->addWidget(m_asOf);
    v->addSpacing(10);
    v->addWidget(m_run);
    auto* hint = new QLabel(QStringLiteral("双击右侧的客户，查看其截止日未结清订货单（含预收/多收）的对账单"), panel);
    hint->setWordWrap(true);
    v->addSpacing(10);
    v->addWidget(hint);
    v->addStretch();

    m_table->setObjectName(QStringLiteral("customerTable"));
    m_table->setColumnCount(4);
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("客户"), QStringLiteral("未收款"), QStringLiteral("单数"), QStringLiteral("最早订货日期")});
    m_table->setMinimumWidth(320);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { openStatement(row); });

    auto* side = new QSplitter(Qt::Vertical, this);
    side->addWidget(m_chartView);
    side->addWidget(m_table);
    auto* body = new QSplitter(Qt::Horizontal, this);
    body->addWidget(m_frame);
    body->addWidget(side);
    body->setStretchFactor(0, 6);
    body->setStretchFactor(1, 4);
    body->setSizes({600, 400});
    m_frame->setZoom(ReportPreviewFrame::Zoom::PageWidth);
    placeBeside(panel, body);

    connect(m_run, &QPushButton::clicked, this, [this] { run(); });
}

bool ReceivablesWindow::run() {
    bool shown = false;
    actions().guard([this, &shown] {
        permissions().CheckActionPermission(ReceivablesAging::actionName(), QStringLiteral("main_frm"));
        ReceivablesAging aging(context().data().main());
        ReceivablesAging::Result result = aging.build(m_asOf->checkedDate(QStringLiteral("截止日期")));
        m_chart = ReceivablesAging::chart(result);
        setRows(ReceivablesAging::rows(result));
        setParameters(aging.parameters(result));
        setImage(QStringLiteral("chart"), m_chart.printedImage());
        m_result = std::move(result);
        m_ran = true;
        m_chartView->update();
        fillTable();
        shown = showReport();
    });
    return shown;
}

void ReceivablesWindow::fillTable() {
    m_table->setRowCount(0);
    m_table->setRowCount(static_cast<int>(m_result.lines.size()));
    for (int r = 0; r < m_result.lines.size(); ++r) {
        const ReceivablesAging::Line& line = m_result.lines[r];
        const QString name = line.party.clientNo.isEmpty()
                                 ? line.party.name
                                 : QStringLiteral("%1 %2").arg(line.party.clientNo, line.party.name);
        auto* amount = new QTableWidgetItem(QLocale(QLocale::Chinese).toString(centsToAmount(line.total), 'f', 2));
        amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (line.overpaid) {
            amount->setForeground(Qt::darkRed);
            amount->setToolTip(QStringLiteral("预收/多收"));
        }
        m_table->setItem(r, 0, new QTableWidgetItem(name));
        m_table->setItem(r, 1, amount);
        m_table->setItem(r, 2, new QTableWidgetItem(QString::number(line.quotations)));
        m_table->setItem(r, 3, new QTableWidgetItem(line.oldest.toString(Qt::ISODate)));
    }
    m_table->resizeColumnsToContents();
    // The customer takes what the numbers leave.
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
}

void ReceivablesWindow::openStatement(int row) {
    if (row < 0 || row >= m_result.lines.size()) {
        return;
    }
    actions().guard([this, row] {
        const ReceivableParty& party = m_result.lines[row].party;
        StatementWindow statement(context(), this);
        statement.setParties({party});
        statement.setOpenOnly(m_result.asOf);
        if (statement.run()) {
            runWindow(context(), statement);
        }
    });
}
