#include <QTest>
#include <tuple>

#include "data/database.h"
#include "data/dataset.h"
#include "documents/derived_form_list.h"
#include "documents/document_fixture.h"
#include "documents/order_form_document.h"
#include "documents/order_form_generator.h"
#include "documents/order_goods_editor.h"
#include "platform/clock.h"
#include "reports/document_printouts.h"
#include "reports/engine/report_preparer.h"
#include "reports/report_samples.h"
#include "support/golden.h"
#include "support/test_books.h"

using Kind = DocumentPrintouts::Kind;

// Quotation, receipt, order and form printouts on both engines: rows and pages, each in a golden file.
class TestDocumentPrintouts : public QObject {
    Q_OBJECT
    std::unique_ptr<TestBooks::FreshBook> m_book;
    Clock m_clock;
    ScriptedPrompter m_prompter;
    Database& db() { return m_book->db(); }

    void addGoods(const QString& code, const QString& name, const QString& unit, const QString& provider) {
        DocumentFixture::addGoods(db(), code, name, "规格" + code, unit);
        db().execute("update goods set Provide_corp = :p where code = :c", {{"p", provider}, {"c", code}});
    }
    // A quotation in force for C001 of 5 March 2024; `fields` set after it is written.
    void addQuotation(const QString& billNo, const QVariantMap& fields = {}) {
        ReportSamples::insert(db(), "Quotation_Head",
                              "BillNo, ClientNo, Link_man, telephon, Order_Date, Send_Date, Keyin_Date, Keyin_User, "
                              "Freight, earnest, preferential, Remark, Add_ClientName, state",
                              {billNo, "C001", "张三", "13912345678", QDate(2024, 3, 5), QDate(2024, 3, 20),
                               QDateTime(QDate(2024, 3, 5), QTime(9, 30)), "李会计", 0, 0, 0, "", "", 1});
        for (auto f = fields.cbegin(); f != fields.cend(); ++f) {
            db().execute(QString("update Quotation_Head set %1 = :v where BillNo = :b").arg(f.key()),
                         {{"v", f.value()}, {"b", billNo}});
        }
    }
    void addLine(const QString& head, const QString& goods, double qty, double price, double purchase, int sortNo,
                 const QString& remark = {}) {
        ReportSamples::insert(
            db(), "Quotation_Detail",
            "HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money, Remark, SortNo",
            {head, goods, qty, price, qty * price, purchase, qty * (price - purchase), remark, sortNo});
    }
    void addReceipt(const QString& billNo, const QString& quotation, int type, qint64 amount, const QString& remark) {
        ReportSamples::insert(
            db(), "Receipt_Head", "QuotationNo, BillNo, TotalPrice, BillType, keyin_User, keyin_Date, remark, state",
            {quotation, billNo, amount, type, "王出纳", QDateTime(QDate(2024, 3, 8), QTime(15, 0)), remark, 1});
    }
    void addReceiptLine(const QString& quotation, const QString& name, const QString& unit, int qty, int price,
                        const QString& remark) {
        ReportSamples::insert(db(), "Receipt_Detail",
                              "HeadNo, GoodsClassName, GoodsClassSize, GoodsClassUnit, QTY, Price, Total_Price, Remark",
                              {quotation, name, "2.1x0.9", unit, qty, price, qty * price, remark});
    }
    // An order of `rows` rows: names 1..6, series 1 or 2, 2 x 100, lock 1 with fittings on the first.
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
    // The order forms' company and customer, on 25 June 2006.
    void orderCompany() {
        m_clock.setToday(QDate(2006, 6, 25));
        db().execute("update Sys_Corp set Corp_name = '佳美门窗有限公司'");
        db().execute(
            "insert into customer_provider (corp_code, Corp_name, Boss_mobile) values ('00001', '明珠酒楼', "
            "'13800001111')");
    }

private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() {
        if (!TestBooks::engineAvailable()) {
            return;
        }
        m_book = std::make_unique<TestBooks::FreshBook>(TestBooks::currentEngine());
        db().execute(
            "update Sys_Corp set Corp_name = :name, Corp_address = :address, Corp_telephone = :phone",
            {{"name", "鸿达五金贸易有限公司"}, {"address", "佛山市南海区桂城路18号"}, {"phone", "0757-86001234"}});
        db().execute(
            "insert into Provider (Corp_code, provider_name) values ('P001', '王五五金厂'), ('P002', '李四锁业')");
        db().execute("insert into Client (Corp_code, Linkman_name) values ('C001', '张三')");
        addGoods("SP001", "合页", "UN001", "P001");
        addGoods("SP002", "门锁", "UN003", "P002");
        addGoods("SP003", "拉手", "UN001", "P001");
        addGoods("SP004", "螺丝", "UN004", "P002");
    }
    void cleanup() { m_book.reset(); }

