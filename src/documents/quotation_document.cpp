#include "documents/quotation_document.h"

#include <algorithm>
#include <limits>

#include <QDateTime>
#include <QScopedValueRollback>
#include <QSet>
#include <QSqlQuery>

#include "data/database.h"
#include "data/dataset.h"
#include "data/field_def.h"
#include "data/lookup_list.h"
#include "data/numbering.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/prompter.h"

namespace {
double number(const QVariant& v) {
    return v.isNull() ? 0.0 : v.toDouble();
}
}  // namespace

QuotationDocument::QuotationDocument(Database& db, const Clock& clock, Prompter& prompter, const QString& userName)
    : HeadDetailDocument(db, clock, prompter, userName, QStringLiteral("Quotation_Head"), QStringLiteral("BillNo"),
                         QStringLiteral("Quotation_Detail"), QStringLiteral("订货单")),
      m_goodsNames(std::make_shared<LookupList>()),
      m_goodsSizes(std::make_shared<LookupList>()),
      m_goodsUnits(std::make_shared<LookupList>()),
      m_customers(std::make_shared<LookupList>()),
      m_lastPrices(std::make_shared<LookupList>()) {
    m_lines->setRecordLabelField("GoodsNo");
    QObject::connect(m_lines.get(), &Dataset::fieldChanged, m_lines.get(),
                     [this](const QString& field) { onLineFieldChanged(field); });
    // Another customer has other prices. A name being typed is read once
    // the typing pauses, when the window says when (not a query per line
    // at every key).
    QObject::connect(m_head.get(), &Dataset::fieldChanged, m_head.get(), [this](const QString& field) {
        if (m_fillingFromCustomer) {
            return;  // the customer's own change reads the prices once
        }
        if (field.compare(QLatin1String("Add_ClientName"), Qt::CaseInsensitive) == 0 && deferLastPrices) {
            deferLastPrices();
        } else if (field.compare(QLatin1String("ClientNo"), Qt::CaseInsensitive) == 0) {
            // However the customer is chosen (picker, drop-down, a file),
            // its particulars fill what is still empty.
            fillFromCustomer(m_head->value("ClientNo").toString());
            reloadLastPrices();
        } else if (field.compare(QLatin1String("Add_ClientName"), Qt::CaseInsensitive) == 0) {
            reloadLastPrices();
        }
    });
}

QuotationDocument::~QuotationDocument() = default;

void QuotationDocument::load(int mode, const QString& billNo) {
    m_mode = mode == Existing ? Existing : (mode == Copy ? Copy : New);
    if (m_mode == Existing) {
        m_head->open("select * from Quotation_Head where BillNo=:BillNo", {{"BillNo", billNo}});
        if (m_head->isEmpty()) {
            throw UserError(QStringLiteral("订货单[%1]不存在，可能已被其他用户删除").arg(billNo));
        }
    } else {
        m_head->open("select * from Quotation_Head where 1=2");
        startNew();
        if (m_mode == Copy) {
            copyFrom(billNo);
        }
    }
    m_head->setCaption("Send_Date", QStringLiteral("交货日期"));
    m_head->setCaption("Freight", QStringLiteral("运费"));
    m_head->setCaption("preferential", QStringLiteral("优惠"));
    openLines();
    reloadGoodsLookups();
}

void QuotationDocument::startNew() {
    const QString number = Numbering(m_db, m_clock).GetAutoIncrementID("Quotation_Head", "BillNo", false);
    const QDate today = m_clock.today();
    m_head->append();
    m_head->setValue("BillNo", number);
    m_head->setValue("Keyin_User", m_userName);
    m_head->setValue("Keyin_Date", today.startOfDay());
    m_head->setValue("Order_Date", today.startOfDay());
    m_head->setValue("Send_Date", today.addDays(7).startOfDay());
    m_head->setValue("IsDelete", 0);
    m_head->setValue("isPigeonhole", 0);
    m_head->setValue("state", 1);
    m_head->setValue("ClientNo", QString(""));
}

void QuotationDocument::copyFrom(const QString& sourceBillNo) {
    QSqlQuery q = m_db.query(
        "select ClientNo, Add_ClientName, Rummery, Country, telephon, Remark from Quotation_Head where BillNo=:b",
        {{"b", sourceBillNo}});
    if (!q.next()) {
        m_prompter.inform(QStringLiteral("要复制的订货单[%1]已不存在，请填写新的订货单").arg(sourceBillNo));
        return;
    }
    const char* const fields[] = {"ClientNo", "Add_ClientName", "Rummery", "Country", "telephon", "Remark"};
    for (int i = 0; i < 6; ++i) {
        const QVariant v = q.value(i);
        // The customer code is never null, like on a new quotation.
        m_head->setValue(fields[i], i == 0 && v.isNull() ? QVariant(QString("")) : v);
    }
}

