#include "data/cost_profit_right.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include "data/database.h"

QString CostProfitRight::quotationColumnsWithoutCost(Database& db, const QString& prefix) {
    QSqlQuery q = db.query(QStringLiteral("select * from Query_Quotation_Head_list where 1=0"));
    const QSqlRecord record = q.record();
    QStringList kept;
    for (int i = 0; i < record.count(); ++i) {
        const QString name = record.fieldName(i);
        if (!quotationCostColumns().contains(name, Qt::CaseInsensitive)) {
            kept << prefix + Database::checkIdentifier(name);
        }
    }
    return kept.join(QStringLiteral(", "));
}
