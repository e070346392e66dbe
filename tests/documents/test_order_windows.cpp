#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "data/dataset.h"
#include "document_fixture.h"
#include "document_window_suite.h"
#include "documents/customer_picker_dialog.h"
#include "documents/derived_form_window.h"
#include "documents/order_form_generator.h"
#include "documents/order_form_list_window.h"
#include "documents/order_form_window.h"
#include "documents/order_goods_window.h"
#include "shell/query_panel_window.h"
#include "ui/editors.h"

using DocumentFixture::count;

// The order form window, the goods-row window, the order list and the
// windows of the forms made from orders, offscreen: their main paths and
// what only they refuse. The rules are OrderFormDocument's and
// OrderFormGenerator's, tested in test_order_forms and
// test_order_forms_generation.
class TestOrderWindows : public DocumentWindowSuite {
    Q_OBJECT
private slots:
    void init() { start(); }
    void cleanup() { stop(); }
    void newOrderWithRowsIsSavedAndPrinted();
    void goodsWindowFillsDefaultsAndStartsTheNextRow();
    void closingAsksAndNoRestoresRows();
    void printingAChangedOrderThatCannotBeSaved();
    void customerPickerChoosesACustomer();
    void listShowsOrdersAndRunsItsCommands();
    void derivedFormsAreShownFilteredAndPrinted();
    void lockedBookKeepsTheEditsAndTheForms();
    void goodsRowClosedWithYesNeedsTheSaveRight();

private:
    // Chooses an entry of a drop-down as the user does.
    static void choose(LookupCombo* box, const QString& text) {
        const int at = box->findText(text);
        QVERIFY2(at >= 0, qPrintable(text));
        box->setCurrentIndex(at);
        emit box->activated(at);
    }
    // A stored order with a row of 平开窗 (480.00) with lock 1 for each series.
    QString storedOrder(const QList<int>& series, const QString& hotel = {}) {
        OrderFormDocument doc(db(), context().clock(), prompter(), "a");
        doc.load(OrderFormDocument::New);
        doc.head().setValue("Gain_Customer_Name", hotel);
        for (int type : series) {
            OrderGoodsEditor row(doc, prompter(), OrderGoodsEditor::New);
            doc.rows().setValue("Goods_name", 1);
            doc.rows().setValue("Goods_Type", type);
            doc.rows().setValue("Lock_Size", 1);
            if (!row.save()) {
                qFatal("the row was not taken");
            }
        }
        if (!doc.save()) {
            qFatal("the order was not saved");
        }
        return doc.code();
    }
};

void TestOrderWindows::newOrderWithRowsIsSavedAndPrinted() {
    OrderFormWindow w(context(), OrderFormDocument::New);
    // The goods-row window as the user fills it: a name, then the quantity.
    w.editGoods = [this, &w](int mode) {
        OrderGoodsWindow goods(context(), w.document(), mode, &w);
        goods.show();
        choose(goods.nameBox(), "平开窗");
        auto* qty = goods.findChild<NumberEdit*>("QTY");
        qty->selectAll();
        QTest::keyClicks(qty, "2");
        QTest::mouseClick(goods.button("Action_SaveAndExit"), Qt::LeftButton);
        QCOMPARE(goods.result(), int(QDialog::Accepted));
    };
    QString printed;
    w.openPrintout = [&printed](const QString& code) { printed = code; };
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.findChild<QLineEdit*>("Order_Form_Code")->text(), QString("AA0606250001"));
    QTest::mouseClick(w.button("Action_AddGoods"), Qt::LeftButton);
    DataGrid* g = w.grid();
    QCOMPARE(cell(g, 0, "货品名称"), QString("平开窗"));
    QCOMPARE(cell(g, 0, "计量单位"), QString("平方米"));
    QCOMPARE(cell(g, 0, "金额"), QString("960.00"));
    QCOMPARE(g->footerText("Total_Price"), QString("合计:960.00"));
    QCOMPARE(count(db(), "select count(*) from Dusmere_Order_Form_Detail"), 0);
    auto* hotel = w.findChild<QLineEdit*>("Gain_Customer_Name");
    hotel->setText("海景酒楼");
    emit hotel->textEdited(hotel->text());  // as typed
    // Printing a changed order asks first; Yes saves, then it prints.
    prompter().setNextAnswer(true);
    QTest::mouseClick(w.button("Action_Print"), Qt::LeftButton);
    QCOMPARE(printed, QString("AA0606250001"));
    QCOMPARE(count(db(), "select count(*) from Dusmere_Order_Form_head where Gain_Customer_Name='海景酒楼'"), 1);
    QCOMPARE(count(db(), "select count(*) from Dusmere_Order_Form_Detail where Total_Price=960"), 1);
    // The paid mark takes today's date and gives it up again.
    w.paidBox()->click();
    QCOMPARE(w.document().head().value("PayOver_Date").toDate(), QDate(2006, 6, 25));
    w.paidBox()->click();
    QVERIFY(w.document().head().value("PayOver_Date").isNull());
    // Editing a row needs one chosen.
    g->view()->clearSelection();
    QTest::mouseClick(w.button("Action_GoodsEdit"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("请选择货品"));
    QCOMPARE(prompter().pendingAnswers(), 0);
}