void QuotationDocument::openLines() {
    m_lines->open("select * from Quotation_Detail where HeadNo=:HeadNo order by SortNo, id", {{"HeadNo", billNo()}});
    m_lines->setCaption("GoodsNo", QStringLiteral("货品编号"));
    m_lines->setCaption("QTY", QStringLiteral("数量"));
    m_lines->setCaption("Price", QStringLiteral("单价"));
    m_lines->setCaption("Total_Price", QStringLiteral("总金额"));
    m_lines->setCaption("purchase_Price", QStringLiteral("发发1"));
    m_lines->setCaption("Gain_Money", QStringLiteral("发发"));
    m_lines->setCaption("Remark", QStringLiteral("备注"));
    for (const char* f : {"Price", "Total_Price", "purchase_Price", "Gain_Money"}) {
        m_lines->setDisplayFormat(f, "0.00");
    }
    m_lines->setTag(0);
}

bool QuotationDocument::isModified() const {
    return m_head->hasChanges() || m_head->isEditing() || m_lines->tag() == 1 || m_lines->hasChanges();
}

void QuotationDocument::markLinesChanged() {
    m_lines->setTag(1);
}

void QuotationDocument::onLineFieldChanged(const QString& field) {
    markLinesChanged();
    if (m_computing || !m_lines->isEditing()) {
        return;
    }
    const QString f = field.toLower();
    const bool typedAmount = f == "total_price";
    if (f != "qty" && f != "price" && f != "purchase_price" && !typedAmount) {
        return;
    }
    // Amount first, then the profit from the amount just stored; a typed
    // amount is left alone until quantity or a price changes again, and the
    // profit follows it.
    m_computing = true;
    try {
        if (!typedAmount) {
            const double qty = number(m_lines->value("QTY"));
            m_lines->setValue("Total_Price", roundHalfAwayFromZero(qty * number(m_lines->value("Price")), 2));
        }
        setLineProfit();
    } catch (...) {
        m_computing = false;
        throw;
    }
    m_computing = false;
}

void QuotationDocument::setLineProfit() {
    const double qty = number(m_lines->value("QTY"));
    const double total = number(m_lines->value("Total_Price"));
    m_lines->setValue("Gain_Money", roundHalfAwayFromZero(total - qty * number(m_lines->value("purchase_Price")), 2));
}

int QuotationDocument::addGoods(const QStringList& codes) {
    if (m_lines->isEditing()) {
        m_lines->post();
    }
    QSet<QString> present;
    for (int r = 0; r < m_lines->rowCount(); ++r) {
        present.insert(m_lines->value(r, "GoodsNo").toString());
    }
    QStringList missing;
    int added = 0;
    for (const QString& code : codes) {
        if (code.isEmpty() || present.contains(code)) {
            continue;
        }
        QSqlQuery g = m_db.query(
            "select Default_Qty, Default_price, Default_TotalPrice, purchase_price from goods where code=:goodsNo",
            {{"goodsNo", code}});
        if (!g.next()) {
            missing.append(code);
            continue;
        }
        m_computing = true;  // the goods' own amount stands as given
        try {
            m_lines->append();
            m_lines->setValue("HeadNo", billNo());
            m_lines->setValue("GoodsNo", code);
            m_lines->setValue(
                "QTY", g.value(0).isNull() ? QVariant() : QVariant(roundHalfAwayFromZero(g.value(0).toDouble(), 0)));
            m_lines->setValue("Price", g.value(1));
            m_lines->setValue("Total_Price", g.value(2));
            m_lines->setValue("purchase_Price", g.value(3));
            setLineProfit();
            m_lines->setValue("SortNo", m_lines->rowCount());
            m_lines->post();
        } catch (...) {
            m_computing = false;
            if (m_lines->isEditing()) {
                m_lines->cancel();
            }
            throw;
        }
        m_computing = false;
        present.insert(code);
        ++added;
    }
    if (added > 0) {
        markLinesChanged();
    }
    if (!missing.isEmpty()) {
        m_prompter.inform(QStringLiteral("以下货品已不存在，未能添加：%1").arg(missing.join(QStringLiteral("、"))));
    }
    return added;
}

bool QuotationDocument::deleteLines(const QList<int>& rows) {
    if (rows.isEmpty() || m_lines->isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择要删除的商品"));
        return false;
    }
    if (m_lines->isEditing()) {
        m_lines->post();
    }
    m_lines->deleteRows(rows);
    markLinesChanged();
    return true;
}

