#pragma once

#include "shell/user_administration.h"
#include "ui/base_window.h"

class QLineEdit;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TreeList;

// "用户权限管理": users under their groups on the left; on the right the
// selected user's data, or the selected group's rights as a tree.
class UsersWindow : public BaseWindow {
    Q_OBJECT
public:
    explicit UsersWindow(AppContext& context, QWidget* parent = nullptr);

    UserAdministration& admin() { return m_admin; }
    TreeList* userTree() const { return m_users; }
    QTreeWidget* rightsTree() const { return m_rights; }
    QStackedWidget* pages() const { return m_pages; }
    QLineEdit* userNameEdit() const { return m_userName; }
    QLineEdit* groupNameEdit() const { return m_groupName; }
    QLineEdit* passwordEdit() const { return m_password; }

    // A click on a user or group in the tree.
    void selectNode(const QString& name);
    // A click on a right (by its id), as the mouse gives it.
    void clickRight(int id);
    void setPasswordOfSelected();

protected:
    bool confirmClose() override;

private:
    // Puts the tree, the page and its editors in step with the row that is
    // current in the administration, after every command.
    void showCurrent();
    void rebuildTree();
    void showRights();
    void refreshRightMarks();

    UserAdministration m_admin;
    TreeList* m_users;
    QStackedWidget* m_pages;
    QTreeWidget* m_rights;
    QLineEdit* m_userName;
    QLineEdit* m_groupName;
    QLineEdit* m_password;
    bool m_selecting = false;
};
