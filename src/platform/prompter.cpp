#include "platform/prompter.h"

#include <QStringList>
#include <stdexcept>

void ShowInfo(Prompter& prompter, const QString& text) {
    prompter.inform(text, Prompter::defaultCaption());
}

bool AskConfirm(Prompter& prompter, const QString& text) {
    return prompter.confirm(text, Prompter::defaultCaption());
}

void ScriptedPrompter::inform(const QString& text, const QString& caption) {
    m_messages.append({Kind::Information, text, caption});
}

void ScriptedPrompter::error(const QString& text, const QString& caption) {
    m_messages.append({Kind::Error, text, caption});
}

bool ScriptedPrompter::confirm(const QString& text, const QString& caption) {
    return takeAnswer(Kind::Confirm, text, caption);
}

bool ScriptedPrompter::askYesNo(const QString& text, const QString& caption) {
    return takeAnswer(Kind::YesNo, text, caption);
}

bool ScriptedPrompter::takeAnswer(Kind kind, const QString& text, const QString& caption) {
    m_messages.append({kind, text, caption});
    if (m_answers.isEmpty()) {
        throw std::logic_error("unscripted question: " + text.toStdString());
    }
    return m_answers.takeFirst();
}

QStringList ScriptedPrompter::texts() const {
    QStringList out;
    for (const Message& m : m_messages) {
        out.append(m.text);
    }
    return out;
}

bool ScriptedPrompter::askText(const QString& caption, const QString& prompt, QString* text) {
    m_messages.append({Kind::Input, prompt, caption});
    if (m_texts.isEmpty()) {
        throw std::logic_error("unscripted input box: " + prompt.toStdString());
    }
    const QString answer = m_texts.takeFirst();
    if (answer.isNull()) {
        return false;
    }
    *text = answer;
    return true;
}
