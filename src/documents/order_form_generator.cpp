#include "documents/order_form_generator.h"

#include <algorithm>
#include <map>

#include <QHash>
#include <QRegularExpression>
#include <QSqlQuery>

#include "data/database.h"
#include "data/numbering.h"
#include "data/order_form_revision.h"
#include "platform/clock.h"
#include "platform/prompter.h"

namespace {

// The entries of one code list of the order rows as (item_value,
// item_name). StatusValue is text that holds the number the row stores;
// it is compared as a number (so "07" is 7) on both engines. Values that
// are not a plain number of at most nine digits are passed over rather
// than cast, which PostgreSQL would refuse; a value listed twice counts
// once, so no sum is doubled.
QString codeListStatement(const QString& fieldParam) {
    return QStringLiteral(
               "select item_value, min(item_name) as item_name from ("
               "select case when length(trim(s.StatusValue)) between 1 and 9 "
               "and ltrim(trim(s.StatusValue), '0123456789') = '' "
               "then cast(trim(s.StatusValue) as integer) end as item_value, s.StatusName as item_name "
               "from Sys_Status_Describe s join Sys_Status_Describe_head l on s.ParamentName = l.paramentname "
               "where lower(l.TableName) = 'dusmere_order_form_detail' and lower(l.FieldName) = %1"
               ") c where item_value is not null group by item_value")
        .arg(fieldParam);
}

QString goneText(const QString& code) {
    return QStringLiteral("订货单[%1]已不存在，可能已被其他用户删除").arg(code);
}

QString noGoodsText(const QString& kind) {
    return QStringLiteral("该订货单没有录入货品，不能生成") + kind;
}

}  // namespace

OrderFormGenerator::OrderFormGenerator(Database& db, const Clock& clock, Prompter& prompter, const QString& userName)
    : m_db(db), m_clock(clock), m_prompter(prompter), m_userName(userName) {}

bool OrderFormGenerator::createWorkForms(const QStringList& codes) {
    return create(DerivedForm::Work, codes);
}

bool OrderFormGenerator::createWareOutForm(const QStringList& codes) {
    return create(DerivedForm::WareOut, codes);
}

bool OrderFormGenerator::createShipmentForm(const QStringList& codes) {
    return create(DerivedForm::Shipment, codes);
}

QString OrderFormGenerator::orderGoneText(const QString& code) {
    return goneText(code);
}

bool OrderFormGenerator::create(DerivedForm kind, const QStringList& codes) {
    const QString name = DerivedFormTables::of(kind).caption;
    if (codes.isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择一份订货单"));
        return false;
    }
    if (codes.size() > 1) {
        m_prompter.inform(QStringLiteral("生成") + name + QStringLiteral("时，只能选择一份订货单"));
        return false;
    }
    const QString code = codes.first();
    // The order, its goods and its forms are counted together.
    const QVariantMap params{{"code", code}};
    int counts[3] = {0, 0, 0};
    m_db.readBatch({{"select count(*) from Dusmere_Order_Form_head where Order_Form_Code=:code", params},
                    {"select count(*) from Dusmere_Order_Form_Detail where Head_Code=:code", params},
                    {formsCountStatement(kind), params}},
                   [&counts](int at, QSqlQuery& q) { counts[at] = q.next() ? q.value(0).toInt() : 0; });
    // An order that is gone is named as such before its goods are counted:
    // deleting an order takes its goods rows along, and "no goods typed in"
    // would send the user looking for rows of an order that is not there.
    if (counts[0] == 0) {
        m_prompter.inform(goneText(code));
        return false;
    }
    if (counts[1] == 0) {
        m_prompter.inform(noGoodsText(name));
        return false;
    }
    const QString overwrite = QStringLiteral("该订货单曾经生成过") + name + QStringLiteral("，是否要覆盖已有的") +
                              name + QStringLiteral("？");
    const bool hadForms = counts[2] > 0;
    if (hadForms && !m_prompter.askYesNo(overwrite)) {
        return false;
    }
    // The question above is asked outside the transaction, so no lock is
    // held while the user thinks; the order is checked again inside it.
    Outcome outcome = replaceForms(kind, code, hadForms);
    if (outcome == Outcome::FormsAppeared) {
        // Another workstation made such forms meanwhile: they are replaced
        // only when the user says so, asked with no lock held.
        if (!m_prompter.askYesNo(overwrite)) {
            return false;
        }
        outcome = replaceForms(kind, code, true);
    }
    switch (outcome) {
        case Outcome::FormsAppeared:
            return false;  // not after a Yes: the forms may be replaced then
        case Outcome::OrderGone:
            m_prompter.inform(goneText(code));
            return false;
        case Outcome::NoGoods:
            m_prompter.inform(noGoodsText(name));
            return false;
        case Outcome::Done:
            break;
    }
    m_prompter.inform(QStringLiteral("处理完毕,已成功生成") + name);
    return true;
}

