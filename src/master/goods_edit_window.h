#pragma once

#include <functional>

#include "master/goods_editor.h"
#include "ui/base_window.h"

class GoodsCatalog;
class LookupCombo;
class PictureBox;
class TreeCombo;
class QLineEdit;
class QWidget;

// "商品编辑界面": the goods list's current goods in editors.
class GoodsEditWindow : public BaseWindow {
    Q_OBJECT
public:
    GoodsEditWindow(AppContext& context, GoodsCatalog& catalog, int mode, QWidget* parent = nullptr);
    GoodsEditor& editor() { return m_editor; }
    QLineEdit* codeEdit() const { return m_code; }
    PictureBox* pictureBox() const { return m_picture; }
    TreeCombo* classBox() const { return m_classBox; }
    LookupCombo* supplierBox() const { return m_supplierBox; }

protected:
    bool confirmClose() override;

private:
    void choosePicture();
    void showPicture();
    void refreshPicture();

    GoodsCatalog& m_catalog;
    GoodsEditor m_editor;
    QLineEdit* m_code;
    PictureBox* m_picture;
    TreeCombo* m_classBox = nullptr;
    LookupCombo* m_supplierBox = nullptr;
};
