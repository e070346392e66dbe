#pragma once

#include "reports/document_printouts.h"
#include "reports/report_window.h"

// The report window of one document's printout (订货单 and its warning
// style, 采购单, 收款收据, the order form and the forms made from it): it
// opens maximised and prepares the pages from the document's rows when it
// is first shown. A document that does not exist is said so, and the
// window stays empty. `key` is the document's number (a quotation's or a
// receipt's BillNo, an order's or a form's code).
//
//     DocumentReportWindow window(context, DocumentPrintouts::Kind::Receipt, receiptNo, this);
//     window.showModal();
class DocumentReportWindow : public ReportWindow {
    Q_OBJECT
public:
    DocumentReportWindow(AppContext& context, DocumentPrintouts::Kind kind, const QString& key,
                         QWidget* parent = nullptr);

    // The window's name (its object name) for each kind of printout.
    static QString windowName(DocumentPrintouts::Kind kind);

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
