#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Database;

// Finds records as a clerk types into a search box or a grid cell: by code,
// by pinyin initials of the names, by a part of a name (or telephone). The
// best matches come first: the exact code, codes that begin with the text,
// names whose initials begin with it (the customary reading before the
// others), then names that contain it; each kind by code.
class RecordFinder {
public:
    struct Setup {
        QString table;
        QString alias;
        QString code;          // the code column
        QString from;          // the table with its joins, named `alias`
        QStringList shown;     // what each match carries, the code first
        QStringList contains;  // columns searched for a part of the text
    };
    // Goods: code, name, size, unit name, sale price.
    static Setup goods();
    // Customers: code, name, establishment, country, telephone.
    static Setup customers();
    // The order forms' customers: code, name, boss, telephone, address.
    static Setup orderCustomers();

    RecordFinder(Database& db, Setup setup);

    // At most `most` matches, each the `shown` values as text.
    QList<QStringList> find(const QString& text, int most = 20) const;

private:
    Database& m_db;
    Setup m_setup;
};
