#include <QPushButton>
#include <QTest>

#include "data/data_module.h"
#include "master/customer_price_window.h"
#include "master/partner_list_window.h"
#include "master/price_cell_edit.h"
#include "reports/customer_price_report_window.h"
#include "reports/report_preview_frame.h"
#include "support/test_books.h"
#include "ui/data_grid.h"
#include "ui/editors.h"

// The price window offscreen (the rules: TestPriceTables): typing and saving, printing, the customer list's "单价表".
class TestPriceWindows : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_program = std::make_unique<TestBooks::TestProgram>(true);
        m_program->openAsAdministrator();
        addCustomer("C001", "远东酒店");
        db().execute("update base_Dusmere_Price_Table set A101=120, A102=130, D204=7");
    }
    void cleanup() { m_program.reset(); }
    void customerSheetTypedAndSaved() {
        CustomerPriceWindow w(context(), false, "C001", "远东酒店");
        QVERIFY(w.load());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // The standard prices copied, shown as printed; the focused cell its digits.
        QCOMPARE(w.cellEdit("A102")->text(), QString("130.00"));
        QCOMPARE(w.cellEdit("A101")->text(), QString("120"));
        type(w, "A101", "1200");
        QVERIFY(w.cellEdit("A102")->hasFocus());
        QCOMPARE(w.cellEdit("A101")->text(), QString("1,200.00"));
        w.remarkEdit("B_Remark")->insertPlainText("含税");
        QCOMPARE(stored("A101"), 120);
        // The table's refusal is said, and the cell shows its price again.
        type(w, "A102", "99.5");
        QCOMPARE(prompter().lastText(), QString("单价[A102]只能是整数"));
        QCOMPARE(w.cellEdit("A102")->text(), QString("130"));
        QVERIFY(w.cellEdit("A102")->hasFocus());
        // A price still being typed is taken by the save as well.
        w.cellEdit("D204")->setFocus();
        QTest::keyClicks(w.cellEdit("D204"), "8");
        QTest::mouseClick(w.button("Action_save"), Qt::LeftButton);
        QCOMPARE(prompter().lastText(), QString("保存成功"));
        QCOMPARE(stored("A101"), 1200);
        QCOMPARE(stored("D204"), 8);
        QCOMPARE(db().scalar("select B_Remark from base_Dusmere_Customer_price_Table").toString(), QString("含税"));
        // A refused text left in a cell stops the save.
        w.cellEdit("A103")->setFocus();
        QTest::keyClicks(w.cellEdit("A103"), "abc");
        prompter().clear();
        w.actions().execute("Action_save");
        QCOMPARE(prompter().texts(), QStringList{"单价[A103]只能填写数字"});
    }
    void printAsksToSaveAndShowsTheSheet() {
        CustomerPriceWindow w(context(), false, "C001", "远东酒店");
        QVERIFY(w.load());
        w.show();
        type(w, "B101", "88");
        // Asked to save first; Yes: saved, then the sheet of this customer.
        prompter().setNextAnswer(true);
        QStringList pages;
        QCOMPARE(modalShownBy([&] { QTest::mouseClick(w.button("Action_Print"), Qt::LeftButton); }, &pages),
                 QString("CustomerPriceReportWindow"));
        QVERIFY(prompter().texts().contains(PriceTable::printQuestion()));
        QCOMPARE(stored("B101"), 88);
        QVERIFY(pages.size() == 1 && pages[0].contains("远东酒店|") && pages[0].contains("88.00|"));
        // The standard sheet prints the standard table.
        CustomerPriceWindow standard(context(), true, QString());
        QVERIFY(standard.load());
        standard.show();
        pages.clear();
        modalShownBy([&] { QTest::mouseClick(standard.button("Action_Print"), Qt::LeftButton); }, &pages);
        QVERIFY(pages.size() == 1 && pages[0].contains("单价表默认值|") && pages[0].contains("120.00|") &&
                !pages[0].contains("88.00|"));
    }
    void customerListOpensOrPrints() {
        addCustomer("C002", "长城饭店");
        addCustomer("C003", "和平宾馆");
        PartnerListWindow w(context(), PartnerSide::customers());
        QStringList opened;
        m_program->windows().then<CustomerPriceWindow>([&opened](CustomerPriceWindow& prices) {
            return opened << prices.table().customerCode() + ' ' + prices.table().customerName(), 0;
        });
        w.show();
        auto* button = w.findChild<QPushButton*>("Action_CustomerPrice");
        QVERIFY(button);
        w.grid()->view()->clearSelection();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(prompter().lastText(), QString("请选择客户"));
        w.grid()->selectRow(1);  // newest code first: C002
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(opened, QStringList{"C002 长城饭店"});
        // Several customers: their sheets, one each, in the printout window.
        w.grid()->view()->selectAll();
        QStringList pages;
        QCOMPARE(modalShownBy([&] { QTest::mouseClick(button, Qt::LeftButton); }, &pages),
                 QString("CustomerPriceReportWindow"));
        QCOMPARE(pages.size(), 3);
        QVERIFY(pages[0].contains("和平宾馆|") && pages[2].contains("远东酒店|"));
    }

private:
    Database& db() { return m_program->context().data().main(); }
    AppContext& context() { return m_program->context(); }
    ScriptedPrompter& prompter() { return m_program->prompter(); }
    int stored(const QString& field) {
        return db().scalar("select " + field + " from base_Dusmere_Customer_price_Table").toInt();
    }
    void addCustomer(const QString& code, const QString& name) {
        db().execute("insert into Client (Corp_code, Corp_name, GroupClass) values (:c, :n, 1)",
                     {{"c", code}, {"n", name}});
    }
    // Types into a cell and leaves it with Tab.
    static void type(CustomerPriceWindow& w, const QString& cell, const QString& text) {
        PriceCellEdit* edit = w.cellEdit(cell);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        edit->insert(text);  // as the keyboard or an input method hands it over
        QTest::keyClick(edit, Qt::Key_Tab);
    }
    // Runs `click`; the class name of the modal window it opens, and the texts of its pages.
    QString modalShownBy(const std::function<void()>& click, QStringList* pageTexts) {
        QString shown;
        m_program->windows().then<QDialog>([&](QDialog& window) {
            window.show();
            shown = window.metaObject()->className();
            if (auto* report = qobject_cast<ReportWindow*>(&window)) {
                for (const ReportPage& page : report->frame()->report().pages) {
                    QString all;
                    for (const ReportPrimitive& p : page.items) {
                        all += p.text + '|';
                    }
                    pageTexts->append(all);
                }
            }
            return 0;
        });
        click();
        return shown;
    }
    std::unique_ptr<TestBooks::TestProgram> m_program;
};

QTEST_MAIN(TestPriceWindows)
#include "test_price_windows.moc"
