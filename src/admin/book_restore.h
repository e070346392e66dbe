#pragma once

#include <QString>
#include <functional>
#include <memory>

class AppContext;
class QTemporaryDir;

// Puts a backup's data into an account book in use, local or on the
// server. The backup is checked first (a sound SQLite file holding an
// account book); then, in one write transaction that keeps other writers
// out, the book is copied aside and its tables are replaced by the
// backup's, so that other workstations see
// the old data or the restored data, never a mix, and a failure leaves the
// book as it was. Columns are matched by name, so a backup of an older
// schema restores into the current one; the quotations' totals are computed
// afresh.
class BookRestore {
public:
    explicit BookRestore(AppContext& context);

    // Restores `backupFile` into the book named `bookName` (empty: the
    // current book). Returns the path of the copy the book was saved to
    // first: beside a local book's file; for a server book beside the
    // backup, or in the program's book folder when the backup's folder
    // cannot be written. Throws UserError with the reason; nothing is changed then.
    QString restore(const QString& bookName, const QString& backupFile);

    // Checks `backupFile` as a restore would before it changes anything (a
    // readable, sound account book of this program's version or older), so
    // that a user is asked to go on only with a file that can restore.
    // Throws UserError with the reason.
    void check(const QString& backupFile);

    // What a restore says when the backup lacks a table the book has.
    static QString missingTableText(const QString& table);

private:
    // A copy of the backup to open, in a work folder inside `folder` (or the
    // system's temporary folder), which `scratch` keeps and removes.
    static QString readableCopy(const QString& backupFile, const QString& folder,
                                std::unique_ptr<QTemporaryDir>& scratch);
    // Throws UserError unless the copy `work` of `backupFile` is a sound
    // account book.
    static void checkBackup(const QString& work, const QString& backupFile);
    // Replaces the tables of the local book `bookFile` by those of `work`;
    // `whileLocked` runs once no one else can write and before anything
    // changes.
    static void replaceLocal(const QString& bookFile, const QString& label, const QString& work,
                             const std::function<void()>& whileLocked);

    AppContext& m_context;
};
