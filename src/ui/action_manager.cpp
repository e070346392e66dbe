#include "ui/action_manager.h"

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
    const bool outermost = m_depth == 0;
    ++m_depth;
    try {
        m_permissions.CheckActionPermission(a->objectName(), m_formName);
        const auto handler = m_handlers.value(key);
        if (handler) {
            handler();
        }
        --m_depth;
    } catch (const OlvendError& e) {
        --m_depth;
        if (!outermost) {
            throw;
        }
        m_prompter.error(e.message());
        return false;
    } catch (const std::exception& e) {
        --m_depth;
        if (!outermost) {
            throw;
        }
        m_prompter.error(QString::fromLocal8Bit(e.what()));
        return false;
    }
    emit executed(a->objectName());
    return true;
}