QString QuotationDocument::goodsCodeAt(int row) const {
    return m_lines->value(row, "GoodsNo").toString();
}

bool QuotationDocument::moveLineUp(int row) {
    return moveLine(row, -1);
}

bool QuotationDocument::moveLineDown(int row) {
    return moveLine(row, 1);
}

QList<int> QuotationDocument::printOrder() const {
    QList<int> order;
    for (int r = 0; r < m_lines->rowCount(); ++r) {
        order.append(r);
    }
    // Lines without a position (older books) come first, as the grid and
    // an embedded book's printout order them; equal positions keep the
    // order they were read in.
    auto position = [this](int r) {
        const QVariant v = m_lines->value(r, "SortNo");
        return v.isNull() ? std::numeric_limits<qint64>::min() : v.toLongLong();
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return position(a) < position(b); });
    return order;
}

bool QuotationDocument::moveLine(int row, int step) {
    if (row < 0 || row >= m_lines->rowCount()) {
        m_prompter.inform(QStringLiteral("请选择商品"));
        return false;
    }
    if (m_lines->isEditing()) {
        m_lines->post();
    }
    // The line changes places with its neighbour in the printed order, and
    // every line takes its place in that order as its position (1, 2, ...),
    // so no two lines share a position, whatever older moves left.
    QList<int> order = printOrder();
    const qsizetype at = order.indexOf(row);
    const qsizetype to = at + step;
    if (to < 0 || to >= order.size()) {
        return false;
    }
    order.swapItemsAt(at, to);
    const int keep = m_lines->currentRow();
    for (qsizetype i = 0; i < order.size(); ++i) {
        const int r = order[i];
        if (m_lines->value(r, "SortNo") != QVariant(qlonglong(i + 1))) {
            m_lines->setCurrentRow(r);
            m_lines->setValue("SortNo", qlonglong(i + 1));
            m_lines->post();
        }
    }
    m_lines->setCurrentRow(keep);
    markLinesChanged();
    return true;
}

bool QuotationDocument::validate() {
    if (m_head->isEditing() && m_head->value("ClientNo").isNull()) {
        m_head->setValue("ClientNo", QString(""));
    }
    if (m_head->value("Send_Date").isNull()) {
        m_prompter.inform(QStringLiteral("请填写[交货日期]"));
        return false;
    }
    if (m_lines->isEmpty()) {
        m_prompter.inform(QStringLiteral("请为该收据添加货品"));
        return false;
    }
    for (int r = 0; r < m_lines->rowCount(); ++r) {
        if (m_lines->value(r, "GoodsNo").toString().trimmed().isEmpty()) {
            m_prompter.inform(QStringLiteral("请填写商品明细的[货品编号]"));
            return false;
        }
    }
    // A customer record chosen here and deleted meanwhile elsewhere.
    const QString client = m_head->value("ClientNo").toString();
    if (!client.isEmpty() &&
        m_db.scalar("select count(*) from Client where Corp_code=:c", {{"c", client}}).toInt() == 0) {
        m_prompter.inform(QStringLiteral("所选客户[%1]已不存在，请重新选择客户").arg(client));
        return false;
    }
    // Goods deleted from the catalogue since they were added: their lines
    // keep their amounts but no longer print, so the user decides.
    const QStringList missing = missingGoods();
    if (!missing.isEmpty() &&
        !m_prompter.askYesNo(QStringLiteral("货品[%1]已不存在，这些商品不会打印在订货单上。仍然保存吗？")
                                 .arg(missing.mid(0, 5).join(QStringLiteral("、")) +
                                      (missing.size() > 5 ? QStringLiteral("…") : QString())))) {
        return false;
    }
    m_missingAccepted = missing;
    return true;
}

void QuotationDocument::beforeWrite() {
    // A key-share lock makes the goods' deletion wait for this save, which
    // it then finds (and refuses).
    QStringList gone = missingGoods(m_db.isAccess() ? QString() : QStringLiteral(" for key share"));
    for (const QString& accepted : std::as_const(m_missingAccepted)) {
        gone.removeAll(accepted);
    }
    if (!gone.isEmpty()) {
        throw UserError(
            QStringLiteral("货品[%1]已被其他用户删除，订货单没有保存。请删除这些商品明细或重新选择货品后再保存。")
                .arg(gone.mid(0, 5).join(QStringLiteral("、")) + (gone.size() > 5 ? QStringLiteral("…") : QString())));
    }
}

