#include "data/order_form_revision.h"

#include "data/database.h"
#include "data/derived_forms.h"

QString OrderFormRevision::formNoteColumn(const QString& form, const QString& order) {
    return QStringLiteral(
               "CASE WHEN COALESCE(%1.Order_Revision, 0) < COALESCE(%2.Revision, 0) THEN '%3' ELSE '' END"
               " AS Forms_Note")
        .arg(form, order, staleText());
}

QString OrderFormRevision::orderNoteColumn(const QString& order) {
    // The orders with a stale form are found once, in one pass over the
    // forms, and each order is looked up among them: a list of every order
    // then costs no lookups per order and form kind.
    QStringList stale;
    for (const DerivedFormTables& t : DerivedFormTables::all()) {
        stale << QStringLiteral(
                     "SELECT s.%2 FROM %1 AS s JOIN Dusmere_Order_Form_head AS so ON so.Order_Form_Code = s.%2"
                     " WHERE COALESCE(s.Order_Revision, 0) < COALESCE(so.Revision, 0)")
                     .arg(t.head, t.orderCode);
    }
    return QStringLiteral("CASE WHEN %1.Order_Form_Code IN (%2) THEN '%3' ELSE '' END AS Forms_Note")
        .arg(order, stale.join(QStringLiteral(" UNION ALL ")), staleText());
}

QString OrderFormRevision::revisionOf(const QString& orderCodeParameter) {
    return QStringLiteral("(SELECT COALESCE(Revision, 0) FROM Dusmere_Order_Form_head WHERE Order_Form_Code = :%1)")
        .arg(orderCodeParameter);
}

bool OrderFormRevision::hasStaleForms(Database& db, const QString& orderCode) {
    QStringList stale;
    for (const DerivedFormTables& t : DerivedFormTables::all()) {
        stale << QStringLiteral(
                     "EXISTS (SELECT 1 FROM %1 AS s WHERE s.%2 = h.Order_Form_Code"
                     " AND COALESCE(s.Order_Revision, 0) < COALESCE(h.Revision, 0))")
                     .arg(t.head, t.orderCode);
    }
    return db.scalar(QStringLiteral("SELECT CASE WHEN %1 THEN 1 ELSE 0 END FROM Dusmere_Order_Form_head AS h "
                                    "WHERE h.Order_Form_Code = :code")
                         .arg(stale.join(QStringLiteral(" OR "))),
                     {{"code", orderCode}})
               .toInt() == 1;
}
