#pragma once

#include <QString>
#include <QStringList>

// Column names as an embedded book spells them ("BillNo", "sum_Goods_Price").
// A server folds every unquoted name to lower case, so a column read from
// it comes back as "billno"; shown to people or written to files, names
// take the embedded book's spelling on both kinds of book. The spellings
// come from the book's own table and view scripts, laid out once per
// process in a private in-memory database.
class SchemaNames {
public:
    // `name` as the table or view `relation` spells it; as given when the
    // relation has no such column.
    static QString inRelation(const QString& relation, const QString& name);
    // `name` as the book's tables and views spell it, the tables first; as
    // given when none has it.
    static QString canonical(const QString& name);
};
