#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "data/app_context.h"
#include "data/database.h"
#include "platform/prompter.h"

// Fresh account books for tests: a new SQLite book (a copy of one made per
// test process) or a new PostgreSQL database on the server ./test started.
namespace TestBooks {

// Adds the global data column "engine" with a row per engine. The PostgreSQL
// row is there whenever the server is configured or required.
void addEngineRows();
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
    // A second connection to the same book (for concurrency tests; the
    // caller owns it and must use it on one thread).
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

// A temporary program folder with its own context; `prepared` runs the
// first start in it.
class TestProgram {
public:
    explicit TestProgram(bool prepared = true);
    AppContext& context() { return *m_context; }
    ScriptedPrompter& prompter() { return m_prompter; }
    QString folder() const { return m_dir.path(); }
    // A new context on the same folder (as a second start would make).
    void restart();
    // Connects the books again with a short busy timeout, so that waiting
    // for a locked book fails soon. Windows and logic classes must be built
    // after this call.
    void shortenBusyTimeout();
    // Another program's connection to the main book.
    std::unique_ptr<Database> connectAgain();
    // Another connection that holds the main book's write lock as long as it
    // is open: reads go on, writes fail after the timeout.
    std::unique_ptr<Database> lockMainBook();

private:
    QTemporaryDir m_dir;
    ScriptedPrompter m_prompter;
    std::unique_ptr<AppContext> m_context;
};

}  // namespace TestBooks
