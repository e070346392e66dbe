#include <QTest>

#include "data/data_module.h"
#include "reports/document_report_window.h"
#include "reports/report_preview_frame.h"
#include "reports/report_samples.h"
#include "support/test_books.h"

// The report windows of the document printouts, offscreen: their names and
// captions, and each prepares its own printout only once shown (what the
// printouts show: test_document_printouts; the frame: test_report_preview).
class TestDocumentReportWindows : public QObject {
    Q_OBJECT
private slots:
    void windowsPrepareTheirPrintoutWhenShown() {
        TestBooks::TestProgram program(true);
        AppContext& c = program.context();
        c.data().ConnectDatabases();
        c.CurrentUser = {"超级用户", "", "管理员组"};
        for (const char* sql :
             {"insert into Provider (Corp_code, provider_name) values ('P001', '王五五金厂')",
              "insert into goods (code, Goods_name, Goods_unit, Provide_corp) values ('SP001', '合页', 'UN001', "
              "'P001')",
              "insert into Quotation_Head (BillNo, Add_ClientName, Freight, preferential, state) "
              "values ('BJ001', '张三', 0, 0, 1)",
              "insert into Quotation_Detail (HeadNo, GoodsNo, QTY, Price, Total_Price, purchase_Price, Gain_Money, "
              "SortNo) values ('BJ001', 'SP001', 2, 15, 30, 9, 12, 1)",
              "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, state) "
              "values ('BJ001', 'SK001', 20, 0, 1)"}) {
            c.data().main().execute(sql);
        }
        const QString notice = QStringLiteral("客户未订购此单，请勿打印，一经打印，计入总帐");
        using Kind = DocumentPrintouts::Kind;
        DocumentReportWindow quotation(c, Kind::Quotation, "BJ001");
        DocumentReportWindow warning(c, Kind::QuotationWarning, "BJ001");
        DocumentReportWindow purchase(c, Kind::PurchaseOrder, "BJ001");
        DocumentReportWindow receipt(c, Kind::Receipt, "SK001");
        const QList<QPair<DocumentReportWindow*, QStringList>> expected{
            {&quotation, {"Report_Korvan_Quotation", "订货单", "BJ001", "订货单号: BJ001"}},
            {&warning, {"Report_Korvan_Quotation", "订货单", "BJ001", notice}},
            {&purchase, {"Report_CaiGou", "采购单", "BJ001", "采购单号: BJ001"}},
            {&receipt, {"Report_Korvan_ShouJu", "收款收据", "SK001", "收据号: SK001"}}};
        for (const auto& [window, names] : expected) {
            QCOMPARE(window->objectName(), names[0]);
            QCOMPARE(window->windowTitle(), names[1]);
            QCOMPARE(window->key(), names[2]);
            QVERIFY(window->windowState().testFlag(Qt::WindowMaximized));
            QVERIFY(!window->isPrepared() && window->frame()->pageCount() == 0);
            window->show();
            QVERIFY(window->isPrepared());
            const QStringList texts = ReportSamples::textsOf(window->frame()->report());
            QVERIFY2(texts.contains(names[3]), qPrintable(names.join('|')));
            QCOMPARE(texts.contains(notice), window == &warning);
        }
        QVERIFY(program.prompter().messages().isEmpty());
        // An unknown number is said, and the window stays empty.
        DocumentReportWindow unknownReceipt(c, Kind::Receipt, "SK999");
        unknownReceipt.show();
        QVERIFY(!unknownReceipt.isPrepared() && unknownReceipt.frame()->pageCount() == 0);
        QCOMPARE(program.prompter().lastText(), QString("找不到收款收据: SK999"));
        DocumentReportWindow unknownQuotation(c, Kind::Quotation, "BJ999");
        unknownQuotation.show();
        QCOMPARE(program.prompter().lastText(), QString("找不到订货单: BJ999"));
        QCOMPARE(unknownQuotation.frame()->pageCount(), 0);
    }
};

QTEST_MAIN(TestDocumentReportWindows)
#include "test_document_report_windows.moc"
