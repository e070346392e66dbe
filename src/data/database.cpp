#include "data/database.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QAtomicInt>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlResult>
#include <QThread>
#include <atomic>

#include "data/db_failure.h"
#include "data/server_connection.h"
#include "data/server_literals.h"
#include "data/server_message_ahead.h"
#include "data/sqlite_row_reader.h"
#include "platform/errors.h"

namespace {
// The server's tag for the statement q ran last ("COMMIT", "ROLLBACK",
// ...); empty when the driver does not tell.
QString serverCommandTag(const QSqlQuery& q) {
    const QSqlResult* result = q.result();
    const QVariant handle = result ? result->handle() : QVariant();
    // The driver hands its PGresult, known to the type system by the
    // struct's own name.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_result*") != 0 && qstrcmp(handle.typeName(), "PGresult*") != 0) ||
        !ServerConnection::libpqConnection(q.driver(), "PQcmdStatus", reinterpret_cast<const void*>(&PQcmdStatus))) {
        return {};
    }
    const PGresult* pg = *static_cast<PGresult* const*>(handle.constData());
    return pg ? QString::fromLatin1(PQcmdStatus(const_cast<PGresult*>(pg))) : QString();
}

QAtomicInt g_connectionSerial;

// What every server connection sent (connections may live on other threads).
std::atomic<qint64> g_serverStatements{0};
std::atomic<qint64> g_serverRoundTrips{0};
std::atomic<qint64> g_serverConnects{0};

QString newConnectionName() {
    return QStringLiteral("olvend_%1").arg(g_connectionSerial.fetchAndAddRelaxed(1));
}

QString driverText(const QSqlError& e) {
    QString t = e.databaseText().trimmed();
    const QString d = e.driverText().trimmed();
    if (t.isEmpty()) {
        t = d;
    } else if (!d.isEmpty() && !t.contains(d)) {
        t = d + ": " + t;
    }
    return t.isEmpty() ? e.text().trimmed() : t;
}

// Sequence functions write even inside a select.
bool isRead(const QString& sql) {
    const QString t = sql.trimmed();
    return t.startsWith(QLatin1String("select"), Qt::CaseInsensitive) &&
           !t.contains(QLatin1String("nextval"), Qt::CaseInsensitive) &&
           !t.contains(QLatin1String("setval"), Qt::CaseInsensitive);
}

// SQLSTATE 26000: the server does not know the prepared statement, as
// happens to one prepared on a connection that was since reopened.
bool isUnknownPrepared(const QSqlError& e) {
    return e.nativeErrorCode() == QLatin1String("26000");
}

}  // namespace

QString ServerParams::describe() const {
    return QStringLiteral("%1:%2/%3").arg(host).arg(port).arg(database);
}

void Database::count(qint64 statements, qint64 roundTrips) const {
    m_counts->statements += statements;
    m_counts->roundTrips += roundTrips;
    if (!isAccess()) {
        g_serverStatements += statements;
        g_serverRoundTrips += roundTrips;
    }
}

StatementCounts Database::serverTotals() {
    return {g_serverStatements.load(), g_serverRoundTrips.load(), g_serverConnects.load()};
}

Database::Database(const QString& connectionName, SqlDialect::Kind kind, const QString& label, const QString& location)
    : m_connectionName(connectionName), m_dialect(SqlDialect::create(kind)), m_label(label), m_location(location) {}

