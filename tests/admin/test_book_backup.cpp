#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include "admin/book_backup.h"
#include "admin/book_restore.h"
#include "data/account_books.h"
#include "data/data_module.h"
#include "demo/demo_data.h"
#include "demo/demo_payouts.h"
#include "demo/demo_quotations.h"
#include "documents/document_fixture.h"
#include "platform/errors.h"
#include "support/test_books.h"

// Copies of a book in use: whole and sound, never half written, the book
// as it was at one moment while another program goes on writing; and
// restoring one: checked first, all or nothing, the book copied aside.
class TestBookBackup : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void refusalsLeaveNothing();
    void uncommittedWorkIsNotCopied();
    void copiesWhileAnotherProgramWrites();
    void restoreBringsBackTheBackup();
    void damagedBackupsAreRefusedBeforeAnythingChanges();
    void commandLine();
    void incompleteOrNewerBackupsAreRefused();
    void keptCopyHoldsWorkSavedWhileTheRestoreWaited();

private:
    AppContext& context() { return m_program->context(); }
    Database& db() { return context().data().main(); }
    QString target(const QString& name) const { return m_out.filePath(name); }
    // Opens a copy and answers a statement in it.
    static QVariant inCopy(const QString& file, const QString& sql);
    std::unique_ptr<TestBooks::TestProgram> m_program;
    QTemporaryDir m_out;
};

void TestBookBackup::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    context().data().ConnectDatabases();
    context().CurrentUser = {"超级用户", "", "管理员组"};
    context().clock().setToday(QDate(2006, 6, 25));
}

void TestBookBackup::cleanup() {
    m_program.reset();
    for (const QString& f : QDir(m_out.path()).entryList(QDir::Files)) {
        QFile::remove(m_out.filePath(f));
    }
}

QVariant TestBookBackup::inCopy(const QString& file, const QString& sql) {
    auto copy = Database::openSqlite(file, "copy");
    return copy->scalar(sql);
}

void TestBookBackup::refusalsLeaveNothing() {
    const QString existing = target("there.db");
    {
        QFile f(existing);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    const struct {
        QString book;
        QString file;
        QString said;
    } cases[] = {
        {QString(), existing, "备份文件已经存在"},
        {QString(), target("missing/x.db"), "备份文件所在的文件夹不存在"},
        {"无此账本", target("x.db"), "找不到账本: 无此账本"},
        {QString(), context().paths().resolve(context().CurrentAccountBook.BookFilePath), "备份文件已经存在"},
    };
    for (const auto& c : cases) {
        try {
            BookBackup(context()).backup(c.book, c.file);
            QFAIL(qPrintable("backed up to " + c.file));
        } catch (const UserError& e) {
            QVERIFY2(e.message().startsWith(c.said), qPrintable(e.message()));
        }
    }
    QFile f(existing);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("keep me"));
    QCOMPARE(QDir(m_out.path()).entryList(QDir::Files), QStringList{"there.db"});
}

void TestBookBackup::uncommittedWorkIsNotCopied() {
    db().execute("insert into payout (paytime, subject, totalprice) values (:t, '0', 1)",
                 {{"t", QDate(2006, 6, 1).startOfDay()}});
    // Another program is in the middle of its own save.
    auto other = m_program->connectAgain();
    other->query("BEGIN IMMEDIATE");
    other->execute("insert into payout (paytime, subject, totalprice) values ('2006-06-02 00:00:00', '0', 2)");
    const QString file = target("moment.db");
    BookBackup(context()).backup(QString(), file);
    other->query("COMMIT");
    QCOMPARE(inCopy(file, "select count(*) from payout").toInt(), 1);
    QCOMPARE(db().scalar("select count(*) from payout").toInt(), 2);
}

