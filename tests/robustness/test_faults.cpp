#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "admin/settings_editor.h"
#include "data/app_context.h"
#include "data/book_checks.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "documents/payout_editor.h"
#include "documents/payout_list.h"
#include "platform/errors.h"
#include "robustness/local_postgres.h"
#include "shell/login_service.h"
#include "support/test_books.h"
#include "support/test_paths.h"

// Faults from outside the program, met by olvendctl and by the logic
// classes: a locked book, a book or folder that cannot be written, a full
// disk, a damaged book, a settings file that cannot be written, the server
// gone. Each gives a Chinese message naming what failed, keeps what was
// saved before, and once the fault is repaired the same work succeeds.
namespace {
struct Result {
    int code = -1;  // -1 when it crashed or hung
    QString out, err;
};

bool setMode(const QString& path, mode_t mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// The account olvendctl runs as "as a user", so that file permissions bite:
// the current one, or nobody when the tests run as root. Switching, it runs
// a copy of olvendctl (the build folder may lie under /root) with the
// LeakSanitizer suppressions copied beside it.
class Account {
public:
    Account() : program(TestPaths::olvendctl()), lsanOptions(qEnvironmentVariable("LSAN_OPTIONS")) {
        switches = geteuid() == 0;
        if (!switches) {
            return;
        }
        const passwd* nobody = getpwnam("nobody");
        if (nobody) {
            uid = static_cast<int>(nobody->pw_uid);
            gid = static_cast<int>(nobody->pw_gid);
        } else {
            m_problem = QStringLiteral("no unprivileged account: nobody is missing");
        }
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
            m_problem = QStringLiteral("setpriv is missing: the runs cannot change to an unprivileged account");
        }
        setMode(m_root.path(), 0755);
        const QString bin = m_root.filePath(QStringLiteral("bin"));
        QDir().mkpath(bin);
        QDir().mkpath(m_root.filePath(QStringLiteral("home")));
        program = bin + QStringLiteral("/olvendctl");
        if (!QFile::copy(TestPaths::olvendctl(), program) || !setMode(program, 0755)) {
            m_problem = QStringLiteral("cannot copy olvendctl for the test account");
        }
        // Only the suppressions option itself, not print_suppressions.
        const QRegularExpression suppressions(QStringLiteral("(^|:)suppressions=([^:]*)"));
        QFile::copy(suppressions.match(lsanOptions).captured(2), bin + QStringLiteral("/lsan.supp"));
        lsanOptions.replace(suppressions, QStringLiteral("\\1suppressions=") + bin + QStringLiteral("/lsan.supp"));
        own(m_root.path());
    }
    // Why no unprivileged account could be had; empty when it can.
    QString problem() const { return m_root.isValid() ? m_problem : QStringLiteral("no temporary folder"); }
    QString folder() const { return m_root.path(); }
    // A copy of a program folder in folder()/name, the account's; empty when it failed.
    QString copyProgram(const QString& programFolder, const QString& name) const {
        const QString target = m_root.filePath(name);
        if (!problem().isEmpty() || QProcess::execute("cp", {"-a", programFolder, target}) != 0) {
            return {};
        }
        own(target);
        return target;
    }
    // Gives a file or a tree to the account (nothing to do when not root).
    void own(const QString& path) const {
        if (switches &&
            QProcess::execute("chown", {"-R", "-h", QStringLiteral("%1:%2").arg(uid).arg(gid), path}) != 0) {
            qWarning("cannot give %s to the test account", qPrintable(path));
        }
    }

    bool switches = false;
    QString program, lsanOptions;
    int uid = -1, gid = -1;

private:
    QString m_problem;
    QTemporaryDir m_root;
};

struct Options {
    const Account* as = nullptr;  // run as this account (else as the tests run)
    qint64 fileSizeLimit = 0;     // bytes any file it writes may reach; 0: none
    QString program = {};         // another copy of olvendctl to run
    QString dataHome = {};        // XDG_DATA_HOME
};

// olvendctl --home HOME --today 2006-06-25 ARGS in a process of its own, stopped when it hangs.
Result ctl(const QString& home, const QStringList& args, const Options& options = {}) {
    const bool switching = options.as && options.as->switches;
    QString program = !options.program.isEmpty() ? options.program
                      : switching                ? options.as->program
                                                 : TestPaths::olvendctl();
    // Without a home the program chooses its folder as an installed one does.
    QStringList arguments =
        (home.isEmpty() ? QStringList{} : QStringList{"--home", home}) + QStringList{"--today", "2006-06-25"} + args;
    if (options.fileSizeLimit > 0) {
        // A file that reaches the limit refuses the write (EFBIG) as a full
        // disk does; the signal that would end the process is ignored, and
        // an ignored signal stays ignored across exec.
        arguments = QStringList{"-c", "trap '' XFSZ; ulimit -f \"$1\" || exit 99; shift; exec \"$@\"",
                                "olvendctl-limited", QString::number((options.fileSizeLimit + 1023) / 1024), program} +
                    arguments;
        program = QStringLiteral("bash");
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("XDG_RUNTIME_DIR");
    env.remove("OLVEND_HOME");
    if (!options.dataHome.isEmpty()) {
        env.insert("XDG_DATA_HOME", options.dataHome);
    }
    if (switching) {
        arguments = QStringList{QStringLiteral("--reuid=%1").arg(options.as->uid),
                                QStringLiteral("--regid=%1").arg(options.as->gid), "--clear-groups", program} +
                    arguments;
        program = QStringLiteral("setpriv");
        // Caches (fonts) go to a home the account may write.
        env.insert("HOME", options.as->folder() + QStringLiteral("/home"));
        if (!options.as->lsanOptions.isEmpty()) {
            env.insert("LSAN_OPTIONS", options.as->lsanOptions);
        }
    }
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    const bool ended = p.waitForFinished(60000);  // false also when it did not start
    if (!ended) {
        p.kill();
        p.waitForFinished(5000);
    }
    return {ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError()) + (ended ? QString() : " [hung] " + p.errorString())};
}

const QDate kToday(2006, 6, 25);
const QStringList kAddPayout{"payout", "add", "2", "2006-06-10", "70"};
const QStringList kListPayouts{"payout", "list", "2"};

// What was saved, to compare before and after a fault.
struct Facts {
    int payouts = -1;
    qint64 amount = -1;
    int goods = -1;
    QString check;  // "ok" for a sound book
    bool operator==(const Facts&) const = default;
    // This book with more payouts, and sound.
    Facts plus(int morePayouts, qint64 moreAmount) const {
        return {payouts + morePayouts, amount + moreAmount, goods, QStringLiteral("ok")};
    }
};

char* toString(const Facts& f) {
    return QTest::toString(
        QStringLiteral("%1 payouts of %2, %3 goods, check %4").arg(f.payouts).arg(f.amount).arg(f.goods).arg(f.check));
}

Facts factsOf(Database& db) {
    // A server keeps its own data sound; an embedded book is checked.
    return {db.scalar("select count(*) from payout").toInt(),
            db.scalar("select coalesce(sum(totalprice), 0) from payout").toLongLong(),
            db.scalar("select count(*) from goods").toInt(),
            db.isAccess() ? db.scalar("PRAGMA integrity_check").toString() : QStringLiteral("ok")};
}

Facts factsOfFile(const QString& file) {
    return factsOf(*Database::openSqlite(file, QStringLiteral("检查")));
}

QString describe(const Result& r) {
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(r.code).arg(r.out, r.err);
}

// The command ran to its end and failed with exit 1, printing nothing on
// stdout and on stderr every one of `words` (none written "!word").
void expectRefused(const Result& r, const QStringList& words) {
    QVERIFY2(r.code == 1 && r.out.isEmpty(), qPrintable(describe(r)));
    for (const QString& w : words) {
        const bool absent = w.startsWith('!');
        QVERIFY2(r.err.contains(absent ? w.mid(1) : w) != absent, qPrintable(w + ": " + describe(r)));
    }
}

void expectDone(const Result& r) {
    QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(describe(r)));
}

