#include "reports/report_preview_frame.h"

#include <QActionGroup>
#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/file_chooser.h"
#include "platform/prompter.h"
#include "reports/engine/report_exporter.h"
#include "reports/engine/report_file.h"
#include "reports/engine/report_painter.h"
#include "ui/action_manager.h"

// Paints one prepared page at the frame's scale.
class PageView : public QWidget {
public:
    explicit PageView(const ReportPreviewFrame& frame, QWidget* parent) : QWidget(parent), m_frame(frame) {}
    QSize sizeHint() const override {
        const QSizeF dots = m_frame.report().pageSizeDots() * m_frame.scale();
        return dots.toSize() + QSize(2, 2);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QSizeF page = m_frame.report().pageSizeDots() * m_frame.scale();
        const QRectF sheet(QPointF((width() - page.width()) / 2, 0), page);
        p.fillRect(rect(), QColor("#808080"));
        p.fillRect(sheet, Qt::white);
        if (m_frame.pageCount() == 0) {
            return;
        }
        p.translate(sheet.topLeft());
        p.scale(m_frame.scale(), m_frame.scale());
        ReportPainter::paintPage(p, m_frame.report(), m_frame.currentPage());
    }

private:
    const ReportPreviewFrame& m_frame;
};

ReportPreviewFrame::ReportPreviewFrame(Prompter& prompter, FileChooser& files, QWidget* parent)
    : QWidget(parent),
      m_prompter(prompter),
      m_files(files),
      m_view(new PageView(*this, this)),
      m_scroll(new QScrollArea(this)),
      m_progress(new QLabel(this)) {
    setObjectName(QStringLiteral("Report_Previwe_Frame1"));
    auto* toolbar = new QHBoxLayout;
    toolbar->setSpacing(2);
    auto* zoomGroup = new QButtonGroup(this);
    zoomGroup->setExclusive(true);
    const QList<QToolButton*> zooms = {
        addButton(
            "ToolButton1", "100%", QStyle::SP_FileDialogDetailedView, [this] { setZoom(Zoom::Actual); }, true),
        addButton(
            "ToolButton2", "显示整页", QStyle::SP_FileDialogListView, [this] { setZoom(Zoom::WholePage); }, true),
        addButton(
            "ToolButton3", "适应窗口大小", QStyle::SP_TitleBarMaxButton, [this] { setZoom(Zoom::PageWidth); }, true)};
    for (QToolButton* b : zooms) {
        zoomGroup->addButton(b);
        toolbar->addWidget(b);
    }
    zooms[0]->setChecked(true);
    toolbar->addSpacing(8);
    for (QToolButton* b : {addButton("ToolButton5", "最前一页", QStyle::SP_MediaSkipBackward, [this] { firstPage(); }),
                           addButton("ToolButton6", "前一页", QStyle::SP_MediaSeekBackward, [this] { previousPage(); }),
                           addButton("ToolButton7", "后一页", QStyle::SP_MediaSeekForward, [this] { nextPage(); }),
                           addButton("ToolButton8", "最末一页", QStyle::SP_MediaSkipForward, [this] { lastPage(); })}) {
        toolbar->addWidget(b);
    }
    toolbar->addSpacing(8);
    for (QToolButton* b :
         {addButton("ToolButton10", "打开报表文件", QStyle::SP_DialogOpenButton, [this] { openPrepared(); }),
          addButton("ToolButton11", "保存报表", QStyle::SP_DialogSaveButton, [this] { savePrepared(); }),
          addButton("ToolButton12", "打印", QStyle::SP_ComputerIcon, [this] { print(); })}) {
        toolbar->addWidget(b);
    }
    toolbar->addSpacing(8);
    for (QToolButton* b :
         {addButton("ToolButton16", "输出为Excel文档", QStyle::SP_FileIcon, [this] { exportXlsx(); }),
          addButton("ToolButton14", "输出为HTML文档", QStyle::SP_DriveNetIcon, [this] { exportHtml(); }),
          addButton("ToolButton17", "输出为图片", QStyle::SP_DesktopIcon, [this] { exportJpeg(); }),
          addButton("ToolButton18", "输出为PDF文档", QStyle::SP_FileLinkIcon, [this] { exportPdf(); })}) {
        toolbar->addWidget(b);
    }
    toolbar->addStretch();
    m_scroll->setWidget(m_view);
    m_scroll->setWidgetResizable(false);
    m_scroll->viewport()->installEventFilter(this);
    m_scroll->setAlignment(Qt::AlignHCenter);
    m_scroll->setFrameShadow(QFrame::Sunken);
    m_scroll->setBackgroundRole(QPalette::Dark);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(toolbar);
    layout->addWidget(m_scroll, 1);
    m_progress->setObjectName(QStringLiteral("progressLine"));
    m_progress->setContentsMargins(6, 2, 6, 2);
    m_progress->hide();
    layout->addWidget(m_progress);

    refresh();
}

QToolButton* ReportPreviewFrame::addButton(const QString& name, const QString& hint, QStyle::StandardPixmap icon,
                                           std::function<void()> handler, bool checkable) {
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setIcon(style()->standardIcon(icon));
    b->setFixedSize(25, 23);
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    connect(b, &QToolButton::clicked, this, [this, handler] { ActionManager::guard(m_prompter, handler); });
    m_buttons.append(b);
    return b;
}

QToolButton* ReportPreviewFrame::button(const QString& objectName) const {
    for (QToolButton* b : m_buttons) {
        if (b->objectName() == objectName) {
            return b;
        }
    }
    return nullptr;
}

