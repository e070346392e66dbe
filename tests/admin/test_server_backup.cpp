#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

#include "admin/book_backup.h"
#include "admin/book_restore.h"
#include "data/data_module.h"
#include "data/schema_installer.h"
#include "demo/demo_data.h"
#include "demo/demo_payouts.h"
#include "demo/demo_quotations.h"
#include "documents/document_fixture.h"
#include "platform/errors.h"
#include "support/test_books.h"

using TestBooks::TestProgram;

// Backups of server books: the book at one moment while others write, as a
// local account book with every value exact; restoring one into a server
// book: checked first, all or nothing, the keys going on after its rows.
class TestServerBackup : public QObject {
    Q_OBJECT
private slots:
    void init();
    void roundTripKeepsEveryTable();
    void copiesWhileAnotherProgramWrites();
    void refusedBackupsChangeNothing();
    void waitingRestoreKeepsReadersGoingAndCopiesWhatTheyCommit();

private:
    QString file(const QString& name) const { return m_out.filePath(name); }
    QTemporaryDir m_out;
};

namespace {
std::unique_ptr<TestProgram> serverProgram() {
    auto p = std::make_unique<TestProgram>(true);
    p->connect("postgres");
    p->context().CurrentUser = {"超级用户", "", "管理员组"};
    p->context().clock().setToday(QDate(2006, 6, 25));
    return p;
}

Database& db(TestProgram& p) {
    return p.context().data().main();
}

QStringList lines(Database& d, const QString& sql) {
    QStringList out;
    QSqlQuery q = d.query(sql);
    while (q.next()) {
        out << q.value(0).toString();
    }
    return out;
}

// Every table of a server book with its row count and a digest of its rows.
QStringList digest(Database& d) {
    QStringList out;
    for (const QString& t : lines(d,
                                  "select table_name from information_schema.tables where table_schema = "
                                  "current_schema() and table_type = 'BASE TABLE' order by 1")) {
        out << t + ' ' +
                   d.scalar(QString("select count(*) || ' ' || md5(coalesce(string_agg(x::text, E'\\n' order by "
                                    "x::text), '')) from %1 x")
                                .arg(t))
                       .toString();
    }
    return out;
}

// Demo data with values no floating-point number holds, Chinese text and an
// empty text.
void fill(TestProgram& p, int quotations) {
    DemoData::fill(p.context(), {5, 2, 10, 0});
    DemoQuotations::fill(p.context(), quotations);
    DemoPayouts::fill(p.context(), 12);
    db(p).execute(
        "insert into base_Dusmere_Customer_price_Table (Corp_code, A101, A102, A_Remark, All_Remark) values ('K9', "
        "999999999999999999, -999999999999999998, '中文备注「测试」', '')");
    db(p).execute(
        "insert into goods (code, Goods_name, Average_price, Default_TotalPrice, remark, Keyin_time) values ('X1', "
        "'门锁（不锈钢）', 1234567890.1234, 9007199254740993, '', '2006-06-01 12:34:56')");
}

qint64 addPayout(Database& d) {
    return d
        .scalar(
            "insert into payout (paytime, subject, totalprice) values ('2006-06-02 00:00:00', '0', 3) "
            "returning id")
        .toLongLong();
}
}  // namespace

void TestServerBackup::init() {
    if (!TestBooks::postgresConfigured()) {
        if (qEnvironmentVariableIsSet("OLVEND_REQUIRE_PG")) {
            QFAIL("OLVEND_REQUIRE_PG is set but OLVEND_TEST_PG is not");
        }
        QSKIP("no PostgreSQL server configured (OLVEND_TEST_PG)");
    }
}

