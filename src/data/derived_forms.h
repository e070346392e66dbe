#pragma once

#include <QList>
#include <QString>

// The forms made from an order form: work forms (one per series of its
// goods rows), the ware-out form and the shipment form. One table of their
// names and tables serves the generator, the lists, the printouts, the
// order's deletion and the note on forms made before the order changed.
enum class DerivedForm { Work, WareOut, Shipment };

struct DerivedFormTables {
    DerivedForm form;
    QString name;            // olvendctl's word: work, wareout, shipment
    QString caption;         // 工作单, 出仓单, 出货单
    QString head;            // the heads' table
    QString code;            // a head's code
    QString rows;            // the rows' table
    QString rowCode;         // a row's column naming its head
    QString orderCode;       // a head's column naming its order (the ware-out and shipment forms take the order's code)
    QString generateAction;  // the order list's command that makes them

    // The codes of the heads made from the orders `orders` names (a
    // parameter or a list of them): a subquery for the work forms, and for
    // the ware-out and shipment forms, whose heads take their order's code,
    // those codes themselves (so their rows go even where a head is gone).
    QString headCodesOf(const QString& orders) const;

    static const QList<DerivedFormTables>& all();
    static const DerivedFormTables& of(DerivedForm form);
    // The kind by olvendctl's word, or null.
    static const DerivedFormTables* named(const QString& name);
};
