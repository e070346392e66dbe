#include "master/goods_catalog.h"

#include <QFile>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/numbering.h"
#include "master/group_rows.h"
#include "platform/errors.h"
#include "platform/picture_file.h"
#include "platform/prompter.h"

GoodsCatalog::GoodsCatalog(AppContext& context)
    : m_context(context),
      m_prompter(context.prompter()),
      m_classes(context.data().main()),
      m_goods(context.data().main()),
      m_units(std::make_shared<LookupList>()),
      m_suppliers(std::make_shared<LookupList>()) {
    m_classes.setAutoApply(true);
    m_goods.setAutoApply(true);
    // Whoever changes a goods is recorded, with the time.
    QObject::connect(&m_goods, &Dataset::stateChanged, [this](Dataset::State s) {
        if (s == Dataset::State::Edit && !m_filling) {
            m_filling = true;
            m_goods.setValue("Keyin_person", m_context.CurrentUser.UserName);
            m_goods.setValue("Update_time", m_context.clock().now());
            m_filling = false;
        }
    });
    // The default total follows quantity and price.
    QObject::connect(&m_goods, &Dataset::fieldChanged, [this](const QString& f) {
        if (f.compare("Default_Qty", Qt::CaseInsensitive) == 0 ||
            f.compare("Default_price", Qt::CaseInsensitive) == 0) {
            m_goods.setValue("Default_TotalPrice",
                             m_goods.value("Default_Qty").toDouble() * m_goods.value("Default_price").toDouble());
        }
    });
}

void GoodsCatalog::open() {
    m_classes.openTable("goods_group", "id");
    m_goods.setUpdateTable("goods");
    reloadLookups();
    focusClass(rootId());
}

void GoodsCatalog::reloadLookups() {
    Database& db = m_context.data().main();
    m_units->load(db, "select unit_code, Unit_name from unit order by unit_code");
    m_suppliers->load(
        db,
        "select Corp_code, COALESCE(provider_Corp_Name, '') || '(' || COALESCE(provider_name, '') || ')', "
        "provider_Corp_Name, provider_name from Provider order by Corp_code");
}

QVariant GoodsCatalog::rootId() const {
    return GroupRows(m_classes).rootId();
}

int GoodsCatalog::classRow(const QVariant& id) const {
    return GroupRows(m_classes).rowOf(id);
}

bool GoodsCatalog::isRoot(const QVariant& id) const {
    return GroupRows(m_classes).isTopLevel(id);
}

bool GoodsCatalog::hasChildClasses(const QVariant& id) const {
    return GroupRows(m_classes).hasChildren(id);
}

bool GoodsCatalog::holdsGoods(const QVariant& id) {
    return m_context.data().main().scalar("select count(*) from goods where Goods_class=:c", {{"c", id}}).toInt() > 0;
}

void GoodsCatalog::reloadGoods() {
    if (isRoot(m_focused)) {
        m_goods.open("select * from goods order by code");
    } else {
        m_goods.open("select * from goods where Goods_class=:c order by code", {{"c", m_focused}});
    }
}

void GoodsCatalog::focusClass(const QVariant& id) {
    m_focused = id;
    m_classes.locate("id", id);
    reloadGoods();
}

void GoodsCatalog::startNewGoods() {
    const QString code =
        Numbering(m_context.data().main(), m_context.clock()).GetAutoIncrementID("goods", "code", false);
    m_filling = true;
    m_goods.append();
    m_goods.setValue("Goods_class", m_focused);
    m_goods.setValue("code", code);
    m_goods.setValue("Keyin_person", m_context.CurrentUser.UserName);
    m_goods.setValue("Keyin_time", m_context.clock().now());
    m_goods.setValue("Update_time", m_context.clock().now());
    m_filling = false;
}

bool GoodsCatalog::addGoods() {
    if (hasChildClasses(m_focused)) {
        m_prompter.inform(QStringLiteral("只能在没有子类的商品类别里增加商品！"));
        return false;
    }
    startNewGoods();
    return true;
}

QString GoodsCatalog::pictureFile(int row) const {
    return PictureFile::inFolder(m_context.PictureFolder, m_goods.value(row, "PicturePath").toString());
}

