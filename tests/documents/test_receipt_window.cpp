#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "data/dataset.h"
#include "data/permission_checker.h"
#include "document_fixture.h"
#include "document_window_suite.h"
#include "documents/receipt_window.h"
#include "ui/editors.h"

using DocumentFixture::count;

// The receipt window, offscreen, over a stored quotation: deposit 500,
// freight 80, discount 6, goods 2 x 10.00 and (one receipt line) 1 x 5.00 +
// 3 x 7.00. The rules are ReceiptBook's, tested in test_receipts.
class TestReceiptWindow : public DocumentWindowSuite {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { stop(); }
    void showsTheQuotationItsReceiptsAndLines();
    void anAddedReceiptIsCurrentAndItsAmountCountsOnceTheRowIsLeft();
    void deletingNeedsASelectionAndLeavesANeighbourCurrent();
    void resettingTheLinesAsksFirst_data();
    void resettingTheLinesAsksFirst();
    void cellsEditWithNamesAndDates();
    void printingHandsOverTheSelectedReceipt();
    void addingNeedsTheRight();
    void anAddedLineIsWrittenOnlyOnceTyped();
    void whatIsTypedIsWrittenWhenTheWindowCloses();
    void aWriteThatFailsOnClosingIsKeptOrGivenUp();
    void aQuotationDeletedMeanwhileClosesTheWindow();

private:
    // The text of the cell of dataset row `row` under `field`.
    static QString fieldCell(DataGrid* grid, int row, const QString& field);
    // Opens the cell's editor as a double click would.
    static QWidget* openEditor(DataGrid* grid, int row, const QString& field);
    static void clickRow(DataGrid* grid, int row);
    static int currentRow(DataGrid* grid);

    QString m_quotation;
};

void TestReceiptWindow::init() {
    start();
    m_quotation = DocumentFixture::receiptSample(db(), context().clock(), prompter(), 80, 6);
    db().query("update Quotation_Head set Remark=null");  // the receipts' remarks start empty
    prompter().clear();
}

QString TestReceiptWindow::fieldCell(DataGrid* grid, int row, const QString& field) {
    return grid->model()->index(grid->model()->gridRow(row), grid->model()->columnOf(field)).data().toString();
}

QWidget* TestReceiptWindow::openEditor(DataGrid* grid, int row, const QString& field) {
    const QModelIndex index = grid->model()->index(grid->model()->gridRow(row), grid->model()->columnOf(field));
    GridView* view = grid->view();
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    return view->indexWidget(index);
}

void TestReceiptWindow::clickRow(DataGrid* grid, int row) {
    const QModelIndex index = grid->model()->index(grid->model()->gridRow(row), 0);
    QTest::mouseClick(grid->view()->viewport(), Qt::LeftButton, {}, grid->view()->visualRect(index).center());
}

int TestReceiptWindow::currentRow(DataGrid* grid) {
    return grid->model()->datasetRow(grid->view()->currentIndex().row());
}

void TestReceiptWindow::showsTheQuotationItsReceiptsAndLines() {
    ReceiptWindow w(context(), m_quotation);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), QString("收据列表"));
    QVERIFY(prompter().messages().isEmpty());

    DataGrid* receipts = w.receiptGrid();
    QCOMPARE(fieldCell(receipts, 0, "BillType"), QString("定金收据"));
    QCOMPARE(fieldCell(receipts, 0, "keyin_Date"), QString("2006-06-25"));
    QCOMPARE(fieldCell(receipts, 0, "keyin_User"), QString("超级用户"));
    QCOMPARE(receipts->footerText("BillNo"), QString("1 份收据"));
    QCOMPARE(receipts->footerText("TotalPrice"), QString("合计500 元"));
    QCOMPARE(receipts->selectedRows(), QList<int>{0});

    DataGrid* lines = w.lineGrid();
    QCOMPARE(fieldCell(lines, 1, "GoodsClassUnit"), QString("件"));
    QCOMPARE(lines->footerText("GoodsClassName"), QString("共 3 个货品"));
    QCOMPARE(lines->footerText("Total_Price"), QString("合计:126.00"));

    const QList<std::pair<const char*, const char*>> labels{{"Add_ClientName", "王先生"},  {"BillNo", "BJ0606250001"},
                                                            {"Keyin_Date", "2006-06-25"},  {"sum_Goods_Price", "46.00"},
                                                            {"preferential", "6.00"},      {"Total_Price", "120.00"},
                                                            {"sum_payed_money", "500.00"}, {"Leave_money", "-380.00"}};
    for (const auto& [field, text] : labels) {
        QVERIFY2(w.valueLabel(field), field);
        QCOMPARE(w.valueLabel(field)->text(), QString::fromUtf8(text));
    }
    // The discount shows on request.
    QVERIFY(!w.valueLabel("preferential")->isVisible());
    QPushButton* other = nullptr;
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        if (b->text() == QString("其它")) {
            other = b;
        }
    }
    QVERIFY(other);
    QTest::mouseClick(other, Qt::LeftButton);
    QVERIFY(w.valueLabel("preferential")->isVisible());
    QTest::mouseClick(other, Qt::LeftButton);
    QVERIFY(!w.valueLabel("preferential")->isVisible());
}

