#include "documents/receipt_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/field_def.h"
#include "data/lookup_list.h"
#include "documents/typed_entry.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "reports/document_report_window.h"
#include "ui/data_grid.h"
#include "ui/lookup_delegate.h"

namespace {
QString amountText(const QVariant& value) {
    return formatNumber(value.isNull() ? 0.0 : value.toDouble(), QStringLiteral("0.00"));
}

QString dateText(const QVariant& value) {
    FieldDef date;
    date.type = FieldDef::Type::DateTime;
    date.displayFormat = QStringLiteral("YYYY-MM-DD");
    return date.displayText(date.normalize(value));
}
}  // namespace

ReceiptWindow::ReceiptWindow(AppContext& context, const QString& quotationNo, QWidget* parent)
    : BaseWindow(context, QStringLiteral("Form_Receipt"), parent),
      m_quotationNo(quotationNo),
      m_book(context.data().main(), context.clock(), context.prompter(), context.CurrentUser.UserName),
      m_receiptGrid(new DataGrid(this)),
      m_lineGrid(new DataGrid(this)) {
    setWindowTitle(QStringLiteral("收据列表"));
    for (DataGrid* grid : {m_receiptGrid, m_lineGrid}) {
        grid->view()->setItemDelegate(new LookupDelegate(grid->view()));
        grid->setMultiSelect(true);
        connect(grid, &DataGrid::editFailed, this, [this](const QString& m, const QString& d) {
            ++m_refusals;
            this->context().prompter().showFailure(m, d);
        });
    }

    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(close, &QPushButton::clicked, this, &ReceiptWindow::reject);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeQuotationPanel());
    layout->addWidget(makeReceiptPanel(), 1);
    layout->addWidget(makeLinePanel(), 1);
    layout->addLayout(bottom);
    resize(860, 720);
}

