#pragma once

#include <QString>

class Database;

// Copies a server account book into a new SQLite file that is an account
// book of its own: the tables and columns of a local book of this
// program's schema version, holding every row the server book held at one
// moment. Such a file is restored into a server book or a local one alike.
class ServerBookExport {
public:
    // Reads the book whose schema `server` works in, inside one snapshot
    // transaction (REPEATABLE READ, READ ONLY), so that every table is read
    // as it was at the same moment while other workstations go on writing,
    // and writes it to `file`, which must not exist. Columns are matched by
    // name; values travel as the server's text, so that no number is
    // rounded through floating point on the way: whole numbers are stored
    // exactly (up to 18 digits), numbers with a fraction as a local book
    // stores them, in floating point, exact to 15 significant digits (money
    // up to a thousand billion with its cents). The quotations' totals are
    // computed in the copy from its rows. Throws on failure; the caller
    // removes the file then.
    static void write(Database& server, const QString& file, const QString& label);
};
