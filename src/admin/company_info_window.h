#pragma once

#include "admin/company_info_editor.h"
#include "ui/base_window.h"

class FieldBinder;
class QLineEdit;
class QPushButton;

// "使用单位信息": the company using the book.
class CompanyInfoWindow : public BaseWindow {
    Q_OBJECT
public:
    explicit CompanyInfoWindow(AppContext& context, QWidget* parent = nullptr);
    CompanyInfoEditor& editor() { return m_editor; }
    QLineEdit* editorFor(const QString& field) const;

protected:
    bool confirmClose() override;

private:
    void updateButtons();

    CompanyInfoEditor m_editor;
    QList<QPair<QString, QLineEdit*>> m_edits;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
};
