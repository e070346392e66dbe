#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "data/data_module.h"
#include "data/dataset.h"
#include "data/permission_checker.h"
#include "document_fixture.h"
#include "documents/price_history_dialog.h"
#include "documents/quotation_edit_window.h"
#include "documents/quotation_list_window.h"
#include "shell/program_windows.h"
#include "shell/query_panel_window.h"
#include "support/test_books.h"
#include "ui/data_grid.h"
#include "ui/editors.h"

using DocumentFixture::addGoods;
using DocumentFixture::count;
using Print = DocumentWindows::QuotationPrint;

// The quotation editor, the list and the query panel, offscreen.
class TestQuotationWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void editorAddsGoodsSavesAndComputes();
    void goodsAddedShowEvenWhenTheSaveIsRefused();
    void aNumberCellMakesNoOtherNumberOfWhatIsTyped();
    void editorClosesOnlyWhenChangesAreSettled();
    void editorLineCommands();
    void receiptsAndPrintingNeedAStoredQuotation();
    void lockedBookKeepsTheEdits();
    void listShowsAmountsAndKeepsItsRow();
    void listDeleteInForceAndRefusals();
    void listCommandsNeedTheirRights();
    void queryPanelFiltersTheList();
    void costsAndProfitsOnlyWithTheRight();
    void lastPricesAndHistoryInTheEditor();
    void mainWindowEntriesOpenTheWindows();

private:
    Database& db() { return m_program->context().data().main(); }
    AppContext& context() { return m_program->context(); }
    ScriptedPrompter& prompter() { return m_program->prompter(); }
    QString storedQuotation(const QStringList& codes, const QString& hotel = {});
    static QVariant cell(DataGrid* grid, int gridRow, const QString& caption);
    static void setCell(DataGrid* grid, int gridRow, const QString& caption, const QVariant& value);
    std::unique_ptr<TestBooks::TestProgram> m_program;
};

void TestQuotationWindows::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    context().data().ConnectDatabases();
    context().CurrentUser = {"超级用户", "", "管理员组"};
    context().clock().setToday(QDate(2006, 6, 25));
    addGoods(db(), "A", "门锁", "大", "UN001", 2, 10.0, 20.0, 6.0);
    addGoods(db(), "B", "合页", "4寸", "UN002", 1, 5.0, 5.0, 2.0);
    addGoods(db(), "C", "拉手", "小", "UN003", 3, 7.0, 21.0, 4.0);
}

void TestQuotationWindows::cleanup() {
    m_program.reset();
}

QString TestQuotationWindows::storedQuotation(const QStringList& codes, const QString& hotel) {
    QuotationDocument doc(db(), context().clock(), prompter(), "a");
    doc.load(QuotationDocument::New);
    doc.head().setValue("Rummery", hotel);
    doc.addGoods(codes);
    if (!doc.save()) {
        qFatal("not saved");
    }
    return doc.billNo();
}

QVariant TestQuotationWindows::cell(DataGrid* grid, int gridRow, const QString& caption) {
    GridModel* m = grid->model();
    for (int c = 0; c < m->columnCount(); ++c) {
        if (m->headerData(c, Qt::Horizontal).toString() == caption) {
            return m->data(m->index(gridRow, c));
        }
    }
    qFatal("no column %s", qPrintable(caption));
}

void TestQuotationWindows::setCell(DataGrid* grid, int gridRow, const QString& caption, const QVariant& value) {
    GridModel* m = grid->model();
    for (int c = 0; c < m->columnCount(); ++c) {
        if (m->headerData(c, Qt::Horizontal).toString() == caption) {
            QVERIFY(m->flags(m->index(gridRow, c)) & Qt::ItemIsEditable);
            QVERIFY(m->setData(m->index(gridRow, c), value, Qt::EditRole));
            return;
        }
    }
    QFAIL("no such column");
}

// A save refused for a head box typed wrong still shows the goods added.
void TestQuotationWindows::goodsAddedShowEvenWhenTheSaveIsRefused() {
    QuotationEditWindow w(context(), QuotationDocument::New);
    w.pickGoods = [] { return QStringList{"C"}; };
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* freight = w.findChildren<NumberEdit*>().value(0);
    QVERIFY(freight);
    QTest::keyClicks(freight, "12.5x");
    QTest::mouseClick(w.button("Action_AddGoods"), Qt::LeftButton);
    QVERIFY2(prompter().lastText().startsWith("[运费]") && prompter().lastText().contains("12.5x"),
             qPrintable(prompter().lastText()));
    QCOMPARE(count(db(), "select count(*) from Quotation_Detail"), 0);
    QCOMPARE(cell(w.grid(), 0, "货品名称").toString(), QString("拉手"));
    QCOMPARE(cell(w.grid(), 0, "计量单位").toString(), QString("套"));
}