void TestOrderWindows::goodsWindowFillsDefaultsAndStartsTheNextRow() {
    OrderFormDocument doc(db(), context().clock(), prompter(), "a");
    doc.load(OrderFormDocument::New);
    OrderGoodsWindow goods(context(), doc, OrderGoodsEditor::New);
    QCOMPARE(goods.objectName(), QString("Dusmere_Order_Form_GoodsEdit_Frm"));  // the name its rights are kept under
    goods.show();
    QVERIFY(QTest::qWaitForWindowExposed(&goods));
    QVERIFY(goods.codeEditor()->isEnabled());
    choose(goods.nameBox(), "推拉门");
    QCOMPARE(goods.findChild<QLineEdit*>("Model_Size")->text(), QString("1800*2100"));
    QCOMPARE(goods.unitBox()->currentText(), QString("樘"));
    QCOMPARE(goods.findChild<NumberEdit*>("Total_Price")->text(), QString("2600.00"));
    // The workshop's fields: the series and both glass kinds from their lists.
    choose(goods.workBox("Goods_Type"), "塑钢系列");
    choose(goods.workBox("Glass_Type"), "5mm白玻");
    choose(goods.workBox("Glass_Type2"), "中空玻璃");
    QCOMPARE(doc.rows().value("Goods_Type").toInt(), 2);
    QCOMPARE(doc.rows().value("Glass_Type").toInt(), 1);
    QCOMPARE(doc.rows().value("Glass_Type2").toInt(), 2);
    // The next row: the first is taken, the code box opens again.
    QTest::mouseClick(goods.button("Action_AddGoods"), Qt::LeftButton);
    QCOMPARE(doc.rows().rowCount(), 2);
    QVERIFY(goods.codeEditor()->isEnabled());
    QCOMPARE(goods.codeEditor()->text(), QString("2"));
    // The code-list button: the value chosen there is taken.
    goods.editCodeList = [](const QString& field) { return field == "Goods_Unit" ? QString("6") : QString(); };
    for (QPushButton* b : goods.findChildren<QPushButton*>()) {
        if (b->text() == "...") {
            QTest::mouseClick(b, Qt::LeftButton);
        }
    }
    QCOMPARE(doc.rows().value("Goods_Unit").toInt(), 6);
    // Closed with No: the new row is gone, the first stays.
    prompter().setNextAnswer(false);
    goods.reject();
    QVERIFY(!goods.isVisible());
    QCOMPARE(doc.rows().rowCount(), 1);
    QCOMPARE(prompter().pendingAnswers(), 0);
}

void TestOrderWindows::closingAsksAndNoRestoresRows() {
    const QString code = storedOrder({1, 2});
    OrderFormWindow w(context(), OrderFormDocument::Existing, code);
    w.show();
    w.grid()->view()->selectAll();
    QTest::mouseClick(w.button("Action_DeleteGoods"), Qt::LeftButton);
    QCOMPARE(w.grid()->model()->rowCount(), 0);
    // Escape on the question goes back to the order as it was left.
    prompter().setNextCancel();
    w.reject();
    QVERIFY(w.isVisible());
    QCOMPARE(w.grid()->model()->rowCount(), 0);
    prompter().setNextAnswer(false);
    w.reject();
    QVERIFY(!w.isVisible());
    QCOMPARE(w.document().rows().rowCount(), 2);
    QCOMPARE(count(db(), "select count(*) from Dusmere_Order_Form_Detail"), 2);
    // An order deleted meanwhile: the window says so and closes.
    db().query("delete from Dusmere_Order_Form_head");
    OrderFormWindow gone(context(), OrderFormDocument::Existing, code);
    QVERIFY(!gone.loaded());
    QVERIFY(prompter().lastText().contains(code));
}

