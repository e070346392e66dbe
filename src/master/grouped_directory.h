#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

#include "data/dataset.h"

class Database;
class Prompter;

// What sets one grouped book apart from another: its tables and fields, a
// few rules that differ, and the texts it speaks.
struct GroupedDirectorySetup {
    QString groupTable;      // goods_group, Client_group, Provider_group
    QString recordTable;     // goods, Client, Provider
    QStringList recordKeys;  // the records' key fields; empty: the table's primary key
    QString groupField;      // a record's group: Goods_class, GroupClass
    QString recordOrder;     // the order of the listed records
    // A long list of records on a server shows this many rows before the
    // rest is read (0: all at once); recordOrder is then one text column,
    // ascending.
    int recordsFirstRows = 0;
    QString rootTypeField;  // a group holding 0 there is a root as well (CorpType); empty: the top only
    // Adding a group under the root offers to move the records kept in the
    // root itself (otherwise the root never moves records).
    bool rootOffersMove = false;
    // Deleting the root is refused before the other checks are made.
    bool rootRefusedFirst = false;
    // Fields written on records moved to another group, with their values
    // (who moved them and when); none when empty.
    std::function<QVariantMap()> movedRecordStamp;

    QString addRecordRefused;  // the focused group has child groups
    QString moveIntoNewGroup;  // question: records move into the new child group
    QString editRootRefused;   // empty: the root can be edited
    QString deleteRootRefused;
    QString deleteHasGroups;
    QString deleteHoldsRecords;
    QString confirmDelete;
    QString moveRecordsRefused;  // the target group has child groups
    // Status line.
    QString recordDropRefused;
    QString groupDropRefused;
    QString restingStatus;
};

// A tree of groups with records in them, as the customer, supplier and
// goods books keep them: the groups and the records of the focused group
// (a root lists every record), the checks that keep records in leaf groups
// only, adding a group (the parent's records move into it), editing and
// deleting groups, and moving records and groups by drag and drop. A
// failed write leaves the datasets as the book is.
class GroupedDirectory {
public:
    // Fills or edits the current group row; false drops the edit.
    using GroupEditor = std::function<bool(Dataset& groups)>;

    GroupedDirectory(Database& db, Prompter& prompter, GroupedDirectorySetup setup);

    const GroupedDirectorySetup& setup() const { return m_setup; }
    // Reads the groups and focuses the root.
    void open();
    Dataset& groups() { return m_groups; }
    Dataset& records() { return m_records; }
    // What the records are ordered by.
    QString recordOrder() const;
    const Dataset& records() const { return m_records; }

    QVariant rootId() const;
    QVariant focused() const { return m_focused; }
    // Lists the records of a group; when they cannot be read, the focus
    // stays where it was.
    void focus(const QVariant& id);
    int groupRow(const QVariant& id) const;
    bool isRoot(const QVariant& id) const;
    bool hasChildGroups(const QVariant& id) const;
    bool holdsRecords(const QVariant& id);
    // Records go only into groups without child groups; says so otherwise.
    bool canAddRecord();

    bool addGroup(const GroupEditor& fill);
    bool editGroup(const GroupEditor& edit);
    bool deleteGroup();
    bool canDropRecordsOn(const QVariant& group) const;
    bool moveRecords(const QList<QVariant>& ids, const QVariant& group);
    bool canDropGroupOn(const QVariant& group, const QVariant& target);
    bool moveGroup(const QVariant& group, const QVariant& target);

    // The status line while something is dragged over a group.
    QString dropStatus(bool records, bool allowed) const;

private:
    bool requireFocusedGroup();
    // The assignments of the moved-record stamp (", field=:stampN", ...),
    // their values put into `params`.
    QString movedStamp(QVariantMap* params) const;
    void reloadRecords();

    Database& m_db;
    Prompter& m_prompter;
    GroupedDirectorySetup m_setup;
    Dataset m_groups;
    Dataset m_records;
    QVariant m_focused;
};
