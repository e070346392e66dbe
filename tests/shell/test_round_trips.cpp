#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "admin/book_backup.h"
#include "data/data_module.h"
#include "data/dataset.h"
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
#include "reports/statistics_window.h"
#include "shell/login_service.h"
#include "shell/main_window.h"
#include "support/test_books.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/grid_model.h"

namespace {
// At most this many round trips to the server for any of the main actions,
// whatever the size of the document or the book.
constexpr qint64 kBudget = 20;
// What opening a connection costs beyond the statements counted, as the
// distance proxy counts it: the TCP handshake, the client's offer of TLS,
// the connection request with its answer, and the five statements the
// driver sends to set the session up (its version, its escapes, the
// encoding, the date style, the bytes' form).
constexpr qint64 kConnectRoundTrips = 8;
}  // namespace

// The main actions of a user on a server book, each counted as it runs: a
// statement sent per line or per row would make a document of 200 lines
// cost 200 round trips, which a workstation far from the server waits for.
class TestRoundTrips : public QObject {
    Q_OBJECT
    std::unique_ptr<TestBooks::TestProgram> m_program;
    QStringList m_overBudget;
    AppContext& context() { return m_program->context(); }
    Database& db() { return context().data().main(); }
    ScriptedPrompter& prompter() { return m_program->prompter(); }
    // `budget`: a write's own, below the general one: its lock, checks and
    // writes go in a few messages, its BEGIN and COMMIT with them.
    template <class Action>
    void measure(const char* what, Action action, qint64 budget = kBudget) {
        const StatementCounts before = Database::serverTotals();
        action();
        const StatementCounts after = Database::serverTotals();
        const qint64 trips =
            after.roundTrips - before.roundTrips + (after.connects - before.connects) * kConnectRoundTrips;
        qInfo("%-26s %4lld statements %3lld round trips", what, after.statements - before.statements, trips);
        if (trips > budget) {
            m_overBudget << QStringLiteral("%1: %2").arg(QString::fromUtf8(what)).arg(trips);
        }
    }
    static void show(QWidget& w) {
        w.show();
        QCoreApplication::processEvents();
    }
private slots:
    void initTestCase_data() {
        QTest::addColumn<QString>("engine");
        QTest::newRow("postgres") << QStringLiteral("postgres");
    }
    void init() { TestBooks::engineAvailable(); }

