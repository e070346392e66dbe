#pragma once

#include "data/code_list_editor.h"
#include "ui/base_window.h"

class DataGrid;
class QPushButton;
class TreeList;

// "参数表设置": the code lists and their values. In pick mode it shows one
// list and returns the chosen value.
class CodeListWindow : public BaseWindow {
    Q_OBJECT
public:
    explicit CodeListWindow(AppContext& context, QWidget* parent = nullptr);

    // Pick mode for one business table and field; call before showing.
    void setPickMode(const QString& tableName, const QString& fieldName);
    QString result() const { return m_editor.result(); }

    CodeListEditor& editor() { return m_editor; }
    DataGrid* grid() const { return m_grid; }
    TreeList* tree() const { return m_tree; }
    QPushButton* selectButton() const { return m_select; }

protected:
    bool confirmClose() override;
    void showEvent(QShowEvent* event) override;

private:
    void showValueDialog(CodeListEditor& editor);
    void add();
    void remove();
    void choose();
    void updateColumns();
    void open();

    CodeListEditor m_editor;
    TreeList* m_tree;
    DataGrid* m_grid;
    QPushButton* m_select;
    bool m_pick = false;
    QString m_table;
    QString m_field;
    bool m_opened = false;
};