// `work` raises a DbError of `kind` whose message holds each of `words`.
void expectDbError(const std::function<void()>& work, DbError::Kind kind, const QStringList& words) {
    const auto e = BookChecks::thrown<DbError>(work);
    QVERIFY2(e, "the fault went unnoticed");
    QCOMPARE(e->kind(), kind);
    for (const QString& w : words) {
        QVERIFY2(e->message().contains(w), qPrintable(w + " missing in " + e->message()));
    }
}

// A payout typed into a new editor, not saved yet.
struct PendingPayout {
    PayoutList list;
    std::unique_ptr<PayoutEditor> editor;
    PendingPayout(TestBooks::TestProgram& p, qint64 amount, int kind = 2, const QDate& day = {})
        : list(p.context().data().main(), p.prompter(), kind) {
        list.open();
        editor = std::make_unique<PayoutEditor>(list, p.prompter(), kToday, PayoutEditor::New);
        if (day.isValid()) {
            list.rows().setValue("paytime", day.startOfDay());
        }
        list.rows().setValue("totalprice", amount);
    }
    Dataset::RowStatus status() { return list.rows().rowStatus(list.rows().currentRow()); }
    bool unsaved() { return list.rows().hasChanges() && status() == Dataset::RowStatus::Inserted; }
    bool saved() { return !list.rows().hasChanges() && status() == Dataset::RowStatus::Unchanged; }
};

