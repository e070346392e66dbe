#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "data/dataset.h"
#include "document_fixture.h"
#include "document_window_suite.h"
#include "documents/price_history_dialog.h"
#include "documents/quotation_edit_window.h"
#include "documents/quotation_list_window.h"
#include "shell/query_panel_window.h"
#include "ui/editors.h"

using DocumentFixture::count;
using Print = DocumentWindows::QuotationPrint;

// The quotation editor, the list and the query panel, offscreen: their
// main paths and what only they refuse. The rules are QuotationDocument's
// and QuotationList's, tested in test_quotations and test_quotation_totals.
class TestQuotationWindows : public DocumentWindowSuite {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { stop(); }
    void editorAddsGoodsSavesAndComputes();
    void textThatIsNoNumberIsRefusedAsTyped();
    void editorClosesOnlyWhenChangesAreSettled();
    void editorLineCommands();
    void receiptsAndPrintingNeedAStoredQuotation();
    void lockedBookKeepsTheEdits();
    void listShowsAmountsAndKeepsItsRow();
    void listDeleteInForceAndRefusals();
    void queryPanelFiltersTheList();
    void costsAndProfitsOnlyWithTheRight();
    void lastPricesAndHistoryInTheEditor();

private:
    QString stored(const QStringList& codes, const QString& hotel = {}) {
        return DocumentFixture::storedQuotation(db(), context().clock(), prompter(), codes, hotel);
    }
    static void setCell(DataGrid* grid, int gridRow, const QString& field, const QVariant& value) {
        GridModel* m = grid->model();
        const QModelIndex at = m->index(gridRow, m->columnOf(field));
        QVERIFY(m->flags(at) & Qt::ItemIsEditable);
        QVERIFY(m->setData(at, value, Qt::EditRole));
    }
};

void TestQuotationWindows::init() {
    start();
    DocumentFixture::addGoods(db(), "A", "门锁", "大", "UN001", 2, 10.0, 20.0, 6.0);
    DocumentFixture::addGoods(db(), "B", "合页", "4寸", "UN002", 1, 5.0, 5.0, 2.0);
    DocumentFixture::addGoods(db(), "C", "拉手", "小", "UN003", 3, 7.0, 21.0, 4.0);
}

void TestQuotationWindows::editorAddsGoodsSavesAndComputes() {
    QuotationEditWindow w(context(), QuotationDocument::New);
    QCOMPARE(w.objectName(), QString("Form_Quotation_Edit"));  // the name its rights are kept under
    w.pickGoods = [] { return QStringList{"A", "B"}; };
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.button("Action_AddGoods"), Qt::LeftButton);
    // Adding goods saves the quotation at once.
    const QString no = w.document().billNo();
    QCOMPARE(count(db(), "select count(*) from Quotation_Detail where HeadNo=:h", {{"h", no}}), 2);
    DataGrid* g = w.grid();
    QCOMPARE(cell(g, 0, "货品名称"), QString("门锁"));
    QCOMPARE(cell(g, 1, "计量单位"), QString("件"));
    QCOMPARE(g->footerText("GoodsNo"), QString("共 2 个货品"));
    QCOMPARE(g->footerText("Total_Price"), QString("合计:25.00"));
    // The goods columns cannot be typed into; the amounts follow quantity.
    QVERIFY(!(g->model()->flags(g->model()->index(0, 1)) & Qt::ItemIsEditable));
    setCell(g, 1, "QTY", 4);
    QCOMPARE(cell(g, 1, "总金额"), QString("20.00"));
    QCOMPARE(g->footerText("Total_Price"), QString("合计:40.00"));
    QTest::mouseClick(w.button("Action_Save"), Qt::LeftButton);
    QVERIFY(!w.document().isModified());
    QCOMPARE(db().scalar("select Gain_Money from Quotation_Detail where GoodsNo='B'").toDouble(), 12.0);
    // "附加信息" shows the purchase price and profit; "其他" the discount.
    const int gain = g->model()->columnOf("Gain_Money");
    QVERIFY(g->view()->isColumnHidden(gain));
    w.extraColumns()->setChecked(true);
    QVERIFY(!g->view()->isColumnHidden(gain));
    QVERIFY(!w.discountEditor()->isVisible());
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        if (b->text() == QStringLiteral("其他")) {
            QTest::mouseClick(b, Qt::LeftButton);
        }
    }
    QVERIFY(w.discountEditor()->isVisible());
    // Goods added later are the row selected.
    w.pickGoods = [] { return QStringList{"C"}; };
    QTest::mouseClick(w.button("Action_AddGoods"), Qt::LeftButton);
    QCOMPARE(cell(g, 2, "货品名称"), QString("拉手"));
    QCOMPARE(g->selectedRows(), QList<int>{2});
}

