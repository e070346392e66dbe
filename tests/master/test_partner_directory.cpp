#include <QTest>

#include "master/partner_directory.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "support/test_books.h"

using TestBooks::FreshBook;

// The rules of the customer, supplier and order-customer books, on both
// engines.
class TestPartnerDirectory : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    void rootListsEveryRecord();
    void addingRecordsAndCodeGaps();
    void deleteChecksEverySelectedRecord();
    void supplierUsesAreGoods();
    void orderCustomersAndTheOrdersNamingThem();
    void codesAreRequiredUniqueAndKeptWhileUsed();
    void customerCodeOfAQuotationStays();
    void addingGroups();
    void renameAndDeleteGroupChecks();
    void movingRecordsAndGroups();
    void parentLoopInTheDataDoesNotHangAMove();
    void picking();
    void hostileTextIsStoredAsTyped();
    void newGroupAndTheMoveOfItsRecordsAreOneWrite();
    void refusedGroupMoveAndDeleteLeaveTheTreeAsTheBookHasIt();

private:
    struct Fixture {
        FreshBook book;
        Clock clock;
        ScriptedPrompter prompter;
        PartnerDirectory dir;
        explicit Fixture(const PartnerSide& side = PartnerSide::customers())
            : book(TestBooks::currentEngine()), dir(book.db(), clock, prompter, side) {}
    };
    static void tree(Database& db);
};

// Root 1 with 北京 (2) holding 朝阳 (4), and 上海 (3); customers in 3 and 4.
void TestPartnerDirectory::tree(Database& db) {
    db.query("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('北京', 1, 0, 1)");
    db.query("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('上海', 1, 0, 1)");
    db.query("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('朝阳', 2, 0, 1)");
    db.query(
        "insert into Client (Corp_code, Linkman_name, GroupClass) values ('00001', '张三', 3), "
        "('00002', '李四', 4), ('00003', '王五', 4)");
}

void TestPartnerDirectory::rootListsEveryRecord() {
    Fixture f;
    tree(f.book.db());
    f.dir.open();
    QCOMPARE(f.dir.records().rowCount(), 3);  // also the records of 朝阳, two levels down
    QCOMPARE(f.dir.records().value(0, "Corp_code").toString(), QString("00003"));  // newest code first
    f.dir.focusGroup(4);
    QCOMPARE(f.dir.records().rowCount(), 2);
    f.dir.focusGroup(2);
    QCOMPARE(f.dir.records().rowCount(), 0);
}

void TestPartnerDirectory::addingRecordsAndCodeGaps() {
    Fixture f;
    tree(f.book.db());
    f.dir.open();
    f.dir.focusGroup(2);  // has a child group
    QVERIFY(!f.dir.addRecord());
    QCOMPARE(f.prompter.lastText(), QString("只能在没有子类的客户类别里增加客户"));
    f.dir.focusGroup(3);
    // 00001 to 00003 are held by customers already, so the counter passes them.
    QVERIFY(f.dir.addRecord());
    QCOMPARE(f.dir.records().value("Corp_code").toString(), QString("00004"));
    f.dir.cancelRecord();
    QVERIFY(f.dir.addRecord());
    QCOMPARE(f.dir.records().value("Corp_code").toString(), QString("00005"));  // the cancelled code is gone
    f.dir.records().setValue("Linkman_name", "赵六");
    f.dir.saveRecord();
    QCOMPARE(f.book.db().scalar("select GroupClass from Client where Linkman_name='赵六'").toInt(), 3);
    // Closing with changes asks; No drops them.
    f.dir.records().setValue("Linkman_name", "改名");
    f.prompter.setNextAnswer(false);
    QVERIFY(!f.dir.closeRecord());
    QCOMPARE(f.book.db().scalar("select count(*) from Client where Linkman_name='改名'").toInt(), 0);
}

