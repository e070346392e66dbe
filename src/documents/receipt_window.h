#pragma once

#include <QHash>
#include <functional>

#include "documents/receipt_book.h"
#include "ui/base_window.h"

class DataGrid;
class MatchPopup;
class QLabel;
class QPushButton;

// "收据列表": the receipts of one quotation and the receipt lines they
// share, under the quotation's amounts. A row of either grid is written when
// it is left (and what is still open when the window closes); the amounts
// are shown again after every change of a receipt.
class ReceiptWindow : public BaseWindow {
    Q_OBJECT
public:
    ReceiptWindow(AppContext& context, const QString& quotationNo, QWidget* parent = nullptr);

    // The quotation whose receipts the window shows (read when it is shown).
    const QString& quotationNo() const { return m_quotationNo; }

    ReceiptBook& book() { return m_book; }
    DataGrid* receiptGrid() const { return m_receiptGrid; }
    DataGrid* lineGrid() const { return m_lineGrid; }
    // The drop-down of goods typed under the lines.
    MatchPopup* goodsMatches() const { return m_goodsMatches; }
    // The button showing this text, or null.
    QPushButton* button(const QString& text) const;
    // The label showing a field of the quotation's list row
    // ("sum_payed_money"), or null.
    QLabel* valueLabel(const QString& field) const { return m_values.value(field.toLower()).label; }

protected:
    void showEvent(QShowEvent* event) override;
    bool confirmClose() override;

private:
    enum class ValueKind { Text, Date, Amount };
    struct Value {
        QLabel* label = nullptr;
        ValueKind kind = ValueKind::Text;
    };

    QWidget* makeQuotationPanel();
    QWidget* makeReceiptPanel();
    QWidget* makeLinePanel();
    // A command of the window and the button that runs it. Every command
    // first writes what a grid still holds and ends with the amounts shown
    // again.
    QPushButton* addCommand(const QString& name, const QString& caption, const QString& buttonText,
                            std::function<void()> handler);
    void open();
    void bindGrids();
    void showQuotation();
    // Writes an open cell editor's text into its row, then posts and writes
    // both grids' rows. False when the cell's value was refused (the
    // message is shown); throws when a write fails.
    bool postPending();
    // Makes the dataset's current row the grid's current and only selected
    // row, with the focus on `field`'s cell.
    void showCurrent(DataGrid* grid, const QString& field);

    QString m_quotationNo;
    ReceiptBook m_book;
    DataGrid* m_receiptGrid;
    DataGrid* m_lineGrid;
    QHash<QString, Value> m_values;  // by lower-case field
    QList<QWidget*> m_preferential;  // "优惠" and its amount, shown by "其它"
    QLabel* m_difference = nullptr;  // the lines against the amount due
    QList<QPushButton*> m_buttons;
    MatchPopup* m_goodsMatches = nullptr;
    int m_refusals = 0;  // cell edits refused so far
    bool m_opened = false;
};
