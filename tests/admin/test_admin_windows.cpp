#include <QCheckBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "admin/company_info_window.h"
#include "admin/password_dialog.h"
#include "admin/picture_viewer_dialog.h"
#include "admin/settings_dialog.h"
#include "data/data_module.h"
#include "data/user_accounts.h"
#include "shell/users_window.h"
#include "support/test_books.h"
#include "ui/folder_chooser_dialog.h"
#include "ui/tree_list.h"

using TestBooks::TestProgram;

namespace {
// Typing text that QTest cannot send as key presses (Chinese): the editor
// gets the text and says it was edited, as typing does.
void typeText(QLineEdit* edit, const QString& text) {
    edit->setText(edit->text() + text);
    emit edit->textEdited(edit->text());
}
}  // namespace

// The administration windows opened offscreen and clicked through: the
// password, users and rights, company, settings, folder and picture
// windows. The rules behind them are tested in test_shell_logic and
// test_user_administration.
class TestAdminWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void passwordDialogChangesThePassword();
    void usersWindowShowsTheRowThatIsCurrent();
    void usersWindowClosesWithoutTheSavingRight();
    void companyWindowEditsAndSaves();
    void folderChooserOpensAtTheCurrentFolder();
    void settingsDialogWritesTheSettings();
    void pictureViewerShowsAndSaves();

private:
    void addOrdinaryUser();
    std::unique_ptr<TestProgram> m_program;
};

void TestAdminWindows::init() {
    m_program = std::make_unique<TestProgram>(true);
    m_program->context().data().ConnectDatabases();
}

void TestAdminWindows::cleanup() {
    m_program.reset();
}

void TestAdminWindows::addOrdinaryUser() {
    Database& db = m_program->context().data().main();
    db.query("insert into Sys_user (User_name, User_Group, type) values ('销售组', '0', 0)");
    db.query("insert into Sys_user (User_name, User_Group, type) values ('小王', '销售组', 1)");
}

void TestAdminWindows::passwordDialogChangesThePassword() {
    AppContext& c = m_program->context();
    c.CurrentUser = {"超级用户", "", "管理员组"};
    PasswordDialog dialog(c);
    dialog.show();
    QTest::keyClicks(dialog.newPassword(), "abc");
    QTest::keyClicks(dialog.repeated(), "abC");
    dialog.confirm();
    QCOMPARE(m_program->prompter().lastText(), QString("两次输入的密码不相符，请重新输入"));
    QVERIFY(dialog.newPassword()->text().isEmpty());
    QVERIFY(dialog.isVisible());
    typeText(dialog.newPassword(), "新密码1");
    typeText(dialog.repeated(), "新密码1");
    dialog.confirm();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(UserAccounts::verifyLogin(c.data().main(), "超级用户", "新密码1").has_value());
}

