#include "documents/order_goods_editor.h"

#include "data/database.h"
#include "data/dataset.h"
#include "documents/order_form_document.h"
#include "documents/order_row_code_lists.h"
#include "platform/prompter.h"

namespace {
bool blank(const QVariant& v) {
    return v.isNull() || v.toString().isEmpty();
}
}  // namespace

OrderGoodsEditor::OrderGoodsEditor(OrderFormDocument& order, Prompter& prompter, int mode)
    : m_order(order),
      m_prompter(prompter),
      m_mode(mode == New ? New : Existing),
      m_codeEditable(m_mode == New),
      m_tagBefore(order.rows().tag()) {
    if (m_mode == New) {
        m_order.addRow();
    }
}

bool OrderGoodsEditor::isChanged() const {
    return m_mode == New || m_order.rows().isEditing();
}

bool OrderGoodsEditor::validate() {
    Dataset& rows = m_order.rows();
    if (rows.isEmpty()) {
        return false;
    }
    // Coded fields take the values their code lists offer. A new row is
    // checked whole; an existing one in what this edit changed, so that a
    // value since deleted from its list stays on rows saved with it. The
    // unit the order itself names when it is saved.
    // The name first, then the table's order: the first of several faults
    // is said.
    QStringList changed;
    for (const FieldDef& field : rows.fields()) {
        if (field.name.compare(QLatin1String("Goods_Unit"), Qt::CaseInsensitive) == 0) {
            continue;
        }
        if (m_mode == New || rows.value(field.name) != rows.originalValue(rows.currentRow(), field.name)) {
            if (field.name.compare(QLatin1String("Goods_name"), Qt::CaseInsensitive) == 0) {
                changed.prepend(field.name);
            } else {
                changed.append(field.name);
            }
        }
    }
    const OrderRowCodeLists lists(rows.database());
    if (const QString refusal = lists.refusal(rows, changed); !refusal.isEmpty()) {
        m_prompter.inform(refusal);
        return false;
    }
    const QString goodsCode = rows.value("Goods_Code").toString();
    if (goodsCode.trimmed().isEmpty()) {
        m_prompter.inform(QStringLiteral("货品编码不能为空"));
        return false;
    }
    if (m_mode == New) {
        // Saved rows of this order with the same code, and rows taken into
        // the order but not saved yet: a code typed twice is the same fault.
        const QString statement = QStringLiteral(
            "select * from Dusmere_Order_Form_Detail where Goods_Code=:Goods_Code and Head_Code=:Head_Code");
        const QString headCode = m_order.code();
        const bool saved = rows.database()
                               .scalar(
                                   "select count(*) from Dusmere_Order_Form_Detail where Goods_Code=:Goods_Code and "
                                   "Head_Code=:Head_Code",
                                   {{"Goods_Code", goodsCode}, {"Head_Code", headCode}})
                               .toInt() > 0;
        bool inBatch = false;
        for (int r = 0; r < rows.rowCount() && !inBatch; ++r) {
            inBatch = r != rows.currentRow() && rows.value(r, "Goods_Code").toString().trimmed() == goodsCode.trimmed();
        }
        if (saved || inBatch) {
            m_prompter.inform(QStringLiteral("该货品编码已经存在，请用其他编码 ") + statement + QStringLiteral("**") +
                              goodsCode + QStringLiteral("**") + headCode);
            return false;
        }
    }
    QString missing;
    if (goodsCode.isEmpty()) {
        missing = QStringLiteral("货品编号,");
    }
    if (blank(rows.value("Goods_name"))) {
        missing += QStringLiteral("货品名称,");
    }
    if (rows.value("QTY").isNull()) {
        rows.setValue("QTY", 0);
    }
    if (blank(rows.value("Goods_Unit"))) {
        missing += QStringLiteral("计量单位,");
    }
    if (rows.value("Goods_Status").isNull()) {
        rows.setValue("Goods_Status", 0);
    }
    if (!missing.isEmpty()) {
        missing.chop(1);
        m_prompter.inform(QStringLiteral("请填写[%1]").arg(missing));
        return false;
    }
    // Goods are ordered, never given back on an order form.
    if (rows.value("QTY").toDouble() < 0) {
        m_prompter.inform(QStringLiteral("[货品数量]不能是负数"));
        return false;
    }
    if (rows.value("Price").toDouble() < 0) {
        m_prompter.inform(QStringLiteral("[单价]不能是负数"));
        return false;
    }
    return true;
}

bool OrderGoodsEditor::save() {
    if (!isChanged()) {
        return true;
    }
    if (!validate()) {
        return false;
    }
    m_mode = Existing;
    Dataset& rows = m_order.rows();
    if (rows.isEditing()) {
        rows.post();
        rows.setTag(1);
    }
    m_codeEditable = false;
    m_tagBefore = 1;
    return true;
}

void OrderGoodsEditor::cancel() {
    if (!isChanged()) {
        return;
    }
    Dataset& rows = m_order.rows();
    if (m_mode == Existing) {
        if (rows.isEditing()) {
            rows.cancel();
        }
    } else if (!rows.isEmpty()) {
        rows.deleteCurrent();
    }
    rows.setTag(m_tagBefore);
    m_mode = Existing;
}

bool OrderGoodsEditor::saveAndClose() {
    return save();
}

bool OrderGoodsEditor::close(const std::function<bool()>& save) {
    if (!isChanged()) {
        return true;
    }
    // A question closed without an answer goes back to the editing.
    return settleUnsavedChanges(
        m_prompter, closeQuestion(), [this, &save] { return save ? save() : this->save(); }, [this] { cancel(); });
}

bool OrderGoodsEditor::addNext() {
    if (!save()) {
        return false;
    }
    m_tagBefore = m_order.rows().tag();
    m_order.addRow();
    m_mode = New;
    m_codeEditable = true;
    return true;
}
