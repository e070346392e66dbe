#include "reports/receivable_party.h"

#include <QDateTime>
#include <QSqlQuery>
#include <cmath>

#include "data/database.h"
#include "platform/errors.h"

QString ReceivableParty::displayName(const QString& recordName, const QString& clientNo, const QString& typedName) {
    if (!clientNo.isEmpty()) {
        return recordName.isEmpty() ? clientNo : recordName;
    }
    if (typedName.isEmpty()) {
        return QStringLiteral("（未填客户）");
    }
    return typedName + QStringLiteral("（未建档）");
}

ReceivableParty ReceivableParty::ofRecord(Database& db, const QString& clientNo) {
    ReceivableParty p;
    if (clientNo.isEmpty()) {
        return p;
    }
    QSqlQuery q = db.query(QStringLiteral("select Corp_code, Linkman_name, Corp_name, LinkMan_Telephone, "
                                          "LinkMan_mobile, corp_Telephone, Corp_address from Client "
                                          "where Corp_code=:code"),
                           {{"code", clientNo}});
    if (!q.next()) {
        return p;
    }
    p.clientNo = q.value(0).toString();
    p.name = displayName(q.value(1).toString().trimmed(), p.clientNo, QString());
    p.corpName = q.value(2).toString();
    for (int c : {3, 4, 5}) {
        if (p.telephone.isEmpty()) {
            p.telephone = q.value(c).toString().trimmed();
        }
    }
    p.address = q.value(6).toString();
    return p;
}

ReceivableParty ReceivableParty::find(Database& db, const QString& codeOrName) {
    ReceivableParty p = ofRecord(db, codeOrName);
    if (p.hasRecord()) {
        return p;
    }
    // A typed name counts only where a quotation carries it without a
    // record of its own.
    QVariantMap params{{"name", codeOrName}};
    const QString sql = QStringLiteral("select count(*) from Quotation_Head h ") + partyJoin() +
                        QStringLiteral(" where c.Corp_code is null and h.Add_ClientName=:name");
    if (codeOrName.isEmpty() || db.scalar(sql, params).toInt() == 0) {
        throw UserError(QStringLiteral("找不到客户[%1]").arg(codeOrName));
    }
    p.typedName = codeOrName;
    p.name = displayName(QString(), QString(), codeOrName);
    return p;
}

QString ReceivableParty::partyJoin() {
    return QStringLiteral("left join Client c on c.Corp_code=h.ClientNo and h.ClientNo<>''");
}

QString ReceivableParty::partyColumns() {
    return QStringLiteral(
        "c.Corp_code as PartyCode,"
        "case when c.Corp_code is null then coalesce(h.Add_ClientName,'') else '' end as PartyTyped,"
        "c.Linkman_name as PartyRecordName");
}

QString ReceivableParty::condition(QVariantMap* params) const {
    if (hasRecord()) {
        params->insert(QStringLiteral("partycode"), clientNo);
        return QStringLiteral("h.ClientNo=:partycode and c.Corp_code is not null");
    }
    // A quotation without a name at all has a null one.
    if (typedName.isEmpty()) {
        return QStringLiteral("c.Corp_code is null and coalesce(h.Add_ClientName,'')=''");
    }
    params->insert(QStringLiteral("partyname"), typedName);
    return QStringLiteral("c.Corp_code is null and h.Add_ClientName=:partyname");
}

QDate receivableDay(const QVariant& value) {
    if (value.isNull()) {
        return {};
    }
    if (value.typeId() == QMetaType::QDate) {
        return value.toDate();
    }
    if (value.typeId() == QMetaType::QDateTime) {
        return value.toDateTime().date();
    }
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

qint64 receivableCents(const QVariant& value) {
    if (value.isNull()) {
        return 0;
    }
    return std::llround(value.toDouble() * 100.0);
}
