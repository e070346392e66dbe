#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "data/dataset.h"
#include "document_fixture.h"
#include "document_window_suite.h"
#include "documents/price_history_dialog.h"
#include "documents/quotation_edit_window.h"
#include "documents/quotation_list_window.h"
#include "documents/receipt_window.h"
#include "reports/document_report_window.h"
#include "shell/query_panel_window.h"
#include "ui/editors.h"
#include "ui/list_reading.h"

using DocumentFixture::count;
using DocumentFixture::read;

// The quotation windows, offscreen: main paths and bindings (the rules are
// tested in test_quotations and test_quotation_totals).
class TestQuotationWindows : public DocumentWindowSuite {
    Q_OBJECT
private slots:
    void init() {
        start();
        DocumentFixture::addGoods(db(), "A", "门锁", "大", "UN001", 2, 10.0, 20.0, 6.0);
        DocumentFixture::addGoods(db(), "B", "合页", "4寸", "UN002", 1, 5.0, 5.0, 2.0);
        DocumentFixture::addGoods(db(), "C", "拉手", "小", "UN003", 3, 7.0, 21.0, 4.0);
    }
    void cleanup() { stop(); }

    // Receipts and printouts need a stored quotation; adding goods saves at
    // once, text that is no number refused as typed, the goods shown; the
    // last prices beside the lines, amounts following the quantity; 报价历史,
    // the receipt and the printouts open; closing asks to save.
    void editorAddsGoodsSavesComputesAndPrints() {
        for (const auto& [day, price] : QList<QPair<int, double>>{{3, 9.5}, {5, 8.75}}) {
            const QVariantMap at{{"h", stored({"A"})}, {"p", price}, {"d", QDate(2006, day, 1).startOfDay()}};
            db().query("update Quotation_Detail set Price=:p where HeadNo=:h", at);
            db().query("update Quotation_Head set Add_ClientName='王先生', Keyin_Date=:d where BillNo=:h", at);
        }
        QuotationEditWindow w(context(), QuotationDocument::New);
        pickGoods({"A", "B"});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        prompter().clear();
        click(w, "Action1");
        w.actions().execute("Action5");
        QCOMPARE(prompter().texts(),
                 QStringList({"订货单还没有保存，请先保存订货单再开收据", "订货单还没有保存，不能打印"}));
        w.document().head().setValue("Add_ClientName", "王先生");
        auto* freight = w.findChildren<NumberEdit*>().value(0);
        QTest::keyClicks(freight, "12.5x");
        click(w, "Action_AddGoods");
        QVERIFY2(prompter().lastText().startsWith("[运费]") && prompter().lastText().contains("12.5x"),
                 qPrintable(prompter().lastText()));
        const QString no = w.document().billNo();
        QCOMPARE(count(db(), "select count(*) from Quotation_Detail where HeadNo=:h", {{"h", no}}), 0);
        DataGrid* g = w.grid();
        QCOMPARE(cells(g, {"0:货品名称", "1:计量单位", "0:上次报价", "1:上次报价"}) + g->footerText("Total_Price"),
                 QString("门锁|件|8.75 (2006-05-01)|合计:25.00"));
        freight->selectAll();
        QTest::keyClicks(freight, "12.5");
        setCell(g, 1, "QTY", 4);
        QCOMPARE(cell(g, 1, "总金额") + g->footerText("Total_Price"), QString("20.00合计:40.00"));
        click(w, "Action_Save");
        QVERIFY(!w.document().isModified());
        QCOMPARE(read(db(), "select Total_Price, Gain_Money from Quotation_Detail where GoodsNo='B'"),
                 QString("20|12"));
        g->selectRow(0);
        windows().then<PriceHistoryDialog>([](PriceHistoryDialog& dialog) {
            return dialog.table()->rowCount() == 2 && dialog.table()->item(1, 1)->text() == "2006-03-01" ? 1 : -1;
        });
        click(w, "Action_PriceHistory");
        QCOMPARE(windows().shown.last(), QString("PriceHistoryDialog"));
        QStringList opened;
        windows().then<ReceiptWindow>([&](ReceiptWindow& r) { return opened << r.quotationNo(), 0; });
        for (int i = 0; i < 2; ++i) {
            windows().then<DocumentReportWindow>([&](DocumentReportWindow& r) {
                return opened << QString("print %1 %2").arg(int(r.kind())).arg(r.key()), 0;
            });
        }
        click(w, "Action1");
        w.actions().execute("Action5");
        click(w, "Action4");
        QCOMPARE(opened, (QStringList{no, "print 1 " + no, "print 2 " + no}));
        // Closing asks to save; a save refused keeps the window and the edits.
        setCell(g, 0, "QTY", 5);
        w.document().head().setValue("Send_Date", QVariant());
        prompter().setNextAnswer(true);
        w.reject();
        QVERIFY(w.isVisible());
        QCOMPARE(prompter().lastText() + cell(g, 0, "总金额"), QString("请填写[交货日期]50.00"));
        w.document().head().setValue("Send_Date", QDate(2006, 7, 1).startOfDay());
        click(w, "Action_Save");
        QCOMPARE(read(db(),
                      "select Total_Price, Freight from Quotation_Detail, Quotation_Head where GoodsNo='A' and "
                      "HeadNo=BillNo and BillNo=:b",
                      {{"b", no}}),
                 QString("50|12.5"));
    }