// A head box or a cell typed wrong is refused with the text as typed, and
// nothing else is made of it.
void TestQuotationWindows::textThatIsNoNumberIsRefusedAsTyped() {
    QuotationEditWindow w(context(), QuotationDocument::New);
    w.pickGoods = [] { return QStringList{"A"}; };
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* freight = w.findChildren<NumberEdit*>().value(0);
    QVERIFY(freight);
    QTest::keyClicks(freight, "12.5x");
    // The save refused, the goods added still show.
    QTest::mouseClick(w.button("Action_AddGoods"), Qt::LeftButton);
    QVERIFY2(prompter().lastText().startsWith("[运费]") && prompter().lastText().contains("12.5x"),
             qPrintable(prompter().lastText()));
    QCOMPARE(count(db(), "select count(*) from Quotation_Detail"), 0);
    QCOMPARE(cell(w.grid(), 0, "货品名称"), QString("门锁"));
    GridModel* m = w.grid()->model();
    const QModelIndex price = m->index(0, m->columnOf("Price"));
    w.grid()->view()->setCurrentIndex(price);
    w.grid()->view()->edit(price);
    auto* editor = qobject_cast<NumberEdit*>(w.grid()->view()->indexWidget(price));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "9x5");
    QCOMPARE(editor->text(), QString("9x5"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!w.grid()->view()->isEditing());
    QCOMPARE(prompter().lastText(), QString("[单价]必须是数字，不能是\"9x5\""));
    QCOMPARE(w.document().lines().value(0, "Price").toDouble(), 10.0);
}

void TestQuotationWindows::editorClosesOnlyWhenChangesAreSettled() {
    const QString no = stored({"A"});
    {
        QuotationEditWindow w(context(), QuotationDocument::Existing, no);
        w.show();
        w.document().head().setValue("Send_Date", QVariant());
        prompter().setNextAnswer(true);  // save: refused, the window stays
        w.reject();
        QVERIFY(w.isVisible());
        QCOMPARE(prompter().lastText(), QString("请填写[交货日期]"));
        prompter().setNextAnswer(false);  // discard: it closes
        w.reject();
        QVERIFY(!w.isVisible());
        QVERIFY(!db().scalar("select Send_Date from Quotation_Head").isNull());
    }
    // A quotation deleted meanwhile: the editor says so and closes.
    db().query("delete from Quotation_Head");
    QuotationEditWindow w(context(), QuotationDocument::Existing, no);
    QVERIFY(!w.loaded());
    QVERIFY(prompter().lastText().contains(no));
    QCOMPARE(prompter().pendingAnswers(), 0);
}

