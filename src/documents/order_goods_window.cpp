#include "documents/order_goods_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "admin/code_list_window.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/lookup_list.h"
#include "documents/order_form_document.h"
#include "platform/prompter.h"
#include "ui/editors.h"
#include "ui/field_binder.h"
#include "ui/style_holder.h"

OrderGoodsWindow::OrderGoodsWindow(AppContext& context, OrderFormDocument& order, int mode, QWidget* parent)
    : BaseWindow(context, QStringLiteral("Dusmere_Order_Form_GoodsEdit_Frm"), parent),
      m_order(order),
      m_editor(order, context.prompter(), mode),
      m_names(std::make_shared<LookupList>()),
      m_units(std::make_shared<LookupList>()) {
    setWindowTitle(QStringLiteral("商品编辑界面"));
    setStyleSheet(StyleHolder::editorStyleSheet());
    actions().guard([this] { reloadCodeLists(); });
    buildActions();

    m_heading = new QWidget(this);
    m_heading->setFocusPolicy(Qt::StrongFocus);
    auto* headingLayout = new QHBoxLayout(m_heading);
    auto* title = new QLabel(QStringLiteral("货品编辑"), m_heading);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    title->setFont(big);
    headingLayout->addWidget(title);
    headingLayout->addStretch();
    headingLayout->addWidget(button("Action_AddGoods"));
    headingLayout->addWidget(button("Action_SaveAndExit"));
    auto* close = new QPushButton(QStringLiteral("关闭"), m_heading);
    connect(close, &QPushButton::clicked, this, &OrderGoodsWindow::reject);
    headingLayout->addWidget(close);
    button("Action_AddGoods")->setVisible(mode == OrderGoodsEditor::New);

    m_binder = new FieldBinder(&m_order.rows(), this);
    connect(m_binder, &FieldBinder::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    auto text = [this](const char* field) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(field));
        m_binder->bind(e, QString::fromLatin1(field));
        return e;
    };
    auto number = [this](const char* field, const QString& format) {
        auto* e = new NumberEdit(this);
        e->setFormat(format);
        e->setObjectName(QString::fromLatin1(field));
        m_binder->bind(e, QString::fromLatin1(field));
        return e;
    };
    auto combo = [this](const char* field, const std::shared_ptr<LookupList>& list) {
        auto* c = new LookupCombo(this);
        c->setObjectName(QString::fromLatin1(field));
        c->setLookup(list);
        m_binder->bind(c, QString::fromLatin1(field));
        return c;
    };
    auto listButton = [this](const char* field) {
        auto* b = new QPushButton(QStringLiteral("..."), this);
        b->setFixedWidth(28);
        b->setToolTip(QStringLiteral("编辑参数表"));
        const QString f = QString::fromLatin1(field);
        connect(b, &QPushButton::clicked, this, [this, f] { actions().guard([this, f] { chooseFromCodeList(f); }); });
        return b;
    };
    auto label = [this](const char* caption) { return new QLabel(QString::fromUtf8(caption), this); };

    m_code = text("Goods_Code");
    m_name = combo("Goods_name", m_names);
    m_unit = combo("Goods_Unit", m_units);
    // Once a name is chosen, the quantity is what is typed next.
    NumberEdit* qty = number("QTY", "0.####");
    qty->setStyleSheet("background: #FFFF99;");
    connect(m_name, &LookupCombo::valueEdited, qty, [qty] { qty->setFocus(); });

    auto* box = new QGroupBox(QStringLiteral("基本资料"), this);
    auto* grid = new QGridLayout(box);
    auto withButton = [](QWidget* editor, QWidget* b) {
        auto* row = new QHBoxLayout;
        row->addWidget(editor, 1);
        row->addWidget(b);
        return row;
    };
    grid->addWidget(label("货品编号："), 0, 0);
    grid->addWidget(m_code, 0, 1);
    grid->addWidget(label("货品名称："), 1, 0);
    grid->addLayout(withButton(m_name, listButton("Goods_name")), 1, 1);
    grid->addWidget(label("货品规格："), 2, 0);
    grid->addWidget(text("Model_Size"), 2, 1);
    grid->addWidget(label("计量单位"), 3, 0);
    grid->addLayout(withButton(m_unit, listButton("Goods_Unit")), 3, 1);
    grid->addWidget(label("单价："), 4, 0);
    grid->addWidget(number("Price", "0.00"), 4, 1);
    grid->addWidget(label("货品数量："), 5, 0);
    grid->addWidget(qty, 5, 1);
    grid->addWidget(label("合计金额："), 6, 0);
    grid->addWidget(number("Total_Price", "0.00"), 6, 1);
    grid->setColumnStretch(1, 1);

    // What the workshop and the warehouse read from the row: the work
    // forms' columns and the ware-out form's summaries.
    auto* work = new QGroupBox(QStringLiteral("工艺资料"), this);
    auto* workGrid = new QGridLayout(work);
    auto caption = [this](const char* field) {
        const int at = m_order.rows().fieldIndex(QString::fromLatin1(field));
        return new QLabel((at >= 0 ? m_order.rows().fields()[at].label() : QString::fromLatin1(field)) + "：", this);
    };
    int place = 0;
    auto put = [&](const char* field, QWidget* editor, QPushButton* listButton = nullptr) {
        const int row = place / 2, column = (place % 2) * 2;
        workGrid->addWidget(caption(field), row, column);
        if (listButton) {
            workGrid->addLayout(withButton(editor, listButton), row, column + 1);
        } else {
            workGrid->addWidget(editor, row, column + 1);
        }
        ++place;
    };
    for (const char* field : {"Goods_Type", "Colour", "Model_Lock_Position", "Glass_Type", "Glass_Type2", "Lock_Size",
                              "Lock_Install_Condition"}) {
        // The second glass kind shares the first one's list.
        const QString name = QString::fromLatin1(field);
        auto list = name == "Glass_Type2" ? m_workLists.value("Glass_Type") : m_workLists.value(name);
        LookupCombo* box = combo(field, list);
        m_workBoxes.insert(name, box);
        put(field, box, listButton(field));
    }
    put("Model_DiJiao", text("Model_DiJiao"));
    put("Glass_Technics", text("Glass_Technics"));
    put("Lock_Fittings", text("Lock_Fittings"));
    put("Remark_WorkForm", text("Remark_WorkForm"));
    put("Remark_ShipmentForm", text("Remark_ShipmentForm"));
    workGrid->setColumnStretch(1, 1);
    workGrid->setColumnStretch(3, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(box);
    layout->addWidget(work);
    layout->addStretch();
    updateEnabled();
    resize(640, 560);
}