void TestOrderWindows::printingAChangedOrderThatCannotBeSaved() {
    OrderFormWindow w(context(), OrderFormDocument::New);
    bool printed = false;
    w.openPrintout = [&printed](const QString&) { printed = true; };
    w.show();
    // No rows: saving fails, nothing prints.
    prompter().setNextAnswer(true);
    QTest::mouseClick(w.button("Action_Print"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("请为该收据添加货品"));
    QVERIFY(!printed);
    // No on a new order: nothing is stored or printed, and everything typed
    // stays to be saved.
    w.document().head().setValue("Link_man", "张先生");
    {
        OrderGoodsEditor row(w.document(), prompter(), OrderGoodsEditor::New);
        w.document().rows().setValue("Goods_name", 2);
        QVERIFY(row.save());
    }
    prompter().setNextAnswer(false);
    QTest::mouseClick(w.button("Action_Print"), Qt::LeftButton);
    QVERIFY(!printed);
    QCOMPARE(prompter().lastText(), QString("订单还没有保存，不能打印"));
    QCOMPARE(count(db(), "select count(*) from Dusmere_Order_Form_head"), 0);
    QCOMPARE(w.document().head().value("Link_man").toString(), QString("张先生"));
    QCOMPARE(w.grid()->model()->rowCount(), 1);
    prompter().setNextAnswer(true);
    QTest::mouseClick(w.button("Action_Print"), Qt::LeftButton);
    QVERIFY(printed);
    QCOMPARE(count(db(), "select count(*) from Dusmere_Order_Form_Detail where Head_Code='AA0606250001'"), 1);
}

void TestOrderWindows::customerPickerChoosesACustomer() {
    db().query("insert into customer_group (Class_name, Parent_id) values ('酒楼', 0)");
    db().query(
        "insert into customer_provider (corp_code, Corp_name, boss_name, Boss_mobile, Customer_Group) "
        "values ('00007', '明珠酒楼', '王', '139', :g)",
        {{"g", db().scalar("select max(id) from customer_group")}});
    // The top group, whose parent -1 must not be read as customer 1.
    QCOMPARE(db().scalar("select id from customer_provider where corp_code='00007'").toInt(), 1);
    db().query("insert into customer_provider (corp_code, Corp_name, Customer_Group) values ('00008', '海景酒楼', 1)");
    CustomerPickerDialog picker(context());
    picker.show();
    QTreeWidget* tree = picker.tree();
    QCOMPARE(tree->topLevelItemCount(), 2);
    QCOMPARE(tree->topLevelItem(0)->text(0), QString("全部客户"));
    QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
    QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QString("海景酒楼"));
    QTreeWidgetItem* groupItem = tree->topLevelItem(1);
    QCOMPARE(groupItem->text(0), QString("酒楼"));
    tree->setCurrentItem(groupItem);
    QVERIFY(!picker.choose());
    QCOMPARE(prompter().lastText(), QString("请选择客户"));
    tree->setCurrentItem(groupItem->child(0));
    QVERIFY(picker.choose());
    QCOMPARE(picker.chosenCode(), QString("00007"));

    OrderFormWindow w(context(), OrderFormDocument::New);
    w.pickCustomer = [] { return QString("00007"); };
    w.show();
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        if (b->toolTip() == QStringLiteral("选择客户")) {
            QTest::mouseClick(b, Qt::LeftButton);
        }
    }
    QCOMPARE(w.customerBox()->text(), QString("明珠酒楼(王)"));
    QCOMPARE(w.findChild<QLineEdit*>("telephon")->text(), QString("139"));
}

