#include "documents/order_form_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSqlQuery>
#include <QTimer>
#include <QVBoxLayout>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/lookup_list.h"
#include "documents/customer_picker_dialog.h"
#include "documents/delivery_date.h"
#include "documents/document_windows.h"
#include "documents/order_goods_window.h"
#include "documents/typed_entry.h"
#include "platform/prompter.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/field_binder.h"
#include "ui/match_popup.h"
#include "ui/shortcuts.h"
#include "ui/style_holder.h"

OrderFormWindow::OrderFormWindow(AppContext& context, int mode, const QString& code, QWidget* parent)
    : BaseWindow(context, QStringLiteral("frm_GainBill"), parent),
      m_document(context.data().main(), context.clock(), context.prompter(), context.CurrentUser.UserName),
      m_goodsNames(std::make_shared<LookupList>()),
      m_units(std::make_shared<LookupList>()) {
    setWindowTitle(QStringLiteral("收据"));
    setStyleSheet(StyleHolder::editorStyleSheet());

    // Loading runs without the permission check; an order that cannot be
    // loaded is told and the window closes when shown.
    m_loaded = actions().guard([&] {
        m_document.load(mode, code);
        reloadCodeLists();
    });

    buildActions();

    auto* strip = new QWidget(this);
    strip->setObjectName("titleStrip");
    strip->setFocusPolicy(Qt::StrongFocus);
    auto* stripLayout = new QHBoxLayout(strip);
    auto* title = new QLabel(QStringLiteral("收款收据"), strip);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 8);
    big.setBold(true);
    title->setFont(big);
    stripLayout->addWidget(title);
    stripLayout->addStretch();
    stripLayout->addWidget(button("Action_Save"));
    stripLayout->addWidget(button("Action_Print"));
    auto* close = new QPushButton(QStringLiteral("关闭"), strip);
    connect(close, &QPushButton::clicked, this, &OrderFormWindow::reject);
    stripLayout->addWidget(close);

    QWidget* head = buildHead();

    auto* goodsBar = new QHBoxLayout;
    for (const char* name : {"Action_AddGoods", "Action_GoodsEdit", "Action_DeleteGoods"}) {
        goodsBar->addWidget(button(QString::fromLatin1(name)));
    }
    goodsBar->addStretch();

    m_grid = new DataGrid(this);
    m_grid->setDataset(&m_document.rows());
    m_grid->setMultiSelect(true);
    QList<GridColumn> columns{
        GridColumn::make("Goods_Code", QStringLiteral("货品编号"), 90),
        GridColumn::make("Goods_name", QStringLiteral("货品名称"), 130).withLookup(m_goodsNames),
        GridColumn::make("Model_Size", QStringLiteral("规格"), 110),
        GridColumn::make("Goods_Unit", QStringLiteral("计量单位"), 70).withLookup(m_units),
        GridColumn::make("QTY", QStringLiteral("数量"), 70).withFormat("0.####").asEditable(),
        GridColumn::make("Price", QStringLiteral("单价"), 80).withFormat("0.00").asEditable(),
        GridColumn::make("Total_Price", QStringLiteral("金额"), 90).withFormat("0.00"),
        GridColumn::make("Remark_ShipmentForm", QStringLiteral("备注"), 200).asEditable(),
    };
    // The row's other fields are there to show when wanted.
    for (const char* f :
         {"Goods_Type", "Colour", "Model_DiJiao", "Model_Lock_Position", "Glass_Technics", "Glass_Type", "Glass_Type2",
          "Lock_Size", "Lock_Install_Condition", "Lock_Fittings", "Goods_Status", "Remark_WorkForm"}) {
        const QString field = QString::fromLatin1(f);
        const int at = m_document.rows().fieldIndex(field);
        const QString caption = at >= 0 ? m_document.rows().fields()[at].label() : field;
        columns.append(GridColumn::make(field, caption, 90).hidden());
    }
    m_grid->setColumns(columns);
    // Quantity, price and remark are typed in the rows by those who may
    // edit goods rows.
    m_grid->setReadOnly(!permissions().isAllowed(QStringLiteral("Action_GoodsEdit"), objectName()));
    m_grid->setFooter({FooterSummary::sum("Total_Price", QStringLiteral("合计:0.00"))});
    // Goods typed under the rows, from the goods names the order offers;
    // Enter then goes quantity, price, remark and back.
    m_goodsMatches = TypedEntry::goods(
        *this, *m_grid, "Goods_name",
        {QStringLiteral("代码"), QStringLiteral("货品名称"), QStringLiteral("规格"), QStringLiteral("计量单位"),
         QStringLiteral("单价")},
        [this](const QString& text) { return m_document.goodsNamesMatching(text); },
        [this](const QString& name) { return addTypedGoods(name); });
    m_grid->setEnterChain({"QTY", "Price", "Remark_ShipmentForm"});
    Shortcuts::add(*this, QKeySequence(Qt::Key_F2), QStringLiteral("修改货品"),
                   [this] { actions().execute(QStringLiteral("Action_GoodsEdit")); });
    connect(m_grid, &DataGrid::rowDoubleClicked, this,
            [this](int) { actions().execute(QStringLiteral("Action_GoodsEdit")); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(strip);
    layout->addWidget(head);
    layout->addLayout(goodsBar);
    layout->addWidget(m_grid, 1);
    resize(900, 640);
}

OrderFormWindow::~OrderFormWindow() = default;

QAbstractButton* OrderFormWindow::button(const QString& actionName) const {
    return m_buttons.value(actionName.toLower());
}

void OrderFormWindow::buildActions() {
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
            // An edit in progress in a head editor reaches its field first.
            if (QWidget* strip = findChild<QWidget*>("titleStrip")) {
                strip->setFocus();
            }
            m_binder->requireNumbersAsTyped();
            if (!confirmDeliveryDate(m_document.head(), m_document.mode() != OrderFormDocument::Existing,
                                     this->context().prompter())) {
                return;
            }
            m_saveDone = m_document.save();
            m_binder->refresh();
        },
        "保存");
    add(
        "Action_Print", "打印",
        [this] {
            if (!m_document.isStored()) {
                // A new order prints once it is saved: Yes saves it first; No
                // keeps everything typed, as it is, and prints nothing.
                if (!this->context().prompter().askYesNo(OrderFormDocument::unsavedQuestion())) {
                    this->context().prompter().inform(QStringLiteral("订单还没有保存，不能打印"));
                    return;
                }
                m_saveDone = false;
                actions().execute(QStringLiteral("Action_Save"));
                if (!m_saveDone) {
                    return;
                }
            } else if (!checkChanges()) {
                return;
            }
            DocumentWindows::printOrder(this->context(), m_document.code(), this);
        },
        "打印");
    add(
        "Action_AddGoods", "添加货品",
        [this] {
            editGoods(2);
            reloadCodeLists();
            m_grid->view()->viewport()->update();
        },
        "添加货品");
    add(
        "Action_GoodsEdit", "修改货品",
        [this] {
            const QList<int> rows = m_grid->selectedRows();
            if (rows.isEmpty()) {
                this->context().prompter().inform(QStringLiteral("请选择货品"));
                return;
            }
            // The focused row when it is among the selected ones.
            if (!rows.contains(m_document.rows().currentRow())) {
                m_document.rows().setCurrentRow(rows.first());
            }
            editGoods(3);
            reloadCodeLists();
            m_grid->view()->viewport()->update();
        },
        "修改货品");
    add(
        "Action_DeleteGoods", "删除货品", [this] { m_document.deleteRows(m_grid->selectedRows()); }, "删除货品");
}

