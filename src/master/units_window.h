#pragma once

#include "master/units_editor.h"
#include "ui/base_window.h"

class DataGrid;
class QPushButton;

// "计量单位管理": the units of measure, managed or picked (mode 1,
// "选取计量单位").
class UnitsWindow : public BaseWindow {
    Q_OBJECT
public:
    explicit UnitsWindow(AppContext& context, QWidget* parent = nullptr);
    void setPickMode(bool pick);
    QString chosenCode() const { return m_chosen; }
    UnitsEditor& editor() { return m_editor; }
    DataGrid* grid() const { return m_grid; }
    QPushButton* button(const QString& caption) const;

protected:
    void showEvent(QShowEvent* event) override;
    bool confirmClose() override;

private:
    void open();
    void updateButtons();

    UnitsEditor m_editor;
    DataGrid* m_grid;
    bool m_pick = false;
    QString m_chosen;
    QList<QPushButton*> m_buttons;
};
