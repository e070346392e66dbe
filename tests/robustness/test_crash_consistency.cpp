// Stops olvendctl with SIGKILL at random moments while it saves documents,
// and on the server kind also kills the server itself mid-save, then checks
// the book after each kill: sound, every document whole or absent, counters
// not behind, no picture without its goods, and nothing a finished command
// reported as saved gone.
//
// OLVEND_CRASH_KILLS (default 200) kills per engine. OLVEND_CRASH_SEED
// (default 16) fixes each round's draws: the kind of command, its values and
// where in the command's run the kill falls. Which rows a command picks and
// what exactly a kill interrupts also depend on the book and on timing, so a
// failure names the last rounds with their commands and delays.
//
// To cover a new document: a Kind with its command in nextCommand(), what
// must hold for it in BookInvariants, and its saved keys in remember().
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QTest>
#include <algorithm>
#include <memory>
#include <optional>

#include "data/data_module.h"
#include "data/database.h"
#include "robustness/book_invariants.h"
#include "robustness/local_postgres.h"
#include "support/test_books.h"

namespace {

const QDate kToday(2026, 6, 25);

int settingOr(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

struct Outcome {
    bool killed = false;
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
    qint64 elapsedMs = 0;
};

// One engine's run: the program folder olvendctl works in, the commands it
// is given and what the finished ones reported as saved.
class CrashDriver {
public:
    CrashDriver(TestBooks::TestProgram& program, const QString& engine, quint32 seed, LocalPostgres* server)
        : m_program(program), m_engine(engine), m_seeds(seed), m_server(server) {}

    int kills = 0;
    int serverKills = 0;
    int killsThatChangedTheBook = 0;
    int booksChecked = 0;
    int commandsFinished = 0;
    QStringList faults;
    QStringList typical;

    // Runs commands until `target` of them were killed (every fifth kill on
    // the server kind is the server's); stops at the first fault.
    void run(int target) {
        prepare();
        int round = 0;
        while (kills < target && faults.isEmpty() && round < target * 20) {
            ++round;
            const bool killServer = m_server && kills % 5 == 4;
            // One draw of the seeded sequence per round: the round's own
            // draws cannot shift the rounds after it.
            m_round.seed(m_seeds.generate());
            const QStringList args = nextCommand();
            const Outcome o = runAndMaybeKill(args, killServer);
            if (o.killed) {
                ++kills;
                serverKills += killServer ? 1 : 0;
            } else if (o.finished && o.exitCode == 0) {
                ++commandsFinished;
                remember(args, o.out);
            }
            checkBook(args, o);
        }
        for (auto it = m_typicalMs.cbegin(); it != m_typicalMs.cend(); ++it) {
            typical << QStringLiteral("%1:%2ms").arg(it.key()).arg(it.value());
        }
        if (kills < target && faults.isEmpty()) {
            faults << QStringLiteral("only %1 of %2 kills landed in %3 rounds").arg(kills).arg(target).arg(round);
        }
    }

private:
    enum Kind {
        Demo,
        Quotation,
        Order,
        Generate,
        Receipts,
        Payout,
        DeleteQuotation,
        DeleteOrder,
        Prices,
        NextCode,
        QuotationState,
        KindCount
    };

    QString home() const { return m_program.folder(); }

    std::unique_ptr<Database> connect() const {
        if (m_engine == QLatin1String("sqlite")) {
            return Database::openSqlite(m_bookPath, QStringLiteral("检查"));
        }
        const QString name = m_program.serverBook()->serverDatabase();
        return Database::openServer(TestBooks::serverParams(name), name);
    }

    void prepare() {
        m_bookPath = m_program.context().data().main().location();
        m_pictures = m_program.context().PictureFolder;
        // The program's own connections are not used while olvendctl runs.
        m_program.context().data().disconnect();
        const Outcome o = runAndMaybeKill({"demo", "--customers", "12", "--suppliers", "3", "--goods", "30",
                                           "--quotations", "6", "--orders", "3", "--payouts", "4"},
                                          false, 600000);
        if (!o.finished || o.exitCode != 0) {
            faults << "the first demo failed: " + o.err;
            return;
        }
        // What a command takes to open the book and fail: the kills fall
        // after most of it.
        QList<qint64> opens;
        for (int i = 0; i < 3; ++i) {
            opens << runAndMaybeKill({"quotation", "show", "没有的单号"}, false, 60000).elapsedMs;
        }
        std::sort(opens.begin(), opens.end());
        m_openMs = int(opens[1]);
        refreshCodes();
        // What each kind of command takes when left to finish (the longer
        // of two runs), so that the kills fall inside its run. Measured once:
        // the runs that finish before their kill are the short ones, and
        // would pull the figure down.
        for (int k = 0; k < KindCount; ++k) {
            for (int i = 0; i < 2; ++i) {
                const QStringList args = commandOf(Kind(k));
                const Outcome o = runAndMaybeKill(args, false, 600000);
                if (o.finished && o.exitCode == 0) {
                    remember(args, o.out);
                }
                m_typicalMs[k] = qMax(m_typicalMs.value(k), int(o.elapsedMs));
                refreshCodes();
            }
        }
    }

    void refreshCodes() {
        auto db = connect();
        m_goods = column(*db, "select code from goods order by code");
        m_customers = column(*db, "select Corp_code from Client order by Corp_code");
        m_quotations = column(*db, "select BillNo from Quotation_Head order by BillNo");
        m_orders = column(*db, "select Order_Form_Code from Dusmere_Order_Form_head order by Order_Form_Code");
        m_fingerprint = BookInvariants::rowFingerprint(*db);
    }

    static QStringList column(Database& db, const QString& sql) {
        QStringList out;
        QSqlQuery q = db.query(sql);
        while (q.next()) {
            out << q.value(0).toString();
        }
        return out;
    }

    QString pick(const QStringList& from) {
        return from.isEmpty() ? QString() : from[int(m_round.bounded(from.size()))];
    }

    QString writeFile(const QString& name, const QByteArray& text) {
        const QString path = home() + '/' + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }

    QStringList nextCommand() {
        static const int weights[KindCount] = {4, 4, 3, 3, 1, 2, 1, 1, 1, 1, 1};
        int total = 0;
        for (int w : weights) {
            total += w;
        }
        int n = int(m_round.bounded(total));
        int kind = 0;
        while (n >= weights[kind]) {
            n -= weights[kind++];
        }
        return commandOf(Kind(kind));
    }

    QStringList commandOf(Kind kind) {
        m_kind = kind;
        switch (m_kind) {
            case Demo:
                return {"demo",         "--customers", "20",       "--suppliers", "3",         "--goods", "30",
                        "--quotations", "30",          "--orders", "8",           "--payouts", "60"};
            case Quotation: {
                QStringList lines;
                QStringList goods = m_goods;
                const int count = 1 + int(m_round.bounded(6));
                for (int i = 0; i < count && !goods.isEmpty(); ++i) {
                    const QString g = goods.takeAt(int(m_round.bounded(goods.size())));
                    lines << QStringLiteral(R"({"GoodsNo": "%1", "QTY": %2, "Price": %3.5, "purchase_Price": 3})")
                                 .arg(g)
                                 .arg(1 + m_round.bounded(9))
                                 .arg(m_round.bounded(500));
                }
                const QString json =
                    QStringLiteral(R"({"ClientNo": "%1", "Freight": %2, "earnest": 100, "lines": [%3]})")
                        .arg(pick(m_customers))
                        .arg(m_round.bounded(90))
                        .arg(lines.join(','));
                return {"quotation", "new", writeFile("q.json", json.toUtf8())};
            }
            case Order: {
                QStringList rows;
                const int count = 1 + int(m_round.bounded(6));
                for (int i = 0; i < count; ++i) {
                    rows << QStringLiteral(R"({"Goods_name": %1, "Goods_Type": %2, "QTY": %3, "Lock_Size": 4})")
                                .arg(1 + m_round.bounded(6))
                                .arg(1 + m_round.bounded(2))
                                .arg(1 + m_round.bounded(5));
                }
                const QString json = QStringLiteral(R"({"corp_code": "%1", "Link_man": "王先生", "rows": [%2]})")
                                         .arg(pick(m_customers), rows.join(','));
                return {"order", "new", writeFile("o.json", json.toUtf8())};
            }
            case Generate: {
                static const char* kinds[] = {"work", "wareout", "shipment"};
                return {"order", "generate", kinds[m_round.bounded(3)], pick(m_orders), "--yes"};
            }
            case Receipts:
                return {"receipts", pick(m_quotations)};
            case Payout:
                return {"payout",
                        "add",
                        QString::number(m_round.bounded(5)),
                        kToday.addDays(-int(m_round.bounded(60))).toString(Qt::ISODate),
                        QString::number(1 + m_round.bounded(5000)),
                        "--remark",
                        QStringLiteral("断电测试")};
            case DeleteQuotation: {
                const QString no = pick(m_quotations);
                m_savedQuotations.remove(no);
                return {"quotation", "delete", no};
            }
            case DeleteOrder: {
                const QString code = pick(m_orders);
                m_savedOrders.remove(code);
                return {"order", "delete", code};
            }
            case Prices:
                return {"prices", "set", pick(m_customers), QStringLiteral("A101=%1").arg(m_round.bounded(100000)),
                        QStringLiteral("B_Remark=第%1次").arg(m_round.bounded(1000))};
            case NextCode: {
                static const char* const counters[][2] = {{"goods", "code"},
                                                          {"customer_provider", "corp_code"},
                                                          {"quotation_head", "billno"},
                                                          {"dusmere_order_form_head", "order_form_code"},
                                                          {"dusmere_work_form_head", "work_form_code"}};
                const auto& c = counters[m_round.bounded(5)];
                return {"next-code", c[0], c[1]};
            }
            case QuotationState:
                return {"quotation", "state", pick(m_quotations), QString::number(m_round.bounded(2))};
            case KindCount:
                break;
        }
        return {};
    }

    // Starts the command; unless it ends first, kills it (or the server)
    // after a random part of what this kind of command has taken so far.
    Outcome runAndMaybeKill(const QStringList& args, bool killServer, int waitMs = -1) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("XDG_RUNTIME_DIR");
        p.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        p.start(OLVENDCTL_PATH, QStringList{"--home", home(), "--today", kToday.toString(Qt::ISODate)} + args);
        Outcome o;
        if (waitMs < 0) {
            // From just before the book is open to a little past the
            // command's usual end: the part of its run that writes.
            const int typical = m_typicalMs.value(m_kind, 400);
            const int from = qMin(m_openMs * 9 / 10, typical / 2);
            waitMs = from + int(m_round.bounded(typical + typical / 5 - from + 1));
        }
        m_lastDelay = waitMs;
        m_lastRounds << QStringLiteral("olvendctl %1 (kill after %2 ms%3)")
                            .arg(args.join(' '))
                            .arg(waitMs)
                            .arg(killServer ? QStringLiteral(", the server") : QString());
        if (m_lastRounds.size() > 5) {
            m_lastRounds.removeFirst();
        }
        if (!p.waitForFinished(waitMs)) {
            o.killed = true;
            if (killServer) {
                m_server->crash();
                if (!p.waitForFinished(60000)) {
                    p.kill();
                    p.waitForFinished();
                }
                m_server->start();
            } else {
                p.kill();
                p.waitForFinished();
            }
        }
        o.elapsedMs = clock.elapsed();
        o.finished = p.exitStatus() == QProcess::NormalExit;
        o.exitCode = p.exitCode();
        o.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        o.err = QString::fromUtf8(p.readAllStandardError()).trimmed();
        return o;
    }

    void remember(const QStringList& args, const QString& out) {
        const QString last = out.section('\n', -1).trimmed();
        if (args.value(0) == "quotation" && args.value(1) == "new") {
            m_savedQuotations.insert(last);
        } else if (args.value(0) == "order" && args.value(1) == "new") {
            m_savedOrders.insert(last);
        } else if (args.value(0) == "payout" && args.value(1) == "add") {
            m_savedPayouts.insert(last);
        } else if (args.value(0) == "next-code") {
            // Codes of one counter grow in text order (same prefix, day and
            // width), so the highest handed out is kept.
            QString& highest = m_issuedCodes[args.value(1) + '.' + args.value(2)];
            highest = qMax(highest, last);
        }
    }

    void checkBook(const QStringList& args, const Outcome& o) {
        QStringList found;
        try {
            auto db = connect();
            if (m_engine == QLatin1String("sqlite")) {
                found << BookInvariants::integrity(*db);
            }
            found << BookInvariants::check(*db, kToday, m_pictures);
            found << missing(*db, "Quotation_Head", "BillNo", m_savedQuotations);
            found << missing(*db, "Dusmere_Order_Form_head", "Order_Form_Code", m_savedOrders);
            found << missing(*db, "payout", "id", m_savedPayouts);
            found << BookInvariants::codesIssued(*db, m_issuedCodes);
        } catch (const OlvendError& e) {
            found << QStringLiteral("the book cannot be read: %1").arg(e.message());
        }
        ++booksChecked;
        if (!found.isEmpty()) {
            keepBook();
            faults << QStringLiteral("after `olvendctl %1` (%2 after %3 ms, exit %4: %5):")
                          .arg(args.join(' '), o.killed ? "killed" : "finished")
                          .arg(m_lastDelay)
                          .arg(o.exitCode)
                          .arg(o.err.left(300));
            faults << found;
            faults << QStringLiteral("the last rounds:") << m_lastRounds;
            return;
        }
        const qint64 before = m_fingerprint;
        refreshCodes();
        if (o.killed && m_fingerprint != before) {
            ++killsThatChangedTheBook;
        }
    }

    QStringList missing(Database& db, const QString& table, const QString& field, const QSet<QString>& saved) {
        QStringList out;
        for (const QString& key : saved) {
            if (db.scalar(QStringLiteral("select count(*) from %1 where %2 = :k").arg(table, field),
                          {{"k", field == "id" ? QVariant(key.toLongLong()) : QVariant(key)}})
                    .toInt() != 1) {
                out << QStringLiteral("已保存的 %1 [%2] 不见了").arg(table, key);
            }
        }
        return out;
    }

    void keepBook() {
        if (m_engine != QLatin1String("sqlite")) {
            return;
        }
        const QString kept =
            QDir::temp().filePath(QStringLiteral("olvend-crash-fault-%1.db").arg(QCoreApplication::applicationPid()));
        QFile::remove(kept);
        QFile::copy(m_bookPath, kept);
        faults << QStringLiteral("the book is kept as %1").arg(kept);
    }

    TestBooks::TestProgram& m_program;
    QString m_engine;
    QRandomGenerator m_seeds;
    QRandomGenerator m_round;
    int m_openMs = 0;
    QStringList m_lastRounds;
    LocalPostgres* m_server;
    QString m_bookPath;
    QString m_pictures;
    Kind m_kind = Demo;
    int m_lastDelay = 0;
    QHash<int, int> m_typicalMs;
    QStringList m_goods;
    QStringList m_customers;
    QStringList m_quotations;
    QStringList m_orders;
    qint64 m_fingerprint = 0;
    QSet<QString> m_savedQuotations;
    QSet<QString> m_savedOrders;
    QSet<QString> m_savedPayouts;
    QHash<QString, QString> m_issuedCodes;
};

}  // namespace

