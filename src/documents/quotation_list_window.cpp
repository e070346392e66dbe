#include "documents/quotation_list_window.h"

#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "documents/quotation_edit_window.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/list_grid_setup.h"
#include "ui/shortcuts.h"

namespace {
using Print = DocumentWindows::QuotationPrint;
}

QuotationListWindow::QuotationListWindow(AppContext& context, QWidget* parent)
    : BaseWindow(context, QStringLiteral("Form_Quotation_List"), parent),
      m_list(context.data().main(), context.prompter()),
      m_grid(new DataGrid(this)),
      m_extraButton(new QPushButton(QStringLiteral("显示附加信息"), this)) {
    setWindowTitle(QStringLiteral("订货单列表"));
    // The profit column, its total and the purchase order only for those
    // with the right to see them; for the others the list does not even
    // read them.
    m_seesCost = CostProfitRight::heldBy(permissions());
    m_list.setShowsCost(m_seesCost);

    buildActions();
    Shortcuts::add(*this, QKeySequence(Qt::Key_F5), QStringLiteral("重新读取列表"), [this] {
        const int row = m_list.rows().currentRow();
        reread(row >= 0 ? m_list.rows().value(row, "BillNo").toString() : QString());
    });
    m_grid->setReadOnly(true);
    m_grid->setMultiSelect(false);
    QList<GridColumn> columns{
        GridColumn::make("BillNo", QStringLiteral("贵宾号"), 110),
        GridColumn::make("state_desc", QStringLiteral("单据状态"), 60),
        GridColumn::make("Add_ClientName", QStringLiteral("客户"), 90),
        GridColumn::make("Rummery", QStringLiteral("酒店名称"), 120),
        GridColumn::make("Country", QStringLiteral("国家"), 60),
        GridColumn::make("Link_man", QStringLiteral("联系人"), 70),
        GridColumn::make("telephon", QStringLiteral("电话"), 100),
        GridColumn::make("Send_Date", QStringLiteral("交货日期"), 85).withFormat("YYYY-MM-DD"),
        GridColumn::make("Keyin_Date", QStringLiteral("订货日期"), 85).withFormat("YYYY-MM-DD"),
        GridColumn::make("sum_Goods_Price", QStringLiteral("商品总值"), 80).withFormat("0.00"),
        GridColumn::make("Freight", QStringLiteral("运费"), 65).withFormat("0.00"),
        GridColumn::make("Total_Price", QStringLiteral("总金额"), 80).withFormat("0.00").highlighted(),
        GridColumn::make("earnest", QStringLiteral("订金"), 70).withFormat("0.00"),
        GridColumn::make("sum_payed_money", QStringLiteral("已收款"), 80).withFormat("0.00"),
        GridColumn::make("Leave_money", QStringLiteral("未收款"), 80).withFormat("0.00"),
        GridColumn::make("isPayAll", QStringLiteral("收款情况"), 65),
        GridColumn::make("Remark", QStringLiteral("备注"), 150),
        GridColumn::make("preferential", QStringLiteral("优惠金额"), 70).withFormat("0.00").highlighted().hidden(),
    };
    QList<FooterSummary> footer{FooterSummary::count("BillNo", QStringLiteral("共 0 份单据"))};
    if (m_seesCost) {
        columns << GridColumn::make("total_Gain_Money", QStringLiteral("发发"), 80)
                       .withFormat("0.00")
                       .highlighted()
                       .hidden();
        footer << FooterSummary::sum("total_Gain_Money", QStringLiteral("0.00"));
    }
    m_grid->setColumns(columns);
    m_grid->setFooter(footer);
    m_grid->setInitialSort("BillNo", Qt::DescendingOrder);
    connect(m_grid, &DataGrid::rowDoubleClicked, this,
            [this](int) { actions().execute(QStringLiteral("Action_Edit")); });

    const bool opened = actions().guard([this] {
        // The grid first: it tells the list which sums its footer needs.
        m_grid->setDataset(&m_list.rows());
        m_list.open();
    });
    if (opened) {
        prepareListGrid(*m_grid, this->context());
        showRow(QString());
    }
    m_frame = std::make_unique<ListWindowFrame>(*this, QStringLiteral("订货单"), QStringLiteral("订货日期:"),
                                                this->context().clock().today(), [this] { filterByEntryDate(); });
    connect(m_extraButton, &QPushButton::clicked, this, &QuotationListWindow::toggleExtraColumns);
    m_frame->addToDateBar(m_extraButton);
    m_frame->addButton(QStringLiteral("添加"), QStringLiteral("Action_Add"));
    m_frame->addButton(QStringLiteral("复制添加"), QStringLiteral("Action3"));
    m_frame->addButton(QStringLiteral("编辑"), QStringLiteral("Action_Edit"));
    m_frame->addButton(QStringLiteral("删除"), QStringLiteral("Action1_delete"));
    m_frame->addButton(QStringLiteral("收据"), QStringLiteral("Action1"));
    auto* printButton = new QPushButton(QStringLiteral("打印订货单"), this);
    auto* printMenu = new QMenu(this);
    QAction* style1 = printMenu->addAction(QStringLiteral("订货单样式1"));
    QAction* style2 = printMenu->addAction(QStringLiteral("订货单样式2"));
    connect(style1, &QAction::triggered, actions().action("Action_print"), &QAction::trigger);
    connect(style2, &QAction::triggered, actions().action("Action4"), &QAction::trigger);
    connect(printButton, &QPushButton::clicked, this, [printMenu] { printMenu->popup(QCursor::pos()); });
    m_frame->addToButtons(printButton);
    if (m_seesCost) {
        m_frame->addButton(QStringLiteral("打印采购单"), QStringLiteral("Action2"));
    }
    m_frame->addButton(QStringLiteral("单据生效"), QStringLiteral("Action5"));
    m_frame->addButton(QStringLiteral("单据失效"), QStringLiteral("Action6"));
    m_frame->finish(m_grid, 1100, 640);
}

