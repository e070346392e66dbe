#include "master/goods_class_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "data/dataset.h"
#include "ui/dialog_buttons.h"
#include "ui/editors.h"
#include "ui/field_binder.h"
#include "ui/style_holder.h"

GoodsClassDialog::GoodsClassDialog(Dataset& classes, std::shared_ptr<LookupList> units, QWidget* parent)
    : QDialog(parent), m_name(new QLineEdit(this)) {
    setObjectName(QStringLiteral("Form_Goods_class_Edit"));
    setWindowTitle(QStringLiteral("商品大类"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setStyleSheet(StyleHolder::editorStyleSheet());
    auto* size = new QLineEdit(this);
    auto* unit = new LookupCombo(this);
    unit->setLookup(std::move(units));
    auto* binder = new FieldBinder(&classes, this);
    binder->bind(m_name, "Class_name");
    binder->bind(size, "Class_Size");
    binder->bind(unit, "Class_Unit");
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("商品大类名称"), m_name);
    form->addRow(QStringLiteral("规格"), size);
    form->addRow(QStringLiteral("计量单位"), unit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    addOkCancelRow(this, layout);
}