namespace {
QPushButton* buttonOf(QWidget* w, const QString& text) {
    for (QPushButton* b : w->findChildren<QPushButton*>()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

int markedRights(QTreeWidget* tree) {
    int n = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        n += (*it)->data(0, Qt::UserRole + 1).toBool() ? 1 : 0;
    }
    return n;
}
}  // namespace

// After every command the tree, the page and its editors show one row: the
// one the administration holds as current. Its rules are tested in
// test_user_administration.
void TestAdminWindows::usersWindowShowsTheRowThatIsCurrent() {
    AppContext& c = m_program->context();
    c.CurrentUser = {"超级用户", "", "管理员组"};
    addOrdinaryUser();
    Database& db = c.data().main();
    const int adminRights = db.scalar("select count(*) from Sys_user_Operation where User_name='管理员组'").toInt();
    UsersWindow w(c);
    w.show();
    QCOMPARE(w.objectName(), QString("Sys_User_Operation_Frm"));
    TreeModel* tree = w.userTree()->treeModel();
    // Opened on the system group with its rights.
    QCOMPARE(w.userTree()->currentId().toString(), QString("管理员组"));
    QCOMPARE(markedRights(w.rightsTree()), adminRights);
    QVERIFY(w.groupNameEdit()->isReadOnly());

    // A new group: its own empty list is on show; 全选 marks the rights.
    QVERIFY(w.actions().execute("Action_AddGroup"));
    QCOMPARE(w.pages()->currentIndex(), 1);
    QVERIFY(!w.groupNameEdit()->isReadOnly());
    QCOMPARE(markedRights(w.rightsTree()), 0);
    buttonOf(&w, "全选")->click();
    QVERIFY(markedRights(w.rightsTree()) > 0);
    typeText(w.groupNameEdit(), "仓库组");
    QVERIFY(w.actions().execute("Action_SaveOperation"));
    QCOMPARE(db.scalar("select type from Sys_user where User_name='仓库组'").toInt(), 0);
    QCOMPARE(w.userTree()->currentId().toString(), QString("仓库组"));

    // A user added under it, with the password typed with the new row, is
    // current and visible in its open group; its page sets its password.
    QVERIFY(w.actions().execute("Action_AddUser"));
    typeText(w.userNameEdit(), "老李");
    typeText(w.passwordEdit(), "pw1");
    QVERIFY(w.actions().execute("Action_SaveOperation"));
    QVERIFY(UserAccounts::verifyLogin(db, "老李", "pw1").has_value());
    QCOMPARE(w.userTree()->currentId().toString(), QString("老李"));
    QCOMPARE(tree->node(tree->indexOfId("老李").parent())->id.toString(), QString("仓库组"));
    QVERIFY(w.userTree()->isExpanded(tree->indexOfId("仓库组")));
    QCOMPARE(w.pages()->currentIndex(), 0);
    w.passwordEdit()->clear();
    QTest::keyClicks(w.passwordEdit(), "pw2");
    w.setPasswordOfSelected();
    QVERIFY(UserAccounts::verifyLogin(db, "老李", "pw2").has_value());

    // Deleting: the page that follows is the one of the row now current.
    w.selectNode("老李");
    m_program->prompter().setNextAnswer(true);
    QVERIFY(w.actions().execute("Action_DeleteUser"));
    QCOMPARE(db.scalar("select count(*) from Sys_user where User_name='老李'").toInt(), 0);
    const QString now = w.admin().selectedName();
    QCOMPARE(w.userTree()->currentId().toString(), now);
    QCOMPARE(w.pages()->currentIndex(), w.admin().selectedIsGroup() ? 1 : 0);
    QCOMPARE((w.admin().selectedIsGroup() ? w.groupNameEdit() : w.userNameEdit())->text(), now);

    // A rename shows the new name on the group's page and in the tree.
    w.selectNode("销售组");
    w.groupNameEdit()->clear();
    typeText(w.groupNameEdit(), "营销组");
    QVERIFY(w.actions().execute("Action_SaveOperation"));
    QCOMPARE(w.userTree()->currentId().toString(), QString("营销组"));
    QCOMPARE(w.groupNameEdit()->text(), QString("营销组"));
    QCOMPARE(tree->node(tree->indexOfId("小王").parent())->id.toString(), QString("营销组"));
}

// A user who may open the window but not save: changed rights are either
// dropped on request or keep the window open, and the tree stays on the
// group whose rights are shown.
void TestAdminWindows::usersWindowClosesWithoutTheSavingRight() {
    AppContext& c = m_program->context();
    addOrdinaryUser();
    Database& db = c.data().main();
    db.execute(
        "insert into Sys_user_Operation (User_name, Action_id) select '销售组', id from Sys_Operation_Table "
        "where LOWER(Action_Name)='action_manuitempowermanger'");
    c.CurrentUser = {"小王", "", "销售组"};
    UsersWindow w(c);
    w.show();
    w.selectNode("销售组");
    buttonOf(&w, "全选")->click();
    // A press on another group, answered "keep the changes".
    TreeList* tree = w.userTree();
    m_program->prompter().setNextAnswer(false);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualRect(tree->treeModel()->indexOfId("管理员组")).center());
    auto marked = [tree] {
        const QModelIndexList rows = tree->selectionModel()->selectedRows();
        return rows.size() == 1 ? tree->treeModel()->node(rows[0])->id.toString() : QString();
    };
    QTRY_COMPARE(marked(), QString("销售组"));
    QCOMPARE(tree->currentId().toString(), QString("销售组"));
    m_program->prompter().setNextAnswer(false);
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    m_program->prompter().setNextAnswer(true);
    QVERIFY(w.close());
    QCOMPARE(db.scalar("select count(*) from Sys_user_Operation where User_name='销售组'").toInt(), 1);
}