OrderGoodsWindow::~OrderGoodsWindow() = default;

QAbstractButton* OrderGoodsWindow::button(const QString& actionName) const {
    return m_buttons.value(actionName.toLower());
}

void OrderGoodsWindow::buildActions() {
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
    add("Action_Save", "保存", [this] {
        takeFocus();
        m_binder->requireNumbersAsTyped();
        m_saveDone = m_editor.save();
        updateEnabled();
    });
    add("Action_Cancle", "取消", [this] {
        const bool wasNew = m_editor.mode() == OrderGoodsEditor::New;
        m_editor.cancel();
        m_binder->refresh();
        // The row this window was for is gone: it closes.
        if (wasNew) {
            done(QDialog::Rejected);
        }
    });
    add(
        "Action_SaveAndExit", "保存并退出",
        [this] {
            takeFocus();
            m_binder->requireNumbersAsTyped();
            if (m_editor.saveAndClose()) {
                accept();
            }
            updateEnabled();
        },
        "保存并关闭");
    add(
        "Action_AddGoods", "增加下个商品",
        [this] {
            takeFocus();
            m_binder->requireNumbersAsTyped();
            m_editor.addNext();
            m_binder->refresh();
            updateEnabled();
            m_code->setFocus();
        },
        "增加下个商品");
}

void OrderGoodsWindow::takeFocus() {
    m_heading->setFocus();
}

void OrderGoodsWindow::updateEnabled() {
    m_code->setEnabled(m_editor.codeEditable());
}

void OrderGoodsWindow::reloadCodeLists() {
    Database& db = context().data().main();
    m_names->loadCodeList(db, "Dusmere_Order_Form_Detail", "Goods_name");
    m_units->loadCodeList(db, "Dusmere_Order_Form_Detail", "Goods_Unit");
    for (const char* field :
         {"Goods_Type", "Colour", "Model_Lock_Position", "Glass_Type", "Lock_Size", "Lock_Install_Condition"}) {
        const QString name = QString::fromLatin1(field);
        auto list = m_workLists.value(name);
        if (!list) {
            list = std::make_shared<LookupList>();
            m_workLists.insert(name, list);
        }
        list->loadCodeList(db, "Dusmere_Order_Form_Detail", name);
    }
}

void OrderGoodsWindow::chooseFromCodeList(const QString& field) {
    // The code-list editor in pick mode; the second glass kind shares the
    // first one's list.
    CodeListWindow window(context(), this);
    window.setPickMode("Dusmere_Order_Form_Detail",
                       field.compare("glass_type2", Qt::CaseInsensitive) == 0 ? QStringLiteral("glass_type") : field);
    const QString chosen = window.showModal() == QDialog::Accepted ? window.result() : QString();
    reloadCodeLists();
    m_name->setLookup(m_names);
    m_unit->setLookup(m_units);
    for (auto it = m_workBoxes.cbegin(); it != m_workBoxes.cend(); ++it) {
        it.value()->setLookup(m_workLists.value(it.key() == "Glass_Type2" ? QStringLiteral("Glass_Type") : it.key()));
    }
    if (!chosen.isEmpty()) {
        m_order.rows().setValue(field, chosen);
    }
    m_binder->refresh();
}

bool OrderGoodsWindow::confirmClose() {
    // Errors are told by the guard; the window then stays open.
    bool mayClose = false;
    actions().guard([this, &mayClose] {
        takeFocus();
        // Yes saves through the save command and its permission check.
        mayClose = m_editor.close([this] {
            m_saveDone = false;
            actions().execute(QStringLiteral("Action_Save"));
            return m_saveDone;
        });
    });
    return mayClose;
}
