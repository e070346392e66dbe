#pragma once

#include <QString>

class AppContext;

// Puts a backup's data into an account book in use, local or on the
// server. The backup is checked first (a sound SQLite file holding an
// account book); the book is then copied aside, and its tables are replaced
// by the backup's in one write transaction, so that other workstations see
// the old data or the restored data, never a mix, and a failure leaves the
// book as it was. Columns are matched by name, so a backup of an older
// schema restores into the current one; the quotations' totals are computed
// afresh.
class BookRestore {
public:
    explicit BookRestore(AppContext& context);

    // Restores `backupFile` into the book named `bookName` (empty: the
    // current book). Returns the path of the copy the book was saved to
    // first: beside a local book's file, beside the backup for a server
    // book. Throws UserError with the reason; nothing is changed then.
    QString restore(const QString& bookName, const QString& backupFile);

    // What a restore says when the backup lacks a table the book has.
    static QString missingTableText(const QString& table);

private:
    // Throws UserError unless the copy `work` of `backupFile` is a sound
    // account book.
    static void checkBackup(const QString& work, const QString& backupFile);
    static void replaceLocal(const QString& bookFile, const QString& label, const QString& work);

    AppContext& m_context;
};
