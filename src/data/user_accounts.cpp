#include "data/user_accounts.h"

#include <QList>
#include <QPair>
#include <QSqlQuery>

#include "data/database.h"
#include "data/password_hasher.h"

std::optional<UserRecord> UserAccounts::verifyLogin(Database& db, const QString& userName, const QString& password) {
    QSqlQuery q =
        db.query("select user_name, password, User_Group from sys_user where user_name=:user_name order by id",
                 {{"user_name", userName}});
    while (q.next()) {
        const QString stored = q.value(1).toString();
        // A book of an older version may still hold the text itself; it is
        // hashed when the user has logged in.
        const bool matches = PasswordHasher::isHash(stored) ? PasswordHasher::verify(stored, password)
                                                            : !q.value(1).isNull() && stored == password;
        if (matches) {
            return UserRecord{q.value(0).toString(), stored, q.value(2).toString()};
        }
    }
    return std::nullopt;
}

bool UserAccounts::setPassword(Database& db, const QString& userName, const QString& password) {
    const QString hash = PasswordHasher::hash(password);
    return db.execute("update sys_user set password=:password where user_name=:user_name",
                      {{"password", hash}, {"user_name", userName}}) > 0;
}

int UserAccounts::migratePlainPasswords(Database& db) {
    QList<QPair<qlonglong, QString>> plain;
    {
        QSqlQuery q = db.query("select id, password from sys_user where password is not null");
        while (q.next()) {
            const QString stored = q.value(1).toString();
            if (!PasswordHasher::isHash(stored)) {
                plain.append({q.value(0).toLongLong(), stored});
            }
        }
    }
    if (plain.isEmpty()) {
        return 0;
    }
    WriteTransaction tx(db);
    for (const auto& [id, text] : plain) {
        db.execute("update sys_user set password=:password where id=:id",
                   {{"password", PasswordHasher::hash(text)}, {"id", id}});
    }
    tx.commit();
    return plain.size();
}
