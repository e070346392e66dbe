#include <QApplication>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTimer>

#include "data/data_module.h"
#include "documents/document_fixture.h"
#include "master/customer_price_window.h"
#include "master/partner_list_window.h"
#include "master/price_cell_edit.h"
#include "reports/customer_price_report_window.h"
#include "reports/report_preview_frame.h"
#include "shell/program_windows.h"
#include "support/test_books.h"
#include "ui/data_grid.h"
#include "ui/editors.h"

using DocumentFixture::count;

// The price window offscreen: typing into the sheet, Tab order, refusals,
// the buttons and their questions, printing, a locked book, rights, and the
// customer list's "单价表".
class TestPriceWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void customerSheetTypedSavedAndInTabOrder();
    void refusedTextIsSaidAndTheCellKeepsItsPrice();
    void emptyResetAndCloseQuestions();
    void printAsksToSaveAndShowsTheSheet();
    void enterGoesToTheNextCellAndNeverSaves();
    void lockedBookKeepsTheEdits();
    void commandsNeedTheirRights();
    void openingWithoutCustomerIsRefused();
    void customerListOpensOrPrints();

private:
    Database& db() { return m_program->context().data().main(); }
    AppContext& context() { return m_program->context(); }
    ScriptedPrompter& prompter() { return m_program->prompter(); }
    void addCustomer(const QString& code, const QString& name);
    // Types into a cell and leaves it with Tab.
    static void type(CustomerPriceWindow& w, const QString& cell, const QString& text);
    // Runs `click` and closes the modal window it opens; the class name of
    // that window and the texts of its pages.
    static QString modalShownBy(const std::function<void()>& click, QStringList* pageTexts = nullptr);
    std::unique_ptr<TestBooks::TestProgram> m_program;
};

void TestPriceWindows::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    context().data().ConnectDatabases();
    context().CurrentUser = {"超级用户", "", "管理员组"};
    context().clock().setToday(QDate(2006, 6, 25));
    addCustomer("C001", "远东酒店");
    db().execute("update base_Dusmere_Price_Table set A101=120, A102=130, D204=7");
}

void TestPriceWindows::cleanup() {
    m_program.reset();
}

void TestPriceWindows::addCustomer(const QString& code, const QString& name) {
    db().execute("insert into Client (Corp_code, Corp_name, GroupClass) values (:c, :n, 1)",
                 {{"c", code}, {"n", name}});
}

void TestPriceWindows::type(CustomerPriceWindow& w, const QString& cell, const QString& text) {
    PriceCellEdit* edit = w.cellEdit(cell);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    bool ascii = true;
    for (const QChar c : text) {
        ascii = ascii && c.unicode() < 0x80;
    }
    if (ascii) {
        QTest::keyClicks(edit, text);
    } else {
        edit->insert(text);  // as an input method hands it over
    }
    QTest::keyClick(edit, Qt::Key_Tab);
}

QString TestPriceWindows::modalShownBy(const std::function<void()>& click, QStringList* pageTexts) {
    QString shown;
    // A timer of this call only: it never fires after the call returns.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = modal->metaObject()->className();
            if (auto* report = qobject_cast<ReportWindow*>(modal); report && pageTexts) {
                for (const ReportPage& page : report->frame()->report().pages) {
                    QString all;
                    for (const ReportPrimitive& p : page.items) {
                        all += p.text + '|';
                    }
                    pageTexts->append(all);
                }
            }
            modal->close();
        }
    });
    closer.start(0);
    click();
    return shown;
}

