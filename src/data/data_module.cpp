#include "data/data_module.h"

#include <QRegularExpression>

#include "data/account_books.h"
#include "data/app_context.h"
#include "data/schema_installer.h"
#include "data/setting_scrambler.h"
#include "platform/errors.h"

DataModule::DataModule(AppContext& context) : m_context(context) {}

DataModule::~DataModule() {
    disconnect();
}

void DataModule::disconnect() {
    m_sharedQuery = QSqlQuery();
    m_main.reset();
    m_mainServer.reset();
    m_system.reset();
    m_systemServer.reset();
}

Database& DataModule::main() {
    if (!m_main) {
        throw DbError(QStringLiteral("没有打开的账本"));
    }
    return *m_main;
}

Database& DataModule::system() {
    if (!m_system) {
        throw DbError(QStringLiteral("系统数据库没有打开"));
    }
    return *m_system;
}

void DataModule::setMain(std::unique_ptr<Database> db) {
    m_sharedQuery = QSqlQuery();
    m_main = std::move(db);
    m_mainServer.reset();
}

void DataModule::setSystem(std::unique_ptr<Database> db) {
    m_system = std::move(db);
    m_systemServer.reset();
}

ServerParams DataModule::serverParams() const {
    const IniFile& ini = m_context.SettingsFile;
    ServerParams p;
    p.host = ini.readString("SQL_SERVER", "server");
    p.database = UnscrambleSetting(ini.readString("SQL_SERVER", "Database"));
    p.user = UnscrambleSetting(ini.readString("SQL_SERVER", "Username"));
    p.password = UnscrambleSetting(ini.readString("SQL_SERVER", "password"));
    const QString port = ini.readString("SQL_SERVER", "port").trimmed();
    bool ok = false;
    const int n = port.toInt(&ok);
    p.port = (ok && n > 0 && n < 65536) ? n : 5432;
    return p;
}

QString DataModule::serverSchemaOf(const QString& path) {
    static const QRegularExpression plainName("^[A-Za-z_][A-Za-z0-9_]*$");
    const QString p = path.trimmed();
    if (plainName.match(p).hasMatch()) {
        return p.toLower();
    }
    return serverDefaultSchema();
}

ServerParams DataModule::checkedServerParams() const {
    const ServerParams p = serverParams();
    if (p.host.isEmpty() || p.database.isEmpty()) {
        throw DbError(QStringLiteral("配置文件[SQL_SERVER]中缺少服务器(server)或数据库(Database)设置"));
    }
    return p;
}

Database& DataModule::openSystem() {
    if (!m_system) {
        m_system = openSystemDatabase();
        if (!m_context.SoftwareInfo.IsAccess) {
            m_systemServer = checkedServerParams();
        }
    }
    return *m_system;
}

std::unique_ptr<Database> DataModule::openSystemDatabase() {
    if (!m_context.SoftwareInfo.IsAccess) {
        return openServerSystem();
    }
    auto db = Database::openSqlite(m_context.paths().systemDatabase(), QStringLiteral("系统数据库"), m_sqliteOptions);
    SchemaInstaller::ensureSystem(*db);
    return db;
}

std::unique_ptr<Database> DataModule::openServerSystem() {
    const ServerParams p = checkedServerParams();
    const QString schema = serverSystemSchema();
    bool missing = false;
    auto db = Database::openServer(p, QStringLiteral("系统数据库"), schema, &missing);
    if (missing) {
        auto plain = Database::openServer(p, QStringLiteral("系统数据库"));
        // Workstations starting at once on a new database take turns (two
        // CREATE SCHEMA IF NOT EXISTS may still collide).
        WriteTransaction tx(*plain);
        SchemaInstaller::lockSchemaChanges(*plain);
        plain->query(QStringLiteral("CREATE SCHEMA IF NOT EXISTS ") + Database::quotedSchema(schema));
        tx.commit();
        plain.reset();
        db = Database::openServer(p, QStringLiteral("系统数据库"), schema);
    }
    SchemaInstaller::ensureSystem(*db);
    // A server database that holds no list yet gets one naming the book in
    // its default schema, as the first start does for the embedded kind.
    if (db->scalar("SELECT count(*) FROM AccountBook").toInt() > 0) {
        return db;
    }
    // Two workstations starting at once add the row only once.
    WriteTransaction tx(*db);
    db->query("LOCK TABLE AccountBook IN EXCLUSIVE MODE");
    if (db->scalar("SELECT count(*) FROM AccountBook").toInt() == 0) {
        AccountBookRow row;
        row.AccountBookName = QStringLiteral("默认帐册");
        row.DatabaseName = QStringLiteral("UserAccountBook001");
        row.FilePath = serverDefaultSchema();
        row.description = QStringLiteral("用户账本");
        row.version = 1;
        row.Builtdate = m_context.clock().today();
        row.Type = 0;
        AccountBooks(*db).add(row);
    }
    tx.commit();
    return db;
}

