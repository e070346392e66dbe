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
    QStringList stale;
    for (const DerivedFormTables& t : DerivedFormTables::all()) {
        stale << QStringLiteral(
                     "EXISTS (SELECT 1 FROM %1 AS s WHERE s.%2 = %3.Order_Form_Code"
                     " AND COALESCE(s.Order_Revision, 0) < COALESCE(%3.Revision, 0))")
                     .arg(t.head, t.orderCode, order);
    }
    return QStringLiteral("CASE WHEN %1 THEN '%2' ELSE '' END AS Forms_Note")
        .arg(stale.join(QStringLiteral(" OR ")), staleText());
}

QString OrderFormRevision::revisionOf(const QString& orderCodeParameter) {
    return QStringLiteral("(SELECT COALESCE(Revision, 0) FROM Dusmere_Order_Form_head WHERE Order_Form_Code = :%1)")
        .arg(orderCodeParameter);
}

bool OrderFormRevision::hasStaleForms(Database& db, const QString& orderCode) {
    return !db.scalar(QStringLiteral("SELECT %1 FROM Dusmere_Order_Form_head AS h WHERE h.Order_Form_Code = :code")
                          .arg(orderNoteColumn()),
                      {{"code", orderCode}})
                .toString()
                .isEmpty();
}
