#pragma once

#include <functional>

#include "reports/customer_statement.h"
#include "reports/report_window.h"

class NullableDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

// "客户对账单": on the left the customer (a code, or a name typed on
// quotations without a record; several separated by commas, or those the
// customer list passes), the period and "开始", which shows one statement
// per customer, each on its own pages. The right of the main window's
// command is asked on every run.
class StatementWindow : public ReportWindow {
    Q_OBJECT
public:
    explicit StatementWindow(AppContext& context, QWidget* parent = nullptr);

    QLineEdit* customerEdit() const { return m_customer; }
    NullableDateEdit* fromDate() const { return m_from; }
    NullableDateEdit* toDate() const { return m_to; }
    QPushButton* runButton() const { return m_run; }
    QPushButton* chooseButton() const { return m_choose; }

    // The customers to show, by code (or typed name), as the list passes them.
    void setCustomers(const QStringList& codesOrNames);
    // The customers to show as found already (the aged receivables' line),
    // not looked up again by their text.
    void setParties(const QList<ReceivableParty>& parties);
    // What "选择…" asks for a customer's code (empty: nothing chosen).
    void setChooser(std::function<QString()> chooser);
    // Only the quotations still open on `asOf` (from the aged receivables).
    void setOpenOnly(const QDate& asOf);
    // The customers the field names, resolved; throws UserError.
    QList<ReceivableParty> parties() const;

    // "开始": false when refused or reading fails (said through the
    // Prompter); the previous report then stays.
    bool run();
    int statementCount() const { return m_shown; }

private:
    QLineEdit* m_customer;
    NullableDateEdit* m_from;
    NullableDateEdit* m_to;
    QLabel* m_openOnlyNote;
    QPushButton* m_choose;
    QPushButton* m_run;
    std::function<QString()> m_chooser;
    QList<ReceivableParty> m_setParties;  // as passed, while the field still shows them
    QStringList m_setCustomers;
    QString m_setText;
    bool m_openOnly = false;
    int m_shown = 0;
};
