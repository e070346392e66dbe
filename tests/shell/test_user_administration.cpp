#include <QTest>

#include "data/data_module.h"
#include "data/permission_checker.h"
#include "data/schema_installer.h"
#include "data/user_accounts.h"
#include "documents/document_fixture.h"
#include "master/refusal.h"
#include "shell/user_administration.h"
#include "support/test_books.h"

// Users, groups and rights on both engines.
class TestUserAdministration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() {
        m_program = TestBooks::TestProgram::asAdministratorOnCurrentEngine();
        if (!m_program) {
            return;
        }
        // Besides the system's: the groups 销售组, holding 小王, and 仓库组.
        db().query(
            "insert into Sys_user (User_name, User_Group, type) values ('销售组', '0', 0), ('仓库组', '0', 0), "
            "('小王', '销售组', 1)");
    }
    void cleanup() {
        m_admin.reset();
        m_permissions.reset();
        m_program.reset();
    }
    void rightsAreSavedForTheirGroup() {
        QCOMPARE(admin().rightsGroup(), QString("管理员组"));
        QCOMPARE(granted(admin()), admin().rights().size());
        QVERIFY(admin().select("销售组") && granted(admin()) == 0);
        const int id = admin().rights()[3].id;
        QVERIFY(admin().toggle(id));
        QVERIFY(admin().select("仓库组"));
        QCOMPARE(number("select Action_id from Sys_user_Operation where User_name='销售组'"), id);
        QCOMPARE(QList<int>({rightsOf("销售组"), rightsOf("仓库组")}), QList<int>({1, 0}));
        admin().setAll(true);
        admin().save();
        QCOMPARE(rightsOf("仓库组"), allRights());
        QVERIFY(admin().select("销售组") && granted(admin()) == 1);
        // A user's row shows no rights; clicks there change nothing.
        QVERIFY(admin().select("小王") && admin().rights().isEmpty());
        QVERIFY(!admin().toggle(id));
        admin().setAll(true);
        QVERIFY(!admin().hasPendingChanges());
    }
    void newGroupsAndUsersAreWrittenWithTheirRightsAndPasswords() {
        const int adminRights = rightsOf("管理员组");
        // A nameless new group saved is not written; the system group keeps its rights.
        QVERIFY(admin().addGroup() && admin().isAddingGroup());
        QCOMPARE(admin().rightsGroup(), QString());
        QCOMPARE(admin().rights().size(), allRights());
        QCOMPARE(granted(admin()), 0);
        admin().setAll(false);
        admin().save();
        QCOMPARE(rightsOf("管理员组"), adminRights);
        QCOMPARE(number("select count(*) from Sys_user where type=0"), 3);
        // A rolled-back write of a new row leaves it new, with its rights or password, for the next save.
        QVERIFY(admin().addGroup());
        QVERIFY(admin().toggle(admin().rights()[5].id));
        name("财务组");
        {
            WriteTransaction outer(db());
            admin().save();
        }
        QVERIFY(admin().isAddingGroup());
        QCOMPARE(admin().rightsGroup(), QString());
        admin().save();
        QCOMPARE(QList<int>({rightsOf("财务组"), rightsOf("管理员组"),
                             number("select type from Sys_user where User_name='财务组'")}),
                 QList<int>({1, adminRights, 0}));
        QCOMPARE(admin().rightsGroup(), QString("财务组"));
        QVERIFY(!admin().isAdding());
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
        // A password given before the row was written, or none.
        QVERIFY(admin().select("销售组"));
        QVERIFY(admin().addUser("销售组"));
        name("lisi");
        admin().setPassword("lisi", "密码1");
        QVERIFY(!admin().isAdding());
        QVERIFY(
            db().scalar("select password from Sys_user where User_name='lisi'").toString().startsWith("$argon2id$"));
        QVERIFY(logsIn("lisi", "密码1") && !logsIn("lisi", ""));
        QVERIFY(admin().addUser("仓库组"));
        name("wangwu");
        admin().save();
        QVERIFY(logsIn("wangwu", ""));
        QCOMPARE(admin().users().fieldIndex("password"), -1);  // never read into the window
    }
    void rightsAndPasswordsNeedTheSavingRight() {
        grant("销售组", "Action_ManuItemPowerManger", "main_frm");
        grant("销售组", "Action_AddUser", UserAdministration::formName());
        me() = {"小王", "", "销售组"};
        const int before = rightsOf("销售组");
        // No group raises its own rights by moving away: every way of leaving asks, none writes.
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
        // Unwritable changes: keeping them keeps the group on show, dropping them moves on.
        answer(false);
        QVERIFY(!admin().select("销售组"));
        QVERIFY(admin().selectedName() == "仓库组" && admin().rightsModified());
        answer(true);
        QVERIFY(admin().select("销售组"));
        QCOMPARE(QList<int>({rightsOf("仓库组"), rightsOf("销售组")}), QList<int>({0, before}));
        QVERIFY_THROWS_EXCEPTION(UserError, admin().setPassword("小王", "x"));
        QVERIFY(admin().select("小王"));
        admin().users().setValue("telephone", "123");
        answer(true);
        QVERIFY(admin().select("仓库组"));
        QVERIFY(db().scalar("select telephone from Sys_user where User_name='小王'").isNull());
        QVERIFY_THROWS_EXCEPTION(UserError, admin().addGroup());
        QVERIFY(admin().addUser("仓库组"));
        name("小赵");
        admin().setPassword("小赵", "pw");
        QVERIFY(logsIn("小赵", "pw"));
    }
    void systemGroupKeepsTheAdministration() {
        db().query("insert into Sys_user (User_name, User_Group, type) values ('老张', '管理员组', 1)");
        QVERIFY(!admin().toggle(admin().rights()[0].id) && !admin().rightsModified());  // no single clicks there
        admin().setAll(false);
        admin().save();
        // The window and its commands stay; the rest is gone.
        QVERIFY(rightsOf("管理员组") > 0 && rightsOf("管理员组") < allRights());
        UserRecord other{"老张", "", "管理员组"};
        PermissionChecker check(db(), other);
        QVERIFY(check.isAllowed("Action_ManuItemPowerManger", "main_frm"));
        for (const QString& action :
             QStringList{"Action_SaveOperation", "Action_AddUser", "Action_AddGroup", "Action_DeleteUser"}) {
            QVERIFY2(check.isAllowed(action, UserAdministration::formName()), qPrintable(action));
        }
        QVERIFY(!check.isAllowed("Action12", "main_frm"));
        admin().select("老张");
        admin().select("管理员组");
        QCOMPARE(granted(admin()), rightsOf("管理员组"));
    }
    // A rolled-back rename leaves the user as he was; saved, the logged-in user follows it.
    void renamesFollowTheLoggedInUser() {
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
        }
        QCOMPARE(me().UserGroup + '|' + admin().rightsGroup(), QString("销售组|销售组"));
        QVERIFY(admin().rightsModified() && number("select count(*) from Sys_user where User_name='营销组'") == 0);
        QVERIFY(admin().toggle(id));
        name("营销组");
        admin().save();
        QCOMPARE(QStringList({me().UserGroup,
                              db().scalar("select User_Group from Sys_user where User_name='小王'").toString(),
                              admin().rightsGroup()}),
                 QStringList({"营销组", "营销组", "营销组"}));
        QCOMPARE(rightsOf("营销组"), allRights());
        QVERIFY(admin().select("小王"));
        name("王五");
        QVERIFY(admin().select("仓库组"));
        QCOMPARE(me().UserName, QString("王五"));
    }
    void namesAreRequiredAndTrimmed() {
        const int before = number("select count(*) from Sys_user");
        QVERIFY(admin().addGroup());
        name("   ");
        QVERIFY_THROWS_EXCEPTION(UserError, admin().addUser(admin().selectedName()));
        QVERIFY(number("select count(*) from Sys_user") == before && !admin().isAdding());
        // A nameless new group is refused and stays new with its rights.
        QVERIFY(admin().addGroup());
        admin().setAll(true);
        QCOMPARE(refusal([&] { admin().saveAsked(); }), QString("组名不能为空"));
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
        db().query("insert into Sys_user_Operation (User_name, Action_id) values ('销售组', 1), ('仓库组', 2)");
        QVERIFY(admin().select("超级用户") && !admin().deleteSelected());
        QCOMPARE(m_program->prompter().lastText(), QString("这是系统默认用户,不能删除"));
        QVERIFY(admin().select("管理员组") && !admin().deleteSelected());
        QCOMPARE(m_program->prompter().lastText(), QString("这是系统组,不能删除"));
        QVERIFY(admin().select("销售组") && !admin().deleteSelected());  // still has a user
        QVERIFY(admin().select("小王"));
        answer(false);
        QVERIFY(!admin().deleteSelected());
        QCOMPARE(number("select count(*) from Sys_user where User_name='小王'"), 1);
        answer(true);
        QVERIFY(admin().deleteSelected());
        QVERIFY(admin().select("销售组"));
        answer(true);
        QVERIFY(admin().deleteSelected());
        QCOMPARE(QList<int>({rightsOf("销售组"), rightsOf("仓库组")}), QList<int>({0, 1}));
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
        // Without a book free commands run (to log in again); controlled ones say why not.
        QVERIFY(check.isAllowed("Action_LoginAgain", "main_frm"));
        QVERIFY(check.isAllowed("Action_ManuSystemSetting", "MAIN_FRM"));
        QVERIFY(!check.isAllowed("Action12", "main_frm"));
        QVERIFY(refusal([&] { check.CheckActionPermission("Action12", "main_frm"); }).contains("没有打开的账本"));
    }
    // Checks go by the name the book holds while another is typed; the built-in names stay.
    void aNameBeingTypedChangesNoCheck() {
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
        grant("销售组", "Action_AddUser", UserAdministration::formName());
        me() = {"小王", "", "销售组"};
        QVERIFY_THROWS_EXCEPTION(UserError, admin().addUser(UserAdministration::systemGroup()));
        QVERIFY(admin().addUser("仓库组"));
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
    std::unique_ptr<TestBooks::TestProgram> m_program;
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
