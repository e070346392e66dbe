#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>

class ErrorLog;

// Every message box of the program goes through a Prompter, so logic never
// touches widgets and tests can script the answers.
class Prompter {
public:
    enum class Kind { Information, Warning, Error, Confirm, YesNo, Input };
    virtual ~Prompter() = default;

    // A message with an OK button.
    virtual void inform(const QString& text, const QString& caption = defaultCaption()) = 0;
    // An error message with an OK button.
    virtual void error(const QString& text, const QString& caption = defaultCaption()) = 0;
    // An error message whose technical details (a statement, a driver's
    // text) the box shows only on request.
    virtual void failure(const QString& text, const QString& details, const QString& caption = defaultCaption()) = 0;
    // OK/Cancel question; true on OK.
    virtual bool confirm(const QString& text, const QString& caption = defaultCaption()) = 0;
    // Yes/No question; true on Yes.
    virtual bool askYesNo(const QString& text, const QString& caption = defaultCaption()) = 0;
    // The question before unsaved changes are left: Yes saves, No discards,
    // and a box closed without an answer (Escape, its close button or
    // 取消) goes back to the editing, so no edit is lost by a slip.
    enum class SaveAnswer { Save, Discard, Cancel };
    virtual SaveAnswer askSaveChanges(const QString& text, const QString& caption = defaultCaption()) {
        return askYesNo(text, caption) ? SaveAnswer::Save : SaveAnswer::Discard;
    }
    // An input box; false when cancelled. `text` holds the proposed value
    // and receives the answer.
    virtual bool askText(const QString& caption, const QString& prompt, QString* text) = 0;

    static QString defaultCaption() { return QStringLiteral("系统提示"); }

    // The rule of every command that works on one selected record: true
    // when exactly one of `selected` is chosen, else says `none` or `many`.
    bool requireOneSelected(qsizetype selected, const QString& none, const QString& many) {
        if (selected == 1) {
            return true;
        }
        inform(selected == 0 ? none : many);
        return false;
    }

    // Shows anything thrown: the user's text, with the details behind the
    // box's details button; the details also go to the error log, when one
    // is set (a log that cannot be written never stops anything).
    void showFailure(const std::exception& e);
    // The same for a failure already told as text and details (an editor's
    // or a grid cell's refused edit).
    void showFailure(const QString& text, const QString& details);
    void setErrorLog(ErrorLog* log) { m_log = log; }
    ErrorLog* errorLog() const { return m_log; }

private:
    ErrorLog* m_log = nullptr;
};

// A save refused because another user changed the document since it was
// read: says so and offers to read the document again, which drops the
// edits; No keeps them. True when the document was read again.
bool offerReload(Prompter& prompter, const QString& refusal, const std::function<void()>& reload);

// The question a document asks before it is closed, printed or left for a
// follow-on window while it holds changes not saved. Yes runs `save` and
// lets the caller go on only when the save was done; No runs `discard` and
// lets the caller go on; a cancelled question stops the caller.
bool settleUnsavedChanges(Prompter& prompter, const QString& question, const std::function<bool()>& save,
                          const std::function<void()>& discard);

// The shared message boxes under their system names.
void ShowInfo(Prompter& prompter, const QString& text);
bool AskConfirm(Prompter& prompter, const QString& text);

// A Prompter for tests and for the command-line tool: records every message
// and answers questions from a script. A question without a scripted answer
// is a fault of the test and throws.
class ScriptedPrompter : public Prompter {
public:
    struct Message {
        Kind kind;
        QString text;
        QString caption;
        QString details;
    };

    void inform(const QString& text, const QString& caption = defaultCaption()) override;
    void error(const QString& text, const QString& caption = defaultCaption()) override;
    void failure(const QString& text, const QString& details, const QString& caption = defaultCaption()) override;
    bool confirm(const QString& text, const QString& caption = defaultCaption()) override;
    bool askYesNo(const QString& text, const QString& caption = defaultCaption()) override;
    bool askText(const QString& caption, const QString& prompt, QString* text) override;

    // The next input box answers this text; a null string cancels it.
    void setNextText(const QString& text) { m_texts.append(text); }
    void setNextAnswer(bool answer) { m_answers.append(answer); }
    void setNextAnswers(const QList<bool>& answers) { m_answers.append(answers); }
    // The next question about unsaved changes is closed without an answer.
    void setNextCancel() { m_cancels.append(m_answers.size()); }
    SaveAnswer askSaveChanges(const QString& text, const QString& caption = defaultCaption()) override;
    // How questions and input boxes without a scripted answer are answered
    // from now on (walks through every button of a window); by default they
    // throw. A null text cancels input boxes.
    void answerUnscripted(bool answer, const QString& text) {
        m_unscriptedAnswer = answer;
        m_unscriptedText = text;
        m_answerUnscripted = true;
    }
    // Answers and cancels not used yet.
    int pendingAnswers() const { return static_cast<int>(m_answers.size() + m_cancels.size()); }

    const QList<Message>& messages() const { return m_messages; }
    QStringList texts() const;
    QString lastText() const { return m_messages.isEmpty() ? QString() : m_messages.last().text; }
    void clear() { m_messages.clear(); }

private:
    bool takeAnswer(Kind kind, const QString& text, const QString& caption);
    QList<Message> m_messages;
    QList<bool> m_answers;
    QList<qsizetype> m_cancels;  // how many answers come before each cancel
    QStringList m_texts;
    bool m_answerUnscripted = false;
    bool m_unscriptedAnswer = false;
    QString m_unscriptedText;
};