void TestReceiptWindow::anAddedReceiptIsCurrentAndItsAmountCountsOnceTheRowIsLeft() {
    ReceiptWindow w(context(), m_quotation);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    DataGrid* receipts = w.receiptGrid();
    QTest::mouseClick(w.button("增加收据"), Qt::LeftButton);
    QVERIFY(prompter().messages().isEmpty());
    const int added = currentRow(receipts);
    QCOMPARE(w.book().receipts().currentRow(), added);
    QCOMPARE(receipts->selectedRows(), QList<int>{added});
    // The amount is what the user types next.
    QCOMPARE(QApplication::focusWidget(), receipts->view());
    QCOMPARE(receipts->view()->currentIndex().column(), receipts->model()->columnOf("TotalPrice"));

    auto* editor = qobject_cast<QLineEdit*>(openEditor(receipts, added, "TotalPrice"));
    QVERIFY(editor);
    QTest::keyClicks(editor, "120");
    // Typed, but the row is not left yet: nothing is received.
    QCOMPARE(w.valueLabel("sum_payed_money")->text(), QString("500.00"));
    clickRow(receipts, added == 0 ? 1 : 0);
    QVERIFY(prompter().messages().isEmpty());
    QCOMPARE(db().scalar("select TotalPrice from Receipt_Head where BillNo='AA0606250002'").toInt(), 120);
    QCOMPARE(w.valueLabel("sum_payed_money")->text(), QString("620.00"));
    QCOMPARE(w.valueLabel("Leave_money")->text(), QString("-500.00"));
    QCOMPARE(receipts->footerText("TotalPrice"), QString("合计620 元"));
}

void TestReceiptWindow::deletingNeedsASelectionAndLeavesANeighbourCurrent() {
    ReceiptWindow w(context(), m_quotation);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    DataGrid* receipts = w.receiptGrid();
    receipts->view()->clearSelection();
    QTest::mouseClick(w.button("删除收据 "), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("请选择要删除的收据"));
    QTest::mouseClick(w.button("增加收据"), Qt::LeftButton);
    QTest::mouseClick(w.button("增加收据"), Qt::LeftButton);
    clickRow(receipts, 1);
    const QString next = w.book().receipts().value(2, "BillNo").toString();
    QTest::mouseClick(w.button("删除收据 "), Qt::LeftButton);
    QCOMPARE(receipts->model()->rowCount(), 2);
    // The row after the deleted one is current and the only one selected,
    // in the grid as in the data.
    const int current = w.book().receipts().currentRow();
    QCOMPARE(w.book().receipts().value(current, "BillNo").toString(), next);
    QCOMPARE(currentRow(receipts), current);
    QCOMPARE(receipts->selectedRows(), QList<int>{current});
    QCOMPARE(QApplication::focusWidget(), receipts->view());
    QCOMPARE(w.valueLabel("sum_payed_money")->text(), QString("500.00"));
}

void TestReceiptWindow::resettingTheLinesAsksFirst_data() {
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("firstName");
    QTest::newRow("no keeps the lines") << false << QString("改过的名称");
    QTest::newRow("yes builds them again") << true << QString("门锁");
}