void TestPriceWindows::customerSheetTypedSavedAndInTabOrder() {
    CustomerPriceWindow w(context(), false, "C001", "远东酒店");
    QVERIFY(w.load());
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QVERIFY(w.customerLabel()->text().contains("远东酒店"));
    QVERIFY(w.customerLabel()->text().contains("C001"));
    QVERIFY(w.button("Action_SetAsDefault")->isVisible());
    // The standard prices copied by the first opening, shown as the sheet
    // prints them.
    QCOMPARE(w.cellEdit("A102")->text(), QString("130.00"));
    QVERIFY(w.cellEdit("A101")->hasFocus());
    QCOMPARE(w.cellEdit("A101")->text(), QString("120"));  // digits to edit

    // Tab goes through the sheet in reading order, remarks included.
    QStringList order;
    QWidget* at = w.cellEdit("A101");
    for (int i = 0; i < PriceTable::fieldNames().size(); ++i) {
        order << at->objectName();
        QTest::keyClick(at, Qt::Key_Tab);
        at = QApplication::focusWidget();
        QVERIFY(at);
    }
    QCOMPARE(order, PriceTable::fieldNames());

    type(w, "A101", "1200");
    QVERIFY(w.cellEdit("A102")->hasFocus());
    QCOMPARE(w.cellEdit("A101")->text(), QString("1,200.00"));
    type(w, "E203", "１,５００");
    QCOMPARE(w.table().value("E203").toLongLong(), 1500LL);
    MemoEdit* remark = w.remarkEdit("B_Remark");
    remark->setFocus();
    remark->insertPlainText("含税");
    QCOMPARE(w.table().value("B_Remark").toString(), QString("含税"));
    QCOMPARE(db().scalar("select A101 from base_Dusmere_Customer_price_Table").toInt(), 120);

    // A price still being typed is taken by the save as well.
    w.cellEdit("D204")->setFocus();
    QTest::keyClicks(w.cellEdit("D204"), "8");
    QTest::mouseClick(w.button("Action_save"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("保存成功"));
    QCOMPARE(db().scalar("select A101 from base_Dusmere_Customer_price_Table").toInt(), 1200);
    QCOMPARE(db().scalar("select E203 from base_Dusmere_Customer_price_Table").toInt(), 1500);
    // Focusing a cell selects its digits: what is typed replaces them.
    QCOMPARE(db().scalar("select D204 from base_Dusmere_Customer_price_Table").toInt(), 8);
    QCOMPARE(db().scalar("select B_Remark from base_Dusmere_Customer_price_Table").toString(), QString("含税"));
    QVERIFY(!w.table().isModified());
    // Closing a saved sheet asks nothing.
    prompter().clear();
    w.reject();
    QVERIFY(!w.isVisible());
    QVERIFY(prompter().messages().isEmpty());
}

void TestPriceWindows::refusedTextIsSaidAndTheCellKeepsItsPrice() {
    CustomerPriceWindow w(context(), false, "C001", "远东酒店");
    QVERIFY(w.load());
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // The table's refusal (its texts: TestPriceTables) is said, and the
    // cell shows its price again, to be typed anew.
    type(w, "A102", "99.5");
    QCOMPARE(prompter().lastText(), QString("单价[A102]只能是整数"));
    QCOMPARE(w.table().value("A102").toLongLong(), 130LL);
    QVERIFY(w.cellEdit("A102")->hasFocus());
    QCOMPARE(w.cellEdit("A102")->text(), QString("130"));
    QVERIFY(!w.table().isModified());

    // A refused text left in the cell stops the save.
    w.cellEdit("A103")->setFocus();
    QTest::keyClicks(w.cellEdit("A103"), "abc");
    prompter().clear();
    w.actions().execute("Action_save");
    QCOMPARE(prompter().lastText(), QString("单价[A103]只能填写数字"));
    QVERIFY(!prompter().texts().contains("保存成功"));

    // Remarks refuse control characters and keep what they had.
    MemoEdit* remark = w.remarkEdit("All_Remark");
    remark->setFocus();
    QTest::keyClicks(remark, "ok");
    prompter().clear();
    remark->insertPlainText(QString(QChar(0x07)));
    QCOMPARE(prompter().lastText(), QString("说明中不能有控制字符"));
    QCOMPARE(remark->toPlainText(), QString("ok"));
    QCOMPARE(w.table().value("All_Remark").toString(), QString("ok"));
}

void TestPriceWindows::emptyResetAndCloseQuestions() {
    CustomerPriceWindow w(context(), false, "C001", "远东酒店");
    QVERIFY(w.load());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    type(w, "A101", "555");
    QTest::mouseClick(w.button("Action_save"), Qt::LeftButton);

    // 清空 empties the cells on show; closing asks (the questions' answers:
    // TestPriceTables), Cancel keeps the window, No closes it.
    QTest::mouseClick(w.button("Action_Empty"), Qt::LeftButton);
    QCOMPARE(w.cellEdit("A101")->text(), QString());
    QCOMPARE(w.cellEdit("D204")->text(), QString());
    prompter().clear();
    prompter().setNextCancel();
    w.reject();
    QVERIFY(w.isVisible());
    QCOMPARE(prompter().lastText(), PriceTable::closeQuestion());
    prompter().setNextAnswer(false);
    w.reject();
    QVERIFY(!w.isVisible());

    // 获取默认值 answered Yes shows the standard prices.
    CustomerPriceWindow again(context(), false, "C001", "远东酒店");
    QVERIFY(again.load());
    again.show();
    QCOMPARE(again.cellEdit("A101")->value().toLongLong(), 555LL);
    prompter().setNextAnswer(true);
    QTest::mouseClick(again.button("Action_SetAsDefault"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), PriceTable::resetQuestion());
    QCOMPARE(again.cellEdit("A101")->value().toLongLong(), 120LL);
    QCOMPARE(again.cellEdit("A102")->text(), QString("130.00"));

    // The standard sheet has no 获取默认值; its save goes to the standard row.
    CustomerPriceWindow standard(context(), true, QString());
    QVERIFY(standard.load());
    standard.show();
    QVERIFY(!standard.button("Action_SetAsDefault")->isVisible());
    QCOMPARE(standard.customerLabel()->text(), QString("单价表默认值"));
    QCOMPARE(db().scalar("select Corp_code from base_Dusmere_Price_Table").toString(), QString("C001"));
    QTest::mouseClick(standard.button("Action_save"), Qt::LeftButton);
    QCOMPARE(db().scalar("select Corp_code from base_Dusmere_Price_Table").toString(), QString(""));
}

void TestPriceWindows::printAsksToSaveAndShowsTheSheet() {
    CustomerPriceWindow w(context(), false, "C001", "远东酒店");
    QVERIFY(w.load());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    type(w, "B101", "88");

    // Asked to save first (No: TestPriceTables); Yes: saved, then the sheet
    // of this customer.
    prompter().setNextAnswer(true);
    QStringList pages;
    QCOMPARE(modalShownBy([&] { QTest::mouseClick(w.button("Action_Print"), Qt::LeftButton); }, &pages),
             QString("CustomerPriceReportWindow"));
    QVERIFY(prompter().texts().contains(PriceTable::printQuestion()));
    QCOMPARE(db().scalar("select B101 from base_Dusmere_Customer_price_Table").toInt(), 88);
    QCOMPARE(pages.size(), 1);
    QVERIFY(pages[0].contains("远东酒店|"));
    QVERIFY(pages[0].contains("88.00|"));

    // The standard sheet prints the standard table.
    CustomerPriceWindow standard(context(), true, QString());
    QVERIFY(standard.load());
    standard.show();
    pages.clear();
    QCOMPARE(modalShownBy([&] { QTest::mouseClick(standard.button("Action_Print"), Qt::LeftButton); }, &pages),
             QString("CustomerPriceReportWindow"));
    QCOMPARE(pages.size(), 1);
    QVERIFY(pages[0].contains("单价表默认值|"));
    QVERIFY(pages[0].contains("120.00|"));
    QVERIFY(!pages[0].contains("88.00|"));
}

void TestPriceWindows::enterGoesToTheNextCellAndNeverSaves() {
    CustomerPriceWindow w(context(), false, "C001", "远东酒店");
    QVERIFY(w.load());
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    PriceCellEdit* a101 = w.cellEdit("A101");
    a101->setFocus();
    QTest::keyClick(a101, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(a101, "300");
    QTest::keyClick(a101, Qt::Key_Return);
    QCOMPARE(w.table().value("A101").toLongLong(), 300LL);
    QVERIFY(w.cellEdit("A102")->hasFocus());
    QVERIFY(w.isVisible());
    QVERIFY(prompter().messages().isEmpty());  // no 保存成功
    QCOMPARE(db().scalar("select A101 from base_Dusmere_Customer_price_Table").toInt(), 120);

    // From the last price of a section Enter goes on to the next section's
    // first, past the remark.
    w.cellEdit("A103")->setFocus();
    QTest::keyClick(w.cellEdit("A103"), Qt::Key_Return);
    QVERIFY(w.cellEdit("B101")->hasFocus());
    w.cellEdit("A102")->setFocus();

    // Enter brings the next price into view, as Tab does.
    w.cellEdit("D204")->setFocus();
    QTest::keyClick(w.cellEdit("D204"), Qt::Key_Return);
    QVERIFY(w.cellEdit("E101")->hasFocus());
    auto* area = w.findChild<QScrollArea*>("sheetArea");
    QVERIFY(area);
    const QRect shown = area->viewport()->rect();
    const QRect cell(w.cellEdit("E101")->mapTo(area->viewport(), QPoint(0, 0)), w.cellEdit("E101")->size());
    QVERIFY(shown.contains(cell));
    w.cellEdit("A102")->setFocus();

    // A refused text: Enter says why and stays in the cell.
    QTest::keyClicks(w.cellEdit("A102"), "x");
    QTest::keyClick(w.cellEdit("A102"), Qt::Key_Enter);
    QCOMPARE(prompter().lastText(), QString("单价[A102]只能填写数字"));
    QVERIFY(w.cellEdit("A102")->hasFocus());
    QCOMPARE(prompter().messages().size(), 1);
    QCOMPARE(db().scalar("select A101 from base_Dusmere_Customer_price_Table").toInt(), 120);

    // 清空 drops a text being typed, even a refused one, without a word.
    QTest::keyClicks(w.cellEdit("A102"), "abc");
    prompter().clear();
    QTest::mouseClick(w.button("Action_Empty"), Qt::LeftButton);
    QVERIFY(prompter().messages().isEmpty());
    QCOMPARE(w.cellEdit("A102")->text(), QString());
    QVERIFY(w.table().value("A101").isNull());

    // Ctrl+S saves from the keyboard, through the save command.
    QTest::keyClick(w.cellEdit("A102"), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(prompter().lastText(), QString("保存成功"));
    QVERIFY(db().scalar("select A101 from base_Dusmere_Customer_price_Table").isNull());
}

void TestPriceWindows::lockedBookKeepsTheEdits() {
    m_program->shortenBusyTimeout();
    CustomerPriceWindow w(context(), false, "C001", "远东酒店");
    QVERIFY(w.load());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    type(w, "C101", "66");
    {
        auto holder = m_program->lockMainBook();
        prompter().clear();
        QTest::mouseClick(w.button("Action_save"), Qt::LeftButton);
        QCOMPARE(prompter().messages().size(), 1);
        QCOMPARE(prompter().messages().first().kind, Prompter::Kind::Error);
        QVERIFY(w.table().isModified());
        QCOMPARE(w.cellEdit("C101")->text(), QString("66.00"));
        // The reset fails whole too.
        prompter().clear();
        prompter().setNextAnswer(true);
        QTest::mouseClick(w.button("Action_SetAsDefault"), Qt::LeftButton);
        QCOMPARE(prompter().messages().last().kind, Prompter::Kind::Error);
        QCOMPARE(w.table().value("C101").toLongLong(), 66LL);
    }
    QCOMPARE(db().scalar("select C101 from base_Dusmere_Customer_price_Table").toInt(), 0);
    QTest::mouseClick(w.button("Action_save"), Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("保存成功"));
    QCOMPARE(db().scalar("select C101 from base_Dusmere_Customer_price_Table").toInt(), 66);
}

void TestPriceWindows::commandsNeedTheirRights() {
    db().query("insert into Sys_user (User_name, password, User_Group) values ('店员', '', '店员组')");
    context().CurrentUser = {"店员", "", "店员组"};
    CustomerPriceWindow w(context(), false, "C001", "远东酒店");
    QVERIFY(w.load());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    type(w, "A101", "1");
    for (const char* action : {"Action_save", "Action_Empty", "Action_SetAsDefault", "Action_Print"}) {
        prompter().clear();
        QTest::mouseClick(w.button(action), Qt::LeftButton);
        QCOMPARE(prompter().lastText(), PermissionChecker::refusalText());
    }
    QCOMPARE(w.table().value("A101").toLongLong(), 1LL);  // not emptied
    QCOMPARE(db().scalar("select A101 from base_Dusmere_Customer_price_Table").toInt(), 120);
    // Closing with Yes goes through the save command: refused, the window
    // stays and nothing is written.
    prompter().clear();
    prompter().setNextAnswer(true);
    w.reject();
    QVERIFY(w.isVisible());
    QVERIFY(prompter().texts().contains(PermissionChecker::refusalText()));
    QCOMPARE(db().scalar("select A101 from base_Dusmere_Customer_price_Table").toInt(), 120);
    prompter().setNextAnswer(false);
    w.reject();
    QVERIFY(!w.isVisible());
}

void TestPriceWindows::openingWithoutCustomerIsRefused() {
    ProgramWindows::table().open(context(), "Base_CustomerPrice_Frm", 0, nullptr);
    QCOMPARE(prompter().lastText(), QString("请指定一个客户!"));
    QCOMPARE(count(db(), "select count(*) from base_Dusmere_Customer_price_Table"), 0);
    CustomerPriceWindow gone(context(), false, "C404");
    QVERIFY(!gone.load());
    QCOMPARE(prompter().lastText(), PriceTable::noSuchCustomerText("C404"));
}

void TestPriceWindows::customerListOpensOrPrints() {
    addCustomer("C002", "长城饭店");
    addCustomer("C003", "和平宾馆");
    PartnerListWindow w(context(), PartnerSide::customers());
    QStringList opened;
    QStringList printed;
    w.showPriceTable = [&opened](const QString& code, const QString& name) { opened << code + ' ' + name; };
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* button = w.findChild<QPushButton*>("Action_CustomerPrice");
    QVERIFY(button);
    QCOMPARE(button->text(), QString("单价表"));

    w.grid()->view()->clearSelection();
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(prompter().lastText(), QString("请选择客户"));
    QVERIFY(opened.isEmpty());

    w.grid()->selectRow(1);  // newest code first: C002
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(opened, QStringList{"C002 长城饭店"});

    // Several customers: their sheets, one each, in the printout window.
    w.grid()->view()->selectAll();
    QStringList pages;
    QCOMPARE(modalShownBy([&] { QTest::mouseClick(button, Qt::LeftButton); }, &pages),
             QString("CustomerPriceReportWindow"));
    QCOMPARE(pages.size(), 3);
    QVERIFY(pages[0].contains("和平宾馆|"));
    QVERIFY(pages[2].contains("远东酒店|"));
    QCOMPARE(count(db(), "select count(*) from base_Dusmere_Customer_price_Table"), 0);  // nothing made

    // The supplier list has no such button.
    PartnerListWindow suppliers(context(), PartnerSide::suppliers());
    QVERIFY(!suppliers.findChild<QPushButton*>("Action_CustomerPrice"));
}

QTEST_MAIN(TestPriceWindows)
#include "test_price_windows.moc"
