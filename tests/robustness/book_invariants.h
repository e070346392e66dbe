#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

class Database;

// What must hold in an account book whatever moment a program writing it
// was stopped at: every document whole or absent (no head without its
// lines, no lines without their head, no receipt without its quotation, no
// derived form half-written), the quotations' stored totals equal to their
// lines and receipts, every group a record names present, every counter at
// or past the numbers it issued, and no picture file without its goods.
// Each fault is returned as a line naming the table and what is wrong.
class BookInvariants {
public:
    // `today`: the day the writers were told it is (the daily counters
    // hold that day's last number). `pictureFolder`: where the goods
    // pictures of this book lie (empty: not checked).
    static QStringList check(Database& db, const QDate& today, const QString& pictureFolder);

    // Every counter named in `lastIssued` ("table.field" to the highest
    // code a finished command handed out) at or past that code.
    static QStringList codesIssued(Database& db, const QHash<QString, QString>& lastIssued);

    // SQLite's own check of the file (empty when sound).
    static QStringList integrity(Database& db);

    // A figure that changes whenever a document or record is written: the
    // row counts of the document and master tables added up.
    static qint64 rowFingerprint(Database& db);

private:
    static void orphans(Database& db, QStringList& faults);
    static void totals(Database& db, QStringList& faults);
    static void counters(Database& db, const QDate& today, QStringList& faults);
    static void pictures(Database& db, const QString& folder, QStringList& faults);
};
