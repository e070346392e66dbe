#pragma once

#include <QHash>
#include <memory>

#include "documents/order_form_document.h"
#include "ui/base_window.h"

class CheckEdit;
class DataGrid;
class FieldBinder;
class LookupList;
class QAbstractButton;
class QLabel;
class MatchPopup;
class QLineEdit;
class QWidget;

// "收据": one order form with its goods rows. The rows are added and
// changed in the goods-row window; the rules live in OrderFormDocument.
class OrderFormWindow : public BaseWindow {
    Q_OBJECT
public:
    // Mode 2 starts a new order; mode 3 opens `code`.
    OrderFormWindow(AppContext& context, int mode, const QString& code = {}, QWidget* parent = nullptr);
    ~OrderFormWindow() override;

    OrderFormDocument& document() { return m_document; }
    DataGrid* grid() const { return m_grid; }
    CheckEdit* paidBox() const { return m_paid; }
    QWidget* discountEditor() const { return m_discount; }
    QLineEdit* customerBox() const { return m_customer; }
    // The drop-downs of goods typed under the rows and of customers.
    MatchPopup* goodsMatches() const { return m_goodsMatches; }
    MatchPopup* customerMatches() const { return m_customerMatches; }
    bool loaded() const { return m_loaded; }
    // The button that runs the command, by action name.
    QAbstractButton* button(const QString& actionName) const;

protected:
    bool confirmClose() override;
    void showEvent(QShowEvent* event) override;

private:
    // Adds a row of the goods name typed under the rows and opens its
    // quantity; false (and said) when the name is not offered.
    bool addTypedGoods(const QString& goodsName);
    // Shows the goods-row window for the order's current row (mode 2: a
    // new row).
    void editGoods(int mode);
    QWidget* buildHead();
    void buildActions();
    void reloadCodeLists();
    void showCustomer();
    void chooseCustomer();
    bool checkChanges();

    OrderFormDocument m_document;
    bool m_loaded = false;
    bool m_mayGoOn = false;
    bool m_saveDone = false;
    DataGrid* m_grid = nullptr;
    FieldBinder* m_binder = nullptr;
    CheckEdit* m_paid = nullptr;
    QWidget* m_discount = nullptr;
    QLabel* m_discountLabel = nullptr;
    QLineEdit* m_customer = nullptr;
    MatchPopup* m_goodsMatches = nullptr;
    bool m_focusSet = false;
    MatchPopup* m_customerMatches = nullptr;
    std::shared_ptr<LookupList> m_goodsNames;
    std::shared_ptr<LookupList> m_units;
    QHash<QString, QAbstractButton*> m_buttons;  // lower-case action name
};
