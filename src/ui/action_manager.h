#pragma once

#include <QAction>
#include <QHash>
#include <QList>
#include <QObject>
#include <functional>

class PermissionChecker;
class Prompter;

// The commands of one window. Each command is a QAction named after the
// system's action; triggering it first asks the permission check for this
// window, then runs the handler. A refusal or any error raised on the way is
// shown through the Prompter and ends the command.
//
// The manager is also the window's one boundary for errors: every handler of
// a signal that may throw (a database failure, a refused rule, anything
// derived from std::exception) is a command or runs through guard(), so
// nothing thrown reaches Qt's event loop.
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

    // Raises the refusal when the user may not run the named command of this
    // window; for writes that are not commands (a drop), inside guard().
    void require(const QString& name) const;

    // Runs work and shows whatever it throws through the Prompter; false
    // when it failed. Never throws, also inside a running command.
    bool guard(const std::function<void()>& work) { return guard(m_prompter, work); }
    // The same boundary for dialogs without a manager (the log-in and other
    // small dialogs).
    static bool guard(Prompter& prompter, const std::function<void()>& work);
    // The boundary for the kit's widgets: guards work with the manager of the
    // window that holds `inside`. Outside any window there is nobody to
    // show an error to, and it propagates.
    static bool guardIn(const QObject* inside, const std::function<void()>& work);

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
    // The event-loop level of each command in progress, outermost first.
    QList<int> m_running;
};
