#include "demo/demo_orders.h"

#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <QVector>
#include <cmath>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/field_def.h"
#include "data/name_initials.h"
#include "documents/daily_numbers.h"
#include "documents/order_form_generator.h"
#include "platform/errors.h"

namespace {
constexpr quint32 kSeed = 20070115;
constexpr qlonglong kGoodsCodeMax = 999999;  // the goods-code counter starts again at 1 after it
constexpr int kCorpCodeMax = 99999;

const QStringList kSurnames{"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "何", "梁"};
const QStringList kGiven{"建华", "丽", "海", "志强", "晓明", "玉兰", "德华", "淑芬", "国平", "少娟"};
const QStringList kRegions{"广州", "深圳", "佛山", "东莞", "珠海", "中山"};
const QStringList kPlaces{"海景", "金陵", "锦江", "白云", "东方", "皇冠", "明珠", "友谊", "碧桂", "翠湖"};
const QStringList kCustomerKinds{"大酒楼", "酒店", "花园", "装饰公司", "建筑工程公司", "物业管理处"};
const QStringList kStreets{"人民路", "中山路", "解放大道", "建设路", "滨江路", "体育西路"};
const QStringList kHeadRemarks{"尾款交货时结清", "加急，月底前交货", "含安装",
                               "客户自提",       "分两批送货",       "送货前电话联系"};
const QStringList kWorkRemarks{"加急", "按样品做", "先做样窗", "型材加厚"};
const QStringList kShipmentRemarks{"轻放", "送到工地", "包装加固"};
const QStringList kFittings{"加长", "红色 加长", "配钥匙3把", "不锈钢", "防盗"};
const QStringList kGlassTechnics{"磨砂", "丝印", "钢化", "夹丝"};
const QStringList kDiJiao{"30mm", "50mm", "80mm"};

QString pick(QRandomGenerator& r, const QStringList& list) {
    return list[int(r.bounded(list.size()))];
}

template <typename T>
const T& pickOf(QRandomGenerator& r, const QVector<T>& list) {
    return list[int(r.bounded(int(list.size())))];
}

QString person(QRandomGenerator& r) {
    return pick(r, kSurnames) + pick(r, kGiven);
}

QString mobile(QRandomGenerator& r) {
    return QStringLiteral("13%1").arg(r.bounded(100000000, 999999999));
}

double money(double v) {
    return roundHalfAwayFromZero(v, 2);
}

void bindAll(QSqlQuery& q, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) {
        q.bindValue(i, values[i]);
    }
}

// A goods name of the code list with its defaults.
struct GoodsName {
    qlonglong value;
    QString size;
    QVariant unit;  // a value of the unit list, or null
    double price;
};

// The values of the code lists of the order rows, as the generator reads
// them: the StatusValue that is a plain number, each value once.
struct CodeLists {
    QVector<GoodsName> names;
    QHash<QString, QVector<qlonglong>> values;  // by lower-case field name
    QVector<qlonglong> of(const char* field) const { return values.value(QString::fromLatin1(field)); }
};

CodeLists readCodeLists(Database& db) {
    CodeLists lists;
    QHash<QString, QSet<qlonglong>> seen;
    QSqlQuery q = db.query(
        "select h.FieldName, d.StatusValue, d.blank1_Str, d.blank2_Str, d.blank3_Int "
        "from Sys_Status_Describe d join Sys_Status_Describe_head h on d.ParamentName = h.paramentname "
        "where lower(h.TableName) = 'dusmere_order_form_detail' order by d.id");
    while (q.next()) {
        const QString field = q.value(0).toString().toLower();
        const QString text = q.value(1).toString().trimmed();
        static const QRegularExpression plainNumber(QStringLiteral("^[0-9]{1,9}$"));
        if (!plainNumber.match(text).hasMatch()) {
            continue;
        }
        const qlonglong value = text.toLongLong();
        if (seen[field].contains(value)) {
            continue;
        }
        seen[field].insert(value);
        lists.values[field].append(value);
        if (field == "goods_name") {
            bool unitOk = false;
            const qlonglong unit = q.value(3).toString().trimmed().toLongLong(&unitOk);
            lists.names.append({value, q.value(2).toString(), unitOk ? QVariant(unit) : QVariant(),
                                q.value(4).isNull() ? 0.0 : q.value(4).toDouble()});
        }
    }
    return lists;
}

// Every goods row takes a goods name and a unit from the lists.
void requireNamesAndUnits(const CodeLists& lists) {
    if (lists.names.isEmpty() || lists.of("goods_unit").isEmpty()) {
        throw UserError(QStringLiteral("代码表[货品名称]或[计量单位]没有可用的值，无法生成示例收据"));
    }
}

struct Customer {
    QString code;
    QString name;
    QString boss;
    QString phone;   // the mobile, else the telephone, as the order takes it
    QString mobile;  // what a shipment form takes
};

// customer_provider rows in groups under the top group, with codes from
// the counter that Client and Provider share; the counter is left at the
// last code issued.
int makeCustomers(Database& db, QRandomGenerator& r, int count) {
    QVariant root = db.scalar("select min(id) from customer_group where Parent_id = -1");
    if (root.isNull()) {
        db.execute(
            "insert into customer_group (Class_name, Parent_id, ico_no, CorpType) values ('全部客户', -1, 0, 0)");
        root = db.scalar("select max(id) from customer_group");
    }
    QVector<qlonglong> groups;
    for (const QString& region : kRegions) {
        db.execute("insert into customer_group (Class_name, Parent_id, ico_no, CorpType) values (:n, :p, 0, 1)",
                   {{"n", region + QStringLiteral("客户")}, {"p", root}});
        groups.append(db.scalar("select max(id) from customer_group").toLongLong());
    }
    QSet<QString> used;
    QSqlQuery all = db.query(
        "select corp_code from Client union select corp_code from Provider union select corp_code from "
        "customer_provider");
    while (all.next()) {
        used.insert(all.value(0).toString());
    }
    int next = db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='customer_provider'").toInt();
    auto issue = [&]() {
        for (int tries = 0; tries < kCorpCodeMax; ++tries) {
            next = next >= kCorpCodeMax ? 1 : next + 1;
            const QString code = QStringLiteral("%1").arg(next, 5, 10, QChar('0'));
            if (!used.contains(code)) {
                used.insert(code);
                return code;
            }
        }
        throw UserError(QStringLiteral("客户编号已用完，不能再生成示例客户"));
    };
    const auto insert = db.prepared(
        "insert into customer_provider (corp_code, Corp_name, boss_name, Boss_mobile, Corp_address, Corp_telephone, "
        "Customer_Group, remark) values (?, ?, ?, ?, ?, ?, ?, ?)");
    QString last;
    for (int i = 0; i < count; ++i) {
        const int region = int(r.bounded(kRegions.size()));
        last = issue();
        bindAll(*insert, {last, kRegions[region] + pick(r, kPlaces) + pick(r, kCustomerKinds), person(r),
                          r.bounded(8) == 0 ? QVariant() : QVariant(mobile(r)),
                          QStringLiteral("%1市%2%3号").arg(kRegions[region], pick(r, kStreets)).arg(r.bounded(1, 999)),
                          QStringLiteral("0%1-%2").arg(20 + region).arg(r.bounded(10000000, 99999999)), groups[region],
                          i % 9 == 0 ? QVariant(QStringLiteral("老客户")) : QVariant()});
        db.runBound(*insert);
    }
    if (!last.isEmpty()) {
        db.execute("update Sys_ID_Autoincrement set CurrID=:c where tablename='customer_provider'", {{"c", last}});
    }
    return count;
}

QList<Customer> readCustomers(Database& db) {
    QList<Customer> out;
    QSet<QString> codes;
    // A code held twice counts by its earliest record, as the order and the
    // shipment form take it.
    QSqlQuery q = db.query(
        "select corp_code, Corp_name, boss_name, Boss_mobile, Corp_telephone from customer_provider "
        "where corp_code is not null and corp_code <> '' order by id");
    while (q.next()) {
        const QString code = q.value(0).toString();
        if (codes.contains(code)) {
            continue;
        }
        codes.insert(code);
        const QString mobileNo = q.value(3).toString();
        out.append({code, q.value(1).toString().left(50), q.value(2).toString().left(30),
                    (mobileNo.trimmed().isEmpty() ? q.value(4).toString() : mobileNo).left(50), mobileNo});
    }
    return out;
}

// A larger page cache for an embedded book while the demo writes: one
// transaction of a large book otherwise pushes its pages out to the log
// again and again (a 50,000-order book takes half the time with it). The
// connection's own size comes back afterwards; should that fail, the
// demo's own outcome is what the caller hears of.
class LargerPageCache {
public:
    explicit LargerPageCache(Database& db) : m_db(db) {
        if (db.isAccess()) {
            m_pages = db.scalar("PRAGMA cache_size");
            db.query("PRAGMA cache_size=-65536");  // 64 MB
        }
    }
    ~LargerPageCache() {
        if (!m_pages.isValid()) {
            return;
        }
        try {
            m_db.query(QStringLiteral("PRAGMA cache_size=%1").arg(m_pages.toLongLong()));
        } catch (const std::exception&) {
        }
    }
    LargerPageCache(const LargerPageCache&) = delete;
    LargerPageCache& operator=(const LargerPageCache&) = delete;

private:
    Database& m_db;
    QVariant m_pages;
};

// One goods row as it is written, with what its forms need.
struct Row {
    QString goodsCode;
    QVariant series;
    qlonglong id = 0;
};

}  // namespace

