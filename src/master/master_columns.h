#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The records a spreadsheet moves in and out of the book.
// OrderCustomers are the customers order forms name (customer_provider).
enum class MasterKind { Customers, Suppliers, Goods, OrderCustomers };

// A column of a master list as the list window shows it, which is also how
// an exported spreadsheet names it.
struct MasterColumn {
    enum class Shows {
        Text,
        Number,        // a price or quantity ("0.00" where `money`)
        UnitName,      // the unit's name for the stored unit code
        SupplierName,  // the supplier's company (person) for the stored code
        Date,          // yyyy-MM-dd
        ClassName,     // the goods class's name for the stored class id
    };
    QString field;
    QString caption;
    int width = 90;
    Shows shows = Shows::Text;
    bool money = false;
    bool cost = false;  // shown only with the right to see costs
};

// The visible columns of the customer, supplier, goods and order-customer
// lists, in order.
class MasterColumns {
public:
    static QList<MasterColumn> listed(MasterKind kind);
    // The record table and the words messages use for a record.
    static QString table(MasterKind kind);
    // The group (class) table and a record's field naming its group.
    static QString groupTable(MasterKind kind);
    static QString groupField(MasterKind kind);
    static QString recordWord(MasterKind kind);  // 客户, 供应商, 商品
    // The code field ("Corp_code", "code").
    static QString codeField(MasterKind kind);
    // The fields that say which record a row is: its code and names. A
    // file that brings none of them makes records nobody can tell apart.
    static QStringList identifyingFields(MasterKind kind);
    // Whether a column mapping (a field per column) fills one of them.
    static bool mapsIdentifyingField(MasterKind kind, const QStringList& mapping);
};
