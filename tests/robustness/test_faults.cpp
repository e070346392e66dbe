#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

#include "admin/settings_editor.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "documents/payout_editor.h"
#include "documents/payout_list.h"
#include "platform/errors.h"
#include "robustness/ctl_runner.h"
#include "robustness/local_postgres.h"
#include "shell/login_service.h"
#include "support/test_books.h"

// Faults from outside the program, met by olvendctl (a separate process)
// and by the logic classes: a locked book, a book or folder that cannot be
// written, a full disk, a damaged book, a settings file that cannot be
// written, the database server gone. Each gives a Chinese message naming
// what failed, keeps what was saved before, and once the fault is repaired
// the same work succeeds.
class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void lockedBook();
    void lockedBookInProcess();
    void readOnlyBookFile();
    void readOnlyProgramFolder();
    void readOnlyBookInProcess();
    void fullDisk();
    void fullBookInProcess();
    void truncatedBook();
    void damagedPage();
    void damagedBookInProcess();
    void configIniIsAFolder();
    void readOnlyConfigIni();
    void settingsThatCannotBeWritten();
    void restoreFromAReadOnlyFolder_data();
    void restoreFromAReadOnlyFolder();
    // Last: it starts a server of its own.
    void serverGone();

private:
    std::unique_ptr<CtlRunner::Account> m_account;
};

