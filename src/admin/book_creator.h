#pragma once

#include <QString>

#include "data/account_books.h"

class AppContext;

// Creates an account book as a copy of an existing one and lists it in the
// system database. The copy is consistent even while the source is open,
// never overwrites a file or schema, and a failure leaves the list of books
// as it was. Embedded books are files; on the server kind a book is a
// schema of the server database.
class BookCreator {
public:
    explicit BookCreator(AppContext& context);

    // Checks, copies and registers; throws UserError with the system's
    // message (or DbError) and changes nothing when it cannot. On success
    // the new book becomes the current book and is returned.
    AccountBookRow create(const QString& name, const QString& description, const AccountBookRow* source);

    static QString defaultDescription() { return QStringLiteral("用户账本"); }

private:
    QString nextDatabaseName();
    AccountBookRow createOnServer(const QString& name, const QString& description, const AccountBookRow& source);
    AppContext& m_context;
};
