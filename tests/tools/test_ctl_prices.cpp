#include <QFile>
#include <QTest>

#include "data/data_module.h"
#include "support/golden.h"
#include "tools/ctl_book.h"

namespace {
struct Program : CtlBook {
    Program() {
        db().execute(
            "insert into Client (Corp_code, Corp_name, GroupClass) values ('C001', '远东酒店', 1), "
            "('C002', '长城饭店', 1)");
    }
    int cell(const QString& table) { return db().scalar("select A101 from " + table).toInt(); }
    int tables() { return CtlBooks::rows(db(), "base_Dusmere_Customer_price_Table"); }
};
}  // namespace

// The price table commands of olvendctl on both engines: arguments, outputs and rights (the rules: TestPriceTables).
class TestCtlPrices : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void showSetAndReset() {
        Program p;
        QCOMPARE(p.run({"prices", "set", "A101=1,200", "d204=7", "All_Remark=报价\n三十天有效"}),
                 QString("$ prices set A101=1,200 d204=7 All_Remark=报价\n三十天有效\nexit 0\n> 保存成功\n"));
        QCOMPARE(p.cell("base_Dusmere_Price_Table"), 1200);
        // The standard table: every field as name=value, in the table's order.
        const CtlCall::Result standard = p.ctl({"prices", "show"});
        QCOMPARE(standard.code, 0);
        OLVEND_COMPARE_GOLDEN("tools/prices_show.txt", standard.out);
        // A customer's first show makes its table from the standard one.
        QVERIFY(p.ctl({"prices", "show", "C001"}).out.startsWith("Corp_code=C001\nA101=1200\n"));
        QCOMPARE(p.ctl({"prices", "set", "C001", "A101=5", "B203="}).code, 0);
        QCOMPARE(p.cell("base_Dusmere_Customer_price_Table"), 5);
        const CtlCall::Result reset = p.ctl({"prices", "reset", "C001"});
        QVERIFY2(reset.code == 0 && reset.out.startsWith("Corp_code=C001\nA101=1200\n"), qPrintable(reset.err));
        // One page per customer's sheet.
        const QString pdf = p.folder() + "/sheets.pdf";
        QCOMPARE(p.run({"print", "prices", "C001", "C002", "--out", pdf}),
                 QString("$ print prices C001 C002 --out <home>/sheets.pdf\nexit 0\n> 2\n= written\n"));
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-");
    }
    // A refused assignment writes nothing, not even the table of a customer who has none yet: the command's own
    // refusals, one of the cells', unknown customers, wrong use. The messages are in the golden file.
    void refusalsWriteNothing() {
        Program p;
        QCOMPARE(p.ctl({"prices", "show", "C001"}).code, 0);
        const QStringList before = p.state();
        const QString log = p.runAll(
            {"prices set C001 A101=5 A102=abc", "prices set C002 A101=5 A102=abc", "prices set C001 A101=5 F101=1",
             "prices set C002 A101=5 F101=1", "prices set C001 A101=5 a101=6", "prices set C002 A101=5 a101=6",
             "prices show C404", "prices reset C404", "print prices C001 C404 --out <home>/none.pdf", "prices set C001",
             "prices show C001 C002", "print prices C001"});
        QCOMPARE(p.state(), before);
        OLVEND_COMPARE_GOLDEN("tools/prices_refusals.txt", log);
        QCOMPARE(p.cell("base_Dusmere_Customer_price_Table"), 0);
        QCOMPARE(p.tables(), 1);
    }
    // Showing takes the main window's price entry or the customers' price button; setting, resetting and printing the
    // price window's command too.
    void commandsNeedTheirRights() {
        Program p;
        const QString standard = "main_frm/Action14", customer = "Form_Client_List/Action_CustomerPrice";
        const QString window = "Base_CustomerPrice_Frm/";
        const struct {
            QStringList args;
            QStringList rights;
        } cases[] = {{{"prices", "show"}, {standard}},
                     {{"prices", "show", "C001"}, {customer}},
                     {{"prices", "set", "A101=5"}, {standard, window + "Action_save"}},
                     {{"prices", "set", "C002", "A101=5"}, {customer, window + "Action_save"}},
                     {{"prices", "reset", "C001"}, {customer, window + "Action_SetAsDefault"}},
                     {{"print", "prices", "--out", p.folder() + "/p.pdf"}, {window + "Action_Print"}}};
        for (const auto& c : cases) {
            QCOMPARE(p.needsEach(c.rights, c.args), QStringList());
        }
        QCOMPARE(p.cell("base_Dusmere_Price_Table"), 5);
    }
};

QTEST_MAIN(TestCtlPrices)
#include "test_ctl_prices.moc"
