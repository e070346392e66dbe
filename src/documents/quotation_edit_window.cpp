#include "documents/quotation_edit_window.h"

#include <QCheckBox>
#include <QCursor>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "admin/picture_viewer_dialog.h"
#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/lookup_list.h"
#include "documents/delivery_date.h"
#include "documents/price_history_dialog.h"
#include "documents/typed_entry.h"
#include "master/goods_list_window.h"
#include "master/partner_list_window.h"
#include "platform/picture_file.h"
#include "platform/prompter.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/field_binder.h"
#include "ui/match_popup.h"
#include "ui/style_holder.h"

namespace {
using Print = DocumentWindows::QuotationPrint;
}

QuotationEditWindow::QuotationEditWindow(AppContext& context, int mode, const QString& billNo, QWidget* parent)
    : BaseWindow(context, QStringLiteral("Form_Quotation_Edit"), parent),
      m_document(context.data().main(), context.clock(), context.prompter(), context.CurrentUser.UserName) {
    setWindowTitle(QStringLiteral("订货单编辑"));
    setStyleSheet(StyleHolder::editorStyleSheet());
    // A customer name being typed reads its last prices once the typing
    // pauses, not at every key.
    auto* lastPricesTimer = new QTimer(this);
    lastPricesTimer->setSingleShot(true);
    lastPricesTimer->setInterval(400);
    connect(lastPricesTimer, &QTimer::timeout, this, [this] {
        actions().guard([this] {
            m_document.reloadLastPrices();
            if (m_grid) {
                m_grid->view()->viewport()->update();
            }
        });
    });
    m_document.deferLastPrices = [lastPricesTimer] { lastPricesTimer->start(); };

    // Loading runs without the permission check; a quotation that cannot be
    // loaded is told and the window closes when shown.
    m_loaded = actions().guard([&] {
        m_document.load(mode, billNo);
        m_document.reloadCustomers();
    });

    auto* title = new QLabel(QStringLiteral("订 货 单"), this);
    title->setAlignment(Qt::AlignCenter);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 8);
    big.setBold(true);
    title->setFont(big);

    buildActions();
    QWidget* head = buildHead();

    m_grid = new DataGrid(this);
    m_grid->setDataset(&m_document.lines());
    m_grid->setMultiSelect(true);
    m_grid->setReadOnly(false);  // the lines are edited in the grid
    m_grid->view()->setSortingEnabled(false);
    // Purchase prices and profits are shown only to those with the right to
    // see them; for the others their columns, their total and the purchase
    // order are not there at all.
    m_seesCost = CostProfitRight::heldBy(permissions());
    QList<GridColumn> columns{
        GridColumn::make("GoodsNo", QStringLiteral("货品编号"), 100),
        GridColumn::make("GoodsNo", QStringLiteral("货品名称"), 140).withLookup(m_document.goodsNames()),
        GridColumn::make("GoodsNo", QStringLiteral("规格"), 90).withLookup(m_document.goodsSizes()),
        GridColumn::make("GoodsNo", QStringLiteral("计量单位"), 70).withLookup(m_document.goodsUnits()),
        GridColumn::make("QTY", QStringLiteral("数量"), 70).asEditable(),
        GridColumn::make("Price", QStringLiteral("单价"), 80).withFormat("0.00").asEditable(),
        GridColumn::make("Total_Price", QStringLiteral("总金额"), 90).withFormat("0.00").asEditable(),
        // What this customer was quoted for the goods last time.
        GridColumn::make("GoodsNo", QStringLiteral("上次报价"), 130).withLookup(m_document.lastPrices()),
    };
    if (m_seesCost) {
        columns
            << GridColumn::make("purchase_Price", QStringLiteral("发发1"), 80).withFormat("0.00").asEditable().hidden()
            << GridColumn::make("Gain_Money", QStringLiteral("发发"), 80).withFormat("0.00").asEditable().hidden();
    }
    columns << GridColumn::make("Remark", QStringLiteral("备注"), 200).asEditable()
            << GridColumn::make("SortNo", QStringLiteral("序号"), 50).hidden();
    m_grid->setColumns(columns);
    // Lines show in the order they print, which moving a line changes.
    m_grid->setInitialSort("SortNo");
    QList<FooterSummary> footer{FooterSummary::count("GoodsNo", QStringLiteral("共 0 个货品")),
                                FooterSummary::sum("Total_Price", QStringLiteral("合计:0.00"))};
    if (m_seesCost) {
        footer << FooterSummary::sum("Gain_Money", QStringLiteral("0.00"));
    }
    m_grid->setFooter(footer);
    // Another customer shows other last prices.
    connect(&m_document.head(), &Dataset::fieldChanged, m_grid,
            [this](const QString&) { m_grid->view()->viewport()->update(); });
    connect(m_grid, &DataGrid::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    connect(m_grid, &DataGrid::rowDoubleClicked, this,
            [this](int) { actions().execute(QStringLiteral("Action_GoodsEdit")); });
    // Goods typed under the lines; Enter then goes quantity, price, remark
    // and back to the line for the next goods.
    m_goodsMatches =
        TypedEntry::goods(*this, *m_grid, "GoodsNo", [this](const QString& code) { return addTypedGoods(code); });
    m_grid->setEnterChain({"QTY", "Price", "Remark"});

    auto* bar = new QHBoxLayout;
    for (const char* name : {"Action_Save", "Action4", "Action1"}) {
        if (QAbstractButton* b = button(QString::fromLatin1(name));
            b && (m_seesCost || qstrcmp(name, "Action4") != 0)) {
            bar->addWidget(b);
        } else if (b) {
            b->hide();
        }
    }
    auto* printButton = new QPushButton(QStringLiteral("打印订货单"), this);
    auto* printMenu = new QMenu(this);
    printMenu->addAction(actions().action(QStringLiteral("Action_Print")));
    printMenu->addAction(actions().action(QStringLiteral("Action5")));
    connect(printButton, &QPushButton::clicked, this, [printMenu] { printMenu->popup(QCursor::pos()); });
    bar->insertWidget(1, printButton);
    bar->addStretch();
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(close, &QPushButton::clicked, this, &QuotationEditWindow::reject);
    bar->addWidget(close);

    auto* lineBar = new QHBoxLayout;
    for (const char* name :
         {"Action_AddGoods", "Action_DeleteGoods", "Action3", "Action_PriceHistory", "Action6", "Action7"}) {
        lineBar->addWidget(button(QString::fromLatin1(name)));
    }
    if (m_seesCost) {
        m_extra = new QCheckBox(QStringLiteral("附加信息"), this);
        connect(m_extra, &QCheckBox::toggled, this, [this](bool on) {
            m_grid->setColumnVisible("purchase_Price", on);
            m_grid->setColumnVisible("Gain_Money", on);
        });
        lineBar->addWidget(m_extra);
    }
    lineBar->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(title);
    layout->addWidget(head);
    layout->addLayout(lineBar);
    layout->addWidget(m_grid, 1);
    resize(960, 680);
}

