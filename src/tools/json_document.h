#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <utility>

struct FieldDef;

// What tells one kind of document file from another: a JSON object of head
// fields named as the columns of one table, and its items (a quotation's
// lines, an order's goods rows) as an array of objects under one key.
struct JsonDocumentShape {
    // The document's name in messages ("订货单", "订单").
    QString word;
    // The head table, named in the message for a field it does not have.
    QString headTable;
    // Head fields the program fills itself, and how a user calls them.
    QStringList programFields;
    QString programWords;
    // The key of the items' array, and the message for one that is no array.
    QString itemsKey;
    QString itemsNotAnArray;
};

// Reads a document file's object in that shape: head fields in the order
// written, each checked against its column; then each item handed on with
// its number (from 1). Every fault throws UserError saying where it lies: a
// name written twice (letter case aside), a field the program fills, head
// fields the table does not have (all of them named), an item that is no
// object.
class JsonDocumentReader {
public:
    using Values = QList<std::pair<QString, QVariant>>;
    using ItemField = std::function<void(int number, const QString& key, const QJsonValue& value)>;

    JsonDocumentReader(const JsonDocumentShape& shape, const QList<FieldDef>& headColumns);

    // The head's values by column name; `item` is called for every field
    // of every item, each item's names checked for doubles first, and
    // `itemDone` after each item.
    Values read(const QJsonObject& root, const ItemField& item, const std::function<void(int number)>& itemDone) const;

private:
    const JsonDocumentShape& m_shape;
    const QList<FieldDef>& m_headColumns;
};
