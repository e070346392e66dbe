#pragma once

#include <QHash>
#include <functional>

#include "documents/payout_editor.h"
#include "ui/base_window.h"

class FieldBinder;
class MatchPopup;
class PayoutList;
class QAbstractButton;
class QLabel;

// "支出编辑": one payout of the list, new or existing, with its date,
// amount and remark; "增加下个商品" (new payouts only), "保存并关闭" and
// "关闭", which asks about unsaved changes.
class PayoutEditWindow : public BaseWindow {
    Q_OBJECT
public:
    PayoutEditWindow(AppContext& context, PayoutList& list, int mode, QWidget* parent = nullptr);
    ~PayoutEditWindow() override;

    PayoutEditor& editor() { return m_editor; }
    QAbstractButton* button(const QString& actionName) const;
    QLabel* heading() const { return m_headingLabel; }
    // The drop-down of the kind's recent remarks under the remark.
    MatchPopup* remarkMatches() const { return m_remarkMatches; }

protected:
    bool confirmClose() override;

private:
    void buildActions();
    void takeFocus();

    PayoutList& m_list;
    PayoutEditor m_editor;
    FieldBinder* m_binder = nullptr;
    QWidget* m_heading = nullptr;
    QLabel* m_headingLabel = nullptr;
    QWidget* m_firstEditor = nullptr;
    MatchPopup* m_remarkMatches = nullptr;
    bool m_saveDone = false;
    QHash<QString, QAbstractButton*> m_buttons;  // lower-case action name
};
