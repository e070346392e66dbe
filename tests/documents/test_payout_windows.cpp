#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "data/dataset.h"
#include "document_fixture.h"
#include "document_window_suite.h"
#include "documents/payout_edit_window.h"
#include "documents/payout_list_window.h"
#include "reports/report_preview_frame.h"
#include "reports/statistics_window.h"
#include "ui/editors.h"

using DocumentFixture::count;

// The payout list and editor, and the statistics windows, offscreen: their
// main paths and what only they refuse. The rules are PayoutEditor's and
// PayoutList's (test_payouts) and StatisticsReport's (test_statistics).
class TestPayoutWindows : public DocumentWindowSuite {
    Q_OBJECT
private slots:
    void init() { start(); }
    void cleanup() { stop(); }
    void listAddsEditsFiltersAndDeletes();
    void editorRefusesTextThatIsNoWholeNumber();
    void statisticsWindowsShowReportAndChart();
    void payoutStatisticsKindFillsTheRemarks();

private:
    void insertPayout(const QString& subject, const QDate& day, int amount, const QString& remark) {
        db().execute("insert into payout (paytime, subject, totalprice, remark) values (:t, :s, :a, :r)",
                     {{"t", day.startOfDay()}, {"s", subject}, {"a", amount}, {"r", remark}});
    }
    static QStringList pageTexts(const ReportPreviewFrame* frame) {
        QStringList texts;
        for (const ReportPage& page : frame->report().pages) {
            for (const ReportPrimitive& p : page.items) {
                texts << p.text;
            }
        }
        return texts;
    }
};

void TestPayoutWindows::listAddsEditsFiltersAndDeletes() {
    insertPayout("3", QDate(2006, 6, 20), 1000, "付货款");
    insertPayout("3", QDate(2006, 6, 21), 500, "付定金");
    insertPayout("0", QDate(2006, 6, 21), 30, "运费");
    PayoutListWindow w(context(), 4);
    QCOMPARE(w.title()->text(), QString("汇款"));
    // The editor as the user fills it.
    w.runEditor = [this, &w](int mode) {
        PayoutEditWindow editor(context(), w.list(), mode, &w);
        editor.show();
        QCOMPARE(editor.heading()->text(), QString("汇款"));
        QCOMPARE(editor.button("Action_AddGoods")->isVisible(), mode == PayoutEditor::New);
        auto* amount = editor.findChild<NumberEdit*>("totalprice");
        amount->setFocus();
        amount->selectAll();
        QTest::keyClicks(amount, mode == PayoutEditor::New ? "800" : "450");
        auto* remark = editor.findChild<QPlainTextEdit*>("remark");
        remark->setFocus();
        remark->selectAll();
        remark->insertPlainText(mode == PayoutEditor::New ? "汇款给厂家" : "付定金(改)");
        QTest::mouseClick(editor.button("Action_SaveAndExit"), Qt::LeftButton);
        QCOMPARE(editor.result(), int(QDialog::Accepted));
    };
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    DataGrid* g = w.grid();
    QCOMPARE(g->model()->rowCount(), 2);
    QCOMPARE(cell(g, 0, "发生日期"), QString("2006-06-21"));
    QCOMPARE(cell(g, 0, "支出类型"), QString("汇款"));
    QCOMPARE(g->footerText("paytime"), QString("共 2 条记录"));
    QCOMPARE(g->footerText("totalprice"), QString("合计：1500.00"));
    auto click = [&w](const char* action) {
        QTest::mouseClick(w.findChild<QPushButton*>(QString::fromLatin1(action)), Qt::LeftButton);
    };
    click("Action_Add");
    QCOMPARE(count(db(),
                   "select count(*) from payout where subject='3' and totalprice=800 and remark='汇款给厂家' "
                   "and paytime=:d",
                   {{"d", QDate(2006, 6, 25).startOfDay()}}),
             1);
    // The new payout is the one selected, at the top.
    QCOMPARE(g->selectedRows().size(), 1);
    QCOMPARE(w.list().rows().value(g->selectedRows().first(), "totalprice").toInt(), 800);
    QCOMPARE(g->footerText("totalprice"), QString("合计：2300.00"));
    // Editing takes the one row selected.
    g->view()->selectAll();
    click("Action_Edit");
    QCOMPARE(prompter().lastText(), QString("一次只能编辑一条记录"));
    w.list().rows().locate("remark", "付定金");
    g->selectRow(w.list().rows().currentRow());
    click("Action_Edit");
    QCOMPARE(count(db(), "select count(*) from payout where totalprice=450 and remark='付定金(改)'"), 1);
    QCOMPARE(w.list().rows().value(g->selectedRows().first(), "remark").toString(), QString("付定金(改)"));
    // "查询" keeps the whole To day.
    w.fromDate()->setValue(QDate(2006, 6, 21).startOfDay());
    w.toDate()->setValue(QDate(2006, 6, 21).startOfDay());
    QTest::mouseClick(w.findChild<QPushButton*>("queryButton"), Qt::LeftButton);
    QCOMPARE(g->model()->rowCount(), 1);
    QCOMPARE(g->footerText("totalprice"), QString("合计：450.00"));
    // Deleting takes the selected rows.
    g->view()->selectAll();
    prompter().setNextAnswer(true);
    click("Action_Delete");
    QCOMPARE(count(db(), "select count(*) from payout"), 3);
    QCOMPARE(count(db(), "select count(*) from payout where remark='付定金(改)'"), 0);
    // A payout added outside the filter is saved, and the selection stays
    // with the rows shown.
    click("Action_Add");
    QCOMPARE(count(db(), "select count(*) from payout where totalprice=800"), 2);
    QVERIFY(g->selectedRows().isEmpty());
    w.fromDate()->setValue(QDate(2006, 6, 20).startOfDay());
    w.toDate()->setValue(QDate(2006, 6, 30).startOfDay());
    w.filterByDate();
    QCOMPARE(g->model()->rowCount(), 3);
    QCOMPARE(g->selectedRows(), QList<int>{w.list().rows().currentRow()});
    QCOMPARE(prompter().pendingAnswers(), 0);
}