// The round trip, olvendctl taking the backup: a local book with every
// value exact, which restores the server book as it was, and restores into
// a local book and another server book too.
void TestServerBackup::roundTripKeepsEveryTable() {
    auto p = serverProgram();
    fill(*p, 5);
    const QStringList before = digest(db(*p));
    const QString backup = file("server.db");
    QProcess ctl;
    ctl.start(OLVENDCTL_PATH, {"--home", p->folder(), "backup", "--out", backup});
    QVERIFY(ctl.waitForFinished(120000));
    QCOMPARE(ctl.exitCode(), 0);
    QCOMPARE(ctl.readAllStandardOutput().trimmed().toLongLong(), QFileInfo(backup).size());
    {
        // The schema of a new local book, and the program's version.
        auto copy = Database::openSqlite(backup, "copy");
        TestBooks::FreshBook local("sqlite");
        const QString schema = "select type || name || coalesce(sql, '') from sqlite_master order by name";
        QCOMPARE(lines(*copy, schema), lines(local.db(), schema));
        QCOMPARE(SchemaInstaller::storedVersion(*copy), SchemaInstaller::kBookVersion);
        QCOMPARE(copy->scalar("PRAGMA integrity_check").toString(), QString("ok"));
        // Whole numbers beyond a double's 53 bits are kept as integers.
        QCOMPARE(copy->scalar("select A101 from base_Dusmere_Customer_price_Table where Corp_code = 'K9'").toLongLong(),
                 999999999999999999LL);
        QCOMPARE(copy->scalar("select Default_TotalPrice from goods where code = 'X1'").toLongLong(),
                 9007199254740993LL);
        QCOMPARE(copy->scalar("select Goods_name || '|' || remark || '|' || Keyin_time from goods where code = 'X1'")
                     .toString(),
                 QString("门锁（不锈钢）||2006-06-01 12:34:56"));
        QCOMPARE(DocumentFixture::drifted(*copy), QStringList());
    }

    // Work after the backup that the restore takes back.
    db(*p).execute("delete from Client where Corp_code = (select min(Corp_code) from Client)");
    db(*p).execute("delete from Quotation_Detail where id = (select min(id) from Quotation_Detail)");
    db(*p).execute("update goods set Average_price = 1 where code = 'X1'");
    addPayout(db(*p));
    QVERIFY(digest(db(*p)) != before);
    const QString savedAs = BookRestore(p->context()).restore(QString(), backup);
    QCOMPARE(digest(db(*p)), before);
    QCOMPARE(DocumentFixture::drifted(db(*p)), QStringList());
    QVERIFY(db(*p).scalar("select count(*) from Quotation_Detail").toInt() > 0);
    // The book as it was before, beside the backup.
    QCOMPARE(QFileInfo(savedAs).absolutePath(), QFileInfo(backup).absolutePath());
    QCOMPARE(Database::openSqlite(savedAs, "saved")->scalar("select count(*) from payout").toInt(), 13);

    // It restores into a local book ...
    TestProgram embedded(true);
    embedded.context().data().ConnectDatabases();
    BookRestore(embedded.context()).restore(QString(), backup);
    QCOMPARE(db(embedded).scalar("select A_Remark from base_Dusmere_Customer_price_Table where Corp_code = 'K9'"),
             QVariant("中文备注「测试」"));
    // ... and into another server book, every table the same; its keys,
    // behind the restored ones, go on after them.
    auto other = serverProgram();
    BookRestore(other->context()).restore(QString(), backup);
    QCOMPARE(digest(db(*other)), before);
    const qint64 last = db(*other).scalar("select max(id) from payout").toLongLong();
    QCOMPARE(addPayout(db(*other)), last + 1);
}

