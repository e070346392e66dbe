// Stops olvendctl with SIGKILL at random moments while it saves (on the
// server kind every fifth kill is the server's) and checks the book after
// each kill: sound, every document whole or absent, counters not behind, no
// picture without its goods, nothing reported as saved gone.
// OLVEND_CRASH_KILLS (default 200) kills per engine; OLVEND_CRASH_SEED
// (default 16) fixes each round's draws, timing does the rest, so a failure
// names the last rounds. A new document needs its command in commandOf(),
// its rules in bookFaults() and its saved keys in remember().
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

#include "data/book_checks.h"
#include "data/data_module.h"
#include "data/database.h"
#include "robustness/local_postgres.h"
#include "support/test_books.h"
#include "support/test_paths.h"

namespace {

// Rows of `from` ("table.field") whose value no row of `to` holds, those
// without a value left alone when `optional`.
struct Reference {
    const char* what;
    const char* from;
    const char* to;
    bool optional = false;
};

const Reference kReferences[] = {
    {"报价明细没有报价单", "Quotation_Detail.HeadNo", "Quotation_Head.BillNo"},
    {"报价单没有明细", "Quotation_Head.BillNo", "Quotation_Detail.HeadNo"},
    {"收据没有报价单", "Receipt_Head.QuotationNo", "Quotation_Head.BillNo", true},
    // A quotation's receipt lines hang on the quotation itself.
    {"收据明细没有报价单", "Receipt_Detail.HeadNo", "Quotation_Head.BillNo"},
    {"订单货品没有订单", "Dusmere_Order_Form_Detail.Head_Code", "Dusmere_Order_Form_head.Order_Form_Code"},
    {"订单没有货品", "Dusmere_Order_Form_head.Order_Form_Code", "Dusmere_Order_Form_Detail.Head_Code"},
    {"生产单没有订单", "Dusmere_Work_Form_Head.Order_Form_Code", "Dusmere_Order_Form_head.Order_Form_Code"},
    {"生产单没有明细", "Dusmere_Work_Form_Head.Work_Form_Code", "Dusmere_Work_Form_Detail.head_Code"},
    {"生产单明细没有生产单", "Dusmere_Work_Form_Detail.head_Code", "Dusmere_Work_Form_Head.Work_Form_Code"},
    {"出库单没有订单", "Dusmere_Ware_Out_Form_Head.Ware_Out_Form_Code", "Dusmere_Order_Form_head.Order_Form_Code"},
    {"出库单明细没有出库单", "Dusmere_Ware_Out_Form_Detail.head_code", "Dusmere_Ware_Out_Form_Head.Ware_Out_Form_Code"},
    {"发货单没有订单", "Dusmere_Shipment_Form_Head.Shipment_Form_Code", "Dusmere_Order_Form_head.Order_Form_Code"},
    {"发货单明细没有发货单", "Dusmere_Shipment_Form_Detail.head_code", "Dusmere_Shipment_Form_Head.Shipment_Form_Code"},
    {"客户的类别不存在", "Client.GroupClass", "Client_group.id", true},
    {"供应商的类别不存在", "Provider.GroupClass", "Provider_group.id", true},
    {"商品的类别不存在", "goods.Goods_class", "goods_group.id", true},
    {"单价表的客户不存在", "base_Dusmere_Customer_price_Table.Corp_code", "Client.Corp_code"},
};

// Each statement counts the rows that break one rule; 0 is sound. Work
// forms and shipments have a row per goods row of their order (an order
// never changes once its forms are made): fewer is a generation cut off.
const std::pair<const char*, const char*> kRules[] = {
    {"生产单明细与订单货品不符",
     "select count(*) from Dusmere_Order_Form_head h where exists (select 1 from Dusmere_Work_Form_Head w "
     "where w.Order_Form_Code = h.Order_Form_Code) and (select count(*) from Dusmere_Work_Form_Detail d join "
     "Dusmere_Work_Form_Head w on w.Work_Form_Code = d.head_Code where w.Order_Form_Code = h.Order_Form_Code) <> "
     "(select count(*) from Dusmere_Order_Form_Detail o where o.Head_Code = h.Order_Form_Code)"},
    {"出库单不是一行明细",
     "select count(*) from Dusmere_Ware_Out_Form_Head w where (select count(*) from "
     "Dusmere_Ware_Out_Form_Detail d where d.head_code = w.Ware_Out_Form_Code) <> 1"},
    {"发货单明细与订单货品不符",
     "select count(*) from Dusmere_Shipment_Form_Head s where (select count(*) from Dusmere_Shipment_Form_Detail d "
     "where d.head_code = s.Shipment_Form_Code) <> (select count(*) from Dusmere_Order_Form_Detail o "
     "where o.Head_Code = s.Shipment_Form_Code)"},
    // A quotation put in or out of force takes its receipts along.
    {"收据状态与报价单不符",
     "select count(*) from Receipt_Head r join Quotation_Head h on h.BillNo = r.QuotationNo "
     "where coalesce(r.state, -1) <> coalesce(h.state, -1)"},
    {"客户有两张单价表",
     "select count(*) from (select Corp_code from base_Dusmere_Customer_price_Table "
     "group by Corp_code having count(*) > 1) t"},
};

// Every quotation number any table knows, with what its totals must be
// computed from its head, lines and receipts, against what is stored.
const char* kTotalsSql =
    "select k.BillNo, coalesce(s.sum_Goods, -1), coalesce(d.g, 0), coalesce(s.sum_Paid, -1), coalesce(r.p, 0), "
    "coalesce(s.Freight, -1), coalesce(h.Freight, 0), coalesce(s.preferential, -1), coalesce(h.preferential, 0) "
    "from (select BillNo from Quotation_Sum union select BillNo from Quotation_Head union select HeadNo from "
    "Quotation_Detail union select QuotationNo from Receipt_Head where QuotationNo is not null) k "
    "left join Quotation_Sum s on s.BillNo = k.BillNo left join Quotation_Head h on h.BillNo = k.BillNo "
    "left join (select HeadNo, sum(coalesce(Total_Price, 0)) as g, sum(coalesce(Gain_Money, 0)) as n, "
    "sum(coalesce(QTY, 0) * coalesce(purchase_Price, 0)) as c from Quotation_Detail group by HeadNo) d "
    "on d.HeadNo = k.BillNo left join (select QuotationNo, sum(coalesce(TotalPrice, 0)) as p from Receipt_Head "
    "group by QuotationNo) r on r.QuotationNo = k.BillNo where s.BillNo is null "
    "or abs(s.sum_Goods - coalesce(d.g, 0)) > 0.005 or abs(s.sum_Paid - coalesce(r.p, 0)) > 0.005 "
    "or abs(s.sum_Gain - coalesce(d.n, 0)) > 0.005 or abs(s.sum_Cost - coalesce(d.c, 0)) > 0.001 "
    "or abs(s.Freight - coalesce(h.Freight, 0)) > 0.005 or abs(s.preferential - coalesce(h.preferential, 0)) > 0.005";

// A counter ("table.field") and the codes it issued: `field` of `table`
// starting with `prefix` (and the day's yyMMdd for a daily counter, which
// must hold that day's number), `length` long.
struct Counter {
    const char* counter;
    const char* table;
    const char* field;
    const char* prefix;
    bool daily;
    int length;
};

const Counter kCounters[] = {
    {"quotation_head.billno", "Quotation_Head", "BillNo", "BJ", true, 12},
    {"receipt_head.billno", "Receipt_Head", "BillNo", "AA", true, 12},
    {"dusmere_order_form_head.order_form_code", "Dusmere_Order_Form_head", "Order_Form_Code", "AA", true, 12},
    {"dusmere_work_form_head.work_form_code", "Dusmere_Work_Form_Head", "Work_Form_Code", "", true, 10},
    {"goods.code", "goods", "code", "SP", false, 10},
    // Customers and suppliers share one counter.
    {"customer_provider.corp_code", "(select Corp_code as c from Client union all select Corp_code from Provider) t",
     "c", "", false, 5},
};

QStringList column(Database& db, const QString& sql) {
    QStringList out;
    for (QSqlQuery q = db.query(sql); q.next();) {
        out << q.value(0).toString();
    }
    return out;
}

QString counterValue(Database& db, const QString& counter) {
    return db
        .scalar("select CurrID from Sys_ID_Autoincrement where tablename = :t and fieldname = :f",
                {{"t", counter.section('.', 0, 0)}, {"f", counter.section('.', 1)}})
        .toString();
}

// What must hold in a book whatever moment a writer was stopped at, each
// fault a line: the file sound, the rules above, every counter at or past
// the codes it issued and those in `issued` ("table.field" to the highest
// code a finished command handed out), no picture without its goods.
QStringList bookFaults(Database& db, const QDate& today, const QString& pictureFolder,
                       const QHash<QString, QString>& issued = {}) {
    QStringList faults;
    for (QSqlQuery q = db.query(db.isAccess() ? "PRAGMA integrity_check" : "select 'ok'"); q.next();) {
        if (q.value(0).toString() != QLatin1String("ok")) {
            faults << QStringLiteral("integrity_check: %1").arg(q.value(0).toString());
        }
    }
    const auto breaking = [&](const char* what, const QString& sql) {
        if (const qlonglong n = db.scalar(sql).toLongLong()) {
            faults << QStringLiteral("%1: %2 行").arg(QString::fromUtf8(what)).arg(n);
        }
    };
    for (const Reference& r : kReferences) {
        const QString from = QLatin1String(r.from), to = QLatin1String(r.to), field = from.section('.', 1);
        breaking(r.what, QStringLiteral("select count(*) from %1 c where %2 not exists (select 1 from %3 p where "
                                        "p.%4 = c.%5)")
                             .arg(from.section('.', 0, 0), r.optional ? "c." + field + " is not null and" : QString(),
                                  to.section('.', 0, 0), to.section('.', 1), field));
    }
    for (const auto& [what, sql] : kRules) {
        breaking(what, QLatin1String(sql));
    }
    for (QSqlQuery q = db.query(QLatin1String(kTotalsSql)); q.next();) {
        faults << QStringLiteral("报价合计与明细不符: %1 (货款 %2/%3, 已付 %4/%5, 运费 %6/%7, 优惠 %8/%9)")
                      .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                           q.value(4).toString(), q.value(5).toString(), q.value(6).toString(), q.value(7).toString(),
                           q.value(8).toString());
    }
    for (const Counter& c : kCounters) {
        const QString key = QLatin1String(c.prefix) + (c.daily ? today.toString("yyMMdd") : QString());
        const QString highest = db.scalar(QStringLiteral("select max(%1) from %2 where %1 like :k and length(%1) = :n")
                                              .arg(QLatin1String(c.field), QLatin1String(c.table)),
                                          {{"k", key + '%'}, {"n", c.length}})
                                    .toString();
        const QString counter = counterValue(db, QLatin1String(c.counter));
        if (!highest.isEmpty() && ((c.daily && !counter.startsWith(key)) || counter < highest)) {
            faults << QStringLiteral("计数器 %1 = '%2' 落后于已发出的编号 %3").arg(c.counter, counter, highest);
        }
    }
    for (auto it = issued.constBegin(); it != issued.constEnd(); ++it) {
        const QString counter = counterValue(db, it.key());
        if (counter < it.value()) {
            faults << QStringLiteral("计数器 %1 = '%2' 落后于已交给用户的编号 %3").arg(it.key(), counter, it.value());
        }
    }
    // Pictures are stored as JPEG files named after their goods; a file
    // being written carries another suffix until it is complete.
    if (!pictureFolder.isEmpty()) {
        const QStringList paths = column(db, "select PicturePath from goods where PicturePath is not null");
        const QSet<QString> named(paths.cbegin(), paths.cend());
        for (const QString& f : QDir(pictureFolder).entryList({"*.jpg", "*.JPG"}, QDir::Files)) {
            if (!named.contains(f)) {
                faults << QStringLiteral("图片文件没有商品: %1").arg(f);
            }
        }
    }
    return faults;
}