Database::~Database() {
    if (m_ahead) {
        m_ahead->abandon();
    }
    m_pending.clear();
    m_prepared.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

std::unique_ptr<Database> Database::openSqlite(const QString& path, const QString& label,
                                               const SqliteOpenOptions& options) {
    const QFileInfo info(path);
    const QString where = QStringLiteral("%1(%2)").arg(label, QDir::toNativeSeparators(path));
    if (options.mustExist && !info.exists()) {
        throw DbError(QStringLiteral("无法打开%1: 文件不存在").arg(where));
    }
    if (info.exists() && !info.isFile()) {
        throw DbError(QStringLiteral("无法打开%1: 不是文件").arg(where));
    }
    if (info.exists() && !info.isWritable()) {
        throw DbError(QStringLiteral("无法打开%1: 文件是只读的，不能保存。请检查该文件的权限。").arg(where), {}, {},
                      DbError::Kind::ReadOnly);
    }
    // Beside the file SQLite keeps its write-ahead log and index; without
    // them it can neither write nor read the book.
    const QString folder = QDir::toNativeSeparators(info.absolutePath());
    if (!QFileInfo(info.absolutePath()).isWritable()) {
        throw DbError(
            QStringLiteral("无法打开%1: 所在的文件夹(%2)不能写入，打开时需要在其中建立临时文件。请检查该文件夹的权限。")
                .arg(where, folder),
            {}, {}, DbError::Kind::ReadOnly);
    }
    const QString name = newConnectionName();
    std::unique_ptr<Database> result(new Database(name, SqlDialect::Kind::Sqlite, label, path));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(options.busyTimeoutMs));
        if (!db.open()) {
            throw DbError(QStringLiteral("无法打开%1").arg(where), driverText(db.lastError()));
        }
    }
    try {
        // The first statements also prove that the file is a database.
        // A file in rollback-journal mode (a new system database, a copy) is
        // turned into a write-ahead log by whichever connection comes first;
        // one that opens it at the same moment is refused at once (SQLite
        // does not wait where two readers could each wait for the other), so
        // it tries again until the wait allowed for a lock has passed.
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            try {
                result->rawExec("PRAGMA journal_mode=WAL");
                break;
            } catch (const DbError& e) {
                if (e.kind() != DbError::Kind::Busy || waited.elapsed() >= options.busyTimeoutMs) {
                    throw;
                }
                QThread::msleep(10);
            }
        }
        result->rawExec("PRAGMA synchronous=FULL");
        result->rawExec("SELECT count(*) FROM sqlite_master");
    } catch (const DbError& e) {
        switch (e.kind()) {
            case DbError::Kind::Busy:
                throw DbError(QStringLiteral("无法打开%1: 账本正被其他程序锁定，请稍后再试").arg(where), e.driverText(),
                              {}, e.kind());
            case DbError::Kind::ReadOnly:
                throw DbError(
                    QStringLiteral("无法打开%1: 文件或所在的文件夹(%2)不能写入。请检查它们的权限。").arg(where, folder),
                    e.driverText(), {}, e.kind());
            case DbError::Kind::DiskFull:
            case DbError::Kind::FileError:
                throw DbError(
                    QStringLiteral("无法打开%1: 读写文件时出错，磁盘可能已满或出了故障。请检查磁盘后再试。").arg(where),
                    e.driverText(), {}, e.kind());
            case DbError::Kind::Damaged:
                // A file that is no database at all, or one whose first
                // pages are damaged.
                throw DbError(QStringLiteral("无法打开%1: 不是有效的数据库文件，可能已损坏。请关闭程序，用最近的备份"
                                             "替换该文件后再试。")
                                  .arg(where),
                              e.driverText(), {}, e.kind());
            default:
                throw DbError(QStringLiteral("无法打开%1: 不是有效的数据库文件").arg(where), e.driverText(), {},
                              e.kind());
        }
    }
    // Failures then carry SQLite's extended result codes (which constraint
    // failed), where the driver runs on the library linked here.
    if (SqliteRowReader::driverSharesLibrary(*result)) {
        const QVariant handle = result->qdb().driver()->handle();
        if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
            if (sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData())) {
                sqlite3_extended_result_codes(connection, 1);
                result->m_sqlite = connection;
            }
        }
    }
    return result;
}

