#pragma once

#include "master/master_columns.h"
#include "master/partner_directory.h"
#include "ui/base_window.h"
#include "ui/grid_column.h"

class DataGrid;
class GroupTreePanel;
class QLabel;
class QLineEdit;
class QPushButton;
class TreeList;

// "客户档案管理" / "供应商管理" / "订单客户管理": the group tree and the records of the focused
// group, in manage mode or in pick mode (mode 1) for a caller.
class PartnerListWindow : public BaseWindow {
    Q_OBJECT
public:
    PartnerListWindow(AppContext& context, const PartnerSide& side, QWidget* parent = nullptr);

    // 1 picks; any other value manages. Set before showing.
    void setMode(int mode) { m_mode = mode == 1 ? 1 : 0; }
    int mode() const { return m_mode; }
    QString chosenCode() const { return m_directory.chosenCode(); }
    QVariant chosenId() const { return m_directory.chosenId(); }

    PartnerDirectory& directory() { return m_directory; }
    DataGrid* grid() const { return m_grid; }
    TreeList* tree() const;
    QLineEdit* searchBox() const { return m_search; }
    QLabel* statusLabel() const { return m_status; }
    QPushButton* selectButton() const { return m_select; }

    void search();
    void showAll();
    // False when the records of the root could not be read.
    bool focusRoot();

protected:
    void showEvent(QShowEvent* event) override;
    bool confirmClose() override;

private:
    void printPriceTables(const QStringList& codes);
    void showPriceTable(const QString& code, const QString& name);
    void showLabels(const QStringList& codes);
    // The codes of the selected records, in the grid's order.
    QStringList selectedCodes();
    // The statements of the selected customers, one each.
    void showStatements();
    bool runEditWindow(PartnerDirectory& directory);
    void open();
    QList<GridColumn> columns() const;
    MasterKind kind() const { return m_directory.side().kind; }
    void addRecord();
    void editRecord();
    void printLabels();
    // "单价表": one customer's price window, or several customers' sheets.
    void customerPrices();

    PartnerDirectory m_directory;
    int m_mode = 0;
    bool m_customers;  // the quotations' customers: price tables and labels
    DataGrid* m_grid;
    QLineEdit* m_search;
    QLabel* m_status;
    QPushButton* m_select;
    GroupTreePanel* m_groups;
};
