#include "shell/query_panel_window.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "data/app_context.h"
#include "data/data_module.h"
#include "documents/derived_form_window.h"
#include "documents/quotation_list_window.h"
#include "master/record_finder.h"
#include "platform/period.h"
#include "platform/prompter.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/grid_model.h"
#include "ui/match_popup.h"

QueryPanelWindow::QueryPanelWindow(AppContext& context, int kind, QWidget* parent)
    : BaseWindow(context, QStringLiteral("Query_Panel_Frm"), parent),
      m_kind(kind),
      m_title(new QLabel(this)),
      m_hotel(new QLineEdit(this)),
      m_customer(new QLineEdit(this)),
      m_telephone(new QLineEdit(this)),
      m_from(new NullableDateEdit(this)),
      m_to(new NullableDateEdit(this)) {
    m_title->setText(title());
    setWindowTitle(title());
    QFont big = m_title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    m_title->setFont(big);
    m_title->setAlignment(Qt::AlignCenter);

    // A customer is found as typed (name, code, initials, telephone); the
    // one taken puts its name into the box. Text typed as letters also
    // finds names by their pinyin initials.
    m_customer->setPlaceholderText(QStringLiteral("姓名、编号、拼音首字母或电话"));
    auto* customers =
        new MatchPopup(m_customer, {QStringLiteral("客户编号"), QStringLiteral("客户姓名"), QStringLiteral("酒楼名称"),
                                    QStringLiteral("国家"), QStringLiteral("电话")});
    customers->finder = [this](const QString& text) {
        QList<QStringList> rows;
        actions().guard(
            [&] { rows = RecordFinder(this->context().data().main(), RecordFinder::customers()).find(text); });
        return rows;
    };
    connect(customers, &MatchPopup::chosen, this,
            [customers](const QStringList& row) { customers->setTextAsTyped(row.value(1)); });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("酒店名称"), m_hotel);
    form->addRow(QStringLiteral("客户名称："), m_customer);
    form->addRow(QStringLiteral("国内电话："), m_telephone);
    auto* dates = new QHBoxLayout;
    dates->addWidget(m_from, 1);
    dates->addWidget(new QLabel(QStringLiteral("至"), this));
    dates->addWidget(m_to, 1);
    form->addRow(QStringLiteral("制单日期："), dates);

    auto* query = new QPushButton(QStringLiteral("查询"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    query->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect(query, &QPushButton::clicked, this, [this] { actions().guard([this] { runQuery(); }); });
    connect(cancel, &QPushButton::clicked, this, &QueryPanelWindow::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(query);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addLayout(form);
    layout->addLayout(buttons);
    resize(420, 240);
}

QString QueryPanelWindow::title() const {
    switch (m_kind) {
        case WorkForms:
            return QStringLiteral("工作单查询");
        case WareOutForms:
            return QStringLiteral("出仓单查询");
        case Shipments:
            return QStringLiteral("出货单查询");
        case Quotations:
            return QStringLiteral("订货单查询");
        default:
            return QStringLiteral("单据查询");
    }
}

void QueryPanelWindow::showEvent(QShowEvent* event) {
    BaseWindow::showEvent(event);
    if (m_kind == NoKind) {
        context().prompter().inform(QStringLiteral("请指定要查询何种单据"));
        QTimer::singleShot(0, this, [this] { done(QDialog::Accepted); });
    }
}

void QueryPanelWindow::keyPressEvent(QKeyEvent* event) {
    // Enter anywhere in the panel runs the query.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        actions().guard([this] { runQuery(); });
        return;
    }
    BaseWindow::keyPressEvent(event);
}

void QueryPanelWindow::runQuery() {
    if (m_kind == NoKind) {
        context().prompter().inform(QStringLiteral("请指定要查询何种单据"));
        done(QDialog::Accepted);
        return;
    }
    // The period is checked before a list opens, as every date filter is.
    Period{m_from->checkedDate(QStringLiteral("开始日期")), m_to->checkedDate(QStringLiteral("结束日期"))}.check();
    if (m_kind == WorkForms || m_kind == WareOutForms || m_kind == Shipments) {
        const auto kind = m_kind == WorkForms      ? DerivedFormList::Kind::WorkForm
                          : m_kind == WareOutForms ? DerivedFormList::Kind::WareOutForm
                                                   : DerivedFormList::Kind::ShipmentForm;
        DerivedFormWindow forms(context(), kind, this);
        applyTo(forms);
        forms.showModal();
        return;
    }
    if (m_kind != Quotations) {
        return;  // the documents' own query is the quotation list's
    }
    QuotationListWindow list(context(), this);
    applyTo(list);
    list.showModal();
}

void QueryPanelWindow::applyTo(QuotationListWindow& list) const {
    applyConditions(list.grid(), "telephon", "Rummery", "Add_ClientName", "Keyin_Date");
}

void QueryPanelWindow::applyTo(DerivedFormWindow& forms) const {
    applyConditions(forms.formsGrid(), "telephon", "Gain_Customer_Name", "Link_man", "KeyIn_Date");
    forms.selectFirstShown();
}

void QueryPanelWindow::applyConditions(DataGrid* grid, const char* telephone, const char* hotel, const char* customer,
                                       const char* date) const {
    grid->clearFilters();
    // The text as typed is looked for anywhere in the column; a text of
    // blanks only adds no condition. Typed % and _ are plain characters.
    const QList<QPair<QLineEdit*, const char*>> boxes{
        {m_telephone, telephone}, {m_hotel, hotel}, {m_customer, customer}};
    for (const auto& [box, field] : boxes) {
        if (!box->text().trimmed().isEmpty()) {
            grid->model()->setColumnFilter(QString::fromLatin1(field), {}, box->text());
        }
    }
    const Period period{m_from->value().toDate(), m_to->value().toDate()};
    if (!period.isOpen()) {
        grid->setDateFilter(QString::fromLatin1(date), period);  // the whole To day included
    }
}
