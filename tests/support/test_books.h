#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "data/app_context.h"
#include "data/database.h"
#include "platform/prompter.h"
#include "support/scripted_file_chooser.h"
#include "support/scripted_window_runner.h"

// Fresh books: a copy of a SQLite book made once per process, or a new database on ./test's PostgreSQL.
namespace TestBooks {

// Adds the global data column "engine" with a row per engine.
void addEngineRows();
// First in init() of a suite with engine rows; false when the PostgreSQL row cannot run: skipped without
// OLVEND_TEST_PG (failed under OLVEND_REQUIRE_PG), failed when its server does not answer.
bool engineAvailable();
// The engine of the current global data row.
QString currentEngine();
bool postgresConfigured();
ServerParams serverParams(const QString& database);

class FreshBook {
public:
    explicit FreshBook(const QString& engine);
    ~FreshBook();
    Database& db() { return *m_db; }
    QString engine() const { return m_engine; }
    // A second connection to the book, for concurrency tests (used on one thread).
    std::unique_ptr<Database> connectAgain() const;
    QString sqlitePath() const { return m_path; }
    QString serverDatabase() const { return m_serverDb; }

private:
    QString m_engine;
    QTemporaryDir m_dir;
    QString m_path;
    QString m_serverDb;
    std::unique_ptr<Database> m_db;
};

// A temporary program folder with its own context; `prepared` runs the first start in it.
class TestProgram {
public:
    explicit TestProgram(bool prepared = true);
    AppContext& context() { return *m_context; }
    ScriptedPrompter& prompter() { return m_prompter; }
    // Answers the file and folder questions of the context.
    ScriptedFileChooser& files() { return m_files; }
    // Takes the follow-on windows commands open (none is shown modally).
    ScriptedWindowRunner& windows() { return m_windows; }
    QString folder() const { return m_dir.path(); }
    // Connects the book and signs the administrator in, as most window tests start.
    void openAsAdministrator();
    // A new context on the same folder (as a second start would make).
    void restart();
    // Connects the first start's book (SQLite), or a fresh server database config.ini names, its
    // settings scrambled as that kind stores them (PostgreSQL).
    void connect(const QString& engine);
    // The server database of the server kind, when connected to one.
    const FreshBook* serverBook() const { return m_serverBook.get(); }
    // Connects again with a short busy timeout: waiting for a locked book fails soon (build windows after).
    void shortenBusyTimeout();
    // Another program's connection to the main book, on the server when connected to one.
    std::unique_ptr<Database> connectAgain();
    // A connection holding the main book's write lock while open: reads go on, writes time out.
    std::unique_ptr<Database> lockMainBook();

    // First in init() of a suite with engine rows: a prepared program on the current engine, the administrator
    // signed in; null when that engine cannot run.
    static std::unique_ptr<TestProgram> asAdministratorOnCurrentEngine();

private:
    QTemporaryDir m_dir;
    ScriptedPrompter m_prompter;
    ScriptedFileChooser m_files;
    ScriptedWindowRunner m_windows;
    std::unique_ptr<FreshBook> m_serverBook;  // outlives the context and its connections
    std::unique_ptr<AppContext> m_context;
};

}  // namespace TestBooks
