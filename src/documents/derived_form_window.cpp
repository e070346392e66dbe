#include "documents/derived_form_window.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/order_form_revision.h"
#include "platform/prompter.h"
#include "reports/document_report_window.h"
#include "ui/data_grid.h"
#include "ui/list_grid_setup.h"

namespace {
QString windowName(DerivedFormList::Kind kind) {
    switch (kind) {
        case DerivedFormList::Kind::WorkForm:
            return QStringLiteral("Dusmere_Work_Form_List");
        case DerivedFormList::Kind::WareOutForm:
            return QStringLiteral("Dusmere_Ware_Out_Form_List");
        default:
            return QStringLiteral("Dusmere_Shipment_Form_List");
    }
}

// One summary entry a line: the entries are kept apart by ";".
QString summaryLines(const QString& text) {
    return text.split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char('\n'));
}
}  // namespace

DerivedFormWindow::DerivedFormWindow(AppContext& context, DerivedFormList::Kind kind, QWidget* parent)
    : BaseWindow(context, windowName(kind), parent), m_list(context.data().main(), kind), m_forms(new DataGrid(this)) {
    const QString caption = DerivedFormList::caption(kind);
    setWindowTitle(caption);
    actions().add(QStringLiteral("Action_print"), QStringLiteral("打印"), [this, caption, kind] {
        const QString code = currentCode();
        if (code.isEmpty()) {
            this->context().prompter().inform(QStringLiteral("请选择一份%1").arg(caption));
            return;
        }
        // A form made before its order last changed is printed knowingly.
        if (!currentStaleNote().isEmpty() &&
            !this->context().prompter().askYesNo(QStringLiteral("这份%1是在订单修改之前生成的（%2），是否仍要打印？")
                                                     .arg(caption, OrderFormRevision::staleText()))) {
            return;
        }
        DocumentReportWindow printout(this->context(), kind, code, this);
        printout.showModal();
    });

    QList<GridColumn> formColumns{
        GridColumn::make("Form_Code", caption + QStringLiteral("号"), 110),
        GridColumn::make("Order_Form_Code", QStringLiteral("贵宾号"), 110),
        GridColumn::make("Gain_Customer_Name", QStringLiteral("酒店名称"), 130),
        GridColumn::make("Link_man", QStringLiteral("客户名称"), 90),
        GridColumn::make("telephon", QStringLiteral("电话"), 100),
        GridColumn::make("Send_Date", QStringLiteral("交货日期"), 85).withFormat("YYYY-MM-DD"),
        GridColumn::make("KeyIn_Date", QStringLiteral("制单日期"), 85).withFormat("YYYY-MM-DD"),
        GridColumn::make("KeyIn_Person", QStringLiteral("制单人"), 70),
        GridColumn::make("Row_Count", QStringLiteral("货品数"), 60),
    };
    if (kind == DerivedFormList::Kind::ShipmentForm) {
        formColumns.insert(5, GridColumn::make("RecivePerson_Telephone", QStringLiteral("收货人电话"), 100));
    }
    m_forms->setReadOnly(true);
    m_forms->setMultiSelect(false);
    m_forms->setColumns(formColumns);
    m_forms->setFooter({FooterSummary::count("Form_Code", QStringLiteral("共 0 份") + caption)});
    m_forms->setInitialSort("Form_Code", Qt::DescendingOrder);

    QWidget* below = nullptr;
    if (kind == DerivedFormList::Kind::WareOutForm) {
        below = new QWidget(this);
        auto* summaries = new QHBoxLayout(below);
        m_goods = new QPlainTextEdit(below);
        m_locks = new QPlainTextEdit(below);
        for (QPlainTextEdit* e : {m_goods, m_locks}) {
            e->setReadOnly(true);
        }
        auto* goodsBox = new QVBoxLayout;
        goodsBox->addWidget(new QLabel(QStringLiteral("货品"), below));
        goodsBox->addWidget(m_goods);
        auto* lockBox = new QVBoxLayout;
        lockBox->addWidget(new QLabel(QStringLiteral("锁具及五金"), below));
        lockBox->addWidget(m_locks);
        summaries->addLayout(goodsBox, 3);
        summaries->addLayout(lockBox, 2);
    } else {
        m_rows = new DataGrid(this);
        m_rows->setReadOnly(true);
        m_rows->setMultiSelect(false);
        m_rows->setColumns({
            GridColumn::make("Form_Goods_Code", QStringLiteral("货品编号"), 80),
            GridColumn::make("Goods_name_Desc", QStringLiteral("货品名称"), 110),
            GridColumn::make("Goods_Type_Desc", QStringLiteral("货品系列"), 90),
            GridColumn::make("Colour_Desc", QStringLiteral("型材颜色"), 80),
            GridColumn::make("Model_Size", QStringLiteral("规格"), 90),
            GridColumn::make("Goods_Unit_Desc", QStringLiteral("计量单位"), 60),
            GridColumn::make("QTY", QStringLiteral("数量"), 60).withFormat("0.####"),
            GridColumn::make("Glass_Type_Desc", QStringLiteral("玻璃-品种1"), 80),
            GridColumn::make("Lock_Size_Desc", QStringLiteral("锁具-型号"), 80),
            GridColumn::make("Lock_Fittings", QStringLiteral("出货配套五金"), 120),
            GridColumn::make("Remark_WorkForm", QStringLiteral("备注-作业单"), 120),
        });
        m_rows->setFooter({FooterSummary::sum("QTY", QStringLiteral("0.####"))});
        below = m_rows;
    }

    if (actions().guard([this] {
            m_list.open();
            m_forms->setDataset(&m_list.forms());
            if (m_rows) {
                m_rows->setDataset(&m_list.rows());
            }
        })) {
        prepareListGrid(*m_forms, this->context());
        if (!m_list.forms().isEmpty()) {
            m_forms->selectRow(m_forms->model()->datasetRow(0));
        }
        showCurrentRows();
    }
    connect(&m_list.forms(), &Dataset::currentRowChanged, this, [this](int) { showCurrentRows(); });
    // A click on the form that is already current (hidden by a filter
    // before) changes only the selection: the rows follow it too.
    if (QItemSelectionModel* selection = m_forms->view()->selectionModel()) {
        connect(selection, &QItemSelectionModel::selectionChanged, this, [this] { showCurrentRows(); });
    }

    auto* title = new QLabel(caption, this);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    title->setFont(big);
    auto* print = new QPushButton(QStringLiteral("打印"), this);
    print->setObjectName("Action_print");
    connect(print, &QPushButton::clicked, actions().action(QStringLiteral("Action_print")), &QAction::trigger);
    auto* close = new QPushButton(QStringLiteral("关闭窗口"), this);
    connect(close, &QPushButton::clicked, this, &DerivedFormWindow::reject);
    m_staleNote = new QLabel(this);
    m_staleNote->setObjectName(QStringLiteral("staleNote"));
    m_staleNote->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    m_staleNote->setText(currentStaleNote());
    auto* top = new QHBoxLayout;
    top->addWidget(title);
    top->addSpacing(20);
    top->addWidget(m_staleNote);
    top->addStretch();
    top->addWidget(print);
    top->addWidget(close);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_forms);
    split->addWidget(below);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    resize(1000, 640);
}

