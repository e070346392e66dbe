#include <QTest>

#include "book_checks.h"
#include "data/dataset.h"
#include "data/name_initials.h"
#include "data/schema_installer.h"
#include "master/record_finder.h"
#include "support/test_books.h"

using BookChecks::rows;
using TestBooks::FreshBook;

namespace {
void goods(Database& db, const QString& code, const QString& name) {
    db.query("insert into goods (code, Goods_name, Goods_unit) values (:c, :n, 'UN001')", {{"c", code}, {"n", name}});
}

QStringList codesFound(Database& db, const QString& text, int most = 20) {
    QStringList out;
    for (const QStringList& row : RecordFinder(db, RecordFinder::goods()).find(text, most)) {
        out << row.first();
    }
    return out;
}
}  // namespace

// The pinyin initials kept with goods, customers and suppliers, and the
// matches found through them, on both engines.
class TestNameInitials : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    // Every name's readings, the customary one first, cut at whole words.
    void valuesHoldEveryReading() {
        QCOMPARE(NameInitials::valueOf({"中空玻璃"}), QString("zkbl"));
        QCOMPARE(NameInitials::valueOf({"长城", "长城"}), QString("zc cc"));
        QCOMPARE(NameInitials::valueOf({"", QString()}), QString());
        QCOMPARE(NameInitials::typed(" Z k2 "), QString("zk2"));
        for (const char* notInitials : {"中k", "100", "zk%", "z-k", "ｚｋ"}) {
            QCOMPARE(NameInitials::typed(QString::fromUtf8(notInitials)), QString());
        }
        const QString many = NameInitials::valueOf({QString("长").repeated(40), QString("重").repeated(40)});
        QVERIFY(many.size() <= NameInitials::kWidth && !many.endsWith(' ') &&
                many.startsWith(QString("z").repeated(40)));
        // A word that fills the column is kept; one that would pass it is not.
        QCOMPARE(NameInitials::valueOf({QString(NameInitials::kWidth, 'a')}).size(), NameInitials::kWidth);
        QCOMPARE(NameInitials::valueOf({QString(NameInitials::kWidth + 1, 'a'), "中"}), QString("z"));
        QVERIFY(NameInitials::matches("zkbl zcbl", "zc") && NameInitials::matches("zkbl zcbl", "zk") &&
                !NameInitials::matches("zkbl zcbl", "kb") && !NameInitials::matches("zkbl", ""));
    }

    // A book of the version before gets the column, its index and every
    // record's initials; a write through a dataset keeps them, with or
    // without the column among its fields.
    void upgradeFillsAndWritesKeep() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        db.query("DROP VIEW Query_Goods_With_Corp_Unit");  // made of every goods column
        for (const NameInitials::Source& s : NameInitials::sources()) {
            db.query(QString("DROP INDEX IF EXISTS ix_%1_initials").arg(s.table.toLower()));
            db.query(QString("DROP INDEX IF EXISTS ix_%1_code_bytes").arg(s.table.toLower()));
            db.query(QString("DROP INDEX IF EXISTS ix_%1_name_code").arg(s.table.toLower()));
            db.query(QString("ALTER TABLE %1 DROP COLUMN Name_Initials").arg(s.table));
        }
        db.forgetColumns();
        db.query("update schema_version set version=9");
        goods(db, "SP1", "中空玻璃");
        db.query("insert into Client (Corp_code, Linkman_name, Corp_name) values ('00001', '张芳', '长城酒楼')");
        db.query("insert into Provider (Corp_code, provider_name) values ('P1', '王强')");
        db.query(
            "insert into customer_provider (corp_code, Corp_name, boss_name) values ('00005', '佛山酒店', '李娜')");
        SchemaInstaller::ensureBook(db, false);
        QCOMPARE(rows(db, "select Name_Initials from goods") + '|' + rows(db, "select Name_Initials from Client") +
                     '|' + rows(db, "select Name_Initials from Provider") + '|' +
                     rows(db, "select Name_Initials from customer_provider"),
                 QString("zkbl|zf zcjl ccjl|wq wj yq yj|fsjd ln bsjd"));
        const QString indexes =
            db.isAccess() ? rows(db, "select count(*) from sqlite_master where type='index' and name like '%_initials'")
                          : rows(db,
                                 "select count(*) from pg_indexes where schemaname=current_schema() and "
                                 "indexname like '%_initials'");
        QCOMPARE(indexes, QString("4"));
        QCOMPARE(rows(db, "select Name_Initials, Unit_name from Query_Goods_With_Corp_Unit"), QString("zkbl,个"));

        Dataset all(db);
        all.setUpdateTable("goods");
        all.open("select * from goods order by code");
        all.edit();
        all.setValue("Goods_name", "不锈钢");
        all.append();
        all.setValue("code", "SP2");
        all.setValue("Goods_name", "滑轮");
        all.applyUpdates();
        QCOMPARE(rows(db, "select code, Name_Initials from goods order by code"), QString("SP1,bxg fxg|SP2,hl gl"));
        QCOMPARE(all.value(0, "Name_Initials").toString(), QString("bxg fxg"));
        // Saved again unchanged: what the dataset holds is what is stored.
        all.first();
        all.edit();
        all.setValue("remark", "x");
        all.applyUpdates();

        // Without the names: initials as they were.
        Dataset some(db);
        some.setUpdateTable("goods", {"code"});
        some.open("select code, remark from goods where code='SP1'");
        some.edit();
        some.setValue("remark", "y");
        some.applyUpdates();
        QCOMPARE(rows(db, "select Name_Initials from goods where code='SP1'"), QString("bxg fxg"));
        // With the initials and one of two names: the other as stored.
        Dataset client(db);
        client.setUpdateTable("Client", {"Corp_code"});
        client.open("select Corp_code, Corp_name, Name_Initials from Client");
        client.edit();
        client.setValue("Corp_name", "海景酒楼");
        client.applyUpdates();
        QCOMPARE(rows(db, "select Name_Initials from Client"), QString("zf hjjl hyjl"));
        QCOMPARE(client.value(0, "Name_Initials").toString(), QString("zf hjjl hyjl"));
        client.edit();
        client.setValue("Corp_name", "海景大酒楼");  // saved again: what it holds is what is stored
        client.applyUpdates();
        Dataset names(db);
        names.setUpdateTable("goods", {"code"});
        names.open("select code, Goods_name from goods where code='SP2'");
        names.edit();
        names.setValue("Goods_name", "地漏");
        names.applyUpdates();
        names.append();
        names.setValue("code", "SP3");
        names.setValue("Goods_name", "执手");
        names.applyUpdates();
        QCOMPARE(rows(db, "select code, Name_Initials from goods order by code"), QString("SP1,bxg fxg|SP2,dl|SP3,zs"));
        QCOMPARE(NameInitials::fillMissing(db), 0);
    }

    // Best first: the exact code in any case, codes beginning with the
    // text, the customary initials, other readings, names containing it.
    void matchesComeBestFirst() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        goods(db, "G01", "中空玻璃");
        goods(db, "ZK", "玻璃胶");
        goods(db, "ZK2", "胶条");
        goods(db, "X1", "zk专用");
        goods(db, "X2", "长柄zk");  // 长 is z, also c: zbzk cbzk
        goods(db, "X3", "中空");
        goods(db, "X4", "密封条zk%");
        goods(db, "AB_1", "把手");
        goods(db, "ABC1", "百叶");
        goods(db, "Y1", "把手b_c");
        goods(db, "Y2", "把手bxc");
        NameInitials::fillMissing(db);
        QCOMPARE(codesFound(db, "zk").join(' '), QString("ZK ZK2 G01 X1 X3 X2 X4"));
        QCOMPARE(codesFound(db, "zk", 3).join(' '), QString("ZK ZK2 G01"));
        QCOMPARE(codesFound(db, "cb").join(' ') + '|' + codesFound(db, "zb").join(' '), QString("X2|X2"));
        QCOMPARE(codesFound(db, "%").join(' '), QString("X4"));
        QCOMPARE(codesFound(db, "ab_").join(' '), QString("AB_1"));
        QCOMPARE(codesFound(db, "b_c").join(' '), QString("Y1"));  // _ is no wildcard
        QCOMPARE(codesFound(db, "空玻").join(' '), QString("G01"));
        QCOMPARE(codesFound(db, "   ").join(' '), QString());
        db.query("update goods set Default_price=12.5 where code='ZK'");
        QCOMPARE(RecordFinder(db, RecordFinder::goods()).find("g01").value(0).join('|'), QString("G01|中空玻璃||个|"));
        QCOMPARE(RecordFinder(db, RecordFinder::goods()).find("zk").value(0).join('|'), QString("ZK|玻璃胶||个|12.50"));
        db.query(
            "insert into Client (Corp_code, Linkman_name, Corp_name, LinkMan_Telephone) values "
            "('00001', '张芳', '武汉酒店', '027-1234'), ('00002', '陈强', '重庆饭店', '023-9')");
        NameInitials::fillMissing(db);
        QCOMPARE(RecordFinder(db, RecordFinder::customers()).find("1234").value(0).value(0), QString("00001"));
        QCOMPARE(RecordFinder(db, RecordFinder::customers()).find("cqfd").value(0).value(1), QString("陈强"));
    }
};

QTEST_MAIN(TestNameInitials)
#include "test_name_initials.moc"
