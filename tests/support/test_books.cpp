#include "support/test_books.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>

#include "data/data_module.h"
#include "data/first_start.h"
#include "data/schema_installer.h"
#include "data/setting_scrambler.h"
#include "platform/errors.h"

namespace TestBooks {

namespace {
QString g_sqliteTemplate;
// The template book on each server (a test may switch OLVEND_TEST_PG), by its setting.
QHash<QString, QString> g_serverTemplates;
std::unique_ptr<QTemporaryDir> g_templateDir;

std::unique_ptr<Database> adminConnection() {
    return Database::openServer(serverParams("postgres"), "postgres");
}

QString uniqueName(const QString& prefix) {
    return QStringLiteral("%1_%2_%3")
        .arg(prefix)
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::global()->generate() % 100000000);
}

// The server of `setting` ("host=...;port=...;user=...;password=..."), its database `database`.
ServerParams paramsOf(const QString& setting, const QString& database) {
    QMap<QString, QString> s;
    for (const QString& part : setting.split(';', Qt::SkipEmptyParts)) {
        if (const int eq = part.indexOf('='); eq > 0) {
            s.insert(part.left(eq).trimmed(), part.mid(eq + 1).trimmed());
        }
    }
    return {s.value("host", "127.0.0.1"), s.value("port", "5432").toInt(), database, s.value("user", "postgres"),
            s.value("password")};
}

void dropServerTemplates() {
    for (auto it = g_serverTemplates.constBegin(); it != g_serverTemplates.constEnd(); ++it) {
        try {
            Database::openServer(paramsOf(it.key(), "postgres"), "postgres")
                ->query(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(it.value()));
        } catch (...) {
            // A server of a test's own is gone with its template.
        }
    }
}

const QString& sqliteTemplate() {
    if (g_sqliteTemplate.isEmpty()) {
        g_templateDir = std::make_unique<QTemporaryDir>();
        g_sqliteTemplate = g_templateDir->filePath("template.db");
        SchemaInstaller::createBookFile(g_sqliteTemplate, "template");
    }
    return g_sqliteTemplate;
}

QString serverTemplate() {
    const QString setting = qEnvironmentVariable("OLVEND_TEST_PG");
    const auto known = g_serverTemplates.constFind(setting);
    if (known != g_serverTemplates.constEnd()) {
        return known.value();
    }
    const QString name = uniqueName("olvtpl");
    adminConnection()->query(QStringLiteral("CREATE DATABASE %1").arg(name));
    SchemaInstaller::installBook(*Database::openServer(serverParams(name), name));
    if (g_serverTemplates.isEmpty()) {
        qAddPostRoutine(dropServerTemplates);
    }
    g_serverTemplates.insert(setting, name);
    return name;
}
}  // namespace

bool postgresConfigured() {
    return !qEnvironmentVariable("OLVEND_TEST_PG").isEmpty();
}

ServerParams serverParams(const QString& database) {
    return paramsOf(qEnvironmentVariable("OLVEND_TEST_PG"), database);
}

void addEngineRows() {
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgres") << QStringLiteral("postgres");
}

bool engineAvailable() {
    if (currentEngine() != QLatin1String("postgres")) {
        return true;
    }
    if (!postgresConfigured()) {
        if (qEnvironmentVariableIsSet("OLVEND_REQUIRE_PG")) {
            QTest::qFail("OLVEND_REQUIRE_PG is set but OLVEND_TEST_PG is not: the PostgreSQL cases cannot run",
                         __FILE__, __LINE__);
            return false;
        }
        QTest::qSkip("PostgreSQL case: OLVEND_TEST_PG is not set (./test starts a server and sets it)", __FILE__,
                     __LINE__);
        return false;
    }
    // Tried once: a server that is down fails every case with its reason, not the run at the first error.
    static const QString unreachable = [] {
        try {
            adminConnection();
            return QString();
        } catch (const OlvendError& e) {
            return e.message();
        }
    }();
    if (!unreachable.isEmpty()) {
        QTest::qFail(qPrintable("the PostgreSQL server of OLVEND_TEST_PG cannot be reached: " + unreachable), __FILE__,
                     __LINE__);
        return false;
    }
    return true;
}

