#pragma once

#include "reports/document_printouts.h"
#include "reports/report_window.h"

// The report window of one document's printout: it opens maximised and
// prepares the pages from the document's rows when it is first shown. A
// document that does not exist is said so, and the window stays empty.
class DocumentReportWindow : public ReportWindow {
    Q_OBJECT
public:
    DocumentReportWindow(AppContext& context, const QString& windowName, DocumentPrintouts::Kind kind,
                         const QString& key, QWidget* parent = nullptr);

    DocumentPrintouts::Kind kind() const { return m_kind; }
    const QString& key() const { return m_key; }
    // Reads the rows and prepares the pages; false, with the reason shown
    // through the Prompter, when that fails. Never throws.
    bool prepare();
    bool isPrepared() const { return m_prepared; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    DocumentPrintouts::Kind m_kind;
    QString m_key;
    bool m_prepared = false;
    bool m_tried = false;
};
