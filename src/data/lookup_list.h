#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class Database;

// A list of (key, text) pairs that shows stored codes by their names: a code
// list, the units, the suppliers. Keys compare as text.
class LookupList {
public:
    struct Entry {
        QVariant key;
        QString text;
        QStringList extra;  // further columns for drop-downs that show them
    };

    LookupList() = default;
    explicit LookupList(const QList<Entry>& entries) { setEntries(entries); }

    // Rows of a statement: the key is the first column, the text the second,
    // further columns become extras.
    void load(Database& db, const QString& sql, const QVariantMap& params = {});
    // The shared code-list statement for a business table and field.
    void loadCodeList(Database& db, const QString& table, const QString& field);
    void setEntries(const QList<Entry>& entries);

    const QList<Entry>& entries() const { return m_entries; }
    QString text(const QVariant& key) const;
    bool contains(const QVariant& key) const;
    // The key of the first entry with this text, or a null value.
    QVariant keyOf(const QString& text) const;

    // The statement of the shared code-list lookup.
    static QString codeListSql();

private:
    QList<Entry> m_entries;
    QHash<QString, int> m_index;
};