void TestPartnerDirectory::deleteChecksEverySelectedRecord() {
    Fixture f;
    tree(f.book.db());
    f.book.db().query("insert into Quotation_Head (BillNo, ClientNo, IsDelete) values ('BJ0612250001', '00002', 1)");
    f.dir.open();
    QVERIFY(!f.dir.deleteRecords({}));
    QCOMPARE(f.prompter.lastText(), QString("请选择一条客户记录"));
    QVERIFY(f.dir.records().locate("Corp_code", "00002"));
    const int used = f.dir.records().currentRow();
    QVERIFY(f.dir.records().locate("Corp_code", "00001"));
    const int free = f.dir.records().currentRow();
    QVERIFY(!f.dir.deleteRecords({free, used}));
    QCOMPARE(f.prompter.lastText(),
             QString("该客户已经被报价单使用，不能删除。如果要删除该客户请先删除以下报价单：\nBJ0612250001"));
    QCOMPARE(f.book.db().scalar("select count(*) from Client").toInt(), 3);
    f.prompter.setNextAnswer(true);
    QVERIFY(f.dir.deleteRecords({free}));
    QCOMPARE(f.book.db().scalar("select count(*) from Client").toInt(), 2);
}

void TestPartnerDirectory::supplierUsesAreGoods() {
    Fixture f(PartnerSide::suppliers());
    f.book.db().query("insert into Provider (Corp_code, provider_name, GroupClass) values ('00009', '五金厂', 1)");
    f.book.db().query("insert into goods (code, Goods_name, Provide_corp) values ('SP00000001', '合页', '00009')");
    f.dir.open();
    QVERIFY(!f.dir.deleteRecords({0}));
    QCOMPARE(f.prompter.lastText(),
             QString("该供应商已经被商品使用，不能删除。如果要删除该客户请先删除以下商品：\nSP00000001 合页"));
}

// The customers order forms name: their own group table and group field,
// codes from the counter customers and suppliers share, and no deletion
// while an order names the customer.
void TestPartnerDirectory::orderCustomersAndTheOrdersNamingThem() {
    Fixture f(PartnerSide::orderCustomers());
    Database& db = f.book.db();
    db.query("insert into customer_group (Class_name, Parent_id, ico_no, CorpType) values ('酒楼', 1, 0, 1)");
    const QVariant group = db.scalar("select max(id) from customer_group");
    db.query("insert into Client (Corp_code, Linkman_name, GroupClass) values ('00001', '张三', 1)");
    f.dir.open();
    QVERIFY(!f.dir.addRecord());
    QCOMPARE(f.prompter.lastText(), QString("只能在没有子类的客户类别里增加客户"));
    f.dir.focusGroup(group);
    QVERIFY(f.dir.addRecord());
    f.dir.records().setValue("Corp_name", "明珠酒楼");
    f.dir.records().setValue("boss_name", "陈老板");
    f.dir.saveRecord();
    // 00001 is a quotation customer's: the shared counter passes it.
    QCOMPARE(db.scalar("select corp_code from customer_provider where Corp_name='明珠酒楼'").toString(),
             QString("00002"));
    QCOMPARE(db.scalar("select Customer_Group from customer_provider where corp_code='00002'").toInt(), group.toInt());
    db.query(
        "insert into Dusmere_Order_Form_head (Order_Form_Code, corp_code, Link_man, IsDelete) values "
        "('AA0606250002', '00002', '陈老板', 0), ('AA0606250001', '00002', NULL, 0)");
    QVERIFY(!f.dir.deleteRecords({0}));
    QCOMPARE(f.prompter.lastText(),
             QString("该客户已经被收据（订单）使用，不能删除。如果要删除该客户请先删除以下收据：\nAA0606250001\n"
                     "AA0606250002 陈老板"));
    QCOMPARE(db.scalar("select count(*) from customer_provider").toInt(), 1);
    db.query("delete from Dusmere_Order_Form_head");
    f.prompter.setNextAnswer(true);
    QVERIFY(f.dir.deleteRecords({0}));
    QCOMPARE(db.scalar("select count(*) from customer_provider").toInt(), 0);
}