// Text that is no whole number stays as typed, and the save says so: no
// other number is made out of the keys.
void TestPayoutWindows::editorRefusesTextThatIsNoWholeNumber() {
    PayoutList list(db(), prompter(), 0);
    list.open();
    PayoutEditWindow editor(context(), list, PayoutEditor::New);
    QCOMPARE(editor.objectName(), QString("frm_payout_edit"));  // the name its rights are kept under
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QCOMPARE(editor.findChild<NullableDateEdit*>("paytime")->value().toDate(), QDate(2006, 6, 25));
    auto* amount = editor.findChild<NumberEdit*>("totalprice");
    for (const char* typed : {"12.5", "12ab", "-1-2"}) {
        amount->setFocus();
        amount->selectAll();
        QTest::keyClicks(amount, typed);
        QTest::mouseClick(editor.button("Action_SaveAndExit"), Qt::LeftButton);
        QVERIFY(editor.isVisible());
        QCOMPARE(amount->text(), QString(typed));
        QVERIFY2(prompter().lastText().contains(QString("不能是“%1”").arg(typed)), qPrintable(prompter().lastText()));
        QCOMPARE(count(db(), "select count(*) from payout"), 0);
    }
    QVERIFY(prompter().texts().join('|').contains("只能填写整数"));
    // "增加下个商品" saves this one and starts the next, empty.
    amount->setFocus();
    amount->selectAll();
    QTest::keyClicks(amount, "60");
    QTest::mouseClick(editor.button("Action_AddGoods"), Qt::LeftButton);
    QCOMPARE(count(db(), "select count(*) from payout where totalprice=60 and subject='0'"), 1);
    QVERIFY(amount->text().isEmpty());
    prompter().setNextAnswer(false);
    editor.reject();
    QVERIFY(!editor.isVisible());
    QCOMPARE(count(db(), "select count(*) from payout"), 1);
}