void TestBookBackup::copiesWhileAnotherProgramWrites() {
    // olvendctl adds payouts one by one, each in its own transaction, while
    // copies are taken.
    const int payouts = 60;
    QProcess writer;
    writer.setProgram("/bin/sh");
    writer.setArguments({"-c", QString("for i in $(seq 1 %1); do \"%2\" --home \"%3\" payout add 0 2006-06-01 $i "
                                       ">/dev/null || exit 1; done")
                                   .arg(payouts)
                                   .arg(OLVENDCTL_PATH, m_program->folder())});
    writer.start();
    QVERIFY(writer.waitForStarted());
    int copies = 0;
    int last = 0;
    while (writer.state() != QProcess::NotRunning || copies == 0) {
        const QString file = target(QString("live%1.db").arg(copies));
        BookBackup(context()).backup(QString(), file);
        QCOMPARE(inCopy(file, "PRAGMA integrity_check").toString(), QString("ok"));
        // Whole payouts only, in the order they were added: amounts 1..n.
        const int n = inCopy(file, "select count(*) from payout").toInt();
        QVERIFY(n >= last && n <= payouts);
        QCOMPARE(inCopy(file, "select coalesce(sum(totalprice), 0) from payout").toLongLong(), qint64(n) * (n + 1) / 2);
        last = n;
        ++copies;
        QFile::remove(file);
        writer.waitForFinished(50);
    }
    QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(writer.exitCode(), 0);
    QCOMPARE(db().scalar("select count(*) from payout").toInt(), payouts);
    QVERIFY(copies >= 2);
    qInfo("%d copies taken while %d payouts were written", copies, payouts);
}