namespace {
using CtlRunner::Result;

const QDate kToday(2006, 6, 25);

// What was saved, to compare before and after a fault.
struct Facts {
    int payouts = -1;
    qint64 amount = -1;
    int goods = -1;
    QString check;
};

Facts factsOf(Database& db) {
    Facts f;
    f.payouts = db.scalar("select count(*) from payout").toInt();
    f.amount = db.scalar("select coalesce(sum(totalprice), 0) from payout").toLongLong();
    f.goods = db.scalar("select count(*) from goods").toInt();
    // A server keeps its own data sound; an embedded book is checked.
    f.check = db.isAccess() ? db.scalar("PRAGMA integrity_check").toString() : QStringLiteral("ok");
    return f;
}

// Read from the file by a connection of its own, closed again at once (the
// last connection to close removes SQLite's files beside the book).
Facts factsOfFile(const QString& file) {
    auto db = Database::openSqlite(file, QStringLiteral("检查"));
    return factsOf(*db);
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

bool setMode(const QString& path, mode_t mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

QString describe(const Result& r) {
    return QStringLiteral("exit %1%2%3\nstdout: %4\nstderr: %5")
        .arg(r.code)
        .arg(r.crashed ? QStringLiteral(", crashed") : QString(), r.hung ? QStringLiteral(", hung") : QString(), r.out,
             r.err);
}

// A program folder with its book connected (the first start's SQLite book).
struct Program {
    TestBooks::TestProgram program;
    QString bookFile;
    explicit Program(const QString& engine = QStringLiteral("sqlite")) {
        program.connect(engine);
        bookFile = db().location();
    }
    AppContext& context() { return program.context(); }
    Database& db() { return context().data().main(); }
    QString folder() const { return program.folder(); }
    // A payout saved as the editor saves it; its id.
    qint64 savePayout(int kind, const QDate& day, qint64 amount) {
        PayoutList list(db(), program.prompter(), kind);
        list.open();
        PayoutEditor editor(list, program.prompter(), kToday, PayoutEditor::New);
        list.rows().setValue("paytime", day.startOfDay());
        list.rows().setValue("totalprice", amount);
        if (!editor.save()) {
            qFatal("payout not saved: %s", qPrintable(program.prompter().lastText()));
        }
        return list.rows().value("id").toLongLong();
    }
    // Two payouts, 40 and 500.
    void saveTwo() {
        savePayout(0, QDate(2006, 6, 1), 40);
        savePayout(1, QDate(2006, 6, 2), 500);
    }
    // Closes the connections: the book file then holds everything.
    void close() { context().data().disconnect(); }
    Result ctl(const QStringList& args, const CtlRunner::Options& options = {}) {
        return CtlRunner::run(folder(), args, options);
    }
};

const QStringList kAddPayout{"payout", "add", "2", "2006-06-10", "70"};
}  // namespace

#define QVERIFY_RAN(r) QVERIFY2(!(r).hung && !(r).crashed && (r).code >= 0, qPrintable(describe(r)))
#define QVERIFY_SAYS(r, words) QVERIFY2((r).text().contains(words), qPrintable(describe(r)))

#define QCOMPARE_FACTS(actual, expected, morePayouts, moreAmount) \
    do {                                                          \
        const Facts a_ = (actual);                                \
        QCOMPARE(a_.payouts, (expected).payouts + (morePayouts)); \
        QCOMPARE(a_.amount, (expected).amount + (moreAmount));    \
        QCOMPARE(a_.goods, (expected).goods);                     \
        QCOMPARE(a_.check, QString("ok"));                        \
    } while (false)

void TestFaults::initTestCase() {
    m_account = std::make_unique<CtlRunner::Account>();
}

// Another program holds the book's write lock beyond the busy timeout
// (olvendctl waits 10 s): the save is refused naming the book, nothing is
// written, and once the lock is gone the same command saves.
void TestFaults::lockedBook() {
    Program p;
    p.saveTwo();
    const Facts before = factsOf(p.db());
    {
        auto holder = p.program.lockMainBook();
        const Result r = p.ctl(kAddPayout);
        QVERIFY_RAN(r);
        QCOMPARE(r.code, 1);
        QVERIFY_SAYS(r, "正被其他用户或程序使用");
        QVERIFY_SAYS(r, "UserAccountBook001.db");
        QCOMPARE(r.out, QString());
    }
    QCOMPARE_FACTS(factsOf(p.db()), before, 0, 0);
    const Result again = p.ctl(kAddPayout);
    QCOMPARE(again.err, QString());
    QCOMPARE(again.code, 0);
    QCOMPARE_FACTS(factsOf(p.db()), before, 1, 70);
}

// The editor's save meets the lock: the payout stays in the rows as not
// saved, and the same editor saves it once the lock is gone.
void TestFaults::lockedBookInProcess() {
    Program p;
    p.program.shortenBusyTimeout();
    p.saveTwo();
    const Facts before = factsOf(p.db());
    PayoutList list(p.db(), p.program.prompter(), 2);
    list.open();
    PayoutEditor editor(list, p.program.prompter(), kToday, PayoutEditor::New);
    list.rows().setValue("totalprice", 70);
    {
        auto holder = p.program.lockMainBook();
        try {
            editor.save();
            QFAIL("saved into a locked book");
        } catch (const DbError& e) {
            QCOMPARE(e.kind(), DbError::Kind::Busy);
            QVERIFY2(e.message().contains("正被其他用户或程序使用"), qPrintable(e.message()));
            QVERIFY2(e.message().contains("UserAccountBook001.db"), qPrintable(e.message()));
        }
        QVERIFY(list.rows().hasChanges());
        QCOMPARE(list.rows().rowStatus(list.rows().currentRow()), Dataset::RowStatus::Inserted);
    }
    QCOMPARE_FACTS(factsOf(p.db()), before, 0, 0);
    QVERIFY(editor.save());
    QVERIFY(!list.rows().hasChanges());
    QCOMPARE(list.rows().rowStatus(list.rows().currentRow()), Dataset::RowStatus::Unchanged);
    QCOMPARE_FACTS(factsOf(p.db()), before, 1, 70);
}

// A book file the user may not write. Opening it is refused, for reading
// commands too: SQLite would make its index file (-shm) beside it with the
// book's read-only mode, and that file would go on refusing every save
// after the book is made writable again. Nothing is left beside the book,
// so restoring the permission is all the repair there is.
void TestFaults::readOnlyBookFile() {
    QString why;
    QVERIFY2(m_account->ready(&why), qPrintable(why));
    Program p;
    p.saveTwo();
    p.close();
    const QString home = m_account->copyProgram(p.folder(), "read-only-book");
    QVERIFY(!home.isEmpty());
    const QString book = home + "/db/UserAccountBook001.db";
    const Facts before = factsOfFile(book);
    const CtlRunner::Options asUser{.as = m_account.get()};

    QVERIFY(setMode(book, 0444));
    for (const QStringList& args : {kAddPayout, QStringList{"payout", "list", "2"}}) {
        const Result r = CtlRunner::run(home, args, asUser);
        QVERIFY_RAN(r);
        QCOMPARE(r.code, 1);
        QVERIFY_SAYS(r, "文件是只读的");
        QVERIFY_SAYS(r, native(book));
        QVERIFY(!QFileInfo::exists(book + "-shm"));
        QVERIFY(!QFileInfo::exists(book + "-wal"));
    }
    QVERIFY(setMode(book, 0644));
    const Result r = CtlRunner::run(home, kAddPayout, asUser);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    const Result list = CtlRunner::run(home, {"payout", "list", "2"}, asUser);
    QCOMPARE(list.code, 0);
    QVERIFY2(list.out.contains("\t2006-06-10\t2\t70\t"), qPrintable(list.out));
    QCOMPARE_FACTS(factsOfFile(book), before, 1, 70);
}

// The folder of the book (and of config.ini) cannot be written: SQLite can
// neither read nor write a book without making its files beside it, and the
// message says which folder, instead of calling the file no database.
void TestFaults::readOnlyProgramFolder() {
    QString why;
    QVERIFY2(m_account->ready(&why), qPrintable(why));
    Program p;
    p.saveTwo();
    p.close();
    const QString home = m_account->copyProgram(p.folder(), "read-only-folder");
    QVERIFY(!home.isEmpty());
    const QString book = home + "/db/UserAccountBook001.db";
    const Facts before = factsOfFile(book);
    const CtlRunner::Options asUser{.as = m_account.get()};

    QVERIFY(setMode(home, 0555));
    QVERIFY(setMode(home + "/db", 0555));
    for (const QStringList& args : {kAddPayout, QStringList{"payout", "list", "2"}}) {
        const Result r = CtlRunner::run(home, args, asUser);
        QVERIFY_RAN(r);
        QCOMPARE(r.code, 1);
        QVERIFY_SAYS(r, "不能写入");
        QVERIFY_SAYS(r, native(home + "/db") + ")");
        QVERIFY2(!r.text().contains("不是有效的数据库文件"), qPrintable(r.text()));
    }
    QVERIFY(setMode(home, 0755));
    QVERIFY(setMode(home + "/db", 0755));
    const Result r = CtlRunner::run(home, kAddPayout, asUser);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE_FACTS(factsOfFile(book), before, 1, 70);
}

// A connection that may not write (as SQLite answers for a book it opened
// read-only): the message says the book's file cannot be written and names
// it; the payout stays unsaved in the rows and is saved once writing works.
void TestFaults::readOnlyBookInProcess() {
    Program p;
    p.saveTwo();
    const Facts before = factsOf(p.db());
    PayoutList list(p.db(), p.program.prompter(), 2);
    list.open();
    PayoutEditor editor(list, p.program.prompter(), kToday, PayoutEditor::New);
    list.rows().setValue("totalprice", 70);
    p.db().query("PRAGMA query_only = ON");
    try {
        editor.save();
        QFAIL("saved through a read-only connection");
    } catch (const DbError& e) {
        QCOMPARE(e.kind(), DbError::Kind::ReadOnly);
        QVERIFY2(e.message().contains("不能写入"), qPrintable(e.message()));
        QVERIFY2(e.message().contains(native(p.bookFile)), qPrintable(e.message()));
    }
    QVERIFY(list.rows().hasChanges());
    QCOMPARE_FACTS(factsOf(p.db()), before, 0, 0);
    p.db().query("PRAGMA query_only = OFF");
    QVERIFY(editor.save());
    QVERIFY(!list.rows().hasChanges());
    QCOMPARE_FACTS(factsOf(p.db()), before, 1, 70);
}

// No room to write: olvendctl runs with a limit on the size of its files, so
// the book's log cannot grow for the sample goods. The message says the disk
// is full and names the book; the book stays sound with the payouts saved
// before; without the limit the same command fills the book.
void TestFaults::fullDisk() {
    Program p;
    p.saveTwo();
    p.close();
    const Facts before = factsOfFile(p.bookFile);
    const QStringList demo{"demo", "--goods", "3000"};
    CtlRunner::Options limited;
    // The goods need about 600 KB more; the log may take 128 KB.
    limited.fileSizeLimit = QFileInfo(p.bookFile).size() + 128 * 1024;
    const Result r = p.ctl(demo, limited);
    QVERIFY_RAN(r);
    QCOMPARE(r.code, 1);
    QVERIFY_SAYS(r, "磁盘已满");
    QVERIFY_SAYS(r, native(p.bookFile));
    QCOMPARE(r.out, QString());
    QCOMPARE_FACTS(factsOfFile(p.bookFile), before, 0, 0);

    const Result again = p.ctl(demo);
    QCOMPARE(again.err, QString());
    QCOMPARE(again.code, 0);
    const Facts after = factsOfFile(p.bookFile);
    QCOMPARE(after.goods, 3000);
    QCOMPARE(after.payouts, before.payouts);
    QCOMPARE(after.amount, before.amount);
    QCOMPARE(after.check, QString("ok"));
}

// The book may not grow (max_page_count on the program's connection): a
// batch of payouts written through the list's rows is refused as a full
// book, every row stays unsaved, and the same rows are written once there
// is room.
void TestFaults::fullBookInProcess() {
    Program p;
    p.saveTwo();
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
    const int pages = db.scalar("PRAGMA page_count").toInt();
    // 2000 remarks of 150 bytes need far more pages than the book has free.
    QVERIFY(db.scalar("PRAGMA freelist_count").toInt() < 20);
    db.query(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
    try {
        rows.applyUpdates();
        QFAIL("written beyond the room the book has");
    } catch (const DbError& e) {
        QCOMPARE(e.kind(), DbError::Kind::DiskFull);
        QVERIFY2(e.message().contains("磁盘已满"), qPrintable(e.message()));
        QVERIFY2(e.message().contains(native(p.bookFile)), qPrintable(e.message()));
    }
    QVERIFY(rows.hasChanges());
    int unsaved = 0;
    for (int r = 0; r < rows.rowCount(); ++r) {
        unsaved += rows.rowStatus(r) == Dataset::RowStatus::Inserted ? 1 : 0;
    }
    QCOMPARE(unsaved, added);
    QCOMPARE_FACTS(factsOf(db), before, 0, 0);

    db.query("PRAGMA max_page_count = 1073741823");
    rows.applyUpdates();
    QVERIFY(!rows.hasChanges());
    QCOMPARE_FACTS(factsOf(db), before, added, added);
}

namespace {
// Every command on a damaged book ends with a message that the file is
// damaged, naming it; none crashes or hangs.
void expectDamaged(Program& p) {
    const QList<QStringList> commands{
        {"payout", "list", "0"}, kAddPayout, {"stats", "payout", "--out", p.folder() + "/payouts.tsv"}};
    for (const QStringList& args : commands) {
        const Result r = p.ctl(args);
        QVERIFY_RAN(r);
        QVERIFY2(r.code != 0, qPrintable(describe(r)));
        QVERIFY_SAYS(r, "损坏");
        QVERIFY_SAYS(r, native(p.bookFile));
        QVERIFY_SAYS(r, "备份");
    }
}

// A backup taken with olvendctl, put in the damaged book's place as the
// message tells; the next save works and the payouts are there.
void repairFromBackup(Program& p, const QString& backup, const Facts& before) {
    QVERIFY(QFile::remove(p.bookFile));
    QVERIFY(QFile::copy(backup, p.bookFile));
    const Result r = p.ctl(kAddPayout);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE_FACTS(factsOfFile(p.bookFile), before, 1, 70);
}

// The first page of a table's b-tree and the file's page size.
int rootPage(Database& db, const QString& table, int* pageSize) {
    *pageSize = db.scalar("PRAGMA page_size").toInt();
    return db.scalar("select rootpage from sqlite_master where type='table' and name=:t", {{"t", table}}).toInt();
}

// Overwrites a page with bytes from a seeded generator.
bool scramblePage(const QString& file, int page, int pageSize, quint32 seed) {
    QFile f(file);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(qint64(page - 1) * pageSize)) {
        return false;
    }
    QRandomGenerator random(seed);
    QByteArray bytes(pageSize, Qt::Uninitialized);
    for (char& b : bytes) {
        b = static_cast<char>(random.bounded(256));
    }
    return f.write(bytes) == pageSize;
}
}  // namespace

void TestFaults::truncatedBook() {
    Program p;
    p.saveTwo();
    const Facts before = factsOf(p.db());
    const QString backup = p.folder() + "/backup.db";
    QCOMPARE(p.ctl({"backup", "--out", backup}).code, 0);
    p.close();
    QVERIFY(!QFileInfo::exists(p.bookFile + "-wal"));
    QFile book(p.bookFile);
    QVERIFY(book.resize(book.size() / 2));
    expectDamaged(p);
    if (QTest::currentTestFailed()) {
        return;
    }
    repairFromBackup(p, backup, before);
}

// Seeded random bytes over the page holding the payouts (a page in the
// middle of the file): the book opens, and reading or saving payouts says
// the file is damaged.
void TestFaults::damagedPage() {
    Program p;
    p.saveTwo();
    const Facts before = factsOf(p.db());
    const QString backup = p.folder() + "/backup.db";
    QCOMPARE(p.ctl({"backup", "--out", backup}).code, 0);
    int pageSize = 0;
    const int page = rootPage(p.db(), "payout", &pageSize);
    const int pages = p.db().scalar("PRAGMA page_count").toInt();
    QVERIFY2(page > pages / 4 && page < pages, qPrintable(QString("page %1 of %2").arg(page).arg(pages)));
    p.close();
    QVERIFY(scramblePage(p.bookFile, page, pageSize, 20060625));
    expectDamaged(p);
    if (QTest::currentTestFailed()) {
        return;
    }
    repairFromBackup(p, backup, before);
}

// The logic classes on a damaged book: opening the payouts and writing one
// raise the message that the file is damaged; connected again to the book
// put back from the backup, the editor saves.
void TestFaults::damagedBookInProcess() {
    Program p;
    p.saveTwo();
    const Facts before = factsOf(p.db());
    const QString backup = p.folder() + "/backup.db";
    p.db().query("VACUUM INTO :f", {{"f", backup}});
    int pageSize = 0;
    const int page = rootPage(p.db(), "payout", &pageSize);
    p.close();
    QVERIFY(scramblePage(p.bookFile, page, pageSize, 7));
    DataModule& data = p.context().data();
    data.ConnectDatabases();
    auto damaged = [&p](const std::function<void()>& work) {
        try {
            work();
            QFAIL("the damage went unnoticed");
        } catch (const DbError& e) {
            QCOMPARE(e.kind(), DbError::Kind::Damaged);
            QVERIFY2(e.message().contains("已损坏"), qPrintable(e.message()));
            QVERIFY2(e.message().contains(native(p.bookFile)), qPrintable(e.message()));
        }
    };
    damaged([&p] {
        PayoutList list(p.db(), p.program.prompter(), 0);
        list.open();
    });
    {
        // Rows opened without reading the damaged page: the insert meets it,
        // and the row stays unsaved.
        Dataset rows(p.db());
        rows.setUpdateTable("payout");
        rows.open("select * from payout where 1 = 0");
        rows.append();
        rows.setValue("paytime", QDate(2006, 6, 10).startOfDay());
        rows.setValue("subject", "2");
        rows.setValue("totalprice", 70);
        rows.post();
        damaged([&rows] { rows.applyUpdates(); });
        QVERIFY(rows.hasChanges());
        QCOMPARE(rows.rowStatus(0), Dataset::RowStatus::Inserted);
    }
    if (QTest::currentTestFailed()) {
        return;
    }
    data.disconnect();
    QVERIFY(QFile::remove(p.bookFile));
    QVERIFY(QFile::copy(backup, p.bookFile));
    data.ConnectDatabases();
    p.savePayout(2, QDate(2006, 6, 10), 70);
    QCOMPARE_FACTS(factsOf(p.db()), before, 1, 70);
}

// `init` cannot write config.ini (a folder holds its name): the message
// names the file, the folder is left as it was, and once the name is free
// the same command prepares the folder and the book works.
void TestFaults::configIniIsAFolder() {
    TestBooks::TestProgram fresh(false);
    const QString home = fresh.folder();
    const QString config = home + "/config.ini";
    QVERIFY(QDir().mkpath(config));
    const Result r = CtlRunner::run(home, {"init"});
    QVERIFY_RAN(r);
    QCOMPARE(r.code, 1);
    QVERIFY_SAYS(r, "无法写入配置文件");
    QVERIFY_SAYS(r, native(config));
    QVERIFY_SAYS(r, "文件夹");
    QVERIFY(!QFileInfo::exists(home + "/db/System.db"));
    QVERIFY(!QFileInfo::exists(home + "/db/UserAccountBook001.db"));

    QVERIFY(QDir().rmdir(config));
    const Result init = CtlRunner::run(home, {"init"});
    QCOMPARE(init.code, 0);
    QVERIFY_SAYS(init, "已初始化");
    const Result add = CtlRunner::run(home, kAddPayout);
    QCOMPARE(add.err, QString());
    QCOMPARE(add.code, 0);
    QCOMPARE(IniFile(config).readString("DB", "Path"), QString("db/UserAccountBook001.db"));
}

// A config.ini the user may not write (an office's prepared settings): the
// same, as the unprivileged account.
void TestFaults::readOnlyConfigIni() {
    QString why;
    QVERIFY2(m_account->ready(&why), qPrintable(why));
    const QString home = m_account->folder() + "/read-only-config";
    QVERIFY(QDir().mkpath(home));
    const QString config = home + "/config.ini";
    {
        QFile f(config);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[SYS_Setting]\nDBType=SQLITE\n");
    }
    m_account->own(home);
    QVERIFY(setMode(config, 0444));
    const CtlRunner::Options asUser{.as = m_account.get()};
    const Result r = CtlRunner::run(home, {"init"}, asUser);
    QVERIFY_RAN(r);
    QCOMPARE(r.code, 1);
    QVERIFY_SAYS(r, "无法写入配置文件");
    QVERIFY_SAYS(r, native(config));
    QVERIFY_SAYS(r, "文件是只读的");
    QVERIFY(!QFileInfo::exists(home + "/db/System.db"));
    QVERIFY(!QFileInfo::exists(home + "/db/UserAccountBook001.db"));

    QVERIFY(setMode(config, 0644));
    QCOMPARE(CtlRunner::run(home, {"init"}, asUser).code, 0);
    const Result add = CtlRunner::run(home, kAddPayout, asUser);
    QCOMPARE(add.err, QString());
    QCOMPARE(add.code, 0);
    const IniFile ini(config);
    QCOMPARE(ini.readString("SYS_Setting", "DBType"), QString("SQLITE"));
    QCOMPARE(ini.readString("DB", "Path"), QString("db/UserAccountBook001.db"));
}

// In the program: the settings dialog's settings are refused whole when
// config.ini cannot be written (a folder holds its name) and take no effect;
// the log-in still switches and tells about the file; the book goes on
// saving; with the name free the same settings are written.
void TestFaults::settingsThatCannotBeWritten() {
    Program p;
    AppContext& c = p.context();
    const QString config = c.paths().configFile();
    const QString pictures = c.PictureFolder;
    QVERIFY(QFile::remove(config));
    QVERIFY(QDir().mkpath(config));

    SettingsEditor settings(c);
    try {
        settings.apply(true, "/srv/pictures");
        QFAIL("settings reported as written");
    } catch (const UserError& e) {
        QVERIFY2(e.message().contains("无法写入配置文件"), qPrintable(e.message()));
        QVERIFY2(e.message().contains(native(config)), qPrintable(e.message()));
    }
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
    QCOMPARE_FACTS(factsOf(p.db()), before, 1, 70);

    QVERIFY(QDir().rmdir(config));
    settings.apply(true, "/srv/pictures");
    QCOMPARE(c.PictureFolder, QString("/srv/pictures/"));
    const IniFile written(config);
    QCOMPARE(written.readString("SYS_Setting", "picPath"), QString("/srv/pictures/"));
    QCOMPARE(written.readString("SYS_Setting", "ShowCustomFilter"), QString("true"));
    QCOMPARE(written.readString("DB", "Path"), QString("db/UserAccountBook001.db"));
}

namespace {
// OLVEND_TEST_PG names another server for as long as it lives.
class ServerSetting {
public:
    explicit ServerSetting(const QString& setting)
        : m_had(qEnvironmentVariableIsSet("OLVEND_TEST_PG")), m_before(qgetenv("OLVEND_TEST_PG")) {
        qputenv("OLVEND_TEST_PG", setting.toUtf8());
    }
    ~ServerSetting() {
        if (m_had) {
            qputenv("OLVEND_TEST_PG", m_before);
        } else {
            qunsetenv("OLVEND_TEST_PG");
        }
    }

private:
    bool m_had;
    QByteArray m_before;
};
}  // namespace

// The PostgreSQL server goes away during a session (a server of this test's
// own, killed): olvendctl and the open program say that the server cannot
// be reached, naming it, and save nothing; once it runs again the same
// command and the same editor save, and what was saved before is there.
void TestFaults::serverGone() {
    if (!LocalPostgres::available()) {
        if (qEnvironmentVariableIsSet("OLVEND_REQUIRE_PG")) {
            QFAIL("OLVEND_REQUIRE_PG is set but the PostgreSQL server programs are not installed");
        }
        QSKIP("the PostgreSQL server programs are not installed");
    }
    std::unique_ptr<LocalPostgres> server;
    try {
        server = std::make_unique<LocalPostgres>();
    } catch (const std::exception& e) {
        QFAIL(e.what());
    }
    const ServerSetting setting(server->setting());
    const QString address = QStringLiteral("127.0.0.1:%1").arg(server->port());
    Program p(QStringLiteral("postgres"));
    p.saveTwo();
    const Result first = p.ctl(kAddPayout);
    QCOMPARE(first.err, QString());
    QCOMPARE(first.code, 0);
    const Facts before = factsOf(p.db());
    QCOMPARE(before.payouts, 3);

    PayoutList list(p.db(), p.program.prompter(), 2);
    list.open();
    PayoutEditor editor(list, p.program.prompter(), kToday, PayoutEditor::New);
    list.rows().setValue("totalprice", 30);

    server->crash();
    const Result r = p.ctl(kAddPayout);
    QVERIFY_RAN(r);
    QCOMPARE(r.code, 1);
    QVERIFY_SAYS(r, "数据库服务器");
    QVERIFY_SAYS(r, address);
    try {
        editor.save();
        QFAIL("saved while the server is gone");
    } catch (const DbError& e) {
        QCOMPARE(e.kind(), DbError::Kind::ConnectionLost);
        QVERIFY2(e.message().contains("数据库服务器"), qPrintable(e.message()));
        QVERIFY2(e.message().contains(address), qPrintable(e.message()));
    }
    QVERIFY(list.rows().hasChanges());

    server->start();
    QVERIFY(editor.save());
    QVERIFY(!list.rows().hasChanges());
    const Result again = p.ctl(kAddPayout);
    QCOMPARE(again.err, QString());
    QCOMPARE(again.code, 0);
    QCOMPARE_FACTS(factsOf(p.db()), before, 2, 100);
}

void TestFaults::restoreFromAReadOnlyFolder_data() {
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgres") << QStringLiteral("postgres");
}

// A backup on a disk that cannot be written (a CD, a shared folder given
// read-only) restores: it is read from a copy in the temporary folder, and
// the copy of the book as it was goes beside a local book, or for a server
// book into the program's book folder, leaving the backup's folder as it
// was.
void TestFaults::restoreFromAReadOnlyFolder() {
    QFETCH(QString, engine);
    if (engine == "postgres" && !TestBooks::postgresConfigured()) {
        if (qEnvironmentVariableIsSet("OLVEND_REQUIRE_PG")) {
            QFAIL("OLVEND_REQUIRE_PG is set but OLVEND_TEST_PG is not");
        }
        QSKIP("no PostgreSQL server configured (OLVEND_TEST_PG)");
    }
    QString why;
    QVERIFY2(m_account->ready(&why), qPrintable(why));
    Program p(engine);
    p.saveTwo();
    const Facts before = factsOf(p.db());
    p.close();
    const QString home = m_account->copyProgram(p.folder(), "restore-" + engine);
    QVERIFY(!home.isEmpty());
    const QString disk = home + "/cd";
    QVERIFY(QDir().mkdir(disk));
    m_account->own(disk);
    const CtlRunner::Options asUser{.as = m_account.get()};
    const Result backup = CtlRunner::run(home, {"backup", "--out", disk + "/two.db"}, asUser);
    QCOMPARE(backup.err, QString());
    QCOMPARE(backup.code, 0);
    QVERIFY(setMode(disk + "/two.db", 0444));
    QVERIFY(setMode(disk, 0555));
    // A backup into the folder that cannot be written names the folder, not
    // the book.
    const Result refused = CtlRunner::run(home, {"backup", "--out", disk + "/three.db"}, asUser);
    QVERIFY_RAN(refused);
    QCOMPARE(refused.code, 1);
    QVERIFY_SAYS(refused, "无法在文件夹[" + native(disk) + "]中写入备份文件");
    const Result added = CtlRunner::run(home, kAddPayout, asUser);
    QCOMPARE(added.err, QString());
    QCOMPARE(added.code, 0);

    const Result r = CtlRunner::run(home, {"restore", "--from", disk + "/two.db"}, asUser);
    QVERIFY(setMode(disk, 0755));
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    const QString savedAs = r.out.trimmed();
    QCOMPARE(QFileInfo(savedAs).absolutePath(), QFileInfo(home + "/db").absoluteFilePath());
    QCOMPARE(factsOfFile(savedAs).payouts, before.payouts + 1);
    QCOMPARE(QDir(disk).entryList(QDir::Files | QDir::Hidden), QStringList{"two.db"});
    if (engine == "sqlite") {
        QCOMPARE_FACTS(factsOfFile(home + "/db/UserAccountBook001.db"), before, 0, 0);
    } else {
        p.context().data().ConnectDatabases();
        QCOMPARE_FACTS(factsOf(p.db()), before, 0, 0);
    }
}

QTEST_GUILESS_MAIN(TestFaults)
#include "test_faults.moc"