void DataModule::ConnectDatabases() {
    // 1. The list of books: the embedded system database, or its schema on
    // the server. A server connection to the same server stays: opening one
    // takes several round trips.
    const bool sameServer =
        !m_context.SoftwareInfo.IsAccess && m_system && m_systemServer && *m_systemServer == checkedServerParams();
    if (!sameServer) {
        m_system.reset();
        m_systemServer.reset();
        openSystem();
    }

    // 2-4. The current book; the old connection is closed first, so a
    // failure leaves no connection rather than the previous book. The same
    // book on the same server keeps its connection (a log-in to the book
    // the program started with), its columns read again.
    m_sharedQuery = QSqlQuery();
    if (!m_context.SoftwareInfo.IsAccess && m_main && m_mainServer && *m_mainServer == checkedServerParams() &&
        m_main->schema() == serverSchemaOf(m_context.SettingsFile.readString("db", "path")) &&
        m_main->transactionDepth() == 0) {
        m_main->forgetColumns();
        SchemaInstaller::ensureBook(*m_main, /*installWhenEmpty=*/true);
        return;
    }
    m_main.reset();
    m_mainServer.reset();
    std::unique_ptr<Database> book;
    if (m_context.SoftwareInfo.IsAccess) {
        const QString stored = m_context.SettingsFile.readString("db", "path").trimmed();
        if (stored.isEmpty()) {
            throw DbError(QStringLiteral("配置文件中没有设置账本路径([db] path)"));
        }
        const QString label = m_context.CurrentAccountBook.BookName.isEmpty() ? AppPaths::normalizeSeparators(stored)
                                                                              : m_context.CurrentAccountBook.BookName;
        book = Database::openSqlite(m_context.paths().resolve(stored), label, m_sqliteOptions);
        SchemaInstaller::ensureBook(*book, /*installWhenEmpty=*/false);
    } else {
        const ServerParams p = checkedServerParams();
        // The book is the schema named by [db] path; the connection sees
        // nothing else.
        const QString schema = serverSchemaOf(m_context.SettingsFile.readString("db", "path"));
        book = Database::openServer(p, p.database, schema);
        SchemaInstaller::ensureBook(*book, /*installWhenEmpty=*/true);
        m_mainServer = p;
    }
    m_main = std::move(book);
}

QVariant DataModule::LookupFieldValue(const QString& TableName, const QString& KeyField, const QVariant& KeyValue,
                                      const QString& ResultField) {
    const QString sql = QStringLiteral("select %1 from %2 where %3=:%3")
                            .arg(Database::checkIdentifier(ResultField), Database::checkIdentifier(TableName),
                                 Database::checkIdentifier(KeyField));
    QSqlQuery q = main().query(sql, {{KeyField, KeyValue}});
    if (q.next()) {
        return q.value(0);
    }
    return {};
}

QSqlQuery& DataModule::OpenSharedQuery(const QString& sql, const QVariantMap& params) {
    m_sharedQuery = QSqlQuery();
    m_sharedQuery = main().query(sql, params);
    return m_sharedQuery;
}

int DataModule::ExecSharedCommand(const QString& sql, const QVariantMap& params) {
    return main().execute(sql, params);
}