void TestQuotationWindows::editorLineCommands() {
    QuotationEditWindow w(context(), QuotationDocument::Existing, stored({"A", "B", "C"}));
    QString shownFile, shownTitle;
    w.showPicture = [&](const QString& file, const QString& title, const QString&) {
        shownFile = file;
        shownTitle = title;
    };
    w.show();
    DataGrid* g = w.grid();
    g->view()->clearSelection();
    QTest::mouseClick(w.button("Action3"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("请选择一个商品"));
    // The grid shows the new order with the moved line still selected.
    g->selectRow(1);
    QTest::mouseClick(w.button("Action6"), Qt::LeftButton);
    QCOMPARE(cell(g, 0, "货品编号"), QString("B"));
    QCOMPARE(cell(g, 1, "货品编号"), QString("A"));
    QCOMPARE(g->selectedRows(), QList<int>{1});
    g->selectRow(0);
    QTest::mouseClick(w.button("Action7"), Qt::LeftButton);
    QCOMPARE(cell(g, 2, "货品编号"), QString("A"));
    QCOMPARE(g->selectedRows(), QList<int>{0});
    g->selectRow(1);
    QTest::mouseClick(w.button("Action3"), Qt::LeftButton);
    QVERIFY(shownTitle.contains("编码:B"));
    QVERIFY(shownTitle.contains("厂家商品编码:F-B"));
    QVERIFY(shownFile.endsWith("B.jpg"));
    g->selectRow(0);
    QTest::mouseClick(w.button("Action_DeleteGoods"), Qt::LeftButton);
    QCOMPARE(g->model()->rowCount(), 2);
    QCOMPARE(count(db(), "select count(*) from Quotation_Detail"), 3);  // until saved
    QTest::mouseClick(w.button("Action_Save"), Qt::LeftButton);
    QCOMPARE(db().scalar("select GoodsNo from Quotation_Detail order by SortNo").toString(), QString("B"));
}

void TestQuotationWindows::receiptsAndPrintingNeedAStoredQuotation() {
    QuotationEditWindow w(context(), QuotationDocument::New);
    QStringList opened;
    w.openReceipts = [&](const QString& no) { opened << "receipts " + no; };
    w.openPrintout = [&](Print kind, const QString& no) { opened << QString("print %1 %2").arg(int(kind)).arg(no); };
    w.pickGoods = [] { return QStringList{"A"}; };
    w.show();
    w.document().head().setValue("Rummery", "海景");
    QTest::mouseClick(w.button("Action1"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("订货单还没有保存，请先保存订货单再开收据"));
    w.actions().execute("Action5");
    QCOMPARE(prompter().lastText(), QString("订货单还没有保存，不能打印"));
    QVERIFY(opened.isEmpty());
    // Refused without asking whether to save: nothing typed is lost.
    for (const auto& m : prompter().messages()) {
        QVERIFY(m.kind != Prompter::Kind::YesNo && m.kind != Prompter::Kind::Confirm);
    }
    QCOMPARE(w.document().head().value("Rummery").toString(), QString("海景"));
    QVERIFY(w.document().isModified());
    QTest::mouseClick(w.button("Action_AddGoods"), Qt::LeftButton);
    const QString no = w.document().billNo();
    QTest::mouseClick(w.button("Action1"), Qt::LeftButton);
    w.actions().execute("Action5");
    QTest::mouseClick(w.button("Action4"), Qt::LeftButton);
    QCOMPARE(opened, (QStringList{"receipts " + no, "print 1 " + no, "print 2 " + no}));
}

void TestQuotationWindows::lockedBookKeepsTheEdits() {
    const QString no = stored({"A", "B"});
    m_program->shortenBusyTimeout();
    QuotationEditWindow w(context(), QuotationDocument::Existing, no);
    w.show();
    setCell(w.grid(), 0, "QTY", 5);
    w.document().head().setValue("Rummery", "新名字");
    {
        auto holder = m_program->lockMainBook();
        prompter().clear();
        QTest::mouseClick(w.button("Action_Save"), Qt::LeftButton);
        QCOMPARE(prompter().messages().size(), 1);
        QCOMPARE(prompter().messages().first().kind, Prompter::Kind::Error);
        QCOMPARE(cell(w.grid(), 0, "总金额"), QString("50.00"));
        // Closing asks; saving fails again and the window stays with the edits.
        prompter().setNextAnswer(true);
        w.reject();
        QVERIFY(w.isVisible());
    }
    QTest::mouseClick(w.button("Action_Save"), Qt::LeftButton);
    QVERIFY(!w.document().isModified());
    QCOMPARE(db().scalar("select Rummery from Quotation_Head").toString(), QString("新名字"));
    QCOMPARE(db().scalar("select Total_Price from Quotation_Detail where GoodsNo='A'").toDouble(), 50.0);
}

void TestQuotationWindows::listShowsAmountsAndKeepsItsRow() {
    const QString first = stored({"A"}, "海景");
    const QString second = stored({"A", "B"}, "山城");
    const QString third = stored({"C"}, "江边");
    db().query("insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType) values (:q, 'AA1', 15, 0)",
               {{"q", second}});
    QuotationListWindow w(context());
    int edits = 0;
    w.runEditor = [&](int mode, const QString& no) {
        ++edits;
        if (mode == QuotationDocument::Existing) {
            db().query("update Quotation_Head set Remark='改' where BillNo=:b", {{"b", no}});
        } else {
            stored({"B"}, "新");
        }
    };
    w.show();
    DataGrid* g = w.grid();
    QCOMPARE(g->footerText("BillNo"), QString("共 3 份单据"));
    // Newest first, and the newest current.
    QCOMPARE(cell(g, 0, "贵宾号"), third);
    QCOMPARE(w.currentBillNo(), third);
    QCOMPARE(cell(g, 1, "已收款"), QString("15.00"));
    QCOMPARE(cell(g, 1, "未收款"), QString("10.00"));
    QCOMPARE(cell(g, 1, "单据状态"), QString("生效"));
    // Editing the middle row comes back to it.
    g->selectRow(w.list().rows().currentRow() - 1);
    w.actions().execute("Action_Edit");
    QCOMPARE(edits, 1);
    QCOMPARE(w.currentBillNo(), second);
    QCOMPARE(cell(g, 1, "备注"), QString("改"));
    // Adding makes the new quotation current.
    w.actions().execute("Action_Add");
    QCOMPARE(cell(g, 0, "酒店名称"), QString("新"));
    QCOMPARE(g->selectedRows(), QList<int>{w.list().rows().rowCount() - 1});
    // The date filter on the loaded rows, both days included; 查询 reads
    // the book again, so a quotation saved elsewhere shows.
    db().query("update Quotation_Head set Keyin_Date='2006-06-20 00:00:00' where BillNo=:b", {{"b", first}});
    w.fromDate()->setValue(QDate(2006, 6, 20).startOfDay());
    w.toDate()->setValue(QDate(2006, 6, 20).startOfDay());
    w.filterByEntryDate();
    QCOMPARE(g->model()->rowCount(), 1);
    QCOMPARE(cell(g, 0, "贵宾号"), first);
    const QString elsewhere = stored({"A"}, "别处");
    db().query("update Quotation_Head set Keyin_Date='2006-06-20 00:00:00' where BillNo=:b", {{"b", elsewhere}});
    w.filterByEntryDate();
    QCOMPARE(g->model()->rowCount(), 2);
    w.fromDate()->setValue(QDate(2006, 6, 21).startOfDay());
    w.filterByEntryDate();
    QCOMPARE(prompter().lastText(), QString("开始日期不能晚于结束日期"));
    QCOMPARE(g->model()->rowCount(), 2);
    // An impossible date typed is refused, not taken for the one shown.
    w.fromDate()->setFocus();
    w.fromDate()->selectAll();
    QTest::keyClicks(w.fromDate(), "2006-02-30");
    w.filterByEntryDate();
    QCOMPARE(prompter().lastText(), QString("[开始日期]：2006-02-30 这个日期不存在。请改正后再查询。"));
    // "显示附加信息" shows the discount and profit columns and says so.
    const int gain = g->model()->columnOf("total_Gain_Money");
    QVERIFY(g->view()->isColumnHidden(gain));
    QTest::mouseClick(w.extraButton(), Qt::LeftButton);
    QVERIFY(!g->view()->isColumnHidden(gain));
    QCOMPARE(w.extraButton()->text(), QString("隐藏附加信息"));
}

void TestQuotationWindows::listDeleteInForceAndRefusals() {
    {
        QuotationListWindow empty(context());
        empty.show();
        for (const char* action : {"Action1", "Action_print", "Action3"}) {
            prompter().clear();
            empty.actions().execute(action);
            QCOMPARE(prompter().lastText(), QString("请选择订货单"));
        }
        empty.actions().execute("Action_Edit");
        QCOMPARE(prompter().lastText(), QString("请选择一条记录"));
    }
    const QString a = stored({"A"});
    const QString b = stored({"B"});
    stored({"C"});
    QuotationListWindow w(context());
    QStringList receipts;
    w.openReceipts = [&](const QString& no) { receipts << no; };
    w.show();
    DataGrid* g = w.grid();
    g->selectRow(w.list().rows().currentRow() - 1);  // b, in the middle
    w.actions().execute("Action6");
    QCOMPARE(count(db(), "select count(*) from Quotation_Head where state=0"), 1);
    QCOMPARE(w.currentBillNo(), b);
    QCOMPARE(cell(g, 1, "单据状态"), QString("失效"));
    w.actions().execute("Action1");
    QCOMPARE(receipts, QStringList{b});
    prompter().setNextAnswer(true);
    w.actions().execute("Action1_delete");
    QCOMPARE(count(db(), "select count(*) from Quotation_Head where BillNo=:b", {{"b", b}}), 0);
    QCOMPARE(g->model()->rowCount(), 2);
    QCOMPARE(w.currentBillNo(), a);  // the next row took its place
    QCOMPARE(g->selectedRows().size(), 1);
}

void TestQuotationWindows::queryPanelFiltersTheList() {
    const QString percent = stored({"A"}, "100%酒楼");
    const QString plain = stored({"A"}, "1000酒楼");
    // "1_2" as a pattern would match this telephone too.
    db().query("update Quotation_Head set telephon='132' where BillNo=:b", {{"b", plain}});
    const QString late = stored({"B"}, "江边");
    db().query("update Quotation_Head set Keyin_Date='2006-06-24 23:30:00', telephon='1_2' where BillNo=:b",
               {{"b", late}});
    QueryPanelWindow panel(context(), QueryPanelWindow::Quotations);
    QCOMPARE(panel.windowTitle(), QString("订货单查询"));
    QStringList shown;
    panel.showList = [&](QuotationListWindow& list) {
        shown.clear();
        for (int r = 0; r < list.grid()->model()->rowCount(); ++r) {
            shown << cell(list.grid(), r, "贵宾号");
        }
    };
    panel.show();
    panel.hotelBox()->setText("100%");
    panel.customerBox()->setText("   ");  // blanks add no condition
    QTest::keyClick(panel.hotelBox(), Qt::Key_Return);
    QCOMPARE(shown, QStringList{percent});
    panel.hotelBox()->clear();
    panel.telephoneBox()->setText("1_2");
    panel.runQuery();
    QCOMPARE(shown, QStringList{late});
    // A To day alone takes in the whole day.
    panel.telephoneBox()->clear();
    panel.toDate()->setValue(QDate(2006, 6, 24).startOfDay());
    panel.runQuery();
    QCOMPARE(shown, QStringList{late});
    QVERIFY(panel.isVisible());  // one query can follow another
    // From after To opens no list.
    panel.fromDate()->setValue(QDate(2006, 6, 25).startOfDay());
    shown.clear();
    QTest::keyClick(panel.hotelBox(), Qt::Key_Return);
    QCOMPARE(prompter().lastText(), QString("开始日期不能晚于结束日期"));
    QVERIFY(shown.isEmpty());
    QueryPanelWindow none(context(), QueryPanelWindow::NoKind);
    none.runQuery();
    QCOMPARE(prompter().lastText(), QString("请指定要查询何种单据"));
    QCOMPARE(QueryPanelWindow(context(), QueryPanelWindow::WorkForms).windowTitle(), QString("工作单查询"));
}

// A group holding every right of the quotation windows but 查看成本利润 sees
// no purchase price, profit or purchase order (test_rights_walk shows the
// same for a group without any right); granted the right, it sees them.
void TestQuotationWindows::costsAndProfitsOnlyWithTheRight() {
    const QString no = stored({"A", "B"});
    signInAs("店员", "店员组", "LOWER(Form_Name) in ('form_quotation_edit', 'form_quotation_list', 'base_goods_frm')");
    const auto captions = [](DataGrid* g) {
        QStringList out;
        for (int c = 0; c < g->model()->columnCount(); ++c) {
            out << g->model()->headerData(c, Qt::Horizontal).toString();
        }
        return out.join('|');
    };
    for (const bool granted : {false, true}) {
        if (granted) {
            grant("店员组", "LOWER(Form_Name)='main_frm' and LOWER(Action_Name)='action_viewcostprofit'");
        }
        int printed = 0;
        QuotationEditWindow w(context(), QuotationDocument::Existing, no);
        w.openPrintout = [&printed](Print, const QString&) { ++printed; };
        w.show();
        QCOMPARE(captions(w.grid()).contains("发发1"), granted);
        QCOMPARE(w.extraColumns() != nullptr, granted);
        QVERIFY(granted || w.grid()->footerText("Gain_Money").isEmpty());
        QCOMPARE(w.button("Action4") != nullptr && w.button("Action4")->isVisibleTo(&w), granted);
        prompter().clear();
        w.actions().execute("Action4");
        QCOMPARE(printed, granted ? 1 : 0);
        QuotationListWindow list(context());
        list.show();
        QCOMPARE(captions(list.grid()).contains("发发"), granted);
        QCOMPARE(list.grid()->dataset()->fieldIndex("total_Gain_Money") >= 0, granted);
        QVERIFY(captions(list.grid()).contains("总金额"));
    }
}

// Beside each line the price the customer was last quoted for the goods;
// 报价历史 lists every earlier price for the selected line's goods.
void TestQuotationWindows::lastPricesAndHistoryInTheEditor() {
    for (const auto& [day, price] : QList<QPair<QDate, double>>{{QDate(2006, 3, 1), 9.5}, {QDate(2006, 5, 1), 8.75}}) {
        context().clock().setToday(day);
        QuotationDocument doc(db(), context().clock(), prompter(), "a");
        doc.load(QuotationDocument::New);
        doc.head().setValue("Add_ClientName", "王先生");
        doc.addGoods({"A"});
        doc.lines().setValue("Price", price);
        QVERIFY(doc.save());
    }
    context().clock().setToday(QDate(2006, 6, 25));
    QuotationEditWindow w(context(), QuotationDocument::New);
    w.pickGoods = [] { return QStringList{"A", "B"}; };
    QList<PriceHistory::Quoted> shown;
    QString title;
    w.showPriceHistory = [&](const QString& t, const QList<PriceHistory::Quoted>& rows) {
        title = t;
        shown = rows;
    };
    w.show();
    w.document().head().setValue("Add_ClientName", "王先生");
    QTest::mouseClick(w.button("Action_AddGoods"), Qt::LeftButton);
    QCOMPARE(cell(w.grid(), 0, "上次报价"), QString("8.75 (2006-05-01)"));
    QCOMPARE(cell(w.grid(), 1, "上次报价"), QString());
    // Another customer, other prices, read once the typing pauses.
    w.document().head().setValue("Add_ClientName", "李小姐");
    QCOMPARE(cell(w.grid(), 0, "上次报价"), QString("8.75 (2006-05-01)"));
    QTRY_COMPARE(cell(w.grid(), 0, "上次报价"), QString());
    w.document().head().setValue("Add_ClientName", "王先生");
    QTRY_COMPARE(cell(w.grid(), 0, "上次报价"), QString("8.75 (2006-05-01)"));
    w.grid()->view()->clearSelection();
    QTest::mouseClick(w.button("Action_PriceHistory"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("请选择货品"));
    w.grid()->selectRow(0);
    QTest::mouseClick(w.button("Action_PriceHistory"), Qt::LeftButton);
    QCOMPARE(shown.size(), 2);
    QVERIFY2(title.contains("门锁"), qPrintable(title));
    // Goods never quoted to the customer: said, no list.
    shown.clear();
    w.grid()->selectRow(1);
    QTest::mouseClick(w.button("Action_PriceHistory"), Qt::LeftButton);
    QVERIFY(shown.isEmpty());
    QCOMPARE(prompter().lastText(), QString("该客户以前的订货单中没有这个货品的报价"));
    // The real dialog lists the rows.
    PriceHistoryDialog dialog("报价历史",
                              PriceHistory(db()).history({QString(), "王先生"}, "A", w.document().billNo()));
    QCOMPARE(dialog.table()->rowCount(), 2);
    QCOMPARE(dialog.table()->item(0, 3)->text(), QString("8.75"));
    QCOMPARE(dialog.table()->item(1, 1)->text(), QString("2006-03-01"));
}

QTEST_MAIN(TestQuotationWindows)
#include "test_quotation_windows.moc"
