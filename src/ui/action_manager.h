#pragma once

#include <QAction>
#include <QHash>
#include <QObject>
#include <functional>

class PermissionChecker;
class Prompter;

// The commands of one window. Each command is a QAction named after the
// system's action; triggering it first asks the permission check for this
// window, then runs the handler. A refusal or any error raised on the way is
// shown through the Prompter and ends the command.
class ActionManager : public QObject {
    Q_OBJECT
public:
    ActionManager(const QString& formName, PermissionChecker& permissions, Prompter& prompter,
                  QObject* parent = nullptr);

    QString formName() const { return m_formName; }
    // Registers a command; the returned action can be put on buttons and menus.
    QAction* add(const QString& name, const QString& caption, std::function<void()> handler = {});
    QAction* action(const QString& name) const;
    QList<QAction*> actions() const { return m_actions.values(); }

    // Runs a command as a click would. At the outermost level errors are
    // shown and false is returned; called from inside another command's
    // handler, the error propagates so that the outer command stops too.
    bool execute(const QString& name);

signals:
    // After a command ran to its end.
    void executed(const QString& name);

private:
    bool run(const QString& key);

    QString m_formName;
    PermissionChecker& m_permissions;
    Prompter& m_prompter;
    QHash<QString, QAction*> m_actions;  // key: lower-case name
    QHash<QString, std::function<void()>> m_handlers;
    int m_depth = 0;
};
