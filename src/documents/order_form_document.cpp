#include "documents/order_form_document.h"

#include <QDateTime>
#include <QSet>
#include <QSqlQuery>

#include "data/database.h"
#include "data/dataset.h"
#include "data/field_def.h"
#include "data/name_initials.h"
#include "data/numbering.h"
#include "documents/order_row_code_lists.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/pinyin_initials.h"
#include "platform/prompter.h"

namespace {
double number(const QVariant& v) {
    return v.isNull() ? 0.0 : v.toDouble();
}

bool blank(const QVariant& v) {
    return v.isNull() || v.toString().isEmpty();
}
}  // namespace

OrderFormDocument::OrderFormDocument(Database& db, const Clock& clock, Prompter& prompter, const QString& userName)
    : HeadDetailDocument(db, clock, prompter, userName, QStringLiteral("Dusmere_Order_Form_head"),
                         QStringLiteral("Order_Form_Code"), QStringLiteral("Dusmere_Order_Form_Detail"),
                         QStringLiteral("订货单")) {
    m_lines->setRecordLabelField("Goods_Code");
    QObject::connect(m_head.get(), &Dataset::fieldChanged, m_head.get(), [this](const QString&) { m_head->setTag(1); });
    QObject::connect(m_lines.get(), &Dataset::fieldChanged, m_lines.get(),
                     [this](const QString& field) { onRowFieldChanged(field); });
}

OrderFormDocument::~OrderFormDocument() = default;

void OrderFormDocument::load(int mode, const QString& code) {
    m_mode = mode == Existing ? Existing : New;
    if (m_mode == Existing) {
        m_head->open("select * from Dusmere_Order_Form_head where Order_Form_Code=:Order_Form_Code",
                     {{"Order_Form_Code", code}});
        if (m_head->isEmpty()) {
            throw UserError(QStringLiteral("订货单[%1]不存在，可能已被其他用户删除").arg(code));
        }
    } else {
        m_head->open("select * from Dusmere_Order_Form_head where 1=2");
        startNew();
    }
    m_head->setCaption("Send_Date", QStringLiteral("交货日期"));
    m_head->setCaption("Link_man", QStringLiteral("客户名称"));
    m_head->setCaption("Gain_Customer_Name", QStringLiteral("酒楼名称"));
    m_head->setCaption("telephon", QStringLiteral("电话"));
    m_head->setCaption("Remark_ShipmentForm", QStringLiteral("备注"));
    m_head->setCaption("earnest", QStringLiteral("已收订金"));
    m_head->setCaption("preferential", QStringLiteral("优惠"));
    m_head->setCaption("Keyin_Date", QStringLiteral("订货日期"));
    m_head->setCaption("PayOver_Date", QStringLiteral("付清日期"));
    for (const char* f : {"earnest", "preferential"}) {
        m_head->setDisplayFormat(f, "0.00");
    }
    m_head->setTag(m_mode == New ? 1 : 0);
    openLines();
}

void OrderFormDocument::startNew() {
    const QString number =
        Numbering(m_db, m_clock).GetAutoIncrementID("Dusmere_Order_Form_head", "Order_Form_Code", false);
    const QDate today = m_clock.today();
    m_head->append();
    m_head->setValue("Order_Form_Code", number);
    m_head->setValue("User_name", m_userName);
    m_head->setValue("Keyin_Date", today.startOfDay());
    m_head->setValue("Order_Date", today.startOfDay());
    m_head->setValue("Send_Date", today.addDays(7).startOfDay());
    m_head->setValue("IsDelete", 0);
    m_head->setValue("isPigeonhole", 0);
    m_head->setValue("isPay", 0);
    m_head->post();
}