void DemoOrders::requireCodeLists(Database& db) {
    requireNamesAndUnits(readCodeLists(db));
}

DemoOrders::Made DemoOrders::fill(AppContext& context, int count) {
    Made made;
    if (count <= 0) {
        return made;
    }
    Database& db = context.data().main();
    QRandomGenerator r(kSeed);
    const CodeLists lists = readCodeLists(db);
    requireNamesAndUnits(lists);
    const QVector<qlonglong> units = lists.of("goods_unit");
    const QVector<qlonglong> series = lists.of("goods_type");
    const QVector<qlonglong> colours = lists.of("colour");
    const QVector<qlonglong> glass = lists.of("glass_type");
    const QVector<qlonglong> locks = lists.of("lock_size");
    const QVector<qlonglong> positions = lists.of("model_lock_position");
    const QVector<qlonglong> installs = lists.of("lock_install_condition");
    const QVector<qlonglong> tracking = lists.of("goods_status");
    // Quantities of these units are measured, so they have decimals.
    QSet<qlonglong> measured;
    {
        QSqlQuery q = db.query(
            "select d.StatusValue from Sys_Status_Describe d join Sys_Status_Describe_head h on d.ParamentName = "
            "h.paramentname where lower(h.TableName) = 'dusmere_order_form_detail' and lower(h.FieldName) = "
            "'goods_unit' and d.StatusName in (:metre, :squareMetre)",
            {{"metre", QStringLiteral("米")}, {"squareMetre", QStringLiteral("平方米")}});
        while (q.next()) {
            measured.insert(q.value(0).toString().trimmed().toLongLong());
        }
    }
    const QString user =
        context.CurrentUser.UserName.isEmpty() ? QStringLiteral("超级用户") : context.CurrentUser.UserName;
    const bool returning = db.dialect().insertReturnsKey();

    const LargerPageCache cache(db);
    WriteTransaction tx(db);
    if (db.scalar("select count(*) from customer_provider").toInt() == 0) {
        made.customers = makeCustomers(db, r, kCustomers);
    }
    const QList<Customer> customers = readCustomers(db);
    DailyNumbers orderNumbers(db, "AA", "Dusmere_Order_Form_head", "Order_Form_Code");
    DailyNumbers workNumbers(db, "", "Dusmere_Work_Form_Head", "Work_Form_Code");
    bool counterOk = false;
    qlonglong goodsCode =
        db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='dusmere_order_form_detail'")
            .toString()
            .trimmed()
            .toLongLong(&counterOk);
    if (!counterOk || goodsCode < 0) {
        goodsCode = 0;
    }
    bool goodsCodesIssued = false;

    const auto insertHead = db.prepared(
        "insert into Dusmere_Order_Form_head (Order_Form_Code, corp_code, Order_Date, Send_Date, Link_man, User_name, "
        "Remark_ShipmentForm, Keyin_Date, isPigeonhole, IsDelete, isPay, PayOver_Date, earnest, preferential, "
        "telephon, Gain_Customer_Name) values (?, ?, ?, ?, ?, ?, ?, ?, 0, 0, ?, ?, ?, ?, ?, ?)");
    const auto insertRow = db.prepared(
        QStringLiteral(
            "insert into Dusmere_Order_Form_Detail (Head_Code, Goods_Code, Goods_Type, Goods_name, Colour, QTY, "
            "Goods_Unit, Model_Size, Model_DiJiao, Model_Lock_Position, Glass_Technics, Glass_Type, Glass_Type2, "
            "Lock_Size, Lock_Install_Condition, Lock_Fittings, Goods_Status, Remark_WorkForm, Remark_ShipmentForm, "
            "Price, Total_Price) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)") +
        (returning ? QStringLiteral(" returning ID") : QString()));
    const auto insertWorkHead = db.prepared(
        "insert into Dusmere_Work_Form_Head (Work_Form_Code, Order_Form_Code, KeyIn_Date, KeyIn_Person) "
        "values (?, ?, ?, ?)");
    const auto insertWorkRow =
        db.prepared("insert into Dusmere_Work_Form_Detail (head_Code, Order_Form_Code, goods_code) values (?, ?, ?)");
    const auto insertWareOutHead = db.prepared(
        "insert into Dusmere_Ware_Out_Form_Head (Ware_Out_Form_Code, KeyIn_Date, KeyIn_Person) values (?, ?, ?)");
    const auto insertWareOutRow =
        db.prepared("insert into Dusmere_Ware_Out_Form_Detail (head_code, DetailNames, Fittings) values (?, ?, ?)");
    const auto insertShipmentHead = db.prepared(
        "insert into Dusmere_Shipment_Form_Head (Shipment_Form_Code, KeyIn_Date, KeyIn_Person, "
        "RecivePerson_Telephone) values (?, ?, ?, ?)");
    const auto insertShipmentRow =
        db.prepared("insert into Dusmere_Shipment_Form_Detail (goods_id, head_code, goods_code) values (?, ?, ?)");

    const QDate today = context.clock().today();
    const QDate first = today.addYears(-10);
    const qint64 span = first.daysTo(today);
    QList<Row> rows;
    for (int done = 0; done < count; ++done) {
        // Evenly spread: the first ten years ago, the last today.
        const QDate day = first.addDays(count == 1 ? span : span * done / (count - 1));
        const QString code = orderNumbers.next(day);
        const QVariant dayValue = db.toDbValue(day.startOfDay());
        const qint64 age = day.daysTo(today);

        // The goods rows: mostly a few, some long orders; most rows of one
        // order share its series and colour.
        const int rowCount = qMin(kMaxRows, kMinRows + int(29 * std::pow(r.generateDouble(), 2.4)));
        const QVariant mainSeries = series.isEmpty() ? QVariant() : QVariant(pickOf(r, series));
        const QVariant mainColour = colours.isEmpty() ? QVariant() : QVariant(pickOf(r, colours));
        rows.clear();
        double goodsSum = 0;
        for (int n = 0; n < rowCount; ++n) {
            const GoodsName& name = pickOf(r, lists.names);
            QVariant unit =
                name.unit.isValid() && units.contains(name.unit.toLongLong()) ? name.unit : QVariant(pickOf(r, units));
            if (r.bounded(12) == 0) {
                unit = pickOf(r, units);
            }
            double qty = 1 + r.bounded(12);
            if (measured.contains(unit.toLongLong())) {
                qty = (50 + r.bounded(2500)) / 100.0;  // 0.50 to 25.49
            } else if (r.bounded(15) == 0) {
                qty += 0.5;
            }
            const double price = name.price > 0 ? money(name.price * (85 + r.bounded(36)) / 100.0)
                                                : money((10000 + r.bounded(290000)) / 100.0);
            const double total = money(price * qty);
            goodsSum += total;
            QVariant rowSeries = mainSeries;
            const int seriesRoll = int(r.bounded(20));
            if (seriesRoll == 0) {
                rowSeries = QVariant();  // a row outside every series
            } else if (seriesRoll < 5 && !series.isEmpty()) {
                rowSeries = pickOf(r, series);
            }
            const QVariant colour = r.bounded(6) == 0 && !colours.isEmpty() ? QVariant(pickOf(r, colours)) : mainColour;
            const bool withLock = !locks.isEmpty() && r.bounded(5) < 2;
            const QVariant lock = withLock ? QVariant(pickOf(r, locks)) : QVariant();
            const QVariant fittings = withLock && r.bounded(3) == 0 ? QVariant(pick(r, kFittings)) : QVariant();
            const QVariant position = withLock && !positions.isEmpty() ? QVariant(pickOf(r, positions)) : QVariant();
            const QVariant install = withLock && !installs.isEmpty() ? QVariant(pickOf(r, installs)) : QVariant();
            const QVariant glassType = !glass.isEmpty() && r.bounded(4) != 0 ? QVariant(pickOf(r, glass)) : QVariant();
            const QVariant glassType2 =
                glassType.isValid() && r.bounded(6) == 0 ? QVariant(pickOf(r, glass)) : QVariant();
            // Goods of orders some months old have gone out; the newer are
            // anywhere on their way.
            QVariant status;
            if (!tracking.isEmpty()) {
                status = age > 60 ? tracking.last() : pickOf(r, tracking);
            }
            goodsCode = goodsCode >= kGoodsCodeMax ? 1 : goodsCode + 1;
            goodsCodesIssued = true;
            const QString goods = QString::number(goodsCode);
            const QString size =
                r.bounded(4) == 0 || name.size.isEmpty()
                    ? QStringLiteral("%1*%2").arg(600 + 50 * r.bounded(40)).arg(900 + 50 * r.bounded(30))
                    : name.size;
            bindAll(*insertRow, {code,
                                 goods,
                                 rowSeries,
                                 name.value,
                                 colour,
                                 qty,
                                 unit,
                                 size,
                                 r.bounded(5) == 0 ? QVariant(pick(r, kDiJiao)) : QVariant(),
                                 position,
                                 r.bounded(6) == 0 ? QVariant(pick(r, kGlassTechnics)) : QVariant(),
                                 glassType,
                                 glassType2,
                                 lock,
                                 install,
                                 fittings,
                                 status,
                                 r.bounded(8) == 0 ? QVariant(pick(r, kWorkRemarks)) : QVariant(),
                                 r.bounded(10) == 0 ? QVariant(pick(r, kShipmentRemarks)) : QVariant(),
                                 price,
                                 total});
            db.runBound(*insertRow);
            Row row{goods, rowSeries, 0};
            if (returning) {
                if (insertRow->next()) {
                    row.id = insertRow->value(0).toLongLong();
                }
            } else {
                row.id = insertRow->lastInsertId().toLongLong();
            }
            insertRow->finish();
            rows.append(row);
        }
        made.rows += rowCount;

        // The head, with the customer's particulars as the customer list
        // fills them, or a name typed in.
        QString corpCode = QStringLiteral("");
        QString customerName;
        QString linkMan;
        QString phone;
        QString receiverMobile = QStringLiteral("");
        if (!customers.isEmpty() && r.bounded(10) < 8) {
            const Customer& c = customers[int(r.bounded(int(customers.size())))];
            corpCode = c.code;
            customerName = c.name;
            linkMan = c.boss;
            phone = c.phone;
            receiverMobile = c.mobile.isNull() ? QStringLiteral("") : c.mobile;
        } else {
            customerName = pick(r, kPlaces) + pick(r, kCustomerKinds);
            linkMan = person(r);
            phone = mobile(r);
        }
        const QDate sendDay = day.addDays(7 + r.bounded(24));
        const double deposit = r.bounded(10) < 6 ? qMax(100.0, std::round(goodsSum * 0.003) * 100) : 0.0;
        const double discount = r.bounded(10) == 0 ? money(std::fmod(goodsSum, 10.0)) : 0.0;
        const bool paid = sendDay.daysTo(today) > 30 && r.bounded(10) != 0;
        const QDate paidDay = qMin(today, sendDay.addDays(r.bounded(30)));
        bindAll(*insertHead,
                {code, corpCode, dayValue, db.toDbValue(sendDay.startOfDay()), linkMan, user,
                 r.bounded(5) == 0 ? QVariant(pick(r, kHeadRemarks)) : QVariant(), dayValue, paid ? 1 : 0,
                 paid ? db.toDbValue(paidDay.startOfDay()) : QVariant(), deposit > 0 ? QVariant(deposit) : QVariant(),
                 discount > 0 ? QVariant(discount) : QVariant(), phone, customerName});
        db.runBound(*insertHead);
        ++made.orders;

        // The forms made from most orders, a little after the order was
        // taken, as the list's three commands make them.
        const int roll = int(r.bounded(100));
        if (roll >= 87) {
            continue;
        }
        const QVariant madeAt = db.toDbValue(day.startOfDay().addSecs(9 * 3600 + r.bounded(8 * 3600)));
        QList<QVariant> series;
        for (const auto& row : rows) {
            series.append(row.series);
        }
        const QList<QList<int>> forms = OrderFormGenerator::workFormGroups(series);
        for (const QList<int>& form : forms) {
            const QString workCode = workNumbers.next(day);
            bindAll(*insertWorkHead, {workCode, code, madeAt, user});
            db.runBound(*insertWorkHead);
            for (int i : form) {
                bindAll(*insertWorkRow, {workCode, code, rows[i].goodsCode});
                db.runBound(*insertWorkRow);
            }
            ++made.workForms;
        }
        if (roll >= 80) {
            continue;  // work forms only, so far
        }
        bindAll(*insertWareOutHead, {code, madeAt, user});
        db.runBound(*insertWareOutHead);
        bindAll(*insertWareOutRow,
                {code, OrderFormGenerator::goodsSummary(db, code), OrderFormGenerator::lockSummary(db, code)});
        db.runBound(*insertWareOutRow);
        ++made.wareOutForms;
        bindAll(*insertShipmentHead, {code, madeAt, user, receiverMobile});
        db.runBound(*insertShipmentHead);
        for (const Row& row : rows) {
            bindAll(*insertShipmentRow, {QString::number(row.id), code, row.goodsCode});
            db.runBound(*insertShipmentRow);
        }
        ++made.shipmentForms;
    }

    // The program's next numbers follow the demo's.
    orderNumbers.settleCounter(db, today);
    workNumbers.settleCounter(db, today);
    if (goodsCodesIssued) {
        db.execute("update Sys_ID_Autoincrement set CurrID=:c where tablename='dusmere_order_form_detail'",
                   {{"c", QString::number(goodsCode)}});
    }
    NameInitials::fillMissing(db, "customer_provider");
    tx.commit();
    return made;
}
