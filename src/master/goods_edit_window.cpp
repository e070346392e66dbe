#include "master/goods_edit_window.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "admin/picture_viewer_dialog.h"
#include "data/app_context.h"
#include "data/cost_profit_right.h"
#include "master/goods_catalog.h"
#include "master/partner_list_window.h"
#include "master/units_window.h"
#include "platform/prompter.h"
#include "ui/editors.h"
#include "ui/field_binder.h"
#include "ui/style_holder.h"
#include "ui/tree_combo.h"

GoodsEditWindow::GoodsEditWindow(AppContext& context, GoodsCatalog& catalog, int mode, QWidget* parent)
    : BaseWindow(context, QStringLiteral("frm_Goods_edit"), parent),
      m_catalog(catalog),
      m_editor(context, catalog, mode),
      m_code(new QLineEdit(this)),
      m_picture(new PictureBox(this)) {
    setWindowTitle(QStringLiteral("商品编辑界面"));
    setStyleSheet(StyleHolder::editorStyleSheet() + StyleHolder::layoutGroupStyleSheet(StyleHolder::LayoutWeb));
    Dataset& goods = catalog.goods();
    auto* binder = new FieldBinder(&goods, this);
    connect(binder, &FieldBinder::editFailed, this,
            [this](const QString& m, const QString& d) { this->context().prompter().showFailure(m, d); });
    auto field = [&](QWidget* w, const char* name) {
        binder->bind(w, QString::fromLatin1(name));
        return w;
    };
    m_code->setEnabled(m_editor.codeEditable());
    auto* unit = new LookupCombo(this);
    unit->setLookup(catalog.units());
    auto* supplier = new LookupCombo(this);
    m_supplierBox = supplier;
    // The list shows each supplier's code, company and person; the box
    // shows the company.
    supplier->setColumns({{QStringLiteral("公司编码"), LookupCombo::KeyPart},
                          {QStringLiteral("公司名称"), 0},
                          {QStringLiteral("姓名"), 1}},
                         1);
    supplier->setEmptyChoice(false);
    supplier->setLookup(catalog.suppliers());
    auto* classBox = new TreeCombo(this);
    QList<TreeNodeData> classes;
    const Dataset& classRows = catalog.classes();
    for (int r = 0; r < classRows.rowCount(); ++r) {
        classes.append(
            {classRows.value(r, "id"), classRows.value(r, "Parent_id"), classRows.value(r, "Class_name").toString()});
    }
    classBox->setNodes(classes);
    m_classBox = classBox;
    // The box shows the class of the goods on show, also after "增加商品"
    // and a cancel.
    const auto showClass = [this, classBox] { classBox->setValue(m_catalog.goods().value("Goods_class")); };
    showClass();
    connect(&goods, &Dataset::fieldChanged, classBox, [showClass](const QString& field) {
        if (field.compare(QLatin1String("Goods_class"), Qt::CaseInsensitive) == 0) {
            showClass();
        }
    });
    connect(&goods, &Dataset::currentRowChanged, classBox, showClass);
    connect(&goods, &Dataset::stateChanged, classBox, showClass);
    connect(classBox, &TreeCombo::valueEdited, this, [this, classBox] {
        bool chosen = false;
        actions().guard([&] { chosen = m_editor.chooseClass(classBox->value()); });
        if (!chosen) {
            classBox->setValue(m_catalog.goods().value("Goods_class"));
        }
    });
    auto* purchase = new NumberEdit(this);
    purchase->setFormat("0.00");
    // The box has no label of its own: it says what it holds.
    purchase->setPlaceholderText(QStringLiteral("入货价"));
    purchase->setToolTip(QStringLiteral("入货价"));
    purchase->hide();
    auto* price = new NumberEdit(this);
    price->setFormat("0.00");
    auto* total = new NumberEdit(this);
    total->setFormat("0.00");
    auto* other = new QPushButton(QStringLiteral("其他"), this);
    connect(other, &QPushButton::clicked, purchase, [purchase] { purchase->setVisible(!purchase->isVisible()); });

    auto* basic = new QGroupBox(QStringLiteral("基本资料"), this);
    auto* basicForm = new QFormLayout(basic);
    basicForm->addRow(QStringLiteral("商品编码："), field(m_code, "code"));
    basicForm->addRow(QStringLiteral("厂家商品编码"), field(new QLineEdit(this), "Corp_Goods_Code"));
    basicForm->addRow(QStringLiteral("商品名称："), field(new QLineEdit(this), "Goods_name"));
    basicForm->addRow(QStringLiteral("商品规格："), field(new QLineEdit(this), "Goods_size"));
    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(field(unit, "Goods_unit"), 1);
    auto* unitPick = new QPushButton(QStringLiteral("..."), this);
    unitPick->setFixedWidth(28);
    connect(unitPick, &QPushButton::clicked, this, [this, unit] {
        actions().guard([this, unit] {
            UnitsWindow units(this->context(), this);
            units.setPickMode(true);
            const bool picked = units.showModal() == QDialog::Accepted;
            // Units added there are offered in the drop-down, picked or not.
            m_catalog.reloadLookups();
            unit->setLookup(m_catalog.units());
            unit->setValue(m_catalog.goods().value("Goods_unit"));
            if (picked) {
                m_editor.setUnit(units.chosenCode());
            }
        });
    });
    unitRow->addWidget(unitPick);
    basicForm->addRow(QStringLiteral("计量单位"), unitRow);

    auto* prices = new QGroupBox(QStringLiteral("价格"), this);
    auto* priceForm = new QFormLayout(prices);
    priceForm->addRow(QStringLiteral("默认单价："), field(price, "Default_price"));
    priceForm->addRow(QStringLiteral("默认数量"), field(new NumberEdit(this), "Default_Qty"));
    priceForm->addRow(QStringLiteral("默认总金额"), field(total, "Default_TotalPrice"));
    // The purchase price, and the button that shows it, only for those with
    // the right to see what goods cost.
    if (CostProfitRight::heldBy(permissions())) {
        priceForm->addRow(other, field(purchase, "purchase_price"));
    } else {
        other->hide();
        purchase->deleteLater();
    }

    auto* extra = new QGroupBox(QStringLiteral("附加信息"), this);
    auto* extraForm = new QFormLayout(extra);
    extraForm->addRow(QStringLiteral("商品分类："), classBox);
    auto* supplierRow = new QHBoxLayout;
    supplierRow->addWidget(field(supplier, "Provide_corp"), 1);
    QAction* pickSupplier =
        actions().add(QStringLiteral("Action_SelectProvider"), QStringLiteral("选择供应商"), [this, supplier] {
            PartnerListWindow list(this->context(), PartnerSide::suppliers(), this);
            list.setMode(1);
            const int result = list.showModal();
            m_catalog.reloadLookups();
            supplier->setLookup(m_catalog.suppliers());
            if (result == QDialog::Accepted) {
                m_editor.setSupplier(list.chosenCode());
            }
        });
    auto* supplierPick = new QPushButton(QStringLiteral("..."), this);
    supplierPick->setFixedWidth(28);
    connect(supplierPick, &QPushButton::clicked, pickSupplier, &QAction::trigger);
    supplierRow->addWidget(supplierPick);
    extraForm->addRow(QStringLiteral("供应商："), supplierRow);
    auto* remark = new MemoEdit(this);
    remark->setMaximumHeight(60);
    extraForm->addRow(QStringLiteral("备注："), field(remark, "remark"));
    m_picture->setCaption(QStringLiteral("还没指定商品图片"));
    m_picture->setToolTip(QStringLiteral("点击放大图片"));
    m_picture->setFixedSize(160, 120);
    auto* choose = new QPushButton(QStringLiteral("选择图片"), this);
    auto* clear = new QPushButton(QStringLiteral("清除图片"), this);
    auto* zoom = new QPushButton(QStringLiteral("放大图片"), this);
    connect(choose, &QPushButton::clicked, this, [this] { actions().guard([this] { choosePicture(); }); });
    connect(clear, &QPushButton::clicked, this, [this] {
        actions().guard([this] { m_editor.clearPicture(); });
        refreshPicture();
    });
    auto showBig = [this] { actions().guard([this] { showPicture(); }); };
    connect(zoom, &QPushButton::clicked, this, showBig);
    connect(m_picture, &PictureBox::clicked, this, showBig);
    auto* pictureButtons = new QVBoxLayout;
    pictureButtons->addWidget(choose);
    pictureButtons->addWidget(clear);
    pictureButtons->addWidget(zoom);
    pictureButtons->addStretch();
    auto* pictureRow = new QHBoxLayout;
    pictureRow->addWidget(m_picture);
    pictureRow->addLayout(pictureButtons);
    extraForm->addRow(QStringLiteral("商品图片"), pictureRow);

    auto* record = new QGroupBox(QStringLiteral("操作记录"), this);
    auto* recordForm = new QFormLayout(record);
    for (const auto& [name, caption] : QList<QPair<const char*, const char*>>{
             {"Keyin_person", "操作员"}, {"Update_time", "更新时间："}, {"Keyin_time", "创建时间："}}) {
        auto* e = new QLineEdit(this);
        e->setReadOnly(true);
        recordForm->addRow(QString::fromUtf8(caption), field(e, name));
    }

    auto run = [this, binder](bool close) {
        binder->requireNumbersAsTyped();
        if (m_editor.save()) {
            m_code->setEnabled(m_editor.codeEditable());
            if (close) {
                done(QDialog::Accepted);
            }
        }
    };
    QAction* save = actions().add(QStringLiteral("Action_Save"), QStringLiteral("保存"), [run] { run(false); });
    QAction* saveExit =
        actions().add(QStringLiteral("Action_SaveAndExit"), QStringLiteral("保存并退出"), [run] { run(true); });
    QAction* next = actions().add(QStringLiteral("Action_AddGoods"), QStringLiteral("增加下个商品"), [this] {
        if (m_editor.addNext()) {
            m_code->setEnabled(m_editor.codeEditable());
            refreshPicture();
        }
    });
    actions().add(QStringLiteral("Action_Cancle"), QStringLiteral("取消"), [this] { m_catalog.goods().cancel(); });
    actions().add(QStringLiteral("Action_Exit"), QStringLiteral("退出"), [this] { done(QDialog::Accepted); });
    auto* toolbar = new QHBoxLayout;
    for (const auto& [action, caption] : QList<QPair<QAction*, QString>>{{save, QStringLiteral("保存")},
                                                                         {saveExit, QStringLiteral("保存并关闭")},
                                                                         {next, QStringLiteral("增加商品")}}) {
        auto* b = new QPushButton(caption, this);
        connect(b, &QPushButton::clicked, action, &QAction::trigger);
        toolbar->addWidget(b);
    }
    toolbar->addStretch();
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(close, &QPushButton::clicked, this, [this] {
        if (confirmClose()) {
            done(QDialog::Accepted);
        }
    });
    toolbar->addWidget(close);
    auto* columns = new QHBoxLayout;
    auto* leftColumn = new QVBoxLayout;
    leftColumn->addWidget(basic);
    leftColumn->addWidget(prices);
    leftColumn->addWidget(record);
    columns->addLayout(leftColumn);
    columns->addWidget(extra, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(toolbar);
    layout->addLayout(columns);
    refreshPicture();
    resize(820, 520);
}

void GoodsEditWindow::choosePicture() {
    if (!m_editor.readyForPicture()) {
        return;
    }
    const QString file = context().files().choose(FileQuestion::openFile(
        QStringLiteral("选择商品图片"), QString(),
        QStringLiteral("所有图片格式 (*.jpg *.jpeg *.bmp);;JPEG 图片 (*.jpg);;JPEG 图片 (*.jpeg);;位图 (*.bmp)")));
    if (!file.isEmpty()) {
        m_editor.choosePicture(file);
        refreshPicture();
    }
}

void GoodsEditWindow::showPicture() {
    const QString file = m_editor.storedPictureFile();
    if (file.isEmpty() || m_editor.picture().isNull()) {
        context().prompter().inform(QStringLiteral("该商品没有图片"));
        return;
    }
    PictureViewerDialog viewer(context().prompter(), context().files(), this);
    viewer.setPicture(file, m_catalog.pictureTitle(), m_catalog.pictureSaveName());
    runWindow(context(), viewer);
}

void GoodsEditWindow::refreshPicture() {
    if (!m_editor.picture().isNull()) {
        m_picture->setCaption(QString());
        QImage img = m_editor.picture();
        m_picture->setPixmap(
            QPixmap::fromImage(img.scaled(m_picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        return;
    }
    m_picture->clearPicture();
    m_picture->setCaption(m_editor.pictureCaption());
    m_picture->setStyleSheet(m_editor.pictureCaption() == QLatin1String("找不到商品图片")
                                 ? QStringLiteral("color: red;")
                                 : QStringLiteral("color: grey;"));
}

bool GoodsEditWindow::confirmClose() {
    bool closing = false;
    actions().guard([this, &closing] { closing = m_editor.close(); });
    return closing;
}
