#pragma once

#include <QDialog>
#include <QList>

#include "documents/price_history.h"

class QTableWidget;

// Shows the prices a customer was quoted for one goods, newest first: the
// quotation's number, the day it was entered, the quantity and the price.
class PriceHistoryDialog : public QDialog {
    Q_OBJECT
public:
    PriceHistoryDialog(const QString& title, const QList<PriceHistory::Quoted>& rows, QWidget* parent = nullptr);

    QTableWidget* table() const { return m_table; }

private:
    QTableWidget* m_table;
};
