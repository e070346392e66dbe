#pragma once

#include <QString>
#include <QVariant>

#include "data/dataset.h"
#include "master/grouped_directory.h"
#include "master/partner_side.h"

class Clock;
class Database;
class Prompter;

// The rules of a customer, supplier or order-customer book: records of the focused group
// (the root shows all), adding, editing with cached updates, deleting with
// the use check, the group tree with its invariants, moving records and
// groups, and picking.
class PartnerDirectory {
public:
    PartnerDirectory(Database& db, const Clock& clock, Prompter& prompter, const PartnerSide& side);

    const PartnerSide& side() const { return m_side; }
    void open();
    GroupedDirectory& groupedDirectory() { return m_directory; }
    Dataset& groups() { return m_directory.groups(); }
    Dataset& records() { return m_directory.records(); }

    QVariant rootId() const { return m_directory.rootId(); }
    QVariant focusedGroup() const { return m_directory.focused(); }
    void focusGroup(const QVariant& id) { m_directory.focus(id); }
    bool isRoot(const QVariant& id) const { return m_directory.isRoot(id); }
    bool hasChildGroups(const QVariant& id) const { return m_directory.hasChildGroups(id); }
    bool holdsRecords(const QVariant& id) { return m_directory.holdsRecords(id); }

    // Records.
    bool addRecord();
    bool isModified() const { return m_modified || m_directory.records().isEditing(); }
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
    bool deleteGroup() { return m_directory.deleteGroup(); }
    bool canDropRecordsOn(const QVariant& group) const { return m_directory.canDropRecordsOn(group); }
    bool moveRecords(const QList<QVariant>& ids, const QVariant& group) { return m_directory.moveRecords(ids, group); }
    bool canDropGroupOn(const QVariant& group, const QVariant& target) {
        return m_directory.canDropGroupOn(group, target);
    }
    bool moveGroup(const QVariant& group, const QVariant& target) { return m_directory.moveGroup(group, target); }

    // Picking.
    void pick(int row);
    QString chosenCode() const { return m_chosenCode; }
    QVariant chosenId() const { return m_chosenId; }
    void clearChoice();

    static QString restingStatus() { return QStringLiteral("您的位置：基础资料 >>> 往来单位管理"); }

private:
    // Codes are required, trimmed and unique, and a code other records name
    // stays as it is; throws UserError naming the code before anything is
    // written.
    void checkCodes();
    // The documents or goods that name a code, one line each.
    QStringList usesOf(const QString& code);

    Database& m_db;
    const Clock& m_clock;
    Prompter& m_prompter;
    const PartnerSide& m_side;
    GroupedDirectory m_directory;
    bool m_modified = false;
    QString m_chosenCode;
    QVariant m_chosenId;
};