// A program folder, its book connected, with payouts of 40 and 500.
struct Program {
    TestBooks::TestProgram program;
    QString bookFile;
    explicit Program(const QString& engine = QStringLiteral("sqlite"), bool shortBusyTimeout = false) {
        program.connect(engine);
        if (shortBusyTimeout) {
            program.shortenBusyTimeout();
        }
        bookFile = db().location();
        savePayout(0, QDate(2006, 6, 1), 40);
        savePayout(1, QDate(2006, 6, 2), 500);
    }
    AppContext& context() { return program.context(); }
    Database& db() { return context().data().main(); }
    QString folder() const { return program.folder(); }
    void savePayout(int kind, const QDate& day, qint64 amount) {
        if (!PendingPayout(program, amount, kind, day).editor->save()) {
            qFatal("payout not saved: %s", qPrintable(program.prompter().lastText()));
        }
    }
    void close() { context().data().disconnect(); }
    Result run(const QStringList& args) { return ctl(folder(), args); }
};

// While the fault `inject` brings lasts, every command is refused and the
// book keeps what it held; after `repair` the first command succeeds.
void refusedUntilRepaired(const QString& home, const QString& book, const QList<QStringList>& commands,
                          const QStringList& words, const std::function<void()>& inject,
                          const std::function<void()>& repair, const Options& options = {}) {
    const Facts before = factsOfFile(book);
    inject();
    for (const QStringList& args : commands) {
        expectRefused(ctl(home, args, options), words);
    }
    repair();
    QCOMPARE(factsOfFile(book), before);
    expectDone(ctl(home, commands.first(), options));
}

// Overwrites a page with bytes from a seeded generator.
bool scramblePage(const QString& file, int page, int pageSize, quint32 seed) {
    QFile f(file);
    QRandomGenerator random(seed);
    QByteArray bytes(pageSize, Qt::Uninitialized);
    for (char& b : bytes) {
        b = static_cast<char>(random.bounded(256));
    }
    return f.open(QIODevice::ReadWrite) && f.seek(qint64(page - 1) * pageSize) && f.write(bytes) == pageSize;
}

// The logic classes on the book whose payouts are damaged.
void damagedInProcess(Program& p) {
    DataModule& data = p.context().data();
    data.ConnectDatabases();
    const QStringList words{"已损坏", p.bookFile};
    expectDbError([&p] { PayoutList(p.db(), p.program.prompter(), 0).open(); }, DbError::Kind::Damaged, words);
    {
        // Rows opened without reading the damaged page: the insert meets it,
        // and the row stays unsaved.
        Dataset rows(p.db());
        rows.setUpdateTable("payout");
        rows.open("select * from payout where 1 = 0");
        BookChecks::appendRow(rows,
                              {{"paytime", QDate(2006, 6, 10).startOfDay()}, {"subject", "2"}, {"totalprice", 70}});
        rows.post();
        expectDbError([&rows] { rows.applyUpdates(); }, DbError::Kind::Damaged, words);
        QCOMPARE(rows.rowStatus(0), Dataset::RowStatus::Inserted);
    }
    data.disconnect();
}

