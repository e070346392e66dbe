#pragma once

#include <QString>
#include <QTemporaryDir>

// A PostgreSQL server of its own for one test process, so that the test
// may kill it without disturbing the server the other suites share: made
// with initdb in a temporary folder, started on a free local port, and
// stopped and removed with the object, or by a watchdog when the test
// process is killed. As root the server runs as the
// postgres user, which it insists on.
class LocalPostgres {
public:
    // Whether the server programs are installed (Debian's postgresql).
    static bool available();

    LocalPostgres();  // throws std::runtime_error when the server cannot start
    ~LocalPostgres();
    LocalPostgres(const LocalPostgres&) = delete;
    LocalPostgres& operator=(const LocalPostgres&) = delete;

    // The connection setting in the form OLVEND_TEST_PG takes.
    QString setting() const;
    int port() const { return m_port; }

    // Kills the postmaster and every server process with SIGKILL, as a
    // crash of the machine's server would, and waits until they are gone.
    void crash();
    // Starts the server again (it recovers from its log first).
    void start();

private:
    QStringList serverProcesses() const;
    // Starts a watchdog that stops the server should this process end
    // without destroying the object (killed, or stopped by a timeout).
    void watchOverServer() const;
    int run(const QString& program, const QStringList& args, QString* output = nullptr) const;

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_data;
    int m_port = 0;
    bool m_asPostgres = false;
};
