// The main actions of a user on a server book, seen from four distances:
// the server on the same machine, across an office network (1 ms each way,
// 1 Gbit/s), a slow office (2 ms, 100 Mbit/s) and a branch on a VPN
// (15 ms, 10 Mbit/s). The distance is made by network/distance_proxy.py
// between the program and the server; what it counts is what the table
// shows: the round trips and the bytes that crossed, beside the
// statements the program counted and the time each action took.
//
//   OLVEND_BENCH_PG="host=127.0.0.1;port=P;user=U"  the server (required;
//       network/run_distances.sh starts a throwaway one)
//   OLVEND_BENCH_QUOTATIONS=N  the book's size: N quotations (100,000 by
//       default, with about 25 lines each), N/2 orders and N goods
//   OLVEND_BENCH_PROFILES=office,branch  the distances (all by default)
//
// The book is built once per run in a database of its own, which is
// dropped at the end. Targets: no action but opening a 100,000-row list
// takes more than 20 round trips; at office distance every action is
// within 1.5 times its time on the same machine; at branch distance every
// action takes under 2 s.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "admin/book_backup.h"
#include "data/app_context.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/first_start.h"
#include "data/setting_scrambler.h"
#include "demo/demo_data.h"
#include "demo/demo_orders.h"
#include "demo/demo_quotations.h"
#include "documents/order_form_document.h"
#include "documents/order_form_generator.h"
#include "documents/order_form_list_window.h"
#include "documents/order_form_window.h"
#include "documents/quotation_document.h"
#include "documents/quotation_edit_window.h"
#include "documents/quotation_list_window.h"
#include "documents/receipt_window.h"
#include "master/customer_price_window.h"
#include "master/goods_list_window.h"
#include "master/record_finder.h"
#include "platform/errors.h"
#include "platform/ini_file.h"
#include "platform/prompter.h"
#include "reports/statistics_window.h"
#include "shell/login_service.h"
#include "shell/main_window.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/list_reading.h"

namespace {

const char* const kDatabase = "olvend_distance_bench";

ServerParams serverParams(const QString& database) {
    QMap<QString, QString> s;
    for (const QString& part : qEnvironmentVariable("OLVEND_BENCH_PG").split(';', Qt::SkipEmptyParts)) {
        if (const int eq = part.indexOf('='); eq > 0) {
            s.insert(part.left(eq).trimmed(), part.mid(eq + 1).trimmed());
        }
    }
    return {s.value("host", "127.0.0.1"), s.value("port", "5432").toInt(), database, s.value("user", "postgres"),
            s.value("password")};
}

// The distance proxy, started for one profile; it stops with this program.
class Proxy {
public:
    Proxy(const QString& profile, int serverPort) {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start("python3", {QStringLiteral(OLVEND_BENCH_NETWORK_DIR "/distance_proxy.py"), "--to",
                                    QString::number(serverPort), "--profile", profile});
        // Its first line, whole (it may come in more than one piece).
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(10000)) {
                qFatal("the distance proxy did not start");
            }
        }
        const QStringList said = QString::fromLatin1(m_process.readLine()).split(' ');
        m_port = said.value(1).trimmed().toInt();
        if (said.value(0) != "listening" || m_port <= 0) {
            qFatal("the distance proxy said %s", qPrintable(said.join(' ')));
        }
    }
    ~Proxy() {
        m_process.closeWriteChannel();
        m_process.waitForFinished(3000);
    }
    int port() const { return m_port; }
    struct Stats {
        qint64 up = 0;
        qint64 down = 0;
        qint64 roundTrips = 0;
    };
    Stats stats() {
        m_process.write("stats\n");
        m_process.waitForBytesWritten(10000);
        // The proxy may be busy with a large transfer (a backup of a big
        // book at branch distance takes minutes): it answers when it can.
        QElapsedTimer waited;
        waited.start();
        while (!m_process.canReadLine() && waited.elapsed() < 900000) {
            m_process.waitForReadyRead(1000);
            if (m_process.state() != QProcess::Running) {
                break;
            }
        }
        const QByteArray line = m_process.readLine();
        const QStringList said = QString::fromLatin1(line).trimmed().split(' ');
        if (said.value(0) != "stats") {
            qFatal("the distance proxy did not say its counts (it said \"%s\", %s)", line.constData(),
                   m_process.state() == QProcess::Running ? "running" : "stopped");
        }
        return {said.value(1).toLongLong(), said.value(2).toLongLong(), said.value(3).toLongLong()};
    }

