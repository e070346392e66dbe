#include "master/customer_price_window.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "data/app_context.h"
#include "data/data_module.h"
#include "master/price_cell_edit.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "reports/customer_price_report_window.h"
#include "ui/editors.h"
#include "ui/style_holder.h"

namespace {
// The sheet's measures, after the printout's millimetres.
constexpr int kCornerWidth = 56;
constexpr int kCellWidth = 120;
constexpr int kSheetWidth = kCornerWidth + 4 * kCellWidth;

QLabel* headerLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("cellHeader"));
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumHeight(24);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}
}  // namespace

CustomerPriceWindow::CustomerPriceWindow(AppContext& context, bool standard, const QString& customerCode,
                                         const QString& customerName, QWidget* parent)
    : BaseWindow(context, QStringLiteral("Base_CustomerPrice_Frm"), parent),
      m_table(context.data().main(), context.prompter()),
      m_standard(standard),
      m_code(customerCode),
      m_name(customerName) {
    setWindowTitle(QStringLiteral("客户报价单"));
    setStyleSheet(StyleHolder::editorStyleSheet());
    buildActions();

    auto* heading = new QWidget(this);
    heading->setObjectName(QStringLiteral("heading"));
    auto* headingLayout = new QHBoxLayout(heading);
    auto* title = new QLabel(QStringLiteral("客户报价表"), heading);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    title->setFont(big);
    headingLayout->addWidget(title);
    headingLayout->addStretch();
    for (const char* name : {"Action_save", "Action_SetAsDefault", "Action_Empty", "Action_Print"}) {
        headingLayout->addWidget(button(QString::fromLatin1(name)));
    }
    auto* close = new QPushButton(QStringLiteral("关闭"), heading);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAutoDefault(false);
    close->setFocusPolicy(Qt::NoFocus);
    connect(close, &QPushButton::clicked, this, &CustomerPriceWindow::reject);
    headingLayout->addWidget(close);
    button("Action_SetAsDefault")->setVisible(!m_standard);

    auto* scroll = new QScrollArea(this);
    m_scroll = scroll;
    scroll->setObjectName(QStringLiteral("sheetArea"));
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(buildSheet());
    scroll->setAlignment(Qt::AlignHCenter);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: #C8CED8; }"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(scroll, 1);
    resize(kSheetWidth + 90, 760);
}

CustomerPriceWindow::~CustomerPriceWindow() = default;

bool CustomerPriceWindow::load() {
    return actions().guard([this] {
        if (m_standard) {
            m_table.openStandard();
        } else {
            m_table.openCustomer(m_code, m_name);
        }
        m_customerLabel->setText(
            m_standard
                ? QStringLiteral("单价表默认值")
                : QStringLiteral("客户名称: %1    客户编号: %2").arg(m_table.customerName(), m_table.customerCode()));
        refresh();
        if (!m_cells.isEmpty()) {
            m_cells.first()->setFocus();
        }
    });
}

PriceCellEdit* CustomerPriceWindow::cellEdit(const QString& cell) const {
    for (PriceCellEdit* e : m_cells) {
        if (e->cell().compare(cell, Qt::CaseInsensitive) == 0) {
            return e;
        }
    }
    return nullptr;
}

MemoEdit* CustomerPriceWindow::remarkEdit(const QString& field) const {
    return m_remarks.value(PriceTable::fieldByName(field));
}

QAbstractButton* CustomerPriceWindow::button(const QString& actionName) const {
    return m_buttons.value(actionName.toLower());
}