void TestReceiptWindow::resettingTheLinesAsksFirst() {
    QFETCH(bool, answer);
    QFETCH(QString, firstName);
    ReceiptWindow w(context(), m_quotation);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    DataGrid* lines = w.lineGrid();
    auto* editor = qobject_cast<QLineEdit*>(openEditor(lines, 0, "GoodsClassName"));
    QVERIFY(editor);
    editor->selectAll();
    editor->insert("改过的名称");  // as an input method commits it
    clickRow(lines, 2);
    QCOMPARE(count(db(), "select count(*) from Receipt_Detail where GoodsClassName='改过的名称'"), 1);

    prompter().setNextAnswer(answer);
    QTest::mouseClick(w.button("重置明细"), Qt::LeftButton);
    QCOMPARE(prompter().pendingAnswers(), 0);
    QCOMPARE(lines->model()->rowCount(), 3);
    QCOMPARE(fieldCell(lines, 0, "GoodsClassName"), firstName);
    QCOMPARE(db().scalar("select GoodsClassName from Receipt_Detail order by id").toString(), firstName);
    // Rebuilt, the grid starts on the first new line; kept, it stays where
    // the user was.
    const int expected = answer ? 0 : 2;
    QCOMPARE(w.book().lines().currentRow(), expected);
    QCOMPARE(currentRow(lines), expected);
    QCOMPARE(lines->selectedRows(), QList<int>{expected});
    if (answer) {
        QCOMPARE(QApplication::focusWidget(), lines->view());
    }
}

// The kind is picked by its name and stored as its value; the date column
// edits a date alone.
void TestReceiptWindow::cellsEditWithNamesAndDates() {
    ReceiptWindow w(context(), m_quotation);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    DataGrid* receipts = w.receiptGrid();
    QTest::mouseClick(w.button("增加收据"), Qt::LeftButton);
    auto* kind = qobject_cast<LookupCombo*>(openEditor(receipts, 0, "BillType"));
    QVERIFY(kind);
    QStringList names;
    for (int i = 0; i < kind->count(); ++i) {
        names << kind->itemText(i);
    }
    QVERIFY2(names.contains("定金收据") && names.contains("收款收据"), qPrintable(names.join(',')));
    QCOMPARE(kind->currentText(), QString("定金收据"));
    kind->setCurrentIndex(kind->findText("收款收据"));
    clickRow(receipts, 1);
    QVERIFY(prompter().messages().isEmpty());
    QCOMPARE(db().scalar("select BillType from Receipt_Head where BillNo='AA0606250001'").toString(), QString("1"));
    QCOMPARE(fieldCell(receipts, 0, "BillType"), QString("收款收据"));

    auto* date = qobject_cast<NullableDateEdit*>(openEditor(receipts, 0, "keyin_Date"));
    QVERIFY(date);
    QCOMPARE(date->date(), QDate(2006, 6, 25));
    date->setDate(QDate(2006, 7, 1));
    clickRow(receipts, 1);
    QCOMPARE(db().scalar("select keyin_Date from Receipt_Head where BillNo='AA0606250001'").toDateTime().date(),
             QDate(2006, 7, 1));
    QCOMPARE(fieldCell(receipts, 0, "keyin_Date"), QString("2006-07-01"));

    // The unit of a line: picked by its name, stored by its code.
    DataGrid* lines = w.lineGrid();
    auto* unit = qobject_cast<LookupCombo*>(openEditor(lines, 0, "GoodsClassUnit"));
    QVERIFY(unit);
    QCOMPARE(unit->currentText(), QString("个"));
    unit->setCurrentIndex(unit->findText("套"));
    clickRow(lines, 1);
    QCOMPARE(db().scalar("select GoodsClassUnit from Receipt_Detail where GoodsClassName='门锁'").toString(),
             QString("UN003"));
}

