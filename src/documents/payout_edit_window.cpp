#include "documents/payout_edit_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "data/app_context.h"
#include "data/dataset.h"
#include "documents/payout_list.h"
#include "documents/typed_entry.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "ui/editors.h"
#include "ui/field_binder.h"
#include "ui/style_holder.h"

PayoutEditWindow::PayoutEditWindow(AppContext& context, PayoutList& list, int mode, QWidget* parent)
    : BaseWindow(context, QStringLiteral("frm_payout_edit"), parent),
      m_list(list),
      m_editor(list, context.prompter(), context.clock().today(), mode) {
    setWindowTitle(QStringLiteral("支出编辑"));
    setStyleSheet(StyleHolder::editorStyleSheet());
    buildActions();

    m_heading = new QWidget(this);
    m_heading->setFocusPolicy(Qt::StrongFocus);
    auto* headingLayout = new QHBoxLayout(m_heading);
    m_headingLabel = new QLabel(list.kind().heading, m_heading);
    m_headingLabel->setObjectName(QStringLiteral("heading"));
    QFont big = m_headingLabel->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    m_headingLabel->setFont(big);
    headingLayout->addWidget(m_headingLabel);
    headingLayout->addStretch();
    headingLayout->addWidget(button("Action_AddGoods"));
    headingLayout->addWidget(button("Action_SaveAndExit"));
    auto* close = new QPushButton(QStringLiteral("关闭"), m_heading);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(close, &QPushButton::clicked, this, &PayoutEditWindow::reject);
    headingLayout->addWidget(close);
    button("Action_AddGoods")->setVisible(mode == PayoutEditor::New);

    m_binder = new FieldBinder(&list.rows(), this);
    connect(m_binder, &FieldBinder::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    auto* date = new NullableDateEdit(this);
    date->setObjectName(QStringLiteral("paytime"));
    m_binder->bind(date, QStringLiteral("paytime"));
    auto* amount = new NumberEdit(this);
    amount->setObjectName(QStringLiteral("totalprice"));
    amount->setDecimals(0);
    amount->setFormat(QStringLiteral("0"));
    m_binder->bind(amount, QStringLiteral("totalprice"));
    auto* remark = new MemoEdit(this);
    remark->setObjectName(QStringLiteral("remark"));
    remark->setMaximumHeight(90);
    m_binder->bind(remark, QStringLiteral("remark"));
    // The remarks of this kind written before, offered as typed.
    m_remarkMatches = TypedEntry::texts(*remark, QStringLiteral("最近的备注"), [this, &list] {
        QStringList remarks;
        actions().guard([&] { remarks = list.recentRemarks(); });
        return remarks;
    });
    m_firstEditor = date;

    auto* box = new QGroupBox(QStringLiteral("基本资料"), this);
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("发生日期"), box), 0, 0);
    grid->addWidget(date, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("支出金额："), box), 1, 0);
    grid->addWidget(amount, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("支出备注："), box), 2, 0, Qt::AlignTop);
    grid->addWidget(remark, 2, 1);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(box);
    layout->addStretch();
    resize(440, 300);
}

PayoutEditWindow::~PayoutEditWindow() = default;

QAbstractButton* PayoutEditWindow::button(const QString& actionName) const {
    return m_buttons.value(actionName.toLower());
}

void PayoutEditWindow::buildActions() {
    auto add = [this](const char* name, const char* caption, std::function<void()> handler,
                      const char* buttonText = nullptr) {
        QAction* a = actions().add(QString::fromLatin1(name), QString::fromUtf8(caption), std::move(handler));
        if (buttonText) {
            auto* b = new QPushButton(QString::fromUtf8(buttonText), this);
            b->setObjectName(QString::fromLatin1(name));
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
    });
    add("Action_Cancle", "取消", [this] {
        const bool wasNew = m_editor.mode() == PayoutEditor::New;
        m_editor.cancel();
        m_binder->refresh();
        // The payout this window was for is gone: it closes.
        if (wasNew) {
            done(QDialog::Rejected);
        }
    });
    add(
        "Action_SaveAndExit", "保存并关闭",
        [this] {
            takeFocus();
            m_binder->requireNumbersAsTyped();
            if (m_editor.saveAndClose()) {
                accept();
            }
        },
        "保存并关闭");
    add(
        "Action_AddGoods", "增加下个商品",
        [this] {
            takeFocus();
            m_binder->requireNumbersAsTyped();
            m_editor.addNext();
            m_binder->refresh();
            m_firstEditor->setFocus();
        },
        "增加下个商品");
}

void PayoutEditWindow::takeFocus() {
    // Leaving the editors writes what is being typed into the row.
    m_heading->setFocus();
}

bool PayoutEditWindow::confirmClose() {
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