QuotationEditWindow::~QuotationEditWindow() = default;

QAbstractButton* QuotationEditWindow::button(const QString& actionName) const {
    return m_buttons.value(actionName.toLower());
}

void QuotationEditWindow::buildActions() {
    auto add = [this](const char* name, const char* caption, std::function<void()> handler,
                      const char* buttonText = nullptr) {
        QAction* a = actions().add(QString::fromLatin1(name), QString::fromUtf8(caption), std::move(handler));
        if (buttonText) {
            auto* b = new QPushButton(QString::fromUtf8(buttonText), this);
            connect(b, &QPushButton::clicked, a, &QAction::trigger);
            b->setProperty("action", QString::fromLatin1(name));
            m_buttons.insert(QString::fromLatin1(name).toLower(), b);
        }
        return a;
    };
    add("Action_CheckChange", "退出检查是否已修改", [this] {
        m_mayGoOn = m_document.settleChanges([this] {
            m_saveDone = false;
            actions().execute(QStringLiteral("Action_Save"));
            return m_saveDone;
        });
    });
    add(
        "Action_Save", "保存订单",
        [this] {
            m_saveDone = false;
            m_grid->commitEdit();
            m_binder->requireNumbersAsTyped();
            if (!confirmDeliveryDate(m_document.head(), m_document.mode() != QuotationDocument::Existing,
                                     this->context().prompter())) {
                return;
            }
            m_saveDone = m_document.save();
            m_binder->refresh();
        },
        "保存");
    add("Action_Print", "打印订货单1", [this] { print(Print::Customer); });
    add("Action5", "打印订货单2", [this] { print(Print::Warning); });
    add(
        "Action4", "打印采购单", [this] { print(Print::Purchase); }, "打印采购单");
    add("Action_SelectProvider", "选择客户", [this] {
        PartnerListWindow list(this->context(), PartnerSide::customers(), this);
        list.setMode(1);
        const QString code = list.showModal() == QDialog::Accepted ? list.chosenCode() : QString();
        m_document.reloadCustomers();
        m_document.chooseCustomer(code);
        m_binder->refresh();
    });
    add(
        "Action_AddGoods", "添加货品", [this] { addGoods(); }, "添加货品");
    add("Action_GoodsEdit", "修改货品", [this] {
        if (m_grid->selectedRows().isEmpty()) {
            this->context().prompter().inform(QStringLiteral("请选择货品"));
        }
    });
    add(
        "Action_DeleteGoods", "删除货品",
        [this] {
            m_grid->commitEdit();
            m_document.deleteLines(m_grid->selectedRows());
        },
        "删除货品");
    add(
        "Action1", "收据", [this] { receipts(); }, "收据");
    add(
        "Action3", "商品图片", [this] { goodsPicture(); }, "商品图片");
    add(
        "Action_PriceHistory", "报价历史", [this] { priceHistory(); }, "报价历史");
    add(
        "Action6", "上移",
        [this] {
            m_grid->commitEdit();
            const QList<int> rows = m_grid->selectedRows();
            if (m_document.moveLineUp(rows.isEmpty() ? -1 : rows.first())) {
                showPrintOrder(rows.first());
            }
        },
        "上移");
    add(
        "Action7", "下移",
        [this] {
            m_grid->commitEdit();
            const QList<int> rows = m_grid->selectedRows();
            if (m_document.moveLineDown(rows.isEmpty() ? -1 : rows.first())) {
                showPrintOrder(rows.first());
            }
        },
        "下移");
}