void TestReceiptWindow::printingHandsOverTheSelectedReceipt() {
    {
        // By default the receipt's printout window opens over the window.
        ReceiptWindow w(context(), m_quotation);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        clickRow(w.receiptGrid(), 0);
        QString opened;
        QTimer::singleShot(0, [&opened] {
            if (QWidget* report = QApplication::activeModalWidget()) {
                opened = report->metaObject()->className();
                report->close();
            }
        });
        QTest::mouseClick(w.button("打印"), Qt::LeftButton);
        QCOMPARE(opened, QString("ReceiptReportWindow"));
        QVERIFY(prompter().messages().isEmpty());
    }
    prompter().clear();
    ReceiptWindow w(context(), m_quotation);
    QStringList printed;
    w.openPrintout = [&printed](const QString& number) { printed << number; };
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.button("增加收据"), Qt::LeftButton);
    DataGrid* receipts = w.receiptGrid();
    receipts->view()->clearSelection();
    QTest::mouseClick(w.button("打印"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("请选择一条收据"));
    QVERIFY(printed.isEmpty());
    const int deposit = w.book().receipts().value(0, "BillType").toInt() == 0 ? 0 : 1;
    clickRow(receipts, deposit);
    QTest::mouseClick(w.button("打印"), Qt::LeftButton);
    QCOMPARE(printed, QStringList{"AA0606250001"});
    clickRow(receipts, 1 - deposit);
    QTest::mouseClick(w.button("打印"), Qt::LeftButton);
    QCOMPARE(printed, (QStringList{"AA0606250001", "AA0606250002"}));
    QCOMPARE(prompter().messages().size(), 1);

    // Printed from a menu or a shortcut while the amount is still being
    // typed: the printout reads the amount from the book, so it is written
    // first.
    w.openPrintout = [this, &printed](const QString& number) {
        printed << db().scalar("select TotalPrice from Receipt_Head where BillNo=:b", {{"b", number}}).toString();
    };
    auto* amount = qobject_cast<QLineEdit*>(openEditor(receipts, 1 - deposit, "TotalPrice"));
    QVERIFY(amount);
    QTest::keyClicks(amount, "88");
    w.actions().action("Action3")->trigger();
    QCOMPARE(printed.last(), QString("88"));
    QCOMPARE(w.valueLabel("sum_payed_money")->text(), QString("588.00"));
}

// Opening needs no right (it only adds what the quotation lacks); adding a
// receipt needs the group's grant for it.
void TestReceiptWindow::addingNeedsTheRight() {
    db().query("insert into Sys_user (User_name, User_Group, type) values ('收款组', '0', 0), ('小李', '收款组', 1)");
    db().query(
        "insert into Sys_user_Operation (User_name, Action_id) select '收款组', id from Sys_Operation_Table "
        "where LOWER(Form_Name)='form_receipt' and LOWER(Action_Name)<>'action1'");
    context().CurrentUser = {"小李", "", "收款组"};
    ReceiptWindow w(context(), m_quotation);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.receiptGrid()->model()->rowCount(), 1);
    QVERIFY(prompter().messages().isEmpty());
    QTest::mouseClick(w.button("增加收据"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), PermissionChecker::refusalText());
    QCOMPARE(w.receiptGrid()->model()->rowCount(), 1);
    QCOMPARE(count(db(), "select count(*) from Receipt_Head"), 1);
    // Nor is a receipt's amount typed over; goods lines, which the group may
    // add, are.
    GridModel* receiptCells = w.receiptGrid()->model();
    QVERIFY(!(receiptCells->flags(receiptCells->index(0, receiptCells->columnOf("TotalPrice"))) & Qt::ItemIsEditable));
    GridModel* lineCells = w.lineGrid()->model();
    QVERIFY(lineCells->flags(lineCells->index(0, lineCells->columnOf("QTY"))) & Qt::ItemIsEditable);
    // The other commands of the window are granted.
    prompter().clear();
    QTest::mouseClick(w.button("添加货品"), Qt::LeftButton);
    QVERIFY(prompter().messages().isEmpty());
    QCOMPARE(w.lineGrid()->model()->rowCount(), 4);

    db().query(
        "insert into Sys_user_Operation (User_name, Action_id) select '收款组', id from Sys_Operation_Table "
        "where LOWER(Form_Name)='form_receipt' and LOWER(Action_Name)='action1'");
    QTest::mouseClick(w.button("增加收据"), Qt::LeftButton);
    QVERIFY(prompter().messages().isEmpty());
    QCOMPARE(w.receiptGrid()->model()->rowCount(), 2);
}