// The round trip: a backup is a whole and sound book of its own, and
// restoring it brings the book back as it was, the book before the restore
// copied aside.
void TestBookBackup::restoreBringsBackTheBackup() {
    DemoData::fill(context(), {10, 3, 20, 0});
    DemoQuotations::fill(context(), 5);
    DemoPayouts::fill(context(), 20);
    const QString file = target("before.db");
    // By the book's name as the book list has it.
    const qint64 size = BookBackup(context()).backup(context().CurrentAccountBook.BookName, file);
    QVERIFY(size > 0);
    QCOMPARE(QFileInfo(file).size(), size);
    // A file of its own: no log beside it (the header says rollback
    // journal, not write-ahead log), nothing left of the work file.
    QVERIFY(!QFile::exists(file + "-wal"));
    QVERIFY(!QFile::exists(file + ".part"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray header = f.read(20);
        QVERIFY(header.startsWith("SQLite format 3"));
        QCOMPARE(int(header[18]), 1);
        QCOMPARE(int(header[19]), 1);
    }
    QCOMPARE(inCopy(file, "PRAGMA integrity_check").toString(), QString("ok"));
    for (const char* table : {"Client", "Provider", "goods", "payout", "Sys_user", "base_Dusmere_Price_Table"}) {
        const QString count = QString("select count(*) from %1").arg(table);
        QCOMPARE(inCopy(file, count).toInt(), db().scalar(count).toInt());
    }
    const int customers = db().scalar("select count(*) from Client").toInt();
    const int lines = db().scalar("select count(*) from Quotation_Detail").toInt();

    // Work after the backup that the restore takes back.
    db().execute("delete from Client where Corp_code = (select min(Corp_code) from Client)");
    db().execute("delete from Quotation_Detail where id = (select min(id) from Quotation_Detail)");
    db().execute("insert into payout (paytime, subject, totalprice) values ('2006-06-01 00:00:00', '0', 9)");
    const QString savedAs = BookRestore(context()).restore(QString(), file);

    // The open connection sees the restored rows.
    QCOMPARE(db().scalar("select count(*) from Client").toInt(), customers);
    QCOMPARE(db().scalar("select count(*) from Quotation_Detail").toInt(), lines);
    QCOMPARE(db().scalar("select count(*) from payout").toInt(), 20);
    QCOMPARE(db().scalar("PRAGMA integrity_check").toString(), QString("ok"));
    // The quotations' totals agree with their lines and receipts again.
    QCOMPARE(DocumentFixture::drifted(db()), QStringList());
    // The book as it was before the restore was kept.
    QVERIFY(QFile::exists(savedAs));
    QCOMPARE(inCopy(savedAs, "select count(*) from payout").toInt(), 21);
    QCOMPARE(inCopy(savedAs, "select count(*) from Client").toInt(), customers - 1);
    // The backup itself is as it was.
    QCOMPARE(inCopy(file, "select count(*) from payout").toInt(), 20);
    QFile::remove(savedAs);
}

void TestBookBackup::damagedBackupsAreRefusedBeforeAnythingChanges() {
    DemoPayouts::fill(context(), 10);
    const QString good = target("good.db");
    BookBackup(context()).backup(QString(), good);
    QFile in(good);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    auto write = [this](const QString& name, const QByteArray& data) {
        QFile f(target(name));
        if (!f.open(QIODevice::WriteOnly)) {
            qFatal("cannot write %s", qPrintable(name));
        }
        f.write(data);
        return target(name);
    };
    // Bytes scribbled over the first page of the payouts' table, which the
    // integrity check reads whatever else the file holds.
    QByteArray scribbled = bytes;
    {
        auto copy = Database::openSqlite(good, "copy");
        const int pageSize = copy->scalar("PRAGMA page_size").toInt();
        const int root =
            copy->scalar("select rootpage from sqlite_master where type='table' and name='payout'").toInt();
        QVERIFY(pageSize > 0 && root > 1);
        for (int i = 16; i < pageSize; i += 7) {
            scribbled[(root - 1) * pageSize + i] = char(0xA5 ^ (i & 0xff));
        }
    }
    // A sound database that is not an account book (its customers gone).
    const QString notBook = target("other.db");
    QVERIFY(QFile::copy(good, notBook));
    {
        auto other = Database::openSqlite(notBook, "other");
        other->query("drop table Client");
    }
    const QString cases[] = {write("truncated.db", bytes.left(bytes.size() / 3)), write("scribbled.db", scribbled),
                             write("text.db", "not a database at all"), notBook, target("absent.db")};
    db().execute("insert into payout (paytime, subject, totalprice) values ('2006-06-02 00:00:00', '0', 3)");
    const QString bookFolder = QFileInfo(context().paths().resolve(context().CurrentAccountBook.BookFilePath)).path();
    const QStringList filesBefore = QDir(bookFolder).entryList(QDir::Files);
    for (const QString& file : cases) {
        // The check the window runs before it asks says the same.
        QString checked;
        try {
            BookRestore(context()).check(file);
            QFAIL(qPrintable("checked as sound: " + file));
        } catch (const UserError& e) {
            checked = e.message();
        }
        try {
            BookRestore(context()).restore(QString(), file);
            QFAIL(qPrintable("restored from " + file));
        } catch (const UserError& e) {
            QVERIFY2(e.message().contains("备份") || e.message().contains("账本"), qPrintable(e.message()));
            QCOMPARE(checked, e.message());
            // The file is named; what SQLite says stays in the details.
            QVERIFY2(e.message().contains(QDir::toNativeSeparators(file)), qPrintable(e.message()));
            QVERIFY2(!e.message().contains("***") && !e.message().contains("error code"), qPrintable(e.message()));
        } catch (const DbError& e) {
            QFAIL(qPrintable(file + " failed with a database error: " + e.message()));
        }
        QCOMPARE(db().scalar("select count(*) from payout").toInt(), 11);
        // Nothing was copied aside and no work file stays.
        QCOMPARE(QDir(bookFolder).entryList(QDir::Files), filesBefore);
    }
}

// olvendctl backup: the book named by the ID the list of books shows, a
// file that exists, no --out (its refusals without the right are in
// test_rights_walk); the book's name in the messages is the one of the book
// the settings name.
void TestBookBackup::commandLine() {
    const auto ctl = [&](const QStringList& args) {
        QProcess p;
        p.start(OLVENDCTL_PATH, QStringList{"--home", m_program->folder()} + args);
        p.waitForFinished(120000);
        return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardError()));
    };
    const QString byId = target("by-id.db");
    const AccountBookRow first = AccountBooks(context().data().openSystem()).offered().first();
    auto [code, err] = ctl({"backup", QString::number(first.ID), "--out", byId});
    QCOMPARE(err, QString());
    QCOMPARE(code, 0);
    QVERIFY(QFile::exists(byId));
    std::tie(code, err) = ctl({"backup", "--out", byId});
    QCOMPARE(code, 1);
    QVERIFY2(err.contains("备份文件已经存在"), qPrintable(err));
    std::tie(code, err) = ctl({"backup"});
    QCOMPARE(code, 2);
    QVERIFY2(err.contains("--out FILE"), qPrintable(err));
    context().CurrentAccountBook = {};
    QCOMPARE(BookBackup::find(context(), QString()).label, first.AccountBookName);
    QVERIFY(!first.AccountBookName.isEmpty());
}

