#pragma once

#include <QString>

class Database;

// An order counts its saves in Revision; the work, ware-out and shipment
// forms made from it remember the revision they were made from
// (Order_Revision). Forms of an earlier revision no longer show the order
// as it is: they are stale and say so until they are made again.
class OrderFormRevision {
public:
    static QString staleText() { return QStringLiteral("订单已修改，请重新生成"); }
    // A column Forms_Note for a statement that joins a form head `form` and
    // its order head `order`: the stale text, or empty.
    static QString formNoteColumn(const QString& form = QStringLiteral("f"),
                                  const QString& order = QStringLiteral("oh"));
    // A column Forms_Note for a statement over order heads `order`: the
    // stale text when any form made from the order is stale.
    static QString orderNoteColumn(const QString& order = QStringLiteral("h"));
    // The order's revision now (0 for an order never saved again).
    static QString revisionOf(const QString& orderCodeParameter);
    // Whether any form made from the order is stale.
    static bool hasStaleForms(Database& db, const QString& orderCode);
};