class TestCrashConsistency : public QObject {
    Q_OBJECT
private slots:
    void checkerFindsBrokenBooks();
    void killsLeaveSoundBooks_data();
    void killsLeaveSoundBooks();
};

// The checks themselves must see what they look for: a sound demo book
// passes, and each kind of damage a half-done save could leave is named.
void TestCrashConsistency::checkerFindsBrokenBooks() {
    TestBooks::TestProgram program;
    program.connect("sqlite");
    QProcess p;
    p.start(OLVENDCTL_PATH, {"--home", program.folder(), "--today", kToday.toString(Qt::ISODate), "demo", "--customers",
                             "5", "--goods", "14", "--quotations", "4", "--orders", "2", "--payouts", "3"});
    QVERIFY(p.waitForFinished(300000));
    QCOMPARE(p.exitCode(), 0);
    {
        QProcess g;
        const QString code = program.context()
                                 .data()
                                 .main()
                                 .scalar("select min(Order_Form_Code) from Dusmere_Order_Form_head")
                                 .toString();
        for (const char* kind : {"work", "wareout", "shipment"}) {
            g.start(OLVENDCTL_PATH, {"--home", program.folder(), "--today", kToday.toString(Qt::ISODate), "order",
                                     "generate", kind, code, "--yes"});
            QVERIFY(g.waitForFinished(60000));
            QCOMPARE(g.exitCode(), 0);
        }
    }
    Database& db = program.context().data().main();
    const QString pictures = program.context().PictureFolder;
    QCOMPARE(BookInvariants::integrity(db), QStringList());
    const QStringList sound = BookInvariants::check(db, kToday, pictures);
    QVERIFY2(sound.isEmpty(), qPrintable(sound.join('\n')));

    const auto expectFault = [&](const QString& damage, const QString& named) {
        db.beginWrite();
        db.execute(damage);
        const QStringList found = BookInvariants::check(db, kToday, pictures);
        db.rollback();
        QVERIFY2(found.join('\n').contains(named), qPrintable(damage + " -> " + found.join('\n')));
    };
    expectFault("delete from Quotation_Head where BillNo = (select min(BillNo) from Quotation_Head)",
                "报价明细没有报价单");
    expectFault("delete from Quotation_Detail where HeadNo = (select min(BillNo) from Quotation_Head)",
                "报价单没有明细");
    expectFault(
        "update Quotation_Sum set sum_Goods = sum_Goods + 1 where BillNo = (select min(BillNo) from "
        "Quotation_Head)",
        "报价合计与明细不符");
    expectFault("delete from Quotation_Head where BillNo = (select min(QuotationNo) from Receipt_Head)",
                "收据明细没有报价单");
    expectFault(
        "delete from Dusmere_Order_Form_Detail where Head_Code = (select min(Order_Form_Code) from "
        "Dusmere_Order_Form_head)",
        "订单没有货品");
    expectFault(
        "delete from Dusmere_Shipment_Form_Detail where id = (select min(id) from Dusmere_Shipment_Form_Detail)",
        "发货单明细与订单货品不符");
    expectFault("delete from Dusmere_Work_Form_Detail", "生产单没有明细");
    expectFault("delete from Dusmere_Ware_Out_Form_Head", "出库单明细没有出库单");
    expectFault("delete from Client_group", "客户的类别不存在");
    expectFault("update Sys_ID_Autoincrement set CurrID = 'SP00000001' where tablename = 'goods'", "goods.code");
    expectFault("update Sys_ID_Autoincrement set CurrID = 'BJ0001010001' where tablename = 'quotation_head'",
                "quotation_head.billno");
    expectFault("insert into base_Dusmere_Customer_price_Table (Corp_code) values ('没有的客户')",
                "单价表的客户不存在");
    expectFault("delete from Dusmere_Work_Form_Detail where id = (select max(id) from Dusmere_Work_Form_Detail)",
                "生产单明细与订单货品不符");
    expectFault(
        "update Receipt_Head set state = 1 - coalesce(state, 1) where BillNo = (select min(BillNo) from "
        "Receipt_Head where QuotationNo is not null)",
        "收据状态与报价单不符");
    // A code handed out by a finished command that the counter is behind.
    {
        const QString issued =
            db.scalar("select CurrID from Sys_ID_Autoincrement where tablename = 'goods'").toString();
        QVERIFY(!issued.isEmpty());
        QCOMPARE(BookInvariants::codesIssued(db, {{"goods.code", issued}}), QStringList());
        db.beginWrite();
        db.execute("update Sys_ID_Autoincrement set CurrID = 'SP00000001' where tablename = 'goods'");
        const QStringList found = BookInvariants::codesIssued(db, {{"goods.code", issued}});
        db.rollback();
        QVERIFY2(found.join('\n').contains("goods.code"), qPrintable(found.join('\n')));
    }

    // A picture file left without its goods.
    QFile stray(QDir(pictures).filePath("SP99999999.jpg"));
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.close();
    QVERIFY(BookInvariants::check(db, kToday, pictures).join('\n').contains("SP99999999.jpg"));
}

