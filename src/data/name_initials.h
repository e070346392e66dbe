#pragma once

#include <QString>
#include <QStringList>

class Database;

// The pinyin initials kept beside each record a clerk finds by name: goods,
// customers, suppliers and the order forms' customers. The column holds
// every way the record's names may be typed as initials, separated by
// spaces, the customary reading of the first name first: a prefix of that
// one is found through the column's index, any other reading as the prefix
// of a word. They are computed when a record is written, never per search.
class NameInitials {
public:
    static QString column() { return QStringLiteral("Name_Initials"); }

    struct Source {
        QString table;
        QString key;        // the table's own key column
        QString code;       // the code a clerk knows the record by
        QStringList names;  // the columns whose initials are kept
    };
    static const QList<Source>& sources();
    // The source of a table (any case), or nullptr.
    static const Source* sourceOf(const QString& table);

    // The column's value for these names: each name's variants in turn,
    // without repeats, cut at whole words to fit the column.
    static QString valueOf(const QStringList& names);
    // What a clerk typed, as initials are stored: ASCII letters (at least
    // one) and digits in lower case, spaces left out; empty for text with
    // anything else in it, which is looked for as it stands.
    static QString typed(const QString& text);
    // Whether a stored value holds a word beginning with `typedInitials`
    // (already passed through typed()).
    static bool matches(const QString& stored, const QString& typedInitials);

    // Computes the initials of the table's rows that have none (rows
    // written by a statement of its own); returns how many were set.
    static int fillMissing(Database& db, const QString& table);
    // The same for every table with initials.
    static int fillMissing(Database& db);

    // A condition that `expression` begins with `text`, by byte order so
    // that an index on that order finds it, and its parameters.
    static QString prefixCondition(const Database& db, const QString& expression, const QString& text,
                                   const QString& prefix, QVariantMap& params);
    // Creates the indexes the searches use: the initials and the first name
    // each with the code, and on a server the codes in byte order.
    static void createIndexes(Database& db);

    static constexpr int kWidth = 255;
};