void rows(const char* column, const char* whenFalse, const char* whenTrue) {
    QTest::addColumn<bool>(column);
    QTest::newRow(whenFalse) << false;
    QTest::newRow(whenTrue) << true;
}
}  // namespace

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { m_account = std::make_unique<Account>(); }
    void readOnly_data() { rows("folder", "book file", "program folder"); }
    void readOnly();
    void fullDisk();
    void damagedBook_data() { rows("truncated", "page scrambled", "cut in half"); }
    void damagedBook();
    void refusedSave_data() { rows("locked", "read-only connection", "locked book"); }
    void refusedSave();
    void fullBookInProcess();
    void initCannotWriteConfig_data() { rows("folder", "read-only", "a folder holds its name"); }
    void initCannotWriteConfig();
    void installedProgramUsesTheUsersDataFolder();
    void settingsThatCannotBeWritten();
    void restoreFromAReadOnlyFolder_data() { TestBooks::addEngineRows(); }
    void restoreFromAReadOnlyFolder();
    // Last: it starts a server of its own.
    void serverGone();

private:
    // A copy of the program folder, closed, given to the account; its path
    // (empty when there is no such account).
    QString userCopy(Program& p) {
        p.close();
        return m_account->copyProgram(
            p.folder(), QStringLiteral("%1-%2").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
    }
    std::unique_ptr<Account> m_account;
};

// The user may not write the book, or its folder. Reading commands are
// refused too: SQLite would leave an index file (-shm) beside a read-only
// book that refuses every save after the book is writable again, and in a
// read-only folder it can neither read nor write (the message names the
// folder, not "no database"). Restoring the permission is the repair.
void TestFaults::readOnly() {
    QFETCH(bool, folder);
    Program p;
    const Facts before = factsOf(p.db());
    const QString home = userCopy(p);
    QVERIFY2(!home.isEmpty(), qPrintable(m_account->problem()));
    const QString book = home + "/db/UserAccountBook001.db";
    const QStringList paths = folder ? QStringList{home, home + "/db"} : QStringList{book};
    const auto setModes = [&paths](mode_t mode) {
        for (const QString& path : paths) {
            QVERIFY(setMode(path, mode));
        }
    };
    const Options asUser{.as = m_account.get()};
    refusedUntilRepaired(
        home, book, {kAddPayout, kListPayouts},
        folder ? QStringList{"不能写入", home + "/db)", "!不是有效的数据库文件"} : QStringList{"文件是只读的", book},
        [&] { setModes(folder ? 0555 : 0444); },
        [&] {
            QVERIFY(!QFileInfo::exists(book + "-shm") && !QFileInfo::exists(book + "-wal"));
            setModes(folder ? 0755 : 0644);
        },
        asUser);
    QCOMPARE(factsOfFile(book), before.plus(1, 70));
}

// No room to write: olvendctl runs with a limit on the size of its files, so
// the book's log cannot grow for the sample goods. The message says the disk
// is full and names the book; without the limit the same command fills it.
void TestFaults::fullDisk() {
    Program p;
    Facts expected = factsOf(p.db());
    p.close();
    // The goods need about 600 KB more; the log may take 128 KB.
    Options limited{.fileSizeLimit = QFileInfo(p.bookFile).size() + 128 * 1024};
    refusedUntilRepaired(
        p.folder(), p.bookFile, {{"demo", "--goods", "3000"}}, {"磁盘已满", p.bookFile}, [] {},
        [&limited] { limited.fileSizeLimit = 0; }, limited);
    expected.goods = 3000;
    QCOMPARE(factsOfFile(p.bookFile), expected);
}