void TestCrashConsistency::killsLeaveSoundBooks_data() {
    TestBooks::addEngineRows();
}

void TestCrashConsistency::killsLeaveSoundBooks() {
    QFETCH(QString, engine);
    const int target = settingOr("OLVEND_CRASH_KILLS", 200);
    const quint32 seed = quint32(settingOr("OLVEND_CRASH_SEED", 16));
    std::unique_ptr<LocalPostgres> server;
    if (engine == QLatin1String("postgres")) {
        if (!LocalPostgres::available()) {
            if (qEnvironmentVariableIsSet("OLVEND_REQUIRE_PG")) {
                QFAIL("OLVEND_REQUIRE_PG is set but the PostgreSQL server programs are not installed");
            }
            QSKIP("the PostgreSQL server programs are not installed");
        }
        try {
            server = std::make_unique<LocalPostgres>();
        } catch (const std::exception& e) {
            QFAIL(e.what());
        }
        // The books of this case live on the server this case may kill.
        qputenv("OLVEND_TEST_PG", server->setting().toUtf8());
    }
    TestBooks::TestProgram program;
    program.connect(engine);
    CrashDriver driver(program, engine, seed, server.get());
    driver.run(target);
    qInfo().noquote() << QStringLiteral(
                             "%1: seed %2, %3 kills (%4 of the server), %5 of them after a commit, "
                             "%6 commands finished, %7 books checked, %8 faults")
                             .arg(engine)
                             .arg(seed)
                             .arg(driver.kills)
                             .arg(driver.serverKills)
                             .arg(driver.killsThatChangedTheBook)
                             .arg(driver.commandsFinished)
                             .arg(driver.booksChecked)
                             .arg(driver.faults.isEmpty() ? 0 : 1)
                      << driver.typical.join(' ');
    QVERIFY2(driver.faults.isEmpty(), qPrintable(driver.faults.join('\n')));
    QCOMPARE(driver.kills, target);
    // Kills that all fell before or after the writing prove nothing (about
    // a fifth land while the book changes).
    QVERIFY2(driver.killsThatChangedTheBook >= target / 25,
             qPrintable(
                 QStringLiteral("only %1 kills fell while the book was written").arg(driver.killsThatChangedTheBook)));
}

QTEST_GUILESS_MAIN(TestCrashConsistency)
#include "test_crash_consistency.moc"
