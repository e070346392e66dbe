#include "platform/prompter.h"

#include <QStringList>
#include <stdexcept>

#include "platform/error_log.h"
#include "platform/errors.h"

void ShowInfo(Prompter& prompter, const QString& text) {
    prompter.inform(text, Prompter::defaultCaption());
}

bool settleUnsavedChanges(Prompter& prompter, const QString& question, const std::function<bool()>& save,
                          const std::function<void()>& discard) {
    switch (prompter.askSaveChanges(question)) {
        case Prompter::SaveAnswer::Save:
            return save();
        case Prompter::SaveAnswer::Discard:
            discard();
            return true;
        case Prompter::SaveAnswer::Cancel:
            break;
    }
    return false;
}

bool offerReload(Prompter& prompter, const QString& refusal, const std::function<void()>& reload) {
    if (!prompter.askYesNo(refusal + QStringLiteral("\n\n是否放弃您的修改，重新读取？（选“否”保留您的修改）"))) {
        return false;
    }
    reload();
    return true;
}

bool AskConfirm(Prompter& prompter, const QString& text) {
    return prompter.confirm(text, Prompter::defaultCaption());
}

void Prompter::showFailure(const std::exception& e) {
    showFailure(userTextOf(e), detailsOf(e));
}

void Prompter::showFailure(const QString& text, const QString& details) {
    if (m_log && !details.isEmpty()) {
        m_log->append(text, details);
    }
    if (details.isEmpty()) {
        error(text);
    } else {
        failure(text, details);
    }
}

void ScriptedPrompter::inform(const QString& text, const QString& caption) {
    m_messages.append({Kind::Information, text, caption, QString()});
}

void ScriptedPrompter::error(const QString& text, const QString& caption) {
    m_messages.append({Kind::Error, text, caption, QString()});
}

void ScriptedPrompter::failure(const QString& text, const QString& details, const QString& caption) {
    m_messages.append({Kind::Error, text, caption, details});
}

bool ScriptedPrompter::confirm(const QString& text, const QString& caption) {
    return takeAnswer(Kind::Confirm, text, caption);
}

bool ScriptedPrompter::askYesNo(const QString& text, const QString& caption) {
    return takeAnswer(Kind::YesNo, text, caption);
}

Prompter::SaveAnswer ScriptedPrompter::askSaveChanges(const QString& text, const QString& caption) {
    if (!m_cancels.isEmpty() && m_cancels.first() == 0) {
        m_cancels.removeFirst();
        m_messages.append({Kind::YesNo, text, caption, QString()});
        return SaveAnswer::Cancel;
    }
    return askYesNo(text, caption) ? SaveAnswer::Save : SaveAnswer::Discard;
}

bool ScriptedPrompter::takeAnswer(Kind kind, const QString& text, const QString& caption) {
    m_messages.append({kind, text, caption, QString()});
    if (!m_cancels.isEmpty() && m_cancels.first() <= 0) {
        throw std::logic_error("a cancel was scripted for another question: " + text.toStdString());
    }
    if (m_answers.isEmpty()) {
        if (m_answerUnscripted) {
            return m_unscriptedAnswer;
        }
        throw std::logic_error("unscripted question: " + text.toStdString());
    }
    for (qsizetype& before : m_cancels) {
        --before;
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
    m_messages.append({Kind::Input, prompt, caption, QString()});
    if (m_texts.isEmpty()) {
        if (m_answerUnscripted) {
            if (m_unscriptedText.isNull()) {
                return false;
            }
            *text = m_unscriptedText;
            return true;
        }
        throw std::logic_error("unscripted input box: " + prompt.toStdString());
    }
    const QString answer = m_texts.takeFirst();
    if (answer.isNull()) {
        return false;
    }
    *text = answer;
    return true;
}
