#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include "admin/code_list_window.h"
#include "admin/company_info_window.h"
#include "data/cost_profit_right.h"
#include "data/data_module.h"
#include "data/permission_checker.h"
#include "demo/demo_data.h"
#include "demo/demo_orders.h"
#include "demo/demo_payouts.h"
#include "demo/demo_quotations.h"
#include "documents/derived_form_window.h"
#include "documents/order_form_list_window.h"
#include "documents/order_form_window.h"
#include "documents/order_goods_window.h"
#include "documents/payout_edit_window.h"
#include "documents/payout_list.h"
#include "documents/payout_list_window.h"
#include "documents/quotation_edit_window.h"
#include "documents/quotation_list_window.h"
#include "documents/receipt_window.h"
#include "master/customer_price_window.h"
#include "master/goods_catalog.h"
#include "master/goods_edit_window.h"
#include "master/goods_list_window.h"
#include "master/partner_directory.h"
#include "master/partner_edit_window.h"
#include "master/partner_list_window.h"
#include "master/refusal.h"
#include "master/units_window.h"
#include "reports/statistics_window.h"
#include "shell/main_window.h"
#include "shell/program_windows.h"
#include "shell/users_window.h"
#include "support/ctl_call.h"
#include "support/test_books.h"
#include "ui/data_grid.h"
#include "ui/grid_model.h"

