#pragma once

#include <QCache>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantMap>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "data/field_def.h"
#include "data/sql_dialect.h"
#include "platform/errors.h"

struct sqlite3;
class ServerMessageAhead;

// Where a PostgreSQL database is.
struct ServerParams {
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString password;
    QString describe() const;
    bool operator==(const ServerParams&) const = default;
};

// How an embedded book is opened.
struct SqliteOpenOptions {
    // A missing file is an error rather than a new empty database.
    bool mustExist = true;
    // How long a statement waits for another program's lock before it gives
    // up (milliseconds).
    int busyTimeoutMs = 10000;
};

// What a connection sent, counted at the client: the statements that ran
// and, on a server, the round trips they took (a statement, the preparing
// of a kept statement and its release; the connection's own set-up counts
// as `connects`). An embedded book takes no round trips.
struct StatementCounts {
    qint64 statements = 0;
    qint64 roundTrips = 0;
    qint64 connects = 0;
};

// One open connection to a book, the system database or a server database.
// Every statement runs through it: values are bound as parameters, and any
// failure raises DbError naming the statement, the database and the
// driver's text.
class Database {
public:
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens a SQLite file. `label` names the database in messages (the
    // book's name, or "系统数据库").
    static std::unique_ptr<Database> openSqlite(const QString& path, const QString& label,
                                                const SqliteOpenOptions& options = {});
    // Opens a server database. A non-empty `schema` is the book's schema:
    // every unqualified name the connection uses resolves there (and only
    // there); it must exist, or else, with `schemaMissing`, that is set and
    // nothing is returned.
    static std::unique_ptr<Database> openServer(const ServerParams& params, const QString& label,
                                                const QString& schema = {}, bool* schemaMissing = nullptr);

    // The connection; a message sent ahead is answered in full first.
    QSqlDatabase qdb() const {
        settleAhead();
        return QSqlDatabase::database(m_connectionName, false);
    }
    const SqlDialect& dialect() const { return *m_dialect; }
    bool isAccess() const { return m_dialect->isAccess(); }
    const QString& label() const { return m_label; }
    const QString& location() const { return m_location; }
    const QString& connectionName() const { return m_connectionName; }
    // The server schema the connection works in; empty for the server's
    // default and for embedded books.
    const QString& schema() const { return m_schema; }
    const StatementCounts& counts() const { return *m_counts; }
    // The same summed over every server connection of the program, those
    // already closed included (a log-in or a backup opens its own).
    static StatementCounts serverTotals();
    // Counts a statement run on the connection outside this class (the
    // direct SQLite reads).
    void countStatement() { count(1, 0); }
    // How often the connection was opened again after the server lost it.
    int reconnectCount() const { return m_reconnects; }
    // Expires when this object goes: what may outlive the connection (a
    // list's open cursor) looks before it touches it.
    std::weak_ptr<const void> lifetime() const { return m_counts; }

    // What a user is told when the server connection was lost inside a
    // transaction: it is open again and the change was not saved.
    static QString connectionRestoredText();
    // ... and when it was lost during a single write or the COMMIT, whose
    // outcome the program cannot know: the user checks before saving again.
    static QString connectionUncertainText();
    // ... and when a read outside a transaction was lost (again after the
    // connection was opened anew, or for good): nothing was written.
    static QString connectionReadLostText();

    // Runs a statement with named parameters (`:name`; the keys may be
    // given with or without the colon) and returns the positioned-before-
    // first query.
    QSqlQuery query(const QString& sql, const QVariantMap& params = {});
    // The first column of the first row, or a null value.
    QVariant scalar(const QString& sql, const QVariantMap& params = {});
    // Runs a statement and returns the number of rows it changed.
    int execute(const QString& sql, const QVariantMap& params = {});
    // A write inside a transaction whose outcome nobody reads (a counter
    // moved on): on a server it goes in front of the next statement, in the
    // same message, rather than in a round trip of its own; elsewhere, or
    // outside a transaction, it runs at once. Should it fail, the statement
    // it went with fails, and the transaction with it.
    void executeWithNext(const QString& sql, const QVariantMap& params = {});
    // A prepared statement kept for reuse; bind and run it with run(). The
    // connection keeps the most recently used statements (kPreparedCacheSize);
    // a statement pushed out stays valid for as long as a caller holds it.
    // On a server it is kept as text and each run sends it with its values:
    // one round trip, none to prepare or release it.
    std::shared_ptr<QSqlQuery> prepared(const QString& sql);
    static constexpr int kPreparedCacheSize = 64;
    int preparedCount() const { return m_prepared.count(); }
    void run(QSqlQuery& q, const QVariantMap& params = {});
    // Runs a prepared statement whose values the caller bound already.
    void runBound(QSqlQuery& q);

    // Statements of one write that do not depend on each other's results:
    // on a server they go in one round trip (a batch of them at a time,
    // their values written in), on an embedded book one after the other
    // as kept statements. Each outcome holds the rows the statement changed
    // and, for one with `returnsKey`, the key it gave the new row. When a
    // statement fails, `failedAt` is its index and the statements after it
    // do not run.
    struct BatchStatement {
        BatchStatement(const QString& sql, const QVariantMap& params = {}, bool returnsKey = false)
            : sql(sql), params(params), returnsKey(returnsKey) {}
        BatchStatement(const char* sql, const QVariantMap& params = {}) : BatchStatement(QString(sql), params) {}
        QString sql;
        QVariantMap params;
        bool returnsKey = false;
    };
    struct BatchOutcome {
        int changed = 0;
        QVariant key;
    };
    QVector<BatchOutcome> executeBatch(const QList<BatchStatement>& statements, int* failedAt = nullptr);
    // Statements sent together, on a server in one round trip; `each` is
    // given each one's index and result in turn (positioned before its
    // first row). On an embedded book they run one after the other. Read
    // the results by position: the names of a server's result (record())
    // would cost the driver a statement of its own for each table.
    void readBatch(const QList<BatchStatement>& statements, const std::function<void(int, QSqlQuery&)>& each);
    // Sends `statements` to the server in one message without waiting for
    // the answer: outside a write transaction, on a server book whose
    // connection is free. Null when it cannot be sent so (the caller then
    // runs them as usual). Whatever uses the connection next reads the
    // whole answer first. Only right after a statement whose QSqlQuery is
    // gone: a query still being read would read this answer as its own.
    std::shared_ptr<ServerMessageAhead> sendAhead(const QList<BatchStatement>& statements);
    // Reads the answer to a message sent ahead, waiting for it.
    void settleAhead() const;

    bool hasTable(const QString& name);
    // The schema's version (0 without one) as read with the opening of a
    // server connection, once, and only while no statement has run since;
    // nothing otherwise. A later check asks the server again.
    std::optional<int> takeVersionAtOpen() {
        std::optional<int> version;
        std::swap(version, m_versionAtOpen);
        const bool untouched = m_counts->statements == m_statementsAtOpen && m_depth == 0 && m_deferred.isEmpty();
        return untouched ? version : std::nullopt;
    }
    // The tables and views of the book, in lower case (on a server, those of
    // the connection's schema).
    QStringList tableNames();

    // Embedded books read large row sets straight through SQLite where the
    // driver allows it; off, every read goes through the driver.
    void setDirectReads(bool on) { m_directReads = on; }
    bool directReads() const { return m_directReads; }

    // Column definitions of tables, read once per connection: a server
    // answers the catalogue queries slowly, and lists open their table's
    // definitions every time. Whoever changes the schema calls forget.
    const QList<FieldDef>* knownColumns(const QString& table) const;
    void rememberColumns(const QString& table, const QList<FieldDef>& columns);
    void forgetColumns() { m_columns.clear(); }
    QVariant toDbValue(const QVariant& v) const { return m_dialect->toDbValue(v); }

    // Transactions; nested calls become savepoints. Prefer WriteTransaction.
    void beginWrite();
    void commit();
    void rollback();
    int transactionDepth() const { return m_depth; }
    // Registers what to do when the transaction level open now ends:
    // `committed` runs once the outermost transaction has committed,
    // `rolledBack` as soon as this level or one around it rolls back (a
    // released savepoint hands its work to the level around it). Without an
    // open transaction `committed` runs at once. Work registered later is
    // undone first.
    void whenTransactionEnds(std::function<void()> committed, std::function<void()> rolledBack);

    // Whether a statement only reads, so that running it again after the
    // connection was reopened changes nothing.
    static bool isReadStatement(const QString& sql);
    // Table and field names that come from data are checked before they
    // are put into a statement; throws UserError otherwise.
    static QString checkIdentifier(const QString& name);
    // A server schema name from the program's own names (checked as above):
    // lower case and quoted, ready to be put into a statement.
    static QString quotedSchema(const QString& name);

    // Binds each value as its own parameter (prefix0, prefix1, ...) and returns
    // the placeholders for an "in (...)" list, so no value enters the statement.
    static QString bindList(const QString& prefix, const QVariantList& values, QVariantMap* params);

    // A failure of this database: the message names the book and says what
    // failed; the statement and the driver's text go to the details.
    DbError error(const QString& what, const QString& driverText, const QString& statement = {}) const;
    // A statement the driver refused, told in the user's words by what the
    // database reported (SQLite's result code, PostgreSQL's SQLSTATE).
    DbError failure(const QSqlError& error, const QString& statement) const;
    // The same for a statement run on SQLite directly: its (extended)
    // result code, its text and the system's error number (0 if unknown).
    DbError sqliteFailure(int code, const QString& text, int systemErrno, const QString& statement) const;

private:
    Database(const QString& connectionName, SqlDialect::Kind kind, const QString& label, const QString& location);
    void bindAll(QSqlQuery& q, const QVariantMap& params) const;
    // The values as the database takes them (dates as text, ...).
    QVariantMap dbValues(const QVariantMap& params) const;
    DbError describedFailure(const QString& driver, const QString& code, const QString& databaseText, int systemErrno,
                             const QString& statement) const;
    // `commandTag`, when given, receives the server's tag for the statement
    // (a COMMIT of a failed transaction is answered "ROLLBACK").
    void rawExec(const QString& sql, bool mayRetry = false, QString* commandTag = nullptr);
    // Counts a server session opened and checks that its schema exists
    // (false when it does not); with `readVersion`, the schema's version
    // comes with it (versionAtOpen).
    bool applySession(bool readVersion);
    // Called before every statement: refuses work in a transaction the
    // server lost, and opens a connection that could not be reopened
    // before.
    void checkConnection();
    // After a failed statement: false when the connection is fine (the
    // caller reports the failure). When the server lost the connection it
    // is opened again; true then means the caller may run the statement
    // once more (a read outside a transaction), otherwise this throws the
    // message that nothing was saved (or, for a `reading`, not read), with
    // the driver's words for the log.
    bool recoverLostConnection(const QSqlError& failure, bool mayRetry, bool reading);
    // Runs a prepared statement whose values are bound; after a reconnect it
    // is prepared again on the new connection and `bindAgain` binds it.
    void runPrepared(QSqlQuery& q, const std::function<void(QSqlQuery&)>& bindAgain);
    // Runs a kept server statement: `text` is `sql` with its values.
    void runServerText(QSqlQuery& q, const QString& sql, const QString& text);
    bool reopen(QString* why);
    // What the user is told of a lost connection: a write whose outcome is
    // unknown, one that was not saved, or (`reading`) a read not finished.
    DbError lostError(bool outcomeUnknown = false, bool reading = false) const;
    struct Pending {
        int level;
        std::function<void()> committed;
        std::function<void()> rolledBack;
    };
    void undoFrom(int level);
    // Adds to the connection's counts and, for a server, to the totals; a
    // statement on a server is a round trip of its own.
    void count(qint64 statements, qint64 roundTrips) const;
    void countRun() const { count(1, isAccess() ? 0 : 1); }
    void finishCommitted();
    // A server transaction's control statements (its BEGIN, a savepoint and
    // its release) wait to go in front of the next statement, in the same
    // message: each would otherwise cost a round trip of its own. Sends
    // `text` on q with them; when it is true, q is at the statement's own
    // result.
    bool sendWithDeferred(QSqlQuery& q, const QString& text);
    // After a failed message that was not lost with the connection: when
    // statements sent ahead of its own did not all run, which of the
    // transaction's levels they belonged to is unknown, so none may commit.
    void noteFailedMessage();
    // The state libpq reports for the server transaction (a
    // PGTransactionStatusType), or -1 when it cannot tell.
    int serverTransactionStatus() const;

    QString m_connectionName;
    // Shared with the kept statements, whose release is a round trip too.
    std::shared_ptr<StatementCounts> m_counts = std::make_shared<StatementCounts>();
    std::optional<int> m_versionAtOpen;
    qint64 m_statementsAtOpen = 0;
    // The texts of the server statements handed out by prepared(), for as
    // long as each lives.
    std::shared_ptr<QHash<const QSqlQuery*, QString>> m_serverTexts =
        std::make_shared<QHash<const QSqlQuery*, QString>>();
    std::unique_ptr<SqlDialect> m_dialect;
    QString m_label;
    QString m_location;
    QString m_schema;
    // The driver's SQLite connection, where it runs on the library linked
    // here (for the system's error number of a failed write).
    sqlite3* m_sqlite = nullptr;
    int m_depth = 0;
    // The server lost the connection while a transaction was open: its
    // work is gone, and nothing more runs until the caller rolls back.
    bool m_transactionLost = false;
    // The connection was lost and could not be opened again yet.
    bool m_reopenNeeded = false;
    int m_reconnects = 0;
    // The innermost transaction level at which a statement failed (0: none).
    // A server gives up the whole transaction then; a commit of that level
    // is refused on both kinds, so that a caller who caught the error can
    // never see half of its work committed as if whole.
    mutable int m_failedLevel = 0;
    bool m_directReads = true;
    QCache<QString, std::shared_ptr<QSqlQuery>> m_prepared{kPreparedCacheSize};
    std::vector<Pending> m_pending;
    // The statements not sent yet (control statements and writes given to
    // executeWithNext), and those sent with the message in flight.
    QStringList m_deferred;
    QStringList m_inFlight;
    // Where in the last message sent its statement or one ahead of it
    // failed, when that was one of those ahead (or nothing ran); else -1.
    qsizetype m_deferredFailedAt = -1;
    // The names of the open savepoints, innermost last: each has a name of
    // its own, so a rollback never reaches a sibling's savepoint whose
    // release had not run yet.
    QStringList m_savepoints;
    int m_savepointSerial = 0;
    // A transaction whose first message was lost with the connection is
    // begun again once, on the reopened connection.
    bool m_beginSentAgain = false;
    QHash<QString, QList<FieldDef>> m_columns;  // by lower-case table name
    // The message sent ahead whose answer is still to be read, and whether
    // the connection failed while it was read.
    mutable std::shared_ptr<ServerMessageAhead> m_ahead;
    mutable bool m_aheadLost = false;
};

// A write transaction that rolls back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(Database& db) : m_db(db) { m_db.beginWrite(); }
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    void commit();

private:
    Database& m_db;
    bool m_done = false;
};
