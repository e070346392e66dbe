#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "data/dataset.h"
#include "data/permission_checker.h"
#include "document_fixture.h"
#include "document_window_suite.h"
#include "documents/receipt_window.h"

using DocumentFixture::count;

// The receipt window, offscreen, over a stored quotation: deposit 500,
// freight 80, discount 6, goods 2 x 10.00 and (one receipt line) 1 x 5.00 +
// 3 x 7.00: its main paths and what only it shows. The rules are
// ReceiptBook's, tested in test_receipts.
class TestReceiptWindow : public DocumentWindowSuite {
    Q_OBJECT
private slots:
    void init() {
        start();
        m_quotation = DocumentFixture::receiptSample(db(), context().clock(), prompter(), 80, 6);
        db().query("update Quotation_Head set Remark=null");  // the receipts' remarks start empty
        prompter().clear();
    }
    void cleanup() { stop(); }

    void showsTheQuotationAndTakesAReceipt() {
        ReceiptWindow w(context(), m_quotation);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(prompter().messages().isEmpty());
        DataGrid* receipts = w.receiptGrid();
        QCOMPARE(fieldCell(receipts, 0, "BillType") + receipts->footerText("TotalPrice") +
                     fieldCell(w.lineGrid(), 1, "GoodsClassUnit") + w.lineGrid()->footerText("Total_Price"),
                 QString("定金收据合计500 元件合计:126.00"));
        const QList<std::pair<const char*, const char*>> labels{
            {"Add_ClientName", "王先生"}, {"BillNo", "BJ0606250001"}, {"sum_Goods_Price", "46.00"},
            {"preferential", "6.00"},     {"Total_Price", "120.00"},  {"sum_payed_money", "500.00"},
            {"Leave_money", "-380.00"}};
        for (const auto& [field, text] : labels) {
            QVERIFY2(w.valueLabel(field), field);
            QCOMPARE(w.valueLabel(field)->text(), QString::fromUtf8(text));
        }
        // An added receipt is current; its amount counts once its row is left.
        click(w, "增加收据");
        const int added = currentRow(receipts);
        QCOMPARE(w.book().receipts().currentRow(), added);
        QCOMPARE(receipts->selectedRows(), QList<int>{added});
        auto* editor = qobject_cast<QLineEdit*>(openEditor(receipts, added, "TotalPrice"));
        QVERIFY(editor);
        QTest::keyClicks(editor, "120");
        QCOMPARE(w.valueLabel("sum_payed_money")->text(), QString("500.00"));
        clickRow(receipts, added == 0 ? 1 : 0);
        QVERIFY(prompter().messages().isEmpty());
        QCOMPARE(db().scalar("select TotalPrice from Receipt_Head where BillNo='AA0606250002'").toInt(), 120);
        QCOMPARE(w.valueLabel("sum_payed_money")->text() + w.valueLabel("Leave_money")->text() +
                     receipts->footerText("TotalPrice"),
                 QString("620.00-500.00合计620 元"));
    }

    // Opening needs no right (it only adds what the quotation lacks); adding a
    // receipt, or typing over its amount, needs the group's grant for it.
    void addingNeedsTheRight() {
        signInAs("小李", "收款组", "LOWER(Form_Name)='form_receipt' and LOWER(Action_Name)<>'action1'");
        ReceiptWindow w(context(), m_quotation);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(prompter().messages().isEmpty());
        click(w, "增加收据");
        QCOMPARE(prompter().lastText(), PermissionChecker::refusalText());
        QCOMPARE(count(db(), "select count(*) from Receipt_Head"), 1);
        const QModelIndex amount = at(w.receiptGrid(), 0, "TotalPrice");
        QVERIFY(!(w.receiptGrid()->model()->flags(amount) & Qt::ItemIsEditable));
        QVERIFY(w.lineGrid()->model()->flags(at(w.lineGrid(), 0, "QTY")) & Qt::ItemIsEditable);
        grant("收款组", "LOWER(Form_Name)='form_receipt' and LOWER(Action_Name)='action1'");
        prompter().clear();
        click(w, "增加收据");
        QVERIFY(prompter().messages().isEmpty());
        QCOMPARE(w.receiptGrid()->model()->rowCount(), 2);
    }

    // Typed last, a remark and a quantity are written when the window closes;
    // a write the book refuses is said, and the user stays with the edit (No)
    // or gives it up and closes (Yes).
    void whatIsTypedIsWrittenOrKeptWhenTheWindowCloses() {
        {
            ReceiptWindow w(context(), m_quotation);
            w.show();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            typeInto(w.receiptGrid(), 0, "remark", "现金");
            typeInto(w.lineGrid(), 0, "QTY", "5");
            QVERIFY(w.close());
            QVERIFY(prompter().messages().isEmpty());
        }
        QCOMPARE(db().scalar("select remark from Receipt_Head where BillNo='AA0606250001'").toString(),
                 QString("现金"));
        QCOMPARE(db().scalar("select Total_Price from Receipt_Detail where GoodsClassName='门锁'").toInt(), 50);
        ReceiptWindow w(context(), m_quotation);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        DocumentFixture::failWhen(db(), "Receipt_Head", "UPDATE", "1=1");
        typeInto(w.receiptGrid(), 0, "remark", "转账");
        prompter().setNextAnswer(false);
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QVERIFY(prompter().lastText().contains("是否放弃这些修改并关闭窗口"));
        QCOMPARE(w.book().receipts().value(0, "remark").toString(), QString("转账"));
        prompter().setNextAnswer(true);
        QVERIFY(w.close());
        QCOMPARE(db().scalar("select remark from Receipt_Head where BillNo='AA0606250001'").toString(),
                 QString("现金"));
        QCOMPARE(prompter().pendingAnswers(), 0);
    }

    void aQuotationDeletedMeanwhileClosesTheWindow() {
        db().query("delete from Quotation_Detail");
        db().query("delete from Quotation_Head");
        ReceiptWindow w(context(), m_quotation);
        w.show();
        QCOMPARE(prompter().lastText(), QString("订货单[%1]不存在，可能已被其他用户删除").arg(m_quotation));
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(count(db(), "select count(*) from Receipt_Head"), 0);
    }

private:
    static QModelIndex at(DataGrid* grid, int row, const QString& field) {
        return grid->model()->index(grid->model()->gridRow(row), grid->model()->columnOf(field));
    }
    static QString fieldCell(DataGrid* grid, int row, const QString& field) {
        return at(grid, row, field).data().toString();
    }
    // Opens the cell's editor as a double click would.
    static QWidget* openEditor(DataGrid* grid, int row, const QString& field) {
        const QPoint point = grid->view()->visualRect(at(grid, row, field)).center();
        QTest::mouseClick(grid->view()->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(grid->view()->viewport(), Qt::LeftButton, {}, point);
        return grid->view()->indexWidget(at(grid, row, field));
    }
    static void clickRow(DataGrid* grid, int row) {
        QTest::mouseClick(grid->view()->viewport(), Qt::LeftButton, {},
                          grid->view()->visualRect(grid->model()->index(grid->model()->gridRow(row), 0)).center());
    }
    static int currentRow(DataGrid* grid) { return grid->model()->datasetRow(grid->view()->currentIndex().row()); }
    void typeInto(DataGrid* grid, int row, const QString& field, const QString& text) {
        auto* editor = qobject_cast<QLineEdit*>(openEditor(grid, row, field));
        QVERIFY(editor);
        editor->selectAll();
        editor->insert(text);  // as an input method commits it
    }

    QString m_quotation;
};

QTEST_MAIN(TestReceiptWindow)
#include "test_receipt_window.moc"
