#include <QLineEdit>
#include <QPlainTextEdit>
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
#include "reports/document_report_window.h"
#include "shell/query_panel_window.h"
#include "ui/editors.h"

using DocumentFixture::count;

// The order windows, offscreen: main paths and bindings (the rules are
// tested in test_order_forms and test_order_forms_generation).
class TestOrderWindows : public DocumentWindowSuite {
    Q_OBJECT
private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    // The order as the user fills it, printed (Yes to saving first), paid.
    void newOrderWithRowsIsSavedAndPrinted() {
        OrderFormWindow w(context(), OrderFormDocument::New);
        // The goods window: a name fills its defaults; 增加下个商品 takes the row
        // and starts the next, whose code may be typed.
        windows().thenWork<OrderGoodsWindow>([this](OrderGoodsWindow& goods) {
            goods.show();
            choose(goods.nameBox(), "推拉门");
            QCOMPARE(goods.findChild<QLineEdit*>("Model_Size")->text() + goods.unitBox()->currentText() +
                         goods.findChild<NumberEdit*>("Total_Price")->text(),
                     QString("1800*2100樘2600.00"));
            click(goods, "Action_AddGoods");
            QVERIFY(goods.codeEditor()->isEnabled());
            QCOMPARE(goods.codeEditor()->text(), QString("2"));
            choose(goods.nameBox(), "平开窗");
            auto* qty = goods.findChild<NumberEdit*>("QTY");
            qty->selectAll();
            QTest::keyClicks(qty, "2");
            click(goods, "Action_SaveAndExit");
            QCOMPARE(goods.result(), int(QDialog::Accepted));
        });
        QString printed;
        windows().then<DocumentReportWindow>(
            [&printed](DocumentReportWindow& report) { return printed = report.key(), 0; });
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.findChild<QLineEdit*>("Order_Form_Code")->text(), QString("AA0606250001"));
        click(w, "Action_AddGoods");
        QCOMPARE(
            cells(w.grid(), {"0:货品名称", "1:货品名称", "1:计量单位", "1:金额"}) + w.grid()->footerText("Total_Price"),
            QString("推拉门|平开窗|平方米|960.00合计:3560.00"));
        QCOMPARE(count(db(), "select count(*) from Dusmere_Order_Form_Detail"), 0);
        auto* hotel = w.findChild<QLineEdit*>("Gain_Customer_Name");
        hotel->setText("海景酒楼");
        emit hotel->textEdited(hotel->text());  // as typed
        prompter().setNextAnswer(true);
        click(w, "Action_Print");
        QCOMPARE(printed, QString("AA0606250001"));
        QCOMPARE(count(db(), "select count(*) from Dusmere_Order_Form_head where Gain_Customer_Name='海景酒楼'"), 1);
        QCOMPARE(DocumentFixture::read(db(), "select Total_Price from Dusmere_Order_Form_Detail order by ID"),
                 QString("2600; 960"));
        w.paidBox()->click();
        click(w, "Action_Save");
        QVERIFY(!w.document().isModified());
        QCOMPARE(db().scalar("select PayOver_Date from Dusmere_Order_Form_head").toDate(), QDate(2006, 6, 25));
        // A new row's window closed with No takes nothing.
        OrderGoodsWindow goods(context(), w.document(), OrderGoodsEditor::New, &w);
        goods.show();
        choose(goods.nameBox(), "推拉门");
        prompter().setNextAnswer(false);
        goods.reject();
        QVERIFY(!goods.isVisible() && !w.document().isModified());
        QCOMPARE(w.document().rows().rowCount(), 2);
    }

    void customerPickerChoosesACustomer() {
        db().query("insert into customer_group (Class_name, Parent_id) values ('酒楼', 0)");
        db().query(
            "insert into customer_provider (corp_code, Corp_name, boss_name, Boss_mobile, Customer_Group) "
            "values ('00007', '明珠酒楼', '王', '139', :g)",
            {{"g", db().scalar("select max(id) from customer_group")}});
        // The top group, whose parent -1 must not be read as customer 1.
        QCOMPARE(db().scalar("select id from customer_provider where corp_code='00007'").toInt(), 1);
        db().query(
            "insert into customer_provider (corp_code, Corp_name, Customer_Group) values ('00008', '海景酒楼', 1)");
        CustomerPickerDialog picker(context());
        picker.show();
        QTreeWidget* tree = picker.tree();
        QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QString("海景酒楼"));
        tree->setCurrentItem(tree->topLevelItem(1)->child(0));
        QVERIFY(picker.choose());
        QCOMPARE(picker.chosenCode(), QString("00007"));
    }

    void listAndFormsShowOrdersAndRunTheirCommands() {
        const QString older = storedOrder({1, 2});
        const QString newest = storedOrder({1});
        OrderFormListWindow w(context());
        QString printed;
        const auto report = [&printed](DocumentReportWindow& r) { return printed = r.key(), 0; };
        windows().then<DocumentReportWindow>(report);
        w.show();
        DataGrid* g = w.grid();
        // Newest first, the first row current.
        QCOMPARE(cells(g, {"0:贵宾号", "1:总金额", "1:收款情况"}) + g->footerText("sum_price"),
                 newest + "|960.00|未付清1440.00");
        QCOMPARE(g->selectedRows().size(), 1);
        // Printing prints the row under the cursor; generating the selection.
        g->view()->selectAll();
        clickNamed(w, "Action_print");
        QCOMPARE(printed, newest);
        QVERIFY(w.list().rows().locate("Order_Form_Code", older));
        g->selectRow(w.list().rows().currentRow());
        clickNamed(w, "Action_CreateWorkFormExecute");
        QCOMPARE(DocumentFixture::read(db(), "select Order_Form_Code from Dusmere_Work_Form_Head"),
                 older + "; " + older);
        windows().then<OrderFormWindow>(
            [&printed](OrderFormWindow& editor) { return printed = editor.document().code(), 0; });
        clickNamed(w, "Action_Edit");
        QCOMPARE(printed, older);
        // The forms' window: newest first, the rows follow the chosen form.
        const QString hotel = storedOrder({1, 2, 1}, "山城饭店");
        OrderFormGenerator generator(db(), context().clock(), prompter(), "a");
        QVERIFY(generator.createWorkForms({hotel}) && generator.createWareOutForm({hotel}));
        DerivedFormWindow forms(context(), DerivedFormList::Kind::WorkForm);
        windows().then<DocumentReportWindow>(report);
        forms.show();
        QCOMPARE(forms.formsGrid()->model()->rowCount(), 4);
        QCOMPARE(forms.rowsGrid()->model()->rowCount(), 1);  // the newest order's series 2
        forms.formsGrid()->selectRow(forms.formsGrid()->model()->datasetRow(1));
        QCOMPARE(forms.rowsGrid()->footerText("QTY"), QString("2"));
        clickNamed(forms, "Action_print");
        QCOMPARE(printed, forms.currentCode());
        DerivedFormWindow wareOut(context(), DerivedFormList::Kind::WareOutForm);
        wareOut.show();
        // One line per series.
        QCOMPARE(wareOut.goodsSummary()->toPlainText().split('\n'),
                 OrderFormGenerator::goodsSummary(db(), wareOut.currentCode()).split(';'));
        // The query panel's work-form query shows the forms that meet it.
        QueryPanelWindow panel(context(), QueryPanelWindow::WorkForms);
        int shown = -1;
        windows().then<DerivedFormWindow>(
            [&shown](DerivedFormWindow& forms) { return shown = forms.formsGrid()->model()->rowCount(), 0; });
        panel.hotelBox()->setText("山城");
        panel.runQuery();
        QCOMPARE(shown, 2);
    }

private:
    // Chooses an entry of a drop-down as the user does.
    static void choose(LookupCombo* box, const QString& text) {
        box->setCurrentIndex(box->findText(text));
        QVERIFY2(box->currentIndex() >= 0, qPrintable(text));
        emit box->activated(box->currentIndex());
    }
    // A stored order with a row of 平开窗 (480.00) with lock 1 for each series.
    QString storedOrder(const QList<int>& series, const QString& hotel = {}) {
        OrderFormDocument doc(db(), context().clock(), prompter(), "a");
        doc.load(OrderFormDocument::New);
        doc.head().setValue("Gain_Customer_Name", hotel);
        bool taken = true;
        for (int type : series) {
            OrderGoodsEditor row(doc, prompter(), OrderGoodsEditor::New);
            doc.rows().setValue("Goods_name", 1);
            doc.rows().setValue("Goods_Type", type);
            doc.rows().setValue("Lock_Size", 1);
            taken = row.save() && taken;
        }
        if (!taken || !doc.save()) {
            qFatal("the order was not saved");
        }
        return doc.code();
    }
};

QTEST_MAIN(TestOrderWindows)
#include "test_order_windows.moc"