void OrderFormDocument::openLines() {
    m_lines->open("select * from Dusmere_Order_Form_Detail where Head_Code=:Head_Code order by ID",
                  {{"Head_Code", code()}});
    const std::pair<const char*, const char*> captions[] = {
        {"Goods_Code", "货品编号"},
        {"Goods_Type", "货品系列"},
        {"Goods_name", "货品名称"},
        {"Colour", "型材颜色"},
        {"QTY", "数量"},
        {"Goods_Unit", "计量单位"},
        {"Model_Size", "规格"},
        {"Model_DiJiao", "货品规格-地脚"},
        {"Model_Lock_Position", "货品规格-锁位"},
        {"Glass_Technics", "玻璃-工艺"},
        {"Glass_Type", "玻璃-品种1"},
        {"Glass_Type2", "玻璃-品种2"},
        {"Lock_Size", "锁具-型号"},
        {"Lock_Install_Condition", "锁具-安装情况"},
        {"Lock_Fittings", "出货配套五金"},
        {"Goods_Status", "产品跟踪"},
        {"Remark_WorkForm", "备注-作业单"},
        {"Remark_ShipmentForm", "备注"},
        {"Price", "单价"},
        {"Total_Price", "金额"},
    };
    for (const auto& [field, caption] : captions) {
        m_lines->setCaption(field, QString::fromUtf8(caption));
    }
    for (const char* f : {"Price", "Total_Price"}) {
        m_lines->setDisplayFormat(f, "0.00");
    }
    m_lines->setDisplayFormat("QTY", "0.####");
    m_lines->setTag(0);
}

bool OrderFormDocument::isModified() const {
    return m_head->tag() == 1 || m_head->hasChanges() || m_head->isEditing() || m_lines->tag() == 1 ||
           m_lines->hasChanges() || m_lines->isEditing();
}

void OrderFormDocument::setPaid(bool paid) {
    m_head->setValue("isPay", paid ? 1 : 0);
    m_head->setValue("PayOver_Date", paid ? QVariant(m_clock.today().startOfDay()) : QVariant());
}

QList<QPair<QString, QString>> OrderFormDocument::particularsOf(const QString& corpCode) const {
    QSqlQuery q =
        m_db.query("select Corp_name, boss_name, Boss_mobile, Corp_telephone from customer_provider where corp_code=:c",
                   {{"c", corpCode}});
    if (!q.next()) {
        return {};
    }
    const QString phone = q.value(2).toString().trimmed().isEmpty() ? q.value(3).toString() : q.value(2).toString();
    return {{QStringLiteral("Gain_Customer_Name"), q.value(0).toString().left(50)},
            {QStringLiteral("Link_man"), q.value(1).toString().left(30)},
            {QStringLiteral("telephon"), phone.left(50)}};
}

void OrderFormDocument::chooseCustomer(const QString& corpCode) {
    if (corpCode.isEmpty()) {
        return;
    }
    const QList<QPair<QString, QString>> particulars = particularsOf(corpCode);
    if (particulars.isEmpty()) {
        m_prompter.inform(QStringLiteral("所选客户[%1]已不存在，请重新选择客户").arg(corpCode));
        return;
    }
    // Another customer: what the one before gave gives way.
    const QString before = m_head->value("corp_code").toString();
    if (!before.isEmpty() && before != corpCode) {
        clearParticulars(particularsOf(before));
    }
    m_head->setValue("corp_code", corpCode);
    // What the user typed stays; an empty particular takes the customer's.
    for (const auto& [field, value] : particulars) {
        if (m_head->value(field).toString().trimmed().isEmpty() && !value.trimmed().isEmpty()) {
            m_head->setValue(field, value);
        }
    }
}

int OrderFormDocument::addRow() {
    if (m_lines->isEditing()) {
        m_lines->post();
    }
    const QString goodsCode =
        Numbering(m_db, m_clock).GetAutoIncrementID("Dusmere_Order_Form_Detail", "Goods_Code", false);
    m_computing = true;  // a new row has no amount to compute yet
    try {
        m_lines->append();
        m_lines->setValue("Head_Code", code());
        m_lines->setValue("Goods_Status", 0);
        m_lines->setValue("Goods_Code", goodsCode);
        m_lines->post();
    } catch (...) {
        m_computing = false;
        if (m_lines->isEditing()) {
            m_lines->cancel();
        }
        throw;
    }
    m_computing = false;
    m_lines->setTag(1);
    return m_lines->currentRow();
}

