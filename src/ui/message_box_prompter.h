#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/prompter.h"

// The Prompter of the running program: Qt message boxes with the system's
// captions and buttons.
class MessageBoxPrompter : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void inform(const QString& text, const QString& caption = defaultCaption()) override;
    void error(const QString& text, const QString& caption = defaultCaption()) override;
    void failure(const QString& text, const QString& details, const QString& caption = defaultCaption()) override;
    bool confirm(const QString& text, const QString& caption = defaultCaption()) override;
    bool askYesNo(const QString& text, const QString& caption = defaultCaption()) override;
    SaveAnswer askSaveChanges(const QString& text, const QString& caption = defaultCaption()) override;
    bool askText(const QString& caption, const QString& prompt, QString* text) override;

private:
    QPointer<QWidget> m_parent;
};