void TestServerBackup::copiesWhileAnotherProgramWrites() {
    auto p = serverProgram();
    for (const char* code : {"A", "B", "C"}) {
        DocumentFixture::addGoods(db(*p), code, "门锁");
    }
    // Goods enough that a copy takes a while between reading the quotations
    // and the payouts.
    db(*p).execute("insert into goods (code, Goods_name) select 'G' || i, '货品' || i from generate_series(1, 5000) i");
    QFile json(file("q.json"));
    QVERIFY(json.open(QIODevice::WriteOnly));
    json.write(R"({"lines": [{"GoodsNo": "A", "QTY": 2}, {"GoodsNo": "B"}, {"GoodsNo": "C", "QTY": 3}]})");
    json.close();
    // Another program adds a payout, then a quotation of three lines, each
    // in its own transaction, while copies are taken.
    const int rounds = 25;
    QProcess writer;
    writer.start("/bin/sh", {"-c", QString("for i in $(seq 1 %1); do \"%2\" --home \"%3\" payout add 0 2006-06-01 $i "
                                           ">/dev/null && \"%2\" --home \"%3\" quotation new \"%4\" >/dev/null || exit "
                                           "1; done")
                                       .arg(rounds)
                                       .arg(OLVENDCTL_PATH, p->folder(), json.fileName())});
    QVERIFY(writer.waitForStarted());
    int copies = 0;
    int last = 0;
    while (writer.state() != QProcess::NotRunning || copies == 0) {
        const QString backup = file(QString("live%1.db").arg(copies++));
        BookBackup(p->context()).backup(QString(), backup);
        auto copy = Database::openSqlite(backup, "copy");
        // Whole payouts in the order they were added (amounts 1..n), and the
        // quotation of each round but perhaps the last, with all its lines.
        const int n = copy->scalar("select count(*) from payout").toInt();
        QVERIFY(n >= last && n <= rounds);
        QCOMPARE(copy->scalar("select coalesce(sum(totalprice), 0) from payout").toLongLong(), qint64(n) * (n + 1) / 2);
        const int quotations = copy->scalar("select count(*) from Quotation_Head").toInt();
        QVERIFY2(quotations == n || quotations == n - 1, qPrintable(QString("%1, %2").arg(n).arg(quotations)));
        QCOMPARE(copy->scalar("select count(*) from Quotation_Detail d join Quotation_Head h on h.BillNo = d.HeadNo")
                     .toInt(),
                 3 * quotations);
        QCOMPARE(copy->scalar("select count(*) from Quotation_Detail").toInt(), 3 * quotations);
        last = n;
        copy.reset();
        QFile::remove(backup);
        writer.waitForFinished(50);
    }
    QCOMPARE(writer.exitCode(), 0);
    QCOMPARE(db(*p).scalar("select count(*) from Quotation_Head").toInt(), rounds);
    QVERIFY(copies >= 2);
    qInfo("%d copies taken while %d payouts and quotations were written", copies, rounds);
}

