#pragma once

#include <QMap>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

#include "data/dataset.h"
#include "data/lookup_list.h"

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
    Dataset& classes() { return m_classes; }
    Dataset& goods() { return m_goods; }
    std::shared_ptr<LookupList> units() const { return m_units; }
    std::shared_ptr<LookupList> suppliers() const { return m_suppliers; }
    void reloadLookups();

    QVariant rootId() const;
    QVariant focusedClass() const { return m_focused; }
    void focusClass(const QVariant& id);
    bool isRoot(const QVariant& id) const;
    bool hasChildClasses(const QVariant& id) const;
    bool holdsGoods(const QVariant& id);
    static QStringList searchFields() { return {"code", "Goods_name", "Corp_Goods_Code"}; }

    bool addGoods();
    // Fills the code, the user and the times of a new goods row.
    void startNewGoods();
    bool deleteGoods(const QList<int>& rows);

    // The class editor: OK keeps the class row's edit, Cancel drops it.
    std::function<bool(Dataset& classes)> editClass;
    bool addClass();
    bool editFocusedClass();
    bool deleteClass();
    bool canDropGoodsOn(const QVariant& cls) const;
    bool moveGoods(const QList<QVariant>& ids, const QVariant& cls);
    bool canDropClassOn(const QVariant& cls, const QVariant& target);
    bool moveClass(const QVariant& cls, const QVariant& target);

    // Pictures: the file of a goods row, or empty.
    QString pictureFile(int row) const;

    // The pick list: code -> name, shown as "code=name" sorted by code.
    void addToPickList(const QList<int>& rows);
    void removeFromPickList(const QStringList& codes);
    QStringList pickLines() const;
    QStringList pickedCodes() const { return m_picked.keys(); }

private:
    int classRow(const QVariant& id) const;
    bool requireFocusedClass();
    void reloadGoods();

    AppContext& m_context;
    Prompter& m_prompter;
    Dataset m_classes;
    Dataset m_goods;
    std::shared_ptr<LookupList> m_units;
    std::shared_ptr<LookupList> m_suppliers;
    QVariant m_focused;
    QMap<QString, QString> m_picked;
    bool m_filling = false;
};
