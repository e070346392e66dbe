#pragma once

#include <QDialog>
#include <memory>

#include "data/permission_checker.h"
#include "ui/action_manager.h"

class AppContext;

// Shows `window` modally and returns its result: through the runner the
// context carries when one is installed (tests), else with exec().
int runWindow(AppContext& context, QDialog& window);

// What every window of the program shares: its window name (the name the
// permission check uses), its action manager, modal showing, and a hook that
// may keep the window open when it is asked to close (the editing windows
// ask whether to save there).
class BaseWindow : public QDialog {
    Q_OBJECT
public:
    BaseWindow(AppContext& context, const QString& windowName, QWidget* parent = nullptr);

    AppContext& context() const { return m_context; }
    ActionManager& actions() { return m_actions; }
    PermissionChecker& permissions() { return m_permissions; }
    // Shows the window modally through the context's window runner.
    int showModal();

    void reject() override;

protected:
    // Asked before the window closes (close box, Escape, a close button);
    // false keeps it open.
    virtual bool confirmClose() { return true; }
    void closeEvent(QCloseEvent* event) override;
    // Binds the window's keys when first shown (its commands are known by then).
    void showEvent(QShowEvent* event) override;

private:
    AppContext& m_context;
    PermissionChecker m_permissions;
    ActionManager m_actions;
    bool m_closing = false;
};
