#include "reports/report_window.h"

#include <QFileInfo>
#include <QSplitter>
#include <QSqlQuery>
#include <QVBoxLayout>

#include "data/app_context.h"
#include "data/data_module.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "reports/engine/report_preparer.h"
#include "reports/report_preview_frame.h"

ReportWindow::ReportWindow(AppContext& context, const QString& windowName, const QString& templateName, QWidget* parent)
    : BaseWindow(context, windowName, parent),
      m_frame(new ReportPreviewFrame(context.prompter(), context.files(), this)),
      m_template(templateName) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_frame);
    resize(900, 700);
}

void ReportWindow::setQuery(const QString& sql, const QVariantMap& params) {
    QSqlQuery q = context().data().main().query(sql, params);
    m_rows = ReportRows::fromQuery(q);
}

bool ReportWindow::showReport() {
    const QString path = context().paths().reportFile(m_template);
    ReportTemplate tmpl;
    QString error;
    if (ReportTemplate::load(path, &tmpl, &error) == ReportTemplate::LoadResult::Failed) {
        context().prompter().error(error);
        return false;
    }
    PreparedReport prepared;
    ReportPreparer preparer(tmpl, QFileInfo(path).absolutePath());
    preparer.setParameters(m_parameters);
    for (auto it = m_images.cbegin(); it != m_images.cend(); ++it) {
        preparer.setImage(it.key(), it.value());
    }
    if (!preparer.prepare(m_rows, &prepared, &error, context().clock().today())) {
        context().prompter().error(error);
        return false;
    }
    m_frame->setReport(prepared);
    return true;
}

QWidget* ReportWindow::parameterPanel(QVBoxLayout** fields) {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("parameterPanel"));
    panel->setFixedWidth(129);
    panel->setAutoFillBackground(true);
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, QColor(0xdd, 0xee, 0xff));
    panel->setPalette(p);
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(6, 8, 6, 8);
    *fields = v;
    return panel;
}

void ReportWindow::placeBeside(QWidget* panel, QWidget* body) {
    layout()->removeWidget(m_frame);
    auto* outer = new QSplitter(Qt::Horizontal, this);
    outer->addWidget(panel);
    outer->addWidget(body == m_frame ? m_frame : body);
    outer->setStretchFactor(0, 0);
    outer->setStretchFactor(1, 1);
    outer->setChildrenCollapsible(false);
    // The panel keeps its width; all the rest is the report's.
    outer->setSizes({panel->width(), 100000});
    layout()->addWidget(outer);
}
