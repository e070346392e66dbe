#include "demo/demo_quotations.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QVector>
#include <cmath>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/field_def.h"
#include "demo/demo_data.h"
#include "documents/daily_numbers.h"
#include "documents/receipt_book.h"
#include "platform/errors.h"

namespace {
constexpr quint32 kSeed = 20061226;

const QStringList kSurnames{"王", "李", "张", "刘", "陈", "杨", "黄", "赵"};
const QStringList kGiven{"建国", "丽", "海", "志强", "晓明", "玉兰", "德华", "淑芬"};
const QStringList kPlaces{"海景", "金陵", "锦江", "白云", "东方", "皇冠", "明珠", "友谊"};
const QStringList kHotelKinds{"大酒店", "宾馆", "饭店", "度假村"};
const QStringList kCountries{"中国", "阿联酋", "新加坡", "马来西亚"};
const QStringList kHeadRemarks{"尾款月底结清", "加急，月底前交货", "含安装", "客户自提", "分两批发货"};
const QStringList kLineRemarks{"加急", "按样品", "白色", "配螺丝"};
const QStringList kPaymentRemarks{"货款", "尾款", "第二期货款"};

const char* const kInsertHead =
    "insert into Quotation_Head (BillNo, ClientNo, Link_man, telephon, Rummery, Country, Order_Date, Send_Date, "
    "Keyin_Date, Keyin_User, isPigeonhole, IsDelete, Freight, earnest, preferential, Remark, Add_ClientName, state) "
    "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, 0, ?, ?, ?, ?, ?, ?)";
const char* const kInsertLine =
    "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money, Remark, "
    "SortNo) values (?, ?, ?, ?, ?, ?, ?, ?, ?)";
const char* const kInsertReceipt =
    "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, keyin_User, keyin_Date, remark, state) "
    "values (?, ?, ?, ?, ?, ?, ?, ?)";

struct Goods {
    QString code;
    double price;
    double cost;
};

struct Customer {
    QString code;
    QString name;
    QString hotel;
    QString country;
    QString phone;
};

QString pick(QRandomGenerator& r, const QStringList& list) {
    return list[int(r.bounded(list.size()))];
}

double money(double v) {
    return roundHalfAwayFromZero(v, 2);
}

QVariant orNull(double v) {
    return v == 0 ? QVariant() : QVariant(v);
}

QList<Goods> readGoods(Database& db) {
    QList<Goods> out;
    QSqlQuery q = db.query("select code, Default_price, purchase_price from goods order by code");
    while (q.next()) {
        const double price = q.value(1).isNull() ? 10.0 : q.value(1).toDouble();
        out.append({q.value(0).toString(), price, q.value(2).isNull() ? price * 0.7 : q.value(2).toDouble()});
    }
    return out;
}

QList<Customer> readCustomers(Database& db) {
    QList<Customer> out;
    QSqlQuery q = db.query(
        "select Corp_code, Linkman_name, Corp_name, Linkman_country, LinkMan_Telephone from Client order by Corp_code");
    while (q.next()) {
        out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                    q.value(4).toString()});
    }
    return out;
}

void bindAll(QSqlQuery& q, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) {
        q.bindValue(i, values[i]);
    }
}
}  // namespace