void CustomerPriceWindow::buildActions() {
    auto add = [this](const char* name, const char* caption, const char* buttonText, std::function<void()> handler) {
        QAction* a = actions().add(QString::fromLatin1(name), QString::fromUtf8(caption), std::move(handler));
        auto* b = new QPushButton(QString::fromUtf8(buttonText), this);
        b->setObjectName(QString::fromLatin1(name));
        // Enter belongs to the cells: no button is the dialog's default.
        // Like a tool bar's, the buttons take no focus, so that Tab stays
        // on the sheet and a click leaves the cell being typed in as it is
        // (清空 and 获取默认值 then drop its text, 保存 takes it).
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, a, &QAction::trigger);
        b->setProperty("action", QString::fromLatin1(name));
        m_buttons.insert(QString::fromLatin1(name).toLower(), b);
    };
    add("Action_save", "保存", "保存", [this] { save(); });
    // Both replace every cell: a text still being typed goes with them,
    // before the question takes the focus.
    add("Action_SetAsDefault", "设为默认值", "获取默认值", [this] {
        dropPending();
        if (m_table.resetToStandard()) {
            refresh();
        }
    });
    add("Action_Empty", "清空", "清空", [this] {
        dropPending();
        m_table.clear();
        refresh();
    });
    add("Action_Print", "打印", "打印", [this] { print(); });
    // The keyboard's way to the commands the buttons give.
    actions().action(QStringLiteral("Action_save"))->setShortcut(QKeySequence::Save);
    actions().action(QStringLiteral("Action_Print"))->setShortcut(QKeySequence::Print);
    addAction(actions().action(QStringLiteral("Action_save")));
    addAction(actions().action(QStringLiteral("Action_Print")));
}

QWidget* CustomerPriceWindow::buildSheet() {
    auto* sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("sheet"));
    // White paper with the printout's framed headers.
    sheet->setAttribute(Qt::WA_StyledBackground);
    sheet->setStyleSheet(
        QStringLiteral("QWidget#sheet { background: white; }"
                       "QLabel { color: black; background: transparent; }"
                       "QLabel#cellHeader { background: #EEF2F8; border: 1px solid #9A9A9A; }"));
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(24, 16, 24, 16);
    layout->setSpacing(6);

    auto* title = new QLabel(QStringLiteral("客 户 报 价 表"), sheet);
    title->setAlignment(Qt::AlignCenter);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 5);
    big.setBold(true);
    title->setFont(big);
    layout->addWidget(title);
    m_customerLabel = new QLabel(sheet);
    m_customerLabel->setObjectName(QStringLiteral("customerLabel"));
    m_customerLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(m_customerLabel);

    // Created in reading order, which is also the order Tab follows.
    for (const PriceSection& section : PriceTable::sections()) {
        layout->addWidget(buildSection(section, sheet));
    }
    auto* line = new QFrame(sheet);
    line->setFrameShape(QFrame::HLine);
    layout->addWidget(line);
    auto* allLabel = new QLabel(QStringLiteral("说明："), sheet);
    QFont bold = allLabel->font();
    bold.setBold(true);
    allLabel->setFont(bold);
    layout->addWidget(allLabel);
    MemoEdit* all = addRemark(QStringLiteral("All_Remark"), sheet);
    all->setFixedHeight(80);
    layout->addWidget(all);
    sheet->setFixedWidth(kSheetWidth + 48);
    return sheet;
}

QWidget* CustomerPriceWindow::buildSection(const PriceSection& section, QWidget* parent) {
    auto* box = new QWidget(parent);
    box->setObjectName(QStringLiteral("section%1").arg(section.letter));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->setSpacing(3);
    auto* heading = new QLabel(QStringLiteral("%1 区").arg(section.letter), box);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);

    auto* grid = new QGridLayout;
    grid->setSpacing(0);
    grid->addWidget(headerLabel(QString(section.letter), box), 0, 0);
    for (int c = 1; c <= section.columns; ++c) {
        grid->addWidget(headerLabel(QStringLiteral("%1").arg(c, 2, 10, QLatin1Char('0')), box), 0, c);
    }
    for (int r = 1; r <= section.rows; ++r) {
        grid->addWidget(headerLabel(QString::number(r), box), r, 0);
        for (int c = 1; c <= section.columns; ++c) {
            auto* edit = new PriceCellEdit(section.cellName(r, c), box);
            edit->setFixedWidth(kCellWidth);
            edit->setMinimumHeight(24);
            edit->setToolTip(edit->cell());
            connect(edit, &PriceCellEdit::edited, this,
                    [this, edit](const QString& text) { actions().guard([&] { commitCell(edit, text); }); });
            // Enter goes on to the next price, past the remarks.
            connect(edit, &PriceCellEdit::advance, this, [this, edit] {
                const qsizetype at = m_cells.indexOf(edit);
                PriceCellEdit* next = m_cells[(at + 1) % m_cells.size()];
                next->setFocus(Qt::TabFocusReason);
                m_scroll->ensureWidgetVisible(next);
            });
            grid->addWidget(edit, r, c);
            m_cells.append(edit);
        }
    }
    grid->setColumnMinimumWidth(0, kCornerWidth);
    for (int c = 1; c <= section.columns; ++c) {
        grid->setColumnMinimumWidth(c, kCellWidth);
    }
    auto* row = new QHBoxLayout;
    row->addLayout(grid);
    row->addStretch();
    layout->addLayout(row);

    auto* remarkRow = new QHBoxLayout;
    remarkRow->addWidget(new QLabel(QStringLiteral("说明："), box), 0, Qt::AlignTop);
    MemoEdit* remark = addRemark(section.remarkField(), box);
    remark->setFixedHeight(46);
    remarkRow->addWidget(remark, 1);
    layout->addLayout(remarkRow);
    return box;
}

