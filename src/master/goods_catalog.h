#pragma once

#include <QMap>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

#include "data/dataset.h"
#include "data/lookup_list.h"
#include "master/grouped_directory.h"

class AppContext;
class Prompter;

// The rules of the goods list: the class tree (goods only in leaf classes),
// the goods of the focused class (the root lists all), new goods with
// their code, deleting goods with their picture files, moving goods and
// classes, the default total, and the pick list for the quotation editor.
class GoodsCatalog {
public:
    explicit GoodsCatalog(AppContext& context);

    void open();
    GroupedDirectory& groupedDirectory() { return m_directory; }
    Dataset& classes() { return m_directory.groups(); }
    Dataset& goods() { return m_directory.records(); }
    std::shared_ptr<LookupList> units() const { return m_units; }
    std::shared_ptr<LookupList> suppliers() const { return m_suppliers; }
    void reloadLookups();

    QVariant rootId() const { return m_directory.rootId(); }
    QVariant focusedClass() const { return m_directory.focused(); }
    void focusClass(const QVariant& id) { m_directory.focus(id); }
    bool isRoot(const QVariant& id) const { return m_directory.isRoot(id); }
    bool hasChildClasses(const QVariant& id) const { return m_directory.hasChildGroups(id); }
    bool holdsGoods(const QVariant& id) { return m_directory.holdsRecords(id); }
    static QStringList searchFields() { return {"code", "Goods_name", "Corp_Goods_Code", "Name_Initials"}; }

    bool addGoods();
    // Fills the code, the user and the times of a new goods row.
    void startNewGoods();
    bool deleteGoods(const QList<int>& rows);

    // The class editor: OK keeps the class row's edit, Cancel drops it.
    std::function<bool(Dataset& classes)> editClass;
    bool addClass();
    bool editFocusedClass();
    bool deleteClass() { return m_directory.deleteGroup(); }
    bool canDropGoodsOn(const QVariant& cls) const { return m_directory.canDropRecordsOn(cls); }
    bool moveGoods(const QList<QVariant>& ids, const QVariant& cls) { return m_directory.moveRecords(ids, cls); }
    bool canDropClassOn(const QVariant& cls, const QVariant& target) { return m_directory.canDropGroupOn(cls, target); }
    bool moveClass(const QVariant& cls, const QVariant& target) { return m_directory.moveGroup(cls, target); }

    // Pictures: the file of a goods row, or empty.
    QString pictureFile(int row) const;
    // The picture viewer's title and the proposed file name for the
    // current goods.
    QString pictureTitle() const;
    QString pictureSaveName() const;

    // The pick list: code -> name, shown as "code=name" sorted by code.
    void addToPickList(const QList<int>& rows);
    void removeFromPickList(const QStringList& codes);
    QStringList pickLines() const;
    QStringList pickedCodes() const { return m_picked.keys(); }

    // The statements of the unit and supplier lookups: code, then the text
    // shown (a supplier as "company(person)"), then extras.
    static QString unitLookupSql() {
        return QStringLiteral("select unit_code, Unit_name from unit order by unit_code");
    }
    static QString supplierLookupSql() {
        return QStringLiteral(
            "select Corp_code, COALESCE(provider_Corp_Name, '') || '(' || COALESCE(provider_name, '') || ')', "
            "provider_Corp_Name, provider_name from Provider order by Corp_code");
    }

private:
    static QString usedGoodsRefusal();
    // The quotations whose lines name these goods, a line per goods
    // ("SP00000001: BJ…、BJ…"); empty when none does.
    QString quotationsNaming(const QVariantList& codes) const;
    // Locks the goods rows of these codes until the transaction ends (a
    // server; an embedded book's write already stands alone).
    void lockGoodsRows(QVariantList codes);
    bool runClassEditor(Dataset& classes) const { return editClass ? editClass(classes) : false; }

    AppContext& m_context;
    Prompter& m_prompter;
    GroupedDirectory m_directory;
    std::shared_ptr<LookupList> m_units;
    std::shared_ptr<LookupList> m_suppliers;
    QMap<QString, QString> m_picked;
    bool m_filling = false;
};