void QuotationEditWindow::showPrintOrder(int movedRow) {
    m_grid->model()->sort(m_grid->model()->columnOf("SortNo"));
    m_grid->selectRow(movedRow);
}

QWidget* QuotationEditWindow::buildHead() {
    auto* box = new QGroupBox(this);
    m_binder = new FieldBinder(&m_document.head(), this);
    connect(m_binder, &FieldBinder::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    auto text = [this](const char* field, bool readOnly = false) {
        auto* e = new QLineEdit(this);
        e->setReadOnly(readOnly);
        m_binder->bind(e, QString::fromLatin1(field));
        return e;
    };
    auto money = [this](const char* field) {
        auto* e = new NumberEdit(this);
        e->setFormat("0.00");
        m_binder->bind(e, QString::fromLatin1(field));
        return e;
    };
    auto date = [this](const char* field, bool readOnly = false) {
        auto* e = new NullableDateEdit(this);
        e->setReadOnly(readOnly);
        m_binder->bind(e, QString::fromLatin1(field));
        return e;
    };
    auto* customer = new LookupCombo(this);
    customer->setColumns(
        {{QStringLiteral("客户姓名"), 0}, {QStringLiteral("酒楼"), LookupCombo::KeyPart}, {QStringLiteral("国家"), 2}},
        LookupCombo::TextPart);
    customer->setLookup(m_document.customers());
    m_binder->bind(customer, "ClientNo");
    auto* pick = new QPushButton(QStringLiteral("..."), this);
    pick->setFixedWidth(28);
    pick->setToolTip(QStringLiteral("选择客户"));
    connect(pick, &QPushButton::clicked, actions().action(QStringLiteral("Action_SelectProvider")), &QAction::trigger);
    auto* customerRow = new QHBoxLayout;
    customerRow->addWidget(customer, 1);
    customerRow->addWidget(pick);

    auto* grid = new QGridLayout(box);
    auto label = [this](const char* caption) { return new QLabel(QString::fromUtf8(caption), this); };
    grid->addWidget(label("报价单编号"), 0, 0);
    grid->addWidget(text("BillNo", true), 0, 1);
    grid->addWidget(label("客户名称"), 0, 2);
    QLineEdit* name = text("Add_ClientName");
    m_nameEdit = name;
    name->setPlaceholderText(QStringLiteral("姓名、编号、拼音首字母或电话"));
    m_customerMatches =
        TypedEntry::records(*this, *name, RecordFinder::customers(),
                            {QStringLiteral("客户编号"), QStringLiteral("客户姓名"), QStringLiteral("酒楼名称"),
                             QStringLiteral("国家"), QStringLiteral("电话")},
                            [this](const QString& code) {
                                // As the picker: its command's right, the
                                // customers read again.
                                actions().require(QStringLiteral("Action_SelectProvider"));
                                m_document.reloadCustomers();
                                m_document.takeCustomer(code);
                                m_binder->refresh();
                            });
    grid->addWidget(name, 0, 3);
    grid->addWidget(label("客户记录"), 0, 4);
    grid->addLayout(customerRow, 0, 5);
    grid->addWidget(label("酒楼名称"), 1, 0);
    grid->addWidget(text("Rummery"), 1, 1);
    grid->addWidget(label("国家"), 1, 2);
    grid->addWidget(text("Country"), 1, 3);
    grid->addWidget(label("客户电话"), 1, 4);
    grid->addWidget(text("telephon"), 1, 5);
    grid->addWidget(label("运费"), 2, 0);
    grid->addWidget(money("Freight"), 2, 1);
    grid->addWidget(label("订金"), 2, 2);
    grid->addWidget(money("earnest"), 2, 3);
    grid->addWidget(label("制单日期"), 2, 4);
    grid->addWidget(date("Keyin_Date", true), 2, 5);
    grid->addWidget(label("订货日期"), 3, 0);
    grid->addWidget(date("Order_Date"), 3, 1);
    grid->addWidget(label("交货日期"), 3, 2);
    grid->addWidget(date("Send_Date"), 3, 3);
    auto* other = new QPushButton(QStringLiteral("其他"), this);
    other->setFixedWidth(60);
    m_discountLabel = label("优惠");
    m_discount = money("preferential");
    m_discountLabel->hide();
    m_discount->hide();
    connect(other, &QPushButton::clicked, this, [this] {
        const bool show = !m_discount->isVisible();
        m_discount->setVisible(show);
        m_discountLabel->setVisible(show);
    });
    auto* otherRow = new QHBoxLayout;
    otherRow->addWidget(other);
    otherRow->addWidget(m_discountLabel);
    otherRow->addWidget(m_discount, 1);
    otherRow->addStretch();
    grid->addLayout(otherRow, 3, 5);
    grid->addWidget(label("备注"), 4, 0);
    grid->addWidget(text("Remark"), 4, 1, 1, 5);
    auto* notice = new QLabel(QStringLiteral("客户未订购此单，请勿打印，一经打印，计入总帐"), this);
    QFont f = notice->font();
    f.setBold(true);
    f.setUnderline(true);
    notice->setFont(f);
    grid->addWidget(notice, 5, 0, 1, 6);
    for (int c : {1, 3, 5}) {
        grid->setColumnStretch(c, 1);
    }
    return box;
}

void QuotationEditWindow::showEvent(QShowEvent* event) {
    BaseWindow::showEvent(event);
    // A new quotation starts at its customer, an opened one at its lines.
    if (m_loaded && !m_focusSet) {
        m_focusSet = true;
        if (m_document.mode() == QuotationDocument::Existing) {
            m_grid->entryLine()->setFocus();
        } else {
            m_nameEdit->setFocus();
        }
    }
    if (!m_loaded) {
        QTimer::singleShot(0, this, [this] { done(QDialog::Rejected); });
    }
}

void QuotationEditWindow::priceHistory() {
    m_grid->commitEdit();
    const QList<int> rows = m_grid->selectedRows();
    if (rows.isEmpty()) {
        this->context().prompter().inform(QStringLiteral("请选择货品"));
        return;
    }
    if (m_document.customer().isEmpty()) {
        this->context().prompter().inform(QStringLiteral("请先填写客户名称"));
        return;
    }
    const QString code = m_document.goodsCodeAt(rows.first());
    const QList<PriceHistory::Quoted> history = m_document.priceHistory(code);
    if (history.isEmpty()) {
        this->context().prompter().inform(QStringLiteral("该客户以前的订货单中没有这个货品的报价"));
        return;
    }
    const QString name = m_document.goodsNames()->text(code);
    PriceHistoryDialog dialog(QStringLiteral("报价历史：%1 %2").arg(code, name), history, this);
    runWindow(this->context(), dialog);
}

void QuotationEditWindow::addGoods() {
    m_grid->commitEdit();
    GoodsListWindow goods(this->context(), this);
    goods.setMode(1);
    const QStringList codes = goods.showModal() == QDialog::Accepted ? goods.catalog().pickedCodes() : QStringList();
    if (codes.isEmpty()) {
        return;
    }
    const int before = m_document.lines().rowCount();
    if (m_document.addGoods(codes) > 0) {
        // The new lines show their goods whether or not the save below
        // goes through (a refused save ends this command).
        m_document.reloadGoodsLookups();
        m_grid->view()->viewport()->update();
        m_grid->selectRow(before);
        // Adding goods saves the quotation, through the save command.
        actions().execute(QStringLiteral("Action_Save"));
    }
}

bool QuotationEditWindow::addTypedGoods(const QString& code) {
    actions().require(QStringLiteral("Action_AddGoods"));
    m_grid->commitEdit();
    if (m_document.lineOf(code) >= 0) {
        // As the pick window leaves such goods out, but said: the clerk
        // typed this one.
        this->context().prompter().inform(QuotationDocument::goodsOnQuotationText(code));
        return false;
    }
    if (m_document.addGoods({code}) == 0) {
        return false;  // gone meanwhile: said as the pick window says it
    }
    m_document.reloadGoodsLookups();
    m_grid->view()->viewport()->update();
    m_grid->editCell(m_document.lineOf(code), "QTY");
    return true;
}

bool QuotationEditWindow::checkChanges() {
    m_grid->commitEdit();
    m_mayGoOn = false;
    actions().execute(QStringLiteral("Action_CheckChange"));
    m_binder->refresh();
    return m_mayGoOn;
}

// A quotation never saved is refused before the unsaved-changes question:
// answering No there would throw away everything typed into it.
void QuotationEditWindow::print(Print kind) {
    if (kind == Print::Purchase) {
        CostProfitRight::require(permissions());
    }
    if (!m_document.isStored()) {
        this->context().prompter().inform(m_document.mode() == QuotationDocument::Existing
                                              ? QuotationDocument::deletedElsewhereText(m_document.billNo())
                                              : QStringLiteral("订货单还没有保存，不能打印"));
        return;
    }
    if (!checkChanges()) {
        return;
    }
    DocumentWindows::printQuotation(this->context(), kind, m_document.billNo(), this);
}

void QuotationEditWindow::receipts() {
    // Receipts belong to a stored quotation only.
    if (!m_document.isStored()) {
        this->context().prompter().inform(m_document.mode() == QuotationDocument::Existing
                                              ? QuotationDocument::deletedElsewhereText(m_document.billNo())
                                              : QStringLiteral("订货单还没有保存，请先保存订货单再开收据"));
        return;
    }
    if (!checkChanges()) {
        return;
    }
    DocumentWindows::openReceipts(this->context(), m_document.billNo(), this);
}

void QuotationEditWindow::goodsPicture() {
    const QList<int> rows = m_grid->selectedRows();
    if (rows.isEmpty()) {
        this->context().prompter().inform(QStringLiteral("请选择一个商品"));
        return;
    }
    Database& db = this->context().data().main();
    QSqlQuery q = db.query("select code, Corp_Goods_Code, Goods_name, Goods_size, PicturePath from goods where code=:c",
                           {{"c", m_document.goodsCodeAt(rows.first())}});
    if (!q.next()) {
        this->context().prompter().inform(QStringLiteral("该商品还没有图片"));
        return;
    }
    const QString code = q.value(0).toString();
    const QString file = PictureFile::inFolder(this->context().PictureFolder, q.value(4).toString());
    const QString title = QStringLiteral("编码:%1 | 厂家商品编码:%2 | 名称:%3 | 规格:%4")
                              .arg(code, q.value(1).toString(), q.value(2).toString(), q.value(3).toString());
    PictureViewerDialog viewer(this->context().prompter(), this->context().files(), this);
    viewer.setPicture(file, title, code + "_" + q.value(2).toString());
    runWindow(this->context(), viewer);
}

bool QuotationEditWindow::confirmClose() {
    return checkChanges();
}
