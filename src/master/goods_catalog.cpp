#include "master/goods_catalog.h"

#include <algorithm>

#include <QFile>
#include <QMap>
#include <QSqlQuery>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/dataset.h"
#include "data/numbering.h"
#include "platform/picture_file.h"
#include "platform/prompter.h"

namespace {
GroupedDirectorySetup goodsClasses(std::function<QVariantMap()> movedStamp) {
    GroupedDirectorySetup s;
    // Goods record who changed them last and when, moves included.
    s.movedRecordStamp = std::move(movedStamp);
    s.groupTable = QStringLiteral("goods_group");
    s.recordTable = QStringLiteral("goods");
    s.groupField = QStringLiteral("Goods_class");
    s.recordOrder = QStringLiteral("code");
    s.recordsFirstRows = 300;
    // The root lists all goods but keeps few or none of its own; adding a
    // class there still asks, and only the goods kept directly move.
    s.rootOffersMove = true;
    s.addRecordRefused = QStringLiteral("只能在没有子类的商品类别里增加商品！");
    s.moveIntoNewGroup =
        QStringLiteral("该商品类别已含有商品记录，增加分类时，这些商品将会归类到新的分类下，要继续吗？");
    s.deleteRootRefused = QStringLiteral("根目录无法删除");
    s.deleteHasGroups =
        QStringLiteral("删除该类别前，请删除该类别的所有分类，或者把这些分类移动到其他类别下再进行删除该类别！");
    s.deleteHoldsRecords = QStringLiteral(
        "删除该类别前，请删除该类别里面的所有商品记录，或者把这些商品记录移动到其他类别后再删除该类别！");
    s.confirmDelete = QStringLiteral("确实要删除该商品类别吗？");
    s.moveRecordsRefused = QStringLiteral("该商品类别下面还有分类，不能归类到该商品类别下");
    s.recordDropRefused = QStringLiteral("提示：只能把商品拖放到没有子类的商品类别中！");
    s.groupDropRefused = QStringLiteral("提示：只能把商品类别拖放到没有商品记录的类别中！");
    s.restingStatus = QStringLiteral("您的位置：基础资料 >>> 基础商品管理");
    return s;
}
}  // namespace

GoodsCatalog::GoodsCatalog(AppContext& context)
    : m_context(context),
      m_prompter(context.prompter()),
      m_directory(context.data().main(), context.prompter(), goodsClasses([&context] {
                      return QVariantMap{{QStringLiteral("Keyin_person"), context.CurrentUser.UserName},
                                         {QStringLiteral("Update_time"), context.clock().now()}};
                  })),
      m_units(std::make_shared<LookupList>()),
      m_suppliers(std::make_shared<LookupList>()) {
    Dataset& g = goods();
    g.setAutoApply(true);
    // Whoever changes a goods is recorded, with the time.
    QObject::connect(&g, &Dataset::stateChanged, [this, &g](Dataset::State s) {
        if (s == Dataset::State::Edit && !m_filling) {
            m_filling = true;
            g.setValue("Keyin_person", m_context.CurrentUser.UserName);
            g.setValue("Update_time", m_context.clock().now());
            m_filling = false;
        }
    });
    // The default total follows quantity and price.
    QObject::connect(&g, &Dataset::fieldChanged, [&g](const QString& f) {
        if (f.compare("Default_Qty", Qt::CaseInsensitive) == 0 ||
            f.compare("Default_price", Qt::CaseInsensitive) == 0) {
            g.setValue("Default_TotalPrice", g.value("Default_Qty").toDouble() * g.value("Default_price").toDouble());
        }
    });
}

void GoodsCatalog::open() {
    // The unit and supplier lists first: on a server, a statement after the
    // goods list opened would wait for the list's count.
    reloadLookups();
    m_directory.open();
    // The names messages give the goods' fields, as the editor labels them.
    Dataset& g = goods();
    for (const auto& [field, caption] : QList<QPair<const char*, const char*>>{{"code", "商品编码"},
                                                                               {"Corp_Goods_Code", "厂家商品编码"},
                                                                               {"Goods_name", "商品名称"},
                                                                               {"Goods_size", "商品规格"},
                                                                               {"Default_price", "默认单价"},
                                                                               {"Default_Qty", "默认数量"},
                                                                               {"Default_TotalPrice", "默认总金额"},
                                                                               {"purchase_price", "入货价"},
                                                                               {"Average_price", "平均价"},
                                                                               {"remark", "备注"}}) {
        if (g.fieldIndex(QString::fromLatin1(field)) >= 0) {
            g.setCaption(QString::fromLatin1(field), QString::fromUtf8(caption));
        }
    }
    g.setRecordLabelField("code");
}

void GoodsCatalog::reloadLookups() {
    Database& db = m_context.data().main();
    m_units->load(db, unitLookupSql());
    m_suppliers->load(db, supplierLookupSql());
}

void GoodsCatalog::startNewGoods() {
    const QString code =
        Numbering(m_context.data().main(), m_context.clock()).GetAutoIncrementID("goods", "code", false);
    Dataset& g = goods();
    m_filling = true;
    g.append();
    // Goods go into a class without child classes only; from any other the
    // user chooses the class in the editor.
    if (!hasChildClasses(focusedClass())) {
        g.setValue("Goods_class", focusedClass());
    }
    g.setValue("code", code);
    g.setValue("Keyin_person", m_context.CurrentUser.UserName);
    g.setValue("Keyin_time", m_context.clock().now());
    g.setValue("Update_time", m_context.clock().now());
    m_filling = false;
}

