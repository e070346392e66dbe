#include "documents/customer_tree.h"

#include <QSqlQuery>

#include "data/database.h"
#include "data/name_initials.h"

QList<CustomerTree::Node> CustomerTree::load(Database& db) {
    QList<Node> nodes;
    // Group ids are made negative so that they never meet a customer's id.
    QSqlQuery groups = db.query("select id, Class_name, Parent_id from customer_group order by id");
    while (groups.next()) {
        Node n;
        n.id = -groups.value(0).toInt();
        n.name = groups.value(1).toString();
        // The top group's parent is -1 (or 0): it hangs at the top, never
        // under the customer whose id the negated value would name.
        const int parent = groups.value(2).toInt();
        n.parentId = parent > 0 ? -parent : 0;
        nodes.append(n);
    }
    QSqlQuery customers = db.query(
        "select id, corp_code, Corp_name, Customer_Group, boss_name, Name_Initials, Corp_telephone, "
        "Boss_mobile from customer_provider order by id");
    while (customers.next()) {
        Node n;
        n.id = customers.value(0).toInt();
        n.corpCode = customers.value(1).toString();
        n.name = customers.value(2).toString();
        const QString boss = customers.value(4).toString();
        if (!boss.isEmpty()) {
            n.name += "(" + boss + ")";
        }
        n.parentId = customers.value(3).isNull() ? 0 : -customers.value(3).toInt();
        n.initials = customers.value(5).toString();
        n.telephones = customers.value(6).toString() + ' ' + customers.value(7).toString();
        nodes.append(n);
    }
    return nodes;
}

bool CustomerTree::Node::matches(const QString& typed) const {
    const QString text = typed.trimmed();
    if (text.isEmpty()) {
        return true;
    }
    return !isGroup() && (corpCode.contains(text, Qt::CaseInsensitive) || name.contains(text, Qt::CaseInsensitive) ||
                          telephones.contains(text) || NameInitials::matches(initials, NameInitials::typed(text)));
}