MemoEdit* CustomerPriceWindow::addRemark(const QString& field, QWidget* parent) {
    auto* edit = new MemoEdit(parent);
    edit->setObjectName(field);
    // Tab goes on to the next box, as everywhere on the sheet.
    edit->setTabChangesFocus(true);
    connect(edit, &MemoEdit::valueEdited, this, [this, edit, field] {
        if (m_refreshing) {
            return;
        }
        const bool taken = actions().guard([&] { m_table.setValue(field, edit->toPlainText()); });
        if (!taken) {
            m_refreshing = true;
            edit->setValue(m_table.value(field));
            m_refreshing = false;
        }
    });
    m_remarks.insert(field, edit);
    return edit;
}

void CustomerPriceWindow::refresh() {
    m_refreshing = true;
    for (PriceCellEdit* e : m_cells) {
        e->setValue(m_table.value(e->cell()));
    }
    for (auto it = m_remarks.cbegin(); it != m_remarks.cend(); ++it) {
        it.value()->setValue(m_table.value(it.key()));
    }
    m_refreshing = false;
}

void CustomerPriceWindow::commitCell(PriceCellEdit* edit, const QString& text) {
    try {
        m_table.setCellText(edit->cell(), text);
    } catch (...) {
        // The cell shows its value again and keeps the focus to be typed
        // anew; the refusal is shown by the caller.
        edit->markRefused();
        edit->revert();
        edit->setFocus();
        edit->selectAll();
        throw;
    }
    edit->setValue(m_table.value(edit->cell()));
}

void CustomerPriceWindow::commitPending() {
    for (PriceCellEdit* e : m_cells) {
        if (e->isEdited()) {
            commitCell(e, e->text());
        }
    }
}

void CustomerPriceWindow::dropPending() {
    for (PriceCellEdit* e : m_cells) {
        if (e->isEdited()) {
            e->revert();
        }
    }
}

void CustomerPriceWindow::save() {
    commitPending();
    m_saveDone = false;
    m_table.save();
    m_saveDone = true;
    refresh();
    context().prompter().inform(PriceTable::savedText());
}

void CustomerPriceWindow::print() {
    commitPending();
    // Yes saves through the save command and its permission check.
    const bool go = m_table.settleBeforePrint([this] {
        m_saveDone = false;
        actions().execute(QStringLiteral("Action_save"));
        return m_saveDone;
    });
    if (!go) {
        return;
    }
    CustomerPriceReportWindow report(context(),
                                     m_table.isStandard() ? QStringList() : QStringList{m_table.customerCode()}, this);
    runWindow(context(), report);
}

bool CustomerPriceWindow::confirmClose() {
    bool mayClose = false;
    actions().guard([this, &mayClose] {
        commitPending();
        mayClose = m_table.close([this] {
            m_saveDone = false;
            actions().execute(QStringLiteral("Action_save"));
            return m_saveDone;
        });
    });
    return mayClose;
}
