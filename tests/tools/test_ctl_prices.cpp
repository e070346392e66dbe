#include <QFile>
#include <QTest>

#include "data/data_module.h"
#include "documents/document_fixture.h"
#include "support/ctl_book.h"
#include "support/test_books.h"

using namespace DocumentFixture;

// The price table commands of olvendctl, run as a user would, on both
// engines.
class TestCtlPrices : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void showSetAndReset();
    void refusedValuesWriteNothing_data();
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
    // The name=value lines of a show, by name.
    QMap<QString, QString> show(const QStringList& customer = {}) {
        const Result r = ctl(QStringList{"prices", "show"} + customer);
        QMap<QString, QString> out;
        if (r.code != 0) {
            qWarning("%s", qPrintable(r.err));
            return out;
        }
        for (const QString& line : r.out.split('\n', Qt::SkipEmptyParts)) {
            out.insert(line.section('=', 0, 0), line.section('=', 1));
        }
        return out;
    }
};
}  // namespace

void TestCtlPrices::showSetAndReset() {
    Program p;
    Database& db = p.db();
    // The standard table: every field, in the table's order.
    const Result standard = p.ctl({"prices", "show"});
    QCOMPARE(standard.code, 0);
    const QStringList lines = standard.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + 29 + 6);  // Corp_code, the cells, the remarks
    QCOMPARE(lines[0], QString("Corp_code="));
    QCOMPARE(lines[1], QString("A101=0"));
    QCOMPARE(lines.last(), QString("All_Remark="));

    const Result set = p.ctl({"prices", "set", "A101=1,200", "d204=7", "All_Remark=报价\n三十天有效"});
    QCOMPARE(set.err, QString());
    QCOMPARE(set.code, 0);
    QCOMPARE(set.out.trimmed(), QString("保存成功"));
    QCOMPARE(db.scalar("select A101 from base_Dusmere_Price_Table").toInt(), 1200);
    QCOMPARE(p.show().value("All_Remark"), QString("报价\\n三十天有效"));

    // A customer's first show makes its table from the standard one.
    QMap<QString, QString> c1 = p.show({"C001"});
    QCOMPARE(c1.value("Corp_code"), QString("C001"));
    QCOMPARE(c1.value("A101"), QString("1200"));
    QCOMPARE(db.scalar("select Corp_code from base_Dusmere_Price_Table").toString(), QString("C001"));
    QCOMPARE(p.ctl({"prices", "set", "C001", "A101=999999999999999999", "B203="}).code, 0);
    c1 = p.show({"C001"});
    QCOMPARE(c1.value("A101"), QString("999999999999999999"));
    QCOMPARE(c1.value("B203"), QString());
    QCOMPARE(count(db, "select count(*) from base_Dusmere_Customer_price_Table"), 1);

    // Reset: the standard prices again, shown.
    const Result reset = p.ctl({"prices", "reset", "C001"});
    QCOMPARE(reset.code, 0);
    QVERIFY(reset.out.contains("\nA101=1200\n"));
    QCOMPARE(db.scalar("select A101 from base_Dusmere_Customer_price_Table").toInt(), 1200);
    QCOMPARE(count(db, "select count(*) from base_Dusmere_Customer_price_Table"), 1);

    // Reset of a customer without a table gives it one.
    const Result fresh = p.ctl({"prices", "reset", "C002"});
    QCOMPARE(fresh.code, 0);
    QVERIFY(fresh.out.startsWith("Corp_code=C002\n"));
    QCOMPARE(count(db, "select count(*) from base_Dusmere_Customer_price_Table where Corp_code='C002'"), 1);

    // Wrong use, and customers that are not there.
    QCOMPARE(p.ctl({"prices"}).code, 2);
    QCOMPARE(p.ctl({"prices", "reset"}).code, 2);
    QCOMPARE(p.ctl({"prices", "set", "C001"}).code, 2);
    QCOMPARE(p.ctl({"prices", "show", "C001", "C002"}).code, 2);
    const Result missing = p.ctl({"prices", "show", "C404"});
    QCOMPARE(missing.code, 1);
    QVERIFY(missing.err.contains("C404"));
    QCOMPARE(count(db, "select count(*) from base_Dusmere_Customer_price_Table where Corp_code='C404'"), 0);
    const Result noReset = p.ctl({"prices", "reset", "C404"});
    QCOMPARE(noReset.code, 1);
    QCOMPARE(noReset.err.trimmed(), QString("找不到客户[C404]"));
    QCOMPARE(count(db, "select count(*) from base_Dusmere_Customer_price_Table where Corp_code='C404'"), 0);
}