// Every command on a damaged book says the file is damaged, naming it and
// the backup, as opening and writing payouts in the program do (the row
// stays unsaved). The backup put in the book's place repairs it.
void TestFaults::damagedBook() {
    QFETCH(bool, truncated);
    Program p;
    const Facts before = factsOf(p.db());
    const QString backup = p.folder() + "/backup.db";
    expectDone(p.run({"backup", "--out", backup}));
    const int pageSize = p.db().scalar("PRAGMA page_size").toInt();
    // The first page of the payouts, in the middle of the file: the book
    // opens, and reading or saving payouts meets the damage.
    const int page = p.db().scalar("select rootpage from sqlite_master where name = 'payout'").toInt();
    const int pages = p.db().scalar("PRAGMA page_count").toInt();
    QVERIFY2(page > pages / 4 && page < pages, qPrintable(QString("page %1 of %2").arg(page).arg(pages)));
    p.close();
    QVERIFY(!QFileInfo::exists(p.bookFile + "-wal"));
    refusedUntilRepaired(
        p.folder(), p.bookFile,
        {kAddPayout, {"payout", "list", "0"}, {"stats", "payout", "--out", p.folder() + "/p.tsv"}},
        {"损坏", p.bookFile, "备份"},
        [&] {
            QFile book(p.bookFile);
            QVERIFY(truncated ? book.resize(book.size() / 2) : scramblePage(p.bookFile, page, pageSize, 20060625));
        },
        [&] {
            if (!truncated) {
                damagedInProcess(p);
            }
            QVERIFY(QFile::remove(p.bookFile) && QFile::copy(backup, p.bookFile));
        });
    p.context().data().ConnectDatabases();
    p.savePayout(2, QDate(2006, 6, 10), 70);
    QCOMPARE(factsOf(p.db()), before.plus(2, 140));
}

// Another program holds the write lock beyond the busy timeout (olvendctl
// waits 10 s), or the connection may not write (as for a book SQLite opened
// read-only): the save is refused naming the book, and the editor keeps the
// payout unsaved until it saves once the fault is gone.
void TestFaults::refusedSave() {
    QFETCH(bool, locked);
    Program p(QStringLiteral("sqlite"), locked);
    const Facts before = factsOf(p.db());
    PendingPayout pending(p.program, 70);
    std::unique_ptr<Database> holder;
    if (locked) {
        holder = p.program.lockMainBook();
        const QStringList words{"正被其他用户或程序使用", "UserAccountBook001.db"};
        expectRefused(p.run(kAddPayout), words);
        expectDbError([&] { pending.editor->save(); }, DbError::Kind::Busy, words);
    } else {
        p.db().query("PRAGMA query_only = ON");
        expectDbError([&] { pending.editor->save(); }, DbError::Kind::ReadOnly, {"不能写入", p.bookFile});
    }
    QVERIFY(pending.unsaved());
    QCOMPARE(factsOf(p.db()), before);
    holder.reset();
    p.db().query("PRAGMA query_only = OFF");
    QVERIFY(pending.editor->save());
    QVERIFY(pending.saved());
    expectDone(p.run(kAddPayout));
    QCOMPARE(factsOf(p.db()), before.plus(2, 140));
}

// The book may not grow (max_page_count): a batch of payouts is refused as
// a full book, every row stays unsaved, and is written once there is room.
void TestFaults::fullBookInProcess() {
    Program p;
    const Facts before = factsOf(p.db());
    Database& db = p.db();
    PayoutList list(db, p.program.prompter(), 2);
    list.open();
    Dataset& rows = list.rows();
    const int added = 2000;
    for (int i = 0; i < added; ++i) {
        list.addRow(kToday);
        rows.setValue("totalprice", 1);
        rows.setValue("remark", QString(50, QChar(u'费')));
        rows.post();
    }
    // 2000 remarks of 150 bytes need far more pages than the book has free.
    QVERIFY(db.scalar("PRAGMA freelist_count").toInt() < 20);
    db.query(QStringLiteral("PRAGMA max_page_count = %1").arg(db.scalar("PRAGMA page_count").toInt()));
    expectDbError([&rows] { rows.applyUpdates(); }, DbError::Kind::DiskFull, {"磁盘已满", p.bookFile});
    int unsaved = 0;
    for (int r = 0; r < rows.rowCount(); ++r) {
        unsaved += rows.rowStatus(r) == Dataset::RowStatus::Inserted ? 1 : 0;
    }
    QCOMPARE(unsaved, added);
    QCOMPARE(factsOf(db), before);
    db.query("PRAGMA max_page_count = 1073741823");
    rows.applyUpdates();
    QVERIFY(!rows.hasChanges());
    QCOMPARE(factsOf(db), before.plus(added, added));
}

