#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include "data/dataset.h"
#include "document_fixture.h"
#include "document_window_suite.h"
#include "documents/payout_edit_window.h"
#include "documents/payout_list_window.h"
#include "reports/chart_view.h"
#include "reports/report_preview_frame.h"
#include "reports/report_samples.h"
#include "reports/statistics_window.h"
#include "ui/editors.h"

using DocumentFixture::count;

// The payout and statistics windows, offscreen: main paths and bindings (the
// rules are tested in test_payouts and test_statistics).
class TestPayoutWindows : public DocumentWindowSuite {
    Q_OBJECT
private slots:
    void init() {
        start();
        for (const auto& [subject, day, amount, remark] : QList<std::tuple<QString, int, int, QString>>{
                 {"3", 20, 1000, "付货款"}, {"3", 21, 500, "付定金"}, {"0", 1, 40, "送货"}, {"0", 2, 15, "50%_油费"}}) {
            db().execute("insert into payout (paytime, subject, totalprice, remark) values (:t, :s, :a, :r)",
                         {{"t", QDate(2006, 6, day).startOfDay()}, {"s", subject}, {"a", amount}, {"r", remark}});
        }
    }
    void cleanup() { stop(); }

    void listAddsEditsFiltersAndDeletes() {
        PayoutListWindow w(context(), 4);
        QCOMPARE(w.title()->text(), QString("汇款"));
        // Text that is no whole number stays as typed; the save says so.
        const auto edit = [this](PayoutEditWindow& editor) {
            const int mode = editor.editor().mode();
            editor.show();
            auto* amount = editor.findChild<NumberEdit*>("totalprice");
            if (mode == PayoutEditor::New) {
                QTest::keyClicks(amount, "12.5");
                click(editor, "Action_SaveAndExit");
                QVERIFY(editor.isVisible());
                QCOMPARE(amount->text(), QString("12.5"));
                QVERIFY2(
                    prompter().lastText().contains("不能是“12.5”") && prompter().lastText().contains("只能填写整数"),
                    qPrintable(prompter().lastText()));
            }
            amount->selectAll();
            QTest::keyClicks(amount, mode == PayoutEditor::New ? "800" : "450");
            auto* remark = editor.findChild<QPlainTextEdit*>("remark");
            remark->selectAll();
            remark->insertPlainText(mode == PayoutEditor::New ? "汇款给厂家" : "付定金(改)");
            click(editor, "Action_SaveAndExit");
            QCOMPARE(editor.result(), int(QDialog::Accepted));
        };
        windows().thenWork<PayoutEditWindow>(edit);
        windows().thenWork<PayoutEditWindow>(edit);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        DataGrid* g = w.grid();
        QCOMPARE(cells(g, {"0:发生日期", "0:支出类型"}) + g->footerText("totalprice"),
                 QString("2006-06-21|汇款合计：1500.00"));
        clickNamed(w, "Action_Add");
        QCOMPARE(count(db(), "select count(*) from payout where subject='3' and totalprice=800 and paytime=:d",
                       {{"d", QDate(2006, 6, 25).startOfDay()}}),
                 1);
        // The new payout is the one selected; editing takes the one row selected.
        QCOMPARE(w.list().rows().value(g->selectedRows().value(0), "totalprice").toInt(), 800);
        QCOMPARE(g->footerText("totalprice"), QString("合计：2300.00"));
        w.list().rows().locate("remark", "付定金");
        g->selectRow(w.list().rows().currentRow());
        clickNamed(w, "Action_Edit");
        QCOMPARE(count(db(), "select count(*) from payout where totalprice=450 and remark='付定金(改)'"), 1);
        // Deleting takes the selected row.
        prompter().setNextAnswer(true);
        clickNamed(w, "Action_Delete");
        QCOMPARE(count(db(), "select count(*) from payout where remark='付定金(改)'"), 0);
    }

    void statisticsWindowsShowReportAndChart() {
        db().execute("insert into Quotation_Head (BillNo, Rummery, state) values ('BJ1', '海景酒楼', 1)");
        db().execute(
            "insert into Receipt_Head (BillNo, QuotationNo, keyin_Date, TotalPrice) values ('R1', 'BJ1', :d, 900)",
            {{"d", QDate(2006, 6, 3).startOfDay()}});
        {
            StatisticsWindow w(context(), StatisticsReport::Kind::Profit);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            // Nothing is read until "开始统计"; the dates start empty.
            QVERIFY(w.frame()->report().isEmpty() && w.fromDate()->value().isNull());
            QTest::mouseClick(w.runButton(), Qt::LeftButton);
            const QStringList shown = ReportSamples::textsOf(w.frame()->report());
            QVERIFY2(shown.contains("-655.00"), qPrintable(shown.join('|')));
            w.viewBox()->setCurrentIndex(int(StatisticsWindow::View::Chart));
            QVERIFY(!w.chart().isEmpty() && !w.frame()->isVisible() && w.chartView()->isVisible());
            // The last page prints the chart drawn from the rows.
            const ReportPage& last = w.frame()->report().pages.last();
            QVERIFY(std::any_of(last.items.cbegin(), last.items.cend(),
                                [](const ReportPrimitive& p) { return p.kind == ReportPrimitive::Kind::Image; }));
        }
        // Choosing a payout kind fills its remarks and sets the remark to "全部".
        StatisticsWindow w(context(), StatisticsReport::Kind::Payout);
        w.remarkBox()->setCurrentText("xx");
        w.kindBox()->setCurrentIndex(w.kindBox()->findText("运输费"));
        emit w.kindBox()->activated(w.kindBox()->currentIndex());
        QCOMPARE(w.remarkBox()->count(), 3);
        QCOMPARE(w.remarkBox()->itemText(1) + w.remarkBox()->itemText(2) + w.remarkBox()->currentText(),
                 QString("50%_油费送货全部"));
        QVERIFY(w.run());
        QVERIFY(ReportSamples::textsOf(w.frame()->report()).contains("55.00"));
    }

    // Two and a half years of receipts: the chart comes with the first turn after the first page, while most rows
    // are still to be read.
    void statisticsChartComesBeforeTheLastRows() {
        db().execute("insert into Quotation_Head (BillNo, Rummery, state) values ('BJ1', '海景酒楼', 1)");
        db().execute(
            "with recursive n(i) as (select 0 union all select i + 1 from n where i < 19999) "
            "insert into Receipt_Head (BillNo, QuotationNo, keyin_Date, TotalPrice) "
            "select 'R' || i, 'BJ1', datetime('2004-01-01', '+' || (i / 22) || ' days'), 10 from n");
        StatisticsWindow w(context(), StatisticsReport::Kind::Income);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.setView(StatisticsWindow::View::Chart);
        QVERIFY(w.run());
        QVERIFY(w.isPreparing() && w.chart().isEmpty());
        QCoreApplication::processEvents();
        QVERIFY(w.isPreparing());
        QCOMPARE(w.chart().months().size(), 30);
        QCOMPARE(w.chart().series().first().values.first(), 31 * 22 * 10.0);
        // The chart alone says how far the report has read; beside the report it leaves that to the report.
        auto* view = static_cast<ChartView*>(w.chartView());
        QVERIFY2(view->note().startsWith("正在准备报表"), qPrintable(view->note()));
        w.setView(StatisticsWindow::View::ReportAndChart);
        QVERIFY(view->note().isEmpty());
    }
};

QTEST_MAIN(TestPayoutWindows)
#include "test_payout_windows.moc"
