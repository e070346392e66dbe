#include <QCheckBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "admin/about_dialog.h"
#include "admin/code_list_window.h"
#include "admin/code_value_dialog.h"
#include "admin/company_info_window.h"
#include "admin/password_dialog.h"
#include "admin/picture_viewer_dialog.h"
#include "admin/settings_dialog.h"
#include "data/data_module.h"
#include "data/user_accounts.h"
#include "platform/build_info.h"
#include "shell/users_window.h"
#include "support/test_books.h"
#include "ui/data_grid.h"
#include "ui/folder_chooser_dialog.h"
#include "ui/tree_list.h"

// The administration windows clicked through: each command reaches its logic and the window shows the result.
class TestAdminWindows : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_program = std::make_unique<TestBooks::TestProgram>(true);
        m_program->openAsAdministrator();
    }
    void cleanup() { m_program.reset(); }
    void passwordAndCompanyDialogsSave() {
        AppContext& c = m_program->context();
        PasswordDialog dialog(c);
        dialog.show();
        typeText(dialog.newPassword(), "新密码1");
        typeText(dialog.repeated(), "新密码1");
        dialog.confirm();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(UserAccounts::verifyLogin(c.data().main(), "超级用户", "新密码1").has_value());
        {
            CompanyInfoWindow w(c);
            w.show();
            QVERIFY(w.editorFor("Corp_name")->isReadOnly());
            QVERIFY(w.actions().execute("Action_Edit"));
            typeText(w.editorFor("Corp_name"), "东方门窗");
            w.close();  // closing after "修改" writes without asking
        }
        QCOMPARE(c.data().main().scalar("select Corp_name from Sys_Corp").toString(), QString("东方门窗"));
        // 关于 names the version and the folder the books are in.
        AboutDialog about(c);
        QStringList shown;
        for (const QLabel* label : about.findChildren<QLabel*>()) {
            shown << label->text();
        }
        QVERIFY2(
            shown.contains(BuildInfo::version()) && shown.contains(QDir::toNativeSeparators(m_program->folder() + "/")),
            qPrintable(shown.join('|')));
    }
    // After every command the tree and the page show the current row.
    void usersWindowShowsTheRowThatIsCurrent() {
        AppContext& c = m_program->context();
        Database& db = c.data().main();
        UsersWindow w(c);
        w.show();
        TreeModel* tree = w.userTree()->treeModel();
        // Opened on the system group with its rights.
        QCOMPARE(w.userTree()->currentId().toString(), QString("管理员组"));
        QCOMPARE(markedRights(w.rightsTree()),
                 db.scalar("select count(*) from Sys_user_Operation where User_name='管理员组'").toInt());
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
        QCOMPARE(w.userTree()->currentId().toString(), QString("仓库组"));
        // A user added under it with a password is current in its open group.
        QVERIFY(w.actions().execute("Action_AddUser"));
        typeText(w.userNameEdit(), "老李");
        typeText(w.passwordEdit(), "pw1");
        QVERIFY(w.actions().execute("Action_SaveOperation"));
        QVERIFY(UserAccounts::verifyLogin(db, "老李", "pw1").has_value());
        QCOMPARE(w.userTree()->currentId().toString(), QString("老李"));
        QCOMPARE(tree->node(tree->indexOfId("老李").parent())->id.toString(), QString("仓库组"));
        QVERIFY(w.userTree()->isExpanded(tree->indexOfId("仓库组")));
        QCOMPARE(w.pages()->currentIndex(), 0);
    }
    // Once the tree is read, the dialog stands on the folder it was given.
    void folderChooserOpensAtTheCurrentFolder() {
        QTemporaryDir dir;
        const QString target = QDir(dir.path()).filePath("many/d77/pics");
        QVERIFY(QDir().mkpath(target));
        FolderChooserDialog chooser(target);
        chooser.show();
        auto* model = qobject_cast<QFileSystemModel*>(chooser.tree()->model());
        QVERIFY(model);
        QTRY_COMPARE_WITH_TIMEOUT(model->filePath(chooser.tree()->currentIndex()), target, 10000);
        QCOMPARE(chooser.path(), target);
    }
    void settingsDialogWritesTheSettings() {
        AppContext& c = m_program->context();
        SettingsDialog d(c);
        m_program->files().answers = {QStringLiteral("/data/pics")};
        QVERIFY(!d.customFilterBox()->isChecked());
        d.chooseFolder();
        QCOMPARE(d.folderEdit()->text(), QString("/data/pics"));
        QCOMPARE(m_program->files().asked.last().kind, FileQuestion::Folder);
        d.customFilterBox()->setChecked(true);
        d.confirm();
        QVERIFY(c.showCustomFilter());
        QCOMPARE(c.PictureFolder + " " + IniFile(c.paths().configFile()).readString("SYS_Setting", "picPath"),
                 QString("/data/pics/ /data/pics/"));
    }
    void pictureViewerShowsAndSaves() {
        QTemporaryDir dir;
        QImage img(64, 48, QImage::Format_RGB32);
        img.fill(Qt::blue);
        QVERIFY(img.save(dir.filePath("SP00000001.jpg")));
        PictureViewerDialog viewer(m_program->prompter(), m_program->files());
        viewer.setPicture(dir.filePath("SP00000001.jpg"), "编码:SP00000001", "SP00000001_合页");
        m_program->files().answers = {dir.filePath("copy.png")};
        viewer.saveAs();
        QCOMPARE(m_program->files().asked.last().start + m_program->prompter().lastText(),
                 QString("SP00000001_合页.jpg图片已保存成功！"));
        QFile saved(dir.filePath("copy.png"));
        QVERIFY(saved.open(QIODevice::ReadOnly) && saved.read(4) == "\x89PNG");  // the chosen extension's format
    }
    // "参数表设置" shows its editor's lists and columns and adds through the value dialog; picking, it returns the
    // double-clicked value.
    void codeListEditsAndPicks() {
        CodeListWindow w(m_program->context());
        QString shownNumber;
        m_program->windows().then<CodeValueDialog>([&shownNumber](CodeValueDialog& dialog) {
            shownNumber = dialog.findChildren<QLineEdit*>().first()->text();
            dialog.nameEdit()->setText("玫瑰金");
            dialog.accept();
            return dialog.result();
        });
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(!w.selectButton()->isVisible());
        QVERIFY(w.tree()->setCurrentId("货品名称"));
        GridModel* model = w.grid()->model();
        const int spareColumn = model->columnOf("blank1_Str");
        QVERIFY(!w.grid()->view()->isColumnHidden(spareColumn));
        QCOMPARE(model->data(model->index(0, 1)).toString() + " " +
                     model->data(model->index(0, model->columnOf("blank2_Str"))).toString(),
                 QString("平开窗 平方米"));
        QVERIFY(w.tree()->setCurrentId("型材颜色"));
        QVERIFY(w.grid()->view()->isColumnHidden(spareColumn));
        QTest::mouseClick(buttonOf(&w, "添加"), Qt::LeftButton);
        QCOMPARE(shownNumber, QString("6"));
        QCOMPARE(model->data(model->index(5, 1)).toString(), QString("玫瑰金"));
        CodeListWindow pick(m_program->context());
        pick.setPickMode("payout", "subject");
        pick.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pick));
        QVERIFY(pick.selectButton()->isVisible());
        QTableView* view = pick.grid()->view();
        const QRect cell = view->visualRect(pick.grid()->model()->index(2, 1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(pick.result(), QString("2"));  // the double-clicked row's value
        QVERIFY(!pick.isVisible());
    }

private:
    // Typing Chinese text, which QTest cannot send as key presses.
    static void typeText(QLineEdit* edit, const QString& text) {
        edit->setText(edit->text() + text);
        emit edit->textEdited(edit->text());
    }
    static QPushButton* buttonOf(QWidget* w, const QString& text) {
        for (QPushButton* b : w->findChildren<QPushButton*>()) {
            if (b->text() == text) {
                return b;
            }
        }
        return nullptr;
    }
    static int markedRights(QTreeWidget* tree) {
        int n = 0;
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            n += (*it)->data(0, Qt::UserRole + 1).toBool() ? 1 : 0;
        }
        return n;
    }
    std::unique_ptr<TestBooks::TestProgram> m_program;
};

QTEST_MAIN(TestAdminWindows)
#include "test_admin_windows.moc"