// `init` cannot write config.ini (a folder holds its name, or an office's
// prepared settings are read-only): the message names the file and why, no
// book is made, and once the file can be written `init` prepares the folder.
void TestFaults::initCannotWriteConfig() {
    QFETCH(bool, folder);
    QVERIFY2(m_account->problem().isEmpty(), qPrintable(m_account->problem()));
    const QString home = m_account->folder() + "/" + QTest::currentDataTag();
    const QString config = home + "/config.ini";
    QVERIFY(QDir().mkpath(folder ? config : home));
    if (!folder) {
        QFile f(config);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("[SYS_Setting]\nDBType=SQLITE\n") > 0);
    }
    m_account->own(home);
    QVERIFY(folder || setMode(config, 0444));
    const Options asUser{.as = m_account.get()};
    expectRefused(ctl(home, {"init"}, asUser), {"无法写入配置文件", config, folder ? "文件夹" : "文件是只读的"});
    QVERIFY(!QFileInfo::exists(home + "/db/System.db") && !QFileInfo::exists(home + "/db/UserAccountBook001.db"));
    QVERIFY(folder ? QDir().rmdir(config) : setMode(config, 0644));
    const Result init = ctl(home, {"init"}, asUser);
    QVERIFY2(init.code == 0 && init.out.contains("已初始化"), qPrintable(describe(init)));
    expectDone(ctl(home, kAddPayout, asUser));
}

// An installed program (its executable in a folder the user cannot write)
// keeps each user's data in the user's data folder; a data folder that
// cannot be made is named, with the way to choose another, and nothing is
// made.
void TestFaults::installedProgramUsesTheUsersDataFolder() {
    QVERIFY2(m_account->problem().isEmpty(), qPrintable(m_account->problem()));
    if (!m_account->switches) {
        QSKIP("the tests do not run as root: no account to be a user who cannot write the program's folder");
    }
    const QString bin = m_account->folder() + "/installed";  // made by root: the account cannot write it
    QVERIFY(QDir().mkpath(bin) && setMode(bin, 0755) && QFile::copy(m_account->program, bin + "/olvendctl"));
    QVERIFY(setMode(bin + "/olvendctl", 0755));
    const QString data = m_account->folder() + "/home/data";
    Options installed{.as = m_account.get(), .program = bin + "/olvendctl", .dataHome = data};
    const Result init = ctl({}, {"init"}, installed);
    QVERIFY2(init.code == 0 && QFileInfo::exists(data + "/olvend/db/System.db"), qPrintable(describe(init)));
    const Result version = ctl({}, {"--version"}, installed);
    QVERIFY2(version.code == 0 && version.out.contains("程序目录: " + data + "/olvend/"),
             qPrintable(describe(version)));
    expectDone(ctl({}, kAddPayout, installed));
    installed.dataHome = bin + "/data";
    expectRefused(ctl({}, {"init"}, installed), {"无法创建文件夹", bin + "/data/olvend", "--home"});
    QVERIFY(!QFileInfo::exists(bin + "/data"));
}

// The settings dialog's settings are refused whole when config.ini cannot
// be written; the log-in still switches and tells about the file, the book
// goes on saving, and with the name free the same settings are written.
void TestFaults::settingsThatCannotBeWritten() {
    Program p;
    AppContext& c = p.context();
    const QString config = c.paths().configFile();
    const QString pictures = c.PictureFolder;
    QVERIFY(QFile::remove(config) && QDir().mkpath(config));
    SettingsEditor settings(c);
    const QString said = BookChecks::refusal([&] { settings.apply(true, "/srv/pictures"); });
    QVERIFY2(said.contains("无法写入配置文件") && said.contains(config), qPrintable(said));
    QCOMPARE(c.PictureFolder, pictures);
    QVERIFY(!settings.showCustomFilter());
    LoginService login(c);
    login.loadAccountBooks();
    QVERIFY(!login.books().isEmpty());
    p.program.prompter().clear();
    QCOMPARE(login.logIn(login.books().first(), "超级用户", ""), LoginService::Result::LoggedIn);
    QVERIFY2(p.program.prompter().lastText().contains("无法写入配置文件"), qPrintable(p.program.prompter().lastText()));
    QCOMPARE(c.CurrentUser.UserName, QString("超级用户"));
    const Facts before = factsOf(p.db());
    p.savePayout(2, QDate(2006, 6, 10), 70);
    QCOMPARE(factsOf(p.db()), before.plus(1, 70));
    QVERIFY(QDir().rmdir(config));
    settings.apply(true, "/srv/pictures");
    QCOMPARE(c.PictureFolder, QString("/srv/pictures/"));
    const IniFile ini(config);
    QCOMPARE((QStringList{ini.readString("SYS_Setting", "picPath"), ini.readString("SYS_Setting", "ShowCustomFilter"),
                          ini.readString("DB", "Path")}),
             (QStringList{"/srv/pictures/", "true", "db/UserAccountBook001.db"}));
}

