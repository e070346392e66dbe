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

// Until a killed process is reaped its pid still answers, and a new
// server would take the old postmaster for a running one.
bool exists(const QString& pid) {
    return QFile::exists("/proc/" + pid);
}

}  // namespace

bool LocalPostgres::available() {
    return !newestServerBin().isEmpty();
}

LocalPostgres::LocalPostgres() : m_bin(newestServerBin()) {
    if (m_bin.isEmpty() || !m_dir.isValid()) {
        throw std::runtime_error("PostgreSQL server programs or a temporary folder are missing");
    }
    m_asPostgres = ::geteuid() == 0;
    // The server outlives pg_ctl; as a subreaper this process becomes its
    // parent and can reap it at once when it is killed, rather than wait for
    // the system's first process to.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    m_data = m_dir.filePath("data");
    if (m_asPostgres) {
        // The server refuses to run as root; its folder must be its own.
        if (run("chown", {"postgres:postgres", m_dir.path()}) != 0) {
            throw std::runtime_error("cannot give the server folder to the postgres user");
        }
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
    // A process of its own session, which neither a kill of this process
    // nor one of its process group reaches: once this process is gone,
    // however it ended, it stops the server (killing its postmaster when
    // pg_ctl cannot) and removes its folder. This process counts as gone
    // when its pid names a zombie or another process (another start time).
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
}

QString LocalPostgres::setting() const {
    return QStringLiteral("host=127.0.0.1;port=%1;user=olvend_test").arg(m_port);
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
    // The first start looks for a free port; a restart keeps the port the
    // program folders name, waiting until the killed server's is released.
    QString out;
    for (int attempt = 0; attempt < 20; ++attempt) {
        // Below the system's range of outgoing ports (32768 and up), so that
        // no connection of another program takes it while the server is down.
        const int port = m_port != 0 ? m_port : 20000 + int(QRandomGenerator::global()->bounded(12000));
        // fsync=off: the processes are killed, not the machine, so what the
        // server wrote is in the system's cache; without it a restart after
        // a crash first syncs the whole data folder, seconds per restart.
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

QStringList LocalPostgres::serverProcesses() const {
    QFile pidFile(m_data + "/postmaster.pid");
    if (!pidFile.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString postmaster = QString::fromLatin1(pidFile.readLine()).trimmed();
    QStringList pids{postmaster};
    // Its children: every process whose parent is the postmaster.
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QString line = QString::fromLatin1(stat.readAll());
        // The command name in parentheses may hold spaces; fields follow
        // the last ')'.
        const QStringList fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1] == postmaster) {
            pids << entry;
        }
    }
    return pids;
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
            ::waitpid(pid_t(pid.toLongLong()), nullptr, WNOHANG);
            any = any || exists(pid);
        }
        if (!any) {
            return;
        }
        QThread::msleep(10);
    }
    throw std::runtime_error("the killed server processes do not end");
}