void TestCtlPrices::refusedValuesWriteNothing_data() {
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QString>("said");
    QTest::newRow("letters") << QStringList{"A101=5", "A102=abc"} << "单价[A102]只能填写数字";
    QTest::newRow("too many digits") << QStringList{"A101=5", "E203=1234567890123456789"}
                                     << "单价[E203]不能超过18位数字";
    QTest::newRow("fraction") << QStringList{"A101=5", "B101=0.5"} << "单价[B101]只能是整数";
    QTest::newRow("negative") << QStringList{"A101=5", "B101=-2"} << "单价[B101]不能是负数";
    QTest::newRow("unknown field") << QStringList{"A101=5", "F101=1"} << "单价表没有[F101]这一项";
    QTest::newRow("Corp_code is not a field") << QStringList{"Corp_code=C002"} << "单价表没有[Corp_code]这一项";
    QTest::newRow("field twice") << QStringList{"A101=5", "a101=6"} << "[A101]写了两次";
    QTest::newRow("control character") << QStringList{"A101=5", QString("A_Remark=x") + QChar(0x1b)}
                                       << "说明中不能有控制字符";
}

void TestCtlPrices::refusedValuesWriteNothing() {
    QFETCH(QStringList, assignments);
    QFETCH(QString, said);
    Program p;
    // C002 has no table yet: a refused set does not make one either.
    for (const char* customer : {"C001", "C002"}) {
        if (customer == QString("C001")) {
            QCOMPARE(p.ctl({"prices", "show", "C001"}).code, 0);
        }
        const Result r = p.ctl(QStringList{"prices", "set", customer} + assignments);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err.trimmed(), said);
        QCOMPARE(r.out, QString());
    }
    QCOMPARE(p.db().scalar("select A101 from base_Dusmere_Customer_price_Table").toInt(), 0);
    QCOMPARE(count(p.db(), "select count(*) from base_Dusmere_Customer_price_Table"), 1);
    QCOMPARE(p.db().scalar("select Corp_code from base_Dusmere_Price_Table").toString(), QString("C001"));
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
    QCOMPARE(p.ctl(as + QStringList{"prices", "show"}).code, 3);
    QCOMPARE(p.ctl(as + QStringList{"prices", "show", "C001"}).code, 3);
    QCOMPARE(count(db, "select count(*) from base_Dusmere_Customer_price_Table"), 0);
    grant("main_frm", "Action14");
    grant("Form_Client_List", "Action_CustomerPrice");
    QCOMPARE(p.ctl(as + QStringList{"prices", "show"}).code, 0);
    QCOMPARE(p.ctl(as + QStringList{"prices", "set", "A101=5"}).code, 3);
    QCOMPARE(p.ctl(as + QStringList{"prices", "reset", "C001"}).code, 3);
    QCOMPARE(p.ctl(as + QStringList{"prices", "set", "C002", "A101=5"}).code, 3);
    QCOMPARE(p.ctl(as + QStringList{"print", "prices", "--out", p.program.folder() + "/p.pdf"}).code, 3);
    QCOMPARE(db.scalar("select A101 from base_Dusmere_Price_Table").toInt(), 0);
    // The refused commands made no table and stamped nothing.
    QCOMPARE(count(db, "select count(*) from base_Dusmere_Customer_price_Table"), 0);
    QCOMPARE(db.scalar("select Corp_code from base_Dusmere_Price_Table").toString(), QString(""));
    QVERIFY(!QFile::exists(p.program.folder() + "/p.pdf"));
    grant("Base_CustomerPrice_Frm", "Action_save");
    QCOMPARE(p.ctl(as + QStringList{"prices", "set", "A101=5"}).code, 0);
    QCOMPARE(db.scalar("select A101 from base_Dusmere_Price_Table").toInt(), 5);
}

void TestCtlPrices::printsOneSheetPerCustomer() {
    Program p;
    QCOMPARE(p.ctl({"prices", "set", "C002", "A101=88"}).code, 0);
    const QString pdf = p.program.folder() + "/sheets.pdf";
    const Result two = p.ctl({"print", "prices", "C001", "C002", "--out", pdf});
    QCOMPARE(two.err, QString());
    QCOMPARE(two.code, 0);
    QCOMPARE(two.out.trimmed(), QString("2"));  // pages
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(5) == "%PDF-");

    const Result standard = p.ctl({"print", "prices", "--out", p.program.folder() + "/standard.pdf"});
    QCOMPARE(standard.code, 0);
    QCOMPARE(standard.out.trimmed(), QString("1"));

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
