#pragma once

#include <QString>
#include <functional>

class Database;

// Puts the rows of an account book file (a checked backup) into the server
// account book a connection works in.
class ServerBookImport {
public:
    // Replaces every table of the book with the file's rows in one
    // transaction. The book's tables are locked first, so no other
    // workstation writes in between; they go on reading the old rows until
    // the restored ones are committed. `whileLocked` runs once the locks are
    // held and before anything changes: what it reads on another connection
    // is the book exactly as the restore replaces it. Columns are matched by
    // name, the quotations' totals are computed afresh, and every
    // auto-numbered key continues after the restored rows. Throws UserError
    // when the file's rows do not fit the book (a doubled code, a text where
    // a number belongs), DbError when the server fails; the book is
    // unchanged then.
    static void replace(Database& server, const QString& file, const std::function<void()>& whileLocked = {});
};