// A backup without one of the book's tables would empty that table, and a
// newer program's backup may hold what this one drops: both are refused with
// the book unchanged.
void TestBookBackup::incompleteOrNewerBackupsAreRefused() {
    DemoPayouts::fill(context(), 5);
    const QString full = target("full.db");
    BookBackup(context()).backup(QString(), full);
    const QString lacking = target("lacking.db");
    QVERIFY(QFile::copy(full, lacking));
    Database::openSqlite(lacking, "copy")->query("drop table payout");
    const QString newer = target("newer.db");
    QVERIFY(QFile::copy(full, newer));
    Database::openSqlite(newer, "copy")->query("update schema_version set version = 999");

    db().execute("insert into payout (paytime, subject, totalprice) values ('2006-06-01 00:00:00', '0', 9)");
    const QString bookFolder = QFileInfo(context().paths().resolve(context().CurrentAccountBook.BookFilePath)).path();
    const QStringList filesBefore = QDir(bookFolder).entryList(QDir::Files);
    try {
        BookRestore(context()).restore(QString(), lacking);
        QFAIL("a backup without the payouts was restored");
    } catch (const UserError& e) {
        QCOMPARE(e.message(), BookRestore::missingTableText("payout"));
    }
    QCOMPARE(db().scalar("select count(*) from payout").toInt(), 6);
    // Refused before anything was copied aside.
    QCOMPARE(QDir(bookFolder).entryList(QDir::Files), filesBefore);
    try {
        BookRestore(context()).restore(QString(), newer);
        QFAIL("a newer program's backup was restored");
    } catch (const UserError& e) {
        QVERIFY2(e.message().contains("较新版本"), qPrintable(e.message()));
    }
    QCOMPARE(db().scalar("select count(*) from payout").toInt(), 6);
    // The whole backup still restores.
    BookRestore(context()).restore(QString(), full);
    QCOMPARE(db().scalar("select count(*) from payout").toInt(), 5);
}

// A workstation in the middle of a save holds the restore up; what it
// commits meanwhile is replaced by the restore, so it must be in the copy
// of the book kept aside.
void TestBookBackup::keptCopyHoldsWorkSavedWhileTheRestoreWaited() {
    DemoPayouts::fill(context(), 10);
    const QString backup = target("ten.db");
    BookBackup(context()).backup(QString(), backup);
    auto writer = Database::openSqlite(context().paths().resolve(BookBackup::find(context(), QString()).stored), "w");
    writer->beginWrite();
    writer->execute("insert into payout (paytime, subject, totalprice) values ('2006-06-02 00:00:00', '0', 77)");
    QProcess restore;
    restore.start(OLVENDCTL_PATH, {"--home", m_program->folder(), "restore", "--from", backup});
    QVERIFY(restore.waitForStarted());
    // The command copies the backup beside the book, then waits for the
    // book's write lock: once its work folder is there, a second is long
    // enough for it to reach the lock, well inside its busy timeout.
    const QDir dbFolder = QFileInfo(writer->location()).absoluteDir();
    for (int i = 0; i < 300 && dbFolder.entryList({".olvend-restore-*"}, QDir::Dirs | QDir::Hidden).isEmpty(); ++i) {
        QTest::qWait(20);
    }
    QVERIFY(!dbFolder.entryList({".olvend-restore-*"}, QDir::Dirs | QDir::Hidden).isEmpty());
    QTest::qWait(1000);
    QCOMPARE(restore.state(), QProcess::Running);
    writer->commit();
    QVERIFY(restore.waitForFinished(60000));
    QCOMPARE(restore.exitCode(), 0);
    const QString savedAs = QString::fromUtf8(restore.readAllStandardOutput()).trimmed();
    QVERIFY2(QFile::exists(savedAs), qPrintable(savedAs));
    QCOMPARE(db().scalar("select count(*) from payout").toInt(), 10);
    QCOMPARE(inCopy(savedAs, "select count(*) from payout where totalprice = 77").toInt(), 1);
    QCOMPARE(inCopy(savedAs, "select count(*) from payout").toInt(), 11);
    QFile::remove(savedAs);
}

QTEST_GUILESS_MAIN(TestBookBackup)
#include "test_book_backup.moc"
