#pragma once

#include <optional>

#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <memory>

#include "data/database.h"

class AppContext;

// The shared connections: the system database with the list of account
// books, and the current book (or the server database). Also the small
// shared routines every window uses.
class DataModule {
public:
    explicit DataModule(AppContext& context);
    ~DataModule();

    // Connects the system database and the book named by [db] path (or the
    // server of [SQL_SERVER]). On failure the main connection stays closed
    // and DbError says which database and why.
    void ConnectDatabases();
    // Closes both connections.
    void disconnect();

    // The list of account books, opened when it is not: the embedded system
    // database, or on the server kind the schema serverSystemSchema() of the
    // server database, so that every workstation and every book sees one
    // list.
    Database& openSystem();

    // On the server kind each book is a schema of the configured database;
    // its name is the book's FilePath. The list of books has a schema of its
    // own; the book the database held before books had schemas stays in the
    // default one.
    static QString serverSystemSchema() { return QStringLiteral("olvend_system"); }
    static QString serverDefaultSchema() { return QStringLiteral("public"); }
    // The schema of the book whose FilePath (or [db] path) is `path`: a plain
    // name is the schema; empty, or a file path written for the embedded
    // kind, means the default book.
    static QString serverSchemaOf(const QString& path);

    bool isMainOpen() const { return m_main != nullptr; }
    bool isSystemOpen() const { return m_system != nullptr; }
    // The current book; throws DbError when it is not connected.
    Database& main();
    Database& system();

    // Lets a caller (a test, the account-book creation) use an open database
    // as the current book.
    void setMain(std::unique_ptr<Database> db);
    void setSystem(std::unique_ptr<Database> db);

    // "select ResultField from TableName where KeyField=:KeyField"; the
    // first row's value, or null when there is none.
    QVariant LookupFieldValue(const QString& TableName, const QString& KeyField, const QVariant& KeyValue,
                              const QString& ResultField);
    // Runs a select on the shared scratch query and returns it for reading.
    QSqlQuery& OpenSharedQuery(const QString& sql, const QVariantMap& params = {});
    // Runs a statement on the shared command query; returns the rows changed.
    int ExecSharedCommand(const QString& sql, const QVariantMap& params = {});

    ServerParams serverParams() const;

    // How the embedded databases are opened by ConnectDatabases (the busy
    // timeout, for instance).
    void setSqliteOptions(const SqliteOpenOptions& options) { m_sqliteOptions = options; }
    const SqliteOpenOptions& sqliteOptions() const { return m_sqliteOptions; }

private:
    std::unique_ptr<Database> openSystemDatabase();
    std::unique_ptr<Database> openServerSystem();
    ServerParams checkedServerParams() const;

    AppContext& m_context;
    std::unique_ptr<Database> m_system;
    // Where the server kind's system connection goes, while it is one this
    // module opened: connecting again to the same server keeps it.
    std::optional<ServerParams> m_systemServer;
    // The same for the book's connection.
    std::optional<ServerParams> m_mainServer;
    std::unique_ptr<Database> m_main;
    QSqlQuery m_sharedQuery;
    SqliteOpenOptions m_sqliteOptions;
};
