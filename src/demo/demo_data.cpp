#include "demo/demo_data.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSqlQuery>
#include <cmath>
#include <memory>
#include <vector>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/name_initials.h"
#include "platform/errors.h"
#include "platform/picture_file.h"

namespace {
const QStringList kSurnames{"王", "李", "张", "刘", "陈", "杨", "黄", "赵",
                            "吴", "周", "徐", "孙", "马", "朱", "胡", "郭"};
const QStringList kGiven{"伟", "芳", "娜", "敏", "静", "强", "磊", "军",
                         "洋", "勇", "艳", "杰", "涛", "明", "超", "秀英"};
const QStringList kCities{"北京", "上海", "广州", "深圳", "杭州", "成都",
                          "南京", "武汉", "西安", "重庆", "迪拜", "新加坡"};
const QStringList kHotelKinds{"大酒店", "宾馆", "饭店", "度假酒店", "商务酒店", "国际酒店"};
const QStringList kStreets{"人民路", "中山路", "解放大道", "建设路", "滨江路", "体育西路", "长安街", "南京路"};
const QStringList kCountries{"中国", "阿联酋", "新加坡", "马来西亚", "泰国", "越南"};
const QStringList kClasses{"五金配件", "门窗型材", "玻璃", "锁具", "密封材料", "卫浴洁具"};
const QStringList kGoods{"不锈钢合页", "铝合金型材", "中空玻璃", "多点锁", "执手",   "滑轮", "密封条", "纱网",
                         "地弹簧",     "闭门器",     "拉手",     "门吸",   "浴室柜", "花洒", "角阀",   "地漏"};
const QStringList kSupplierKinds{"五金厂", "建材公司", "玻璃厂", "锁业公司", "贸易商行", "实业有限公司"};

QString pick(QRandomGenerator& r, const QStringList& list) {
    return list[int(r.bounded(list.size()))];
}

QString person(QRandomGenerator& r) {
    return pick(r, kSurnames) + pick(r, kGiven);
}

QString phone(QRandomGenerator& r) {
    return QStringLiteral("13%1").arg(r.bounded(100000000, 999999999));
}

// The ids of groups under the root with these names, in their order; a
// group the book does not have yet is made, so a second filling of a book
// adds to the groups of the first.
QList<int> groupsNamed(Database& db, const QString& table, const QStringList& names) {
    QList<int> ids;
    for (const QString& n : names) {
        const QVariant existing = db.scalar(
            QStringLiteral("select min(id) from %1 where Parent_id=1 and Class_name=:n").arg(table), {{"n", n}});
        if (!existing.isNull()) {
            ids << existing.toInt();
            continue;
        }
        db.query(QStringLiteral("insert into %1 (Class_name, Parent_id, ico_no%2) values (:n, 1, 0%3)")
                     .arg(table, table == "goods_group" ? QString() : QStringLiteral(", CorpType"),
                          table == "goods_group" ? QString() : QStringLiteral(", 1")),
                 {{"n", n}});
        ids << db.scalar(QStringLiteral("select max(id) from %1").arg(table)).toInt();
    }
    return ids;
}
}  // namespace

