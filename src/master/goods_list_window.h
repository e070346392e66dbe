#pragma once

#include "master/goods_catalog.h"
#include "ui/base_window.h"

class DataGrid;
class GroupTreePanel;
class PictureBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class TreeList;

// "基础商品管理": the class tree and the goods of the focused class, in
// manage mode or in pick mode (mode 1) with the pick panel.
class GoodsListWindow : public BaseWindow {
    Q_OBJECT
public:
    explicit GoodsListWindow(AppContext& context, QWidget* parent = nullptr);

    void setMode(int mode) { m_mode = mode == 1 ? 1 : 0; }
    GoodsCatalog& catalog() { return m_catalog; }
    DataGrid* grid() const { return m_grid; }
    TreeList* tree() const;
    QTreeWidget* pickList() const { return m_pickList; }
    PictureBox* pictureBox() const { return m_picture; }
    QLineEdit* searchBox() const { return m_search; }
    QLabel* statusLabel() const { return m_status; }
    QStringList pickedLines() const { return m_catalog.pickLines(); }
    void search();
    void showAll();
    // False when the goods of the root could not be read.
    bool focusRoot();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void runEditor(int mode);
    void open();
    void showPicture();
    void refreshPickList();
    void refreshPicture();
    void updatePickButtons();
    // After a search the current goods is one the grid shows, with its
    // picture.
    void showFoundGoods();

    GoodsCatalog m_catalog;
    int m_mode = 0;
    DataGrid* m_grid;
    QLineEdit* m_search;
    QTreeWidget* m_pickList;
    QWidget* m_pickPanel;
    QPushButton* m_pickIn = nullptr;
    QPushButton* m_exportButton = nullptr;
    QPushButton* m_importButton = nullptr;
    QPushButton* m_pickOut = nullptr;
    PictureBox* m_picture;
    QLabel* m_status;
    GroupTreePanel* m_groups;
    bool m_finished = false;
};
