#include "robustness/local_postgres.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <stdexcept>

namespace {

QString newestServerBin() {
    QStringList versions = QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(), numeric);
    for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
        if (QFile::exists(bin + "/pg_ctl") && QFile::exists(bin + "/initdb")) {
            return bin;
        }
    }
    return {};
}

}  // namespace

std::unique_ptr<LocalPostgres> LocalPostgres::forTest() {
    const QString bin = newestServerBin();
    if (bin.isEmpty()) {
        if (qEnvironmentVariableIsSet("OLVEND_REQUIRE_PG")) {
            QTest::qFail("OLVEND_REQUIRE_PG is set but the PostgreSQL server programs are not installed", __FILE__,
                         __LINE__);
        } else {
            QTest::qSkip("the PostgreSQL server programs are not installed", __FILE__, __LINE__);
        }
        return nullptr;
    }
    try {
        std::unique_ptr<LocalPostgres> server(new LocalPostgres(bin));
        qputenv("OLVEND_TEST_PG",
                QStringLiteral("host=127.0.0.1;port=%1;user=olvend_test").arg(server->m_port).toUtf8());
        return server;
    } catch (const std::exception& e) {
        QTest::qFail(e.what(), __FILE__, __LINE__);
        return nullptr;
    }
}

LocalPostgres::LocalPostgres(const QString& bin)
    : m_bin(bin), m_hadSetting(qEnvironmentVariableIsSet("OLVEND_TEST_PG")), m_setting(qgetenv("OLVEND_TEST_PG")) {
    if (!m_dir.isValid()) {
        throw std::runtime_error("no temporary folder for the PostgreSQL server");
    }
    m_asPostgres = ::geteuid() == 0;
    // The server outlives pg_ctl: as its subreaper this process reaps it at
    // once when it is killed.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    m_data = m_dir.filePath("data");
    // The server refuses to run as root; its folder must be its own.
    if (m_asPostgres && run("chown", {"postgres:postgres", m_dir.path()}) != 0) {
        throw std::runtime_error("cannot give the server folder to the postgres user");
    }
    QString out;
    if (run(m_bin + "/initdb", {"-D", m_data, "-U", "olvend_test", "--auth=trust", "-E", "UTF8", "--locale=C.UTF-8"},
            &out) != 0) {
        throw std::runtime_error(("initdb failed: " + out).toStdString());
    }
    watchOverServer();
    start();
}

void LocalPostgres::watchOverServer() const {
    // In a session of its own, out of reach of a kill of this process's
    // group: once this process is gone (a zombie, or its pid reused), it
    // stops the server (killing the postmaster if need be) and removes it.
    QStringList stop{m_bin + "/pg_ctl", "-D", m_data, "-m", "immediate", "-w", "-t", "30", "stop"};
    if (m_asPostgres) {
        stop = QStringList{"runuser", "-u", "postgres", "--"} + stop;
    }
    const QString watch = QStringLiteral(
        "pid=$1; shift\n"
        "started=$(sed 's/.*) //' /proc/$pid/stat | cut -d' ' -f20)\n"
        "while s=$(sed 's/.*) //' /proc/$pid/stat 2>/dev/null) && [ \"${s%% *}\" != Z ] && "
        "[ \"$(echo \"$s\" | cut -d' ' -f20)\" = \"$started\" ]; do sleep 1; done\n"
        "\"$@\" >/dev/null 2>&1\n"
        "if [ -f \"$OLVEND_PG_DATA/postmaster.pid\" ]; then kill -KILL \"$(head -n 1 "
        "\"$OLVEND_PG_DATA/postmaster.pid\")\" "
        "2>/dev/null; sleep 1; fi\n"
        "rm -rf \"$OLVEND_PG_DIR\"\n");
    QProcess watchdog;
    watchdog.setProgram("setsid");
    watchdog.setArguments(QStringList{"sh", "-c", watch, "olvend-pg-watchdog", QString::number(::getpid())} + stop);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("OLVEND_PG_DIR", m_dir.path());
    env.insert("OLVEND_PG_DATA", m_data);
    watchdog.setProcessEnvironment(env);
    watchdog.setStandardOutputFile(QProcess::nullDevice());
    watchdog.setStandardErrorFile(QProcess::nullDevice());
    if (!watchdog.startDetached()) {
        throw std::runtime_error("cannot start the watchdog of the PostgreSQL server (setsid)");
    }
}

LocalPostgres::~LocalPostgres() {
    run(m_bin + "/pg_ctl", {"-D", m_data, "-m", "immediate", "stop"});
    if (m_hadSetting) {
        qputenv("OLVEND_TEST_PG", m_setting);
    } else {
        qunsetenv("OLVEND_TEST_PG");
    }
}

int LocalPostgres::run(const QString& program, const QStringList& args, QString* output) const {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (m_asPostgres && program != QLatin1String("chown")) {
        p.start("runuser", QStringList{"-u", "postgres", "--", program} + args);
    } else {
        p.start(program, args);
    }
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (output) {
        *output = QString::fromLocal8Bit(p.readAll());
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void LocalPostgres::start() {
    // The first start looks for a free port below the outgoing ones; a
    // restart waits for its own.
    QString out;
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int port = m_port != 0 ? m_port : 20000 + int(QRandomGenerator::global()->bounded(12000));
        // fsync=off: the processes are killed, not the machine; a restart
        // would otherwise first sync the whole data folder.
        const QString options =
            QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c max_connections=40 -c fsync=off")
                .arg(port)
                .arg(m_dir.path());
        if (run(m_bin + "/pg_ctl",
                {"-D", m_data, "-l", m_dir.filePath("log"), "-w", "-t", "60", "-o", options, "start"}, &out) == 0) {
            m_port = port;
            return;
        }
        if (m_port != 0) {
            QThread::msleep(250);
        }
    }
    throw std::runtime_error(("the PostgreSQL server does not start: " + out).toStdString());
}

// The postmaster and its children.
QStringList LocalPostgres::serverProcesses() const {
    QFile pidFile(m_data + "/postmaster.pid");
    if (!pidFile.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString postmaster = QString::fromLatin1(pidFile.readLine()).trimmed();
    QProcess children;
    children.start("pgrep", {"-P", postmaster});
    children.waitForFinished();
    return QStringList{postmaster} + QString::fromLatin1(children.readAll()).split('\n', Qt::SkipEmptyParts);
}

void LocalPostgres::crash() {
    // Stopped first, the postmaster starts no process between the scan of
    // its children and the kill.
    QStringList pids = serverProcesses();
    if (!pids.isEmpty()) {
        ::kill(pid_t(pids.first().toLongLong()), SIGSTOP);
        pids = serverProcesses();
    }
    for (const QString& pid : pids) {
        ::kill(pid_t(pid.toLongLong()), SIGKILL);
    }
    for (int i = 0; i < 6000; ++i) {
        bool any = false;
        for (const QString& pid : pids) {
            // Until a killed process is reaped its pid still answers, and a
            // new server would take the old postmaster for a running one.
            ::waitpid(pid_t(pid.toLongLong()), nullptr, WNOHANG);
            any = any || QFile::exists("/proc/" + pid);
        }
        if (!any) {
            return;
        }
        QThread::msleep(10);
    }
    throw std::runtime_error("the killed server processes do not end");
}
