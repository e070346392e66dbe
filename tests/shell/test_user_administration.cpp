#include <QTest>

#include "data/data_module.h"
#include "data/permission_checker.h"
#include "data/schema_installer.h"
#include "data/user_accounts.h"
#include "documents/document_fixture.h"
#include "platform/errors.h"
#include "shell/user_administration.h"
#include "support/test_books.h"

using TestBooks::TestProgram;

// The users, groups and rights rules on both engines: rights are written
// under the group they were loaded for and only with the saving right, the
// logged-in user follows renames, and names are required.
class TestUserAdministration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() {
        if (!TestBooks::engineAvailable()) {
            return;
        }
        m_program = std::make_unique<TestProgram>(true);
        m_program->connect(TestBooks::currentEngine());
        me() = {"超级用户", "", "管理员组"};
    }
    void cleanup() {
        m_admin.reset();
        m_permissions.reset();
        m_program.reset();
    }
    void rightsAreSavedForTheirGroup() {
        addSalesAndStore();
        QCOMPARE(admin().rightsGroup(), QString("管理员组"));
        QCOMPARE(granted(admin()), admin().rights().size());
        QVERIFY(admin().select("销售组"));
        QCOMPARE(granted(admin()), 0);
        const int id = admin().rights()[3].id;
        QVERIFY(admin().toggle(id));
        // Moving to another group saves the first group's rights first.
        QVERIFY(admin().select("仓库组"));
        QCOMPARE(number("select Action_id from Sys_user_Operation where User_name='销售组'"), id);
        QCOMPARE(QList<int>({rightsOf("销售组"), rightsOf("仓库组")}), QList<int>({1, 0}));
        admin().setAll(true);
        admin().save();
        QCOMPARE(rightsOf("仓库组"), allRights());
        QVERIFY(admin().select("销售组"));
        QCOMPARE(granted(admin()), 1);
        // A user's row shows no rights, and clicks there change nothing.
        QVERIFY(admin().select("小王"));
        QVERIFY(admin().rights().isEmpty());
        QVERIFY(!admin().toggle(id));
        admin().setAll(true);
        QVERIFY(!admin().hasPendingChanges());
    }
    void newGroupStartsEmptyAndKeepsTheShownGroup() {
        const int adminRights = rightsOf("管理员组");
        // "Select none" on the new group's list, then save: the system group
        // keeps every right, and the nameless group is not written.
        QVERIFY(admin().addGroup());
        QVERIFY(admin().isAddingGroup());
        QCOMPARE(admin().rightsGroup(), QString());
        QCOMPARE(admin().rights().size(), allRights());
        QCOMPARE(granted(admin()), 0);
        admin().setAll(false);
        admin().save();
        QCOMPARE(rightsOf("管理员组"), adminRights);
        QCOMPARE(number("select count(*) from Sys_user where type=0"), 1);
        // With a name, the list is written under the new group.
        QVERIFY(admin().addGroup());
        QVERIFY(admin().toggle(admin().rights()[5].id));
        name("财务组");
        admin().save();
        QCOMPARE(rightsOf("财务组"), 1);
        QCOMPARE(rightsOf("管理员组"), adminRights);
        QCOMPARE(admin().rightsGroup(), QString("财务组"));
        QVERIFY(!admin().isAdding());
    }
    void rightsAndPasswordsNeedTheSavingRight() {
        addSalesAndStore();
        // 小王 may open the window and add users, nothing else.
        grant("销售组", "Action_ManuItemPowerManger", "main_frm");
        grant("销售组", "Action_AddUser", UserAdministration::formName());
        me() = {"小王", "", "销售组"};
        const int before = rightsOf("销售组");
        // No group raises its own rights by moving away: every way of leaving
        // asks, none writes.
        QVERIFY(admin().select("销售组"));
        admin().setAll(true);
        answer(false);
        QVERIFY(!admin().select("仓库组"));
        answer(false);
        QVERIFY(!admin().addGroup());
        answer(true);
        QVERIFY(admin().select("仓库组"));
        QCOMPARE(rightsOf("销售组"), before);
        QVERIFY(!admin().hasPendingChanges());
        admin().setAll(true);
        QVERIFY_THROWS_EXCEPTION(UserError, admin().save());
        // Leaving the group: the changes cannot be written; keeping them keeps
        // the group on show, dropping them moves on.
        answer(false);
        QVERIFY(!admin().select("销售组"));
        QCOMPARE(admin().selectedName(), QString("仓库组"));
        QVERIFY(admin().rightsModified());
        answer(true);
        QVERIFY(admin().select("销售组"));
        QCOMPARE(rightsOf("仓库组"), 0);
        QCOMPARE(rightsOf("销售组"), before);
        // Passwords of saved users, and edits of saved rows, too.
        QVERIFY_THROWS_EXCEPTION(UserError, admin().setPassword("小王", "x"));
        QVERIFY(admin().select("小王"));
        admin().users().setValue("telephone", "123");
        answer(true);
        QVERIFY(admin().select("仓库组"));
        QVERIFY(db().scalar("select telephone from Sys_user where User_name='小王'").isNull());
        // Adding a user is what the group may do; adding a group is not.
        QVERIFY_THROWS_EXCEPTION(UserError, admin().addGroup());
        QVERIFY(admin().addUser("仓库组"));
        name("小赵");
        admin().setPassword("小赵", "pw");
        QVERIFY(logsIn("小赵", "pw"));
    }
    void systemGroupKeepsTheAdministration() {
        db().query("insert into Sys_user (User_name, User_Group, type) values ('老张', '管理员组', 1)");
        QVERIFY(!admin().toggle(admin().rights()[0].id));  // single clicks are refused there
        QVERIFY(!admin().rightsModified());
        admin().setAll(false);
        admin().save();
        // The window and every command of it stay; the rest is gone.
        QVERIFY(rightsOf("管理员组") > 0);
        QVERIFY(rightsOf("管理员组") < allRights());
        UserRecord other{"老张", "", "管理员组"};
        PermissionChecker check(db(), other);
        QVERIFY(check.isAllowed("Action_ManuItemPowerManger", "main_frm"));
        for (const QString& action :
             QStringList{"Action_SaveOperation", "Action_AddUser", "Action_AddGroup", "Action_DeleteUser"}) {
            QVERIFY2(check.isAllowed(action, UserAdministration::formName()), qPrintable(action));
        }
        QVERIFY(!check.isAllowed("Action12", "main_frm"));
        // And what the list shows is what was written.
        admin().select("老张");
        admin().select("管理员组");
        QCOMPARE(granted(admin()), rightsOf("管理员组"));
    }
    // A rename the caller's transaction rolls back leaves the user as he was,
    // with the rights still to save; saved, the logged-in user follows it.
    void renamesFollowTheLoggedInUser() {
        addSalesAndStore();
        db().query(
            "insert into Sys_user_Operation (User_name, Action_id) select '销售组', id from Sys_Operation_Table");
        me() = {"小王", "", "销售组"};
        QVERIFY(admin().select("销售组"));
        const int id = admin().rights()[2].id;
        QVERIFY(admin().toggle(id));
        name("营销组");
        {
            WriteTransaction outer(db());
            admin().save();
            QCOMPARE(me().UserGroup, QString("营销组"));
            // The caller's transaction does not commit.
        }
        QCOMPARE(me().UserGroup, QString("销售组"));
        QCOMPARE(admin().rightsGroup(), QString("销售组"));
        QVERIFY(admin().rightsModified());
        QCOMPARE(number("select count(*) from Sys_user where User_name='营销组'"), 0);
        QVERIFY(admin().toggle(id));
        name("营销组");
        admin().save();
        QCOMPARE(me().UserGroup, QString("营销组"));
        QCOMPARE(db().scalar("select User_Group from Sys_user where User_name='小王'").toString(), QString("营销组"));
        QCOMPARE(rightsOf("营销组"), allRights());
        QCOMPARE(admin().rightsGroup(), QString("营销组"));
        // The checks still answer for the renamed group.
        QVERIFY(m_permissions->isAllowed("Action_SaveOperation", UserAdministration::formName()));
        QVERIFY(admin().select("小王"));
        name("王五");
        QVERIFY(admin().select("仓库组"));
        QCOMPARE(me().UserName, QString("王五"));
    }
    void newUserIsWrittenWithItsPassword() {
        addSalesAndStore();
        QVERIFY(admin().select("销售组"));
        QVERIFY(admin().addUser("销售组"));
        name("lisi");
        // The password is given before the row was ever written.
        admin().setPassword("lisi", "密码1");
        QVERIFY(!admin().isAdding());
        QVERIFY(
            db().scalar("select password from Sys_user where User_name='lisi'").toString().startsWith("$argon2id$"));
        QVERIFY(logsIn("lisi", "密码1") && !logsIn("lisi", ""));
        // Typed with the new row and written when the cursor leaves it.
        QVERIFY(admin().addUser("销售组"));
        name("zhangsan");
        admin().setNewUserPassword("a'b\"c");
        QVERIFY(admin().select("仓库组"));
        QVERIFY(logsIn("zhangsan", "a'b\"c"));
        // Without one, the new user logs in with an empty password.
        QVERIFY(admin().addUser("仓库组"));
        name("wangwu");
        admin().save();
        QVERIFY(logsIn("wangwu", ""));
        QCOMPARE(admin().users().fieldIndex("password"), -1);  // never read into the window
    }
    void namesAreRequiredAndTrimmed() {
        addSalesAndStore();
        const int before = number("select count(*) from Sys_user");
        // A group left without a name is dropped; a user cannot go under it.
        QVERIFY(admin().addGroup());
        name("   ");
        QVERIFY_THROWS_EXCEPTION(UserError, admin().addUser(admin().selectedName()));
        QCOMPARE(number("select count(*) from Sys_user"), before);
        QVERIFY(!admin().isAdding());
        // Asked to save a new group without a name, the user is told so and the
        // group stays new with the rights set for it.
        QVERIFY(admin().addGroup());
        admin().setAll(true);
        try {
            admin().saveAsked();
            QFAIL("a new group without a name must be refused");
        } catch (const UserError& e) {
            QCOMPARE(e.message(), QString("组名不能为空"));
        }
        QVERIFY(admin().isAdding() && admin().rightsModified());
        name("采购组");
        admin().saveAsked();
        QCOMPARE(rightsOf("采购组"), allRights());
        QVERIFY(admin().addGroup());
        name(" 财务组 ");
        admin().save();
        QVERIFY(admin().addUser("财务组"));
        name("小张  ");
        admin().save();
        QCOMPARE(DocumentFixture::read(db(),
                                       "select User_name, User_Group from Sys_user where User_name like '%财务组%' or "
                                       "User_name like '%小张%' order by type"),
                 QString("财务组|0; 小张|财务组"));
        QVERIFY(admin().addUser("财务组"));
        name("小张");
        QVERIFY_THROWS_EXCEPTION(UserError, admin().save());
        QVERIFY(admin().isAdding());
        name("小刘");
        admin().save();
        QCOMPARE(number("select count(*) from Sys_user where User_name in ('小张', '小刘')"), 2);
        // A saved row cannot lose its name, nor take another's.
        QVERIFY(admin().select("小王"));
        name(" ");
        QVERIFY_THROWS_EXCEPTION(UserError, admin().save());
        name("仓库组");
        QVERIFY_THROWS_EXCEPTION(UserError, admin().save());
        admin().discardPending();
        QCOMPARE(admin().selectedName(), QString("小王"));
        QCOMPARE(number("select count(*) from Sys_user where User_name='小王'"), 1);
    }
    void deleteProtectionsAndGroupRights() {
        addSalesAndStore();
        db().query("insert into Sys_user_Operation (User_name, Action_id) values ('销售组', 1), ('仓库组', 2)");
        QVERIFY(admin().select("超级用户"));
        QVERIFY(!admin().deleteSelected());
        QCOMPARE(m_program->prompter().lastText(), QString("这是系统默认用户,不能删除"));
        QVERIFY(admin().select("管理员组"));
        QVERIFY(!admin().deleteSelected());
        QCOMPARE(m_program->prompter().lastText(), QString("这是系统组,不能删除"));
        QVERIFY(admin().select("销售组"));
        QVERIFY(!admin().deleteSelected());  // still has a user
        QVERIFY(admin().select("小王"));
        answer(false);
        QVERIFY(!admin().deleteSelected());
        QCOMPARE(number("select count(*) from Sys_user where User_name='小王'"), 1);
        answer(true);
        QVERIFY(admin().deleteSelected());
        QVERIFY(admin().select("销售组"));
        answer(true);
        QVERIFY(admin().deleteSelected());
        QCOMPARE(rightsOf("销售组"), 0);
        QCOMPARE(rightsOf("仓库组"), 1);
        QCOMPARE(number("select count(*) from Sys_user where User_name in ('销售组', '小王')"), 0);
        // Whatever row is current now, the rights in memory are its own.
        const QString now = admin().selectedName();
        QVERIFY(!now.isEmpty() && now != "销售组");
        if (admin().selectedIsGroup()) {
            QCOMPARE(admin().rightsGroup(), now);
            QCOMPARE(granted(admin()), rightsOf(now));
        } else {
            QVERIFY(admin().rights().isEmpty());
        }
    }
    void checksWithoutABookLetTheUserLogInAgain() {
        // The shipped list is what a new book holds.
        const auto& shipped = SchemaInstaller::shippedOperations();
        QCOMPARE(allRights(), static_cast<int>(shipped.size()));
        QCOMPARE(
            number("select count(*) from Sys_Operation_Table where isControl=1"),
            static_cast<int>(std::count_if(shipped.begin(), shipped.end(),
                                           [](const SchemaInstaller::ShippedOperation& o) { return o.controlled; })));
        me() = {"小王", "", "销售组"};
        DataModule& data = m_program->context().data();
        PermissionChecker check(data, me());
        data.disconnect();
        // Free commands of a new book run, so that the user can log in again;
        // controlled ones say why they cannot.
        QVERIFY(check.isAllowed("Action_LoginAgain", "main_frm"));
        QVERIFY(check.isAllowed("Action_ManuSystemSetting", "MAIN_FRM"));
        QVERIFY(!check.isAllowed("Action12", "main_frm"));
        try {
            check.CheckActionPermission("Action12", "main_frm");
            QFAIL("a controlled command ran without a book");
        } catch (const UserError& e) {
            QVERIFY(e.message().contains("没有打开的账本"));
        }
    }
    // Deleting, setting a password and clicking rights go by the name the book
    // holds while another is typed; the built-in names stay.
    void aNameBeingTypedChangesNoCheck() {
        addSalesAndStore();
        db().query("insert into Sys_user (User_name, User_Group, type) values ('小李', '仓库组', 1)");
        UserAccounts::setPassword(db(), "小李", "li");
        QVERIFY(admin().select("销售组"));
        name("x");
        QVERIFY(!admin().deleteSelected());  // 小王 is still in 销售组
        QCOMPARE(m_program->prompter().lastText(), QString("该组中还有用户,请先删除或移走这些用户"));
        QCOMPARE(number("select count(*) from Sys_user where User_name='销售组'"), 1);
        QVERIFY(admin().toggle(admin().rights()[4].id));
        admin().discardPending();
        QVERIFY(admin().select("小王"));
        name("小李");
        QVERIFY_THROWS_EXCEPTION(UserError, admin().setPassword("小李", "hijack"));
        QVERIFY(logsIn("小李", "li"));
        admin().discardPending();
        for (const QStringList& typed : QList<QStringList>{{"管理员组", "别的组"}, {"超级用户", "root"}}) {
            QVERIFY(admin().select(typed[0]));
            name(typed[1]);
            QVERIFY_THROWS_EXCEPTION(UserError, admin().save());
            admin().discardPending();
        }
        QCOMPARE(number("select count(*) from Sys_user where User_name in ('管理员组', '超级用户')"), 2);
        // Only a holder of the saving right adds members to the system group.
        grant("销售组", "Action_AddUser", UserAdministration::formName());
        me() = {"小王", "", "销售组"};
        QVERIFY_THROWS_EXCEPTION(UserError, admin().addUser(UserAdministration::systemGroup()));
        QVERIFY(admin().addUser("仓库组"));
    }
    // A write of a new row that a caller's transaction rolls back leaves the
    // row new, with its rights list or its password, for the next save.
    void rolledBackAddsStayNew() {
        QVERIFY(admin().addGroup());
        QVERIFY(admin().toggle(admin().rights()[3].id));
        name("财务组");
        {
            WriteTransaction outer(db());
            admin().save();
        }
        QVERIFY(admin().isAddingGroup());
        QCOMPARE(admin().rightsGroup(), QString());
        admin().save();
        QCOMPARE(rightsOf("财务组"), 1);
        QCOMPARE(number("select type from Sys_user where User_name='财务组'"), 0);
        QVERIFY(admin().addUser("财务组"));
        name("小钱");
        admin().setNewUserPassword("qian");
        {
            WriteTransaction outer(db());
            admin().save();
        }
        QVERIFY(admin().isAdding() && !admin().isAddingGroup());
        admin().save();
        QVERIFY(logsIn("小钱", "qian"));
    }

