#pragma once

#include <QString>
#include <memory>

class AppContext;
class Database;

// A copy of an account book taken while it is in use: other workstations
// may go on writing meanwhile, and the copy holds the book as it was at one
// moment. A local book is copied by SQLite from one read transaction (the
// write-ahead log's commits included); a server book is read in one
// snapshot transaction into a new SQLite account book, which restores into
// a server book or a local one alike. The copy is checked before it takes
// its name, so a file at the target is always a whole, sound book.
class BookBackup {
public:
    explicit BookBackup(AppContext& context);

    // Copies the book named `bookName` in the book list (empty: the book
    // the settings name) to `target`, which must not exist yet. Returns the
    // size of the copy in bytes. Throws UserError with the reason, leaving
    // nothing at the target.
    qint64 backup(const QString& bookName, const QString& target);

    // The book a backup or a restore works on, as the book list names it:
    // by name or ID; empty, the book the settings name.
    struct Book {
        QString label;   // its name, for messages
        QString stored;  // its file (local) or schema (server) as stored
    };
    static Book find(AppContext& context, const QString& bookName);
    // A connection of its own to a server book.
    static std::unique_ptr<Database> openServerBook(AppContext& context, const Book& book);
    // Whether a database holds the tables every account book has.
    static bool isAccountBook(Database& db);
    // Whether a file can be made in the folder (tried, since permissions,
    // access lists and read-only disks all decide it).
    static bool canWriteIn(const QString& folder);

private:
    // Writes the copy under the work name `temp`.
    void copyLocal(const Book& book, const QString& temp, const QString& source);
    void copyServer(const Book& book, const QString& temp);

    AppContext& m_context;
};
