#pragma once

#include <QHash>
#include <memory>

#include "documents/order_goods_editor.h"
#include "ui/base_window.h"

class FieldBinder;
class LookupCombo;
class LookupList;
class OrderFormDocument;
class QAbstractButton;
class QLineEdit;
class QWidget;

// "商品编辑界面": one goods row of an order form, edited in the order's
// unsaved rows. The rules live in OrderGoodsEditor and OrderFormDocument.
class OrderGoodsWindow : public BaseWindow {
    Q_OBJECT
public:
    // Mode 2 appends a new row to the order; mode 3 edits its current row.
    OrderGoodsWindow(AppContext& context, OrderFormDocument& order, int mode, QWidget* parent = nullptr);
    ~OrderGoodsWindow() override;

    OrderGoodsEditor& editor() { return m_editor; }
    QLineEdit* codeEditor() const { return m_code; }
    LookupCombo* nameBox() const { return m_name; }
    LookupCombo* unitBox() const { return m_unit; }
    // The box of one of the workshop's coded fields (Goods_Type, Colour, ...).
    LookupCombo* workBox(const QString& field) const { return m_workBoxes.value(field); }
    QAbstractButton* button(const QString& actionName) const;

protected:
    bool confirmClose() override;

private:
    void buildActions();
    void reloadCodeLists();
    // Posts what is being typed into the row (focus to the heading).
    void takeFocus();
    void updateEnabled();
    void chooseFromCodeList(const QString& field);

    OrderFormDocument& m_order;
    OrderGoodsEditor m_editor;
    bool m_saveDone = false;
    FieldBinder* m_binder = nullptr;
    QWidget* m_heading = nullptr;
    QLineEdit* m_code = nullptr;
    LookupCombo* m_name = nullptr;
    LookupCombo* m_unit = nullptr;
    std::shared_ptr<LookupList> m_names;
    std::shared_ptr<LookupList> m_units;
    // The workshop's coded fields (series, colour, lock position, glass,
    // locks) by field name, and their boxes.
    QHash<QString, std::shared_ptr<LookupList>> m_workLists;
    QHash<QString, LookupCombo*> m_workBoxes;
    QHash<QString, QAbstractButton*> m_buttons;  // lower-case action name
};
