#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include "admin/book_backup.h"
#include "admin/book_restore.h"
#include "data/account_books.h"
#include "data/book_checks.h"
#include "data/data_module.h"
#include "data/name_initials.h"
#include "data/schema_installer.h"
#include "demo/demo_data.h"
#include "demo/demo_payouts.h"
#include "demo/demo_quotations.h"
#include "documents/document_fixture.h"
#include "support/ctl_call.h"
#include "support/test_books.h"
#include "support/test_paths.h"

using BookChecks::refusal;
using BookChecks::written;
using TestBooks::TestProgram;

// Backups of a book in use, whole and exact; restores checked first, all or nothing, the old book kept aside.
class TestBookBackup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() {
        m_out = std::make_unique<QTemporaryDir>();
        if (TestBooks::engineAvailable()) {
            m_program = programOn(TestBooks::currentEngine());
        }
    }
    void cleanup() {
        m_program.reset();
        m_out.reset();
    }
    // A backup is a sound local book, every value exact; a restore brings the book back and keeps the old one aside.
    void roundTrip() {
        fill(context(), 5);
        NameInitials::fillMissing(db());  // as every save keeps them
        const QByteArray before = fingerprint(db());
        const QString backup = target("before.db");
        const qint64 size = BookBackup(context()).backup(context().CurrentAccountBook.BookName, backup);
        QCOMPARE(size, QFileInfo(backup).size());
        // No log beside it (rollback journal in the header), no work file left.
        QVERIFY(!QFile::exists(backup + "-wal") && !QFile::exists(backup + ".part"));
        QFile file(backup);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(20);
        QVERIFY(header.startsWith("SQLite format 3") && header.mid(18) == QByteArray("\1\1"));
        {
            // The schema of a new local book, and the program's version.
            auto copy = Database::openSqlite(backup, "copy");
            TestBooks::FreshBook local("sqlite");
            const QString schema =
                "select group_concat(type || name || coalesce(sql, ''), '|') from (select * from sqlite_master order "
                "by name)";
            QCOMPARE(copy->scalar(schema).toString(), local.db().scalar(schema).toString());
            QCOMPARE(SchemaInstaller::storedVersion(*copy), SchemaInstaller::kBookVersion);
            QCOMPARE(copy->scalar("PRAGMA integrity_check").toString(), QString("ok"));
            // Whole numbers beyond 53 bits, texts, an empty one and times exact.
            QCOMPARE(
                copy->scalar("select A101 || '|' || Default_TotalPrice || '|' || Goods_name || '|' || remark || '|' "
                             "|| Keyin_time from goods, base_Dusmere_Customer_price_Table where code = 'X1' and "
                             "Corp_code = 'K9'")
                    .toString(),
                QString("999999999999999999|9007199254740993|门锁（不锈钢）||2006-06-01 12:34:56"));
            QCOMPARE(DocumentFixture::drifted(*copy), QStringList());
        }
        // A backup made before initials were kept: the restore computes them.
        Database::openSqlite(backup, "older")->query("update goods set Name_Initials = null");
        // Work after the backup that the restore takes back.
        db().execute("delete from Client where Corp_code = (select min(Corp_code) from Client)");
        db().execute("delete from Quotation_Detail where id = (select min(id) from Quotation_Detail)");
        db().execute("update goods set Average_price = 1 where code = 'X1'");
        addPayout(db());
        QVERIFY(fingerprint(db()) != before);
        const QString savedAs = BookRestore(context()).restore(QString(), backup);
        // The open connection sees the restored rows.
        QVERIFY(fingerprint(db()) == before);
        QCOMPARE(DocumentFixture::drifted(db()), QStringList());
        QVERIFY(db().scalar("select count(*) from Quotation_Detail").toInt() > 0);
        QCOMPARE(QFileInfo(savedAs).absolutePath(),
                 server() ? QFileInfo(backup).absolutePath() : QFileInfo(context().paths().dbFolder()).absolutePath());
        QCOMPARE(inCopy(savedAs, "select count(*) from payout").toInt(), 13);
        QCOMPARE(inCopy(backup, "select count(*) from payout").toInt(), 12);
        QFile::remove(savedAs);
        if (!server()) {
            QCOMPARE(db().scalar("PRAGMA integrity_check").toString(), QString("ok"));
            return;
        }
        // Into another server book: every table the same, the keys going on.
        auto other = programOn("postgres");
        BookRestore(other->context()).restore(QString(), backup);
        Database& restored = other->context().data().main();
        QVERIFY(fingerprint(restored) == before);
        const qint64 last = restored.scalar("select max(id) from payout").toLongLong();
        QCOMPARE(addPayout(restored), last + 1);
    }
    void refusalsLeaveNothing() {
        const QString existing = written(target("there.db"), "keep me");
        QFile f(existing);
        const struct {
            QString book;
            QString file;
            QString said;
        } cases[] = {{QString(), existing, "备份文件已经存在"},
                     {QString(), target("missing/x.db"), "备份文件所在的文件夹不存在"},
                     {"无此账本", target("x.db"), "找不到账本: 无此账本"}};
        for (const auto& c : cases) {
            const QString said = refusal([&] { BookBackup(context()).backup(c.book, c.file); });
            QVERIFY2(said.startsWith(c.said), qPrintable(c.file + ": " + said));
        }
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep me"));
        QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList{"there.db"});
    }
    // Copies taken while another program saves payouts and quotations hold whole work only, in the order saved.
    void copiesWhileAnotherProgramWrites() {
        for (const char* code : {"A", "B", "C"}) {
            DocumentFixture::addGoods(db(), code, "门锁");
        }
        // Goods enough that a copy takes a while between quotations and payouts.
        db().execute(
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 5000) insert into goods (code, "
            "Goods_name) select 'G' || i, '货品' || i from n");
        const QString json =
            written(target("q.json"),
                    R"({"lines": [{"GoodsNo": "A", "QTY": 2}, {"GoodsNo": "B"}, {"GoodsNo": "C", "QTY": 3}]})");
        const int rounds = 25;
        QProcess writer;
        writer.start(
            "/bin/sh",
            {"-c", QString("for i in $(seq 1 %1); do \"%2\" --home \"%3\" payout add 0 2006-06-01 $i "
                           ">/dev/null && \"%2\" --home \"%3\" quotation new \"%4\" >/dev/null || exit 1; done")
                       .arg(rounds)
                       .arg(TestPaths::olvendctl(), m_program->folder(), json)});
        QVERIFY(writer.waitForStarted());
        int copies = 0;
        int last = 0;
        while (writer.state() != QProcess::NotRunning || copies == 0) {
            const QString backup = target(QString("live%1.db").arg(copies++));
            BookBackup(context()).backup(QString(), backup);
            auto copy = Database::openSqlite(backup, "copy");
            QCOMPARE(copy->scalar("PRAGMA integrity_check").toString(), QString("ok"));
            // Payouts 1..n, each round's quotation but perhaps the last, all its lines, none without its head.
            const int n = copy->scalar("select count(*) from payout").toInt();
            QVERIFY(n >= last && n <= rounds);
            QCOMPARE(copy->scalar("select coalesce(sum(totalprice), 0) from payout").toLongLong(),
                     qint64(n) * (n + 1) / 2);
            const int quotations = copy->scalar("select count(*) from Quotation_Head").toInt();
            QVERIFY2(quotations == n || quotations == n - 1, qPrintable(QString("%1, %2").arg(n).arg(quotations)));
            QCOMPARE(copy->scalar("select count(*) || ' ' || count(h.BillNo) from Quotation_Detail d left join "
                                  "Quotation_Head h on h.BillNo = d.HeadNo")
                         .toString(),
                     QString("%1 %1").arg(3 * quotations));
            last = n;
            copy.reset();
            QFile::remove(backup);
            writer.waitForFinished(50);
        }
        QVERIFY(writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0);
        QCOMPARE(db().scalar("select count(*) from payout").toInt(), rounds);
        QCOMPARE(db().scalar("select count(*) from Quotation_Head").toInt(), rounds);
        QVERIFY(copies >= 2);
    }
    // Damaged, foreign, missing or (on a server) unloadable backups are refused before anything changes.
    void damagedBackupsAreRefusedBeforeAnythingChanges() {
        fill(context(), 3);
        const QString good = target("good.db");
        BookBackup(context()).backup(QString(), good);
        QFile in(good);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        // Refused by the check the window runs first (naming the file), during the restore, or by a server only.
        enum class Refused { ByCheck, WithText, OnServer };
        const struct {
            QString name;
            QByteArray bytes;
            QString change;
            QString said;
            Refused how;
        } cases[] = {
            {"truncated.db", bytes.left(bytes.size() / 3), {}, "备份文件", Refused::ByCheck},
            {"other.db", bytes, "drop table goods", "备份文件不是账本", Refused::ByCheck},
            {"absent.db", {}, {}, "找不到备份文件", Refused::ByCheck},
            // A newer program's backup may hold what this one drops.
            {"newer.db", bytes, "update schema_version set version = 999", "备份文件来自较新版本", Refused::ByCheck},
            // A backup without one of the book's tables would empty that table.
            {"lacking.db", bytes, "drop table payout", BookRestore::missingTableText("payout"), Refused::WithText},
            // A doubled goods code, a text in a whole-number column.
            {"doubled.db", bytes, "drop index ux_goods_code; insert into goods (code) select min(code) from goods",
             "备份中表 goods 的数据有重复", Refused::OnServer},
            {"wrongtype.db", bytes, "update payout set totalprice = 'abc' where id = 3", "备份中表 payout 的数据有内容",
             Refused::OnServer},
        };
        addPayout(db());
        const QByteArray before = fingerprint(db());
        const QDir bookFolder(context().paths().dbFolder());
        const QStringList bookFiles = bookFolder.entryList(QDir::Files);
        for (const auto& c : cases) {
            if (c.how == Refused::OnServer && !server()) {
                continue;
            }
            const QString file = target(c.name);
            if (!c.bytes.isEmpty()) {
                written(file, c.bytes);
            }
            for (const QString& statement : c.change.split(';', Qt::SkipEmptyParts)) {
                Database::openSqlite(file, "changed")->query(statement);
            }
            const QStringList files = QDir(m_out->path()).entryList(QDir::Files);
            const QString said = refusal([&] { BookRestore(context()).restore(QString(), file); });
            QVERIFY2(said.startsWith(c.said) && (c.how != Refused::WithText || said == c.said),
                     qPrintable(c.name + ": " + said));
            if (c.how == Refused::ByCheck) {
                // What SQLite says stays in the details.
                QCOMPARE(refusal([&] { BookRestore(context()).check(file); }), said);
                QVERIFY2(said.contains(QDir::toNativeSeparators(file)), qPrintable(said));
                QVERIFY2(!said.contains("***") && !said.contains("error code"), qPrintable(said));
            }
            QVERIFY2(fingerprint(db()) == before, qPrintable(c.name + " changed the book"));
            QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), files);
            QCOMPARE(bookFolder.entryList(QDir::Files), bookFiles);
        }
        // Keys go on, totals (triggers a server's restore switches off) follow a line; the whole backup restores.
        const qint64 last = db().scalar("select max(id) from payout").toLongLong();
        QCOMPARE(addPayout(db()), last + 1);
        db().execute(
            "update Quotation_Detail set Total_Price = Total_Price + 5 where id = (select min(id) from "
            "Quotation_Detail)");
        QCOMPARE(DocumentFixture::drifted(db()), QStringList());
        QFile::remove(BookRestore(context()).restore(QString(), good));
        QCOMPARE(db().scalar("select count(*) from payout").toInt(), 12);
    }
    // A save in progress: a backup holds what was committed; a restore waits for it (others still read), and the saved
    // payout is in the copy kept aside.
    void keptCopyHoldsWorkSavedWhileTheRestoreWaited() {
        fill(context(), 3);
        const QString backup = target("twelve.db");
        BookBackup(context()).backup(QString(), backup);
        const int lines = db().scalar("select count(*) from Quotation_Detail").toInt();
        auto writer = server() ? m_program->serverBook()->connectAgain() : m_program->connectAgain();
        writer->beginWrite();
        writer->execute("insert into payout (paytime, subject, totalprice) values ('2006-06-02 00:00:00', '0', 77)");
        BookBackup(context()).backup(QString(), target("moment.db"));
        QCOMPARE(inCopy(target("moment.db"), "select count(*) from payout").toInt(), 12);
        QProcess restore;
        restore.start(TestPaths::olvendctl(), {"--home", m_program->folder(), "restore", "--from", backup});
        QVERIFY(restore.waitForStarted());
        if (server()) {
            auto admin = Database::openServer(TestBooks::serverParams("postgres"), "admin");
            QTRY_VERIFY_WITH_TIMEOUT(
                admin->scalar("select count(*) from pg_stat_activity where wait_event_type = 'Lock' "
                              "and query ilike 'lock table%'")
                        .toInt() > 0,
                30000);
            // A table that could not be read while the restore waits throws.
            auto reader = m_program->serverBook()->connectAgain();
            reader->query("SET lock_timeout TO '2s'");
            for (const char* table : {"Quotation_Detail", "Quotation_Head", "Receipt_Head", "Quotation_Sum", "goods"}) {
                reader->scalar(QString("select count(*) from %1").arg(table));
            }
        } else {
            // Once its work folder is there, a second is enough to reach the lock.
            const QDir dbFolder = QFileInfo(writer->location()).absoluteDir();
            QTRY_VERIFY_WITH_TIMEOUT(!dbFolder.entryList({".olvend-restore-*"}, QDir::Dirs | QDir::Hidden).isEmpty(),
                                     6000);
            QTest::qWait(1000);
            QCOMPARE(restore.state(), QProcess::Running);
        }
        writer->commit();
        QVERIFY(restore.waitForFinished(60000));
        QCOMPARE(restore.exitCode(), 0);
        const QString savedAs = QString::fromUtf8(restore.readAllStandardOutput()).trimmed();
        QVERIFY2(QFile::exists(savedAs), qPrintable(savedAs));
        QCOMPARE(inCopy(savedAs, "select count(*) || ' ' || sum(totalprice = 77) from payout").toString(),
                 QString("13 1"));
        QCOMPARE(inCopy(savedAs, "select count(*) from Quotation_Detail").toInt(), lines);
        QCOMPARE(db().scalar("select count(*) from payout").toInt(), 12);
        QCOMPARE(db().scalar("select count(*) from Quotation_Detail").toInt(), lines);
        QCOMPARE(DocumentFixture::drifted(db()), QStringList());
    }
    // olvendctl backup: the book by its ID (rights: test_rights_walk); messages name the settings' book.
    void commandLine() {
        if (server()) {
            QSKIP("the command's boundary, the same on both engines");
        }
        const QString byId = target("by-id.db");
        const AccountBookRow first = AccountBooks(context().data().openSystem()).offered().first();
        const CtlCall::Result made =
            CtlCall::run(m_program->folder(), {}, {"backup", QString::number(first.ID), "--out", byId});
        QCOMPARE(made.err + QString::number(made.code), QString("0"));
        QCOMPARE(made.out.trimmed().toLongLong(), QFileInfo(byId).size());
        // Without its file option: the command's usage line.
        for (const QString usage : {"backup [BOOK] --out", "restore [BOOK] --from"}) {
            const CtlCall::Result noFile = CtlCall::run(m_program->folder(), {}, {usage.section(' ', 0, 0)});
            QCOMPARE(noFile.code, 2);
            QVERIFY2(noFile.out.isEmpty() && noFile.err.contains(usage), qPrintable(noFile.err));
        }
        context().CurrentAccountBook = {};
        QVERIFY(!first.AccountBookName.isEmpty());
        QCOMPARE(BookBackup::find(context(), QString()).label, first.AccountBookName);
    }

