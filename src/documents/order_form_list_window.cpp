#include "documents/order_form_list_window.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/lookup_list.h"
#include "documents/derived_form_window.h"
#include "documents/document_windows.h"
#include "documents/order_form_generator.h"
#include "documents/order_form_window.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/list_grid_setup.h"
#include "ui/shortcuts.h"

OrderFormListWindow::OrderFormListWindow(AppContext& context, QWidget* parent)
    : BaseWindow(context, QStringLiteral("frm_GainBill_list"), parent),
      m_list(context.data().main(), context.prompter()),
      m_grid(new DataGrid(this)),
      m_extraButton(new QPushButton(QStringLiteral("显示附加信息"), this)),
      m_operate(new QMenu(this)) {
    setWindowTitle(QStringLiteral("收据记录表"));

    buildActions();
    Shortcuts::add(*this, QKeySequence(Qt::Key_F5), QStringLiteral("重新读取列表"), [this] {
        const int row = m_list.rows().currentRow();
        reread(row >= 0 ? m_list.rows().value(row, "Order_Form_Code").toString() : QString());
    });
    auto paid = std::make_shared<LookupList>();
    m_grid->setReadOnly(true);
    m_grid->setMultiSelect(true);
    m_grid->setColumns({
        GridColumn::make("ID", QStringLiteral("ID"), 50).hidden(),
        GridColumn::make("Order_Form_Code", QStringLiteral("贵宾号"), 110),
        GridColumn::make("Contract_No", QStringLiteral("合同号"), 90).hidden(),
        GridColumn::make("Gain_Customer_Name", QStringLiteral("酒店名称"), 130),
        GridColumn::make("Link_man", QStringLiteral("客户名称"), 90),
        GridColumn::make("Send_Date", QStringLiteral("交货日期"), 85).withFormat("YYYY-MM-DD"),
        GridColumn::make("User_name", QStringLiteral("制单人"), 70).hidden(),
        GridColumn::make("Keyin_Date", QStringLiteral("订货日期"), 85).withFormat("YYYY-MM-DD"),
        GridColumn::make("sum_price", QStringLiteral("总金额"), 90).withFormat("0.00"),
        GridColumn::make("earnest", QStringLiteral("已收订金"), 80).withFormat("0.00"),
        GridColumn::make("preferential", QStringLiteral("优惠金额"), 70).withFormat("0.00").hidden(),
        GridColumn::make("isPay", QStringLiteral("收款情况"), 70).withLookup(paid),
        GridColumn::make("isPigeonhole", QStringLiteral("归档情况"), 60).hidden(),
        GridColumn::make("Remark_ShipmentForm", QStringLiteral("备注"), 180),
        GridColumn::make("Forms_Note", QStringLiteral("表单"), 150),
        GridColumn::make("IsDelete", QStringLiteral("状态"), 50).hidden(),
    });
    m_grid->setFooter({FooterSummary::count("Order_Form_Code", QStringLiteral("共 0 份收据")),
                       FooterSummary::sum("sum_price", QStringLiteral("0.00")),
                       FooterSummary::sum("earnest", QStringLiteral("0.00"))});
    // The order entered last first: codes carry two-digit years, which do not
    // sort across centuries.
    m_grid->setInitialSort("ID", Qt::DescendingOrder);
    connect(m_grid, &DataGrid::rowDoubleClicked, this,
            [this](int) { actions().execute(QStringLiteral("Action_Edit")); });

    // The generation commands are the grid's context menu too.
    for (const char* name :
         {"Action_CreateWorkFormExecute", "Action_CreateWareOutFormExecute", "Action_CreateShipmentFormExecute"}) {
        m_operate->addAction(actions().action(QString::fromLatin1(name)));
    }
    m_grid->view()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid->view(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_operate->popup(m_grid->view()->viewport()->mapToGlobal(at)); });

    const bool opened = actions().guard([this, paid] {
        paid->loadCodeList(this->context().data().main(), "Dusmere_Order_Form_head", "isPay");
        // The grid first: it tells the list which sums its footer needs.
        m_grid->setDataset(&m_list.rows());
        m_list.open();
    });
    if (opened) {
        prepareListGrid(*m_grid, this->context());
        showRow(QString());  // the rows were just read
    }
    m_frame = std::make_unique<ListWindowFrame>(*this, QStringLiteral("收据"), QStringLiteral("制单日期:"),
                                                this->context().clock().today(), [this] { filterByOrderDate(); });
    connect(m_extraButton, &QPushButton::clicked, this, &OrderFormListWindow::toggleExtraColumns);
    m_frame->addToDateBar(m_extraButton);
    m_frame->addButton(QStringLiteral("添加"), QStringLiteral("Action_Add"));
    m_frame->addButton(QStringLiteral("编辑"), QStringLiteral("Action_Edit"));
    m_frame->addButton(QStringLiteral("删除"), QStringLiteral("Action1_delete"));
    m_frame->addButton(QStringLiteral("打印"), QStringLiteral("Action_print"));
    for (const DerivedFormTables& t : DerivedFormTables::all()) {
        m_frame->addButton(QStringLiteral("生成") + t.caption, t.generateAction);
    }
    // The forms made from the current order, to look at and print.
    auto* forms = new QPushButton(QStringLiteral("查看单据"), this);
    forms->setObjectName("showForms");
    auto* formsMenu = new QMenu(forms);
    const std::pair<const char*, DocumentPrintouts::Kind> kinds[] = {{"工作单", DocumentPrintouts::Kind::WorkForm},
                                                                     {"出仓单", DocumentPrintouts::Kind::WareOutForm},
                                                                     {"出货单", DocumentPrintouts::Kind::ShipmentForm}};
    for (const auto& [caption, kind] : kinds) {
        const DocumentPrintouts::Kind k = kind;
        connect(formsMenu->addAction(QString::fromUtf8(caption)), &QAction::triggered, this,
                [this, k] { showForms(k); });
    }
    forms->setMenu(formsMenu);
    m_frame->addToButtons(forms);
    m_frame->finish(m_grid, 1000, 620);
}