    void listShowsAmountsKeepsItsRowAndDeletes() {
        const QString first = stored({"A"}, "海景");
        const QString second = stored({"A", "B"}, "山城");
        const QString third = stored({"C"}, "江边");
        db().query("insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType) values (:q, 'AA1', 15, 0)",
                   {{"q", second}});
        QuotationListWindow w(context());
        windows().then<QuotationEditWindow>([&](QuotationEditWindow& editor) {
            db().query("update Quotation_Head set Remark='改' where BillNo=:b", {{"b", editor.document().billNo()}});
            return 0;
        });
        QStringList receipts;
        windows().then<ReceiptWindow>([&](ReceiptWindow& r) { return receipts << r.quotationNo(), 0; });
        w.show();
        DataGrid* g = w.grid();
        // Newest first, and the newest current.
        QCOMPARE(cells(g, {"0:贵宾号", "1:已收款", "1:未收款"}), third + "|15.00|10.00");
        QCOMPARE(w.currentBillNo(), third);
        // Editing the middle row comes back to it.
        g->selectRow(w.list().rows().currentRow() - 1);
        w.actions().execute("Action_Edit");
        QCOMPARE(w.currentBillNo(), second);
        QCOMPARE(cell(g, 1, "备注"), QString("改"));
        // Receipts and deletion on the selected row; the next row takes its place.
        QVERIFY(w.list().rows().locate("BillNo", second));
        g->selectRow(w.list().rows().currentRow());
        w.actions().execute("Action1");
        QCOMPARE(receipts, QStringList{second});
        prompter().setNextAnswer(true);
        w.actions().execute("Action1_delete");
        QCOMPARE(count(db(), "select count(*) from Quotation_Head where BillNo=:b", {{"b", second}}), 0);
        QCOMPARE(w.currentBillNo(), first);
        QCOMPARE(g->selectedRows().size(), 1);
    }