// A figure that changes whenever a document or record is written: the row
// counts of the document and master tables added up.
qint64 rowFingerprint(Database& db) {
    static const QStringList tables =
        QStringLiteral(
            "Client Client_group Provider goods Quotation_Head Quotation_Detail Receipt_Head Receipt_Detail "
            "Dusmere_Order_Form_head Dusmere_Order_Form_Detail Dusmere_Work_Form_Head Dusmere_Ware_Out_Form_Head "
            "Dusmere_Shipment_Form_Head payout base_Dusmere_Customer_price_Table")
            .split(' ');
    qint64 sum = 0;
    qint64 weight = 1;
    for (const QString& t : tables) {
        sum += weight * db.scalar(QStringLiteral("select count(*) from %1").arg(t)).toLongLong();
        weight = weight * 7 % 1000003;
    }
    return sum;
}

const QDate kToday(2026, 6, 25);
const QString kQuotations = QStringLiteral("Quotation_Head.BillNo");
const QString kOrders = QStringLiteral("Dusmere_Order_Form_head.Order_Form_Code");

struct Outcome {
    bool killed = false;
    int exitCode = -1;  // -1 when it did not end normally
    QString out, err;
    qint64 elapsedMs = 0;
};

// One engine's run: the commands olvendctl is given, and what the finished
// ones reported as saved.
class CrashDriver {
public:
    CrashDriver(TestBooks::TestProgram& program, const QString& engine, quint32 seed, LocalPostgres* server)
        : m_program(program), m_sqlite(engine == QLatin1String("sqlite")), m_seeds(seed), m_server(server) {}
    int kills = 0, serverKills = 0, killsThatChangedTheBook = 0, booksChecked = 0, commandsFinished = 0;
    QStringList faults;