void TestPayoutWindows::statisticsWindowsShowReportAndChart() {
    insertPayout("0", QDate(2006, 6, 1), 40, "送货");
    insertPayout("1", QDate(2006, 7, 1), 500, "工资");
    db().execute("insert into Quotation_Head (BillNo, Rummery, state) values ('BJ1', '海景酒楼', 1)");
    db().execute("insert into Receipt_Head (BillNo, QuotationNo, keyin_Date, TotalPrice) values ('R1', 'BJ1', :d, 900)",
                 {{"d", QDate(2006, 6, 3).startOfDay()}});
    const QList<std::tuple<StatisticsReport::Kind, QString, QString>> windows{
        {StatisticsReport::Kind::Income, "收入统计", "900.00"},
        {StatisticsReport::Kind::Payout, "支出统计", "540.00"},
        {StatisticsReport::Kind::Profit, "利润统计", "360.00"}};
    for (const auto& [kind, caption, total] : windows) {
        StatisticsWindow w(context(), kind);
        QCOMPARE(w.windowTitle(), caption);
        QVERIFY(w.windowState() & Qt::WindowMaximized);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Nothing is read until "开始统计"; the dates start empty.
        QVERIFY(w.frame()->report().isEmpty());
        QVERIFY(w.fromDate()->value().isNull());
        QTest::mouseClick(w.runButton(), Qt::LeftButton);
        QVERIFY2(pageTexts(w.frame()).contains(total), qPrintable(pageTexts(w.frame()).join('|')));
        QVERIFY(!w.chart().isEmpty());
        QVERIFY(w.chartView()->isVisible());
        // Only the chart, then only the report.
        w.viewBox()->setCurrentIndex(int(StatisticsWindow::View::Chart));
        QVERIFY(!w.frame()->isVisible());
        QVERIFY(w.chartView()->isVisible());
        w.viewBox()->setCurrentIndex(int(StatisticsWindow::View::Report));
        QVERIFY(w.frame()->isVisible());
        QVERIFY(!w.chartView()->isVisible());
        // A refused period leaves the last report; run again, it is read
        // anew with the parameters kept.
        w.fromDate()->setValue(QDate(2006, 7, 2).startOfDay());
        w.toDate()->setValue(QDate(2006, 7, 1).startOfDay());
        QVERIFY(!w.run());
        QVERIFY(pageTexts(w.frame()).contains(total));
        w.fromDate()->setValue(QDate(2006, 7, 1).startOfDay());
        QVERIFY(w.run());
        QVERIFY(pageTexts(w.frame()).contains("统计时间段: 2006-07-01 至 2006-07-01"));
    }
}

// Choosing a kind fills its remarks and sets the remark to "全部".
void TestPayoutWindows::payoutStatisticsKindFillsTheRemarks() {
    insertPayout("0", QDate(2006, 6, 1), 40, "送货");
    insertPayout("0", QDate(2006, 6, 2), 15, "50%_油费");
    insertPayout("1", QDate(2006, 6, 1), 500, "工资");
    StatisticsWindow w(context(), StatisticsReport::Kind::Payout);
    w.show();
    QCOMPARE(w.kindBox()->currentText(), QString("全部"));
    w.remarkBox()->setCurrentText("xx");
    w.kindBox()->setCurrentIndex(w.kindBox()->findText("运输费"));
    emit w.kindBox()->activated(w.kindBox()->currentIndex());
    QCOMPARE(w.remarkBox()->currentText(), QString("全部"));
    QStringList items;
    for (int i = 0; i < w.remarkBox()->count(); ++i) {
        items << w.remarkBox()->itemText(i);
    }
    QCOMPARE(items, QStringList({"全部", "50%_油费", "送货"}));
    QVERIFY(w.run());
    QVERIFY(pageTexts(w.frame()).contains("55.00"));
    w.remarkBox()->setCurrentText("送货");
    QVERIFY(w.run());
    QVERIFY(pageTexts(w.frame()).contains("40.00"));
    QVERIFY(!pageTexts(w.frame()).contains("15.00"));
}

QTEST_MAIN(TestPayoutWindows)
#include "test_payout_windows.moc"
