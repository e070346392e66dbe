#include <QFile>
#include <QTest>

#include "data/data_module.h"
#include "documents/document_fixture.h"
#include "support/ctl_book.h"
#include "support/golden.h"
#include "support/test_books.h"

using namespace DocumentFixture;

// The price table commands of olvendctl on both engines. What opening,
// saving and resetting a table do, and the cells' checks, are tested with
// PriceTable; here the commands' arguments, outputs and rights.
class TestCtlPrices : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void showSetAndReset();
    void refusedValuesWriteNothing();
    void commandsNeedTheirRights();
    void printsOneSheetPerCustomer();
};

namespace {
using Result = CtlCall::Result;

struct Program : CtlBook {
    Program() {
        db().execute(
            "insert into Client (Corp_code, Corp_name, GroupClass) values ('C001', '远东酒店', 1), "
            "('C002', '长城饭店', 1)");
    }
    int tables() { return count(db(), "select count(*) from base_Dusmere_Customer_price_Table"); }
};
}  // namespace

void TestCtlPrices::showSetAndReset() {
    Program p;
    Database& db = p.db();
    const Result set = p.ctl({"prices", "set", "A101=1,200", "d204=7", "All_Remark=报价\n三十天有效"});
    QCOMPARE(set.err, QString());
    QCOMPARE(set.code, 0);
    QCOMPARE(set.out.trimmed(), QString("保存成功"));
    QCOMPARE(db.scalar("select A101 from base_Dusmere_Price_Table").toInt(), 1200);
    // The standard table: every field as name=value, in the table's order.
    const Result standard = p.ctl({"prices", "show"});
    QCOMPARE(standard.code, 0);
    OLVEND_COMPARE_GOLDEN("tools/prices_show.txt", standard.out);

    // A customer's first show makes its table from the standard one.
    QVERIFY(p.ctl({"prices", "show", "C001"}).out.startsWith("Corp_code=C001\nA101=1200\n"));
    QCOMPARE(p.ctl({"prices", "set", "C001", "A101=5", "B203="}).code, 0);
    QCOMPARE(db.scalar("select A101 from base_Dusmere_Customer_price_Table").toInt(), 5);
    const Result reset = p.ctl({"prices", "reset", "C001"});
    QCOMPARE(reset.code, 0);
    QVERIFY(reset.out.startsWith("Corp_code=C001\nA101=1200\n"));
    QCOMPARE(p.tables(), 1);

    // Wrong use, and customers that are not there.
    for (const QStringList& args :
         {QStringList{"prices", "set", "C001"}, QStringList{"prices", "show", "C001", "C002"}}) {
        const Result r = p.ctl(args);
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.startsWith("usage: olvendctl"));
    }
    const Result missing = p.ctl({"prices", "show", "C404"});
    QCOMPARE(missing.code, 1);
    QVERIFY(missing.err.contains("C404"));
    const Result noReset = p.ctl({"prices", "reset", "C404"});
    QCOMPARE(noReset.code, 1);
    QCOMPARE(noReset.err.trimmed(), QString("找不到客户[C404]"));
    QCOMPARE(p.tables(), 1);
}

// A refused assignment writes nothing, also not the table of a customer
// who has none yet: the command's own refusals and one of the cells'.
void TestCtlPrices::refusedValuesWriteNothing() {
    Program p;
    QCOMPARE(p.ctl({"prices", "show", "C001"}).code, 0);
    for (const auto& [assignment, said] :
         {std::pair{"A102=abc", "单价[A102]只能填写数字"}, std::pair{"F101=1", "单价表没有[F101]这一项"},
          std::pair{"a101=6", "[A101]写了两次"}}) {
        for (const char* customer : {"C001", "C002"}) {
            const Result r = p.ctl({"prices", "set", customer, "A101=5", QLatin1String(assignment)});
            QCOMPARE(r.code, 1);
            QCOMPARE(r.err.trimmed(), QString::fromUtf8(said));
            QCOMPARE(r.out, QString());
        }
    }
    QCOMPARE(p.db().scalar("select A101 from base_Dusmere_Customer_price_Table").toInt(), 0);
    QCOMPARE(p.tables(), 1);
}

void TestCtlPrices::commandsNeedTheirRights() {
    Program p;
    Database& db = p.db();
    db.execute("insert into Sys_user (User_name, User_Group, type) values ('业务组', '0', 0), ('李四', '业务组', 1)");
    auto grant = [&db](const QString& form, const QString& action) {
        db.execute(
            "insert into Sys_user_Operation (User_name, Action_id) select '业务组', id from Sys_Operation_Table "
            "where LOWER(Form_Name)=:f and LOWER(Action_Name)=:a",
            {{"f", form.toLower()}, {"a", action.toLower()}});
    };
    const QStringList as{"--user", "李四"};
    // Showing takes the price entry of the main window and the customers'
    // price button; changing takes the price window's 保存 besides.
    grant("main_frm", "Action14");
    QCOMPARE(p.ctl(as + QStringList{"prices", "show", "C001"}).code, 3);
    grant("Form_Client_List", "Action_CustomerPrice");
    QCOMPARE(p.ctl(as + QStringList{"prices", "show"}).code, 0);
    for (const QStringList& args : {QStringList{"prices", "set", "A101=5"}, QStringList{"prices", "reset", "C001"},
                                    QStringList{"prices", "set", "C002", "A101=5"},
                                    QStringList{"print", "prices", "--out", p.program.folder() + "/p.pdf"}}) {
        QCOMPARE(p.ctl(as + args).code, 3);
    }
    // The refused commands made no table and stamped nothing.
    QCOMPARE(db.scalar("select A101 from base_Dusmere_Price_Table").toInt(), 0);
    QCOMPARE(p.tables(), 0);
    QCOMPARE(db.scalar("select Corp_code from base_Dusmere_Price_Table").toString(), QString(""));
    QVERIFY(!QFile::exists(p.program.folder() + "/p.pdf"));
    grant("Base_CustomerPrice_Frm", "Action_save");
    QCOMPARE(p.ctl(as + QStringList{"prices", "set", "A101=5"}).code, 0);
    QCOMPARE(db.scalar("select A101 from base_Dusmere_Price_Table").toInt(), 5);
}

void TestCtlPrices::printsOneSheetPerCustomer() {
    Program p;
    const QString pdf = p.program.folder() + "/sheets.pdf";
    const Result two = p.ctl({"print", "prices", "C001", "C002", "--out", pdf});
    QCOMPARE(two.err, QString());
    QCOMPARE(two.code, 0);
    QCOMPARE(two.out.trimmed(), QString("2"));  // pages
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(5) == "%PDF-");
    // An unknown customer: nothing written, the code named.
    const QString none = p.program.folder() + "/none.pdf";
    const Result missing = p.ctl({"print", "prices", "C001", "C404", "--out", none});
    QCOMPARE(missing.code, 1);
    QVERIFY(missing.err.contains("C404"));
    QVERIFY(!QFile::exists(none));
    QCOMPARE(p.ctl({"print", "prices", "C001"}).code, 2);
}

QTEST_MAIN(TestCtlPrices)
#include "test_ctl_prices.moc"