bool GoodsCatalog::addGoods() {
    if (!m_directory.canAddRecord()) {
        return false;
    }
    startNewGoods();
    return true;
}

QString GoodsCatalog::pictureFile(int row) const {
    return PictureFile::inFolder(m_context.PictureFolder, m_directory.records().value(row, "PicturePath").toString());
}

QString GoodsCatalog::pictureTitle() const {
    const Dataset& g = m_directory.records();
    return QStringLiteral("商品编码:%1 | 名称:%2 | 规格:%3 | 型号:%4")
        .arg(g.value("code").toString(), g.value("Goods_name").toString(), g.value("Goods_size").toString(),
             g.value("Goods_model").toString());
}

QString GoodsCatalog::pictureSaveName() const {
    const Dataset& g = m_directory.records();
    return g.value("code").toString() + '_' + g.value("Goods_name").toString();
}

bool GoodsCatalog::deleteGoods(const QList<int>& rows) {
    if (rows.isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择商品进行删除"));
        return false;
    }
    QVariantList codes;
    for (int row : rows) {
        codes << goods().originalValue(row, "code");
    }
    // Goods a quotation names stay: its printout and receipts show them.
    const QString uses = quotationsNaming(codes);
    if (!uses.isEmpty()) {
        m_prompter.inform(usedGoodsRefusal() + '\n' + uses);
        return false;
    }
    if (!m_prompter.askYesNo(QStringLiteral("确定要删除选中的商品吗？"))) {
        return false;
    }
    // The pictures of every deleted goods go with them.
    QStringList files;
    for (int row : rows) {
        const QString f = pictureFile(row);
        if (!f.isEmpty()) {
            files << f;
        }
    }
    try {
        Database& db = goods().database();
        WriteTransaction tx(db);
        // Checked again inside the write: a quotation saved meanwhile on
        // another workstation keeps its goods too. On a server the goods
        // rows are locked first: a quotation saving with them holds them
        // until it ends, and its lines are then seen here.
        if (!db.isAccess()) {
            lockGoodsRows(codes);
        }
        const QString usesNow = quotationsNaming(codes);
        if (!usesNow.isEmpty()) {
            throw UserError(usedGoodsRefusal() + '\n' + usesNow);
        }
        goods().deleteRows(rows);
        tx.commit();
    } catch (...) {
        // Nothing was deleted: the rows come back.
        goods().cancelUpdates();
        throw;
    }
    for (const QString& f : files) {
        QFile::remove(f);
    }
    return true;
}

QString GoodsCatalog::usedGoodsRefusal() {
    return QStringLiteral("以下商品已经被订货单使用，不能删除。如果要删除这些商品请先删除以下订货单：");
}

void GoodsCatalog::lockGoodsRows(QVariantList codes) {
    Database& db = goods().database();
    std::sort(codes.begin(), codes.end(),
              [](const QVariant& a, const QVariant& b) { return a.toString() < b.toString(); });
    for (qsizetype from = 0; from < codes.size(); from += 500) {
        QVariantMap params;
        const QString in = Database::bindList(QStringLiteral("c"), codes.mid(from, 500), &params);
        // In code order, as a quotation's save locks them.
        db.query(QStringLiteral("select code from goods where code in (%1) order by code for update").arg(in), params);
    }
}

QString GoodsCatalog::quotationsNaming(const QVariantList& codes) const {
    Database& db = const_cast<GoodsCatalog*>(this)->goods().database();
    QMap<QString, QStringList> byGoods;
    for (qsizetype from = 0; from < codes.size(); from += 500) {
        QVariantMap params;
        const QString in = Database::bindList(QStringLiteral("c"), codes.mid(from, 500), &params);
        QSqlQuery q = db.query(QStringLiteral("select distinct GoodsNo, HeadNo from Quotation_Detail where GoodsNo in "
                                              "(%1) order by GoodsNo, HeadNo")
                                   .arg(in),
                               params);
        while (q.next()) {
            byGoods[q.value(0).toString()].append(q.value(1).toString());
        }
    }
    QStringList lines;
    for (auto it = byGoods.cbegin(); it != byGoods.cend(); ++it) {
        QStringList numbers = it.value();
        const qsizetype more = numbers.size() - 10;
        if (more > 0) {
            numbers = numbers.mid(0, 10);
            numbers.append(QStringLiteral("等%1份").arg(it.value().size()));
        }
        lines.append(QStringLiteral("%1: %2").arg(it.key(), numbers.join(QStringLiteral("、"))));
    }
    return lines.join('\n');
}

bool GoodsCatalog::addClass() {
    return m_directory.addGroup([this](Dataset& classes) { return runClassEditor(classes); });
}

bool GoodsCatalog::editFocusedClass() {
    return m_directory.editGroup([this](Dataset& classes) { return runClassEditor(classes); });
}

void GoodsCatalog::addToPickList(const QList<int>& rows) {
    for (int row : rows) {
        m_picked.insert(goods().value(row, "code").toString(), goods().value(row, "Goods_name").toString());
    }
}

void GoodsCatalog::removeFromPickList(const QStringList& codes) {
    for (const QString& c : codes) {
        m_picked.remove(c);
    }
}

QStringList GoodsCatalog::pickLines() const {
    QStringList out;
    for (auto it = m_picked.cbegin(); it != m_picked.cend(); ++it) {
        out << it.key() + '=' + it.value();
    }
    return out;
}