void TestPartnerDirectory::codesAreRequiredUniqueAndKeptWhileUsed() {
    Fixture f(PartnerSide::suppliers());
    Database& db = f.book.db();
    db.query("insert into Provider (Corp_code, provider_name, GroupClass) values ('00301', '五金厂', 1)");
    db.query("insert into Provider (Corp_code, provider_name, GroupClass) values ('00302', '木材厂', 1)");
    db.query("insert into goods (code, Goods_name, Provide_corp) values ('SP00000001', '合页', '00301')");
    f.dir.open();
    auto rowOf = [&f](const QString& code) {
        for (int r = 0; r < f.dir.records().rowCount(); ++r) {
            if (f.dir.records().value(r, "Corp_code").toString() == code) {
                return r;
            }
        }
        return -1;
    };
    // A code that goods name is not changed under them.
    f.dir.records().setCurrentRow(rowOf("00301"));
    f.dir.records().setValue("Corp_code", "00399");
    try {
        f.dir.saveRecord();
        QFAIL("a used code was changed");
    } catch (const UserError& e) {
        QCOMPARE(e.message(), QString("供应商编码[00301]已被以下记录使用，不能修改：\nSP00000001 合页"));
    }
    QCOMPARE(db.scalar("select count(*) from Provider where Corp_code='00301'").toInt(), 1);
    f.dir.cancelRecord();

    // Another record's code, an empty one, and one with blanks.
    f.dir.records().setCurrentRow(rowOf("00302"));
    f.dir.records().setValue("Corp_code", "00301");
    QVERIFY_THROWS_EXCEPTION(UserError, f.dir.saveRecord());
    f.dir.records().setValue("Corp_code", "   ");
    try {
        f.dir.saveRecord();
        QFAIL("an empty code was saved");
    } catch (const UserError& e) {
        QCOMPARE(e.message(), QString("请填写[供应商编码]"));
    }
    f.dir.records().setValue("Corp_code", " 00303 ");
    f.dir.saveRecord();
    QCOMPARE(db.scalar("select count(*) from Provider where Corp_code='00303'").toInt(), 1);

    // A new record may not take a code that is there.
    QVERIFY(f.dir.addRecord());
    f.dir.records().setValue("Corp_code", "00301");
    try {
        f.dir.saveRecord();
        QFAIL("a taken code was saved");
    } catch (const UserError& e) {
        QCOMPARE(e.message(), QString("供应商编码[00301]已经存在，请换一个编码"));
    }
    QCOMPARE(db.scalar("select count(*) from Provider where Corp_code='00301'").toInt(), 1);
}

void TestPartnerDirectory::customerCodeOfAQuotationStays() {
    Fixture f;
    tree(f.book.db());
    f.book.db().query("insert into Quotation_Head (BillNo, ClientNo) values ('BJ1', '00001')");
    f.dir.open();
    f.dir.focusGroup(3);
    QCOMPARE(f.dir.records().value(0, "Corp_code").toString(), QString("00001"));
    f.dir.records().setValue("Corp_code", "00009");
    try {
        f.dir.saveRecord();
        QFAIL("a customer code named by a quotation was changed");
    } catch (const UserError& e) {
        QCOMPARE(e.message(), QString("客户编码[00001]已被以下记录使用，不能修改：\nBJ1"));
    }
    QCOMPARE(f.book.db().scalar("select count(*) from Client where Corp_code='00001'").toInt(), 1);
}

void TestPartnerDirectory::addingGroups() {
    Fixture f;
    tree(f.book.db());
    f.dir.open();
    // Under the root nothing moves, although the root lists records.
    f.prompter.setNextText("  广州  ");
    QVERIFY(f.dir.addGroup());
    QCOMPARE(f.book.db()
                 .scalar("select count(*) from Client_group where Class_name='广州' and Parent_id=1 and "
                         "CorpType<>0")
                 .toInt(),
             1);
    QCOMPARE(f.book.db().scalar("select count(*) from Client where GroupClass=3").toInt(), 1);
    // Under a group with records, confirmed: its records move into the new child.
    f.dir.focusGroup(3);
    f.prompter.setNextAnswer(true);
    f.prompter.setNextText("浦东");
    QVERIFY(f.dir.addGroup());
    const int pudong = f.book.db().scalar("select id from Client_group where Class_name='浦东'").toInt();
    QCOMPARE(f.book.db().scalar("select GroupClass from Client where Corp_code='00001'").toInt(), pudong);
    QCOMPARE(f.book.db().scalar("select count(*) from Client where GroupClass=3").toInt(), 0);
    // No, or an empty name, adds nothing.
    f.dir.focusGroup(4);
    f.prompter.setNextAnswer(false);
    QVERIFY(!f.dir.addGroup());
    f.dir.focusGroup(1);
    f.prompter.setNextText("   ");
    QVERIFY(!f.dir.addGroup());
}