private:
    QProcess m_process;
    int m_port = 0;
};

struct Row {
    QString action;
    qint64 statements;
    qint64 roundTrips;
    qint64 bytesIn;
    double ms;
};

class Bench {
public:
    Bench()
        : m_quotations(qEnvironmentVariableIsSet("OLVEND_BENCH_QUOTATIONS")
                           ? qEnvironmentVariableIntValue("OLVEND_BENCH_QUOTATIONS")
                           : 100000) {}

    // A database of its own with the demo book, made through no proxy.
    void build() {
        auto admin = Database::openServer(serverParams("postgres"), "postgres");
        if (qEnvironmentVariableIsSet("OLVEND_BENCH_KEEP_BOOK") &&
            admin->scalar("select count(*) from pg_database where datname = :d", {{"d", kDatabase}}).toInt() > 0) {
            reuse();
            return;
        }
        admin->execute(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(kDatabase));
        admin->execute(QStringLiteral("CREATE DATABASE %1").arg(kDatabase));
        FirstStart::run(*context());
        connectTo(serverParams(kDatabase).port);
        QElapsedTimer timer;
        timer.start();
        context()->CurrentUser = {"超级用户", "", "管理员组"};
        DemoData::fill(*context(), {2000, 100, m_quotations, 0});
        DemoQuotations::fill(*context(), m_quotations);
        DemoOrders::fill(*context(), m_quotations / 2);
        Database& db = context()->data().main();
        QStringList codes;
        QSqlQuery g = db.query("select code from goods order by code limit 200");
        while (g.next()) {
            codes << g.value(0).toString();
        }
        QuotationDocument doc(db, context()->clock(), m_prompter, "超级用户");
        doc.load(QuotationDocument::New);
        doc.head().setValue("Add_ClientName", "王先生");
        doc.addGoods(codes);
        if (!doc.save()) {
            qFatal("the 200-line quotation was not saved: %s", qPrintable(m_prompter.lastText()));
        }
        m_quotation = doc.billNo();
        m_order = db.scalar("select max(Order_Form_Code) from Dusmere_Order_Form_head").toString();
        db.execute(
            "insert into Dusmere_Order_Form_Detail (Head_Code, Goods_Code, Goods_Type, Goods_name, Colour, "
            "QTY, Goods_Unit, Model_Size, Price, Total_Price) select Head_Code, cast(g + 100 as varchar(20)), "
            "Goods_Type, Goods_name, Colour, QTY, Goods_Unit, Model_Size, Price, Total_Price from "
            "Dusmere_Order_Form_Detail d, generate_series(1, 200) g where d.ID = (select min(ID) from "
            "Dusmere_Order_Form_Detail where Head_Code = :o)",
            {{"o", m_order}});
        m_customer = db.scalar("select min(corp_code) from Client").toString();
        db.execute("analyze");
        std::fprintf(stderr, "book: %d quotations, %d orders, %d goods in %.0f s\n", m_quotations, m_quotations / 2,
                     m_quotations, timer.elapsed() / 1000.0);
    }

    // The book a run kept (OLVEND_BENCH_KEEP_BOOK), as build() left it: the
    // 200-line quotation and order are the newest.
    void reuse() {
        FirstStart::run(*context());
        connectTo(serverParams(kDatabase).port);
        Database& db = context()->data().main();
        m_quotation = db.scalar(
                            "select max(headno) from quotation_detail where id = (select max(id) from "
                            "quotation_detail)")
                          .toString();
        m_order = db.scalar("select max(Order_Form_Code) from Dusmere_Order_Form_head").toString();
        m_customer = db.scalar("select min(corp_code) from Client").toString();
        // Quantities this book has not held yet, so that the lines changed
        // are changed indeed.
        m_runs = int(QDateTime::currentSecsSinceEpoch() % 100000) * 10;
        std::fprintf(stderr, "book kept from an earlier run: quotation %s, order %s\n", qPrintable(m_quotation),
                     qPrintable(m_order));
    }

    void drop() {
        m_context.reset();
        Database::openServer(serverParams("postgres"), "postgres")
            ->execute(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(kDatabase));
    }