void TestOrderWindows::listShowsOrdersAndRunsItsCommands() {
    const QString older = storedOrder({1, 2});
    // An order without rows cannot be saved by the window; the book may
    // hold one all the same.
    {
        OrderFormDocument empty(db(), context().clock(), prompter(), "a");
        empty.load(OrderFormDocument::New);
        empty.head().post();
        empty.head().applyUpdates();
    }
    const QString newest = storedOrder({1});
    db().query("update Dusmere_Order_Form_head set Keyin_Date=:d where Order_Form_Code=:c",
               {{"d", QDateTime(QDate(2006, 6, 20), QTime(15, 30))}, {"c", older}});
    OrderFormListWindow w(context());
    QStringList opened;
    w.runEditor = [&opened](int mode, const QString& code) { opened << QString("%1:%2").arg(mode).arg(code); };
    QString printed;
    w.openPrintout = [&printed](const QString& code) { printed = code; };
    w.show();
    DataGrid* g = w.grid();
    // Newest first, the first row current; an order without rows shows no total.
    QCOMPARE(cell(g, 0, "贵宾号"), newest);
    QCOMPARE(g->selectedRows().size(), 1);
    QCOMPARE(cell(g, 1, "总金额"), QString());
    QCOMPARE(cell(g, 2, "总金额"), QString("960.00"));
    QCOMPARE(cell(g, 2, "收款情况"), QString("未付清"));
    QCOMPARE(g->footerText("Order_Form_Code"), QString("共 3 份收据"));
    QCOMPARE(g->footerText("sum_price"), QString("1440.00"));
    auto click = [&w](const char* action) {
        QTest::mouseClick(w.findChild<QPushButton*>(QString::fromLatin1(action)), Qt::LeftButton);
    };
    // Editing takes exactly one order; printing several prints the one
    // under the cursor; generating takes the selection.
    g->view()->selectAll();
    click("Action_Edit");
    QCOMPARE(prompter().lastText(), QString("一次只能编辑一份收据"));
    click("Action_print");
    QCOMPARE(printed, w.list().rows().value(w.list().rows().currentRow(), "Order_Form_Code").toString());
    click("Action_CreateWareOutFormExecute");
    QCOMPARE(prompter().lastText(), QString("生成出仓单时，只能选择一份订货单"));
    QVERIFY(w.list().rows().locate("Order_Form_Code", older));
    g->selectRow(w.list().rows().currentRow());
    click("Action_CreateWorkFormExecute");
    QCOMPARE(count(db(), "select count(*) from Dusmere_Work_Form_Head where Order_Form_Code=:c", {{"c", older}}), 2);
    // The same commands are the grid's context menu.
    QCOMPARE(w.operateMenu()->actions().size(), 3);
    w.operateMenu()->actions().at(2)->trigger();
    QCOMPARE(count(db(), "select count(*) from Dusmere_Shipment_Form_Detail where head_code=:c", {{"c", older}}), 2);
    click("Action_Edit");
    QCOMPARE(opened, QStringList{QString("3:%1").arg(older)});
    // The order date filter keeps the whole To day.
    w.fromDate()->setValue(QDate(2006, 6, 20).startOfDay());
    w.toDate()->setValue(QDate(2006, 6, 20).startOfDay());
    w.filterByOrderDate();
    QCOMPARE(g->model()->rowCount(), 1);
    // "显示附加信息" shows the discount column.
    const int discount = g->model()->columnOf("preferential");
    QVERIFY(g->view()->isColumnHidden(discount));
    QTest::mouseClick(w.extraButton(), Qt::LeftButton);
    QVERIFY(!g->view()->isColumnHidden(discount));
    // Deleting takes the order with its rows and forms.
    prompter().setNextAnswer(true);
    g->selectRow(w.list().rows().currentRow());
    click("Action1_delete");
    QCOMPARE(count(db(), "select count(*) from Dusmere_Order_Form_head"), 2);
    QCOMPARE(count(db(), "select count(*) from Dusmere_Work_Form_Head"), 0);
    QCOMPARE(prompter().pendingAnswers(), 0);
}

