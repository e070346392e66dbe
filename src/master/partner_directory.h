#pragma once

#include <QString>
#include <QVariant>

#include "data/dataset.h"
#include "master/partner_side.h"

class Clock;
class Database;
class Prompter;

// The rules of a customer or supplier book: records of the focused group
// (the root shows all), adding, editing with cached updates, deleting with
// the use check, the group tree with its invariants, moving records and
// groups, and picking.
class PartnerDirectory {
public:
    PartnerDirectory(Database& db, const Clock& clock, Prompter& prompter, const PartnerSide& side);

    const PartnerSide& side() const { return m_side; }
    void open();
    Dataset& groups() { return m_groups; }
    Dataset& records() { return m_records; }

    QVariant rootId() const;
    QVariant focusedGroup() const { return m_focused; }
    void focusGroup(const QVariant& id);
    bool isRoot(const QVariant& id) const;
    bool hasChildGroups(const QVariant& id) const;
    bool holdsRecords(const QVariant& id);

    // Records.
    bool addRecord();
    bool isModified() const { return m_modified || m_records.isEditing(); }
    void markModified() { m_modified = true; }
    void saveRecord();
    void cancelRecord();
    // The edit window closes: asks whether to save pending changes.
    // Returns true when the record was saved (or nothing was pending).
    bool closeRecord();
    bool deleteRecords(const QList<int>& rows);

    // Groups.
    bool addGroup();
    bool renameGroup();
    bool deleteGroup();
    bool canDropRecordsOn(const QVariant& group) const;
    bool moveRecords(const QList<QVariant>& ids, const QVariant& group);
    bool canDropGroupOn(const QVariant& group, const QVariant& target);
    bool moveGroup(const QVariant& group, const QVariant& target);

    // Picking.
    void pick(int row);
    QString chosenCode() const { return m_chosenCode; }
    QVariant chosenId() const { return m_chosenId; }
    void clearChoice();

    static QString restingStatus() { return QStringLiteral("您的位置：基础资料 >>> 往来单位管理"); }

private:
    int groupRow(const QVariant& id) const;
    bool requireFocusedGroup();
    void reloadRecords();

    Database& m_db;
    const Clock& m_clock;
    Prompter& m_prompter;
    const PartnerSide& m_side;
    Dataset m_groups;
    Dataset m_records;
    QVariant m_focused;
    bool m_modified = false;
    QString m_chosenCode;
    QVariant m_chosenId;
};