void TestPartnerDirectory::renameAndDeleteGroupChecks() {
    Fixture f;
    tree(f.book.db());
    f.dir.open();
    QVERIFY(!f.dir.renameGroup());
    QCOMPARE(f.prompter.lastText(), QString("不能删除或修改根目录"));
    QVERIFY(!f.dir.deleteGroup());
    QCOMPARE(f.prompter.lastText(), QString("不能删除或修改根目录"));
    f.dir.focusGroup(2);
    QVERIFY(!f.dir.deleteGroup());
    QVERIFY(f.prompter.lastText().startsWith("删除该类别前，请删除该类别的所有分类"));
    f.dir.focusGroup(4);
    QVERIFY(!f.dir.deleteGroup());
    QVERIFY(f.prompter.lastText().startsWith("删除该类别前，请删除该类别里面的所有客户记录"));
    f.prompter.setNextText("海淀");
    QVERIFY(f.dir.renameGroup());
    QCOMPARE(f.book.db().scalar("select Class_name from Client_group where id=4").toString(), QString("海淀"));
    f.book.db().query("delete from Client where GroupClass=4");
    f.prompter.setNextAnswer(true);
    QVERIFY(f.dir.deleteGroup());
    QCOMPARE(f.book.db().scalar("select count(*) from Client_group where id=4").toInt(), 0);
}

void TestPartnerDirectory::movingRecordsAndGroups() {
    Fixture f;
    tree(f.book.db());
    f.dir.open();
    const QVariant lisi = f.book.db().scalar("select ID from Client where Corp_code='00002'");
    QVERIFY(!f.dir.canDropRecordsOn(2));
    QVERIFY(!f.dir.moveRecords({lisi}, 2));
    QCOMPARE(f.prompter.lastText(), QString("因为这个类别还有下一层类别，所以不能归类到这个客户类别下"));
    QVERIFY(f.dir.moveRecords({lisi}, 3));
    QCOMPARE(f.book.db().scalar("select GroupClass from Client where Corp_code='00002'").toInt(), 3);
    // A group does not go under a group with records, nor under itself.
    QVERIFY(!f.dir.canDropGroupOn(2, 3));
    QVERIFY(!f.dir.moveGroup(2, 4));  // its own child
    QVERIFY(!f.dir.moveGroup(1, 3));  // the root stays
    f.book.db().query("delete from Client where GroupClass=3");
    QVERIFY(f.dir.moveGroup(4, 3));
    QCOMPARE(f.book.db().scalar("select Parent_id from Client_group where id=4").toInt(), 3);
}

// Groups 5 and 6 point at each other (a book damaged by another program).
// Moving a group under one of them must answer, not walk the loop forever.
void TestPartnerDirectory::parentLoopInTheDataDoesNotHangAMove() {
    Fixture f;
    tree(f.book.db());
    Database& db = f.book.db();
    db.query("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('环甲', 1, 0, 1)");
    db.query("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('环乙', 5, 0, 1)");
    db.query("update Client_group set Parent_id=6 where id=5");
    f.dir.open();
    QVERIFY(f.dir.moveGroup(3, 6));  // 3 is not inside the loop: allowed
    QCOMPARE(db.scalar("select Parent_id from Client_group where id=3").toInt(), 6);
    QVERIFY(!f.dir.moveGroup(5, 6));  // 6 lies under 5 (and 5 under 6)
    QCOMPARE(db.scalar("select Parent_id from Client_group where id=5").toInt(), 6);
}

void TestPartnerDirectory::picking() {
    Fixture f;
    tree(f.book.db());
    f.dir.open();
    QVERIFY(f.dir.chosenCode().isEmpty());
    f.dir.pick(1);
    QCOMPARE(f.dir.chosenCode(), QString("00002"));
    QCOMPARE(f.dir.chosenId().toInt(), f.book.db().scalar("select ID from Client where Corp_code='00002'").toInt());
}