void TestAdminWindows::companyWindowEditsAndSaves() {
    AppContext& c = m_program->context();
    c.CurrentUser = {"超级用户", "", "管理员组"};
    {
        CompanyInfoWindow w(c);
        w.show();
        QVERIFY(w.editorFor("Corp_name")->isReadOnly());
        QVERIFY(w.actions().execute("Action_Edit"));
        QVERIFY(!w.editorFor("Corp_name")->isReadOnly());
        typeText(w.editorFor("Corp_name"), "东方门窗");
        w.close();  // closing after "修改" writes without asking
    }
    QCOMPARE(c.data().main().scalar("select Corp_name from Sys_Corp").toString(), QString("东方门窗"));
}

// The folder tree is read in the background; once it is, the dialog stands
// on the folder it was opened with, in view, deep down a long list.
void TestAdminWindows::folderChooserOpensAtTheCurrentFolder() {
    QTemporaryDir dir;
    for (int i = 0; i < 80; ++i) {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("many/d%1").arg(i, 2, 10, QChar('0'))));
    }
    const QString target = QDir(dir.path()).filePath("many/d77/pics");
    QVERIFY(QDir().mkpath(target));
    FolderChooserDialog chooser(target);
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    auto* model = qobject_cast<QFileSystemModel*>(chooser.tree()->model());
    QVERIFY(model);
    QTRY_COMPARE_WITH_TIMEOUT(model->filePath(chooser.tree()->currentIndex()), target, 10000);
    // Every folder on the way has been read in.
    const QModelIndex many = model->index(QDir(dir.path()).filePath("many"));
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(many), 80, 10000);
    QTest::qWait(200);
    QVERIFY(chooser.tree()->viewport()->rect().intersects(chooser.tree()->visualRect(chooser.tree()->currentIndex())));
    QCOMPARE(chooser.path(), target);
}

void TestAdminWindows::settingsDialogWritesTheSettings() {
    AppContext& c = m_program->context();
    SettingsDialog d(c);
    m_program->files().answers = {QStringLiteral("/data/pics")};
    QVERIFY(!d.customFilterBox()->isChecked());
    d.chooseFolder();
    QCOMPARE(d.folderEdit()->text(), QString("/data/pics"));
    QCOMPARE(m_program->files().asked.last().kind, FileQuestion::Folder);
    d.customFilterBox()->setChecked(true);
    d.confirm();
    QCOMPARE(c.PictureFolder, QString("/data/pics/"));
    QVERIFY(c.showCustomFilter());
    QCOMPARE(IniFile(c.paths().configFile()).readString("SYS_Setting", "picPath"), QString("/data/pics/"));
}

void TestAdminWindows::pictureViewerShowsAndSaves() {
    QTemporaryDir dir;
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::blue);
    QVERIFY(img.save(dir.filePath("SP00000001.jpg")));
    PictureViewerDialog viewer(m_program->prompter(), m_program->files());
    viewer.setPicture(dir.filePath("SP00000001.jpg"), "编码:SP00000001", "SP00000001_合页");
    QCOMPARE(viewer.titleText(), QString("编码:SP00000001"));
    m_program->files().answers = {dir.filePath("copy.png")};
    viewer.saveAs();
    QCOMPARE(m_program->files().asked.last().start, QString("SP00000001_合页.jpg"));
    QCOMPARE(m_program->prompter().lastText(), QString("图片已保存成功！"));
    QFile saved(dir.filePath("copy.png"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.read(4), QByteArray("\x89PNG"));  // the format of the chosen extension
}

QTEST_MAIN(TestAdminWindows)
#include "test_admin_windows.moc"