OrderFormGenerator::Outcome OrderFormGenerator::replaceForms(DerivedForm kind, const QString& code, bool mayReplace) {
    WriteTransaction tx(m_db);
    // On a server the order's head stays locked until the commit: a delete
    // of the order on another workstation waits for the forms, or this
    // finds the order gone.
    // The lock comes first: the goods and forms read after it in the same
    // message are those the write finds.
    const QVariantMap params{{"code", code}};
    bool orderThere = false;
    QList<GoodsRow> rows;
    int forms = 0;
    m_db.readBatch(
        {{QStringLiteral("select Order_Form_Code from Dusmere_Order_Form_head where Order_Form_Code=:code") +
              m_db.dialect().lockRowsSuffix(),
          params},
         {"select ID, Goods_Code, Goods_Type from Dusmere_Order_Form_Detail where Head_Code=:code order by ID", params},
         {formsCountStatement(kind), params}},
        [&](int at, QSqlQuery& q) {
            if (at == 0) {
                orderThere = q.next();
            } else if (at == 1) {
                while (q.next()) {
                    rows.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2)});
                }
            } else {
                forms = q.next() ? q.value(0).toInt() : 0;
            }
        });
    if (!orderThere) {
        return Outcome::OrderGone;
    }
    if (rows.isEmpty()) {
        return Outcome::NoGoods;
    }
    if (!mayReplace && forms > 0) {
        return Outcome::FormsAppeared;  // rolled back: nothing written
    }
    deleteForms(kind, code);
    switch (kind) {
        case DerivedForm::Work:
            writeWorkForms(code, rows);
            break;
        case DerivedForm::WareOut:
            writeWareOutForm(code);
            break;
        case DerivedForm::Shipment:
            writeShipmentForm(code, rows);
            break;
    }
    tx.commit();
    return Outcome::Done;
}

QString OrderFormGenerator::formsCountStatement(DerivedForm kind) {
    const DerivedFormTables& t = DerivedFormTables::of(kind);
    return QStringLiteral("select count(*) from %1 where %2=:code").arg(t.head, t.orderCode);
}

void OrderFormGenerator::deleteForms(DerivedForm kind, const QString& code) {
    // The rows go by the codes of this order's forms, so a row of another
    // order's form is never touched.
    const DerivedFormTables& t = DerivedFormTables::of(kind);
    const QVariantMap params{{"code", code}};
    m_db.executeBatch(
        {{QStringLiteral("delete from %1 where %2 in (%3)").arg(t.rows, t.rowCode, t.headCodesOf(":code")), params},
         {QStringLiteral("delete from %1 where %2=:code").arg(t.head, t.orderCode), params}});
}

// One work form per goods series, in ascending order of the series value;
// the rows without a series make one more work form of their own, last, so
// that no goods row is left off the work forms. Each form's rows follow
// the order's rows. The numbers are drawn inside this transaction: when
// it rolls back, the counter goes back with it and no number is skipped.
QList<QList<int>> OrderFormGenerator::workFormGroups(const QList<QVariant>& series) {
    std::map<qlonglong, QList<int>> bySeries;
    QList<int> withoutSeries;
    for (int i = 0; i < series.size(); ++i) {
        if (series[i].isNull()) {
            withoutSeries.append(i);
        } else {
            bySeries[series[i].toLongLong()].append(i);
        }
    }
    QList<QList<int>> forms;
    for (const auto& entry : bySeries) {
        forms.append(entry.second);
    }
    if (!withoutSeries.isEmpty()) {
        forms.append(withoutSeries);
    }
    return forms;
}

