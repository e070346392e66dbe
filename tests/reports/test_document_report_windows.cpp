#include <QTest>

#include "data/data_module.h"
#include "reports/purchase_order_report_window.h"
#include "reports/quotation_report_window.h"
#include "reports/receipt_report_window.h"
#include "reports/report_preview_frame.h"
#include "support/test_books.h"

namespace {
const QString kNotice = QStringLiteral("客户未订购此单，请勿打印，一经打印，计入总帐");

QStringList textsOf(const PreparedReport& report) {
    QStringList out;
    for (const ReportPage& page : report.pages) {
        for (const ReportPrimitive& p : page.items) {
            out << p.text;
        }
    }
    return out;
}
}  // namespace

// The report windows of the document printouts, offscreen: names,
// captions, preparing when shown.
class TestDocumentReportWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void namedCaptionedAndMaximised();
    void preparedWhenShown();
    void unknownDocumentIsSaidAndLeavesTheWindowEmpty();

private:
    AppContext& context() { return m_program->context(); }
    std::unique_ptr<TestBooks::TestProgram> m_program;
};

void TestDocumentReportWindows::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    context().data().ConnectDatabases();
    context().CurrentUser = {"超级用户", "", "管理员组"};
    Database& db = context().data().main();
    db.execute("insert into Provider (Corp_code, provider_name) values ('P001', '王五五金厂')");
    db.execute(
        "insert into goods (code, Goods_name, Goods_unit, Provide_corp) values ('SP001', '不锈钢合页', 'UN001', "
        "'P001')");
    db.execute(
        "insert into Quotation_Head (BillNo, Add_ClientName, Freight, preferential, state) "
        "values ('BJ001', '张三', 0, 0, 1)");
    db.execute(
        "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money, "
        "SortNo) values ('BJ001', 'SP001', 2, 15, 30, 9, 12, 1)");
    db.execute(
        "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, state) "
        "values ('BJ001', 'SK001', 20, 0, 1)");
    db.execute(
        "insert into Receipt_Detail (HeadNo, GoodsClassName, GoodsClassUnit, QTY, Price, Total_Price) "
        "values ('BJ001', '合页', 'UN001', 2, 15, 30)");
}

void TestDocumentReportWindows::cleanup() {
    m_program.reset();
}

void TestDocumentReportWindows::namedCaptionedAndMaximised() {
    QuotationReportWindow quotation(context(), "BJ001", false);
    QuotationReportWindow warning(context(), "BJ001", true);
    PurchaseOrderReportWindow purchase(context(), "BJ001");
    ReceiptReportWindow receipt(context(), "SK001");
    const QList<QPair<DocumentReportWindow*, QStringList>> expected{
        {&quotation, {"Report_Korvan_Quotation", "订货单", "BJ001"}},
        {&warning, {"Report_Korvan_Quotation", "订货单", "BJ001"}},
        {&purchase, {"Report_CaiGou", "采购单", "BJ001"}},
        {&receipt, {"Report_Korvan_ShouJu", "收款收据", "SK001"}}};
    for (const auto& [window, names] : expected) {
        QCOMPARE(window->objectName(), names[0]);
        QCOMPARE(window->windowTitle(), names[1]);
        QCOMPARE(window->key(), names[2]);
        QVERIFY(window->windowState().testFlag(Qt::WindowMaximized));
        QVERIFY(!window->isPrepared());
    }
    QCOMPARE(quotation.kind(), DocumentPrintouts::Kind::Quotation);
    QCOMPARE(warning.kind(), DocumentPrintouts::Kind::QuotationWarning);
}

// Nothing is read before the window shows; then each window holds the
// pages of its own printout (what they show is checked with the printouts,
// test_document_printouts; the preview frame's exports in test_report_preview).
void TestDocumentReportWindows::preparedWhenShown() {
    QuotationReportWindow warning(context(), "BJ001", true);
    QCOMPARE(warning.frame()->pageCount(), 0);
    warning.show();
    QVERIFY(warning.isPrepared());
    QCOMPARE(warning.frame()->pageCount(), 1);
    QVERIFY(textsOf(warning.frame()->report()).contains(kNotice));
    QuotationReportWindow plain(context(), "BJ001", false);
    plain.show();
    QVERIFY(textsOf(plain.frame()->report()).contains("订货单号: BJ001"));
    QVERIFY(!textsOf(plain.frame()->report()).contains(kNotice));
    PurchaseOrderReportWindow purchase(context(), "BJ001");
    purchase.show();
    QVERIFY(textsOf(purchase.frame()->report()).contains("采购单号: BJ001"));
    ReceiptReportWindow receipt(context(), "SK001");
    receipt.show();
    QVERIFY(textsOf(receipt.frame()->report()).contains("收据号: SK001"));
    QVERIFY(m_program->prompter().messages().isEmpty());
}

void TestDocumentReportWindows::unknownDocumentIsSaidAndLeavesTheWindowEmpty() {
    ReceiptReportWindow receipt(context(), "SK999");
    receipt.show();
    QVERIFY(!receipt.isPrepared());
    QCOMPARE(m_program->prompter().lastText(), QString("找不到收款收据: SK999"));
    QCOMPARE(receipt.frame()->pageCount(), 0);
    QuotationReportWindow quotation(context(), "BJ999", false);
    quotation.show();
    QCOMPARE(m_program->prompter().lastText(), QString("找不到订货单: BJ999"));
    QCOMPARE(quotation.frame()->pageCount(), 0);
}

QTEST_MAIN(TestDocumentReportWindows)
#include "test_document_report_windows.moc"
