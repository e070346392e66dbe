#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <tuple>

#include "data/database.h"
#include "data/dataset.h"
#include "documents/derived_form_list.h"
#include "documents/order_form_document.h"
#include "documents/order_form_generator.h"
#include "documents/order_goods_editor.h"
#include "platform/app_paths.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "reports/document_printouts.h"
#include "reports/engine/report_preparer.h"
#include "reports/report_samples.h"
#include "support/golden.h"
#include "support/test_books.h"

using Kind = DocumentPrintouts::Kind;
Q_DECLARE_METATYPE(DocumentPrintouts::Kind)

namespace {
const QString kCompany = QStringLiteral("佳美门窗有限公司");
}  // namespace

// The printouts of an order form and of the work, ware-out and shipment
// forms made from it: their rows from the book and the pages their
// templates make of them, on both engines. What each printout shows is
// kept in a golden file (the same on both engines).
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
        db().execute("update Sys_Corp set Corp_name = :name", {{"name", kCompany}});
        db().execute(
            "insert into customer_provider (corp_code, Corp_name, Boss_mobile) values ('00001', '明珠酒楼', "
            "'13800001111')");
    }
    void cleanup() { m_book.reset(); }

    void templatesAreBuiltIn() {
        const std::tuple<Kind, const char*, const char*, QSizeF> templates[] = {
            {Kind::Order, "Dusmere_ShipmentForm.rmf", "收款收据", QSizeF(210, 297)},
            {Kind::WorkForm, "Dusmere_WorkForm.rmf", "工作单", QSizeF(297, 210)},
            {Kind::WareOutForm, "Dusmere_WareOutForm.rmf", "出仓单", QSizeF(210, 297)},
            {Kind::ShipmentForm, "Dusmere_ShipmentForm_Driver.rmf", "出货单", QSizeF(210, 297)}};
        for (const auto& [kind, file, caption, page] : templates) {
            QCOMPARE(DocumentPrintouts::templateName(kind), QString(file));
            QCOMPARE(DocumentPrintouts::caption(kind), QString(caption));
            const QString path = AppPaths(QTemporaryDir().path()).reportFile(file);
            QCOMPARE(path, QString(":/Report/") + file);
            ReportTemplate tmpl;
            QString error;
            QCOMPARE(ReportTemplate::load(path, &tmpl, &error), ReportTemplate::LoadResult::Loaded);
            QCOMPARE(tmpl.effectivePageSize(), page);
        }
    }

    // An order of four rows (series 1: rows 1 and 3; series 2: rows 2 and 4)
    // with earnest and discount, and the forms made from it; the shipment form
    // is printed after a goods row was deleted from the order, and still shows
    // that row's code. The golden files hold every text of every band.
    void printoutsShowTheOrderAndItsForms() {
        const QString code = addOrder(4, 150, 20.5);
        OrderFormGenerator generator(db(), m_clock, m_prompter, "李师傅");
        QVERIFY(generator.createWorkForms({code}));
        QVERIFY(generator.createWareOutForm({code}));
        QVERIFY(generator.createShipmentForm({code}));
        const QString work = db().scalar("select min(Work_Form_Code) from Dusmere_Work_Form_Head").toString();
        const auto golden = [this](Kind kind, const QString& key, const QString& name) {
            PreparedReport out;
            QVERIFY(ReportSamples::printout(db(), kind, key, &out));
            OLVEND_COMPARE_GOLDEN("reports/" + name + ".txt", ReportSamples::dump(out));
        };
        golden(Kind::Order, code, "order_form");
        golden(Kind::WorkForm, work, "work_form");
        golden(Kind::WareOutForm, code, "ware_out_form");
        const QString gone = db().scalar("select max(Goods_Code) from Dusmere_Order_Form_Detail").toString();
        db().query("delete from Dusmere_Order_Form_Detail where Goods_Code=:g", {{"g", gone}});
        golden(Kind::ShipmentForm, code, "shipment_form");
    }

    // A long order: every page carries the order's code and "page n of m";
    // the rows and the total run on over the pages.
    void longOrderRepeatsItsPageHeader() {
        const QString code = addOrder(90);
        PreparedReport out;
        QVERIFY(ReportSamples::printout(db(), Kind::Order, code, &out));
        const int pages = static_cast<int>(out.pages.size());
        QVERIFY2(pages >= 2, qPrintable(QString::number(pages)));
        for (int i = 0; i < pages; ++i) {
            QVERIFY(ReportSamples::textsOf(out, ReportBand::Kind::PageHeader, i).contains("贵宾号: " + code));
            QVERIFY(ReportSamples::textsOf(out, ReportBand::Kind::PageFooter, i)
                        .contains(QStringLiteral("第 %1 页 / 共 %2 页").arg(i + 1).arg(pages)));
        }
        QVERIFY(ReportSamples::textsOf(out, ReportBand::Kind::Detail).contains("90"));  // the last row's number
        QVERIFY(ReportSamples::textsOf(out, ReportBand::Kind::Summary).contains("¥ 18,000.00"));
    }

    // The lists of the forms made from two orders; codes that are not
    // there are named.
    void formListsAndUnknownCodes() {
        const QString first = addOrder(2);
        const QString second = addOrder(1);
        DocumentPrintouts printouts(db());
        QCOMPARE(printouts.missingText(Kind::Order, "X'1"), QString("找不到订单: X'1"));
        QCOMPARE(printouts.missingText(Kind::Order, first), QString());
        for (const auto& [kind, said] : {std::pair{Kind::WorkForm, "工作单"}, std::pair{Kind::WareOutForm, "出仓单"},
                                         std::pair{Kind::ShipmentForm, "出货单"}}) {
            QCOMPARE(printouts.missingText(kind, "W1"), QString("找不到%1: W1").arg(said));
        }
        OrderFormGenerator generator(db(), m_clock, m_prompter, "李师傅");
        for (const QString& code : {first, second}) {
            QVERIFY(generator.createWorkForms({code}));
            QVERIFY(generator.createShipmentForm({code}));
        }
        DerivedFormList work(db(), Kind::WorkForm);
        work.open();
        QCOMPARE(work.forms().rowCount(), 3);  // two series, then one
        QCOMPARE(work.forms().value(0, "Order_Form_Code").toString(), first);
        QCOMPARE(work.forms().value(0, "Gain_Customer_Name").toString(), QString("明珠酒楼"));
        QCOMPARE(work.forms().value(0, "Row_Count").toInt(), 1);
        QCOMPARE(work.rows().rowCount(), 1);
        DerivedFormList shipments(db(), Kind::ShipmentForm);
        shipments.open();
        QCOMPARE(shipments.forms().rowCount(), 2);
        QCOMPARE(shipments.forms().value(0, "RecivePerson_Telephone").toString(), QString("13800001111"));
        shipments.showRows(first);
        QCOMPARE(shipments.rows().rowCount(), 2);
        QCOMPARE(shipments.rows().value(0, "Goods_name_Desc").toString(), QString("平开窗"));
        shipments.showRows(QString());
        QCOMPARE(shipments.rows().rowCount(), 0);
    }
};

QTEST_MAIN(TestOrderPrintouts)
#include "test_order_printouts.moc"
