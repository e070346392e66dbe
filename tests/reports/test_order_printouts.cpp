#include <QGuiApplication>
#include <QTest>

#include "data/database.h"
#include "data/dataset.h"
#include "documents/derived_form_list.h"
#include "documents/order_form_document.h"
#include "documents/order_form_generator.h"
#include "documents/order_goods_editor.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "reports/document_printouts.h"
#include "reports/report_samples.h"
#include "support/golden.h"
#include "support/test_books.h"

using Kind = DocumentPrintouts::Kind;

// The printouts of an order form and of the work, ware-out and shipment
// forms made from it: their rows from the book and the pages their
// templates (built into the program) make of them, on both engines. What
// each printout shows is kept in a golden file (the same on both engines).
class TestOrderPrintouts : public QObject {
    Q_OBJECT
    std::unique_ptr<TestBooks::FreshBook> m_book;
    Clock m_clock;
    ScriptedPrompter m_prompter;
    Database& db() { return m_book->db(); }

    // An order of `rows` goods rows: names 1..6 in turn, series 1 or 2,
    // quantity 2, price 100, lock model 1 with fittings on the first row.
    QString addOrder(int rows, double earnest = 0, double discount = 0) {
        OrderFormDocument doc(db(), m_clock, m_prompter, "王会计");
        doc.load(OrderFormDocument::New);
        doc.chooseCustomer("00001");
        doc.head().setValue("Link_man", "陈先生");
        doc.head().setValue("earnest", earnest);
        doc.head().setValue("preferential", discount);
        for (int i = 0; i < rows; ++i) {
            OrderGoodsEditor row(doc, m_prompter, OrderGoodsEditor::New);
            for (const auto& [field, value] :
                 {std::pair{"Goods_name", QVariant(1 + i % 6)}, std::pair{"Goods_Type", QVariant(1 + i % 2)},
                  std::pair{"Lock_Size", QVariant(1)},
                  std::pair{"Lock_Fittings", i == 0 ? QVariant("执手一套") : QVariant()},
                  std::pair{"Price", QVariant(100)}, std::pair{"QTY", QVariant(2)}}) {
                doc.rows().setValue(field, value);
            }
            if (!row.save()) {
                qFatal("row: %s", qPrintable(m_prompter.lastText()));
            }
        }
        if (!doc.save()) {
            qFatal("order: %s", qPrintable(m_prompter.lastText()));
        }
        return doc.code();
    }

private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() {
        if (!TestBooks::engineAvailable()) {
            return;
        }
        m_book = std::make_unique<TestBooks::FreshBook>(TestBooks::currentEngine());
        m_clock.setToday(QDate(2006, 6, 25));
        db().execute("update Sys_Corp set Corp_name = '佳美门窗有限公司'");
        db().execute(
            "insert into customer_provider (corp_code, Corp_name, Boss_mobile) values ('00001', '明珠酒楼', "
            "'13800001111')");
    }
    void cleanup() { m_book.reset(); }

    // An order of four rows (series 1: rows 1 and 3; series 2: rows 2 and 4)
    // with earnest and discount, and the forms made from it; the shipment form
    // is printed after a goods row was deleted from the order, and still shows
    // that row's code. The golden files hold each template, caption and page
    // and every text of every band.
    void printoutsShowTheOrderAndItsForms() {
        const QString code = addOrder(4, 150, 20.5);
        OrderFormGenerator generator(db(), m_clock, m_prompter, "李师傅");
        QVERIFY(generator.createWorkForms({code}));
        QVERIFY(generator.createWareOutForm({code}));
        QVERIFY(generator.createShipmentForm({code}));
        const QString work = db().scalar("select min(Work_Form_Code) from Dusmere_Work_Form_Head").toString();
        OLVEND_COMPARE_GOLDEN("reports/order_form.txt", ReportSamples::printoutDump(db(), Kind::Order, code));
        OLVEND_COMPARE_GOLDEN("reports/work_form.txt", ReportSamples::printoutDump(db(), Kind::WorkForm, work));
        OLVEND_COMPARE_GOLDEN("reports/ware_out_form.txt", ReportSamples::printoutDump(db(), Kind::WareOutForm, code));
        const QString gone = db().scalar("select max(Goods_Code) from Dusmere_Order_Form_Detail").toString();
        db().query("delete from Dusmere_Order_Form_Detail where Goods_Code=:g", {{"g", gone}});
        OLVEND_COMPARE_GOLDEN("reports/shipment_form.txt", ReportSamples::printoutDump(db(), Kind::ShipmentForm, code));
    }

    // The lists of the forms made from two orders; codes that are not
    // there are named.
    void formListsAndUnknownCodes() {
        const QString first = addOrder(2);
        const QString second = addOrder(1);
        DocumentPrintouts printouts(db());
        QCOMPARE(
            QStringList({printouts.missingText(Kind::Order, "X'1"), printouts.missingText(Kind::Order, first),
                         printouts.missingText(Kind::WorkForm, "W1"), printouts.missingText(Kind::WareOutForm, "W1"),
                         printouts.missingText(Kind::ShipmentForm, "W1")}),
            QStringList({"找不到订单: X'1", "", "找不到工作单: W1", "找不到出仓单: W1", "找不到出货单: W1"}));
        OrderFormGenerator generator(db(), m_clock, m_prompter, "李师傅");
        for (const QString& code : {first, second}) {
            QVERIFY(generator.createWorkForms({code}));
            QVERIFY(generator.createShipmentForm({code}));
        }
        DerivedFormList work(db(), Kind::WorkForm);
        work.open();
        QCOMPARE(work.forms().rowCount(), 3);  // two series, then one
        const auto field = [](const Dataset& d, const char* name) { return d.value(0, name).toString(); };
        QCOMPARE(QStringList({field(work.forms(), "Order_Form_Code"), field(work.forms(), "Gain_Customer_Name"),
                              field(work.forms(), "Row_Count")}),
                 QStringList({first, "明珠酒楼", "1"}));
        QCOMPARE(work.rows().rowCount(), 1);
        DerivedFormList shipments(db(), Kind::ShipmentForm);
        shipments.open();
        QCOMPARE(shipments.forms().rowCount(), 2);
        QCOMPARE(field(shipments.forms(), "RecivePerson_Telephone"), QString("13800001111"));
        shipments.showRows(first);
        QCOMPARE(shipments.rows().rowCount(), 2);
        QCOMPARE(field(shipments.rows(), "Goods_name_Desc"), QString("平开窗"));
        shipments.showRows(QString());
        QCOMPARE(shipments.rows().rowCount(), 0);
    }
};

QTEST_MAIN(TestOrderPrintouts)
#include "test_order_printouts.moc"