// A backup on a disk that cannot be written (a CD) restores, read from a
// temporary copy; the book as it was is kept in the program's book folder,
// and the backup's folder stays as it was.
void TestFaults::restoreFromAReadOnlyFolder() {
    QFETCH(QString, engine);
    if (engine == "postgres" && !TestBooks::postgresConfigured()) {
        QVERIFY2(!qEnvironmentVariableIsSet("OLVEND_REQUIRE_PG"), "OLVEND_REQUIRE_PG is set but OLVEND_TEST_PG is not");
        QSKIP("no PostgreSQL server configured (OLVEND_TEST_PG)");
    }
    Program p(engine);
    const Facts before = factsOf(p.db());
    const QString home = userCopy(p);
    QVERIFY2(!home.isEmpty(), qPrintable(m_account->problem()));
    const QString disk = home + "/cd";
    QVERIFY(QDir().mkdir(disk));
    m_account->own(disk);
    const Options asUser{.as = m_account.get()};
    expectDone(ctl(home, {"backup", "--out", disk + "/two.db"}, asUser));
    QVERIFY(setMode(disk + "/two.db", 0444) && setMode(disk, 0555));
    // A backup into the folder that cannot be written names the folder.
    expectRefused(ctl(home, {"backup", "--out", disk + "/three.db"}, asUser),
                  {"无法在文件夹[" + disk + "]中写入备份文件"});
    expectDone(ctl(home, kAddPayout, asUser));
    const Result r = ctl(home, {"restore", "--from", disk + "/two.db"}, asUser);
    QVERIFY(setMode(disk, 0755));
    expectDone(r);
    const QString savedAs = r.out.trimmed();
    QCOMPARE(QFileInfo(savedAs).absolutePath(), QFileInfo(home + "/db").absoluteFilePath());
    QCOMPARE(factsOfFile(savedAs).payouts, before.payouts + 1);
    QCOMPARE(QDir(disk).entryList(QDir::Files | QDir::Hidden), QStringList{"two.db"});
    if (engine == "postgres") {
        p.context().data().ConnectDatabases();
    }
    QCOMPARE(engine == "sqlite" ? factsOfFile(home + "/db/UserAccountBook001.db") : factsOf(p.db()), before);
}

// The server of the book is killed during a session: olvendctl and the open
// program say it cannot be reached, naming it, and save nothing; once it
// runs again the same command and editor save, and nothing saved is lost.
void TestFaults::serverGone() {
    const auto server = LocalPostgres::forTest();
    if (!server) {
        return;
    }
    const QString address = QStringLiteral("127.0.0.1:%1").arg(server->port());
    Program p(QStringLiteral("postgres"));
    expectDone(p.run(kAddPayout));
    const Facts before = factsOf(p.db());
    QCOMPARE(before.payouts, 3);
    PendingPayout pending(p.program, 30);
    server->crash();
    expectRefused(p.run(kAddPayout), {"数据库服务器", address});
    expectDbError([&] { pending.editor->save(); }, DbError::Kind::ConnectionLost, {"数据库服务器", address});
    QVERIFY(pending.unsaved());
    server->start();
    QVERIFY(pending.editor->save());
    QVERIFY(pending.saved());
    expectDone(p.run(kAddPayout));
    QCOMPARE(factsOf(p.db()), before.plus(2, 100));
}

QTEST_GUILESS_MAIN(TestFaults)
#include "test_faults.moc"
