#pragma once

#include <QStyle>
#include <QWidget>
#include <functional>

#include "reports/engine/prepared_report.h"

class PageView;
class FileChooser;
class Prompter;
class QLabel;
class QScrollArea;
class QToolButton;

// The preview, print and export frame every report window embeds: a tool
// bar (zoom, paging, open and save a prepared report, print, exports) over
// the pages.
class ReportPreviewFrame : public QWidget {
    Q_OBJECT
public:
    enum class Zoom { Actual, WholePage, PageWidth };

    ReportPreviewFrame(Prompter& prompter, FileChooser& files, QWidget* parent = nullptr);

    void setReport(const PreparedReport& report);
    // The same report grown (more pages, page counts filled in): the page
    // shown stays.
    void updateReport(const PreparedReport& report);
    // A line under the pages while the report is still being made; empty
    // hides it.
    void setProgressText(const QString& text);
    QString progressText() const;
    // Runs before the report is printed, saved or exported: the host
    // finishes a report still being made, so that every page goes out.
    void setBeforeOutput(std::function<void()> beforeOutput) { m_beforeOutput = std::move(beforeOutput); }
    const PreparedReport& report() const { return m_report; }
    int currentPage() const { return m_page; }
    int pageCount() const { return static_cast<int>(m_report.pages.size()); }
    Zoom zoom() const { return m_zoom; }
    double scale() const;
    QToolButton* button(const QString& objectName) const;

    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void setZoom(Zoom zoom);
    void openPrepared();
    void savePrepared();
    void print();
    void exportXlsx();
    void exportHtml();
    void exportJpeg();
    void exportPdf();

    static QString preparedFilter() { return QStringLiteral("Report 文件 (*.rmp)"); }

signals:
    // The progress line changed (empty: hidden).
    void progressTextChanged(const QString& text);
    void pageChanged(int page);
    // A prepared report file was opened in place of the host's report.
    void fileOpened();

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The page follows the scroll area's viewport, which is laid out after
    // the frame: a report prepared before the window first shows is fitted
    // again once the viewport has its size.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolButton* addButton(const QString& name, const QString& hint, QStyle::StandardPixmap icon,
                           std::function<void()> handler, bool checkable = false);
    void exportWith(const QString& filter, const QString& suffix,
                    const std::function<bool(const QString&, QString*)>& write);
    void refresh();
    void beforeOutput();

    Prompter& m_prompter;
    FileChooser& m_files;
    PreparedReport m_report;
    int m_page = 0;
    Zoom m_zoom = Zoom::Actual;
    PageView* m_view;
    QScrollArea* m_scroll;
    QLabel* m_progress;
    std::function<void()> m_beforeOutput;
    QList<QToolButton*> m_buttons;
};