// Quotes, LIKE wildcards, statement text and control characters are data.
void TestPartnerDirectory::hostileTextIsStoredAsTyped() {
    Fixture f;
    tree(f.book.db());
    f.dir.open();
    f.dir.focusGroup(3);
    QVERIFY(f.dir.addRecord());
    const QString name = QStringLiteral("O'Neil\"%_");
    const QString corp = QStringLiteral("'); delete from Client; --\t\n");
    const QString address = QString(255, QChar(0x6D77));  // exactly the column's length
    f.dir.records().setValue("Linkman_name", name);
    f.dir.records().setValue("Corp_name", corp);
    f.dir.records().setValue("Corp_address", address);
    f.dir.saveRecord();
    Database& db = f.book.db();
    QCOMPARE(db.scalar("select count(*) from Client").toInt(), 4);
    QCOMPARE(db.scalar("select Corp_name from Client where Linkman_name=:n", {{"n", name}}).toString(), corp);
    QCOMPARE(db.scalar("select Corp_address from Client where Linkman_name=:n", {{"n", name}}).toString(), address);
    f.dir.focusGroup(1);
    int found = -1;
    for (int r = 0; r < f.dir.records().rowCount(); ++r) {
        if (f.dir.records().value(r, "Linkman_name").toString() == name) {
            found = r;
        }
    }
    QVERIFY(found >= 0);
    QCOMPARE(f.dir.records().value(found, "Corp_name").toString(), corp);
    // One character more than the column holds is refused, and nothing is written.
    f.dir.records().setCurrentRow(found);
    f.dir.records().setValue("Corp_address", address + QChar(0x6D77));
    QVERIFY_THROWS_EXCEPTION(UserError, f.dir.saveRecord());
    QCOMPARE(db.scalar("select Corp_address from Client where Linkman_name=:n", {{"n", name}}).toString(), address);
}

namespace {
// A trigger that refuses the events on the table with an error.
void refuse(Database& db, const QString& table, const QStringList& events) {
    if (db.isAccess()) {
        for (const QString& event : events) {
            db.query(
                QStringLiteral("create trigger refuse_%1_%2 before %3 on %1 begin select raise(abort, '拒绝'); end")
                    .arg(table, QString::number(events.indexOf(event)), event));
        }
        return;
    }
    db.query(
        "create or replace function refuse() returns trigger as $$ begin raise exception '拒绝'; end $$ "
        "language plpgsql");
    db.query(QStringLiteral("create trigger refuse_%1 before %2 on %1 for each row execute function refuse()")
                 .arg(table, events.join(" or ")));
}
}  // namespace

// The book refuses the move of the records: the new group is not written
// either, and the tree in memory has no group the book lacks.
void TestPartnerDirectory::newGroupAndTheMoveOfItsRecordsAreOneWrite() {
    Fixture f;
    tree(f.book.db());
    f.dir.open();
    refuse(f.book.db(), "Client", {"update of GroupClass"});
    f.dir.focusGroup(3);
    f.prompter.setNextAnswer(true);  // 上海's customer moves into the new group
    f.prompter.setNextText("浦东");
    QVERIFY_THROWS_EXCEPTION(DbError, f.dir.addGroup());
    QCOMPARE(f.book.db().scalar("select count(*) from Client_group where Class_name='浦东'").toInt(), 0);
    QCOMPARE(f.book.db().scalar("select GroupClass from Client where Corp_code='00001'").toInt(), 3);
    QCOMPARE(f.dir.groups().rowCount(), 4);
    QVERIFY(!f.dir.groups().hasChanges());
    QCOMPARE(f.dir.focusedGroup().toInt(), 3);
    QCOMPARE(f.dir.records().rowCount(), 1);
}

// The book refuses to change group rows: a moved or deleted group stays
// where the book has it, in memory too.
void TestPartnerDirectory::refusedGroupMoveAndDeleteLeaveTheTreeAsTheBookHasIt() {
    Fixture f;
    tree(f.book.db());
    f.book.db().query("delete from Client where GroupClass=4");
    f.dir.open();
    refuse(f.book.db(), "Client_group", {"update", "delete"});
    QVERIFY_THROWS_EXCEPTION(DbError, f.dir.moveGroup(3, 2));
    QVERIFY(!f.dir.groups().hasChanges());
    QCOMPARE(f.dir.groups().value(f.dir.groupedDirectory().groupRow(3), "Parent_id").toInt(), 1);
    f.dir.focusGroup(4);
    f.prompter.setNextAnswer(true);
    QVERIFY_THROWS_EXCEPTION(DbError, f.dir.deleteGroup());
    QCOMPARE(f.dir.groups().rowCount(), 4);
    QVERIFY(!f.dir.groups().hasChanges());
    QCOMPARE(f.dir.focusedGroup().toInt(), 4);
}

QTEST_GUILESS_MAIN(TestPartnerDirectory)
#include "test_partner_directory.moc"
