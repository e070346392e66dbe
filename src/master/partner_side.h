#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "master/master_columns.h"

// One editor of the edit window: a field under its caption (none: the
// group's title says it), multi-line where `memo`.
struct PartnerEditField {
    const char* name;
    const char* caption;
    bool memo = false;
};

// A titled group of the edit window, with a left and a right column.
struct PartnerEditGroup {
    const char* title;
    QList<PartnerEditField> left;
    QList<PartnerEditField> right;
};

// What differs between the customer, supplier and order-customer books;
// everything else of their windows is one design.
struct PartnerSide {
    MasterKind kind;
    QString recordTable;  // Client / Provider / customer_provider
    QString groupTable;   // Client_group / Provider_group / customer_group
    QString groupField;   // a record's group: GroupClass / Customer_Group
    QString listWindow;   // Form_Client_List / Form_Provider_List / Form_Order_Customer_List
    QString editWindow;   // Form_Client_Edit / Form_Provider_Edit / Form_Order_Customer_Edit
    QString listCaption;
    QString editCaption;
    QStringList searchFields;
    QString useSql;             // the records that use a code, bound as :code
    QString useHead;            // first line of the refusal
    bool useShowsName = false;  // the use lines show code and name
    QString newGroupCaption;
    QString newGroupPrompt;
    bool pickOnSave = false;  // a record saved while picking is picked at once
    QString codeLabel;        // the code's name in messages
    QList<PartnerEditGroup> editLayout;

    // The customers of the quotations, with their price tables and labels.
    bool isClients() const { return kind == MasterKind::Customers; }
    bool isSuppliers() const { return kind == MasterKind::Suppliers; }
    // The word the commands name a record by: 客户, 供应商.
    QString recordWord() const { return MasterColumns::recordWord(kind); }

    static const PartnerSide& customers();
    static const PartnerSide& suppliers();
    // The customers order forms name (customer_provider).
    static const PartnerSide& orderCustomers();
};