void TestReceiptWindow::anAddedLineIsWrittenOnlyOnceTyped() {
    ReceiptWindow w(context(), m_quotation);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto lines = [this] { return count(db(), "select count(*) from Receipt_Detail"); };
    QCOMPARE(lines(), 3);
    GridView* view = w.lineGrid()->view();
    // Escape in the name's editor takes the line away, as does leaving the
    // editor empty; Escape on a new line with no editor open too.
    QTest::mouseClick(w.button("添加货品"), Qt::LeftButton);
    QCOMPARE(w.lineGrid()->model()->rowCount(), 4);
    QVERIFY(view->isEditing());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(w.lineGrid()->model()->rowCount(), 3);
    QTest::mouseClick(w.button("添加货品"), Qt::LeftButton);
    view->commitEdit();
    QVERIFY(!view->isEditing());
    QCOMPARE(w.lineGrid()->model()->rowCount(), 4);
    QTest::keyClick(view, Qt::Key_Escape);
    QCOMPARE(w.lineGrid()->model()->rowCount(), 3);
    QCOMPARE(lines(), 3);
    QTest::mouseClick(w.button("添加货品"), Qt::LeftButton);
    auto* name = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(name);
    name->insert("门把手");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    // The editor commits on the next turn of the event loop.
    QTRY_COMPARE(count(db(), "select count(*) from Receipt_Detail where GoodsClassName='门把手'"), 1);
    QVERIFY(w.close());
    QCOMPARE(lines(), 4);
}

void TestReceiptWindow::whatIsTypedIsWrittenWhenTheWindowCloses() {
    ReceiptWindow w(context(), m_quotation);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* remark = qobject_cast<QLineEdit*>(openEditor(w.receiptGrid(), 0, "remark"));
    QVERIFY(remark);
    remark->insert("现金");
    QVERIFY(w.close());
    QVERIFY(prompter().messages().isEmpty());
    QCOMPARE(db().scalar("select remark from Receipt_Head where BillNo='AA0606250001'").toString(), QString("现金"));

    // A line's quantity typed last: written with the amount it gives.
    ReceiptWindow again(context(), m_quotation);
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QCOMPARE(again.book().receipts().value(0, "remark").toString(), QString("现金"));
    auto* qty = qobject_cast<QLineEdit*>(openEditor(again.lineGrid(), 0, "QTY"));
    QVERIFY(qty);
    qty->selectAll();
    QTest::keyClicks(qty, "5");
    QVERIFY(again.close());
    QCOMPARE(db().scalar("select Total_Price from Receipt_Detail where GoodsClassName='门锁'").toInt(), 50);
}

// The book refuses the write: the message is shown and the window stays
// with the typed text, which the next closing writes.
void TestReceiptWindow::aWriteThatFailsOnClosingIsKeptOrGivenUp() {
    ReceiptWindow w(context(), m_quotation);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    DocumentFixture::failWhen(db(), "Receipt_Head", "UPDATE", "1=1");
    auto* remark = qobject_cast<QLineEdit*>(openEditor(w.receiptGrid(), 0, "remark"));
    QVERIFY(remark);
    remark->insert("现金");
    // The failure is said and the user may stay with the edit (No) ...
    prompter().setNextAnswer(false);
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QVERIFY(prompter().lastText().contains("是否放弃这些修改并关闭窗口"));
    QCOMPARE(w.book().receipts().value(0, "remark").toString(), QString("现金"));
    // ... or give it up and close (Yes): the window always closes.
    prompter().setNextAnswer(true);
    QVERIFY(w.close());
    QCOMPARE(db().scalar("select remark from Receipt_Head where BillNo='AA0606250001'").toString(), QString());
    QCOMPARE(prompter().pendingAnswers(), 0);
}

void TestReceiptWindow::aQuotationDeletedMeanwhileClosesTheWindow() {
    db().query("delete from Quotation_Detail");
    db().query("delete from Quotation_Head");
    ReceiptWindow w(context(), m_quotation);
    w.show();
    QCOMPARE(prompter().lastText(), QString("订货单[%1]不存在，可能已被其他用户删除").arg(m_quotation));
    QTRY_VERIFY(!w.isVisible());
    QCOMPARE(count(db(), "select count(*) from Receipt_Head"), 0);
}

QTEST_MAIN(TestReceiptWindow)
#include "test_receipt_window.moc"