void OrderFormListWindow::buildActions() {
    auto add = [this](const char* name, const char* caption, std::function<void()> handler) {
        actions().add(QString::fromLatin1(name), QString::fromUtf8(caption), std::move(handler));
    };
    add("Action_Add", "添加", [this] {
        runEditor(OrderFormDocument::New, QString());
        reread(QString());
    });
    add("Action_Edit", "编辑", [this] {
        const QStringList codes = selectedCodes();
        if (!m_list.checkEditSelection(codes)) {
            return;
        }
        runEditor(OrderFormDocument::Existing, codes.first());
        reread(codes.first());
    });
    add("Action1_delete", "删除", [this] {
        if (m_list.remove(selectedCodes())) {
            reread(QString());
        }
    });
    add("Action_print", "打印", [this] {
        if (!m_list.checkPrintSelection(selectedCodes())) {
            return;
        }
        // The order under the cursor, one per command.
        const QString code = currentCode();
        DocumentWindows::printOrder(context(), code.isEmpty() ? selectedCodes().first() : code, this);
    });
    for (const DerivedFormTables& forms : DerivedFormTables::all()) {
        const DerivedForm form = forms.form;
        actions().add(forms.generateAction, QStringLiteral("生成") + forms.caption, [this, form] {
            OrderFormGenerator generator(this->context().data().main(), this->context().clock(),
                                         this->context().prompter(), this->context().CurrentUser.UserName);
            generator.create(form, selectedCodes());
        });
    }
    // 查看单据: the forms of the kind chosen from its menu.
    add("Action_ShowForms", "查看单据", [this] {
        const QString code = currentCode();
        if (code.isEmpty()) {
            this->context().prompter().inform(QStringLiteral("请选择一份订货单"));
            return;
        }
        DerivedFormWindow forms(this->context(), m_formsKind, this);
        forms.showOrder(code);
        forms.showModal();
    });
}

void OrderFormListWindow::runEditor(int mode, const QString& code) {
    OrderFormWindow editor(context(), mode, code, this);
    editor.showModal();
}

QStringList OrderFormListWindow::selectedCodes() const {
    QStringList codes;
    for (int r : m_grid->selectedRows()) {
        codes.append(m_list.rows().value(r, "Order_Form_Code").toString());
    }
    return codes;
}

QString OrderFormListWindow::currentCode() const {
    const int row = m_list.rows().currentRow();
    const QList<int> selected = m_grid->selectedRows();
    return row >= 0 && selected.contains(row) ? m_list.rows().value(row, "Order_Form_Code").toString() : QString();
}

void OrderFormListWindow::reread(const QString& code) {
    m_list.refresh();
    showRow(code);
}

void OrderFormListWindow::showRow(const QString& code) {
    // Else the first row as the grid shows it: the newest order.
    const int first = m_grid->model()->datasetRow(0);
    m_grid->selectRowWhere("Order_Form_Code", code, first >= 0 ? first : 0);
}

void OrderFormListWindow::filterByOrderDate() {
    actions().guard([this] {
        const Period period = m_frame->period();
        // The book is read again: what other workstations saved shows too.
        const QString current = currentCode();
        m_list.refresh();
        m_grid->clearFilters();
        m_grid->setDateFilter("Keyin_Date", period);
        showRow(current);
    });
}

void OrderFormListWindow::showForms(DocumentPrintouts::Kind kind) {
    m_formsKind = kind;
    actions().execute(QStringLiteral("Action_ShowForms"));
}

void OrderFormListWindow::toggleExtraColumns() {
    m_extraShown = !m_extraShown;
    m_grid->setColumnVisible("preferential", m_extraShown);
    m_extraButton->setText(m_extraShown ? QStringLiteral("隐藏附加信息") : QStringLiteral("显示附加信息"));
}