QStringList QuotationDocument::missingGoods() const {
    return missingGoods(QString());
}

QStringList QuotationDocument::missingGoods(const QString& lockSuffix) const {
    QVariantList codes;
    for (int r = 0; r < m_lines->rowCount(); ++r) {
        const QString code = m_lines->value(r, "GoodsNo").toString();
        if (!codes.contains(code)) {
            codes.append(code);
        }
    }
    if (codes.isEmpty()) {
        return {};
    }
    QVariantMap params;
    const QString in = Database::bindList("c", codes, &params);
    QSet<QString> present;
    // In code order, as the goods deletion locks them: two writes never
    // wait for each other's rows crosswise.
    QSqlQuery q = m_db.query(
        QStringLiteral("select code from goods where code in (%1) order by code%2").arg(in, lockSuffix), params);
    while (q.next()) {
        present.insert(q.value(0).toString());
    }
    QStringList missing;
    for (const QVariant& c : codes) {
        if (!present.contains(c.toString())) {
            missing.append(c.toString());
        }
    }
    return missing;
}

void QuotationDocument::postPendingEdits() {
    if (m_lines->isEditing()) {
        m_lines->post();
    }
}

void QuotationDocument::afterSaved(bool wasNew) {
    if (!wasNew) {
        return;  // its column was read against its own place already
    }
    // Saved, the quotation shows what was quoted before its own date, as it
    // will when opened again: where the customer has later quotations, they
    // no longer count. The column is only a hint: once the quotation is
    // stored, a failure to read it must not report the save as failed, so
    // the column is cleared.
    try {
        const PriceHistory::Position here{m_head->originalValue(m_head->currentRow(), "Keyin_Date"), billNo()};
        if (PriceHistory(m_db).quotedAfter(customer(), here)) {
            reloadLastPrices();
        }
    } catch (const std::exception& e) {
        qWarning("last prices not read after saving %s: %s", qPrintable(billNo()), e.what());
        m_lastPrices->setEntries({});
    }
}

void QuotationDocument::reload() {
    HeadDetailDocument::reload();
    reloadGoodsLookups();
}

PriceHistory::Customer QuotationDocument::customer() const {
    if (!m_head->isOpen() || m_head->currentRow() < 0) {
        return {};
    }
    return {m_head->value("ClientNo").toString(), m_head->value("Add_ClientName").toString()};
}

void QuotationDocument::reloadLastPrices() {
    QList<LookupList::Entry> entries;
    const PriceHistory::Customer who = customer();
    if (!who.isEmpty() && m_lines->isOpen()) {
        PriceHistory history(m_db);
        // A saved quotation shows what was quoted before it.
        std::optional<PriceHistory::Position> before;
        if (m_mode == Existing) {
            before = PriceHistory::Position{m_head->originalValue(m_head->currentRow(), "Keyin_Date"), billNo()};
        }
        QStringList codes;
        for (int r = 0; r < m_lines->rowCount(); ++r) {
            const QString code = m_lines->value(r, "GoodsNo").toString();
            if (!code.isEmpty() && !codes.contains(code)) {
                codes.append(code);
            }
        }
        const QHash<QString, PriceHistory::Quoted> quoted = history.lastOfEach(who, codes, billNo(), before);
        for (const QString& code : codes) {
            const auto it = quoted.constFind(code.trimmed());
            if (it != quoted.cend()) {
                entries.append({code, PriceHistory::describe(*it), {}});
            }
        }
    }
    m_lastPrices->setEntries(entries);
}

QList<PriceHistory::Quoted> QuotationDocument::priceHistory(const QString& goodsNo) {
    return PriceHistory(m_db).history(customer(), goodsNo, billNo());
}