void ReportPreviewFrame::setReport(const PreparedReport& report) {
    m_report = report;
    m_page = 0;
    refresh();
    // A new report starts at the top of its first page.
    m_scroll->verticalScrollBar()->setValue(0);
    m_scroll->horizontalScrollBar()->setValue(0);
}

void ReportPreviewFrame::updateReport(const PreparedReport& report) {
    m_report = report;
    m_page = std::max(0, std::min(m_page, pageCount() - 1));
    refresh();
}

void ReportPreviewFrame::setProgressText(const QString& text) {
    const bool changed = text != m_progress->text();
    m_progress->setText(text);
    m_progress->setVisible(!text.isEmpty());
    if (changed) {
        emit progressTextChanged(text);
    }
}

QString ReportPreviewFrame::progressText() const {
    return m_progress->text();
}

void ReportPreviewFrame::beforeOutput() {
    if (m_beforeOutput) {
        m_beforeOutput();
    }
}

double ReportPreviewFrame::scale() const {
    const QSizeF page = m_report.pageSizeDots();
    const double dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    switch (m_zoom) {
        case Zoom::Actual:
            return dpi / PreparedReport::kDotsPerInch;
        case Zoom::WholePage: {
            const QSize area = m_scroll->viewport()->size() - QSize(4, 4);
            return std::max(0.01, std::min(area.width() / page.width(), area.height() / page.height()));
        }
        case Zoom::PageWidth:
            return std::max(0.01, (m_scroll->viewport()->width() - 4) / page.width());
    }
    return 1;
}

void ReportPreviewFrame::refresh() {
    m_view->resize(std::max(m_scroll->viewport()->width(), m_view->sizeHint().width()), m_view->sizeHint().height());
    m_view->update();
    emit pageChanged(m_page);
}

void ReportPreviewFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    refresh();
}

bool ReportPreviewFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize) {
        refresh();
    }
    return QWidget::eventFilter(watched, event);
}

void ReportPreviewFrame::setZoom(Zoom zoom) {
    m_zoom = zoom;
    const char* names[] = {"ToolButton1", "ToolButton2", "ToolButton3"};
    button(QString::fromLatin1(names[int(zoom)]))->setChecked(true);
    refresh();
}

void ReportPreviewFrame::firstPage() {
    m_page = 0;
    refresh();
}

void ReportPreviewFrame::previousPage() {
    m_page = std::max(0, m_page - 1);
    refresh();
}

void ReportPreviewFrame::nextPage() {
    m_page = std::max(0, std::min(pageCount() - 1, m_page + 1));
    refresh();
}

void ReportPreviewFrame::lastPage() {
    m_page = std::max(0, pageCount() - 1);
    refresh();
}

void ReportPreviewFrame::openPrepared() {
    const QString file =
        m_files.choose(FileQuestion::openFile(QStringLiteral("打开报表"), QString(), preparedFilter()));
    if (file.isEmpty()) {
        return;
    }
    PreparedReport report;
    QString error;
    if (!ReportFile::load(file, &report, &error)) {
        m_prompter.error(error);
        return;
    }
    setReport(report);
    emit fileOpened();
}

void ReportPreviewFrame::savePrepared() {
    exportWith(preparedFilter(), "rmp",
               [this](const QString& f, QString* e) { return ReportFile::save(m_report, f, e); });
}

void ReportPreviewFrame::exportWith(const QString& filter, const QString& suffix,
                                    const std::function<bool(const QString&, QString*)>& write) {
    const QString file = m_files.choose(FileQuestion::saveFile(QStringLiteral("保存报表"), QString(), filter, suffix));
    if (file.isEmpty()) {
        return;
    }
    // Asked first: the user names the file at once, then the rest of the
    // report is made while the program says so.
    beforeOutput();
    QString error;
    if (!write(file, &error)) {
        m_prompter.error(error);
    }
}

void ReportPreviewFrame::exportXlsx() {
    exportWith("(*.XLSX)", "XLSX", [this](const QString& f, QString* e) {
        return ReportExporter::toXlsx(m_report, ReportExporter::withExtension(f, "XLSX"), e);
    });
}

void ReportPreviewFrame::exportHtml() {
    exportWith("(*.HTM)", "HTM", [this](const QString& f, QString* e) {
        return ReportExporter::toHtml(m_report, ReportExporter::withExtension(f, "HTM"), e);
    });
}

void ReportPreviewFrame::exportJpeg() {
    exportWith("(*.JPG)", "JPG", [this](const QString& f, QString* e) {
        return ReportExporter::toJpeg(m_report, ReportExporter::withExtension(f, "JPG"), e);
    });
}

void ReportPreviewFrame::exportPdf() {
    exportWith("(*.PDF)", "PDF", [this](const QString& f, QString* e) {
        return ReportExporter::toPdf(m_report, ReportExporter::withExtension(f, "PDF"), e);
    });
}

void ReportPreviewFrame::print() {
    beforeOutput();
    if (m_report.pages.isEmpty()) {
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(m_report.pageSizeMm, QPageSize::Millimeter), QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0)));
    printer.setFullPage(true);
    printer.setCollateCopies(false);
    printer.setFromTo(1, pageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, pageCount());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    int from = printer.fromPage();
    int to = printer.toPage();
    if (from == 0 && to == 0) {
        from = 1;
        to = pageCount();
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        m_prompter.error(QStringLiteral("无法打印"));
        return;
    }
    const double s = ReportPainter::scaleFor(printer.resolution());
    for (int page = from; page <= to; ++page) {
        if (page > from) {
            printer.newPage();
        }
        painter.save();
        painter.scale(s, s);
        ReportPainter::paintPage(painter, m_report, page - 1);
        painter.restore();
    }
    painter.end();
}