void TestQuotationWindows::aNumberCellMakesNoOtherNumberOfWhatIsTyped() {
    QuotationEditWindow w(context(), QuotationDocument::New);
    w.pickGoods = [] { return QStringList{"A"}; };
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.button("Action_AddGoods"), Qt::LeftButton);
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

void TestQuotationWindows::editorAddsGoodsSavesAndComputes() {
    QuotationEditWindow w(context(), QuotationDocument::New);
    QCOMPARE(w.objectName(), QString("Form_Quotation_Edit"));
    w.pickGoods = [] { return QStringList{"A", "B"}; };
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.button("Action_AddGoods"), Qt::LeftButton);
    // Adding goods saves the quotation at once.
    const QString no = w.document().billNo();
    QCOMPARE(no, QString("BJ0606250001"));
    QCOMPARE(count(db(), "select count(*) from Quotation_Detail where HeadNo=:h", {{"h", no}}), 2);
    DataGrid* g = w.grid();
    QCOMPARE(g->model()->rowCount(), 2);
    QCOMPARE(cell(g, 0, "货品名称").toString(), QString("门锁"));
    QCOMPARE(cell(g, 1, "计量单位").toString(), QString("件"));
    QCOMPARE(g->footerText("GoodsNo"), QString("共 2 个货品"));
    QCOMPARE(g->footerText("Total_Price"), QString("合计:25.00"));
    // The goods columns cannot be typed into; the amounts follow quantity.
    QVERIFY(!(g->model()->flags(g->model()->index(0, 1)) & Qt::ItemIsEditable));
    setCell(g, 1, "数量", 4);
    QCOMPARE(cell(g, 1, "总金额").toString(), QString("20.00"));
    QCOMPARE(g->footerText("Total_Price"), QString("合计:40.00"));
    QVERIFY(w.document().isModified());
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
    // Picking goods already on the quotation adds nothing.
    w.pickGoods = [] { return QStringList{"B", "C"}; };
    QTest::mouseClick(w.button("Action_AddGoods"), Qt::LeftButton);
    QCOMPARE(g->model()->rowCount(), 3);
    QCOMPARE(count(db(), "select count(*) from Quotation_Detail"), 3);
    QCOMPARE(cell(g, 2, "货品名称").toString(), QString("拉手"));
    QCOMPARE(g->selectedRows(), QList<int>{2});
}

void TestQuotationWindows::editorClosesOnlyWhenChangesAreSettled() {
    const QString no = storedQuotation({"A"});
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
    {
        // A quotation deleted meanwhile: the editor says so and closes.
        db().query("delete from Quotation_Head");
        QuotationEditWindow w(context(), QuotationDocument::Existing, no);
        QVERIFY(!w.loaded());
        QVERIFY(prompter().lastText().contains(no));
    }
    QCOMPARE(prompter().pendingAnswers(), 0);
}

