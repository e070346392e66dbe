#include <QTest>

#include "book_checks.h"
#include "data/permission_checker.h"
#include "data/records.h"
#include "platform/errors.h"
#include "support/test_books.h"

using TestBooks::FreshBook;

class TestPermissions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }
    // Rights belong to groups; an action is controlled only where listed for its window and marked so; names
    // match in any case; a change of rights or group counts at the next check; the built-in user runs everything.
    void rules() {
        FreshBook book(TestBooks::currentEngine());
        Database& db = book.db();
        // Two groups and a user in each; a grant in the user's own name (小王) does not count.
        db.query("delete from Sys_user_Operation");
        db.query("delete from Sys_Operation_Table");
        db.query(
            "insert into Sys_user (User_name, User_Group, type) values ('sales', '销售组', 0), ('小王', 'sales', 1), "
            "('小李', '其他组', 1)");
        db.query(
            "insert into Sys_Operation_Table (id, Action_Name, Action_Title, Form_Name, isControl) values "
            "(1, 'action_save', 't', 'form_quotation_edit', 1), (2, 'action_delete', 't', 'form_quotation_edit', 1), "
            "(3, 'action_print', 't', 'form_quotation_edit', 0), (4, 'action_mixed', 't', 'form_quotation_edit', 1), "
            "(5, 'action_mixed', 't', 'form_quotation_edit', 0), (6, 'action_other', 't', 'frm_payout', 1), "
            "(7, 'Action_Upper', 't', 'Form_Upper', 1)");
        db.query(
            "insert into Sys_user_Operation (User_name, Action_id) values ('sales', 1), ('sales', 7), ('小王', 2)");
        const struct {
            const char* user;
            const char* group;
            const char* action;
            const char* form;
            bool allowed;
        } cases[] = {
            {"小王", "sales", "Action_Save", "Form_Quotation_Edit", true},      // granted to the group
            {"小李", "其他组", "Action_Save", "Form_Quotation_Edit", false},    // another group
            {"小王", "sales", "Action_Delete", "Form_Quotation_Edit", false},   // a grant in the user's own name
            {"小李", "其他组", "Action_Print", "Form_Quotation_Edit", true},    // a free action
            {"小李", "其他组", "action_mixed", "form_quotation_edit", true},    // listed free and controlled
            {"小李", "其他组", "Action_Unknown", "Form_Quotation_Edit", true},  // not listed
            {"小李", "其他组", "Action_Other", "Form_Quotation_Edit", true},    // listed only for another window
            {"小王", "sales", "ACTION_SAVE", "form_QUOTATION_edit", true},      // the case differs
            {"小王", "sales", "action_upper", "form_upper", true},              // stored in mixed case
            {"小李", "其他组", "action_upper", "form_upper", false},
            {"sales", "0", "Action_Save", "Form_Quotation_Edit", false},  // a group named like the user
        };
        for (const auto& c : cases) {
            UserRecord u{c.user, "", c.group};
            QVERIFY2(PermissionChecker(db, u).isAllowed(c.action, c.form) == c.allowed,
                     qPrintable(QString("%1 %2 %3").arg(c.user, c.action, c.form)));
        }
        UserRecord u{"小李", "", "其他组"};
        PermissionChecker checker(db, u);
        QCOMPARE(BookChecks::refusal([&] { checker.CheckActionPermission("Action_Save", "Form_Quotation_Edit"); }),
                 QString("对不起，您没有该功能的操作权限，详情请询问管理员。"));
        db.query("insert into Sys_user_Operation (User_name, Action_id) values ('其他组', 1)");
        QVERIFY(checker.isAllowed("Action_Save", "Form_Quotation_Edit"));
        db.query("delete from Sys_user_Operation where User_name='其他组'");
        QVERIFY(!checker.isAllowed("Action_Save", "Form_Quotation_Edit"));
        // The group is read from the record: a new log-in in another group changes the answer at once.
        u.UserGroup = "sales";
        QVERIFY(checker.isAllowed("Action_Save", "Form_Quotation_Edit"));
        // Hostile names are values only.
        UserRecord hostile{"小李", "", "x' or '1'='1"};
        PermissionChecker quoted(db, hostile);
        QVERIFY(!quoted.isAllowed("Action_Save", "Form_Quotation_Edit"));
        QVERIFY(quoted.isAllowed("action_save' --", "form_quotation_edit"));  // simply not listed
        QCOMPARE(db.scalar("select count(*) from Sys_Operation_Table").toInt(), 7);
        // Without a grant to his group, and with no query run for him (the rights table gone).
        UserRecord admin{"超级用户", "", "管理员组"};
        db.query("drop table Sys_user_Operation");
        QVERIFY(PermissionChecker(db, admin).CheckActionPermission("Action_Save", "Form_Quotation_Edit"));
    }
};

QTEST_GUILESS_MAIN(TestPermissions)
#include "test_permissions.moc"