// Every controlled command of every window and every olvendctl command that touches the book, run
// without any right: each is refused before it changes anything, and every controlled command is reached.
class TestRightsWalk : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        m_program = std::make_unique<TestBooks::TestProgram>(true);
        m_program->openAsAdministrator();
        context().clock().setToday(QDate(2006, 6, 25));
        DemoData::fill(context(), {5, 3, 10, 0});
        DemoQuotations::fill(context(), 3);
        DemoOrders::fill(context(), 2);
        DemoPayouts::fill(context(), 4);
        db().execute(
            "insert into Sys_user (User_name, User_Group, type) values ('无权组', '0', 0), ('店员', '无权组', 1)");
        db().execute("delete from Sys_user_Operation where User_name='无权组'");
        context().CurrentUser = {"店员", "", "无权组"};
        prompter().answerUnscripted(true, QStringLiteral("走查"));
    }
    void everyControlledCommandIsRefusedWithoutTheRight() {
        AppContext& c = context();
        {
            MainWindow w(c);
            // A refused bar button leaves the page and the bar as they were.
            const int page = w.pages()->currentIndex();
            prompter().clear();
            w.barClick(2);
            QCOMPARE(prompter().lastText(), PermissionChecker::refusalText());
            QCOMPARE(w.pages()->currentIndex(), page);
            QCOMPARE(w.bar().state(2), BarState::Normal);
            walk("main_frm", w.actions());
        }
        walkAndClick(UsersWindow(c), "Sys_User_Operation_Frm");
        walkAndClick(CodeListWindow(c), "Sys_TableFieldStatus_frm");
        walkAndClick(CompanyInfoWindow(c), "SYS_CurrCorpInfo_Frm");
        walkAndClick(shown(UnitsWindow(c)), "base_unit_frm");
        for (const PartnerSide* side :
             {&PartnerSide::customers(), &PartnerSide::suppliers(), &PartnerSide::orderCustomers()}) {
            walkAndClick(shown(PartnerListWindow(c, *side)));
            PartnerDirectory directory(db(), c.clock(), c.prompter(), *side);
            directory.open();
            directory.records().first();
            walkAndClick(PartnerEditWindow(c, directory));
        }
        {
            GoodsListWindow list(c);
            list.show();
            walkAndClick(list, "base_goods_frm");
            QCOMPARE(list.grid()->model()->columnOf("purchase_price"), -1);  // no purchase price
            QVERIFY(list.grid()->model()->columnOf("Default_price") >= 0);
            GoodsCatalog catalog(c);
            catalog.open();
            catalog.goods().first();
            walkAndClick(GoodsEditWindow(c, catalog, GoodsEditor::Existing), "frm_Goods_edit");
        }
        db().execute("insert into Client (Corp_code, Corp_name, GroupClass) values ('C900', '试', 1)");
        {
            CustomerPriceWindow w(c, false, "C900");
            QVERIFY(w.load());
            walkAndClick(w, "Base_CustomerPrice_Frm");
        }
        const QString billNo = db().scalar("select min(BillNo) from Quotation_Head").toString();
        QVERIFY(!billNo.isEmpty());
        {
            QuotationListWindow list(c);
            list.show();
            walkAndClick(list, "Form_Quotation_List");
            QuotationEditWindow edit(c, QuotationDocument::Existing, billNo);
            walkAndClick(edit, "Form_Quotation_Edit");
            // Without the cost right no purchase order button shows (the cost columns: TestQuotationWindows).
            QVERIFY(visibleButtonTexts(&list).contains("单据生效"));
            QVERIFY(!(visibleButtonTexts(&list) + visibleButtonTexts(&edit)).contains("打印采购单"));
            m_reached.insert((QStringLiteral("main_frm.") + CostProfitRight::actionName()).toLower());
            walkAndClick(ReceiptWindow(c, billNo), "Form_Receipt");
        }
        {
            const QString code = db().scalar("select min(Order_Form_Code) from Dusmere_Order_Form_head").toString();
            QVERIFY(!code.isEmpty());
            OrderFormWindow order(c, OrderFormDocument::Existing, code);
            walkAndClick(order, "frm_GainBill");
            walkAndClick(OrderGoodsWindow(c, order.document(), OrderGoodsEditor::Existing),
                         "Dusmere_Order_Form_GoodsEdit_Frm");
        }
        walkAndClick(shown(OrderFormListWindow(c)), "frm_GainBill_list");
        for (const auto kind : {DerivedFormList::Kind::WorkForm, DerivedFormList::Kind::WareOutForm,
                                DerivedFormList::Kind::ShipmentForm}) {
            walkAndClick(shown(DerivedFormWindow(c, kind)));
        }
        walkAndClick(shown(PayoutListWindow(c, 0)), "frm_payout");
        PayoutList payouts(db(), c.prompter(), 0);
        payouts.open();
        payouts.rows().first();
        walkAndClick(PayoutEditWindow(c, payouts, PayoutEditor::Existing), "frm_payout_edit");
        walkOlvendctl();
        QVERIFY2(m_notRegistered.isEmpty(), qPrintable(m_notRegistered.join(", ")));
        QVERIFY2(m_unguardedWrites.isEmpty(), qPrintable(m_unguardedWrites.join(", ")));
        QCOMPARE(int(m_reached.size()),
                 db().scalar("select count(*) from Sys_Operation_Table where isControl=1").toInt());
        // With the statistics entries but not the cost right: 利润统计 does not open, income reads no costs.
        db().execute(
            "insert into Sys_user_Operation (User_name, Action_id) select '无权组', id from Sys_Operation_Table where "
            "LOWER(Form_Name)='main_frm' and LOWER(Action_Name) in ('action9', 'action11')");
        QCOMPARE(refusal([&] { ProgramWindows::table().open(c, "Report_Dusmere_gain_frm", 0, nullptr); }),
                 PermissionChecker::refusalText());
        StatisticsWindow income(c, StatisticsReport::Kind::Income);
        income.run();
        QVERIFY(income.rows().fieldIndex("Total_Price") >= 0);
        for (const QString& cost : CostProfitRight::quotationCostColumns()) {
            QCOMPARE(income.rows().fieldIndex(cost), -1);
        }
    }