void TestOrderWindows::derivedFormsAreShownFilteredAndPrinted() {
    QStringList codes;
    for (const char* hotel : {"海景酒楼", "山城饭店"}) {
        codes << storedOrder({1, 2, 1}, QString::fromUtf8(hotel));
        OrderFormGenerator generator(db(), context().clock(), prompter(), "a");
        QVERIFY(generator.createWorkForms({codes.last()}));
        QVERIFY(generator.createWareOutForm({codes.last()}));
    }
    {
        DerivedFormWindow w(context(), DerivedFormList::Kind::WorkForm);
        QString printed;
        w.openPrintout = [&printed](const QString& code) { printed = code; };
        w.show();
        QCOMPARE(w.formsGrid()->model()->rowCount(), 4);
        // Newest first; the rows below follow the chosen form.
        QCOMPARE(w.currentCode(), cell(w.formsGrid(), 0, "工作单号"));
        QCOMPARE(w.rowsGrid()->model()->rowCount(), 1);  // the second order's series 2
        w.formsGrid()->selectRow(w.formsGrid()->model()->datasetRow(1));
        QCOMPARE(w.rowsGrid()->model()->rowCount(), 2);
        QCOMPARE(w.rowsGrid()->footerText("QTY"), QString("2"));
        QTest::mouseClick(w.findChild<QPushButton*>("Action_print"), Qt::LeftButton);
        QCOMPARE(printed, w.currentCode());
        // Only the forms of one order.
        w.showOrder(codes[0]);
        QCOMPARE(w.formsGrid()->model()->rowCount(), 2);
        w.showOrder("none");
        QCOMPARE(w.rowsGrid()->model()->rowCount(), 0);
        QTest::mouseClick(w.findChild<QPushButton*>("Action_print"), Qt::LeftButton);
        QCOMPARE(prompter().lastText(), QString("请选择一份工作单"));
    }
    {
        DerivedFormWindow w(context(), DerivedFormList::Kind::WareOutForm);
        w.show();
        QCOMPARE(w.formsGrid()->model()->rowCount(), 2);
        QCOMPARE(w.goodsSummary()->toPlainText(),
                 OrderFormGenerator::goodsSummary(db(), w.currentCode()).split(';').join('\n'));
        QCOMPARE(w.goodsSummary()->toPlainText().count('\n'), 1);  // one line per series
    }
    // The query panel's work-form query shows the forms that meet it.
    QueryPanelWindow panel(context(), QueryPanelWindow::WorkForms);
    int shown = -1;
    panel.showForms = [&shown](DerivedFormWindow& forms) { shown = forms.formsGrid()->model()->rowCount(); };
    panel.hotelBox()->setText("山城");
    panel.runQuery();
    QCOMPARE(shown, 2);
    // The order list opens the forms of its current order.
    OrderFormListWindow list(context());
    QString asked;
    list.openForms = [&asked](DocumentPrintouts::Kind kind, const QString& code) {
        asked = QString("%1:%2").arg(int(kind)).arg(code);
    };
    list.show();
    list.findChild<QPushButton*>("showForms")->menu()->actions().at(1)->trigger();
    QCOMPARE(asked, QString("%1:%2").arg(int(DocumentPrintouts::Kind::WareOutForm)).arg(codes[1]));
}

void TestOrderWindows::lockedBookKeepsTheEditsAndTheForms() {
    const QString code = storedOrder({1});
    m_program->shortenBusyTimeout();
    OrderFormWindow w(context(), OrderFormDocument::Existing, code);
    w.show();
    w.document().head().setValue("telephon", "8888");
    {
        auto holder = m_program->lockMainBook();
        prompter().clear();
        QTest::mouseClick(w.button("Action_Save"), Qt::LeftButton);
        QCOMPARE(prompter().messages().size(), 1);
        QCOMPARE(prompter().messages().first().kind, Prompter::Kind::Error);
        QVERIFY(w.document().isModified());
        // A generation meanwhile fails whole, with a message.
        OrderFormListWindow list(context());
        list.show();
        prompter().clear();
        QTest::mouseClick(list.findChild<QPushButton*>("Action_CreateShipmentFormExecute"), Qt::LeftButton);
        QCOMPARE(prompter().messages().size(), 1);
        QCOMPARE(prompter().messages().first().kind, Prompter::Kind::Error);
    }
    QCOMPARE(count(db(), "select count(*) from Dusmere_Shipment_Form_Head"), 0);
    QTest::mouseClick(w.button("Action_Save"), Qt::LeftButton);
    QVERIFY(!w.document().isModified());
    QCOMPARE(db().scalar("select telephon from Dusmere_Order_Form_head").toString(), QString("8888"));
}

// Closing the goods-row window with Yes saves the row, which needs the
// right: refused, the row is not taken and the window stays open.
void TestOrderWindows::goodsRowClosedWithYesNeedsTheSaveRight() {
    signInAs("店员", "店员组", "1=0");
    OrderFormDocument doc(db(), context().clock(), prompter(), "店员");
    doc.load(OrderFormDocument::New);
    OrderGoodsWindow goods(context(), doc, OrderGoodsEditor::New);
    goods.show();
    choose(goods.nameBox(), "推拉门");
    prompter().setNextAnswer(true);
    goods.reject();
    QVERIFY(goods.isVisible());
    QCOMPARE(prompter().messages().last().kind, Prompter::Kind::Error);
    QCOMPARE(goods.editor().mode(), int(OrderGoodsEditor::New));
    prompter().setNextAnswer(false);
    goods.reject();
    QVERIFY(!goods.isVisible());
    QCOMPARE(doc.rows().rowCount(), 0);
}

QTEST_MAIN(TestOrderWindows)
#include "test_order_windows.moc"