private:
    Database& db() { return m_program->context().data().main(); }
    UserRecord& me() { return m_program->context().CurrentUser; }
    int number(const QString& sql) { return db().scalar(sql).toInt(); }
    int rightsOf(const QString& group) {
        return db().scalar("select count(*) from Sys_user_Operation where User_name=:g", {{"g", group}}).toInt();
    }
    int allRights() { return number("select count(*) from Sys_Operation_Table"); }
    void grant(const QString& group, const QString& action, const QString& form) {
        db().execute(
            "insert into Sys_user_Operation (User_name, Action_id) select :g, id from Sys_Operation_Table where "
            "LOWER(Action_Name)=:a and LOWER(Form_Name)=:f",
            {{"g", group}, {"a", action.toLower()}, {"f", form.toLower()}});
    }
    static int granted(const UserAdministration& admin) {
        return static_cast<int>(std::count_if(admin.rights().begin(), admin.rights().end(),
                                              [](const UserAdministration::Right& r) { return r.granted; }));
    }
    void answer(bool yes) { m_program->prompter().setNextAnswer(yes); }
    void name(const QString& name) { admin().users().setValue("User_name", name); }
    bool logsIn(const QString& user, const QString& password) {
        return UserAccounts::verifyLogin(db(), user, password).has_value();
    }
    // Two groups and a user in the first; the logged-in user is the
    // built-in one unless a test logs in as someone else.
    void addSalesAndStore() {
        db().query(
            "insert into Sys_user (User_name, User_Group, type) values ('销售组', '0', 0), ('仓库组', '0', 0), "
            "('小王', '销售组', 1)");
    }
    std::unique_ptr<TestProgram> m_program;
    std::unique_ptr<PermissionChecker> m_permissions;
    std::unique_ptr<UserAdministration> m_admin;
    UserAdministration& admin() {
        if (!m_admin) {
            m_permissions = std::make_unique<PermissionChecker>(db(), me());
            m_admin = std::make_unique<UserAdministration>(m_program->context(), *m_permissions);
            m_admin->open();
        }
        return *m_admin;
    }
};

QTEST_GUILESS_MAIN(TestUserAdministration)
#include "test_user_administration.moc"
