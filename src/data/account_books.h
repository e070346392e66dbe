#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

class Database;

// A row of the system database's list of account books.
struct AccountBookRow {
    int ID = 0;
    QString AccountBookName;
    QString DatabaseName;
    QString FilePath;
    QString description;
    int version = 1;
    QDate Builtdate;
    int Type = 0;
};

// Reads and adds rows of the list of account books.
class AccountBooks {
public:
    explicit AccountBooks(Database& system) : m_db(system) {}

    // The books offered at log-in (type 0), in the order they were made.
    QList<AccountBookRow> offered();
    // Every book of every type, in the order they were made: the sources a
    // new book may be copied from.
    QList<AccountBookRow> all();
    std::optional<AccountBookRow> findById(int id);
    // Name compared after trimming and without regard to letter case.
    std::optional<AccountBookRow> findByName(const QString& name);
    // By name, or else by the ID the list of books shows.
    std::optional<AccountBookRow> findByNameOrId(const QString& text);
    // Inserts the row and returns it with the ID the database gave it.
    AccountBookRow add(AccountBookRow row);

private:
    Database& m_db;
};