QString currentEngine() {
    QFETCH_GLOBAL(QString, engine);
    return engine;
}

FreshBook::FreshBook(const QString& engine) : m_engine(engine) {
    if (engine == "sqlite") {
        m_path = m_dir.filePath("book.db");
        if (!QFile::copy(sqliteTemplate(), m_path)) {
            throw DbError("cannot copy the template book");
        }
        m_db = Database::openSqlite(m_path, "测试账本");
        return;
    }
    if (!postgresConfigured()) {
        throw DbError("OLVEND_TEST_PG is not set: the PostgreSQL tests need the server that ./test starts");
    }
    const QString tpl = serverTemplate();
    m_serverDb = uniqueName("olvtest");
    adminConnection()->query(QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(m_serverDb, tpl));
    m_db = Database::openServer(serverParams(m_serverDb), m_serverDb);
}

FreshBook::~FreshBook() {
    m_db.reset();
    if (!m_serverDb.isEmpty()) {
        try {
            adminConnection()->query(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(m_serverDb));
        } catch (...) {
        }
    }
}

std::unique_ptr<Database> FreshBook::connectAgain() const {
    if (m_engine == "sqlite") {
        return Database::openSqlite(m_path, "测试账本");
    }
    return Database::openServer(serverParams(m_serverDb), m_serverDb);
}

TestProgram::TestProgram(bool prepared) {
    restart();
    if (prepared) {
        FirstStart::run(*m_context);
    }
}

void TestProgram::openAsAdministrator() {
    m_context->data().ConnectDatabases();
    m_context->CurrentUser = {"超级用户", "", "管理员组"};
}

std::unique_ptr<TestProgram> TestProgram::asAdministratorOnCurrentEngine() {
    if (!engineAvailable()) {
        return nullptr;
    }
    auto program = std::make_unique<TestProgram>(true);
    program->connect(currentEngine());
    program->context().CurrentUser = {"超级用户", "", "管理员组"};
    return program;
}

void TestProgram::restart() {
    m_context.reset();
    m_context = std::make_unique<AppContext>(AppPaths(m_dir.path()), m_prompter);
    m_context->setFileChooser(&m_files);
    m_context->setWindowRunner(&m_windows);
}

void TestProgram::connect(const QString& engine) {
    if (engine == QLatin1String("postgres")) {
        m_serverBook = std::make_unique<FreshBook>(engine);
        const ServerParams sp = serverParams(m_serverBook->serverDatabase());
        IniFile& ini = m_context->SettingsFile;
        ini.setString("SYS_Setting", "DBType", "postgresql");
        ini.setString("SQL_SERVER", "server", sp.host);
        ini.setString("SQL_SERVER", "port", QString::number(sp.port));
        ini.setString("SQL_SERVER", "Database", ScrambleSetting(sp.database));
        ini.setString("SQL_SERVER", "Username", ScrambleSetting(sp.user));
        ini.setString("SQL_SERVER", "password", ScrambleSetting(sp.password));
        ini.save();
        restart();
    }
    m_context->data().ConnectDatabases();
}

void TestProgram::shortenBusyTimeout() {
    DataModule& data = m_context->data();
    // The timeout is taken when a connection opens.
    data.disconnect();
    data.setSqliteOptions({.busyTimeoutMs = 200});
    data.ConnectDatabases();
}

std::unique_ptr<Database> TestProgram::connectAgain() {
    if (m_serverBook) {
        return m_serverBook->connectAgain();
    }
    return Database::openSqlite(m_context->data().main().location(), QStringLiteral("其他程序"));
}

std::unique_ptr<Database> TestProgram::lockMainBook() {
    if (m_serverBook) {
        qFatal("lockMainBook holds an embedded book's write lock; a server book has none");
    }
    auto holder = connectAgain();
    holder->query(QStringLiteral("BEGIN IMMEDIATE"));
    return holder;
}

}  // namespace TestBooks
