#pragma once

#include <QList>
#include <QString>

class Database;

// The customers an order form can name, as one tree of groups and
// customers: the customer groups with the customers in them. A customer
// shows as its company name, with the boss's name in brackets when there
// is one.
class CustomerTree {
public:
    struct Node {
        int id = 0;        // a group's id made negative, a customer's id
        int parentId = 0;  // the node it hangs under (0 or a missing group: the top)
        QString corpCode;  // empty for a group
        QString name;
        QString initials;  // pinyin initials of the name and the boss
        QString telephones;
        bool isGroup() const { return corpCode.isEmpty() && id < 0; }
        // Whether a customer is found by a typed text: code, name, boss,
        // telephone or initials; an empty text finds everyone.
        bool matches(const QString& text) const;
    };

    // Groups first, then customers, each in the order of their ids.
    static QList<Node> load(Database& db);
};