std::unique_ptr<Database> Database::openServer(const ServerParams& params, const QString& label, const QString& schema,
                                               bool* schemaMissing) {
    const QString name = newConnectionName();
    std::unique_ptr<Database> result(new Database(name, SqlDialect::Kind::Postgres, label, params.describe()));
    // What each session needs is sent with the connection request rather
    // than as statements of their own: messages, strings as written (the
    // literals of statements rely on it), and only the book's schema, so
    // that a table missing there is not found in another book.
    QString options = QStringLiteral("-c client_min_messages=warning -c standard_conforming_strings=on");
    if (!schema.isEmpty()) {
        result->m_schema = checkIdentifier(schema).toLower();
        options += QStringLiteral(" -c search_path=") + quotedSchema(result->m_schema);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", name);
    db.setHostName(params.host);
    db.setPort(params.port);
    db.setDatabaseName(params.database);
    db.setUserName(params.user);
    db.setPassword(params.password);
    // Keepalives find a line that died without a word within about a
    // minute, rather than leaving a read waiting for an answer for good.
    db.setConnectOptions(QStringLiteral("connect_timeout=5;keepalives=1;keepalives_idle=30;keepalives_interval=10;"
                                        "keepalives_count=3;options='%1'")
                             .arg(options));
    if (!db.open()) {
        throw DbError(
            QStringLiteral("无法连接数据库服务器[%1](%2)。请检查服务器是否在运行、网络和服务器设置是否正确，然后再试。")
                .arg(label, params.describe()),
            driverText(db.lastError()));
    }
    if (!result->applySession(/*readVersion=*/true)) {
        if (schemaMissing) {
            *schemaMissing = true;
            return nullptr;
        }
        throw DbError(QStringLiteral("数据库[%1]中没有账本的模式 %2").arg(label, result->m_schema));
    }
    return result;
}

bool Database::applySession(bool readVersion) {
    // Run directly: this also serves to set a reopened connection up.
    ++m_counts->connects;
    ++g_serverConnects;
    // The settings asked for with the connection, checked in the statement
    // that looks for the schema: a pooler in between may drop them, and
    // then they are set here.
    // The statement also turns the server's compiling of statements off for
    // the session (where the server has it): lists and reports here are
    // read once each, and compiling cost a list of 50,000 orders a third
    // of a second each time it was read.
    const QString sql = QStringLiteral(
        "SELECT (SELECT count(*) FROM pg_namespace WHERE nspname = :s), current_schema(), "
        "current_setting('standard_conforming_strings'), "
        "(SELECT set_config('jit', 'off', false) WHERE current_setting('jit', true) IS NOT NULL)");
    // When a connection opens, the schema's version comes along: every
    // start checks it first, and over a long line each statement saved is
    // a round trip. The table may not exist yet, so it is read through
    // query_to_xml, which the CASE runs only when it does.
    const QString withVersion =
        sql + QStringLiteral(
                  ", (SELECT CASE WHEN to_regclass(format('%I.schema_version', :s)) IS NOT NULL THEN "
                  "substring(CAST(query_to_xml(format('SELECT MAX(version) AS v FROM %I.schema_version', :s), "
                  "false, true, '') AS text) from '<v>(-?[0-9]+)</v>') END)");
    auto run = [this](const QString& statement, const QVariantMap& params) {
        QSqlQuery q(qdb());
        countRun();
        if (!q.exec(ServerLiterals::inlined(statement, params))) {
            throw failure(q.lastError(), statement);
        }
        return q;
    };
    const QVariantMap params{{"s", m_schema.isEmpty() ? QStringLiteral("public") : m_schema}};
    m_versionAtOpen.reset();
    QSqlQuery q;
    bool versionRead = false;
    // A server that refused the reading once (its XML functions, the
    // table's rights) is asked the plain way from then on; the version is
    // then read when it is needed.
    static std::atomic<bool> versionRefused = false;
    if (readVersion && !m_schema.isEmpty() && !versionRefused) {
        try {
            q = run(withVersion, params);
            versionRead = true;
        } catch (const DbError& e) {
            // A connection that went is no refusal: the plain check below
            // finds that out itself.
            if (e.kind() != DbError::Kind::ConnectionLost) {
                versionRefused = true;
            }
        }
    }
    if (!versionRead) {
        q = run(sql, params);
    }
    if (!q.next()) {
        throw error(QStringLiteral("无法读取连接的设置"), {}, sql);
    }
    if (versionRead) {
        // No version (no table, or an empty one) counts as 0.
        m_versionAtOpen = q.value(4).toInt();
        m_statementsAtOpen = m_counts->statements;
    }
    const bool schemaExists = q.value(0).toInt() > 0;
    const QString schemaInUse = q.value(1).toString();
    const bool plainStrings = q.value(2).toString() == QLatin1String("on");
    q = QSqlQuery();
    if (!plainStrings) {
        // The literals of statements are written for it.
        run(QStringLiteral("SET standard_conforming_strings TO on"), {});
    }
    if (m_schema.isEmpty()) {
        return true;
    }
    if (!schemaExists) {
        return false;
    }
    if (schemaInUse != m_schema) {
        run(QStringLiteral("SET search_path TO ") + quotedSchema(m_schema), {});
    }
    return true;
}

QString Database::connectionRestoredText() {
    return QStringLiteral("与数据库服务器的连接中断过，现已重新连接。刚才的修改没有保存，请重新保存。");
}

QString Database::connectionUncertainText() {
    return QStringLiteral(
        "与数据库服务器的连接中断过，现已重新连接。无法确认刚才的修改是否已经保存，请刷新后核对，需要时再重新保存。");
}

QString Database::connectionReadLostText() {
    return QStringLiteral("与数据库服务器的连接中断过，刚才的数据没有读完。请稍后重新读取。");
}

DbError Database::lostError(bool outcomeUnknown, bool reading) const {
    if (m_reopenNeeded) {
        return DbError(QStringLiteral("与数据库服务器[%1](%2)的连接已断开，暂时无法重新连接；%3，请检查服务器后再试")
                           .arg(m_label, m_location,
                                reading ? QStringLiteral("数据没有读完") : QStringLiteral("未完成的修改没有保存")),
                       {}, {}, DbError::Kind::ConnectionLost);
    }
    const QString said =
        reading ? connectionReadLostText() : (outcomeUnknown ? connectionUncertainText() : connectionRestoredText());
    return DbError(said, {}, {}, DbError::Kind::ConnectionLost);
}

bool Database::reopen(QString* why) {
    // Prepared statements live in the server session and die with it.
    m_prepared.clear();
    QSqlDatabase db = qdb();
    db.close();
    if (!db.open()) {
        *why = driverText(db.lastError());
        m_reopenNeeded = true;
        return false;
    }
    try {
        if (!applySession(/*readVersion=*/false)) {
            throw DbError(QStringLiteral("数据库[%1]中没有账本的模式 %2").arg(m_label, m_schema));
        }
    } catch (const OlvendError& e) {
        *why = e.message();
        db.close();
        m_reopenNeeded = true;
        return false;
    }
    m_reopenNeeded = false;
    m_aheadLost = false;
    ++m_reconnects;
    return true;
}

void Database::checkConnection() {
    settleAhead();
    if (std::exchange(m_aheadLost, false)) {
        // The connection failed under the message sent ahead.
        m_reopenNeeded = true;
    }
    if (m_transactionLost && m_depth > 0) {
        throw lostError();
    }
    if (m_reopenNeeded) {
        QString why;
        if (!reopen(&why)) {
            throw DbError(lostError().message(), why, {}, DbError::Kind::ConnectionLost);
        }
    }
}

bool Database::recoverLostConnection(const QSqlError& failure, bool mayRetry, bool reading) {
    if (isAccess()) {
        return false;
    }
    if (!ServerConnection::isLost(qdb(), failure)) {
        noteFailedMessage();
        return false;
    }
    // An open transaction went with the session: what it wrote is gone on
    // the server, and the caller's rollback only has to undo its memory.
    const bool inTransaction = m_depth > 0;
    // ... unless the message lost was the transaction's first: nothing of
    // it had run, and it is begun again on the new session, once.
    const QStringList inFlight = std::exchange(m_inFlight, {});
    const bool beginAgain = inTransaction && !m_beginSentAgain && !inFlight.isEmpty() &&
                            inFlight.first() == m_dialect->beginWriteStatement();
    if (inTransaction && !beginAgain) {
        m_transactionLost = true;
    }
    QString why;
    if (!reopen(&why)) {
        if (beginAgain) {
            m_transactionLost = true;
        }
        throw DbError(lostError(false, reading && !inTransaction).message(), why, {}, DbError::Kind::ConnectionLost);
    }
    if (beginAgain) {
        m_deferred = inFlight;
        m_beginSentAgain = true;
        return true;
    }
    if (mayRetry && !inTransaction) {
        return true;
    }
    // Inside a transaction the server dropped what it had; a single write
    // or the COMMIT may or may not have reached it. Neither is sent again
    // without the user. A read lost twice wrote nothing.
    throw DbError(lostError(!inTransaction, reading && !inTransaction).message(), driverText(failure), {},
                  DbError::Kind::ConnectionLost);
}

DbError Database::error(const QString& what, const QString& driver, const QString& statement) const {
    if (m_depth > 0 && !driver.isEmpty() && m_failedLevel == 0) {
        m_failedLevel = m_depth;
    }
    const QString msg =
        QStringLiteral("%1[%2]%3").arg(isAccess() ? QStringLiteral("账本") : QStringLiteral("数据库"), m_label, what);
    return DbError(msg, driver, statement);
}

DbError Database::failure(const QSqlError& e, const QString& given) const {
    // A statement sent ahead of the caller's is the one that failed.
    const QString statement =
        m_deferredFailedAt >= 0 && m_deferredFailedAt < m_inFlight.size() ? m_inFlight[m_deferredFailedAt] : given;
    int systemErrno = 0;
    if (m_sqlite && (e.nativeErrorCode().toInt() & 0xff) == SQLITE_IOERR) {
        systemErrno = sqlite3_system_errno(m_sqlite);
    }
    return describedFailure(driverText(e), e.nativeErrorCode(), e.databaseText(), systemErrno, statement);
}

DbError Database::sqliteFailure(int code, const QString& text, int systemErrno, const QString& statement) const {
    return describedFailure(text, QString::number(code), text, systemErrno, statement);
}

DbError Database::describedFailure(const QString& driver, const QString& code, const QString& databaseText,
                                   int systemErrno, const QString& statement) const {
    const DbError plain = error(QStringLiteral("执行失败"), driver, statement);
    const DbError::Kind kind = DbFailure::classify(isAccess(), code, databaseText, systemErrno);
    const QString where =
        QStringLiteral("%1[%2]").arg(isAccess() ? QStringLiteral("账本") : QStringLiteral("数据库"), m_label);
    QString details = plain.message() + QStringLiteral(" (") + m_location + ')';
    if (!code.isEmpty()) {
        details += QStringLiteral(", code ") + code;
    }
    if (systemErrno != 0) {
        details += QStringLiteral(", errno ") + QString::number(systemErrno);
    }
    details += '\n' + plain.details();
    return DbError(DbFailure::userText(kind, where, QDir::toNativeSeparators(m_location)), driver, statement, kind,
                   details);
}

void Database::rawExec(const QString& sql, bool mayRetry, QString* commandTag) {
    checkConnection();
    for (;;) {
        QSqlError failed;
        {
            QSqlQuery q(qdb());
            countRun();
            if (isAccess() ? q.exec(sql) : sendWithDeferred(q, sql)) {
                if (commandTag) {
                    *commandTag = serverCommandTag(q);
                }
                return;
            }
            failed = q.lastError();
        }
        if (recoverLostConnection(failed, mayRetry, isRead(sql))) {
            mayRetry = false;
            continue;
        }
        throw this->failure(failed, sql);
    }
}

void Database::bindAll(QSqlQuery& q, const QVariantMap& params) const {
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        const QString key = it.key().startsWith(':') ? it.key() : ':' + it.key();
        q.bindValue(key, m_dialect->toDbValue(it.value()));
    }
}

