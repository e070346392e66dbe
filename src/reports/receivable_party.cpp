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
    const QString notFound = QStringLiteral("找不到客户[%1]").arg(codeOrName);
    if (codeOrName.isEmpty()) {
        throw UserError(notFound);
    }
    ReceivableParty p = ofRecord(db, codeOrName);
    if (p.hasRecord()) {
        return p;
    }
    // "名称（未建档）", as the reports name such a customer, means the typed
    // name alone.
    const QString mark = QStringLiteral("（未建档）");
    const bool typedOnly = codeOrName.endsWith(mark) && codeOrName.size() > mark.size();
    const QString name = typedOnly ? codeOrName.chopped(mark.size()) : codeOrName;
    // A typed name counts only where a quotation in force carries it
    // without a record of its own.
    const bool typed =
        db.scalar(QStringLiteral("select count(*) from (select 1 from Quotation_Head h ") + partyJoin() +
                      QStringLiteral(" where c.Corp_code is null and h.state=1 and h.Add_ClientName=:name limit 1) t"),
                  {{"name", name}})
            .toInt() > 0;
    QStringList codes;
    if (!typedOnly) {
        QSqlQuery q =
            db.query(QStringLiteral("select Corp_code from Client where Linkman_name=:name order by Corp_code"),
                     {{"name", name}});
        while (q.next()) {
            codes << q.value(0).toString();
        }
    }
    if (codes.size() == 1 && !typed) {
        return ofRecord(db, codes.first());
    }
    if (codes.isEmpty()) {
        if (!typed) {
            throw UserError(notFound);
        }
        p.typedName = name;
        p.name = displayName(QString(), QString(), name);
        return p;
    }
    QString which = QStringLiteral("客户编号 ") + codes.join(QStringLiteral("、"));
    if (typed) {
        which += QStringLiteral("；另有未建档的订货单，写作“%1”").arg(displayName(QString(), QString(), name));
    }
    throw UserError(QStringLiteral("客户名称[%1]不唯一（%2），请填写客户编号").arg(name, which));
}

QString ReceivableParty::partyJoin() {
    return QStringLiteral("left join Client c on c.Corp_code=h.ClientNo and h.ClientNo<>''");
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
