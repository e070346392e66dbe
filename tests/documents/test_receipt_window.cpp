#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "data/dataset.h"
#include "data/permission_checker.h"
#include "document_fixture.h"
#include "document_window_suite.h"
#include "documents/receipt_window.h"

using DocumentFixture::count;

// The receipt window, offscreen, over the receipt sample with discount 6:
// main paths and bindings (the rules are tested in test_receipts).
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

    // The quotation's amounts and both grids; an added receipt is current,
    // and its amount counts once its row is left. What is typed last is
    // written on closing; a refused write is said, and the user stays with
    // the edit (No) or gives it up (Yes).
    void showsTheQuotationTakesAReceiptAndWritesOnClosing() {
        const QString remark = "select remark from Receipt_Head where BillNo='AA0606250001'";
        {
            ReceiptWindow w(context(), m_quotation);
            w.show();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            DataGrid* receipts = w.receiptGrid();
            QCOMPARE(shown(w), QString("王先生|BJ0606250001|46.00|6.00|120.00|500.00|-380.00|定金收据|合计500 元|件|"
                                       "合计:126.00"));
            click(w, "增加收据");
            const int added = receipts->model()->datasetRow(receipts->view()->currentIndex().row());
            QCOMPARE(w.book().receipts().currentRow(), added);
            QCOMPARE(receipts->selectedRows(), QList<int>{added});
            const int deposit = added == 0 ? 1 : 0;
            type(receipts, added, "TotalPrice", "120");
            QCOMPARE(w.valueLabel("sum_payed_money")->text(), QString("500.00"));
            QTest::mouseClick(receipts->view()->viewport(), Qt::LeftButton, {},
                              receipts->view()->visualRect(at(receipts, deposit, "BillNo")).center());
            QVERIFY(prompter().messages().isEmpty());
            QCOMPARE(db().scalar("select TotalPrice from Receipt_Head where BillNo='AA0606250002'").toInt(), 120);
            QCOMPARE(shown(w), QString("王先生|BJ0606250001|46.00|6.00|120.00|620.00|-500.00|定金收据|合计620 元|件|"
                                       "合计:126.00"));
            type(receipts, deposit, "remark", "现金");
            type(w.lineGrid(), 0, "QTY", "5");
            QVERIFY(w.close());
            QVERIFY(prompter().messages().isEmpty());
        }
        QCOMPARE(DocumentFixture::read(db(), remark) + "|" +
                     DocumentFixture::read(db(), "select Total_Price from Receipt_Detail where GoodsClassName='门锁'"),
                 QString("现金|50"));
        ReceiptWindow w(context(), m_quotation);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        DocumentFixture::failWhen(db(), "Receipt_Head", "UPDATE", "1=1");
        type(w.receiptGrid(), 0, "remark", "转账");
        prompter().setNextAnswers({false, true});
        QVERIFY(!w.close());
        QVERIFY(w.isVisible() && prompter().lastText().contains("是否放弃这些修改并关闭窗口"));
        QCOMPARE(w.book().receipts().value(0, "remark").toString(), QString("转账"));
        QVERIFY(w.close());
        QCOMPARE(db().scalar(remark).toString(), QString("现金"));
        QCOMPARE(prompter().pendingAnswers(), 0);
    }

    // Without the right to add receipts their amounts cannot be typed, the
    // lines' can (the command itself refused: TestRightsWalk).
    void receiptAmountsNeedTheRightToAdd() {
        signInAs("小李", "收款组", "LOWER(Form_Name)='form_receipt' and LOWER(Action_Name)<>'action1'");
        ReceiptWindow w(context(), m_quotation);
        w.show();
        QVERIFY(!(w.receiptGrid()->model()->flags(at(w.receiptGrid(), 0, "TotalPrice")) & Qt::ItemIsEditable));
        QVERIFY(w.lineGrid()->model()->flags(at(w.lineGrid(), 0, "QTY")) & Qt::ItemIsEditable);
        // 增加收据 is its own right, Action1.
        click(w, "增加收据");
        QCOMPARE(prompter().texts(), QStringList{PermissionChecker::refusalText()});
        QCOMPARE(count(db(), "select count(*) from Receipt_Head"), 1);
        grant("收款组", "LOWER(Form_Name)='form_receipt' and LOWER(Action_Name)='action1'");
        click(w, "增加收据");
        QCOMPARE(w.receiptGrid()->model()->rowCount(), 2);
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
    // The quotation's amounts, the first receipt's kind, the receipts'
    // total, the second line's unit and the lines' total.
    static QString shown(ReceiptWindow& w) {
        QStringList out;
        for (const char* field : {"Add_ClientName", "BillNo", "sum_Goods_Price", "preferential", "Total_Price",
                                  "sum_payed_money", "Leave_money"}) {
            out << (w.valueLabel(field) ? w.valueLabel(field)->text() : QString("no ") + field);
        }
        return (out << at(w.receiptGrid(), 0, "BillType").data().toString() << w.receiptGrid()->footerText("TotalPrice")
                    << at(w.lineGrid(), 1, "GoodsClassUnit").data().toString()
                    << w.lineGrid()->footerText("Total_Price"))
            .join('|');
    }
    static QModelIndex at(DataGrid* grid, int row, const QString& field) {
        return grid->model()->index(grid->model()->gridRow(row), grid->model()->columnOf(field));
    }
    // Opens the cell's editor as a double click would and types `text` over
    // it as an input method commits it.
    static void type(DataGrid* grid, int row, const QString& field, const QString& text) {
        const QPoint point = grid->view()->visualRect(at(grid, row, field)).center();
        QTest::mouseClick(grid->view()->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(grid->view()->viewport(), Qt::LeftButton, {}, point);
        auto* editor = qobject_cast<QLineEdit*>(grid->view()->indexWidget(at(grid, row, field)));
        QVERIFY(editor);
        editor->selectAll();
        editor->insert(text);
    }

    QString m_quotation;
};

QTEST_MAIN(TestReceiptWindow)
#include "test_receipt_window.moc"
