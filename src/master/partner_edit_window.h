#pragma once

#include "ui/base_window.h"

class PartnerDirectory;

// "客户档案管理" / "供应商档案" / "订单客户档案": the list's current record in editors. "保存"
// writes the cached changes, "取消" drops them, closing asks.
class PartnerEditWindow : public BaseWindow {
    Q_OBJECT
public:
    PartnerEditWindow(AppContext& context, PartnerDirectory& directory, QWidget* parent = nullptr);
    // Set while the record was saved; cleared by cancelling or declining to save.
    bool saved() const { return m_saved; }
    // The first editor of a field; some fields are shown twice.
    QWidget* editorFor(const QString& field) const;
    QList<QWidget*> editorsFor(const QString& field) const;

protected:
    bool confirmClose() override;

private:
    void printSheet();

    PartnerDirectory& m_directory;
    bool m_saved = true;
    QList<QPair<QString, QWidget*>> m_editors;
};