void QuotationDocument::reloadGoodsLookups() {
    // The goods' last prices go with them.
    reloadLastPrices();
    // Only the goods of this quotation (the catalogue may hold many more):
    // those of its stored lines and of lines added or changed since, which
    // the stored ones may not name; the three columns in one statement.
    QVariantMap params{{"h", billNo()}};
    QStringList unsaved;
    for (int r = 0; r < m_lines->rowCount(); ++r) {
        if (m_lines->rowStatus(r) != Dataset::RowStatus::Unchanged) {
            const QString code = m_lines->value(r, "GoodsNo").toString();
            if (!code.isEmpty() && !unsaved.contains(code)) {
                unsaved.append(code);
            }
        }
    }
    const QString orUnsaved =
        unsaved.isEmpty() ? QString()
                          : QStringLiteral(" or code in (%1)")
                                .arg(Database::bindList("g", QVariantList(unsaved.begin(), unsaved.end()), &params));
    QList<LookupList::Entry> names;
    QList<LookupList::Entry> sizes;
    QList<LookupList::Entry> units;
    QSet<QString> found;
    auto read = [&](const QString& condition, const QVariantMap& values) {
        QSqlQuery q = m_db.query(
            "select code, Goods_name, Goods_size, Unit_name from Query_Goods_With_Corp_Unit where " + condition,
            values);
        while (q.next()) {
            found.insert(q.value(0).toString());
            names.append({q.value(0), q.value(1).toString(), {}});
            sizes.append({q.value(0), q.value(2).toString(), {}});
            units.append({q.value(0), q.value(3).toString(), {}});
        }
    };
    read("code in (select GoodsNo from Quotation_Detail where HeadNo=:h)" + orUnsaved, params);
    // A line stored since with other goods by another workstation still
    // names its goods here.
    QVariantList missing;
    for (int r = 0; r < m_lines->rowCount(); ++r) {
        const QString code = m_lines->value(r, "GoodsNo").toString();
        if (!code.isEmpty() && !found.contains(code) && !missing.contains(code)) {
            missing.append(code);
        }
    }
    if (!missing.isEmpty()) {
        QVariantMap p;
        read(QStringLiteral("code in (%1)").arg(Database::bindList("m", missing, &p)), p);
    }
    m_goodsNames->setEntries(names);
    m_goodsSizes->setEntries(sizes);
    m_goodsUnits->setEntries(units);
}

void QuotationDocument::reloadCustomers() {
    m_customers->load(m_db,
                      "select corp_code, COALESCE(Linkman_name, '') || '(' || COALESCE(corp_name, '') || '.' || "
                      "COALESCE(Linkman_country, '') || ')', Linkman_name, corp_name, Linkman_country "
                      "from Client order by corp_code");
}

bool QuotationDocument::customerStillThere(const QString& code) const {
    if (code.isEmpty()) {
        return false;
    }
    if (m_db.scalar("select count(*) from Client where corp_code=:c", {{"c", code}}).toInt() == 0) {
        m_prompter.inform(QStringLiteral("所选客户[%1]已不存在，请重新选择客户").arg(code));
        return false;
    }
    return true;
}

void QuotationDocument::chooseCustomer(const QString& code) {
    if (!customerStillThere(code)) {
        return;
    }
    const QString before = m_head->value("ClientNo").toString();
    if (before == code) {
        fillFromCustomer(code);  // the same customer again: no change to follow
        return;
    }
    if (!before.isEmpty()) {
        // Another customer: what the one before gave gives way.
        const QScopedValueRollback filling(m_fillingFromCustomer, true);
        clearParticulars(particularsOf(before));
    }
    m_head->setValue("ClientNo", code);
}

void QuotationDocument::takeCustomer(const QString& code) {
    if (!customerStillThere(code)) {
        return;
    }
    m_head->setValue("Add_ClientName", QVariant());
    chooseCustomer(code);
}

int QuotationDocument::lineOf(const QString& goodsCode) const {
    for (int r = 0; r < m_lines->rowCount(); ++r) {
        if (m_lines->value(r, "GoodsNo").toString() == goodsCode) {
            return r;
        }
    }
    return -1;
}

QList<QPair<QString, QString>> QuotationDocument::particularsOf(const QString& code) const {
    QSqlQuery q = m_db.query(
        "select Linkman_name, Corp_name, Linkman_country, LinkMan_mobile, LinkMan_Telephone, "
        "Linkman_foreign_telephone, corp_Telephone from Client where corp_code=:c",
        {{"c", code}});
    if (!q.next()) {
        return {};
    }
    QString phone;
    for (int i = 3; i <= 6 && phone.trimmed().isEmpty(); ++i) {
        phone = q.value(i).toString();
    }
    return {{QStringLiteral("Add_ClientName"), q.value(0).toString().left(50)},
            {QStringLiteral("Rummery"), q.value(1).toString().left(100)},
            {QStringLiteral("Country"), q.value(2).toString().left(20)},
            {QStringLiteral("telephon"), phone.left(50)}};
}

void QuotationDocument::fillFromCustomer(const QString& code) {
    if (code.isEmpty()) {
        return;
    }
    // What the user typed stays; an empty particular takes the customer's,
    // so the quotation is found by any of them.
    const QScopedValueRollback filling(m_fillingFromCustomer, true);
    for (const auto& [field, value] : particularsOf(code)) {
        if (m_head->value(field).toString().trimmed().isEmpty() && !value.trimmed().isEmpty()) {
            m_head->setValue(field, value);
        }
    }
}
