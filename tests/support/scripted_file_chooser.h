#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "platform/file_chooser.h"

// Answers file questions from a script and keeps them; an empty answer, or none left, cancels.
class ScriptedFileChooser : public FileChooser {
public:
    QStringList answers;
    QList<FileQuestion> asked;

    QString choose(const FileQuestion& question, QString* chosenFilter = nullptr) override {
        asked.append(question);
        // A dialog starts on the first filter it is given.
        if (chosenFilter) {
            *chosenFilter = question.filter.section(QStringLiteral(";;"), 0, 0);
        }
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};
