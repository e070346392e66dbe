#include "robustness/ctl_runner.h"

#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace CtlRunner {

namespace {
const char* const kTestAccount = "olvendfault";

bool lookUp(const char* name, int* uid, int* gid) {
    const passwd* entry = getpwnam(name);
    if (!entry) {
        return false;
    }
    *uid = static_cast<int>(entry->pw_uid);
    *gid = static_cast<int>(entry->pw_gid);
    return true;
}

bool copyTree(const QString& from, const QString& to) {
    if (!QDir().mkpath(to)) {
        return false;
    }
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + '/' + QDir(from).relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target)) {
                return false;
            }
        } else if (!QFile::copy(path, target)) {
            return false;
        }
    }
    return true;
}
}  // namespace

Account::Account() {
    m_program = QStringLiteral(OLVENDCTL_PATH);
    m_lsanOptions = qEnvironmentVariable("LSAN_OPTIONS");
    if (geteuid() != 0) {
        // Permissions bite for the account the tests run as.
        m_uid = static_cast<int>(getuid());
        m_gid = static_cast<int>(getgid());
        return;
    }
    m_switch = true;
    if (!lookUp("nobody", &m_uid, &m_gid) && !lookUp(kTestAccount, &m_uid, &m_gid)) {
        QProcess::execute(QStringLiteral("useradd"),
                          {QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--shell"),
                           QStringLiteral("/usr/sbin/nologin"), QString::fromLatin1(kTestAccount)});
        if (!lookUp(kTestAccount, &m_uid, &m_gid)) {
            m_problem = QStringLiteral("no unprivileged account: nobody is missing and useradd failed");
        }
    }
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
        m_problem = QStringLiteral("setpriv is missing: the runs cannot change to an unprivileged account");
    }
    QFile::setPermissions(m_root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                             QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    QDir().mkpath(m_root.filePath(QStringLiteral("home")));
    const QString bin = m_root.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    m_program = bin + QStringLiteral("/olvendctl");
    if (!QFile::copy(QStringLiteral(OLVENDCTL_PATH), m_program) ||
        !QFile::setPermissions(m_program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther)) {
        m_problem = QStringLiteral("cannot copy olvendctl for the test account");
    }
    // suppressions=PATH among the sanitizer settings: a copy it can read.
    QStringList lsan = m_lsanOptions.split(':', Qt::SkipEmptyParts);
    for (QString& option : lsan) {
        if (option.startsWith(QLatin1String("suppressions="))) {
            const QString copy = bin + QStringLiteral("/lsan.supp");
            QFile::copy(option.mid(int(qstrlen("suppressions="))), copy);
            option = QStringLiteral("suppressions=") + copy;
        }
    }
    m_lsanOptions = lsan.join(':');
    own(m_root.path());
}

bool Account::ready(QString* why) const {
    if (!m_root.isValid()) {
        *why = QStringLiteral("no temporary folder");
        return false;
    }
    *why = m_problem;
    return m_problem.isEmpty();
}

QString Account::copyProgram(const QString& programFolder, const QString& name) const {
    const QString target = m_root.filePath(name);
    if (!copyTree(programFolder, target)) {
        return {};
    }
    own(target);
    return target;
}

void Account::own(const QString& path) const {
    if (!m_switch) {
        return;
    }
    const QByteArray top = QFile::encodeName(path);
    if (lchown(top.constData(), m_uid, m_gid) != 0) {
        qWarning("cannot give %s to the test account", top.constData());
    }
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QByteArray name = QFile::encodeName(it.next());
        if (lchown(name.constData(), m_uid, m_gid) != 0) {
            qWarning("cannot give %s to the test account", name.constData());
        }
    }
}

Result run(const QString& home, const QStringList& args, const Options& options) {
    const bool switching = options.as && options.as->switches();
    QString program = switching ? options.as->program() : QStringLiteral(OLVENDCTL_PATH);
    QStringList arguments = QStringList{"--home", home, "--today", "2006-06-25"} + args;
    if (options.fileSizeLimit > 0) {
        // A file that reaches the limit refuses the write (EFBIG) as a full
        // disk does; the signal that would end the process is ignored, and
        // an ignored signal stays ignored across exec.
        const qint64 blocks = (options.fileSizeLimit + 1023) / 1024;
        arguments = QStringList{"-c", "trap '' XFSZ; ulimit -f \"$1\" || exit 99; shift; exec \"$@\"",
                                "olvendctl-limited", QString::number(blocks), program} +
                    arguments;
        program = QStringLiteral("bash");
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("XDG_RUNTIME_DIR");
    if (switching) {
        arguments = QStringList{QStringLiteral("--reuid=%1").arg(options.as->uid()),
                                QStringLiteral("--regid=%1").arg(options.as->gid()), "--clear-groups", program} +
                    arguments;
        program = QStringLiteral("setpriv");
        // Caches (fonts) go to a home the account may write.
        env.insert("HOME", options.as->folder() + QStringLiteral("/home"));
        if (!options.as->lsanOptions().isEmpty()) {
            env.insert("LSAN_OPTIONS", options.as->lsanOptions());
        }
    }
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    Result r;
    if (!p.waitForStarted(10000)) {
        r.err = QStringLiteral("cannot start %1: %2").arg(program, p.errorString());
        return r;
    }
    if (!p.waitForFinished(options.timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.hung = true;
    }
    r.crashed = !r.hung && p.exitStatus() == QProcess::CrashExit;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

}  // namespace CtlRunner