QList<QStringList> OrderFormDocument::goodsNamesMatching(const QString& typed) const {
    const QString text = typed.trimmed();
    const QString initials = NameInitials::typed(text);
    QList<QStringList> exact;
    QList<QStringList> byInitials;
    QList<QStringList> byPart;
    // The list is short: each name is matched here, initials included.
    QSqlQuery q = m_db.query(
        "select d.StatusValue, d.StatusName, d.blank1_Str, COALESCE(u.StatusName, d.blank2_Str), d.blank3_Int "
        "from Sys_Status_Describe d left join Sys_Status_Describe u on u.StatusValue = d.blank2_Str and "
        "u.ParamentName in (select ParamentName from Sys_Status_Describe_head where lower(TableName) = "
        "'dusmere_order_form_detail' and lower(FieldName) = 'goods_unit') "
        "where d.ParamentName = :p order by d.id",
        {{"p", QStringLiteral("货品名称")}});
    while (q.next()) {
        const QString name = q.value(1).toString();
        const QStringList row{q.value(0).toString(), name, q.value(2).toString(), q.value(3).toString(),
                              q.isNull(4) ? QString() : QString::number(q.value(4).toDouble(), 'f', 2)};
        if (name.compare(text, Qt::CaseInsensitive) == 0 || row.first().compare(text, Qt::CaseInsensitive) == 0) {
            exact << row;
        } else if (!initials.isEmpty() && PinyinInitials::startsWith(name, initials)) {
            byInitials << row;
        } else if (name.contains(text, Qt::CaseInsensitive)) {
            byPart << row;
        }
    }
    return (exact + byInitials + byPart).mid(0, 20);
}

int OrderFormDocument::addTypedRow(const QString& goodsName) {
    GoodsDefaults defaults;
    if (!goodsDefaults(m_db, goodsName, &defaults)) {
        m_prompter.inform(QStringLiteral("货品名称[%1]已不在货品名称列表中").arg(goodsName));
        return -1;
    }
    const int row = addRow();
    m_lines->setCurrentRow(row);
    m_lines->edit();
    m_lines->setValue("Goods_name", goodsName);  // its defaults follow
    m_lines->post();
    return m_lines->currentRow();
}

bool OrderFormDocument::deleteRows(const QList<int>& rows) {
    if (rows.isEmpty() || m_lines->isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择要删除的货品"));
        return false;
    }
    if (m_lines->isEditing()) {
        m_lines->post();
    }
    m_lines->deleteRows(rows);
    m_lines->setTag(1);
    return true;
}

void OrderFormDocument::onRowFieldChanged(const QString& field) {
    m_lines->setTag(1);
    if (m_computing || !m_lines->isEditing()) {
        return;
    }
    const QString f = field.toLower();
    m_computing = true;
    try {
        if (f == "price" || f == "qty") {
            // The amount follows price × quantity, a zero or an empty one
            // too; an amount typed after them stands until they change.
            const double price = number(m_lines->value("Price"));
            const double qty = number(m_lines->value("QTY"));
            m_lines->setValue("Total_Price", roundHalfAwayFromZero(price * qty, 2));
        } else if (f == "goods_name") {
            applyGoodsDefaults();
        }
    } catch (...) {
        m_computing = false;
        throw;
    }
    m_computing = false;
}

bool OrderFormDocument::goodsDefaults(Database& db, const QVariant& goodsName, GoodsDefaults* out) {
    if (blank(goodsName)) {
        return false;
    }
    QSqlQuery q = db.query(
        "select blank1_str as model, blank2_str as unit, blank3_int as price, blank5_int as qty, "
        "blank6_int as total_price from Sys_Status_Describe where ParamentName=:p and statusvalue=:v",
        {{"p", QStringLiteral("货品名称")}, {"v", goodsName.toString()}});
    if (!q.next()) {
        return false;
    }
    out->size = q.value(0);
    out->unit = q.value(1);
    out->price = q.value(2);
    out->qty = q.value(3);
    out->total = q.value(4);
    return true;
}