const QList<FieldDef>* Database::knownColumns(const QString& table) const {
    const auto it = m_columns.constFind(table.toLower());
    return it == m_columns.cend() ? nullptr : &it.value();
}

void Database::rememberColumns(const QString& table, const QList<FieldDef>& columns) {
    m_columns.insert(table.toLower(), columns);
}

QSqlQuery Database::query(const QString& sql, const QVariantMap& params) {
    checkConnection();
    // Whether the read was already run again (checked only on failure).
    bool retried = false;
    for (;;) {
        QSqlError failed;
        {
            QSqlQuery q(qdb());
            q.setForwardOnly(true);
            countRun();
            bool ok = false;
            if (!isAccess()) {
                // One round trip with the values written in, rather than
                // three for a statement prepared for one run.
                const QString text = params.isEmpty() ? sql : ServerLiterals::inlined(sql, dbValues(params));
                ok = sendWithDeferred(q, text);
            } else if (params.isEmpty()) {
                ok = q.exec(sql);
            } else if (q.prepare(sql)) {
                bindAll(q, params);
                ok = q.exec();
            }
            if (ok) {
                return q;
            }
            failed = q.lastError();
        }
        if (recoverLostConnection(failed, !retried && isRead(sql), isRead(sql))) {
            retried = true;
            continue;
        }
        throw this->failure(failed, sql);
    }
}

