#include <QTest>

#include "documents/document_fixture.h"
#include "master/partner_directory.h"
#include "master/refusal.h"
#include "platform/clock.h"
#include "support/test_books.h"

namespace {
// Root 1, 北京 (2) holding 朝阳 (4), and 上海 (3); customers 00001 in 3, 00002 and 00003 in 4.
struct Fixture {
    TestBooks::FreshBook book;
    Clock clock;
    ScriptedPrompter prompter;
    PartnerDirectory dir;
    explicit Fixture(const PartnerSide& side = PartnerSide::customers())
        : book(TestBooks::currentEngine()), dir(book.db(), clock, prompter, side) {
        if (side.recordTable == QLatin1String("Client")) {
            db().query(
                "insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('北京', 1, 0, 1), "
                "('上海', 1, 0, 1), ('朝阳', 2, 0, 1)");
            db().query(
                "insert into Client (Corp_code, Linkman_name, GroupClass) values ('00001', '张三', 3), "
                "('00002', '李四', 4), ('00003', '王五', 4)");
        }
        dir.open();
    }
    Database& db() { return book.db(); }
    int scalar(const QString& sql) { return db().scalar(sql).toInt(); }
};
}  // namespace

// The rules of the customer, supplier and order-customer books, on both engines.
class TestPartnerDirectory : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    void listingAddingAndPicking() {
        Fixture f;
        QCOMPARE(f.dir.records().rowCount(), 3);  // the root lists the records of 朝阳, two levels down
        QCOMPARE(f.dir.records().value(0, "Corp_code").toString(), QString("00003"));  // newest code first
        f.dir.pick(1);
        QCOMPARE(f.dir.chosenCode(), QString("00002"));
        f.dir.focusGroup(2);  // has a child group
        QVERIFY(f.dir.records().rowCount() == 0 && !f.dir.addRecord());
        QCOMPARE(f.prompter.lastText(), QString("只能在没有子类的客户类别里增加客户"));
        f.dir.focusGroup(3);
        // The counter passes the held codes; a cancelled code is gone.
        QVERIFY(f.dir.addRecord());
        f.dir.cancelRecord();
        QVERIFY(f.dir.addRecord());
        QCOMPARE(f.dir.records().value("Corp_code").toString(), QString("00005"));
        f.dir.records().setValue("Linkman_name", "赵六");
        f.dir.records().setValue("Corp_address", QString(255, QChar(0x6D77)));  // the column's length
        f.dir.saveRecord();
        QCOMPARE(f.scalar("select GroupClass from Client where Linkman_name='赵六'"), 3);
        f.dir.records().setValue("Corp_address", QString(256, QChar(0x6D77)));
        QVERIFY(refusal([&] { f.dir.saveRecord(); }).endsWith("]的内容太长，最多255个字符"));
        QCOMPARE(f.scalar("select length(Corp_address) from Client where Linkman_name='赵六'"), 255);
        // Closing with changes asks; No drops them.
        f.dir.records().setValue("Linkman_name", "改名");
        f.prompter.setNextAnswer(false);
        QVERIFY(!f.dir.closeRecord());
        QCOMPARE(f.scalar("select count(*) from Client where Linkman_name='改名'"), 0);
    }
    // Order customers: their own groups, the shared code counter, no deletion while an order names them.
    void orderCustomersAndTheOrdersNamingThem() {
        Fixture f(PartnerSide::orderCustomers());
        Database& db = f.db();
        db.query("insert into customer_group (Class_name, Parent_id, ico_no, CorpType) values ('酒楼', 1, 0, 1)");
        const QVariant group = db.scalar("select max(id) from customer_group");
        db.query("insert into Client (Corp_code, Linkman_name, GroupClass) values ('00001', '张三', 1)");
        f.dir.open();
        f.dir.focusGroup(group);
        QVERIFY(f.dir.addRecord());
        f.dir.records().setValue("Corp_name", "明珠酒楼");
        f.dir.saveRecord();
        QCOMPARE(f.scalar("select Customer_Group from customer_provider where corp_code='00002'"), group.toInt());
        db.query(
            "insert into Dusmere_Order_Form_head (Order_Form_Code, corp_code, Link_man, IsDelete) values "
            "('AA0606250002', '00002', '陈老板', 0), ('AA0606250001', '00002', NULL, 0)");
        QVERIFY(!f.dir.deleteRecords({0}));
        QCOMPARE(f.prompter.lastText(),
                 QString("该客户已经被收据（订单）使用，不能删除。如果要删除该客户请先删除以下收据：\nAA0606250001\n"
                         "AA0606250002 陈老板"));
    }
    void codesAreRequiredUniqueAndKeptWhileUsed() {
        Fixture f(PartnerSide::suppliers());
        Database& db = f.db();
        db.query(
            "insert into Provider (Corp_code, provider_name, GroupClass) values ('00301', '五金厂', 1), ('00302', "
            "'木材厂', 1)");
        db.query("insert into goods (code, Goods_name, Provide_corp) values ('SP00000001', '合页', '00301')");
        f.dir.open();
        // A code that goods name is not changed under them.
        QVERIFY(f.dir.records().locate("Corp_code", "00301"));
        f.dir.records().setValue("Corp_code", "00399");
        QCOMPARE(refusal([&] { f.dir.saveRecord(); }),
                 QString("供应商编码[00301]已被以下记录使用，不能修改：\nSP00000001 合页"));
        f.dir.cancelRecord();
        // A supplier's uses are goods: it is not deleted.
        QVERIFY(!f.dir.deleteRecords({f.dir.records().currentRow()}));
        QCOMPARE(f.prompter.lastText(),
                 QString("该供应商已经被商品使用，不能删除。如果要删除该客户请先删除以下商品：\nSP00000001 合页"));
        // An empty code, and one with blanks.
        QVERIFY(f.dir.records().locate("Corp_code", "00302"));
        f.dir.records().setValue("Corp_code", "   ");
        QCOMPARE(refusal([&] { f.dir.saveRecord(); }), QString("请填写[供应商编码]"));
        f.dir.records().setValue("Corp_code", " 00303 ");
        f.dir.saveRecord();
        QCOMPARE(f.scalar("select count(*) from Provider where Corp_code='00303'"), 1);
        // A new record may not take a code that is there.
        QVERIFY(f.dir.addRecord());
        f.dir.records().setValue("Corp_code", "00301");
        QCOMPARE(refusal([&] { f.dir.saveRecord(); }), QString("供应商编码[00301]已经存在，请换一个编码"));
        QCOMPARE(f.scalar("select count(*) from Provider where Corp_code='00301'"), 1);
    }
    void groupsAddedRenamedAndDeleted() {
        Fixture f;
        // Under the root nothing moves, although the root lists records.
        f.prompter.setNextText("  广州  ");
        QVERIFY(f.dir.addGroup());
        QCOMPARE(f.scalar("select count(*) from Client_group where Class_name='广州' and Parent_id=1 and CorpType<>0"),
                 1);
        QCOMPARE(f.scalar("select count(*) from Client where GroupClass=3"), 1);
        // Under a group with records, confirmed: its records move into the new child.
        f.dir.focusGroup(3);
        f.prompter.setNextAnswer(true);
        f.prompter.setNextText("浦东");
        QVERIFY(f.dir.addGroup());
        QCOMPARE(f.scalar("select GroupClass from Client where Corp_code='00001'"),
                 f.scalar("select id from Client_group where Class_name='浦东'"));
        f.dir.focusGroup(1);
        f.prompter.setNextText("   ");
        QVERIFY(!f.dir.addGroup() && !f.dir.deleteGroup());  // an empty name adds nothing
        QCOMPARE(f.prompter.lastText(), QString("不能删除或修改根目录"));
        f.dir.focusGroup(2);
        QVERIFY(!f.dir.deleteGroup() && f.prompter.lastText().startsWith("删除该类别前，请删除该类别的所有分类"));
        f.dir.focusGroup(4);
        QVERIFY(!f.dir.deleteGroup() &&
                f.prompter.lastText().startsWith("删除该类别前，请删除该类别里面的所有客户记录"));
        f.prompter.setNextText("海淀");
        QVERIFY(f.dir.renameGroup());
        QCOMPARE(f.db().scalar("select Class_name from Client_group where id=4").toString(), QString("海淀"));
        f.db().query("delete from Client where GroupClass=4");
        f.prompter.setNextAnswer(true);
        QVERIFY(f.dir.deleteGroup());
        QCOMPARE(f.scalar("select count(*) from Client_group where id=4"), 0);
    }
    void deletingAndMovingRecordsAndGroups() {
        Fixture f;
        f.db().query("insert into Quotation_Head (BillNo, ClientNo, IsDelete) values ('BJ0612250001', '00002', 1)");
        QVERIFY(f.dir.records().locate("Corp_code", "00002"));
        const int used = f.dir.records().currentRow();
        QVERIFY(f.dir.records().locate("Corp_code", "00001"));
        const int free = f.dir.records().currentRow();
        QVERIFY(!f.dir.deleteRecords({free, used}));
        QCOMPARE(f.prompter.lastText(),
                 QString("该客户已经被报价单使用，不能删除。如果要删除该客户请先删除以下报价单：\nBJ0612250001"));
        f.prompter.setNextAnswer(true);
        QVERIFY(f.dir.deleteRecords({free}));
        QCOMPARE(f.scalar("select count(*) from Client"), 2);
        // Records go only into groups without child groups.
        const QVariant lisi = f.db().scalar("select ID from Client where Corp_code='00002'");
        QVERIFY(!f.dir.canDropRecordsOn(2) && !f.dir.moveRecords({lisi}, 2));
        QCOMPARE(f.prompter.lastText(), QString("因为这个类别还有下一层类别，所以不能归类到这个客户类别下"));
        QVERIFY(f.dir.moveRecords({lisi}, 3));
        QCOMPARE(f.scalar("select GroupClass from Client where Corp_code='00002'"), 3);
        // A group goes not under its own child, nor the root anywhere.
        QVERIFY(!f.dir.moveGroup(2, 4) && !f.dir.moveGroup(1, 3));
        f.db().query("delete from Client where GroupClass=3");
        QVERIFY(f.dir.moveGroup(4, 3));
        QCOMPARE(f.scalar("select Parent_id from Client_group where id=4"), 3);
    }
    // The book refuses a write: the tree in memory stays as the book has it.
    void refusedGroupWritesLeaveTheTreeAsTheBookHasIt() {
        Fixture f;
        DocumentFixture::failWhen(f.db(), "Client", "UPDATE", "1 = 1");
        f.dir.focusGroup(3);
        f.prompter.setNextAnswer(true);  // 上海's customer moves into the new group
        f.prompter.setNextText("浦东");
        QVERIFY_THROWS_EXCEPTION(DbError, f.dir.addGroup());
        QCOMPARE(f.scalar("select count(*) from Client_group where Class_name='浦东'"), 0);
        QCOMPARE(f.scalar("select GroupClass from Client where Corp_code='00001'"), 3);
        QCOMPARE(tree(f), (QList<int>{4, 0, 3, 1}));
        f.db().query("delete from Client where GroupClass=4");
        DocumentFixture::failWhen(f.db(), "Client_group", "UPDATE", "1 = 1");
        QVERIFY_THROWS_EXCEPTION(DbError, f.dir.moveGroup(3, 2));
        DocumentFixture::stopFailing(f.db(), "Client_group");
        DocumentFixture::failWhen(f.db(), "Client_group", "DELETE", "1 = 1");
        QVERIFY(!f.dir.groups().hasChanges());
        QCOMPARE(f.dir.groups().value(f.dir.groupedDirectory().groupRow(3), "Parent_id").toInt(), 1);
        f.dir.focusGroup(4);
        f.prompter.setNextAnswer(true);
        QVERIFY_THROWS_EXCEPTION(DbError, f.dir.deleteGroup());
        QCOMPARE(tree(f), (QList<int>{4, 0, 4, 0}));
    }

private:
    // The tree in memory: groups, pending changes, the focused group and its records.
    static QList<int> tree(Fixture& f) {
        return {int(f.dir.groups().rowCount()), int(f.dir.groups().hasChanges()), f.dir.focusedGroup().toInt(),
                int(f.dir.records().rowCount())};
    }
};

QTEST_GUILESS_MAIN(TestPartnerDirectory)
#include "test_partner_directory.moc"
