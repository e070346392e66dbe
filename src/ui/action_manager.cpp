#include "ui/action_manager.h"

#include <QScopeGuard>
#include <QThread>

#include "data/permission_checker.h"
#include "platform/errors.h"
#include "platform/prompter.h"

ActionManager::ActionManager(const QString& formName, PermissionChecker& permissions, Prompter& prompter,
                             QObject* parent)
    : QObject(parent), m_formName(formName), m_permissions(permissions), m_prompter(prompter) {}

QAction* ActionManager::add(const QString& name, const QString& caption, std::function<void()> handler) {
    const QString key = name.toLower();
    QAction* a = m_actions.value(key);
    if (!a) {
        a = new QAction(caption, this);
        a->setObjectName(name);
        m_actions.insert(key, a);
        connect(a, &QAction::triggered, this, [this, key] { run(key); });
    }
    a->setText(caption);
    m_handlers.insert(key, std::move(handler));
    return a;
}

QAction* ActionManager::action(const QString& name) const {
    return m_actions.value(name.toLower());
}

bool ActionManager::execute(const QString& name) {
    return run(name.toLower());
}

bool ActionManager::run(const QString& key) {
    QAction* a = m_actions.value(key);
    if (!a) {
        return false;
    }
    const QString name = a->objectName();
    const std::function<void()> handler = m_handlers.value(key);
    auto command = [&] {
        m_permissions.CheckActionPermission(name, m_formName);
        if (handler) {
            handler();
        }
    };
    // A command run by another command's handler lets its error through, so
    // that the outer command stops too. A modal window opened by a command
    // runs its own event loop: commands there are outermost again.
    const int level = QThread::currentThread()->loopLevel();
    const bool nested = !m_running.isEmpty() && m_running.last() == level;
    m_running.append(level);
    const auto finished = qScopeGuard([this] { m_running.removeLast(); });
    bool done = true;
    if (nested) {
        command();
    } else {
        done = guard(m_prompter, command);
    }
    if (done) {
        emit executed(name);
    }
    return done;
}

void ActionManager::require(const QString& name) const {
    m_permissions.CheckActionPermission(name, m_formName);
}

bool ActionManager::guard(Prompter& prompter, const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const std::exception& e) {
        prompter.showFailure(e);
    } catch (...) {
        prompter.error(QStringLiteral("操作失败：发生了未知的错误"));
    }
    return false;
}

bool ActionManager::guardIn(const QObject* inside, const std::function<void()>& work) {
    for (const QObject* o = inside; o; o = o->parent()) {
        if (auto* manager = o->findChild<ActionManager*>(QString(), Qt::FindDirectChildrenOnly)) {
            return manager->guard(work);
        }
    }
    work();
    return true;
}
