#pragma once

#include <QHash>
#include <QStringList>

#include "documents/document_windows.h"
#include "documents/quotation_document.h"
#include "ui/base_window.h"

class DataGrid;
class FieldBinder;
class QAbstractButton;
class QCheckBox;
class QLabel;
class MatchPopup;
class QWidget;

// The quotation editor: the head's editors, the lines in a grid edited in
// place, and the commands on them. Its rules live in QuotationDocument.
class QuotationEditWindow : public BaseWindow {
    Q_OBJECT
public:
    // `billNo` is the quotation to open (mode 3) or to copy from (mode 5).
    QuotationEditWindow(AppContext& context, int mode, const QString& billNo = {}, QWidget* parent = nullptr);
    ~QuotationEditWindow() override;

    QuotationDocument& document() { return m_document; }
    DataGrid* grid() const { return m_grid; }
    // The check box of the purchase price and profit columns; null without
    // the right to see them.
    QCheckBox* extraColumns() const { return m_extra; }
    QWidget* discountEditor() const { return m_discount; }
    // The drop-downs of goods typed under the lines and of customers typed
    // into the name.
    MatchPopup* goodsMatches() const { return m_goodsMatches; }
    MatchPopup* customerMatches() const { return m_customerMatches; }
    // Whether the quotation could be loaded; a window that could not says
    // why and closes when shown.
    bool loaded() const { return m_loaded; }
    // The button that runs the command, by action name.
    QAbstractButton* button(const QString& actionName) const;

protected:
    bool confirmClose() override;
    void showEvent(QShowEvent* event) override;

private:
    // Shows the lines in their printed order again, the moved line selected.
    void showPrintOrder(int movedRow);
    QWidget* buildHead();
    void buildActions();
    void addGoods();
    // Adds the goods typed under the lines and opens its quantity; false
    // (and said) when it is on the quotation already or gone.
    bool addTypedGoods(const QString& code);
    // The selected goods' prices quoted to this customer before.
    void priceHistory();
    void print(DocumentWindows::QuotationPrint kind);
    void receipts();
    void goodsPicture();
    // Runs the unsaved-changes check as its own command.
    bool checkChanges();
    void refreshAfterLoad();

    QuotationDocument m_document;
    bool m_loaded = false;
    bool m_mayGoOn = false;
    bool m_saveDone = false;
    bool m_seesCost = false;
    DataGrid* m_grid = nullptr;
    FieldBinder* m_binder = nullptr;
    QCheckBox* m_extra = nullptr;
    QWidget* m_discount = nullptr;
    QLabel* m_discountLabel = nullptr;
    QHash<QString, QAbstractButton*> m_buttons;  // lower-case action name
    MatchPopup* m_goodsMatches = nullptr;
    QWidget* m_nameEdit = nullptr;
    bool m_focusSet = false;
    MatchPopup* m_customerMatches = nullptr;
};