void OrderFormGenerator::writeWorkForms(const QString& code, const QList<GoodsRow>& rows) {
    QList<QVariant> series;
    for (const GoodsRow& row : rows) {
        series.append(row.series);
    }
    const QList<QList<int>> forms = workFormGroups(series);

    Numbering numbering(m_db, m_clock);
    const QDateTime now = m_clock.now();
    const QString insertHead =
        "insert into Dusmere_Work_Form_Head (Work_Form_Code, Order_Form_Code, KeyIn_Date, KeyIn_Person, "
        "Order_Revision) values (:w, :o, :d, :p, " +
        OrderFormRevision::revisionOf("order") + ")";
    const QString insertRow =
        "insert into Dusmere_Work_Form_Detail (head_Code, Order_Form_Code, goods_code) values (:w, :o, :g)";
    // The forms' rows go as one batch: a round trip each would keep a
    // user far from the server waiting.
    QList<Database::BatchStatement> statements;
    for (const QList<int>& form : forms) {
        const QString workCode = numbering.GetAutoIncrementID("Dusmere_Work_Form_Head", "Work_Form_Code", false);
        statements.append({insertHead, {{"w", workCode}, {"o", code}, {"d", now}, {"p", m_userName}, {"order", code}}});
        for (int i : form) {
            statements.append({insertRow, {{"w", workCode}, {"o", code}, {"g", rows[i].goodsCode}}});
        }
    }
    m_db.executeBatch(statements);
}

void OrderFormGenerator::writeWareOutForm(const QString& code) {
    const QString goods = goodsSummary(m_db, code);
    const QString locks = lockSummary(m_db, code);
    m_db.executeWithNext(
        "insert into Dusmere_Ware_Out_Form_Head (Ware_Out_Form_Code, KeyIn_Date, KeyIn_Person, Order_Revision) "
        "values (:c, :d, :p, " +
            OrderFormRevision::revisionOf("order") + ")",
        {{"c", code}, {"d", m_clock.now()}, {"p", m_userName}, {"order", code}});
    m_db.execute(
        "insert into Dusmere_Ware_Out_Form_Detail (head_code, DetailNames, Fittings) values (:c, :goods, :locks)",
        {{"c", code}, {"goods", goods}, {"locks", locks}});
}

void OrderFormGenerator::writeShipmentForm(const QString& code, const QList<GoodsRow>& rows) {
    m_db.executeWithNext(
        "insert into Dusmere_Shipment_Form_Head (Shipment_Form_Code, KeyIn_Date, KeyIn_Person, "
        "RecivePerson_Telephone, Order_Revision) values (:c, :d, :p, :t, " +
            OrderFormRevision::revisionOf("order") + ")",
        {{"c", code}, {"d", m_clock.now()}, {"p", m_userName}, {"t", receiverTelephone(code)}, {"order", code}});
    QList<Database::BatchStatement> statements;
    for (const GoodsRow& row : rows) {
        statements.append(
            {"insert into Dusmere_Shipment_Form_Detail (goods_id, head_code, goods_code) values (:id, "
             ":c, :g)",
             {{"id", QString::number(row.id)}, {"c", code}, {"g", row.goodsCode}}});
    }
    m_db.executeBatch(statements);
}

// The customer's mobile number; empty when the order names no customer or
// the customer is not in the book. Should a code be held twice, the
// earliest record counts.
QString OrderFormGenerator::receiverTelephone(const QString& code) {
    QSqlQuery q = m_db.query(
        "select c.Boss_mobile from Dusmere_Order_Form_head h join customer_provider c on c.corp_code = h.corp_code "
        "where h.Order_Form_Code=:code order by c.id",
        {{"code", code}});
    const QString mobile = q.next() ? q.value(0).toString() : QString();
    // Written as an empty text, never as NULL.
    return mobile.isNull() ? QStringLiteral("") : mobile;
}

