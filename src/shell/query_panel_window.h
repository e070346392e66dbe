#pragma once

#include "ui/base_window.h"

class NullableDateEdit;
class QLabel;
class QLineEdit;
class DataGrid;
class DerivedFormWindow;
class QuotationListWindow;

// The document query panel: conditions on telephone, establishment,
// customer and entry dates, and "查询", which opens the quotation list (or
// the work, ware-out or shipment forms) showing only what meets them. The panel stays open so that
// one query can follow another.
class QueryPanelWindow : public BaseWindow {
    Q_OBJECT
public:
    enum Kind { NoKind = 0, Documents = 1, WorkForms = 2, WareOutForms = 3, Shipments = 4, Quotations = 5 };

    QueryPanelWindow(AppContext& context, int kind, QWidget* parent = nullptr);

    int kind() const { return m_kind; }
    QString title() const;
    QLineEdit* hotelBox() const { return m_hotel; }
    QLineEdit* customerBox() const { return m_customer; }
    QLineEdit* telephoneBox() const { return m_telephone; }
    NullableDateEdit* fromDate() const { return m_from; }
    NullableDateEdit* toDate() const { return m_to; }

    // Runs the query of the panel's kind.
    void runQuery();
    // Puts the panel's conditions on the list's rows.
    void applyTo(QuotationListWindow& list) const;
    void applyTo(DerivedFormWindow& forms) const;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The conditions on a grid whose columns hold the telephone, the
    // establishment, the customer and the date.
    void applyConditions(DataGrid* grid, const char* telephone, const char* hotel, const char* customer,
                         const char* date) const;

    int m_kind;
    QLabel* m_title;
    QLineEdit* m_hotel;
    QLineEdit* m_customer;
    QLineEdit* m_telephone;
    NullableDateEdit* m_from;
    NullableDateEdit* m_to;
};
