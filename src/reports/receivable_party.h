#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class Database;

// Whom a quotation's receivable is owed by: the customer record its
// ClientNo names, or, for a quotation without one (no code, or a code no
// record has), the name typed on it. The two never mix, also where a
// record and typed quotations share a name.
struct ReceivableParty {
    QString clientNo;   // the record's code; empty for a typed name
    QString typedName;  // the typed name, for a party without a record
    QString name;       // as reports print it: "王芳" or "张三（未建档）"
    QString corpName;   // 酒店名称 of the record
    QString telephone;
    QString address;

    bool hasRecord() const { return !clientNo.isEmpty(); }
    // One text per party, distinct between a code and a typed name.
    QString key() const { return hasRecord() ? QStringLiteral("C:") + clientNo : QStringLiteral("N:") + typedName; }
    static QString displayName(const QString& recordName, const QString& clientNo, const QString& typedName);

    // The party a user names: a customer code; a record's name when one
    // record alone bears it; a name typed on quotations in force without a
    // record ("名称" or "名称（未建档）"). Throws UserError "找不到客户[…]",
    // or naming the codes when the name is not unique.
    static ReceivableParty find(Database& db, const QString& codeOrName);
    // The customer record of a code; an empty party when there is none.
    static ReceivableParty ofRecord(Database& db, const QString& clientNo);

    // The condition on the quotation head `h` (joined to Client `c` by
    // partyJoin()) that keeps this party's quotations.
    QString condition(QVariantMap* params) const;
    // "left join Client c ..." matching a quotation's code to its record.
    static QString partyJoin();
};

// The day part of a stored date or date-time (SQLite gives text).
QDate receivableDay(const QVariant& value);
// An amount as whole cents, so that sums never drift.
qint64 receivableCents(const QVariant& value);
inline double centsToAmount(qint64 cents) {
    return static_cast<double>(cents) / 100.0;
}