    // Runs commands until `target` of them were killed, or a fault.
    void run(int target) {
        prepare();
        int round = 0;
        while (kills < target && faults.isEmpty() && round < target * 20) {
            ++round;
            const bool killServer = m_server && kills % 5 == 4;
            // One draw of the seeded sequence per round: the round's own
            // draws cannot shift the rounds after it.
            m_round.seed(m_seeds.generate());
            // Each kind of command as often as it stands here.
            static const QList<Kind> deck{Demo,   Demo,      Demo,      Demo,     Quote,    Quote,    Quote,    Quote,
                                          Order,  Order,     Order,     Generate, Generate, Generate, Receipts, Payout,
                                          Payout, DropQuote, DropOrder, Prices,   NextCode, State};
            const QStringList args = commandOf(deck[int(m_round.bounded(int(deck.size())))]);
            const Outcome o = runAndMaybeKill(args, killServer);
            if (o.killed) {
                ++kills;
                serverKills += killServer ? 1 : 0;
            } else if (o.exitCode == 0) {
                ++commandsFinished;
                remember(args, o.out);
            }
            checkBook(args, o);
        }
        if (kills < target && faults.isEmpty()) {
            faults << QStringLiteral("only %1 of %2 kills landed in %3 rounds").arg(kills).arg(target).arg(round);
        }
    }

private:
    enum Kind { Demo, Quote, Order, Generate, Receipts, Payout, DropQuote, DropOrder, Prices, NextCode, State, Kinds };