private:
    Database& db() { return m_program->context().data().main(); }
    AppContext& context() { return m_program->context(); }
    ScriptedPrompter& prompter() { return m_program->prompter(); }
    qint64 changes() { return db().scalar("select total_changes()").toLongLong(); }
    // Runs each controlled command of the window as its button or menu would.
    void walk(const QString& form, ActionManager& actions) {
        QStringList names;
        QSqlQuery q =
            db().query("select Action_Name from Sys_Operation_Table where LOWER(Form_Name)=:f and isControl=1",
                       {{"f", form.toLower()}});
        while (q.next()) {
            names << q.value(0).toString();
        }
        QVERIFY2(!names.isEmpty(), qPrintable(form));
        for (const QString& name : names) {
            // The cost right hides columns, it is no command.
            if ((form + '.' + name).compare("main_frm." + CostProfitRight::actionName(), Qt::CaseInsensitive) == 0) {
                continue;
            }
            QAction* action = actions.action(name);
            if (!action) {
                m_notRegistered << form + '.' + name;
                continue;
            }
            prompter().clear();
            const qint64 before = changes();
            const QString what = form + '.' + name;
            const bool enabled = action->isEnabled();  // a disabled command cannot run at all
            action->trigger();
            const QStringList said = prompter().texts();
            QVERIFY2(enabled ? said.value(0) == PermissionChecker::refusalText() : said.isEmpty(),
                     qPrintable(what + " said " + said.join(", ")));
            QVERIFY2(changes() == before, qPrintable(what + " wrote to the book"));
            m_reached.insert(what.toLower());
        }
    }
    // Clicks every button, every question answered Yes, every modal closed again: none may write.
    void clickAll(QWidget* window, const QString& form) {
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                popup->close();
            }
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        });
        closer.start(10);
        const QList<QAbstractButton*> buttons = window->findChildren<QAbstractButton*>();
        for (QAbstractButton* b : buttons) {
            if (!b->isEnabled() || !b->isVisibleTo(window) || b->text().isEmpty()) {
                continue;
            }
            const qint64 before = changes();
            prompter().clear();
            b->click();
            if (changes() != before) {
                m_unguardedWrites << form + ':' + b->text();
            }
        }
    }
    template <class Window>
    void walkAndClick(Window&& window, const QString& form = {}) {
        walk(form.isEmpty() ? window.objectName() : form, window.actions());
        clickAll(&window, form.isEmpty() ? window.objectName() : form);
    }
    template <class Window>
    static Window&& shown(Window&& window) {
        window.show();
        return std::forward<Window>(window);
    }
    void walkOlvendctl() {
        const QString folder = m_program->folder();
        const QString billNo = db().scalar("select min(BillNo) from Quotation_Head").toString();
        const QString receipt = db().scalar("select min(BillNo) from Receipt_Head").toString();
        const QString order = db().scalar("select min(Order_Form_Code) from Dusmere_Order_Form_head").toString();
        const QString customer = db().scalar("select min(Corp_code) from Client").toString();
        QVERIFY(!billNo.isEmpty() && !receipt.isEmpty() && !order.isEmpty() && !customer.isEmpty());
        const QString out = folder + QStringLiteral("/walk-out");
        const QString in = folder + QStringLiteral("/walk-in");
        QFile input(in);
        QVERIFY(input.open(QIODevice::WriteOnly) && input.write("{}\n") == 3);
        input.close();
        // @-words stand for the records and files above.
        const QHash<QString, QString> fill{
            {"@in", in},       {"@bill", billNo},       {"@receipt", receipt},
            {"@order", order}, {"@customer", customer}, {"@sql", "select * from payout"}};
        QList<QStringList> commands;
        for (const QString& line :
             QStringLiteral(
                 "next-code Quotation_Head BillNo|next-code payout subject --propose|import customers @in|"
                 "import suppliers @in|import goods @in --check|import order-customers @in|export customers @out.csv|"
                 "export suppliers @out.csv|export goods @out.xlsx|export order-customers @out.xlsx|"
                 "backup --out @out.db|restore --from @in|report Korvan_TongJi_ZhiChu.zrm --sql @sql --out @out.pdf|"
                 "print quotation @bill --out @out.pdf|print warning @bill --out @out.pdf|"
                 "print purchase @bill --out @out.pdf|print receipt @receipt --out @out.htm|"
                 "print order @order --out @out.htm|print prices @customer --out @out.pdf|"
                 "demo --customers 1 --quotations 1 --orders 1 --payouts 1|quotation new @in|quotation show @bill|"
                 "quotation delete @bill|quotation state @bill 0|receipts @bill|order new @in|order show @order|"
                 "order delete @order|order generate work @order --yes|order generate wareout @order --yes|"
                 "order generate shipment @order --yes|payout add 0 2006-06-25 5|payout list 4|"
                 "stats income --out @out.tsv|stats payout --out @out.xlsx|stats profit --out @out.pdf|prices show|"
                 "statement @customer --out @out.pdf|receivables --out @out.tsv|"
                 "prices show @customer|prices set @customer All_Remark=走查|prices reset @customer")
                 .split('|')) {
            QStringList args = line.split(' ');
            for (QString& a : args) {
                a = a.startsWith("@out") ? out + a.mid(4) : fill.value(a, a);
            }
            commands << args;
        }
        m_reached << "olvendctl.action_issuecode"
                  << "olvendctl.action_queryreport";
        // Commands that read and write no business data (use-server: the program folder's settings, as init).
        const QSet<QString> bookless{"init",   "books",      "check-permission", "login",     "create-book",
                                     "render", "unscramble", "scramble",         "use-server"};
        // The commands the usage names, with their lower-case sub-command.
        QSet<QString> named;
        static const QRegularExpression line(QStringLiteral("^  ([a-z-]+)(?: ([a-z|-]+)(?= |$))?"),
                                             QRegularExpression::MultilineOption);
        const CtlCall::Result usage = CtlCall::run(folder, {}, {});
        QCOMPARE(usage.code, 2);
        for (auto m = line.globalMatch(usage.err); m.hasNext();) {
            const QRegularExpressionMatch match = m.next();
            named.insert((match.captured(1) + ' ' + match.captured(2)).trimmed());
        }
        QSet<QString> walked;
        for (const QStringList& args : commands) {
            const QString what = args.join(' ');
            const QByteArray before = fingerprint();
            const CtlCall::Result r = CtlCall::run(folder, {}, QStringList{"--user", "店员"} + args);
            QVERIFY2(r.code == 3,
                     qPrintable(QStringLiteral("%1: exit %2, %3%4").arg(what).arg(r.code).arg(r.out, r.err)));
            QVERIFY2((r.out + r.err).contains(PermissionChecker::refusalText()), qPrintable(what));
            QVERIFY2(fingerprint() == before, qPrintable(what + " changed the book"));
            for (const char* ext : {".pdf", ".htm", ".tsv", ".xlsx", ".csv", ".db"}) {
                QVERIFY2(!QFile::exists(out + ext), qPrintable(what + " wrote " + ext));
            }
            QString usageLine = args[0];
            for (const QString& n : named) {
                if (n.section(' ', 0, 0) == args[0] && n.section(' ', 1).split('|').contains(args.value(1))) {
                    usageLine = n;
                }
            }
            walked.insert(usageLine);
        }
        // A command added to olvendctl is walked or said to touch no book.
        const QStringList unwalked = (named - bookless - walked).values();
        QVERIFY2(unwalked.isEmpty(), qPrintable("not walked: " + unwalked.join(", ")));
        const QStringList unknown = (walked - named).values();
        QVERIFY2(unknown.isEmpty(), qPrintable("not in the usage: " + unknown.join(", ")));
    }
    QByteArray fingerprint() {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        QStringList tables = db().tableNames();
        tables.sort();
        for (const QString& table : tables) {
            hash.addData(table.toUtf8());
            QSqlQuery q = db().query(QStringLiteral("select * from %1").arg(table));
            const int columns = q.record().count();
            while (q.next()) {
                for (int c = 0; c < columns; ++c) {
                    hash.addData(q.value(c).toString().toUtf8().append('\x1f'));
                }
                hash.addData(QByteArrayView("\n"));
            }
        }
        return hash.result();
    }
    static QStringList visibleButtonTexts(QWidget* window) {
        QStringList out;
        for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
            if (b->isVisibleTo(window)) {
                out << b->text();
            }
        }
        return out;
    }
    std::unique_ptr<TestBooks::TestProgram> m_program;
    QSet<QString> m_reached;        // form.action, lower case
    QStringList m_notRegistered;    // listed, but the window has no such command
    QStringList m_unguardedWrites;  // form: button that wrote
};

QTEST_MAIN(TestRightsWalk)
#include "test_rights_walk.moc"