void OrderFormDocument::applyGoodsDefaults() {
    GoodsDefaults d;
    if (!goodsDefaults(m_db, m_lines->value("Goods_name"), &d)) {
        return;
    }
    // An empty default becomes 0; the default amount of the code list is
    // taken last, as it stands, whatever price and quantity give.
    auto orZero = [](const QVariant& v) { return blank(v) ? QVariant(0) : v; };
    m_lines->setValue("Model_Size", d.size.toString());
    m_lines->setValue("Goods_Unit", blank(d.unit) ? QVariant() : QVariant(d.unit.toString().trimmed()));
    m_lines->setValue("Price", orZero(d.price));
    m_lines->setValue("QTY", orZero(d.qty));
    m_lines->setValue("Total_Price", orZero(d.total));
}

bool OrderFormDocument::validate() {
    if (m_lines->isEditing()) {
        m_lines->post();
    }
    if (m_head->value("corp_code").isNull()) {
        m_head->setValue("corp_code", QString(""));
    }
    if (m_head->value("Send_Date").isNull()) {
        m_prompter.inform(QStringLiteral("请填写[交货日期]"));
        return false;
    }
    if (m_lines->isEmpty()) {
        m_prompter.inform(QStringLiteral("请为该收据添加货品"));
        return false;
    }
    // Missing fields over all rows in row order; a row without a code
    // starts the list afresh.
    QString missing;
    for (int r = 0; r < m_lines->rowCount(); ++r) {
        if (m_lines->value(r, "Goods_Code").toString().trimmed().isEmpty()) {
            missing = QStringLiteral("货品编号,");
        }
        if (blank(m_lines->value(r, "Goods_name"))) {
            missing += QStringLiteral("货品名称,");
        }
        if (blank(m_lines->value(r, "Goods_Unit"))) {
            missing += QStringLiteral("计量单位,");
        }
    }
    if (!missing.isEmpty()) {
        missing.chop(1);
        m_prompter.inform(QStringLiteral("请填写商品明细的[%1]").arg(missing));
        return false;
    }
    // A name or unit chosen from its code list and deleted there since
    // (in rows added or changed now).
    const OrderRowCodeLists lists(m_db);
    for (const char* field : {"Goods_name", "Goods_Unit"}) {
        for (int r = 0; r < m_lines->rowCount(); ++r) {
            // Rows saved before keep what they were saved with.
            if (m_lines->rowStatus(r) == Dataset::RowStatus::Unchanged) {
                continue;
            }
            if (!lists.offers(QString::fromLatin1(field), m_lines->value(r, field).toString())) {
                m_prompter.inform(QStringLiteral("商品明细第%1行的[%2]在参数表中已不存在，请重新选择")
                                      .arg(r + 1)
                                      .arg(m_lines->fields()[m_lines->fieldIndex(field)].label()));
                return false;
            }
        }
    }
    // A code typed twice in one order, saved or not.
    QSet<QString> seen;
    for (int r = 0; r < m_lines->rowCount(); ++r) {
        const QString goodsCode = m_lines->value(r, "Goods_Code").toString().trimmed();
        if (seen.contains(goodsCode)) {
            m_prompter.inform(QStringLiteral("商品明细的货品编号[%1]重复，请用其他编码").arg(goodsCode));
            return false;
        }
        seen.insert(goodsCode);
    }
    return true;
}

void OrderFormDocument::postPendingEdits() {
    if (m_head->isEditing()) {
        m_head->post();
    }
}

void OrderFormDocument::beforeWrite() {
    if (m_mode == Existing && (m_head->hasChanges() || m_lines->hasChanges())) {
        m_head->setValue("Revision", m_head->value("Revision").toLongLong() + 1);
        m_head->post();
    }
}