    std::unique_ptr<Database> connect() const {
        const QString server = m_sqlite ? QString() : m_program.serverBook()->serverDatabase();
        return m_sqlite ? Database::openSqlite(m_bookPath, QStringLiteral("检查"))
                        : Database::openServer(TestBooks::serverParams(server), server);
    }

    void prepare() {
        m_bookPath = m_program.context().data().main().location();
        m_pictures = m_program.context().PictureFolder;
        // The program's own connections are not used while olvendctl runs.
        m_program.context().data().disconnect();
        const Outcome o = runAndMaybeKill({"demo", "--customers", "12", "--suppliers", "3", "--goods", "30",
                                           "--quotations", "6", "--orders", "3", "--payouts", "4"},
                                          false, 600000);
        if (o.exitCode != 0) {
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
        // What each kind of command takes (the longer of two runs), measured
        // once: runs that finish before their kill would pull it down.
        for (int k = 0; k < Kinds * 2; ++k) {
            const QStringList args = commandOf(Kind(k / 2));
            const Outcome o = runAndMaybeKill(args, false, 600000);
            if (o.exitCode == 0) {
                remember(args, o.out);
            }
            m_typicalMs[k / 2] = qMax(m_typicalMs.value(k / 2), int(o.elapsedMs));
            refreshCodes();
        }
    }

    void refreshCodes() {
        auto db = connect();
        m_goods = column(*db, "select code from goods order by code");
        m_customers = column(*db, "select Corp_code from Client order by Corp_code");
        m_quotations = column(*db, "select BillNo from Quotation_Head order by BillNo");
        m_orders = column(*db, "select Order_Form_Code from Dusmere_Order_Form_head order by Order_Form_Code");
        m_fingerprint = rowFingerprint(*db);
    }

    QString pick(const QStringList& from) {
        return from.isEmpty() ? QString() : from[int(m_round.bounded(from.size()))];
    }

    // A key about to be deleted is no longer one that must be there.
    QString forget(const QString& table, const QString& key) {
        m_saved[table].remove(key);
        return key;
    }

    QString writeFile(const QString& name, const QString& text) {
        return BookChecks::written(m_program.folder() + '/' + name, text.toUtf8());
    }

    QStringList commandOf(Kind kind) {
        m_kind = kind;
        switch (kind) {
            case Demo:
                return {"demo",         "--customers", "20",       "--suppliers", "3",         "--goods", "30",
                        "--quotations", "30",          "--orders", "8",           "--payouts", "60"};
            case Quote: {
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
                return {"quotation", "new",
                        writeFile("q.json", QStringLiteral(R"({"ClientNo": "%1", "Freight": %2, "earnest": 100, )"
                                                           R"("lines": [%3]})")
                                                .arg(pick(m_customers))
                                                .arg(m_round.bounded(90))
                                                .arg(lines.join(',')))};
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
                return {"order", "new",
                        writeFile("o.json", QStringLiteral(R"({"corp_code": "%1", "Link_man": "王先生", "rows": [%2]})")
                                                .arg(pick(m_customers), rows.join(',')))};
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
            case DropQuote:
                return {"quotation", "delete", forget(kQuotations, pick(m_quotations))};
            case DropOrder:
                return {"order", "delete", forget(kOrders, pick(m_orders))};
            case Prices:
                return {"prices", "set", pick(m_customers), QStringLiteral("A101=%1").arg(m_round.bounded(100000)),
                        QStringLiteral("B_Remark=第%1次").arg(m_round.bounded(1000))};
            case NextCode: {
                static const QStringList counters{"goods.code", "customer_provider.corp_code", "quotation_head.billno",
                                                  "dusmere_order_form_head.order_form_code",
                                                  "dusmere_work_form_head.work_form_code"};
                const QString c = counters[m_round.bounded(5)];
                return {"next-code", c.section('.', 0, 0), c.section('.', 1)};
            }
            case State:
                return {"quotation", "state", pick(m_quotations), QString::number(m_round.bounded(2))};
            case Kinds:
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
        p.start(TestPaths::olvendctl(),
                QStringList{"--home", m_program.folder(), "--today", kToday.toString(Qt::ISODate)} + args);
        if (waitMs < 0) {
            // From just before the book is open to a little past the
            // command's usual end: the part of its run that writes.
            const int typical = m_typicalMs.value(m_kind, 400);
            const int from = qMin(m_openMs * 9 / 10, typical / 2);
            waitMs = from + int(m_round.bounded(typical + typical / 5 - from + 1));
        }
        m_lastRounds << QStringLiteral("olvendctl %1 (kill after %2 ms%3)")
                            .arg(args.join(' '))
                            .arg(waitMs)
                            .arg(killServer ? QStringLiteral(", the server") : QString());
        if (m_lastRounds.size() > 5) {
            m_lastRounds.removeFirst();
        }
        Outcome o;
        if (!p.waitForFinished(waitMs)) {
            o.killed = true;
            if (killServer) {
                m_server->crash();
                p.waitForFinished(60000);
            }
            p.kill();
            p.waitForFinished();
            if (killServer) {
                m_server->start();
            }
        }
        o.elapsedMs = clock.elapsed();
        o.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        o.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        o.err = QString::fromUtf8(p.readAllStandardError()).trimmed();
        return o;
    }

    void remember(const QStringList& args, const QString& out) {
        const QString last = out.section('\n', -1).trimmed();
        static const QHash<QString, QString> savedBy{
            {"quotation new", kQuotations}, {"order new", kOrders}, {"payout add", "payout.id"}};
        const QString command = args.value(0) + ' ' + args.value(1);
        if (savedBy.contains(command)) {
            m_saved[savedBy[command]].insert(last);
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
            found << bookFaults(*db, kToday, m_pictures, m_issuedCodes);
            for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
                const QString table = it.key().section('.', 0, 0);
                const QString field = it.key().section('.', 1);
                for (const QString& key : it.value()) {
                    if (db->scalar(QStringLiteral("select count(*) from %1 where %2 = :k").arg(table, field),
                                   {{"k", field == "id" ? QVariant(key.toLongLong()) : QVariant(key)}})
                            .toInt() != 1) {
                        found << QStringLiteral("已保存的 %1 [%2] 不见了").arg(table, key);
                    }
                }
            }
        } catch (const OlvendError& e) {
            found << QStringLiteral("the book cannot be read: %1").arg(e.message());
        }
        ++booksChecked;
        if (!found.isEmpty()) {
            if (m_sqlite) {
                const QString kept = QDir::temp().filePath(
                    QStringLiteral("olvend-crash-fault-%1.db").arg(QCoreApplication::applicationPid()));
                QFile::remove(kept);
                QFile::copy(m_bookPath, kept);
                faults << QStringLiteral("the book is kept as %1").arg(kept);
            }
            faults << QStringLiteral("after `olvendctl %1` (%2, exit %3: %4):")
                          .arg(args.join(' '), o.killed ? "killed" : "finished", QString::number(o.exitCode),
                               o.err.left(300))
                   << found << QStringLiteral("the last rounds:") << m_lastRounds;
            return;
        }
        const qint64 before = m_fingerprint;
        refreshCodes();
        killsThatChangedTheBook += o.killed && m_fingerprint != before ? 1 : 0;
    }

    TestBooks::TestProgram& m_program;
    const bool m_sqlite;
    QRandomGenerator m_seeds, m_round;
    LocalPostgres* m_server;
    int m_openMs = 0;
    QStringList m_lastRounds;
    QString m_bookPath, m_pictures;
    Kind m_kind = Demo;
    QHash<int, int> m_typicalMs;
    QStringList m_goods, m_customers, m_quotations, m_orders;
    qint64 m_fingerprint = 0;
    QHash<QString, QSet<QString>> m_saved;  // "table.field" to the keys reported saved
    QHash<QString, QString> m_issuedCodes;
};

}  // namespace

class TestCrashConsistency : public QObject {
    Q_OBJECT
private slots:
    void checkerFindsBrokenBooks();
    void killsLeaveSoundBooks_data() { TestBooks::addEngineRows(); }
    void killsLeaveSoundBooks();
};

// The checks themselves must see what they look for: a sound demo book
// passes, and each kind of damage a half-done save could leave is named.
void TestCrashConsistency::checkerFindsBrokenBooks() {
    TestBooks::TestProgram program;
    program.connect("sqlite");
    // olvendctl in a process of its own (it needs a GUI application); its
    // exit code.
    const auto ctl = [&program](const QStringList& args) {
        QProcess p;
        p.start(TestPaths::olvendctl(),
                QStringList{"--home", program.folder(), "--today", kToday.toString(Qt::ISODate)} + args);
        return p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QCOMPARE(ctl({"demo", "--customers", "5", "--goods", "14", "--quotations", "4", "--orders", "2", "--payouts", "3"}),
             0);
    Database& db = program.context().data().main();
    const QString order = db.scalar("select min(Order_Form_Code) from Dusmere_Order_Form_head").toString();
    for (const char* kind : {"work", "wareout", "shipment"}) {
        QCOMPARE(ctl({"order", "generate", kind, order, "--yes"}), 0);
    }
    const QString pictures = program.context().PictureFolder;
    // The goods code a finished command handed out last.
    const QHash<QString, QString> issued{
        {"goods.code", db.scalar("select CurrID from Sys_ID_Autoincrement where tablename = 'goods'").toString()}};
    QVERIFY(!issued.value("goods.code").isEmpty());
    QCOMPARE(bookFaults(db, kToday, pictures, issued), QStringList());
    // Each damage in a transaction rolled back after the check.
    const QString goodsCounterBack = "update Sys_ID_Autoincrement set CurrID = 'SP00000001' where tablename = 'goods'";
    const QString firstQuotation = "(select min(BillNo) from Quotation_Head)";
    const QString firstOrder = "(select min(Order_Form_Code) from Dusmere_Order_Form_head)";
    const QList<std::pair<QString, QString>> damages{
        {"delete from Quotation_Head where BillNo = " + firstQuotation, "报价明细没有报价单"},
        {"delete from Quotation_Detail where HeadNo = " + firstQuotation, "报价单没有明细"},
        {"update Quotation_Sum set sum_Goods = sum_Goods + 1 where BillNo = " + firstQuotation, "报价合计与明细不符"},
        {"delete from Quotation_Head where BillNo = (select min(QuotationNo) from Receipt_Head)", "收据明细没有报价单"},
        {"delete from Dusmere_Order_Form_Detail where Head_Code = " + firstOrder, "订单没有货品"},
        {"delete from Dusmere_Shipment_Form_Detail where id = (select min(id) from Dusmere_Shipment_Form_Detail)",
         "发货单明细与订单货品不符"},
        {"delete from Dusmere_Work_Form_Detail", "生产单没有明细"},
        {"delete from Dusmere_Ware_Out_Form_Head", "出库单明细没有出库单"},
        {"delete from Client_group", "客户的类别不存在"},
        {goodsCounterBack, "goods.code = 'SP00000001' 落后于已发出的编号"},
        {goodsCounterBack, "goods.code = 'SP00000001' 落后于已交给用户的编号"},
        {"update Sys_ID_Autoincrement set CurrID = 'BJ0001010001' where tablename = 'quotation_head'",
         "quotation_head.billno"},
        {"insert into base_Dusmere_Customer_price_Table (Corp_code) values ('没有的客户')", "单价表的客户不存在"},
        {"delete from Dusmere_Work_Form_Detail where id = (select max(id) from Dusmere_Work_Form_Detail)",
         "生产单明细与订单货品不符"},
        {"update Receipt_Head set state = 1 - coalesce(state, 1) where BillNo = (select min(BillNo) from "
         "Receipt_Head where QuotationNo is not null)",
         "收据状态与报价单不符"},
    };
    for (const auto& [damage, named] : damages) {
        db.beginWrite();
        db.execute(damage);
        const QString found = bookFaults(db, kToday, pictures, issued).join('\n');
        db.rollback();
        QVERIFY2(found.contains(named), qPrintable(damage + " -> " + found));
    }
    // A picture file left without its goods.
    QFile stray(QDir(pictures).filePath("SP99999999.jpg"));
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.close();
    QVERIFY(bookFaults(db, kToday, pictures).join('\n').contains("SP99999999.jpg"));
}

void TestCrashConsistency::killsLeaveSoundBooks() {
    QFETCH(QString, engine);
    const int kills = qEnvironmentVariableIntValue("OLVEND_CRASH_KILLS");
    const int target = kills > 0 ? kills : 200;
    const int seedSetting = qEnvironmentVariableIntValue("OLVEND_CRASH_SEED");
    const quint32 seed = quint32(seedSetting > 0 ? seedSetting : 16);
    // The books of the server kind live on a server this case may kill.
    std::unique_ptr<LocalPostgres> server;
    if (engine == QLatin1String("postgres") && !(server = LocalPostgres::forTest())) {
        return;
    }
    TestBooks::TestProgram program;
    program.connect(engine);
    CrashDriver driver(program, engine, seed, server.get());
    driver.run(target);
    qInfo(
        "%s: seed %u, %d kills (%d of the server), %d of them after a commit, %d commands finished, %d books "
        "checked, %d faults",
        qPrintable(engine), seed, driver.kills, driver.serverKills, driver.killsThatChangedTheBook,
        driver.commandsFinished, driver.booksChecked, driver.faults.isEmpty() ? 0 : 1);
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
