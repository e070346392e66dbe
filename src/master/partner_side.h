#pragma once

#include <QString>
#include <QStringList>

// What differs between the customer and the supplier books; everything else
// of their windows is one design.
struct PartnerSide {
    QString recordTable;  // Client / Provider
    QString groupTable;   // Client_group / Provider_group
    QString listWindow;   // Form_Client_List / Form_Provider_List
    QString editWindow;   // Form_Client_Edit / Form_Provider_Edit
    QString listCaption;
    QString editCaption;
    QStringList searchFields;
    QString useSql;             // the records that use a code, bound as :code
    QString useHead;            // first line of the refusal
    bool useShowsName = false;  // the use lines show code and name (goods)
    QString newGroupCaption;
    QString newGroupPrompt;
    bool pickOnSave = false;  // a record saved while picking is picked at once
    QString codeLabel;        // the code's name in messages

    static const PartnerSide& customers();
    static const PartnerSide& suppliers();
};
