#include <QTest>

#include "master/partner_directory.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "support/test_books.h"

using TestBooks::FreshBook;

// The grouped-directory core through a customer book, on both engines:
// what a group command does when the book refuses part of it.
class TestGroupedDirectory : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void newGroupAndTheMoveOfItsRecordsAreOneWrite();
    void refusedGroupMoveAndDeleteLeaveTheTreeAsTheBookHasIt();

private:
    // Root 1 with 北京 (2) holding two customers, 上海 (3) and 广州 (4).
    static void tree(Database& db);
    // The book refuses every change of a customer's group.
    static void refuseRecordMoves(Database& db);
    // The book refuses every change of the group rows.
    static void refuseGroupChanges(Database& db);
};

void TestGroupedDirectory::tree(Database& db) {
    db.query("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('北京', 1, 0, 1)");
    db.query("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('上海', 1, 0, 1)");
    db.query("insert into Client_group (Class_name, Parent_id, ico_no, CorpType) values ('广州', 1, 0, 1)");
    db.query(
        "insert into Client (Corp_code, Linkman_name, GroupClass) values ('00001', '张三', 2), ('00002', '李四', 2)");
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

void TestGroupedDirectory::refuseRecordMoves(Database& db) {
    refuse(db, "Client", {"update of GroupClass"});
}

void TestGroupedDirectory::refuseGroupChanges(Database& db) {
    refuse(db, "Client_group", {"update", "delete"});
}

void TestGroupedDirectory::newGroupAndTheMoveOfItsRecordsAreOneWrite() {
    FreshBook book(TestBooks::currentEngine());
    Clock clock;
    ScriptedPrompter prompter;
    PartnerDirectory dir(book.db(), clock, prompter, PartnerSide::customers());
    tree(book.db());
    refuseRecordMoves(book.db());
    dir.open();
    dir.focusGroup(2);
    prompter.setNextAnswer(true);  // 北京's customers move into the new group
    prompter.setNextText("朝阳");
    QVERIFY_THROWS_EXCEPTION(DbError, dir.addGroup());
    // Neither the group nor the move reached the book, and the tree in
    // memory has no group the book lacks.
    QCOMPARE(book.db().scalar("select count(*) from Client_group where Class_name='朝阳'").toInt(), 0);
    QCOMPARE(book.db().scalar("select count(*) from Client where GroupClass=2").toInt(), 2);
    QCOMPARE(dir.groups().rowCount(), 4);
    QVERIFY(!dir.groups().hasChanges());
    QCOMPARE(dir.focusedGroup().toInt(), 2);
    QCOMPARE(dir.records().rowCount(), 2);
}

void TestGroupedDirectory::refusedGroupMoveAndDeleteLeaveTheTreeAsTheBookHasIt() {
    FreshBook book(TestBooks::currentEngine());
    Clock clock;
    ScriptedPrompter prompter;
    PartnerDirectory dir(book.db(), clock, prompter, PartnerSide::customers());
    tree(book.db());
    dir.open();
    refuseGroupChanges(book.db());
    QVERIFY_THROWS_EXCEPTION(DbError, dir.moveGroup(3, 4));
    QVERIFY(!dir.groups().hasChanges());
    QCOMPARE(dir.groups().value(dir.groupedDirectory().groupRow(3), "Parent_id").toInt(), 1);
    dir.focusGroup(3);
    prompter.setNextAnswer(true);
    QVERIFY_THROWS_EXCEPTION(DbError, dir.deleteGroup());
    QCOMPARE(dir.groups().rowCount(), 4);
    QVERIFY(!dir.groups().hasChanges());
    QCOMPARE(dir.focusedGroup().toInt(), 3);
}

QTEST_GUILESS_MAIN(TestGroupedDirectory)
#include "test_grouped_directory.moc"
