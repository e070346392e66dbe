#pragma once

#include <QString>
#include <QTextStream>

#include "platform/prompter.h"

class AppContext;

// What every command of olvendctl works with: the program's context, the
// streams (answers on stdout, every message on stderr), the book and the
// acting user the global options name, and the prompter through which the
// logic classes speak.
class CtlSession {
public:
    // What a command returns when its arguments do not have its shape: the
    // caller prints the command's usage and exits with 2.
    static constexpr int kWrongUse = -1;

    CtlSession(AppContext& context, QTextStream& out, QTextStream& err);

    AppContext& context() const { return m_context; }
    QTextStream& out() const { return m_out; }
    QTextStream& err() const { return m_err; }
    ScriptedPrompter& prompter() { return m_prompter; }

    // --book: the book the commands open (empty: the one used last).
    void setBookName(const QString& name) { m_bookName = name; }
    const QString& bookName() const { return m_bookName; }
    // --user: whom the commands act as (empty: the last user who logged in,
    // [DefaultSetting] Username of config.ini, else "admin").
    void setUserName(const QString& name) { m_userName = name; }

    // Connects the book named by --book, else the one used last.
    void openBook() { openBook(m_bookName); }
    // Connects the named book (by name or ID) for this run only; the
    // settings file is not changed.
    void openBook(const QString& name);
    // Makes the acting user the context's current user; throws when the
    // book has no such user.
    void becomeActingUser();
    // Whether the acting user may run the action of the window; when not,
    // the refusal is printed. Throws when the book has no such user.
    bool actingUserMay(const QString& action, const QString& form);
    // The same for the current user, without reading it again.
    bool allowed(const QString& action, const QString& form);
    // Prints what the logic said through the prompter on stderr, in order,
    // and forgets it; true when one of the messages reported a failure.
    bool flushMessages();

private:
    AppContext& m_context;
    QTextStream& m_out;
    QTextStream& m_err;
    QString m_bookName;
    QString m_userName;
    ScriptedPrompter m_prompter;
};
