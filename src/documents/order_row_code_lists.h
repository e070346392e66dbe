#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

class Database;
class Dataset;

// The code lists an order form's goods rows take their coded fields from
// (goods name, unit, series, colours, glass, locks…), as the book holds
// them now. The goods-row editor checks a row against them, whichever way
// the row was filled: the window's lists, or a file olvendctl reads.
class OrderRowCodeLists {
public:
    explicit OrderRowCodeLists(Database& db);

    // The refusal for the first of `fields` (in their order) whose value in
    // the current row of `rows` its list does not offer; empty when each is
    // offered, empty or has no list. The goods name and unit are compared as
    // the texts the list holds, the other fields as the numbers it codes;
    // the second glass is chosen from the glass list.
    QString refusal(const Dataset& rows, const QStringList& fields) const;
    // Whether `field` has a code list that offers `value`.
    bool offers(const QString& field, const QVariant& value) const;

private:
    struct List {
        QString name;
        QSet<qlonglong> values;
        QSet<QString> texts;
    };
    QHash<QString, List> m_lists;
};