    // Every action once through the proxy of `profile`.
    QList<Row> run(const QString& profile) {
        Proxy proxy(profile, serverParams(kDatabase).port);
        std::fprintf(stderr, "%s\n", qPrintable(profile));
        m_rows.clear();
        m_proxy = &proxy;
        // A program started on a workstation that reaches the server
        // through the proxy.
        connectTo(proxy.port(), /*connect=*/false);
        // The program connects as it starts, to offer the book's users.
        measure("start (connect)", [&] { context()->data().ConnectDatabases(); });
        measure("log in", [&] {
            LoginService login(*context());
            login.loadAccountBooks();
            if (login.logIn(login.books().value(0), "超级用户", "") != LoginService::Result::LoggedIn) {
                qFatal("not logged in");
            }
        });
        AppContext& c = *context();
        Database& db = c.data().main();
        measure("open the main window", [&] { shown(std::make_unique<MainWindow>(c)); });
        measureList("the quotation list", [&] { return std::make_unique<QuotationListWindow>(c); });
        std::unique_ptr<QuotationEditWindow> edit;
        measure("open a 200-line quotation", [&] {
            edit = std::make_unique<QuotationEditWindow>(c, QuotationDocument::Existing, m_quotation);
            edit->show();
            QCoreApplication::processEvents();
        });
        measure("change 10 lines and save", [&] {
            Dataset& lines = edit->document().lines();
            for (int i = 0; i < 10; ++i) {
                lines.setCurrentRow(i * 7);
                lines.edit();
                lines.setValue("QTY", 5 + i + m_runs);
                lines.post();
            }
            edit->button("Action_Save")->click();
        });
        edit.reset();
        std::unique_ptr<ReceiptWindow> receipts;
        measure("open its receipts", [&] {
            receipts = std::make_unique<ReceiptWindow>(c, m_quotation);
            receipts->show();
            QCoreApplication::processEvents();
        });
        measure("add a receipt", [&] { receipts->button("增加收据")->click(); });
        receipts.reset();
        measureList("the order list", [&] { return std::make_unique<OrderFormListWindow>(c); });
        std::unique_ptr<OrderFormWindow> order;
        measure("open a 200-row order", [&] {
            order = std::make_unique<OrderFormWindow>(c, OrderFormDocument::Existing, m_order);
            order->show();
            QCoreApplication::processEvents();
        });
        measure("save the 200-row order", [&] {
            order->document().head().setValue("Remark_ShipmentForm", QStringLiteral("改%1").arg(m_runs));
            order->button("Action_Save")->click();
        });
        order.reset();
        OrderFormGenerator forms(db, c.clock(), m_prompter, "超级用户");
        measure("make its work forms", [&] { forms.createWorkForms({m_order}); });
        measure("make its ware-out form", [&] { forms.createWareOutForm({m_order}); });
        measure("make its shipment form", [&] { forms.createShipmentForm({m_order}); });
        measureList("the goods list", [&] { return std::make_unique<GoodsListWindow>(c); });
        measure("search goods (zk)", [&] { RecordFinder(db, RecordFinder::goods()).find("zk"); });
        measure("a customer's price table", [&] {
            CustomerPriceWindow w(c, false, m_customer);
            w.show();
            w.load();
        });
        // The window shows the report's first page when 开始统计 returns and
        // makes the rest while the user reads it.
        std::unique_ptr<StatisticsWindow> statistics;
        measure("收入统计 of one year: first page", [&] {
            statistics = std::make_unique<StatisticsWindow>(c, StatisticsReport::Kind::Income);
            statistics->show();
            const int year = c.clock().today().year() - 1;
            statistics->fromDate()->setValue(QDate(year, 1, 1));
            statistics->toDate()->setValue(QDate(year, 12, 31));
            statistics->run();
        });
        measure("… 收入统计: every page", [&] { statistics->finishPreparing(); });
        statistics.reset();
        measure("back up the book", [&] {
            QTemporaryDir dir;
            BookBackup(c).backup(c.CurrentAccountBook.BookName, dir.filePath("b.bak"));
        });
        m_proxy = nullptr;
        m_context.reset();
        ++m_runs;
        return m_rows;
    }

private:
    AppContext* context() {
        if (!m_context) {
            m_context = std::make_unique<AppContext>(AppPaths(m_dir.path()), m_prompter);
        }
        return m_context.get();
    }
    // The program's settings name the server at `port`.
    void connectTo(int port, bool connect = true) {
        m_context.reset();
        const ServerParams sp = serverParams(kDatabase);
        {
            AppContext& c = *context();
            IniFile& ini = c.SettingsFile;
            ini.setString("SYS_Setting", "DBType", "postgresql");
            ini.setString("SQL_SERVER", "server", sp.host);
            ini.setString("SQL_SERVER", "port", QString::number(port));
            ini.setString("SQL_SERVER", "Database", ScrambleSetting(sp.database));
            ini.setString("SQL_SERVER", "Username", ScrambleSetting(sp.user));
            ini.setString("SQL_SERVER", "password", ScrambleSetting(sp.password));
            ini.save();
        }
        m_context.reset();
        if (connect) {
            context()->data().ConnectDatabases();
        }
        context()->CurrentUser = {"超级用户", "", "管理员组"};
        m_prompter.answerUnscripted(true, QString());
    }
    static void shown(std::unique_ptr<QWidget> w) {
        w->show();
        QCoreApplication::processEvents();
    }
    // A long list: opened until its first rows show, then until every row
    // is read while the window waits for the user.
    template <class Make>
    void measureList(const char* what, Make make) {
        decltype(make()) w;
        measure(QStringLiteral("open %1: first rows").arg(QString::fromUtf8(what)), [&] {
            w = make();
            w->show();
            QCoreApplication::processEvents();
        });
        measure(QStringLiteral("… %1: every row").arg(QString::fromUtf8(what)), [&] {
            while (w->grid()->reading()->isReading()) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            }
        });
    }
    template <class Action>
    void measure(const char* what, Action action) {
        measure(QString::fromUtf8(what), action);
    }
    template <class Action>
    void measure(const QString& what, Action action) {
        // OLVEND_BENCH_SKIP: actions left out, by parts of their names
        // (e.g. "every row,back up"), for a quick run.
        for (const QString& skipped : qEnvironmentVariable("OLVEND_BENCH_SKIP").split(',', Qt::SkipEmptyParts)) {
            if (what.contains(skipped)) {
                return;
            }
        }
        const StatementCounts before = Database::serverTotals();
        const Proxy::Stats crossed = m_proxy->stats();
        QElapsedTimer timer;
        timer.start();
        try {
            action();
        } catch (const OlvendError& e) {
            qFatal("%s failed: %s", qPrintable(what), qPrintable(e.message()));
        }
        const double ms = timer.nsecsElapsed() / 1e6;
        const Proxy::Stats after = m_proxy->stats();
        std::fprintf(stderr, "  %s: %.0f ms\n", qPrintable(what), ms);
        m_rows.append({what, Database::serverTotals().statements - before.statements,
                       after.roundTrips - crossed.roundTrips, after.down - crossed.down, ms});
    }

    QTemporaryDir m_dir;
    ScriptedPrompter m_prompter;
    std::unique_ptr<AppContext> m_context;
    Proxy* m_proxy = nullptr;
    QList<Row> m_rows;
    int m_quotations;
    int m_runs = 0;
    QString m_quotation;
    QString m_order;
    QString m_customer;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("OLVEND_BENCH_PG")) {
        std::fprintf(stderr, "set OLVEND_BENCH_PG (or run network/run_distances.sh)\n");
        return 2;
    }
    QStringList profiles = qEnvironmentVariable("OLVEND_BENCH_PROFILES").split(',', Qt::SkipEmptyParts);
    if (profiles.isEmpty()) {
        profiles = {"loopback", "office", "slow-office", "branch"};
    }
    try {
        Bench bench;
        bench.build();
        QList<QList<Row>> results;
        for (const QString& profile : profiles) {
            results.append(bench.run(profile));
        }
        // OLVEND_BENCH_KEEP_BOOK leaves the book on the server, to study its
        // statements by hand, and runs again on it.
        if (!qEnvironmentVariableIsSet("OLVEND_BENCH_KEEP_BOOK")) {
            bench.drop();
        }
        // One line per action: statements, then round trips, kB received
        // and milliseconds at each distance.
        std::printf("| action | statements |");
        for (const QString& p : profiles) {
            std::printf(" %s: round trips, kB in, ms |", qPrintable(p));
        }
        std::printf("\n|---|---:|");
        for (int i = 0; i < profiles.size(); ++i) {
            std::printf("---:|");
        }
        std::printf("\n");
        for (int a = 0; a < results.first().size(); ++a) {
            std::printf("| %s | %lld |", qPrintable(results.first()[a].action), results.first()[a].statements);
            for (const QList<Row>& rows : results) {
                std::printf(" %lld, %.0f, %.0f |", rows[a].roundTrips, rows[a].bytesIn / 1024.0, rows[a].ms);
            }
            std::printf("\n");
        }
    } catch (const OlvendError& e) {
        std::fprintf(stderr, "%s\n%s\n", qPrintable(e.message()), qPrintable(e.details()));
        return 1;
    }
    return 0;
}
