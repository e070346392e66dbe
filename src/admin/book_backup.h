#pragma once

#include <QString>

class AppContext;

// A copy of an account book taken while it is in use: other workstations
// may go on writing meanwhile, and the copy holds the book as it was at one
// moment (SQLite writes it from one read transaction, the write-ahead log's
// commits included). The copy is checked before it takes its name, so a
// file at the target is always a whole, sound book.
class BookBackup {
public:
    explicit BookBackup(AppContext& context);

    // Copies the book named `bookName` in the book list (empty: the book
    // the settings name) to `target`, which must not exist yet. Returns the
    // size of the copy in bytes. Throws UserError with the reason, leaving
    // nothing at the target.
    qint64 backup(const QString& bookName, const QString& target);

private:
    AppContext& m_context;
};