void QuotationListWindow::runEditor(int mode, const QString& billNo) {
    QuotationEditWindow editor(context(), mode, billNo, this);
    editor.showModal();
}

void QuotationListWindow::buildActions() {
    auto add = [this](const char* name, const char* caption, std::function<void()> handler) {
        actions().add(QString::fromLatin1(name), QString::fromUtf8(caption), std::move(handler));
    };
    add("Action_Add", "添加", [this] {
        runEditor(QuotationDocument::New, QString());
        reread(QString());
    });
    add("Action3", "复制添加", [this] {
        const QString no = selectedBillNo();
        if (no.isEmpty()) {
            this->context().prompter().inform(QStringLiteral("请选择订货单"));
            return;
        }
        runEditor(QuotationDocument::Copy, no);
        reread(QString());
    });
    add("Action_Edit", "编辑", [this] {
        const QList<int> rows = m_grid->selectedRows();
        if (!this->context().prompter().requireOneSelected(rows.size(), QStringLiteral("请选择一条记录"),
                                                           QStringLiteral("一次只能编辑一条记录"))) {
            return;
        }
        const QString no = m_list.rows().value(rows.first(), "BillNo").toString();
        runEditor(QuotationDocument::Existing, no);
        reread(no);
    });
    add("Action1_delete", "删除", [this] {
        const QList<int> rows = m_grid->selectedRows();
        QStringList numbers;
        for (int r : rows) {
            numbers.append(m_list.rows().value(r, "BillNo").toString());
        }
        // The row after the deleted one takes its place, or the one before.
        const int gridRow = m_grid->view()->currentIndex().row();
        QString neighbour;
        for (int step : {1, -1}) {
            const int candidate = m_grid->model()->datasetRow(gridRow + step);
            if (neighbour.isEmpty() && candidate >= 0) {
                neighbour = m_list.rows().value(candidate, "BillNo").toString();
            }
        }
        if (m_list.remove(numbers)) {
            reread(neighbour);
        }
    });
    add("Action1", "收据", [this] {
        const QString no = currentBillNo();
        if (no.isEmpty()) {
            this->context().prompter().inform(QStringLiteral("请选择订货单"));
            return;
        }
        DocumentWindows::openReceipts(this->context(), no, this);
        // The amounts received changed with the receipts.
        reread(no);
    });
    add("Action_print", "打印报价单1", [this] { print(Print::Customer); });
    add("Action4", "打印报价单2", [this] { print(Print::Warning); });
    add("Action2", "打印采购单", [this] { print(Print::Purchase); });
    add("Action5", "单据生效", [this] {
        const QString no = selectedBillNo();
        if (m_list.setInForce(no, true)) {
            reread(no);
        }
    });
    add("Action6", "单据失效", [this] {
        const QString no = selectedBillNo();
        if (m_list.setInForce(no, false)) {
            reread(no);
        }
    });
}

QString QuotationListWindow::selectedBillNo() const {
    const QList<int> rows = m_grid->selectedRows();
    return rows.isEmpty() ? QString() : m_list.rows().value(rows.first(), "BillNo").toString();
}

QString QuotationListWindow::currentBillNo() const {
    const int row = m_list.rows().currentRow();
    if (row < 0 || m_grid->selectedRows().isEmpty()) {
        return {};
    }
    return m_list.rows().value(row, "BillNo").toString();
}

void QuotationListWindow::reread(const QString& billNo) {
    m_list.refresh();
    showRow(billNo);
}

void QuotationListWindow::showRow(const QString& billNo) {
    m_grid->selectRowWhere("BillNo", billNo, m_list.newestRow());
}

void QuotationListWindow::filterByEntryDate() {
    actions().guard([this] {
        const Period period = m_frame->period();
        // The book is read again: what other workstations saved shows too.
        const QString current = currentBillNo();
        m_list.refresh();
        m_grid->clearFilters();
        m_grid->setDateFilter("Keyin_Date", period);
        showRow(current);
    });
}

void QuotationListWindow::print(Print kind) {
    const QString no = selectedBillNo();
    if (no.isEmpty()) {
        this->context().prompter().inform(QStringLiteral("请选择订货单"));
        return;
    }
    DocumentWindows::printQuotation(this->context(), kind, no, this);
}

void QuotationListWindow::toggleExtraColumns() {
    m_extraShown = !m_extraShown;
    m_grid->setColumnVisible("preferential", m_extraShown);
    if (m_seesCost) {
        m_grid->setColumnVisible("total_Gain_Money", m_extraShown);
    }
    m_extraButton->setText(m_extraShown ? QStringLiteral("隐藏附加信息") : QStringLiteral("显示附加信息"));
}