private:
    AppContext& context() { return m_program->context(); }
    Database& db() { return context().data().main(); }
    bool server() const { return TestBooks::currentEngine() == QLatin1String("postgres"); }
    QString target(const QString& name) const { return m_out->filePath(name); }
    static std::unique_ptr<TestProgram> programOn(const QString& engine) {
        auto p = std::make_unique<TestProgram>(true);
        p->connect(engine);
        p->context().CurrentUser = {"超级用户", "", "管理员组"};
        p->context().clock().setToday(QDate(2006, 6, 25));
        return p;
    }
    // Every row of every table of a book but SQLite's key counters (a restore sets them past the restored rows).
    static QByteArray fingerprint(Database& d) {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        QStringList tables = d.tableNames();
        tables.removeAll(QStringLiteral("sqlite_sequence"));
        tables.sort();
        for (const QString& table : tables) {
            QStringList rows{table};
            QSqlQuery q = d.query(QStringLiteral("select * from %1").arg(table));
            while (q.next()) {
                QString row;
                for (int c = 0; c < q.record().count(); ++c) {
                    row += q.value(c).toString() + '\x1f';
                }
                rows << row;
            }
            rows.sort();
            hash.addData(rows.join('\n').toUtf8());
        }
        return hash.result();
    }
    // Demo data with values no double holds, Chinese text and an empty text.
    static void fill(AppContext& c, int quotations) {
        DemoData::fill(c, {5, 2, 10, 0});
        DemoQuotations::fill(c, quotations);
        DemoPayouts::fill(c, 12);
        c.data().main().execute(
            "insert into base_Dusmere_Customer_price_Table (Corp_code, A101, A102, A_Remark, All_Remark) values ('K9', "
            "999999999999999999, -999999999999999998, '中文备注「测试」', '')");
        c.data().main().execute(
            "insert into goods (code, Goods_name, Average_price, Default_TotalPrice, remark, Keyin_time) values ('X1', "
            "'门锁（不锈钢）', 1234567890.1234, 9007199254740993, '', '2006-06-01 12:34:56')");
    }
    static qint64 addPayout(Database& d) {
        return d
            .scalar(
                "insert into payout (paytime, subject, totalprice) values ('2006-06-02 00:00:00', '0', 3) returning id")
            .toLongLong();
    }
    // Opens a copy and answers a statement in it.
    static QVariant inCopy(const QString& file, const QString& sql) {
        return Database::openSqlite(file, "copy")->scalar(sql);
    }
    std::unique_ptr<TestProgram> m_program;
    std::unique_ptr<QTemporaryDir> m_out;  // of each test
};

QTEST_GUILESS_MAIN(TestBookBackup)
#include "test_book_backup.moc"
