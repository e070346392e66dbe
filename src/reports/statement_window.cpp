#include "reports/statement_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "data/app_context.h"
#include "data/data_module.h"
#include "platform/errors.h"
#include "reports/report_preview_frame.h"
#include "ui/editors.h"

StatementWindow::StatementWindow(AppContext& context, QWidget* parent)
    : ReportWindow(context, CustomerStatement::windowName(), CustomerStatement::templateName(), parent),
      m_customer(new QLineEdit(this)),
      m_from(new NullableDateEdit(this)),
      m_to(new NullableDateEdit(this)),
      m_openOnlyNote(new QLabel(this)),
      m_choose(new QPushButton(QStringLiteral("选择…"), this)),
      m_run(new QPushButton(QStringLiteral("开始"), this)) {
    setWindowTitle(CustomerStatement::caption());
    setWindowState(windowState() | Qt::WindowMaximized);
    m_customer->setObjectName(QStringLiteral("customerEdit"));
    m_customer->setPlaceholderText(QStringLiteral("编号或名称"));
    m_customer->setToolTip(QStringLiteral("客户编号或客户姓名；未建档的客户填写订货单上的名称；多个客户用逗号隔开"));
    m_from->setObjectName(QStringLiteral("fromDate"));
    m_to->setObjectName(QStringLiteral("toDate"));
    m_run->setObjectName(QStringLiteral("runButton"));
    m_choose->setObjectName(QStringLiteral("chooseButton"));
    m_choose->hide();  // shown once there is a list to choose from
    m_openOnlyNote->setWordWrap(true);
    m_openOnlyNote->hide();

    QVBoxLayout* v = nullptr;
    QWidget* panel = parameterPanel(&v);
    v->addWidget(new QLabel(QStringLiteral("客户:"), panel));
    v->addWidget(m_customer);
    v->addWidget(m_choose);
    v->addSpacing(6);
    v->addWidget(new QLabel(QStringLiteral("对账期间:"), panel));
    v->addWidget(new QLabel(QStringLiteral("从"), panel));
    v->addWidget(m_from);
    v->addWidget(new QLabel(QStringLiteral("到"), panel));
    v->addWidget(m_to);
    v->addWidget(m_openOnlyNote);
    v->addSpacing(10);
    v->addWidget(m_run);
    v->addStretch();
    m_frame->setZoom(ReportPreviewFrame::Zoom::PageWidth);
    placeBeside(panel, m_frame);

    connect(m_run, &QPushButton::clicked, this, [this] { run(); });
    connect(m_customer, &QLineEdit::returnPressed, this, [this] { run(); });
    connect(m_choose, &QPushButton::clicked, this, [this] {
        actions().guard([this] {
            const QString code = m_chooser ? m_chooser() : QString();
            if (!code.isEmpty()) {
                setCustomers({code});
            }
        });
    });
}

void StatementWindow::setParties(const QList<ReceivableParty>& parties) {
    m_setCustomers.clear();
    m_setParties = parties;
    QStringList names;
    for (const ReceivableParty& p : parties) {
        names << (p.hasRecord() ? p.clientNo : p.name);
    }
    m_setText = names.join(QStringLiteral(", "));
    m_customer->setText(m_setText);
}

void StatementWindow::setCustomers(const QStringList& codesOrNames) {
    m_setParties.clear();
    m_setCustomers = codesOrNames;
    m_setText = codesOrNames.join(QStringLiteral(", "));
    m_customer->setText(m_setText);
}

void StatementWindow::setChooser(std::function<QString()> chooser) {
    m_chooser = std::move(chooser);
    m_choose->setVisible(static_cast<bool>(m_chooser));
}

void StatementWindow::setOpenOnly(const QDate& asOf) {
    m_openOnly = true;
    m_from->setValue(QVariant());
    m_from->setEnabled(false);
    m_to->setValue(asOf);
    m_openOnlyNote->setText(QStringLiteral("只列截至“到”日未结清的订货单及其收款"));
    m_openOnlyNote->show();
}

QList<ReceivableParty> StatementWindow::parties() const {
    Database& db = context().data().main();
    const QString text = m_customer->text().trimmed();
    QStringList names;
    if (!m_setParties.isEmpty() && m_customer->text() == m_setText) {
        return m_setParties;
    }
    if (!m_setCustomers.isEmpty() && m_customer->text() == m_setText) {
        names = m_setCustomers;
    } else if (!text.isEmpty()) {
        // A name with a comma of its own stays whole when it names a customer.
        try {
            return {ReceivableParty::find(db, text)};
        } catch (const UserError&) {
            names = text.split(QRegularExpression(QStringLiteral("[,，;；]")), Qt::SkipEmptyParts);
        }
    }
    QList<ReceivableParty> out;
    for (const QString& name : names) {
        out << ReceivableParty::find(db, name.trimmed());
    }
    if (out.isEmpty()) {
        throw UserError(QStringLiteral("请填写[客户]"));
    }
    return out;
}

bool StatementWindow::run() {
    bool shown = false;
    actions().guard([this, &shown] {
        // Asked on every run: rights changed meanwhile take effect.
        permissions().CheckActionPermission(CustomerStatement::actionName(), QStringLiteral("main_frm"));
        StatementFilter filter;
        filter.openOnly = m_openOnly;
        filter.from = m_openOnly ? QDate() : m_from->checkedDate(QStringLiteral("开始日期"));
        filter.to = m_to->checkedDate(QStringLiteral("结束日期"));
        if (m_openOnly && !filter.to.isValid()) {
            throw UserError(QStringLiteral("请填写[结束日期]"));
        }
        CustomerStatement::check(filter);
        const QList<ReceivableParty> list = parties();
        CustomerStatement statement(context().data().main());
        QList<Statement> statements;
        for (const ReceivableParty& party : list) {
            statements << statement.build(party, filter);
        }
        setRows(CustomerStatement::rows(statements));
        setParameters(statement.parameters(filter));
        shown = showReport();
        m_shown = shown ? static_cast<int>(statements.size()) : m_shown;
    });
    return shown;
}