void DemoData::fill(AppContext& context, const Counts& counts) {
    Database& db = context.data().main();
    QRandomGenerator r(20061225);
    // Pictures are written under work names before the commit and take
    // their names only after it, so that a stopped fill leaves no picture
    // without its goods (and the goods almost never without their picture).
    std::vector<std::unique_ptr<QSaveFile>> pictures;
    WriteTransaction tx(db);
    int next = db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='customer_provider'").toInt();

    if (counts.customers > 0) {
        const QList<int> groups = groupsNamed(db, "Client_group", kCities);
        const std::shared_ptr<QSqlQuery> qStatement = db.prepared(
            "insert into Client (Corp_code, Linkman_name, Corp_name, China_Linkman_name, LinkMan_Telephone, "
            "Linkman_foreign_telephone, Linkman_country, Corp_address, recipients, QQ, GroupClass, remark) values "
            "(:code, :name, :hotel, :contact, :tel, :ftel, :country, :address, :recipient, :qq, :grp, :remark)");
        QSqlQuery& q = *qStatement;
        for (int i = 0; i < counts.customers; ++i) {
            const int city = int(r.bounded(kCities.size()));
            const QString name = person(r);
            db.run(q, {{"code", QStringLiteral("%1").arg(++next, 5, 10, QChar('0'))},
                       {"name", name},
                       {"hotel", kCities[city] + pick(r, kHotelKinds)},
                       {"contact", person(r)},
                       {"tel", phone(r)},
                       {"ftel", QStringLiteral("+971-4-%1").arg(r.bounded(1000000, 9999999))},
                       {"country", pick(r, kCountries)},
                       {"address",
                        QStringLiteral("%1市%2%3号").arg(kCities[city], pick(r, kStreets)).arg(r.bounded(1, 999))},
                       {"recipient", name + QStringLiteral("先生")},
                       {"qq", QString::number(r.bounded(10000000, 999999999))},
                       {"grp", groups.at(city)},
                       {"remark", i % 7 == 0 ? QStringLiteral("老客户") : QString()}});
        }
    }
    QStringList supplierCodes;
    if (counts.suppliers > 0) {
        const QList<int> groups = groupsNamed(db, "Provider_group", {"本地供应商", "外地供应商"});
        const std::shared_ptr<QSqlQuery> qStatement = db.prepared(
            "insert into Provider (Corp_code, provider_name, provider_Corp_Name, provider_Corp_Address, "
            "provider_mobile, provider_Telephone, provider_Linkman1, provider_Linkman1_Tel, GroupClass) values "
            "(:code, :name, :corp, :address, :mobile, :tel, :link, :linktel, :grp)");
        QSqlQuery& q = *qStatement;
        for (int i = 0; i < counts.suppliers; ++i) {
            const QString code = QStringLiteral("%1").arg(++next, 5, 10, QChar('0'));
            supplierCodes << code;
            db.run(q, {{"code", code},
                       {"name", person(r)},
                       {"corp", pick(r, kCities) + pick(r, kSupplierKinds)},
                       {"address", QStringLiteral("%1工业区%2号").arg(pick(r, kCities)).arg(r.bounded(1, 300))},
                       {"mobile", phone(r)},
                       {"tel", QStringLiteral("020-%1").arg(r.bounded(10000000, 99999999))},
                       {"link", person(r)},
                       {"linktel", phone(r)},
                       {"grp", groups.at(int(r.bounded(2)))}});
        }
    }
    if (supplierCodes.isEmpty()) {
        // Goods added to a book that has suppliers come from them: a goods
        // record names its supplier.
        QSqlQuery known = db.query("select Corp_code from Provider order by Corp_code");
        while (known.next()) {
            supplierCodes << known.value(0).toString();
        }
    }
    db.execute("update Sys_ID_Autoincrement set CurrID=:c where tablename='customer_provider'",
               {{"c", QStringLiteral("%1").arg(next, 5, 10, QChar('0'))}});

    if (counts.goods > 0) {
        const QList<int> classes = groupsNamed(db, "goods_group", kClasses);
        const std::shared_ptr<QSqlQuery> qStatement = db.prepared(
            "insert into goods (code, Goods_name, Goods_model, Goods_size, Goods_unit, Default_price, purchase_price, "
            "Default_Qty, Default_TotalPrice, Corp_Goods_Code, Provide_corp, Goods_class, PicturePath, remark, "
            "Keyin_person, Keyin_time, Update_time) values (:code, :name, :model, :size, :unit, :price, :cost, :qty, "
            ":total, :corpcode, :provider, :cls, :pic, :remark, :who, :time, :time)");
        QSqlQuery& q = *qStatement;
        const QDateTime now = context.clock().now();
        QDir().mkpath(context.PictureFolder);
        // Codes go on from the goods counter, so a book that has goods
        // already receives more.
        const int first =
            db.scalar("select CurrID from Sys_ID_Autoincrement where tablename='goods'").toString().mid(2).toInt() + 1;
        for (int i = 1; i <= counts.goods; ++i) {
            const QString code = QStringLiteral("SP%1").arg(first + i - 1, 8, 10, QChar('0'));
            const QString name = pick(r, kGoods);
            const double price = 5 + r.bounded(2000) / 4.0;
            const int qty = 1 + int(r.bounded(10));
            QString picture;
            if (i <= counts.pictures) {
                picture = PictureFile::nameForCode(code);
                QImage img(240, 180, QImage::Format_RGB32);
                img.fill(QColor::fromHsv(int(r.bounded(360)), 90, 230));
                QPainter p(&img);
                p.setPen(Qt::darkBlue);
                QFont f(QStringLiteral("Noto Sans CJK SC"));
                f.setPixelSize(26);
                p.setFont(f);
                p.drawText(img.rect(), Qt::AlignCenter, name + '\n' + code);
                p.end();
                auto out = std::make_unique<QSaveFile>(PictureFile::inFolder(context.PictureFolder, picture));
                if (!out->open(QIODevice::WriteOnly) || !img.save(out.get(), "JPG", 85)) {
                    throw UserError(
                        QStringLiteral("无法保存商品图片: %1").arg(QDir::toNativeSeparators(out->fileName())));
                }
                pictures.push_back(std::move(out));
            }
            db.run(q, {{"code", code},
                       {"name", name},
                       {"model", QStringLiteral("型号%1").arg(r.bounded(100, 999))},
                       {"size", QStringLiteral("%1*%2").arg(r.bounded(10, 200)).arg(r.bounded(10, 200))},
                       {"unit", QStringLiteral("UN00%1").arg(1 + r.bounded(6))},
                       {"price", price},
                       {"cost", std::round(price * 70) / 100},  // cents, as a clerk types them
                       {"qty", qty},
                       {"total", price * qty},
                       {"corpcode", QStringLiteral("C-%1").arg(r.bounded(1000, 9999))},
                       {"provider", supplierCodes.isEmpty() ? QVariant() : QVariant(pick(r, supplierCodes))},
                       {"cls", classes.at(int(r.bounded(kClasses.size())))},
                       {"pic", picture.isEmpty() ? QVariant() : QVariant(picture)},
                       {"remark", i % 5 == 0 ? QStringLiteral("热销") : QString()},
                       {"who", context.CurrentUser.UserName.isEmpty() ? QStringLiteral("超级用户")
                                                                      : context.CurrentUser.UserName},
                       {"time", now}});
        }
        db.execute("update Sys_ID_Autoincrement set CurrID=:c where tablename='goods'",
                   {{"c", QStringLiteral("SP%1").arg(first + counts.goods - 1, 8, 10, QChar('0'))}});
    }
    // The initials of the records written here (the statements above leave
    // them to be computed).
    for (const auto& [table, count] : {std::pair{"Client", counts.customers}, std::pair{"Provider", counts.suppliers},
                                       std::pair{"goods", counts.goods}}) {
        if (count > 0) {
            NameInitials::fillMissing(db, QString::fromLatin1(table));
        }
    }
    tx.commit();
    for (const auto& out : pictures) {
        if (!out->commit()) {
            throw UserError(QStringLiteral("无法保存商品图片: %1").arg(QDir::toNativeSeparators(out->fileName())));
        }
    }
}