DemoQuotations::Made DemoQuotations::fill(AppContext& context, int count) {
    Made made;
    if (count <= 0) {
        return made;
    }
    Database& db = context.data().main();
    const int haveGoods = db.scalar("select count(*) from goods").toInt();
    if (haveGoods < kMinGoods) {
        DemoData::fill(context, {0, 0, kMinGoods - haveGoods, 0});
    }
    const QList<Goods> goods = readGoods(db);
    const QList<Customer> customers = readCustomers(db);
    const QString user =
        context.CurrentUser.UserName.isEmpty() ? QStringLiteral("超级用户") : context.CurrentUser.UserName;
    DailyNumbers quotationNumbers(db, "BJ", "Quotation_Head", "BillNo");
    DailyNumbers receiptNumbers(db, "AA", "Receipt_Head", "BillNo");

    const qint64 receiptLinesBefore = db.scalar("select count(*) from Receipt_Detail").toLongLong();
    QRandomGenerator r(kSeed);
    const QDate today = context.clock().today();
    const QDate first = today.addYears(-10);
    const qint64 span = first.daysTo(today);
    QVector<int> order(goods.size());
    for (int i = 0; i < order.size(); ++i) {
        order[i] = i;
    }

    for (int done = 0; done < count;) {
        WriteTransaction tx(db);
        const std::shared_ptr<QSqlQuery> headStatement = db.prepared(kInsertHead);
        const std::shared_ptr<QSqlQuery> lineStatement = db.prepared(kInsertLine);
        const std::shared_ptr<QSqlQuery> receiptStatement = db.prepared(kInsertReceipt);
        for (int inBatch = 0; inBatch < kBatch && done < count; ++inBatch, ++done) {
            // Evenly spread: the first ten years ago, the last today.
            const QDate day = first.addDays(count == 1 ? span : span * done / (count - 1));
            const QString no = quotationNumbers.next(day);
            const QVariant dayValue = db.toDbValue(day.startOfDay());

            // Lines: distinct goods (a partial shuffle), mostly small
            // quantities, prices around the list price.
            const int lineCount = qMin(50, 5 + int(46 * std::pow(r.generateDouble(), 1.25)));
            double goodsSum = 0;
            for (int n = 0; n < lineCount; ++n) {
                const int j = n + int(r.bounded(int(order.size()) - n));
                std::swap(order[n], order[j]);
                const Goods& g = goods[order[n]];
                const double qty = r.bounded(10) < 8 ? 1.0 + r.bounded(10) : 5.0 * (2 + r.bounded(9));
                const double price = money(g.price * (90 + r.bounded(31)) / 100.0);
                const double cost = money(g.cost);
                double total = money(qty * price);
                if (r.bounded(30) == 0) {
                    total = std::floor(total);  // an amount typed over the computed one
                }
                goodsSum += total;
                bindAll(*lineStatement, {no, g.code, qty, price, total, cost, money(total - qty * cost),
                                         r.bounded(20) == 0 ? QVariant(pick(r, kLineRemarks)) : QVariant(), n + 1});
                db.runBound(*lineStatement);
            }
            made.lines += lineCount;

            const double freight = r.bounded(10) < 3 ? 50.0 + 10 * r.bounded(46) : 0.0;
            const double discount = r.bounded(10) == 0 ? money(std::fmod(goodsSum + freight, 10.0)) : 0.0;
            const double receivable = money(goodsSum + freight - discount);
            const double deposit = r.bounded(10) < 6 ? qMax(100.0, std::round(receivable * 0.003) * 100) : 0.0;
            const int state = r.bounded(30) == 0 ? 0 : 1;
            QVariant clientNo = QString("");
            QString typedName, linkMan, phone, hotel, country;
            if (!customers.isEmpty() && r.bounded(10) < 9) {
                const Customer& c = customers[int(r.bounded(customers.size()))];
                clientNo = c.code;
                // As the editor fills it from the chosen customer: the list
                // shows the customer by this name.
                typedName = c.name;
                linkMan = c.name;
                phone = c.phone;
                hotel = c.hotel;
                country = c.country;
            } else {
                typedName = pick(r, kSurnames) + pick(r, kGiven);
                linkMan = typedName;
                phone = QStringLiteral("13%1").arg(r.bounded(100000000, 999999999));
                hotel = pick(r, kPlaces) + pick(r, kHotelKinds);
                country = pick(r, kCountries);
            }
            bindAll(*headStatement,
                    {no, clientNo, linkMan, phone, hotel, country, dayValue,
                     db.toDbValue(day.addDays(7 + r.bounded(24)).startOfDay()), dayValue, user, orNull(freight),
                     orNull(deposit), orNull(discount),
                     r.bounded(5) == 0 ? QVariant(pick(r, kHeadRemarks)) : QVariant(), typedName, state});
            db.runBound(*headStatement);
            ++made.quotations;

            // Most quotations have their deposit receipt, and payments after it.
            if (r.bounded(10) == 0) {
                continue;
            }
            auto receipt = [&](const QDate& on, double amount, int kind, const QVariant& remark) {
                bindAll(*receiptStatement, {no, receiptNumbers.next(on), amount, kind, user,
                                            db.toDbValue(on.startOfDay()), remark, state});
                db.runBound(*receiptStatement);
                ++made.receipts;
            };
            receipt(day, std::round(deposit), 0, QVariant());
            // Receipts are whole amounts: the payments round the rest up, so
            // a quotation paid in full shows as paid to the cent.
            const double rest = std::ceil(receivable - std::round(deposit) - 1e-6);
            const int roll = int(r.bounded(10));
            const int payments = rest <= 0 || roll < 2 ? 0 : (roll < 6 ? 1 : 2);
            QDate paid = day;
            double left = rest;
            for (int p = 0; p < payments; ++p) {
                paid = qMin(today, paid.addDays(7 + r.bounded(60)));
                const double amount = p + 1 == payments ? left : std::round(left * (30 + r.bounded(41)) / 100.0);
                left -= amount;
                receipt(paid, amount, 1, pick(r, kPaymentRemarks));
            }
            ReceiptBook::writeLines(db, no);
        }
        if (done == count) {
            // The program's next number today follows the demo's last one.
            quotationNumbers.settleCounter(db, today);
            receiptNumbers.settleCounter(db, today);
        }
        tx.commit();
    }
    made.receiptLines = db.scalar("select count(*) from Receipt_Detail").toLongLong() - receiptLinesBefore;
    const QStringList drifted = driftedTotals(db);
    if (!drifted.isEmpty()) {
        throw UserError(
            QStringLiteral("订货单的合计与明细不符：%1").arg(drifted.mid(0, 10).join(QStringLiteral("、"))));
    }
    return made;
}

