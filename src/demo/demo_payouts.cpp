#include "demo/demo_payouts.h"

#include <QDate>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QStringList>
#include <cmath>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/database.h"
#include "platform/clock.h"

namespace {
constexpr quint32 kSeed = 20060610;
constexpr int kPayDay = 10;  // wages of a month are paid on the tenth of the next

const QStringList kMonths{"一月", "二月", "三月", "四月", "五月",   "六月",
                          "七月", "八月", "九月", "十月", "十一月", "十二月"};
const QStringList kTransportRemarks{"送货", "提货", "货车运费", "快递费", "物流托运", "送货上门"};
const QStringList kWageExtras{"加班费", "奖金"};
const QStringList kSundryRemarks{"水电费", "电话费", "办公用品", "茶水", "清洁用品", "打印纸"};
const QStringList kRemittanceRemarks{"货款", "预付货款", "汇往广州", "退订金"};

QString pick(QRandomGenerator& r, const QStringList& list) {
    return list[int(r.bounded(list.size()))];
}

// The kind of a payout: out of a hundred, 40 transport, 12 wages, 38
// sundries and 10 remittances.
int kindOf(QRandomGenerator& r) {
    const int roll = int(r.bounded(100));
    if (roll < 40) {
        return 0;
    }
    if (roll < 52) {
        return 1;
    }
    return roll < 90 ? 2 : 3;
}

// The wages' pay day for a payout falling on `day`: the tenth of its month,
// or of the month before when the tenth is still to come; never before the
// demo's first day.
QDate payDay(const QDate& day, const QDate& first) {
    QDate paid(day.year(), day.month(), kPayDay);
    if (day.day() < kPayDay) {
        paid = paid.addMonths(-1);
    }
    return paid < first ? day : paid;
}
}  // namespace

DemoPayouts::Made DemoPayouts::fill(AppContext& context, int count) {
    Made made;
    if (count <= 0) {
        return made;
    }
    Database& db = context.data().main();
    QRandomGenerator r(kSeed);
    const QDate today = context.clock().today();
    const QDate first = today.addYears(-10);
    const qint64 span = first.daysTo(today);

    WriteTransaction tx(db);
    const auto insert = db.prepared("insert into payout (paytime, subject, totalprice, remark) values (?, ?, ?, ?)");
    for (int done = 0; done < count; ++done) {
        // Evenly spread: the first ten years ago, the last today.
        QDate day = first.addDays(count == 1 ? span : span * done / (count - 1));
        const int kind = kindOf(r);
        qint64 amount = 0;
        QString remark;
        switch (kind) {
            case 0:  // mostly a local delivery, now and then a long haul
                amount = r.bounded(10) == 0 ? 100 * (10 + r.bounded(30)) : 10 * (3 + r.bounded(48));
                remark = pick(r, kTransportRemarks);
                break;
            case 1: {
                day = payDay(day, first);
                const double years = first.daysTo(day) / 365.25;
                amount = 10 * std::llround((1600 + 50 * r.bounded(60)) * (1 + 0.06 * years) / 10);
                remark = r.bounded(10) == 0 ? pick(r, kWageExtras)
                                            : kMonths[day.addMonths(-1).month() - 1] + QStringLiteral("工资");
                break;
            }
            case 2:
                amount = 5 * (1 + r.bounded(60));
                remark = pick(r, kSundryRemarks);
                break;
            default:
                amount = 100 * (10 + r.bounded(491));
                remark = pick(r, kRemittanceRemarks);
                break;
        }
        // A few payouts are entered without a remark.
        const bool withoutRemark = kind != 1 && r.bounded(15) == 0;
        insert->bindValue(0, db.toDbValue(day.startOfDay()));
        insert->bindValue(1, QString::number(kind));
        insert->bindValue(2, amount);
        insert->bindValue(3, withoutRemark ? QVariant() : QVariant(remark));
        db.runBound(*insert);
        ++made.payouts;
        ++made.ofKind[kind];
        made.amount += amount;
    }
    tx.commit();
    return made;
}
