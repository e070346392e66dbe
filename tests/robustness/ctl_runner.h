#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs olvendctl as a separate process the way a fault would meet it: as an
// account without privileges (so that file permissions bite when the tests
// run as root), and with a limit on the size of the files it writes (a disk
// that is full for it). A run that hangs is stopped and reported as such.
namespace CtlRunner {

struct Result {
    int code = -1;
    QString out;
    QString err;
    bool crashed = false;
    bool hung = false;
    // What the run printed, for messages and checks.
    QString text() const { return out + err; }
};

// The account the runs "as a user" use: the current one when the tests do
// not run as root, else nobody (or a system account made for the tests).
class Account {
public:
    Account();
    // False (with the reason) when no unprivileged account could be had.
    bool ready(QString* why) const;
    bool switches() const { return m_switch; }
    int uid() const { return m_uid; }
    int gid() const { return m_gid; }
    // A folder the account owns, reachable by it, for its copies of program
    // folders and as its home.
    QString folder() const { return m_root.path(); }
    // Copies a program folder into folder()/name and gives it to the account;
    // the copy's path.
    QString copyProgram(const QString& programFolder, const QString& name) const;
    // Gives a file or a tree to the account (does nothing when not root).
    void own(const QString& path) const;
    // The olvendctl the account runs: a copy in folder() when switching, as
    // the build folder may lie where it cannot reach (under /root); and the
    // LeakSanitizer settings with the suppressions copied there too.
    QString program() const { return m_program; }
    QString lsanOptions() const { return m_lsanOptions; }

private:
    bool m_switch = false;
    QString m_program;
    QString m_lsanOptions;
    int m_uid = -1;
    int m_gid = -1;
    QString m_problem;
    QTemporaryDir m_root;
};

struct Options {
    const Account* as = nullptr;  // run as this account (else as the tests run)
    qint64 fileSizeLimit = 0;     // bytes any file it writes may reach; 0: none
    int timeoutMs = 60000;
};

// olvendctl --home HOME --today 2006-06-25 ARGS.
Result run(const QString& home, const QStringList& args, const Options& options = {});

}  // namespace CtlRunner