    // Q0001 (lines out of order, two suppliers, remarks, freight, discount, earnest) and its receipts.
    void printoutsShowTheirDocument() {
        addQuotation("Q0001", {{"Remark", "整单九五折"}, {"Freight", 50}, {"preferential", 16}, {"earnest", 100}});
        addLine("Q0001", "SP003", 4, 31.17, 12.25, 3);        // 拉手, 王五五金厂
        addLine("Q0001", "SP001", 10, 8.88, 2.5, 1, "加急");  // 合页, 王五五金厂
        addLine("Q0001", "SP004", 100, 0.77, 0.35, 4);        // 螺丝, 李四锁业
        addLine("Q0001", "SP002", 3, 99.99, 45, 2);           // 门锁, 李四锁业
        addReceipt("SK0001", "Q0001", 0, 200, "首付定金");
        addReceipt("SK0002", "Q0001", 1, 300, "尾款");
        addReceiptLine("Q0001", "铝合金门", "UN003", 2, 120, "门备注");
        addReceiptLine("Q0001", "纱窗", "UN006", 4, 90, "窗备注");
        addQuotation("Q0002");
        addReceipt("SK0003", "Q0002", 1, 999, "别的单");
        addReceiptLine("Q0002", "别的货", "UN001", 1, 999, "");
        addQuotation("Q0003");
        addReceipt("SK0004", "Q0003", 1, 88, "无明细");
        const std::tuple<Kind, const char*, const char*> printouts[] = {
            {Kind::Quotation, "Q0001", "quotation"},
            {Kind::QuotationWarning, "Q0001", "quotation_warning"},
            {Kind::PurchaseOrder, "Q0001", "purchase_order"},
            {Kind::Receipt, "SK0001", "receipt_earnest"},
            {Kind::Receipt, "SK0002", "receipt"},
            {Kind::Receipt, "SK0004", "receipt_without_lines"}};
        for (const auto& [kind, key, golden] : printouts) {
            OLVEND_COMPARE_GOLDEN(QString("reports/%1.txt").arg(golden),
                                  "fields: " + DocumentPrintouts(db()).rows(kind, key).fields.join(", ").toLower() +
                                      "\n" + ReportSamples::printoutDump(db(), kind, key));
        }
        // A line whose goods were deleted still prints from what the line holds, under its goods code.
        addQuotation("Q0004");
        addLine("Q0004", "SP001", 2, 5, 3, 1, "留下1");
        addLine("Q0004", "SP002", 2, 5, 3, 2, "删掉");
        addLine("Q0004", "SP003", 2, 5, 3, 3, "留下2");
        db().execute("delete from goods where code = 'SP002'");
        // Lines whose goods are gone (no supplier) open the purchase order.
        for (const Kind kind : {Kind::Quotation, Kind::PurchaseOrder}) {
            QCOMPARE(DocumentPrintouts(db()).rows(kind, "Q0004").rows.size(), 3);
            PreparedReport out;
            QVERIFY(ReportSamples::printout(db(), kind, "Q0004", &out));
            const QStringList details = ReportSamples::textsOf(out, ReportBand::Kind::Detail);
            QVERIFY(details.contains("合页") && details.contains("拉手") && details.contains("删掉"));
            QVERIFY(details.contains("SP002") &&
                    (kind != Kind::PurchaseOrder || details.indexOf("SP002") < details.indexOf("合页")));
        }
    }