bool GoodsCatalog::deleteGoods(const QList<int>& rows) {
    if (rows.isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择商品进行删除"));
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
    m_goods.deleteRows(rows);
    for (const QString& f : files) {
        QFile::remove(f);
    }
    return true;
}

bool GoodsCatalog::requireFocusedClass() {
    if (!m_focused.isValid() || classRow(m_focused) < 0) {
        m_prompter.inform(QStringLiteral("请选择一个类别"));
        return false;
    }
    return true;
}

bool GoodsCatalog::addClass() {
    if (!requireFocusedClass()) {
        return false;
    }
    const QVariant parent = m_focused;
    bool move = false;
    if (m_goods.rowCount() > 0) {
        if (!m_prompter.askYesNo(
                QStringLiteral("该商品类别已含有商品记录，增加分类时，这些商品将会归类到新的分类下，要继续吗？"))) {
            return false;
        }
        // Only goods kept directly in the class move (the root lists all
        // goods but keeps few or none of its own).
        move = true;
    }
    m_classes.setAutoApply(false);
    m_classes.append();
    m_classes.setValue("Parent_id", parent);
    m_classes.setValue("ico_no", 0);
    const bool ok = editClass ? editClass(m_classes) : false;
    if (!ok || m_classes.value("Class_name").toString().trimmed().isEmpty()) {
        m_classes.cancelUpdates();
        m_classes.setAutoApply(true);
        return false;
    }
    Database& db = m_context.data().main();
    WriteTransaction tx(db);
    try {
        m_classes.applyUpdates();
    } catch (...) {
        m_classes.cancelUpdates();
        m_classes.setAutoApply(true);
        throw;
    }
    m_classes.setAutoApply(true);
    const QVariant newId = m_classes.value("id");
    if (move) {
        db.execute("update goods set Goods_class=:new where Goods_class=:old", {{"new", newId}, {"old", parent}});
    }
    tx.commit();
    focusClass(move ? newId : parent);
    return true;
}

bool GoodsCatalog::editFocusedClass() {
    if (!requireFocusedClass()) {
        return false;
    }
    m_classes.locate("id", m_focused);
    m_classes.setAutoApply(false);
    m_classes.edit();
    const bool ok = editClass ? editClass(m_classes) : false;
    if (!ok) {
        m_classes.cancelUpdates();
        m_classes.setAutoApply(true);
        return false;
    }
    m_classes.setAutoApply(true);
    m_classes.applyUpdates();
    return true;
}

bool GoodsCatalog::deleteClass() {
    if (!requireFocusedClass()) {
        return false;
    }
    if (hasChildClasses(m_focused)) {
        m_prompter.inform(
            QStringLiteral("删除该类别前，请删除该类别的所有分类，或者把这些分类移动到其他类别下再进行删除该类别！"));
        return false;
    }
    if (holdsGoods(m_focused)) {
        m_prompter.inform(QStringLiteral(
            "删除该类别前，请删除该类别里面的所有商品记录，或者把这些商品记录移动到其他类别后再删除该类别！"));
        return false;
    }
    if (isRoot(m_focused)) {
        m_prompter.inform(QStringLiteral("根目录无法删除"));
        return false;
    }
    if (!m_prompter.askYesNo(QStringLiteral("确实要删除该商品类别吗？"))) {
        return false;
    }
    const QVariant parent = GroupRows(m_classes).parentOf(m_focused);
    m_classes.locate("id", m_focused);
    m_classes.deleteCurrent();
    focusClass(parent);
    return true;
}

bool GoodsCatalog::canDropGoodsOn(const QVariant& cls) const {
    return classRow(cls) >= 0 && !hasChildClasses(cls);
}

bool GoodsCatalog::moveGoods(const QList<QVariant>& ids, const QVariant& cls) {
    if (hasChildClasses(cls)) {
        m_prompter.inform(QStringLiteral("该商品类别下面还有分类，不能归类到该商品类别下"));
        return false;
    }
    if (ids.isEmpty() || classRow(cls) < 0) {
        return false;
    }
    QVariantMap params{{"c", cls}};
    const QString list = Database::bindList(QStringLiteral("i"), ids, &params);
    m_context.data().main().execute(QStringLiteral("update goods set Goods_class=:c where id in(%1)").arg(list),
                                    params);
    reloadGoods();
    return true;
}

bool GoodsCatalog::canDropClassOn(const QVariant& cls, const QVariant& target) {
    if (isRoot(cls) || classRow(target) < 0 || cls.toString() == target.toString()) {
        return false;
    }
    return isRoot(target) || !holdsGoods(target);
}

bool GoodsCatalog::moveClass(const QVariant& cls, const QVariant& target) {
    if (!canDropClassOn(cls, target)) {
        return false;
    }
    // Never under its own subclasses.
    if (GroupRows(m_classes).isWithin(target, cls)) {
        return false;
    }
    m_classes.locate("id", cls);
    m_classes.setValue("Parent_id", target);
    m_classes.post();
    return true;
}

void GoodsCatalog::addToPickList(const QList<int>& rows) {
    for (int row : rows) {
        m_picked.insert(m_goods.value(row, "code").toString(), m_goods.value(row, "Goods_name").toString());
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
