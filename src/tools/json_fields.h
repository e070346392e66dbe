#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

struct FieldDef;

// What the document files of olvendctl share: reading a file that must
// hold one JSON object, turning JSON values into field values, and finding
// the columns that names stand for. Every fault throws UserError with a
// message that says where it lies.
namespace JsonFields {

// The bytes of a file; a file that cannot be read is named, with the
// reason in Chinese.
QByteArray readText(const QString& path);
// The object a file's text holds; `source` names the file in messages,
// which say where the text is not JSON and why. A name written twice in
// one object is refused (a JSON reader would keep only the last value).
QJsonObject parseObject(const QByteArray& json, const QString& source);

// A JSON value as a field value: text, a number, true/false as 1/0, null.
// `what` names the value in the message for an array or an object, and
// for text with a control character other than tab, line feed and
// carriage return.
QVariant scalar(const QJsonValue& value, const QString& what);

// The column of that name, without regard to letter case, or null.
const FieldDef* findColumn(const QList<FieldDef>& columns, const QString& name);
// The name as the list spells it (letter case aside), or empty.
QString listed(const QStringList& names, const QString& name);

// Throws when a date column receives text that is no date (it would be
// stored as an empty date) or a day outside 1900-01-02 to 9999-12-31, the
// days the windows' date boxes hold; `what` names the value.
void requireDate(const FieldDef& column, const QVariant& value, const QString& what);
// Throws when an integer column receives a number that is not whole or
// lies outside the INTEGER range both engines hold (-2147483648 to
// 2147483647): it would be rounded, or cut into some other value. Text
// that is no number is left to the document, which names the field.
void requireInteger(const FieldDef& column, const QVariant& value, const QString& what);

// A JSON value for a column: scalar(), then the checks above.
QVariant fieldValue(const FieldDef& column, const QJsonValue& value, const QString& what);

}  // namespace JsonFields