QString DerivedFormWindow::currentStaleNote() const {
    const Dataset& forms = m_list.forms();
    if (currentCode().isEmpty() || forms.currentRow() < 0 || forms.fieldIndex("Forms_Note") < 0) {
        return {};
    }
    return forms.value(forms.currentRow(), "Forms_Note").toString();
}

void DerivedFormWindow::showOrder(const QString& orderCode) {
    m_forms->model()->setColumnFilter("Order_Form_Code", {orderCode});
    selectFirstShown();
}

void DerivedFormWindow::selectFirstShown() {
    const int first = m_forms->model()->datasetRow(0);
    if (first >= 0) {
        m_forms->selectRow(first);
    } else {
        m_forms->view()->clearSelection();
    }
    showCurrentRows();
}

QString DerivedFormWindow::currentCode() const {
    const Dataset& forms = m_list.forms();
    const int row = forms.currentRow();
    return row >= 0 && !m_forms->selectedRows().isEmpty() ? forms.value(row, "Form_Code").toString() : QString();
}

void DerivedFormWindow::showCurrentRows() {
    actions().guard([this] {
        // Nothing below when no form is chosen (or the filter hides them all).
        const Dataset& forms = m_list.forms();
        const QString code = currentCode();
        const int row = code.isEmpty() ? -1 : forms.currentRow();
        if (m_staleNote) {
            m_staleNote->setText(currentStaleNote());
        }
        if (m_goods) {
            m_goods->setPlainText(row >= 0 ? summaryLines(forms.value(row, "DetailNames").toString()) : QString());
            m_locks->setPlainText(row >= 0 ? summaryLines(forms.value(row, "Fittings").toString()) : QString());
        } else {
            m_list.showRows(code);
        }
    });
}
