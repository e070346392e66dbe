#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The arguments of one olvendctl command: its words, and the options it
// knows by name, each a flag or one that takes the next argument as its
// value. An option the command does not know, one without its value and one
// given twice are wrong use: parse() says so, and the caller prints the
// command's usage.
class CtlArguments {
public:
    // False for wrong use.
    bool parse(const QStringList& args, const QStringList& flags, const QStringList& valued = {});

    const QStringList& words() const { return m_words; }
    QString word(int i) const { return m_words.value(i); }
    bool has(const QString& option) const { return m_options.contains(option); }
    // The option's value; empty when it was not given.
    QString value(const QString& option) const { return m_options.value(option); }

private:
    QStringList m_words;
    QHash<QString, QString> m_options;
};