void TestServerBackup::refusedBackupsChangeNothing() {
    auto p = serverProgram();
    fill(*p, 3);
    const QString good = file("good.db");
    BookBackup(p->context()).backup(QString(), good);
    QFile in(good);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    // A damaged file and a database that is not a book (no goods), as for a
    // local book (test_book_backup); then rows SQLite takes but a server
    // book refuses: a doubled goods code once its index is gone, a text in a
    // whole-number column.
    const struct {
        QString name;
        QByteArray bytes;
        QString change;
        QString said;
    } cases[] = {
        {"truncated.db", bytes.left(bytes.size() / 3), {}, "备份文件"},
        {"other.db", bytes, "drop table goods", "备份文件不是账本"},
        {"doubled.db", bytes, "drop index ux_goods_code; insert into goods (code) select min(code) from goods",
         "备份中表 goods 的数据有重复"},
        {"text.db", bytes, "update payout set totalprice = 'abc' where id = 3", "备份中表 payout 的数据有内容"},
    };
    addPayout(db(*p));
    const QStringList before = digest(db(*p));
    for (const auto& c : cases) {
        if (!c.bytes.isEmpty()) {
            QFile f(file(c.name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(c.bytes);
        }
        for (const QString& statement : c.change.split(';', Qt::SkipEmptyParts)) {
            Database::openSqlite(file(c.name), "changed")->query(statement);
        }
        const QStringList files = QDir(m_out.path()).entryList(QDir::Files);
        try {
            BookRestore(p->context()).restore(QString(), file(c.name));
            QFAIL(qPrintable("restored from " + c.name));
        } catch (const UserError& e) {
            QVERIFY2(e.message().startsWith(c.said), qPrintable(e.message()));
        }
        QCOMPARE(digest(db(*p)), before);
        // Nothing stays of a refused restore: no work file, no copy of the
        // book as it was (it is as it was).
        QCOMPARE(QDir(m_out.path()).entryList(QDir::Files), files);
    }
    // The totals' triggers are on again after the refusals that got as far
    // as switching them off: the totals follow a changed line.
    QCOMPARE(db(*p)
                 .scalar("select count(*) from pg_trigger t join pg_class c on c.oid = t.tgrelid join "
                         "pg_namespace n on n.oid = c.relnamespace where n.nspname = current_schema() and "
                         "not t.tgisinternal and t.tgenabled <> 'O'")
                 .toInt(),
             0);
    db(*p).execute(
        "update Quotation_Detail set Total_Price = Total_Price + 5 where id = (select min(id) from "
        "Quotation_Detail)");
    QCOMPARE(DocumentFixture::drifted(db(*p)), QStringList());
    // The keys go on where they were.
    const qint64 last = db(*p).scalar("select max(id) from payout").toLongLong();
    QCOMPARE(addPayout(db(*p)), last + 1);
}

// While the restore waits for a workstation's save, the others go on
// reading every table, those the quotations' totals follow included; and
// the payout that save commits is in the copy of the book kept aside, since
// the restore replaces it.
void TestServerBackup::waitingRestoreKeepsReadersGoingAndCopiesWhatTheyCommit() {
    auto p = serverProgram();
    DemoData::fill(p->context(), {3, 1, 5, 0});
    DemoQuotations::fill(p->context(), 3);
    DemoPayouts::fill(p->context(), 10);
    const QString backup = file("ten-waiting.db");
    BookBackup(p->context()).backup(QString(), backup);
    const int lines = db(*p).scalar("select count(*) from Quotation_Detail").toInt();
    auto writer = p->serverBook()->connectAgain();
    writer->beginWrite();
    writer->execute("insert into payout (paytime, subject, totalprice) values ('2006-06-02 00:00:00', '0', 77)");
    QProcess restore;
    restore.start(OLVENDCTL_PATH, {"--home", p->folder(), "restore", "--from", backup});
    auto admin = Database::openServer(TestBooks::serverParams("postgres"), "admin");
    bool waiting = false;
    for (int i = 0; i < 300 && !waiting && restore.state() != QProcess::NotRunning; ++i) {
        QTest::qWait(100);
        waiting = admin
                      ->scalar(
                          "select count(*) from pg_stat_activity where wait_event_type = 'Lock' and query ilike "
                          "'lock table%'")
                      .toInt() > 0;
    }
    QVERIFY(waiting);
    auto reader = p->serverBook()->connectAgain();
    reader->query("SET lock_timeout TO '2s'");
    for (const char* table : {"Quotation_Detail", "Quotation_Head", "Receipt_Head", "Quotation_Sum", "goods"}) {
        try {
            reader->scalar(QString("select count(*) from %1").arg(table));
        } catch (const DbError& e) {
            QFAIL(qPrintable(QString("%1 cannot be read while the restore waits: %2").arg(table, e.message())));
        }
    }
    writer->commit();
    QVERIFY(restore.waitForFinished(60000));
    QCOMPARE(restore.exitCode(), 0);
    const QString savedAs = QString::fromUtf8(restore.readAllStandardOutput()).trimmed();
    QVERIFY2(QFile::exists(savedAs), qPrintable(savedAs));
    auto kept = Database::openSqlite(savedAs, "kept");
    QCOMPARE(kept->scalar("select count(*) from payout where totalprice = 77").toInt(), 1);
    QCOMPARE(kept->scalar("select count(*) from Quotation_Detail").toInt(), lines);
    QCOMPARE(db(*p).scalar("select count(*) from payout").toInt(), 10);
    QCOMPARE(db(*p).scalar("select count(*) from Quotation_Detail").toInt(), lines);
    QCOMPARE(DocumentFixture::drifted(db(*p)), QStringList());
    // The totals follow the lines again after the restore.
    db(*p).execute("delete from Quotation_Detail where id = (select min(id) from Quotation_Detail)");
    QCOMPARE(DocumentFixture::drifted(db(*p)), QStringList());
}

QTEST_GUILESS_MAIN(TestServerBackup)
#include "test_server_backup.moc"