QWidget* ReceiptWindow::makeQuotationPanel() {
    auto* box = new QGroupBox(QStringLiteral("订货单资料"), this);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(8);
    // Captions stand right-aligned before their values; amounts read from
    // the right.
    auto add = [this, box, grid](int row, int column, const QString& caption, const QString& field, ValueKind kind) {
        auto* name = new QLabel(caption, box);
        name->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* value = new QLabel(box);
        value->setObjectName(field);
        value->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        value->setMinimumWidth(kind == ValueKind::Amount ? 110 : 150);
        value->setAlignment((kind == ValueKind::Amount ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(name, row, column);
        grid->addWidget(value, row, column + 1);
        m_values.insert(field.toLower(), {value, kind});
        return QList<QWidget*>{name, value};
    };
    add(0, 0, QStringLiteral("客户姓名:"), "Add_ClientName", ValueKind::Text);
    add(0, 2, QStringLiteral("订货单编号:"), "BillNo", ValueKind::Text);
    add(0, 4, QStringLiteral("制单日期:"), "Keyin_Date", ValueKind::Date);
    add(1, 0, QStringLiteral("总金额"), "sum_Goods_Price", ValueKind::Amount);
    auto* other = new QPushButton(QStringLiteral("其它"), box);
    other->setCheckable(true);
    grid->addWidget(other, 1, 2, Qt::AlignLeft);
    m_preferential = add(1, 4, QStringLiteral("优惠"), "preferential", ValueKind::Amount);
    for (QWidget* w : m_preferential) {
        w->hide();
    }
    connect(other, &QPushButton::toggled, this, [this](bool on) {
        for (QWidget* w : m_preferential) {
            w->setVisible(on);
        }
    });
    add(2, 0, QStringLiteral("应收款:"), "Total_Price", ValueKind::Amount);
    add(2, 2, QStringLiteral("已收款:"), "sum_payed_money", ValueKind::Amount);
    add(2, 4, QStringLiteral("未收款:"), "Leave_money", ValueKind::Amount);
    add(3, 0, QStringLiteral("单据状态:"), "state_desc", ValueKind::Text);
    m_difference = new QLabel(box);
    m_difference->setObjectName(QStringLiteral("linesDifference"));
    m_difference->setStyleSheet(QStringLiteral("color: #c00000;"));
    m_difference->setWordWrap(true);
    grid->addWidget(m_difference, 3, 2, 1, 4);
    grid->setColumnStretch(6, 1);
    return box;
}

QPushButton* ReceiptWindow::addCommand(const QString& name, const QString& caption, const QString& buttonText,
                                       std::function<void()> handler) {
    QAction* a = actions().add(name, caption, [this, handler] {
        if (postPending()) {
            handler();
        }
        showQuotation();
    });
    auto* b = new QPushButton(buttonText, this);
    b->setObjectName(name);
    b->setProperty("action", name);
    b->setMinimumWidth(b->fontMetrics().horizontalAdvance(buttonText) + 24);
    connect(b, &QPushButton::clicked, a, &QAction::trigger);
    m_buttons.append(b);
    return b;
}

QWidget* ReceiptWindow::makeReceiptPanel() {
    auto* box = new QGroupBox(QStringLiteral("收据列表"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addCommand("Action1", QStringLiteral("增加收据"), QStringLiteral("增加收据"), [this] {
        m_book.addReceipt();
        showCurrent(m_receiptGrid, "TotalPrice");
    }));
    buttons->addWidget(addCommand("Action2", QStringLiteral("删除收据 "), QStringLiteral("删除收据 "), [this] {
        if (m_book.deleteReceipts(m_receiptGrid->selectedRows())) {
            showCurrent(m_receiptGrid, "TotalPrice");
        }
    }));
    buttons->addWidget(addCommand("Action5", QStringLiteral("定金收据"), QStringLiteral("刷新定金收据"), [this] {
        m_book.renewDeposit();
        m_book.receipts().locate("BillType", 0);
        showCurrent(m_receiptGrid, "TotalPrice");
    }));
    buttons->addWidget(addCommand("Action3", QStringLiteral("打印收据"), QStringLiteral("打印"), [this] {
        const QString number = m_book.receiptToPrint(m_receiptGrid->selectedRows());
        if (!number.isEmpty()) {
            DocumentReportWindow printout(this->context(), DocumentPrintouts::Kind::Receipt, number, this);
            printout.showModal();
        }
    }));
    buttons->addStretch();
    auto* layout = new QVBoxLayout(box);
    layout->addLayout(buttons);
    layout->addWidget(m_receiptGrid, 1);
    return box;
}

QWidget* ReceiptWindow::makeLinePanel() {
    auto* box = new QGroupBox(QStringLiteral("收据商品明细"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addCommand("Action_AddGoods", QStringLiteral("添加货品"), QStringLiteral("添加货品"), [this] {
        m_book.addLine();
        showCurrent(m_lineGrid, "GoodsClassName");
        m_lineGrid->view()->edit(m_lineGrid->view()->currentIndex());
    }));
    buttons->addWidget(addCommand("Action_DeleteGoods", QStringLiteral("删除货品"), QStringLiteral("删除货品"), [this] {
        if (m_book.deleteLines(m_lineGrid->selectedRows())) {
            showCurrent(m_lineGrid, "GoodsClassName");
        }
    }));
    buttons->addWidget(addCommand("Action4", QStringLiteral("重置明细"), QStringLiteral("重置明细"), [this] {
        if (m_book.rebuildLines()) {
            m_book.lines().first();
            showCurrent(m_lineGrid, "GoodsClassName");
        }
    }));
    buttons->addStretch();
    auto* layout = new QVBoxLayout(box);
    layout->addLayout(buttons);
    layout->addWidget(m_lineGrid, 1);
    return box;
}

QPushButton* ReceiptWindow::button(const QString& text) const {
    for (QPushButton* b : m_buttons) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

void ReceiptWindow::showEvent(QShowEvent* event) {
    BaseWindow::showEvent(event);
    if (m_opened) {
        return;
    }
    m_opened = true;
    // Opening writes only what the quotation lacks (its deposit receipt and
    // lines); it needs no right. Without its quotation the window has
    // nothing to show and closes once the message is read.
    if (!actions().guard([this] { open(); })) {
        QMetaObject::invokeMethod(this, &ReceiptWindow::reject, Qt::QueuedConnection);
    }
}

void ReceiptWindow::open() {
    m_book.open(m_quotationNo);
    connect(&m_book.receipts(), &Dataset::afterApply, this, &ReceiptWindow::showQuotation);
    connect(&m_book.lines(), &Dataset::afterApply, this, &ReceiptWindow::showQuotation);
    connect(&m_book.lines(), &Dataset::resetDone, this, &ReceiptWindow::showQuotation);
    bindGrids();
    showQuotation();
    showCurrent(m_receiptGrid, "TotalPrice");
    showCurrent(m_lineGrid, "GoodsClassName");
    m_receiptGrid->view()->setFocus();
}

void ReceiptWindow::bindGrids() {
    QList<LookupList::Entry> kindEntries;
    for (const auto& [value, name] : m_book.kinds()) {
        kindEntries.append({value, name, {}});
    }
    auto kinds = std::make_shared<LookupList>(kindEntries);
    m_receiptGrid->setDataset(&m_book.receipts());
    m_receiptGrid->setColumns(
        {GridColumn::make("BillNo", QStringLiteral("收据编号"), 120),
         GridColumn::make("TotalPrice", QStringLiteral("收款金额"), 90).asEditable(),
         GridColumn::make("BillType", QStringLiteral("收据类型"), 90).withLookup(kinds).asEditable(),
         GridColumn::make("remark", QStringLiteral("备注"), 200).asEditable(),
         GridColumn::make("keyin_Date", QStringLiteral("制单日期"), 100).withFormat("YYYY-MM-DD").asEditable(),
         GridColumn::make("keyin_User", QStringLiteral("制单人"), 90)});
    m_receiptGrid->setFooter({FooterSummary::count("BillNo", QStringLiteral("0 份收据")),
                              FooterSummary::sum("TotalPrice", QStringLiteral("合计0 元"))});
    // Typing into a grid writes the row: only for users who may make
    // receipts, or add goods lines.
    m_receiptGrid->setReadOnly(!permissions().isAllowed(QStringLiteral("Action1"), objectName()));
    m_receiptGrid->view()->horizontalHeader()->setSectionResizeMode(m_receiptGrid->model()->columnOf("remark"),
                                                                    QHeaderView::Stretch);

    auto units = std::make_shared<LookupList>();
    units->load(m_book.lines().database(), "select unit_code, Unit_name from unit order by unit_code");
    m_lineGrid->setDataset(&m_book.lines());
    m_lineGrid->setColumns(
        {GridColumn::make("GoodsClassName", QStringLiteral("货品名称"), 200).asEditable(),
         GridColumn::make("GoodsClassSize", QStringLiteral("规格"), 110).asEditable(),
         GridColumn::make("GoodsClassUnit", QStringLiteral("计量单位"), 80).withLookup(units).asEditable(),
         GridColumn::make("QTY", QStringLiteral("数量"), 80).asEditable(),
         GridColumn::make("Price", QStringLiteral("单价"), 90).asEditable(),
         GridColumn::make("Total_Price", QStringLiteral("金额"), 100).asEditable()});
    m_lineGrid->setFooter({FooterSummary::count("GoodsClassName", QStringLiteral("共 0 个货品")),
                           FooterSummary::sum("Total_Price", QStringLiteral("合计:0.00"))});
    m_lineGrid->setReadOnly(!permissions().isAllowed(QStringLiteral("Action_AddGoods"), objectName()));
    m_lineGrid->view()->horizontalHeader()->setSectionResizeMode(m_lineGrid->model()->columnOf("GoodsClassName"),
                                                                 QHeaderView::Stretch);
    // Goods typed under the lines, as in the quotation; Enter then goes
    // quantity, price, amount and back.
    if (!m_lineGrid->entryLine()) {
        m_goodsMatches = TypedEntry::goods(*this, *m_lineGrid, "GoodsClassName", [this](const QString& code) {
            actions().require(QStringLiteral("Action_AddGoods"));
            m_lineGrid->commitEdit();
            if (!m_book.addGoodsLine(code)) {
                return false;
            }
            m_lineGrid->editCell(m_book.lines().currentRow(), "QTY");
            return true;
        });
        m_lineGrid->setEnterChain({"QTY", "Price", "Total_Price"});
    }
    m_lineGrid->entryLine()->setEnabled(permissions().isAllowed(QStringLiteral("Action_AddGoods"), objectName()));
}

void ReceiptWindow::showQuotation() {
    const QVariantMap& q = m_book.quotation();
    const QString rounded = m_book.takeRoundingNote();
    const QString difference = m_book.linesDifferenceNote();
    m_difference->setText(rounded.isEmpty()      ? difference
                          : difference.isEmpty() ? rounded
                                                 : rounded + QStringLiteral("；") + difference);
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        const QVariant v = q.value(it.key());
        switch (it->kind) {
            case ValueKind::Text:
                it->label->setText(v.toString());
                break;
            case ValueKind::Date:
                it->label->setText(dateText(v));
                break;
            case ValueKind::Amount:
                it->label->setText(amountText(v));
                break;
        }
    }
}

bool ReceiptWindow::postPending() {
    const int refusals = m_refusals;
    m_receiptGrid->commitEdit();
    m_lineGrid->commitEdit();
    if (m_refusals != refusals) {
        return false;  // the grid has told why
    }
    m_book.postPending();
    return true;
}

void ReceiptWindow::showCurrent(DataGrid* grid, const QString& field) {
    const int row = grid->dataset()->currentRow();
    const int gridRow = grid->model()->gridRow(row);
    if (gridRow < 0) {
        grid->view()->clearSelection();
        return;
    }
    const QModelIndex cell = grid->model()->index(gridRow, qMax(0, grid->model()->columnOf(field)));
    grid->view()->selectionModel()->setCurrentIndex(cell,
                                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grid->view()->scrollTo(cell);
    grid->view()->setFocus();
}

bool ReceiptWindow::confirmClose() {
    // What the grids still hold is written before the window goes. Should
    // that fail, the user is told why and may give the edits up and close,
    // or stay with them to write them again.
    bool written = false;
    QString failure;
    try {
        written = postPending();
        if (!written && !m_book.receipts().hasChanges() && !m_book.lines().hasChanges()) {
            return false;  // a cell's refusal, told by the grid: the edit is open
        }
    } catch (const std::exception& e) {
        failure = userTextOf(e);
        this->context().prompter().showFailure(e);
    }
    if (written) {
        return true;
    }
    bool closing = false;
    actions().guard([this, &closing, &failure] {
        if (!m_book.receipts().hasChanges() && !m_book.lines().hasChanges()) {
            closing = true;  // the failed edits were dropped: nothing is left
            return;
        }
        if (this->context().prompter().askYesNo(
                failure.isEmpty()
                    ? QStringLiteral("收据的修改没有保存。\n是否放弃这些修改并关闭窗口？")
                    : QStringLiteral("收据的修改没有保存（%1）。\n是否放弃这些修改并关闭窗口？").arg(failure))) {
            m_book.discardPending();
            closing = true;
        }
    });
    return closing;
}
