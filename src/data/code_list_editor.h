#pragma once

#include <QObject>
#include <memory>

#include "data/dataset.h"
#include "data/lookup_list.h"

class Clock;
class Database;
class Prompter;

// The rules of the code-list editor: which lists it shows, adding a value
// with the next number, deleting values no business row uses, the amount of
// the goods-name defaults, and picking one value for a caller.
class CodeListEditor : public QObject {
    Q_OBJECT
public:
    static QString goodsNameList() { return QStringLiteral("货品名称"); }

    CodeListEditor(Database& db, const Clock& clock, Prompter& prompter, QObject* parent = nullptr);

    // Every list the editor may show.
    void openEditMode();
    // Only the list of one business table and field, for choosing a value.
    void openPickMode(const QString& tableName, const QString& fieldName);
    bool isPickMode() const { return m_pickMode; }

    Dataset& lists() { return m_lists; }
    Dataset& values() { return m_values; }
    // Where the editor and its dialogs speak to the user.
    Prompter& prompter() const { return m_prompter; }
    std::shared_ptr<LookupList> unitLookup() const { return m_units; }

    QString currentListName() const;
    // The size, price and unit columns belong to the list of goods names.
    bool extraColumnsVisible() const;

    // Starts a new value of the current list, numbered one above its
    // largest; false when there is no list.
    bool beginAdd();
    // Keeps the new value (its name must not be empty).
    void confirmAdd();
    // Drops the new value.
    void cancelAdd();
    // Deletes the values at these rows of the value list unless a business
    // row uses one of them; says why when it refuses.
    bool deleteValues(const QList<int>& rows);
    // Picks the one selected value; says so when none or several are selected.
    bool pick(const QList<int>& rows);
    QString result() const { return m_result; }
    // Writes a pending value (the window is closing).
    void saveOnClose();

signals:
    void currentListChanged();

private:
    void afterWrite();
    void computeAmount(const QString& field);

    Database& m_db;
    const Clock& m_clock;
    Prompter& m_prompter;
    Dataset m_lists;
    Dataset m_values;
    std::shared_ptr<LookupList> m_units;
    bool m_pickMode = false;
    QString m_table;
    QString m_field;
    QString m_result;
    QString m_addingList;
    bool m_refreshing = false;
};
