#include "master/group_tree_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "master/grouped_directory.h"
#include "ui/action_manager.h"
#include "ui/tree_list.h"

GroupTreePanel::GroupTreePanel(GroupedDirectory& directory, ActionManager& actions, QLabel* status, QWidget* parent)
    : QWidget(parent),
      m_directory(directory),
      m_actions(actions),
      m_status(status),
      m_tree(new TreeList(this)),
      m_buttons(new QHBoxLayout) {
    m_tree->bind(&directory.groups(), "id", "Parent_id", "Class_name", "ico_no");
    m_tree->setNodeDragEnabled(true);
    connect(m_tree, &TreeList::currentNodeChanged, this, &GroupTreePanel::follow);
    m_tree->setDropFilter([this](const TreeList::Drop& d) {
        bool allowed = false;
        m_actions.guard([&] {
            allowed = d.fromGrid ? m_directory.canDropRecordsOn(d.targetId)
                                 : m_directory.canDropGroupOn(QVariant(d.keys.value(0)), d.targetId);
        });
        m_status->setText(m_directory.dropStatus(d.fromGrid, allowed));
        return allowed;
    });
    connect(m_tree, &TreeList::rowsDropped, this, &GroupTreePanel::dropRecords);
    connect(m_tree, &TreeList::nodesDropped, this, &GroupTreePanel::dropGroup);
    connect(m_tree, &TreeList::dragEnded, this, [this] { m_status->setText(m_directory.setup().restingStatus); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree, 1);
    layout->addLayout(m_buttons);
}

QPushButton* GroupTreePanel::addButton(const QString& caption, QAction* action) {
    auto* b = new QPushButton(caption, this);
    connect(b, &QPushButton::clicked, action, &QAction::trigger);
    // Connected after the command itself, so it runs once that is done,
    // however the action was triggered.
    connect(action, &QAction::triggered, this, &GroupTreePanel::showFocused);
    m_buttons->addWidget(b);
    return b;
}

void GroupTreePanel::showFocused() {
    const QVariant focused = m_directory.focused();
    m_tree->setCurrentId(focused);
    const QModelIndex i = m_tree->currentIndex();
    if (i.isValid() && m_tree->currentId() == focused) {
        m_tree->expand(i);
    }
    // The focused group is also the groups' current row, whatever row a
    // command left current.
    if (m_directory.groupRow(focused) >= 0) {
        m_actions.guard([&] { m_directory.groups().locate("id", focused); });
    }
}

void GroupTreePanel::follow(const QVariant& id) {
    if (id == m_directory.focused()) {
        return;
    }
    if (m_actions.guard([&] { m_directory.focus(id); })) {
        emit groupFocused();
    } else {
        // The list still holds the group focused before.
        m_tree->setCurrentId(m_directory.focused());
    }
}

bool GroupTreePanel::showGroup(const QVariant& id) {
    m_tree->setCurrentId(id);
    // The tree may have stood there already without the list following.
    if (m_tree->currentId() == id && m_directory.focused() != id) {
        follow(id);
    }
    return m_directory.focused() == id;
}

void GroupTreePanel::showRoot() {
    m_tree->setCurrentId(m_directory.rootId());
    m_tree->expandAll();
}

void GroupTreePanel::setDropRights(const QString& records, const QString& groups) {
    m_recordsRight = records;
    m_groupsRight = groups;
}

void GroupTreePanel::dropRecords(const QStringList& ids, const QVariant& target) {
    // The tree stays on the group the list shows, whatever happens.
    const QVariant focused = m_directory.focused();
    m_actions.guard([&] {
        // A drop writes like the command that edits records.
        if (!m_recordsRight.isEmpty()) {
            m_actions.require(m_recordsRight);
        }
        m_directory.moveRecords(QList<QVariant>(ids.begin(), ids.end()), target);
    });
    m_tree->setCurrentId(focused);
    showFocused();
    m_status->setText(m_directory.setup().restingStatus);
}

void GroupTreePanel::dropGroup(const QStringList& ids, const QVariant& target) {
    if (m_actions.guard([&] {
            if (!m_groupsRight.isEmpty()) {
                m_actions.require(m_groupsRight);
            }
            m_directory.moveGroup(QVariant(ids.value(0)), target);
        })) {
        // The group moved stays in sight under its new parent.
        const QModelIndex t = m_tree->treeModel()->indexOfId(target);
        if (t.isValid()) {
            m_tree->expand(t);
        }
    }
    showFocused();
    m_status->setText(m_directory.setup().restingStatus);
}