QVariant Database::scalar(const QString& sql, const QVariantMap& params) {
    QSqlQuery q = query(sql, params);
    if (q.next()) {
        return q.value(0);
    }
    return {};
}

int Database::execute(const QString& sql, const QVariantMap& params) {
    QSqlQuery q = query(sql, params);
    return q.numRowsAffected();
}

std::shared_ptr<QSqlQuery> Database::prepared(const QString& sql) {
    checkConnection();
    if (const std::shared_ptr<QSqlQuery>* kept = m_prepared.object(sql)) {
        return *kept;
    }
    // Preparing runs nothing, so it may be tried again on a reopened
    // connection whatever the statement does.
    bool mayRetry = true;
    if (!isAccess()) {
        // A server statement is kept as text and run with its values
        // written in: one round trip a run, none to prepare or release it.
        std::shared_ptr<QHash<const QSqlQuery*, QString>> texts = m_serverTexts;
        std::shared_ptr<QSqlQuery> q(new QSqlQuery(qdb()), [texts](QSqlQuery* kept) {
            texts->remove(kept);
            delete kept;
        });
        texts->insert(q.get(), sql);
        q->setForwardOnly(true);
        m_prepared.insert(sql, new std::shared_ptr<QSqlQuery>(q));
        return q;
    }
    for (;;) {
        auto q = std::make_shared<QSqlQuery>(qdb());
        q->setForwardOnly(true);
        if (q->prepare(sql)) {
            m_prepared.insert(sql, new std::shared_ptr<QSqlQuery>(q));
            return q;
        }
        const QSqlError failed = q->lastError();
        q.reset();
        if (recoverLostConnection(failed, mayRetry, isRead(sql))) {
            mayRetry = false;
            continue;
        }
        throw this->failure(failed, sql);
    }
}