    // On a server the list shows its newest quotations at once and reads the rest while the user works, a line
    // under the rows telling how far; read again (F5) on a quotation not among the first rows, it comes back to it.
    void longServerListShowsTheNewestAtOnce() {
        if (!TestBooks::postgresConfigured()) {
            QSKIP("needs ./test's PostgreSQL");
        }
        TestBooks::TestProgram program(true);
        program.connect("postgres");
        program.context().CurrentUser = {"超级用户", "", "管理员组"};
        Database& server = program.context().data().main();
        QList<Database::BatchStatement> heads;
        for (int i = 1; i <= 700; ++i) {
            heads << Database::BatchStatement(
                "insert into Quotation_Head (BillNo, Keyin_Date, state) values (:b, :d, 1)",
                {{"b", QString("Q%1").arg(i, 5, 10, QChar('0'))}, {"d", QDate(2006, 1, 1).addDays(i).startOfDay()}});
        }
        server.executeBatch(heads);
        QuotationListWindow w(program.context());
        w.show();
        DataGrid* g = w.grid();
        auto* line = g->findChild<QLabel*>("readingLine");
        QCOMPARE(g->model()->rowCount(), QuotationList::kFirstRows);
        QCOMPARE(w.currentBillNo(), QString("Q00700"));
        // The server's count comes after the first rows, with the next part.
        QCOMPARE(g->footerText("BillNo"), QString("共 … 份单据"));
        QVERIFY(line->isVisible());
        QCOMPARE(line->text(), QString("正在读取列表：已读 300 行…"));
        // A column's filter list offers the values of every row: the rest is read first.
        QTimer closer;
        closer.setInterval(10);
        QStringList offered;
        connect(&closer, &QTimer::timeout, [&offered] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                for (const QAction* a : popup->actions()) {
                    offered << a->text();
                }
                popup->close();
            }
        });
        closer.start();
        g->showColumnFilterMenu(0, QPoint(0, 0));
        closer.stop();
        QCOMPARE(offered.mid(0, 4), QStringList({"(全部)", "", "Q00001", "Q00002"}));
        w.activateWindow();  // the closed menu had taken the window's activation
        QTRY_VERIFY(w.isActiveWindow());
        QCOMPARE(g->model()->rowCount(), 700);
        QVERIFY(!g->reading()->isReading());
        QVERIFY(!line->isVisible());
        QCOMPARE(g->footerText("BillNo"), QString("共 700 份单据"));
        QCOMPARE(cell(g, 699, "贵宾号"), QString("Q00001"));
        g->selectRow(w.list().rows().rowCount() - 1);
        QCOMPARE(w.currentBillNo(), QString("Q00001"));
        QTest::keyClick(&w, Qt::Key_F5);
        QCOMPARE(g->model()->rowCount(), QuotationList::kFirstRows);
        QVERIFY(g->selectedRows().isEmpty());  // not another quotation meanwhile
        QTRY_COMPARE(w.currentBillNo(), QString("Q00001"));
        QCOMPARE(g->selectedRows(), QList<int>{699});

        // The server goes while the list is read: the rows stay, the line says so in red, also after the rows are
        // laid out again; F5 reads the whole list on the reopened connection.
        QTest::keyClick(&w, Qt::Key_F5);
        const int pid = server.scalar("select pg_backend_pid()").toInt();
        program.connectAgain()->scalar("select pg_terminate_backend(:p, 5000)", {{"p", pid}});
        QTRY_VERIFY(line->text().startsWith("列表没有读完"));
        const int kept = g->model()->rowCount();
        QVERIFY(kept >= 300 && kept < 700);
        QVERIFY2(line->text().contains(QString("只读到 %1 行（共 700 行）").arg(kept)), qPrintable(line->text()));
        w.list().rows().cancelUpdates();
        QVERIFY(line->isVisible() && line->text().startsWith("列表没有读完"));
        QCOMPARE(g->model()->rowCount(), kept);
        QTest::keyClick(&w, Qt::Key_F5);
        QTRY_VERIFY(!g->reading()->isReading());
        QCOMPARE(g->model()->rowCount(), 700);
        QVERIFY(!line->isVisible());
    }

    void queryPanelFiltersTheList() {
        const QString percent = stored({"A"}, "100%酒楼");
        stored({"A"}, "1000酒楼");
        const QString late = stored({"B"}, "江边");
        db().query("update Quotation_Head set Keyin_Date='2006-06-24 23:30:00' where BillNo=:b", {{"b", late}});
        QueryPanelWindow panel(context(), QueryPanelWindow::Quotations);
        QStringList shown;  // each list's numbers
        for (int i = 0; i < 2; ++i) {
            windows().then<QuotationListWindow>([&](QuotationListWindow& list) {
                QStringList numbers;
                for (int r = 0; r < list.grid()->model()->rowCount(); ++r) {
                    numbers << cell(list.grid(), r, "贵宾号");
                }
                return shown << numbers.join(','), 0;
            });
        }
        panel.show();
        panel.hotelBox()->setText("100%");
        QTest::keyClick(panel.hotelBox(), Qt::Key_Return);
        // A To day alone takes in the whole day.
        panel.hotelBox()->clear();
        panel.toDate()->setValue(QDate(2006, 6, 24).startOfDay());
        panel.runQuery();
        QCOMPARE(shown, QStringList({percent, late}));
    }

    // Every quotation right but 查看成本利润: no costs or profits; granted, seen.
    void costsAndProfitsOnlyWithTheRight() {
        const QString no = stored({"A", "B"});
        signInAs("店员", "店员组",
                 "LOWER(Form_Name) in ('form_quotation_edit', 'form_quotation_list', 'base_goods_frm')");
        for (const bool granted : {false, true}) {
            if (granted) {
                grant("店员组", "LOWER(Form_Name)='main_frm' and LOWER(Action_Name)='action_viewcostprofit'");
            }
            QuotationEditWindow w(context(), QuotationDocument::Existing, no);
            QCOMPARE(w.grid()->model()->columnOf("Gain_Money") >= 0, granted);
            QCOMPARE(w.extraColumns() != nullptr, granted);
            QuotationListWindow list(context());
            QCOMPARE(list.grid()->dataset()->fieldIndex("total_Gain_Money") >= 0, granted);
        }
    }

private:
    QString stored(const QStringList& codes, const QString& hotel = {}) {
        return DocumentFixture::storedQuotation(db(), context().clock(), prompter(), codes, hotel);
    }
    static void setCell(DataGrid* grid, int gridRow, const QString& field, const QVariant& value) {
        QVERIFY(grid->model()->setData(grid->model()->index(gridRow, grid->model()->columnOf(field)), value));
    }
};

QTEST_MAIN(TestQuotationWindows)
#include "test_quotation_windows.moc"
