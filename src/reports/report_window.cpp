#include "reports/report_window.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QPointer>
#include <QSplitter>
#include <QSqlQuery>
#include <QTimer>
#include <QVBoxLayout>

#include "data/app_context.h"
#include "data/data_module.h"
#include "platform/errors.h"
#include "platform/memory_release.h"
#include "platform/prompter.h"
#include "reports/engine/report_preparer.h"
#include "reports/report_preview_frame.h"
#include "ui/action_manager.h"

namespace {
// How long the first turn may take to show the first page, each later
// turn in the background, and how often the frame is given new pages.
constexpr std::chrono::milliseconds kFirstTurn{50};
constexpr std::chrono::milliseconds kTurn{40};
constexpr std::chrono::milliseconds kFinishingTurn{250};
constexpr qint64 kShowEveryMs = 300;
}  // namespace

ReportWindow::ReportWindow(AppContext& context, const QString& windowName, const QString& templateName, QWidget* parent)
    : BaseWindow(context, windowName, parent),
      m_frame(new ReportPreviewFrame(context.prompter(), context.files(), this)),
      m_template(templateName),
      m_stepTimer(new QTimer(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_frame);
    resize(900, 700);
    m_stepTimer->setInterval(0);
    connect(m_stepTimer, &QTimer::timeout, this, [this] { continuePreparing(kTurn); });
    // A file opened in the frame is what shows now: the report being made
    // is dropped.
    connect(m_frame, &ReportPreviewFrame::fileOpened, this, [this] {
        m_stepTimer->stop();
        m_stepped.reset();
        m_frame->setProgressText(QString());
    });
    m_frame->setBeforeOutput([this] {
        // A report that stopped short is not passed on as if whole.
        if (m_stepped && !finishPreparing()) {
            throw UserError(QStringLiteral("报表不完整，无法输出"));
        }
    });
}

ReportWindow::~ReportWindow() {
    // A long report's pages and rows go with the window, and the memory
    // they took goes back to the system.
    m_stepTimer->stop();
    m_stepped.reset();
    m_rows = ReportRows();
    m_frame->setReport(PreparedReport());
    // Once the window is gone whole (its children go after this).
    QTimer::singleShot(0, [] { releaseFreeMemory(); });
}

void ReportWindow::setQuery(const QString& sql, const QVariantMap& params) {
    QSqlQuery q = context().data().main().query(sql, params);
    m_rows = ReportRows::fromQuery(q);
}

std::unique_ptr<ReportPreparer> ReportWindow::preparer() {
    const QString path = context().paths().reportFile(m_template);
    ReportTemplate tmpl;
    QString error;
    if (ReportTemplate::load(path, &tmpl, &error) == ReportTemplate::LoadResult::Failed) {
        context().prompter().error(error);
        return nullptr;
    }
    auto preparer = std::make_unique<ReportPreparer>(tmpl, QFileInfo(path).absolutePath());
    preparer->setParameters(m_parameters);
    for (auto it = m_images.cbegin(); it != m_images.cend(); ++it) {
        preparer->setImage(it.key(), it.value());
    }
    return preparer;
}

bool ReportWindow::showReport() {
    stopPreparing();
    const std::unique_ptr<ReportPreparer> p = preparer();
    if (!p) {
        return false;
    }
    PreparedReport prepared;
    QString error;
    if (!p->prepare(m_rows, &prepared, &error, context().clock().today())) {
        context().prompter().error(error);
        return false;
    }
    m_frame->setReport(prepared);
    return true;
}

bool ReportWindow::showReportInSteps(SteppedReport::RowSource source, SteppedReport::WhenRead whenRead) {
    stopPreparing();
    std::unique_ptr<ReportPreparer> p = preparer();
    if (!p) {
        return false;
    }
    m_stepped = std::make_unique<SteppedReport>(std::move(p), std::move(source), std::move(whenRead));
    m_frame->setReport(PreparedReport());
    m_shownPages = -1;
    // The first page is made here, before the window returns to the user.
    while (continuePreparing(kFirstTurn, 1) && m_stepped->pagesSoFar() == 0) {
    }
    if (!m_stepped || m_stepped->state() == SteppedReport::State::Failed) {
        return false;
    }
    if (isPreparing()) {
        m_stepTimer->start();
    }
    return true;
}

bool ReportWindow::isPreparing() const {
    return m_stepped && m_stepped->state() == SteppedReport::State::Working;
}

bool ReportWindow::finishPreparing() {
    if (isPreparing()) {
        // The rest is made now, before anything goes out: the pointer says
        // to wait and the progress line keeps moving meanwhile.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const QPointer<ReportWindow> self(this);
        while (self && continuePreparing(kFinishingTurn)) {
            m_frame->repaint();
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        QApplication::restoreOverrideCursor();
        if (!self) {
            return false;
        }
    }
    return m_stepped && m_stepped->state() == SteppedReport::State::Done;
}

bool ReportWindow::continuePreparing(std::chrono::milliseconds slice, int pages) {
    if (!isPreparing()) {
        m_stepTimer->stop();
        return false;
    }
    const bool read =
        actions().guard([this, slice, pages] { m_stepped->step(slice, context().clock().today(), pages); });
    switch (m_stepped->state()) {
        case SteppedReport::State::Working:
            showProgress(false);
            return true;
        case SteppedReport::State::Done:
            m_stepTimer->stop();
            m_frame->updateReport(m_stepped->report());
            m_frame->setProgressText(QString());
            preparingEnded(true);
            return false;
        case SteppedReport::State::Failed:
            m_stepTimer->stop();
            if (read) {
                // The template or the report's size: nothing to show.
                context().prompter().error(m_stepped->error());
                m_stepped.reset();
                m_frame->setReport(PreparedReport());
                m_frame->setProgressText(QString());
            } else {
                // The rows stopped coming (the message was given): the pages
                // made so far stay, marked incomplete.
                showProgress(true);
                m_frame->setProgressText(QStringLiteral("报表不完整：只读到 %1 行，已备好 %2 页。请稍后重新生成报表。")
                                             .arg(m_stepped->rowsRead())
                                             .arg(m_stepped->pagesSoFar()));
            }
            preparingEnded(false);
            return false;
    }
    return false;
}

void ReportWindow::showProgress(bool force) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const int pages = m_stepped->pagesSoFar();
    if (pages != m_shownPages && (force || m_shownPages <= 0 || now - m_shownAt >= kShowEveryMs)) {
        m_frame->updateReport(m_stepped->finishedSoFar());
        m_shownPages = pages;
        m_shownAt = now;
    }
    m_frame->setProgressText(QStringLiteral("正在准备报表：已读 %1 行，已备好 %2 页…")
                                 .arg(m_stepped->rowsRead())
                                 .arg(m_stepped->pagesSoFar()));
}

void ReportWindow::stopPreparing() {
    m_stepTimer->stop();
    if (m_stepped && m_stepped->state() != SteppedReport::State::Done) {
        // Pages of a report never finished do not stay to be printed.
        m_frame->setReport(PreparedReport());
    }
    m_stepped.reset();
    m_frame->setProgressText(QString());
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
