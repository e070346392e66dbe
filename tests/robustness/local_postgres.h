#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A PostgreSQL server of one test's own, which it may kill without
// disturbing the server the other suites share: made with initdb in a
// temporary folder and started on a free local port (as the postgres user
// when the tests run as root); stopped and removed with the object, or by
// a watchdog when the test process is killed.
class LocalPostgres {
public:
    // A server OLVEND_TEST_PG names while it lives. None when the programs
    // are missing (the test skipped; failed under OLVEND_REQUIRE_PG) or the
    // server does not start (the test failed).
    static std::unique_ptr<LocalPostgres> forTest();
    ~LocalPostgres();

    int port() const { return m_port; }
    // Kills every server process with SIGKILL and waits until they are gone.
    void crash();
    // Starts the server again (it recovers from its log first).
    void start();

private:
    explicit LocalPostgres(const QString& bin);  // throws std::runtime_error
    QStringList serverProcesses() const;
    void watchOverServer() const;
    int run(const QString& program, const QStringList& args, QString* output = nullptr) const;

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_data;
    int m_port = 0;
    bool m_asPostgres = false;
    bool m_hadSetting = false;
    QByteArray m_setting;  // OLVEND_TEST_PG before
};