void Database::runServerText(QSqlQuery& q, const QString& sql, const QString& text) {
    checkConnection();
    bool retried = false;
    for (;;) {
        countRun();
        if (sendWithDeferred(q, text)) {
            return;
        }
        const QSqlError failed = q.lastError();
        if (!recoverLostConnection(failed, !retried && isRead(sql), isRead(sql))) {
            throw this->failure(failed, sql);
        }
        retried = true;
        q = QSqlQuery(qdb());
        q.setForwardOnly(true);
    }
}

void Database::run(QSqlQuery& q, const QVariantMap& params) {
    if (const auto kept = m_serverTexts->constFind(&q); kept != m_serverTexts->cend()) {
        const QString sql = *kept;
        runServerText(q, sql, ServerLiterals::inlined(sql, dbValues(params)));
        return;
    }
    bindAll(q, params);
    runPrepared(q, [this, &params](QSqlQuery& again) { bindAll(again, params); });
}

void Database::runBound(QSqlQuery& q) {
    const QVariantList values = q.boundValues();
    if (const auto kept = m_serverTexts->constFind(&q); kept != m_serverTexts->cend()) {
        const QString sql = *kept;
        runServerText(q, sql, ServerLiterals::inlinedInOrder(sql, values));
        return;
    }
    runPrepared(q, [&values](QSqlQuery& again) {
        for (int i = 0; i < values.size(); ++i) {
            again.bindValue(i, values[i]);
        }
    });
}