    void mainActionsStayWithinTheirRoundTrips() {
        m_program = std::make_unique<TestBooks::TestProgram>(true);
        m_program->connect("postgres");
        context().CurrentUser = {"超级用户", "", "管理员组"};
        context().clock().setToday(QDate(2006, 6, 25));
        DemoData::fill(context(), {20, 5, 300, 0});
        DemoQuotations::fill(context(), 30);
        DemoOrders::fill(context(), 5);
        prompter().answerUnscripted(true, QString());
        // A quotation of 200 lines and an order of 200 rows.
        QStringList codes;
        QSqlQuery g = db().query("select code from goods order by code limit 200");
        while (g.next()) {
            codes << g.value(0).toString();
        }
        QString quotation;
        {
            QuotationDocument doc(db(), context().clock(), prompter(), "超级用户");
            doc.load(QuotationDocument::New);
            doc.head().setValue("Add_ClientName", "王先生");
            doc.addGoods(codes);
            QVERIFY(doc.save());
            quotation = doc.billNo();
        }
        const QString order = db().scalar("select min(Order_Form_Code) from Dusmere_Order_Form_head").toString();
        db().execute(
            "insert into Dusmere_Order_Form_Detail (Head_Code, Goods_Code, Goods_Type, Goods_name, Colour, "
            "QTY, Goods_Unit, Model_Size, Price, Total_Price) select Head_Code, cast(g + 100 as varchar(20)), "
            "Goods_Type, Goods_name, Colour, QTY, Goods_Unit, Model_Size, Price, Total_Price from "
            "Dusmere_Order_Form_Detail d, generate_series(1, 200) g where d.ID = (select min(ID) from "
            "Dusmere_Order_Form_Detail where Head_Code = :o)",
            {{"o", order}});
        const QString customer = db().scalar("select min(corp_code) from Client").toString();

        measure("log in", [&] {
            LoginService login(context());
            login.loadAccountBooks();
            QCOMPARE(login.logIn(login.books().value(0), "超级用户", ""), LoginService::Result::LoggedIn);
        });
        // The server's own count of what follows, for the cross-check.
        std::unique_ptr<Database> observer = m_program->connectAgain();
        const bool observed = serverStatisticsAvailable(*observer);
        const StatementCounts start = Database::serverTotals();
        measure("main window", [&] {
            MainWindow w(context());
            show(w);
        });
        measure("quotation list", [&] {
            QuotationListWindow w(context());
            show(w);
        });
        std::unique_ptr<QuotationEditWindow> edit;
        measure("open 200-line quotation", [&] {
            edit = std::make_unique<QuotationEditWindow>(context(), QuotationDocument::Existing, quotation);
            show(*edit);
        });
        measure(
            "change 10 lines, save",
            [&] {
                Dataset& lines = edit->document().lines();
                for (int i = 0; i < 10; ++i) {
                    lines.setCurrentRow(i * 7);
                    lines.edit();
                    lines.setValue("QTY", 5 + i);
                    lines.post();
                }
                QTest::mouseClick(edit->button("Action_Save"), Qt::LeftButton);
                QVERIFY(!edit->document().isModified());
            },
            7);
        edit.reset();
        std::unique_ptr<ReceiptWindow> receipts;
        measure("open its receipts", [&] {
            receipts = std::make_unique<ReceiptWindow>(context(), quotation);
            show(*receipts);
        });
        measure(
            "add a receipt",
            [&] {
                const int before = receipts->receiptGrid()->model()->rowCount();
                QTest::mouseClick(receipts->button("增加收据"), Qt::LeftButton);
                QCOMPARE(receipts->receiptGrid()->model()->rowCount(), before + 1);
            },
            7);
        receipts.reset();
        measure("order list", [&] {
            OrderFormListWindow w(context());
            show(w);
        });
        std::unique_ptr<OrderFormWindow> orderWindow;
        measure("open 200-row order", [&] {
            orderWindow = std::make_unique<OrderFormWindow>(context(), OrderFormDocument::Existing, order);
            show(*orderWindow);
        });
        measure(
            "save 200-row order",
            [&] {
                orderWindow->document().head().setValue("Remark_ShipmentForm", "改");
                QTest::mouseClick(orderWindow->button("Action_Save"), Qt::LeftButton);
                QVERIFY(!orderWindow->document().isModified());
            },
            6);
        orderWindow.reset();
        OrderFormGenerator forms(db(), context().clock(), prompter(), "超级用户");
        measure(
            "make its work forms", [&] { QVERIFY(forms.createWorkForms({order})); }, 7);
        measure(
            "make its ware-out form", [&] { QVERIFY(forms.createWareOutForm({order})); }, 8);
        measure(
            "make its shipment form", [&] { QVERIFY(forms.createShipmentForm({order})); }, 6);
        measure("goods list", [&] {
            GoodsListWindow w(context());
            show(w);
        });
        measure("search goods",
                [&] { QVERIFY(!RecordFinder(db(), RecordFinder::goods()).find(codes.first().left(2)).isEmpty()); });
        measure("customer price table", [&] {
            CustomerPriceWindow w(context(), false, customer);
            show(w);
            QVERIFY(w.load());
        });
        measure("income of one year", [&] {
            StatisticsWindow w(context(), StatisticsReport::Kind::Income);
            show(w);
            w.fromDate()->setValue(QDate(2005, 1, 1));
            w.toDate()->setValue(QDate(2005, 12, 31));
            QVERIFY(w.run());
            QVERIFY(w.finishPreparing());
        });
        const qint64 sent = Database::serverTotals().statements - start.statements;
        if (observed) {
            // Every statement the server ran was counted, and only those.
            QCOMPARE(serverStatementCount(*observer), sent);
        }
        measure("back up the book", [&] {
            QTemporaryDir dir;
            QVERIFY(BookBackup(context()).backup(context().CurrentAccountBook.BookName, dir.filePath("b.bak")) > 0);
        });
        QVERIFY2(m_overBudget.isEmpty(), qPrintable(m_overBudget.join("; ")));
    }

private:
    // pg_stat_statements, where the server loads it (./test's does): its
    // counts start now.
    static bool serverStatisticsAvailable(Database& observer) {
        try {
            observer.execute("create extension if not exists pg_stat_statements");
            observer.scalar("select pg_stat_statements_reset()");
            return true;
        } catch (const DbError& e) {
            if (qEnvironmentVariableIsSet("OLVEND_REQUIRE_PG")) {
                qFatal("pg_stat_statements is not loaded: %s", qPrintable(e.message()));
            }
            return false;
        }
    }
    // The statements the server ran in this database since the reset, but
    // the observer's own.
    static qint64 serverStatementCount(Database& observer) {
        return observer
            .scalar(
                "select coalesce(sum(calls), 0) from pg_stat_statements where dbid = (select oid from "
                "pg_database where datname = current_database()) and query not like '%pg_stat_statements%'")
            .toLongLong();
    }
};

QTEST_MAIN(TestRoundTrips)
#include "test_round_trips.moc"