void TestQuotationWindows::editorLineCommands() {
    const QString no = storedQuotation({"A", "B", "C"});
    QuotationEditWindow w(context(), QuotationDocument::Existing, no);
    QString shownFile, shownTitle;
    w.showPicture = [&](const QString& file, const QString& title, const QString&) {
        shownFile = file;
        shownTitle = title;
    };
    w.show();
    DataGrid* g = w.grid();
    g->view()->clearSelection();
    QTest::mouseClick(w.button("Action6"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("请选择商品"));
    QTest::mouseClick(w.button("Action3"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("请选择一个商品"));
    g->selectRow(1);
    QTest::mouseClick(w.button("Action6"), Qt::LeftButton);
    QCOMPARE(w.document().lines().value(1, "SortNo").toInt(), 1);
    QCOMPARE(w.document().lines().value(0, "SortNo").toInt(), 2);
    // The grid shows the new order with the moved line still selected.
    QCOMPARE(cell(g, 0, "货品编号").toString(), QString("B"));
    QCOMPARE(cell(g, 1, "货品编号").toString(), QString("A"));
    QCOMPARE(g->selectedRows(), QList<int>{1});
    QTest::mouseClick(w.button("Action6"), Qt::LeftButton);  // first already
    QCOMPARE(cell(g, 0, "货品编号").toString(), QString("B"));
    g->selectRow(0);
    QTest::mouseClick(w.button("Action7"), Qt::LeftButton);
    QCOMPARE(cell(g, 2, "货品编号").toString(), QString("A"));
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
    QCOMPARE(count(db(), "select count(*) from Quotation_Detail"), 2);
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
    const QString fresh = w.document().billNo();
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
    QCOMPARE(w.document().billNo(), fresh);
    QVERIFY(w.document().isModified());
    QTest::mouseClick(w.button("Action_AddGoods"), Qt::LeftButton);
    const QString no = w.document().billNo();
    QCOMPARE(no, fresh);
    QTest::mouseClick(w.button("Action1"), Qt::LeftButton);
    w.actions().execute("Action5");
    QTest::mouseClick(w.button("Action4"), Qt::LeftButton);
    QCOMPARE(opened, (QStringList{"receipts " + no, "print 1 " + no, "print 2 " + no}));
}

void TestQuotationWindows::lockedBookKeepsTheEdits() {
    const QString no = storedQuotation({"A", "B"});
    m_program->shortenBusyTimeout();
    QuotationEditWindow w(context(), QuotationDocument::Existing, no);
    w.show();
    setCell(w.grid(), 0, "数量", 5);
    w.document().head().setValue("Rummery", "新名字");
    {
        auto holder = m_program->lockMainBook();
        prompter().clear();
        QTest::mouseClick(w.button("Action_Save"), Qt::LeftButton);
        QCOMPARE(prompter().messages().size(), 1);
        QCOMPARE(prompter().messages().first().kind, Prompter::Kind::Error);
        QVERIFY(w.document().isModified());
        QCOMPARE(cell(w.grid(), 0, "总金额").toString(), QString("50.00"));
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
    const QString first = storedQuotation({"A"}, "海景");
    const QString second = storedQuotation({"A", "B"}, "山城");
    const QString third = storedQuotation({"C"}, "江边");
    db().query("insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType) values (:q, 'AA1', 15, 0)",
               {{"q", second}});
    QuotationListWindow w(context());
    QCOMPARE(w.objectName(), QString("Form_Quotation_List"));
    int edits = 0;
    w.runEditor = [&](int mode, const QString& no) {
        ++edits;
        if (mode == QuotationDocument::Existing) {
            db().query("update Quotation_Head set Remark='改' where BillNo=:b", {{"b", no}});
        } else {
            storedQuotation({"B"}, "新");
        }
    };
    w.show();
    DataGrid* g = w.grid();
    QCOMPARE(g->model()->rowCount(), 3);
    QCOMPARE(g->footerText("BillNo"), QString("共 3 份单据"));
    // Newest first, and the newest current.
    QCOMPARE(cell(g, 0, "贵宾号").toString(), third);
    QCOMPARE(w.currentBillNo(), third);
    QCOMPARE(cell(g, 1, "商品总值").toString(), QString("25.00"));
    QCOMPARE(cell(g, 1, "已收款").toString(), QString("15.00"));
    QCOMPARE(cell(g, 1, "未收款").toString(), QString("10.00"));
    QCOMPARE(cell(g, 1, "单据状态").toString(), QString("生效"));
    // Editing the middle row comes back to it.
    g->selectRow(w.list().rows().currentRow() - 1);
    QCOMPARE(w.currentBillNo(), second);
    w.actions().execute("Action_Edit");
    QCOMPARE(edits, 1);
    QCOMPARE(w.currentBillNo(), second);
    QCOMPARE(cell(g, 1, "备注").toString(), QString("改"));
    // Adding makes the new quotation current.
    w.actions().execute("Action_Add");
    QCOMPARE(g->model()->rowCount(), 4);
    QCOMPARE(cell(g, 0, "酒店名称").toString(), QString("新"));
    QCOMPARE(g->selectedRows(), QList<int>{w.list().rows().rowCount() - 1});
    // The date filter on the loaded rows, both days included.
    db().query("update Quotation_Head set Keyin_Date='2006-06-20 00:00:00' where BillNo=:b", {{"b", first}});
    w.actions().execute("Action_Add");
    w.fromDate()->setValue(QDate(2006, 6, 20).startOfDay());
    w.toDate()->setValue(QDate(2006, 6, 20).startOfDay());
    w.filterByEntryDate();
    QCOMPARE(g->model()->rowCount(), 1);
    QCOMPARE(cell(g, 0, "贵宾号").toString(), first);
    // 查询 reads the book again: a quotation another workstation saved
    // shows, and the filter stays.
    const QString elsewhere = storedQuotation({"A"}, "别处");
    db().query("update Quotation_Head set Keyin_Date='2006-06-20 00:00:00' where BillNo=:b", {{"b", elsewhere}});
    w.filterByEntryDate();
    QCOMPARE(g->model()->rowCount(), 2);
    // One rule for every date filter: From after To is refused, as said.
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
    QCOMPARE(g->model()->rowCount(), 2);
    // "显示附加信息" shows the discount and profit columns and says so.
    const int gain = g->model()->columnOf("total_Gain_Money");
    QVERIFY(g->view()->isColumnHidden(gain));
    QTest::mouseClick(w.extraButton(), Qt::LeftButton);
    QVERIFY(!g->view()->isColumnHidden(gain));
    QCOMPARE(w.extraButton()->text(), QString("隐藏附加信息"));
    QTest::mouseClick(w.extraButton(), Qt::LeftButton);
    QCOMPARE(w.extraButton()->text(), QString("显示附加信息"));
}

void TestQuotationWindows::listDeleteInForceAndRefusals() {
    QuotationListWindow empty(context());
    empty.show();
    for (const char* action : {"Action1", "Action_print", "Action3"}) {
        prompter().clear();
        empty.actions().execute(action);
        QCOMPARE(prompter().lastText(), QString("请选择订货单"));
    }
    empty.actions().execute("Action_Edit");
    QCOMPARE(prompter().lastText(), QString("请选择一条记录"));
    empty.close();

    const QString a = storedQuotation({"A"});
    const QString b = storedQuotation({"B"});
    const QString c = storedQuotation({"C"});
    QuotationListWindow w(context());
    QStringList receipts;
    w.openReceipts = [&](const QString& no) { receipts << no; };
    w.show();
    DataGrid* g = w.grid();
    g->selectRow(w.list().rows().currentRow() - 1);  // b, in the middle
    w.actions().execute("Action6");
    QCOMPARE(count(db(), "select count(*) from Quotation_Head where state=0"), 1);
    QCOMPARE(w.currentBillNo(), b);
    QCOMPARE(cell(g, 1, "单据状态").toString(), QString("失效"));
    w.actions().execute("Action1");
    QCOMPARE(receipts, QStringList{b});
    prompter().setNextAnswer(true);
    w.actions().execute("Action1_delete");
    QCOMPARE(count(db(), "select count(*) from Quotation_Head where BillNo=:b", {{"b", b}}), 0);
    QCOMPARE(g->model()->rowCount(), 2);
    QCOMPARE(w.currentBillNo(), a);  // the next row took its place
    QCOMPARE(g->selectedRows().size(), 1);
    Q_UNUSED(c);
}

void TestQuotationWindows::listCommandsNeedTheirRights() {
    storedQuotation({"A"});
    db().query("insert into Sys_user (User_name, password, User_Group) values ('店员', '', '店员组')");
    context().CurrentUser = {"店员", "", "店员组"};
    QuotationListWindow w(context());
    w.show();
    prompter().setNextAnswer(true);
    w.actions().execute("Action1_delete");
    QCOMPARE(count(db(), "select count(*) from Quotation_Head"), 1);
    QCOMPARE(prompter().pendingAnswers(), 1);  // refused before the question
    prompter().clear();
}

// A group holding every right of the quotation windows but 查看成本利润 sees
// no purchase price, profit or purchase order; granted the right, it sees
// them as the administrators do.
void TestQuotationWindows::costsAndProfitsOnlyWithTheRight() {
    const QString no = storedQuotation({"A", "B"});
    db().query("insert into Sys_user (User_name, password, User_Group) values ('店员', '', '店员组')");
    db().query(
        "insert into Sys_user_Operation (User_name, Action_id) select '店员组', id from Sys_Operation_Table "
        "where LOWER(Form_Name) in ('form_quotation_edit', 'form_quotation_list', 'base_goods_frm')");
    context().CurrentUser = {"店员", "", "店员组"};
    const auto captions = [](DataGrid* g) {
        QStringList out;
        for (int c = 0; c < g->model()->columnCount(); ++c) {
            out << g->model()->headerData(c, Qt::Horizontal).toString();
        }
        return out;
    };
    const auto buttonTexts = [](QWidget* w) {
        QStringList out;
        for (QPushButton* b : w->findChildren<QPushButton*>()) {
            if (b->isVisibleTo(w)) {
                out << b->text();
            }
        }
        return out;
    };
    int printed = 0;
    {
        QuotationEditWindow w(context(), QuotationDocument::Existing, no);
        w.openPrintout = [&printed](Print, const QString&) { ++printed; };
        w.show();
        QVERIFY(!captions(w.grid()).contains("发发1"));
        QVERIFY(!captions(w.grid()).contains("发发"));
        QVERIFY(w.extraColumns() == nullptr);
        QVERIFY(w.grid()->footerText("Gain_Money").isEmpty());
        QVERIFY(!buttonTexts(&w).contains("打印采购单"));
        // The command itself is refused, whatever reaches it.
        prompter().clear();
        w.actions().execute("Action4");
        QCOMPARE(printed, 0);
        QCOMPARE(prompter().lastText(), PermissionChecker::refusalText());
        // The amounts are there; a change of quantity still keeps the
        // hidden profit right.
        setCell(w.grid(), 0, "数量", 3);
        QTest::mouseClick(w.button("Action_Save"), Qt::LeftButton);
        QCOMPARE(db().scalar("select Gain_Money from Quotation_Detail where GoodsNo='A'").toDouble(), 12.0);
    }
    {
        QuotationListWindow list(context());
        list.show();
        QVERIFY(!captions(list.grid()).contains("发发"));
        QCOMPARE(list.grid()->dataset()->fieldIndex("total_Gain_Money"), -1);
        QVERIFY(!buttonTexts(&list).contains("打印采购单"));
        QVERIFY(captions(list.grid()).contains("总金额"));
    }
    // Granted, the same user sees them.
    db().query(
        "insert into Sys_user_Operation (User_name, Action_id) select '店员组', id from Sys_Operation_Table "
        "where LOWER(Form_Name)='main_frm' and LOWER(Action_Name)='action_viewcostprofit'");
    {
        QuotationEditWindow w(context(), QuotationDocument::Existing, no);
        w.openPrintout = [&printed](Print, const QString&) { ++printed; };
        w.show();
        QVERIFY(captions(w.grid()).contains("发发1"));
        QVERIFY(w.extraColumns() != nullptr);
        QVERIFY(buttonTexts(&w).contains("打印采购单"));
        w.actions().execute("Action4");
        QCOMPARE(printed, 1);
        QuotationListWindow list(context());
        list.show();
        QVERIFY(captions(list.grid()).contains("发发"));
        QVERIFY(list.grid()->dataset()->fieldIndex("total_Gain_Money") >= 0);
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
    QCOMPARE(cell(w.grid(), 0, "上次报价").toString(), QString("8.75 (2006-05-01)"));
    QCOMPARE(cell(w.grid(), 1, "上次报价").toString(), QString());
    // Another customer, other prices, read once the typing pauses.
    w.document().head().setValue("Add_ClientName", "李小姐");
    QCOMPARE(cell(w.grid(), 0, "上次报价").toString(), QString("8.75 (2006-05-01)"));
    QTRY_COMPARE(cell(w.grid(), 0, "上次报价").toString(), QString());
    w.document().head().setValue("Add_ClientName", "王先生");
    QTRY_COMPARE(cell(w.grid(), 0, "上次报价").toString(), QString("8.75 (2006-05-01)"));

    prompter().clear();
    w.grid()->view()->clearSelection();
    QTest::mouseClick(w.button("Action_PriceHistory"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("请选择货品"));
    w.grid()->selectRow(0);
    QTest::mouseClick(w.button("Action_PriceHistory"), Qt::LeftButton);
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].price.toDouble(), 8.75);
    QCOMPARE(shown[1].date, QDate(2006, 3, 1));
    QVERIFY2(title.contains("门锁"), qPrintable(title));
    // Goods never quoted to the customer: said, no list.
    shown.clear();
    w.grid()->selectRow(1);
    prompter().clear();
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

void TestQuotationWindows::queryPanelFiltersTheList() {
    const QString percent = storedQuotation({"A"}, "100%酒楼");
    const QString plain = storedQuotation({"A"}, "1000酒楼");
    // "1_2" as a pattern would match this telephone too.
    db().query("update Quotation_Head set telephon='132' where BillNo=:b", {{"b", plain}});
    const QString late = storedQuotation({"B"}, "江边");
    db().query("update Quotation_Head set Keyin_Date='2006-06-24 23:30:00', telephon='1_2' where BillNo=:b",
               {{"b", late}});
    QueryPanelWindow panel(context(), QueryPanelWindow::Quotations);
    QCOMPARE(panel.windowTitle(), QString("订货单查询"));
    QStringList shown;
    panel.showList = [&](QuotationListWindow& list) {
        shown.clear();
        for (int r = 0; r < list.grid()->model()->rowCount(); ++r) {
            shown << cell(list.grid(), r, "贵宾号").toString();
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
    // From after To opens no list, as in every date filter.
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

void TestQuotationWindows::mainWindowEntriesOpenTheWindows() {
    const WindowOpener& table = ProgramWindows::table();
    QVERIFY(table.contains("Form_Quotation_List"));
    QVERIFY(table.contains("query_panel_frm"));
}

QTEST_MAIN(TestQuotationWindows)
#include "test_quotation_windows.moc"