void Database::runPrepared(QSqlQuery& q, const std::function<void(QSqlQuery&)>& bindAgain) {
    checkConnection();
    const QString sql = q.lastQuery();
    // Whether the read was already run again (checked only on failure).
    bool retried = false;
    bool mayPrepareAgain = true;
    for (;;) {
        countRun();
        if (q.exec()) {
            return;
        }
        const QSqlError failed = q.lastError();
        bool again = false;
        if (m_reconnects > 0 && m_depth == 0 && mayPrepareAgain && isUnknownPrepared(failed)) {
            // Prepared on a connection since reopened; it never ran.
            mayPrepareAgain = false;
            again = true;
        } else if (recoverLostConnection(failed, !retried && isRead(sql), isRead(sql))) {
            retried = true;
            again = true;
        }
        if (!again) {
            throw this->failure(failed, sql);
        }
        q = QSqlQuery(qdb());
        q.setForwardOnly(true);
        if (!q.prepare(sql)) {
            throw this->failure(q.lastError(), sql);
        }
        bindAgain(q);
    }
}

bool Database::hasTable(const QString& name) {
    if (!isAccess()) {
        // The driver lists the tables of every schema; a server book is the
        // schema the connection works in.
        return tableNames().contains(name.toLower());
    }
    countRun();
    countRun();
    const QStringList tables = qdb().tables(QSql::Tables) + qdb().tables(QSql::Views);
    for (const QString& t : tables) {
        if (t.compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

QStringList Database::tableNames() {
    QStringList out;
    if (isAccess()) {
        countRun();
        countRun();
        for (const QString& t : qdb().tables(QSql::Tables) + qdb().tables(QSql::Views)) {
            out.append(t.toLower());
        }
        return out;
    }
    // Through query(): a connection the server dropped is opened again.
    QSqlQuery q = query(QStringLiteral(
        "SELECT lower(table_name) FROM information_schema.tables WHERE table_schema = current_schema()"));
    while (q.next()) {
        out.append(q.value(0).toString());
    }
    return out;
}

QString Database::bindList(const QString& prefix, const QVariantList& values, QVariantMap* params) {
    QStringList holders;
    for (int i = 0; i < values.size(); ++i) {
        const QString name = prefix + QString::number(i);
        holders << ':' + name;
        params->insert(name, values[i]);
    }
    return holders.join(',');
}

bool Database::isReadStatement(const QString& sql) {
    return isRead(sql);
}

QString Database::quotedSchema(const QString& name) {
    return QLatin1Char('"') + checkIdentifier(name).toLower() + QLatin1Char('"');
}

QString Database::checkIdentifier(const QString& name) {
    static const QRegularExpression re("^[A-Za-z_][A-Za-z0-9_]*$");
    if (!re.match(name).hasMatch()) {
        throw UserError(QStringLiteral("无效的表名或字段名: %1").arg(name));
    }
    return name;
}