bool OrderFormWindow::addTypedGoods(const QString& goodsName) {
    actions().require(QStringLiteral("Action_AddGoods"));
    m_grid->commitEdit();
    const int row = m_document.addTypedRow(goodsName);
    if (row < 0) {
        return false;
    }
    reloadCodeLists();
    m_grid->view()->viewport()->update();
    m_grid->editCell(row, "QTY");
    return true;
}

void OrderFormWindow::editGoods(int mode) {
    OrderGoodsWindow window(context(), m_document, mode, this);
    window.showModal();
}

void OrderFormWindow::chooseCustomer() {
    // Only the order in memory changes here; saving it is checked.
    actions().guard([this] {
        CustomerPickerDialog picker(this->context(), this);
        const QString code = runWindow(this->context(), picker) == QDialog::Accepted ? picker.chosenCode() : QString();
        m_document.chooseCustomer(code);
        m_binder->refresh();
        showCustomer();
    });
}

QWidget* OrderFormWindow::buildHead() {
    auto* box = new QGroupBox(this);
    m_binder = new FieldBinder(&m_document.head(), this);
    connect(m_binder, &FieldBinder::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    auto text = [this](const char* field, bool readOnly = false) {
        auto* e = new QLineEdit(this);
        e->setReadOnly(readOnly);
        e->setObjectName(QString::fromLatin1(field));
        m_binder->bind(e, QString::fromLatin1(field));
        return e;
    };
    auto money = [this](const char* field) {
        auto* e = new NumberEdit(this);
        e->setFormat("0.00");
        e->setObjectName(QString::fromLatin1(field));
        m_binder->bind(e, QString::fromLatin1(field));
        return e;
    };
    auto date = [this](const char* field) {
        auto* e = new NullableDateEdit(this);
        e->setObjectName(QString::fromLatin1(field));
        m_binder->bind(e, QString::fromLatin1(field));
        return e;
    };
    auto label = [this](const char* caption) { return new QLabel(QString::fromUtf8(caption), this); };

    QLineEdit* code = text("Order_Form_Code", true);
    code->setEnabled(false);

    m_customer = new QLineEdit(this);
    m_customer->setObjectName("customer");
    // The customer is typed (name, boss, code, initials or telephone) and
    // taken from the drop-down; a text not taken gives way to the customer
    // the order names.
    m_customer->setPlaceholderText(QStringLiteral("名称、老板、编号、拼音首字母或电话"));
    m_customerMatches = TypedEntry::records(*this, *m_customer, RecordFinder::orderCustomers(),
                                            {QStringLiteral("客户编号"), QStringLiteral("客户名称"),
                                             QStringLiteral("老板"), QStringLiteral("电话"), QStringLiteral("地址")},
                                            [this](const QString& code) {
                                                m_document.chooseCustomer(code);
                                                m_binder->refresh();
                                                showCustomer();
                                            });
    connect(m_customer, &QLineEdit::editingFinished, this, [this] {
        if (!m_customerMatches->isShown()) {
            actions().guard([this] { showCustomer(); });
        }
    });
    auto* pick = new QPushButton(QStringLiteral("..."), this);
    pick->setFixedWidth(28);
    pick->setToolTip(QStringLiteral("选择客户"));
    connect(pick, &QPushButton::clicked, this, &OrderFormWindow::chooseCustomer);
    auto* customerRow = new QHBoxLayout;
    customerRow->addWidget(m_customer, 1);
    customerRow->addWidget(pick);

    m_paid = new CheckEdit(QStringLiteral("已经付清余额"), this);
    m_binder->bind(m_paid, "isPay");
    connect(m_paid, &CheckEdit::valueEdited, this, [this] {
        actions().guard([this] {
            m_document.setPaid(m_paid->isChecked());
            m_binder->refresh();
        });
    });
    auto* paidRow = new QHBoxLayout;
    paidRow->addWidget(m_paid);
    paidRow->addWidget(label("付清日期"));
    paidRow->addWidget(date("PayOver_Date"), 1);

    auto* remark = new MemoEdit(this);
    remark->setObjectName("Remark_ShipmentForm");
    remark->setLineWrapMode(QPlainTextEdit::NoWrap);
    remark->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    remark->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    remark->setFixedHeight(60);
    m_binder->bind(remark, "Remark_ShipmentForm");

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

    auto* grid = new QGridLayout(box);
    grid->addWidget(label("贵宾号"), 0, 0);
    grid->addWidget(code, 0, 1);
    grid->addWidget(label("订货日期"), 0, 2);
    grid->addWidget(date("Keyin_Date"), 0, 3);
    grid->addWidget(label("酒楼名称"), 1, 0);
    grid->addWidget(text("Gain_Customer_Name"), 1, 1);
    grid->addWidget(label("电话"), 1, 2);
    grid->addWidget(text("telephon"), 1, 3);
    grid->addWidget(label("客户名称"), 2, 0);
    grid->addWidget(text("Link_man"), 2, 1);
    grid->addWidget(label("客户记录"), 2, 2);
    grid->addLayout(customerRow, 2, 3);
    grid->addWidget(label("交货日期"), 3, 0);
    grid->addWidget(date("Send_Date"), 3, 1);
    grid->addWidget(label("备注"), 3, 2, 2, 1);
    grid->addWidget(remark, 3, 3, 2, 1);
    grid->addWidget(label("已收订金"), 4, 0);
    grid->addWidget(money("earnest"), 4, 1);
    grid->addLayout(paidRow, 5, 0, 1, 2);
    grid->addLayout(otherRow, 5, 3);
    for (int c : {1, 3}) {
        grid->setColumnStretch(c, 1);
    }
    showCustomer();
    return box;
}

void OrderFormWindow::showCustomer() {
    if (!m_customer || !m_loaded) {
        return;
    }
    const QString code = m_document.head().value("corp_code").toString();
    QString shown;
    if (!code.isEmpty()) {
        QSqlQuery q = context().data().main().query(
            "select Corp_name, boss_name from customer_provider where corp_code=:c", {{"c", code}});
        shown = q.next() ? q.value(0).toString() +
                               (q.value(1).toString().isEmpty() ? QString() : "(" + q.value(1).toString() + ")")
                         : code;
    }
    m_customer->setText(shown);
}

void OrderFormWindow::reloadCodeLists() {
    Database& db = context().data().main();
    m_goodsNames->loadCodeList(db, "Dusmere_Order_Form_Detail", "Goods_name");
    m_units->loadCodeList(db, "Dusmere_Order_Form_Detail", "Goods_Unit");
}

void OrderFormWindow::showEvent(QShowEvent* event) {
    BaseWindow::showEvent(event);
    if (!m_loaded) {
        QTimer::singleShot(0, this, [this] { done(QDialog::Rejected); });
    } else if (!m_focusSet) {
        // A new order starts at its customer, an opened one at its rows.
        m_focusSet = true;
        if (m_document.mode() == OrderFormDocument::Existing) {
            m_grid->entryLine()->setFocus();
        } else {
            m_customer->setFocus();
        }
    }
}

bool OrderFormWindow::checkChanges() {
    m_mayGoOn = false;
    actions().execute(QStringLiteral("Action_CheckChange"));
    actions().guard([this] {
        m_binder->refresh();
        showCustomer();
    });
    return m_mayGoOn;
}

bool OrderFormWindow::confirmClose() {
    return !m_loaded || checkChanges();
}