    // An unknown number is named; quotes, statement ends and LIKE patterns in numbers are only values.
    void unknownAndHostileNumbersAreOnlyValues() {
        db().execute("create table x (n integer)");
        const QString hostile = QStringLiteral("'; DROP TABLE x; --%_");
        const QString quotation = "Q%_';DROP TABLE x;--";
        const QString other = "Q12';DROP TABLE x;--";
        addQuotation(quotation, {{"Remark", hostile}, {"Add_ClientName", "O'Brien %_"}});
        addLine(quotation, "SP001", 1, 5, 3, 1, hostile);
        addLine(quotation, "SP002", 1, 5, 3, 2, hostile);
        addQuotation(other);
        addReceipt("SK%_'; DROP TABLE x; --", quotation, 1, 10, hostile);
        addReceipt("SK12'; DROP TABLE x; --", other, 1, 20, "别的单");
        addReceiptLine(quotation, "门", "UN001", 1, 5, hostile);
        addReceiptLine(quotation, "窗", "UN001", 1, 5, hostile);
        for (int i = 1; i <= 3; ++i) {
            addLine(other, "SP003", 1, 5, 3, i, "别的单");
            addReceiptLine(other, "别的货", "UN001", 1, 5, "别的单");
        }
        const int lines = db().scalar("select count(*) from Quotation_Detail").toInt();
        DocumentPrintouts printouts(db());
        const std::tuple<Kind, QString, QString, const char*> cases[] = {
            {Kind::Quotation, quotation, other, "找不到订货单: Q9"},
            {Kind::PurchaseOrder, quotation, other, "找不到订货单: Q9"},
            {Kind::Receipt, "SK%_'; DROP TABLE x; --", "SK12'; DROP TABLE x; --", "找不到收款收据: Q9"}};
        for (const auto& [kind, key, decoy, missing] : cases) {
            QCOMPARE(printouts.missingText(kind, "Q9"), QString(missing));
            QVERIFY(printouts.rows(kind, "Q9").rows.isEmpty());
            QCOMPARE(printouts.missingText(kind, key), QString());
            QCOMPARE(printouts.missingText(kind, decoy), QString());
            QVERIFY(!printouts.missingText(kind, kind == Kind::Receipt ? "SK%" : "Q%").isEmpty());
            const ReportRows rows = printouts.rows(kind, key);
            const int number = rows.fieldIndex(kind == Kind::Receipt ? "Quotation_BillNo" : "HeadNo");
            QStringList read;
            for (const auto& row : rows.rows) {
                read << row[number].toString() << row[rows.fieldIndex("Line_Remark")].toString();
            }
            QCOMPARE(read, QStringList({quotation, hostile, quotation, hostile}));
            QCOMPARE(printouts.rows(kind, decoy).rows.size(), 3);
            PreparedReport out;
            QVERIFY(ReportSamples::printout(db(), kind, key, &out));
            QCOMPARE(ReportSamples::textsOf(out, ReportBand::Kind::Detail).count(hostile), 2);
            // The supplier is not told the customer.
            QCOMPARE(ReportSamples::textsOf(out).contains("O'Brien %_"), kind != Kind::PurchaseOrder);
            QVERIFY(!ReportSamples::textsOf(out).contains("别的单"));
        }
        QVERIFY(db().hasTable("x"));
        QCOMPARE(db().scalar("select count(*) from Quotation_Detail").toInt(), lines);
    }

    // An order, its forms, and its shipment form printed after a goods row was deleted from the order.
    void printoutsShowTheOrderAndItsForms() {
        orderCompany();
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

    // The lists of the forms made from two orders; codes that are not there are named.
    void formListsAndUnknownCodes() {
        orderCompany();
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
        // The work forms: two series, then one; the rows below follow the form.
        DerivedFormList work(db(), Kind::WorkForm);
        work.open();
        DerivedFormList shipments(db(), Kind::ShipmentForm);
        shipments.open();
        shipments.showRows(first);
        const auto field = [](const Dataset& d, const char* name) { return d.value(0, name).toString(); };
        const auto rows = [](const Dataset& d) { return QString::number(d.rowCount()); };
        QCOMPARE(
            QStringList({rows(work.forms()), field(work.forms(), "Order_Form_Code"),
                         field(work.forms(), "Gain_Customer_Name"), field(work.forms(), "Row_Count"), rows(work.rows()),
                         rows(shipments.forms()), field(shipments.forms(), "RecivePerson_Telephone"),
                         rows(shipments.rows()), field(shipments.rows(), "Goods_name_Desc")}),
            QStringList({"3", first, "明珠酒楼", "1", "1", "2", "13800001111", "2", "平开窗"}));
        shipments.showRows(QString());
        QCOMPARE(shipments.rows().rowCount(), 0);
    }
};

QTEST_MAIN(TestDocumentPrintouts)
#include "test_document_printouts.moc"
