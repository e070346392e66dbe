#include <QTest>

#include "data/permission_checker.h"
#include "data/records.h"
#include "platform/errors.h"
#include "support/test_books.h"

using TestBooks::FreshBook;

// Who may run which action, on both engines.
class TestPermissions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    void builtInUserRunsEverythingEvenWithEmptyTables();
    void rules_data();
    void rules();
    void refusalRaisesTheSystemText();
    void rightsChangeTakesEffectAtTheNextCheck();
    void hostileNamesAreValuesOnly();

private:
    static void prepare(Database& db);
};

// Two groups and a user in each; a few actions listed on purpose.
void TestPermissions::prepare(Database& db) {
    db.query("delete from Sys_user_Operation");
    db.query("delete from Sys_Operation_Table");
    db.query("insert into Sys_user (User_name, User_Group, type) values ('sales', '销售组', 0)");
    db.query("insert into Sys_user (User_name, User_Group, type) values ('小王', 'sales', 1)");
    db.query("insert into Sys_user (User_name, User_Group, type) values ('小李', '其他组', 1)");
    const char* rows[][4] = {
        // action, form, isControl, id
        {"action_save", "form_quotation_edit", "1", "1"},  {"action_delete", "form_quotation_edit", "1", "2"},
        {"action_print", "form_quotation_edit", "0", "3"}, {"action_mixed", "form_quotation_edit", "1", "4"},
        {"action_mixed", "form_quotation_edit", "0", "5"}, {"action_other", "frm_payout", "1", "6"},
        {"Action_Upper", "Form_Upper", "1", "7"},
    };
    for (const auto& r : rows) {
        db.query(
            "insert into Sys_Operation_Table (id, Action_Name, Action_Title, Form_Name, isControl) "
            "values (:id, :a, 't', :f, :c)",
            {{"id", QString(r[3]).toInt()}, {"a", QString(r[0])}, {"f", QString(r[1])}, {"c", QString(r[2]).toInt()}});
    }
    db.query("insert into Sys_user_Operation (User_name, Action_id) values ('sales', 1)");
    db.query("insert into Sys_user_Operation (User_name, Action_id) values ('sales', 7)");
    // A grant in the user's own name does not count: rights belong to groups.
    db.query("insert into Sys_user_Operation (User_name, Action_id) values ('小王', 2)");
}

void TestPermissions::builtInUserRunsEverythingEvenWithEmptyTables() {
    FreshBook book(TestBooks::currentEngine());
    book.db().query("delete from Sys_user_Operation");
    book.db().query("delete from Sys_Operation_Table");
    book.db().query("insert into Sys_Operation_Table (Action_Name, Form_Name, isControl) values ('x', 'y', 1)");
    UserRecord admin{"超级用户", "", "管理员组"};
    PermissionChecker checker(book.db(), admin);
    QVERIFY(checker.CheckActionPermission("x", "y"));
    // Even with the tables gone, no query runs for the built-in user.
    book.db().query("drop table Sys_user_Operation");
    QVERIFY(checker.CheckActionPermission("x", "y"));
}

void TestPermissions::rules_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("form");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("granted to the group") << "小王"
                                          << "sales"
                                          << "Action_Save"
                                          << "Form_Quotation_Edit" << true;
    QTest::newRow("other group refused") << "小李"
                                         << "其他组"
                                         << "Action_Save"
                                         << "Form_Quotation_Edit" << false;
    QTest::newRow("own-name grant does not count") << "小王"
                                                   << "sales"
                                                   << "Action_Delete"
                                                   << "Form_Quotation_Edit" << false;
    QTest::newRow("free action") << "小李"
                                 << "其他组"
                                 << "Action_Print"
                                 << "Form_Quotation_Edit" << true;
    QTest::newRow("listed free and controlled") << "小李"
                                                << "其他组"
                                                << "action_mixed"
                                                << "form_quotation_edit" << true;
    QTest::newRow("not listed") << "小李"
                                << "其他组"
                                << "Action_Unknown"
                                << "Form_Quotation_Edit" << true;
    QTest::newRow("listed only for another form") << "小李"
                                                  << "其他组"
                                                  << "Action_Other"
                                                  << "Form_Quotation_Edit" << true;
    QTest::newRow("case differs") << "小王"
                                  << "sales"
                                  << "ACTION_SAVE"
                                  << "form_QUOTATION_edit" << true;
    QTest::newRow("stored in mixed case") << "小王"
                                          << "sales"
                                          << "action_upper"
                                          << "form_upper" << true;
    QTest::newRow("stored in mixed case refused") << "小李"
                                                  << "其他组"
                                                  << "action_upper"
                                                  << "form_upper" << false;
    QTest::newRow("group named like the user") << "sales"
                                               << "0"
                                               << "Action_Save"
                                               << "Form_Quotation_Edit" << false;
}

void TestPermissions::rules() {
    QFETCH(QString, user);
    QFETCH(QString, group);
    QFETCH(QString, action);
    QFETCH(QString, form);
    QFETCH(bool, allowed);
    FreshBook book(TestBooks::currentEngine());
    prepare(book.db());
    UserRecord u{user, "", group};
    PermissionChecker checker(book.db(), u);
    QCOMPARE(checker.isAllowed(action, form), allowed);
}

void TestPermissions::refusalRaisesTheSystemText() {
    FreshBook book(TestBooks::currentEngine());
    prepare(book.db());
    UserRecord u{"小李", "", "其他组"};
    PermissionChecker checker(book.db(), u);
    try {
        checker.CheckActionPermission("Action_Save", "Form_Quotation_Edit");
        QFAIL("expected a refusal");
    } catch (const UserError& e) {
        QCOMPARE(e.message(), QString("对不起，您没有该功能的操作权限，详情请询问管理员。"));
    }
}

void TestPermissions::rightsChangeTakesEffectAtTheNextCheck() {
    FreshBook book(TestBooks::currentEngine());
    prepare(book.db());
    UserRecord u{"小李", "", "其他组"};
    PermissionChecker checker(book.db(), u);
    QVERIFY(!checker.isAllowed("Action_Save", "Form_Quotation_Edit"));
    book.db().query("insert into Sys_user_Operation (User_name, Action_id) values ('其他组', 1)");
    QVERIFY(checker.isAllowed("Action_Save", "Form_Quotation_Edit"));
    book.db().query("delete from Sys_user_Operation where User_name='其他组'");
    QVERIFY(!checker.isAllowed("Action_Save", "Form_Quotation_Edit"));
    // The user's group is read from the record, so a new log-in in another
    // group changes the answer at once.
    u.UserGroup = "sales";
    QVERIFY(checker.isAllowed("Action_Save", "Form_Quotation_Edit"));
}

void TestPermissions::hostileNamesAreValuesOnly() {
    FreshBook book(TestBooks::currentEngine());
    prepare(book.db());
    UserRecord u{"小李", "", "x' or '1'='1"};
    PermissionChecker checker(book.db(), u);
    QVERIFY(!checker.isAllowed("Action_Save", "Form_Quotation_Edit"));
    QVERIFY(checker.isAllowed("action_save' --", "form_quotation_edit"));  // simply not listed
    QCOMPARE(book.db().scalar("select count(*) from Sys_Operation_Table").toInt(), 7);
}

QTEST_GUILESS_MAIN(TestPermissions)
#include "test_permissions.moc"
