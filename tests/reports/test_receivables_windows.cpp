#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "data/dataset.h"
#include "documents/document_window_suite.h"
#include "master/partner_list_window.h"
#include "reports/receivables_window.h"
#include "reports/report_preview_frame.h"
#include "reports/report_samples.h"
#include "reports/statement_window.h"
#include "shell/program_windows.h"
#include "ui/data_grid.h"
#include "ui/editors.h"

// The statement and aged receivables windows, offscreen: their main paths and the customer list's 对账单 (the
// rules are tested in test_receivables).
class TestReceivablesWindows : public DocumentWindowSuite {
    Q_OBJECT
private slots:
    void init() {
        start();
        db().execute(
            "insert into Client (Corp_code, Linkman_name, GroupClass) values ('00001', '王芳', 1), "
            "('00002', '李明', 1)");
        for (const auto& [billNo, code, day, amount] : QList<std::tuple<QString, QString, int, int>>{
                 {"BJ1", "00001", 1, 1000}, {"BJ2", "00001", 20, 300}, {"BJ3", "00002", 24, 80}}) {
            db().execute(
                "insert into Quotation_Head (BillNo, ClientNo, Add_ClientName, Keyin_Date, Freight, state) "
                "values (:b, :c, '', :d, :f, 1)",
                {{"b", billNo}, {"c", code}, {"d", QDate(2006, 5, day).startOfDay()}, {"f", amount}});
        }
        // A customer without a record, its name typed with a space after it.
        db().execute(
            "insert into Quotation_Head (BillNo, ClientNo, Add_ClientName, Keyin_Date, Freight, state) "
            "values ('BJ4', '', '散客 ', :d, 60, 1)",
            {{"d", QDate(2006, 6, 1).startOfDay()}});
        db().execute(
            "insert into Receipt_Head (BillNo, QuotationNo, keyin_Date, TotalPrice, BillType) values "
            "('R1', 'BJ1', :d, 1000, 1)",
            {{"d", QDate(2006, 5, 3).startOfDay()}});
    }
    void cleanup() { stop(); }

    // A customer typed, a period, 开始; a bad customer or period keeps the last report and says why.
    void statementWindowShowsAStatement() {
        StatementWindow w(context());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.frame()->report().isEmpty());
        QTest::keyClicks(w.customerEdit(), "00001");
        w.fromDate()->setValue(QDate(2006, 5, 2));
        QTest::mouseClick(w.runButton(), Qt::LeftButton);
        QStringList shown = ReportSamples::textsOf(w.frame()->report());
        QVERIFY2(
            shown.contains("1,000.00") && shown.contains("BJ2") && shown.contains("300.00") && !shown.contains("BJ3"),
            qPrintable(shown.join('|')));
        QVERIFY(prompter().texts().isEmpty());

        w.customerEdit()->setText("没有的人");
        QVERIFY(!w.run());
        QCOMPARE(prompter().lastText(), QString("找不到客户[没有的人]"));
        w.customerEdit()->setText("00001, 00002");
        w.toDate()->setValue(QDate(2006, 5, 1));
        QVERIFY(!w.run());
        QCOMPARE(w.frame()->report().pages.size(), 1);  // the last report stays
        w.fromDate()->setValue(QVariant());
        QVERIFY(w.run());
        QCOMPARE(w.statementCount(), 2);
        QCOMPARE(w.frame()->report().pages.size(), 2);
    }

    // The customer list's way in: the statement is shown at once, without a list to choose from.
    void statementOpenedForCustomersShowsAtOnce() {
        StatementWindow w(context());
        w.setCustomers({"00001"});
        QVERIFY(w.run());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.frame()->pageCount(), 1);
        QVERIFY(!w.chooseButton()->isVisibleTo(&w));
        w.setChooser([] { return QString("00002"); });
        QTest::mouseClick(w.chooseButton(), Qt::LeftButton);
        QCOMPARE(w.customerEdit()->text(), QString("00002"));
    }

    // 开始 fills the report, the chart and the table; a double click opens that customer's open quotations.
    void receivablesWindowDrillsDown() {
        ReceivablesWindow w(context());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.asOfDate()->value().toDate(), QDate(2006, 6, 25));
        QTest::mouseClick(w.runButton(), Qt::LeftButton);
        QCOMPARE(w.customerTable()->rowCount(), 3);
        QCOMPARE(w.customerTable()->item(0, 0)->text(), QString("00001 王芳"));
        QCOMPARE(w.customerTable()->item(0, 1)->text(), QString("300.00"));
        QVERIFY(!w.chart().isEmpty());
        QVERIFY(ReportSamples::textsOf(w.frame()->report()).contains("440.00"));
        QStringList statement;
        windows().thenWork<StatementWindow>([&statement](StatementWindow& s) {
            statement = ReportSamples::textsOf(s.frame()->report());
            QVERIFY(!s.fromDate()->isEnabled());
        });
        emit w.customerTable()->cellDoubleClicked(0, 0);
        // Only BJ2 is open: BJ1 and its receipt are left out.
        QVERIFY2(statement.contains("BJ2") && !statement.contains("BJ1"), qPrintable(statement.join('|')));
        // The typed customer's line opens its own statement, as it was found, not by its name retyped.
        QCOMPARE(w.customerTable()->item(2, 0)->text(), QString("散客 （未建档）"));
        windows().thenWork<StatementWindow>(
            [&statement](StatementWindow& s) { statement = ReportSamples::textsOf(s.frame()->report()); });
        emit w.customerTable()->cellDoubleClicked(2, 0);
        QVERIFY2(statement.contains("BJ4") && statement.contains("60.00"), qPrintable(statement.join('|')));
    }

    // 对账单 in the customer list: the selected customers' statements, one each; without the right, refused.
    void customerListOpensStatements() {
        PartnerListWindow list(context(), PartnerSide::customers());
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        auto* button = list.findChild<QPushButton*>("Action_Statement");
        QVERIFY(button);
        list.findChild<DataGrid*>()->view()->selectAll();
        int statements = 0;
        windows().thenWork<StatementWindow>([&statements](StatementWindow& s) { statements = s.statementCount(); });
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(statements, 2);

        signInAs("店员", "店员组", "1=0");
        prompter().clear();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(prompter().lastText(), PermissionChecker::refusalText());
        QCOMPARE(windows().shown.size(), 1);
        // The windows themselves ask too, whoever opened them.
        QVERIFY(!ReceivablesWindow(context()).run());
        QCOMPARE(prompter().lastText(), PermissionChecker::refusalText());
    }
};

QTEST_MAIN(TestReceivablesWindows)
#include "test_receivables_windows.moc"