QString OrderFormGenerator::plainNumber(const QVariant& value) {
    if (value.isNull()) {
        return QStringLiteral("0");
    }
    static const QRegularExpression decimal(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    QString text = value.typeId() == QMetaType::QString ? value.toString().trimmed() : QString();
    if (!decimal.match(text).hasMatch()) {
        // The quantities hold four decimals; rounding there drops what a
        // binary sum adds (0.1 + 0.2).
        text = QString::number(value.toDouble(), 'f', 4);
    }
    if (text.contains('.')) {
        while (text.endsWith('0')) {
            text.chop(1);
        }
        if (text.endsWith('.')) {
            text.chop(1);
        }
    }
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

QString OrderFormGenerator::goodsSumsStatement() {
    return QStringLiteral(
               "select d.Goods_Type, gt.item_name, gu.item_name, sum(d.QTY) "
               "from Dusmere_Order_Form_Detail d "
               "join (%1) gt on gt.item_value = d.Goods_Type "
               "join (%2) gu on gu.item_value = d.Goods_Unit "
               "where d.Head_Code=:code "
               "group by gt.item_name, gu.item_name, d.Goods_Type")
        .arg(codeListStatement(":seriesField"), codeListStatement(":unitField"));
}

QString OrderFormGenerator::lockSumsStatement() {
    return QStringLiteral(
               "select d.Lock_Size, ls.item_name, sum(d.QTY) "
               "from Dusmere_Order_Form_Detail d "
               "join (%1) ls on ls.item_value = d.Lock_Size "
               "where d.Head_Code=:code group by d.Lock_Size, ls.item_name")
        .arg(codeListStatement(":lockField"));
}

QString OrderFormGenerator::goodsSummary(Database& db, const QString& code) {
    const QVariantMap params{{"code", code}, {"seriesField", "goods_type"}, {"unitField", "goods_unit"}};
    struct Entry {
        qlonglong series;
        QString seriesName;
        QString unitName;
        QString quantity;
    };
    QList<Entry> entries;
    const auto sums = db.prepared(goodsSumsStatement());
    db.run(*sums, params);
    while (sums->next()) {
        entries.append({sums->value(0).toLongLong(), sums->value(1).toString(), sums->value(2).toString(),
                        plainNumber(sums->value(3))});
    }
    sums->finish();
    if (entries.isEmpty()) {
        return {};
    }
    // Every goods row of a series is named in each of its entries, whatever
    // its unit, in the order of the rows.
    QHash<qlonglong, QString> codesBySeries;
    const auto goods = db.prepared(
        "select Goods_Type, Goods_Code from Dusmere_Order_Form_Detail where Head_Code=:code and Goods_Type is not "
        "null order by ID");
    db.run(*goods, {{"code", code}});
    while (goods->next()) {
        codesBySeries[goods->value(0).toLongLong()] += '(' + goods->value(1).toString() + ')';
    }
    goods->finish();
    // The same order on both engines whatever their collation: by series
    // value, then by unit name as Unicode text.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.series != b.series) {
            return a.series < b.series;
        }
        return a.unitName < b.unitName;
    });
    QStringList texts;
    for (const Entry& e : entries) {
        texts.append(e.seriesName + ' ' + e.quantity + e.unitName + ' ' + codesBySeries.value(e.series));
    }
    return texts.join(';');
}

QString OrderFormGenerator::lockSummary(Database& db, const QString& code) {
    struct Entry {
        qlonglong lock;
        QString name;
        QString quantity;
    };
    QList<Entry> entries;
    const auto sums = db.prepared(lockSumsStatement());
    db.run(*sums, {{"code", code}, {"lockField", "lock_size"}});
    while (sums->next()) {
        entries.append({sums->value(0).toLongLong(), sums->value(1).toString(), plainNumber(sums->value(2))});
    }
    sums->finish();
    if (entries.isEmpty()) {
        return {};
    }
    QHash<qlonglong, QString> fittingsByLock;
    const auto fittings = db.prepared(
        "select Lock_Size, Lock_Fittings from Dusmere_Order_Form_Detail where Head_Code=:code and Lock_Size is not "
        "null order by ID");
    db.run(*fittings, {{"code", code}});
    while (fittings->next()) {
        const QString text = fittings->value(1).toString();
        if (!text.isEmpty()) {
            fittingsByLock[fittings->value(0).toLongLong()] += text + ' ';
        }
    }
    fittings->finish();
    // By lock model value, the same on both engines.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.lock < b.lock; });
    QStringList texts;
    for (const Entry& e : entries) {
        texts.append(e.name + ' ' + e.quantity + ' ' + fittingsByLock.value(e.lock));
    }
    return texts.join(';');
}
