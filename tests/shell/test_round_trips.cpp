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
#include "documents/receipt_book.h"
#include "documents/receipt_window.h"
#include "master/customer_price_window.h"
#include "master/goods_list_window.h"
#include "master/record_finder.h"
#include "platform/errors.h"
#include "reports/statistics_window.h"
#include "shell/login_service.h"
#include "shell/main_window.h"
#include "support/test_books.h"
#include "ui/editors.h"

namespace {
struct Sent {
    qint64 statements = 0;
    qint64 roundTrips = 0;
};
}  // namespace

class TestRoundTrips : public QObject {
    Q_OBJECT
    std::unique_ptr<TestBooks::TestProgram> m_program;
    AppContext& context() { return m_program->context(); }
    Database& db() { return context().data().main(); }
    template <class Action>
    void measure(const char* what, Action action) {
        db().scalar(QString("select 'MARK %1'").arg(what));
        const StatementCounts before = Database::serverTotals();
        try {
            action();
        } catch (const std::exception& e) {
            qInfo("%s threw %s", what, e.what());
        } catch (const OlvendError& e) {
            qInfo("%s threw %s", what, qPrintable(e.message()));
        }
        const StatementCounts after = Database::serverTotals();
        qInfo("%-32s %4lld statements %4lld round trips %lld connects", what, after.statements - before.statements,
              after.roundTrips - before.roundTrips, after.connects - before.connects);
    }
private slots:
    void initTestCase_data() {
        QTest::addColumn<QString>("engine");
        QTest::newRow("postgres") << QStringLiteral("postgres");
    }
    void init() { TestBooks::engineAvailable(); }

    void explore() {
        m_program = std::make_unique<TestBooks::TestProgram>(true);
        m_program->connect("postgres");
        context().CurrentUser = {"超级用户", "", "管理员组"};
        context().clock().setToday(QDate(2006, 6, 25));
        DemoData::fill(context(), {20, 5, 300, 0});
        DemoQuotations::fill(context(), 30);
        DemoOrders::fill(context(), 5);
        m_program->prompter().answerUnscripted(true, QString());
        QStringList codes;
        QSqlQuery g = db().query("select code from goods order by code limit 200");
        while (g.next()) {
            codes << g.value(0).toString();
        }
        QString no;
        {
            QuotationDocument doc(db(), context().clock(), m_program->prompter(), "超级用户");
            doc.load(QuotationDocument::New);
            doc.head().setValue("Add_ClientName", "王先生");
            doc.addGoods(codes);
            QVERIFY(doc.save());
            no = doc.billNo();
        }
        const QString order = db().scalar("select min(Order_Form_Code) from Dusmere_Order_Form_head").toString();
        // 200 rows like its first.
        db().execute(
            "insert into Dusmere_Order_Form_Detail (Head_Code, Goods_Code, Goods_Type, Goods_name, Colour, "
            "QTY, Goods_Unit, Model_Size, Price, Total_Price) select Head_Code, cast(g + 100 as varchar(20)), "
            "Goods_Type, Goods_name, Colour, QTY, Goods_Unit, Model_Size, Price, Total_Price from "
            "Dusmere_Order_Form_Detail d, generate_series(1, 200) g where d.ID = (select min(ID) from "
            "Dusmere_Order_Form_Detail where Head_Code = :o)",
            {{"o", order}});
        measure("log in", [&] {
            LoginService login(context());
            login.loadAccountBooks();
            QCOMPARE(login.logIn(login.books().value(0), "超级用户", ""), LoginService::Result::LoggedIn);
        });
        measure("main window", [&] {
            MainWindow w(context());
            w.show();
            QCoreApplication::processEvents();
        });
        measure("quotation list", [&] {
            QuotationListWindow w(context());
            w.show();
            QCoreApplication::processEvents();
        });
        std::unique_ptr<QuotationEditWindow> edit;
        measure("open 200-line quotation", [&] {
            edit = std::make_unique<QuotationEditWindow>(context(), QuotationDocument::Existing, no);
            edit->show();
            QCoreApplication::processEvents();
        });
        measure("change 10 lines, save", [&] {
            Dataset& lines = edit->document().lines();
            for (int i = 0; i < 10; ++i) {
                lines.setCurrentRow(i * 7);
                lines.edit();
                lines.setValue("QTY", 5 + i);
                lines.post();
            }
            QTest::mouseClick(edit->button("Action_Save"), Qt::LeftButton);
        });
        edit.reset();
        std::unique_ptr<ReceiptWindow> receipts;
        measure("open receipts", [&] {
            receipts = std::make_unique<ReceiptWindow>(context(), no);
            receipts->show();
            QCoreApplication::processEvents();
        });
        measure("add receipt", [&] { QTest::mouseClick(receipts->button("增加收据"), Qt::LeftButton); });
        receipts.reset();
        measure("order list", [&] {
            OrderFormListWindow w(context());
            w.show();
            QCoreApplication::processEvents();
        });
        std::unique_ptr<OrderFormWindow> orderWindow;
        measure("open 200-row order", [&] {
            orderWindow = std::make_unique<OrderFormWindow>(context(), OrderFormDocument::Existing, order);
            orderWindow->show();
            QCoreApplication::processEvents();
        });
        measure("save 200-row order", [&] {
            orderWindow->document().head().setValue("Remark_ShipmentForm", "改");
            QTest::mouseClick(orderWindow->button("Action_Save"), Qt::LeftButton);
        });
        orderWindow.reset();
        measure("generate forms", [&] {
            OrderFormGenerator gen(db(), context().clock(), m_program->prompter(), "超级用户");
            QVERIFY(gen.createWorkForms({order}));
            QVERIFY(gen.createWareOutForm({order}));
            QVERIFY(gen.createShipmentForm({order}));
        });
        measure("goods list", [&] {
            GoodsListWindow w(context());
            w.show();
            QCoreApplication::processEvents();
        });
        measure("search goods", [&] { RecordFinder(db(), RecordFinder::goods()).find("zk"); });
        const QString customer = db().scalar("select min(corp_code) from Client").toString();
        measure("customer price table", [&] {
            CustomerPriceWindow w(context(), false, customer);
            w.show();
            QVERIFY(w.load());
        });
        measure("income one year", [&] {
            StatisticsWindow w(context(), StatisticsReport::Kind::Income);
            w.show();
            w.fromDate()->setValue(QDate(2005, 1, 1));
            w.toDate()->setValue(QDate(2005, 12, 31));
            QVERIFY(w.run());
        });
        measure("backup", [&] {
            QTemporaryDir dir;
            BookBackup(context()).backup(context().CurrentAccountBook.BookName, dir.filePath("b.bak"));
        });
    }
};

QTEST_MAIN(TestRoundTrips)
#include "test_round_trips.moc"
