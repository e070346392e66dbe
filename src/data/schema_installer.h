#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Database;

// Creates and upgrades the stored schema: the system database with its
// list of books, and account books with their tables, saved queries and the
// rows a new book starts with. Each database records its schema version;
// opening an older one runs the steps that bring it up to date.
class SchemaInstaller {
public:
    static constexpr int kSystemVersion = 1;
    static constexpr int kBookVersion = 10;

    // Creates the system tables when missing and upgrades older ones.
    static void ensureSystem(Database& db);
    // Brings an account book up to date: upgrades its schema and stores any
    // plain-text passwords as hashes. An empty database gets the whole
    // schema when `installWhenEmpty`, else it is refused as not a book.
    static void ensureBook(Database& db, bool installWhenEmpty);
    // Inside a transaction on a server: waits until no other workstation is
    // making or changing a schema (held until the transaction ends).
    static void lockSchemaChanges(Database& db);
    // Installs the whole schema and the seed rows into an empty database.
    static void installBook(Database& db);
    // Creates a new book file at `path` (which must not exist).
    static void createBookFile(const QString& path, const QString& label);

    static int storedVersion(Database& db);

    // One row of the list of commands every new book is given.
    struct ShippedOperation {
        QString formName;    // lower case
        QString actionName;  // lower case; empty for the window's own row
        QString title;
        QString windowTitle;
        int parent = -1;  // index of the window's row in the list
        bool controlled = false;
    };
    static const QList<ShippedOperation>& shippedOperations();
    // Whether a new book controls the action: false for a free action and
    // for one that is not listed.
    static bool shippedAsControlled(const QString& actionName, const QString& formName);
    // The statements of a schema script, with the engine's tokens replaced.
    static QStringList statements(Database& db, const QString& resource);
    // The same for a script whose statements hold semicolons (triggers,
    // functions): each ends at a line holding only "/".
    static QStringList blocks(Database& db, const QString& resource);
    // Creates the triggers that keep each quotation's totals and computes
    // the totals afresh, in one transaction.
    static void installTotals(Database& db);
    // Computes every quotation's totals afresh from its rows (the triggers
    // stay as they are).
    static void rebuildTotals(Database& db);

private:
    // The key of the server's advisory lock under which a book is installed
    // or upgraded.
    static constexpr int kSchemaLockKey = 5310427;
    static void upgradeBook(Database& db, bool installWhenEmpty);
    static void addColumnIfMissing(Database& db, const QString& table, const QString& column,
                                   const QString& declaration);
    static void runScript(Database& db, const QString& resource);
    // The initials column of each table that keeps one, its index, and
    // the initials of every row that has none.
    static void addNameInitials(Database& db);
    static void installOperations(Database& db);
    // Adds the shipped commands a book does not list yet (a book made by an
    // older version), each granted to the system group.
    static void addMissingOperations(Database& db);
    static void writeVersion(Database& db, int version);
};
