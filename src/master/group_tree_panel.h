#pragma once

#include <QWidget>
#include <functional>

class ActionManager;
class GroupedDirectory;
class QAction;
class QHBoxLayout;
class QLabel;
class QPushButton;
class TreeList;

// The group tree of a grouped list with its buttons under it. Choosing a
// group focuses it; grid rows dropped on a group move those records there,
// a group dropped on another moves under it; while something is dragged the
// status line says whether it may be dropped. Everything runs through the
// window's error boundary, and after a failure the tree shows the group the
// list still holds.
class GroupTreePanel : public QWidget {
    Q_OBJECT
public:
    GroupTreePanel(GroupedDirectory& directory, ActionManager& actions, QLabel* status, QWidget* parent = nullptr);

    TreeList* tree() const { return m_tree; }
    // A button under the tree that triggers a command of the window: every
    // change of the groups is a command and passes its right.
    QPushButton* addButton(const QString& caption, QAction* action);
    // Shows and focuses a group; false when its records could not be read.
    bool showGroup(const QVariant& id);
    // After the directory opened: the root chosen, every group open.
    void showRoot();
    // The commands whose rights a drop of records and of a group need.
    void setDropRights(const QString& records, const QString& groups);
    // After a command on the groups: the tree stands on the group the list
    // shows, with that group and the path to it open, so a group just
    // added under it or moved into it can be seen.
    void showFocused();

signals:
    // The list now holds the records of another group.
    void groupFocused();

private:
    void follow(const QVariant& id);
    void dropRecords(const QStringList& ids, const QVariant& target);
    void dropGroup(const QStringList& ids, const QVariant& target);

    GroupedDirectory& m_directory;
    ActionManager& m_actions;
    QLabel* m_status;
    QString m_recordsRight;
    QString m_groupsRight;
    TreeList* m_tree;
    QHBoxLayout* m_buttons;
};