QStringList DemoQuotations::driftedTotals(Database& db) {
    QStringList out;
    QSqlQuery q = db.query(
        "select k.BillNo from "
        "(select BillNo from Quotation_Head union select HeadNo from Quotation_Detail union select QuotationNo "
        " from Receipt_Head where QuotationNo is not null union select BillNo from Quotation_Sum) k "
        "left join Quotation_Head h on h.BillNo = k.BillNo "
        "left join Quotation_Sum t on t.BillNo = k.BillNo "
        "left join (select HeadNo, ROUND(SUM(COALESCE(Total_Price, 0)), 2) g, "
        " ROUND(SUM(COALESCE(Gain_Money, 0)), 2) n, "
        " ROUND(SUM(COALESCE(QTY, 0) * COALESCE(purchase_Price, 0)), 4) c from Quotation_Detail group by HeadNo) d "
        " on d.HeadNo = k.BillNo "
        "left join (select QuotationNo, ROUND(SUM(COALESCE(TotalPrice, 0)), 2) p from Receipt_Head "
        " group by QuotationNo) r on r.QuotationNo = k.BillNo "
        "where ROUND(COALESCE(t.sum_Goods, 0), 2) <> ROUND(COALESCE(d.g, 0), 2) "
        "or ROUND(COALESCE(t.sum_Gain, 0), 2) <> ROUND(COALESCE(d.n, 0), 2) "
        "or ROUND(COALESCE(t.sum_Cost, 0), 4) <> ROUND(COALESCE(d.c, 0), 4) "
        "or ROUND(COALESCE(t.sum_Paid, 0), 2) <> ROUND(COALESCE(r.p, 0), 2) "
        "or (h.BillNo is not null and t.BillNo is null) "
        "or ROUND(COALESCE(t.Freight, 0), 2) <> ROUND(COALESCE(h.Freight, 0), 2) "
        "or ROUND(COALESCE(t.preferential, 0), 2) <> ROUND(COALESCE(h.preferential, 0), 2) "
        "order by k.BillNo");
    while (q.next()) {
        out.append(q.value(0).toString());
    }
    return out;
}
