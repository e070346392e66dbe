#pragma once

#include <QString>

// A question for a file or a folder, as a command asks it.
struct FileQuestion {
    enum Kind { OpenFile, SaveFile, Folder };
    Kind kind = OpenFile;
    QString caption;
    // The folder to start in, or for a file to save the name proposed.
    QString start;
    // Filters as QFileDialog takes them ("Excel 工作簿 (*.xlsx);;…").
    QString filter;
    // Added to a saved file's name typed without one.
    QString defaultSuffix;
    // Whether saving over an existing file is asked about first; a command
    // that refuses existing files itself says no.
    bool confirmOverwrite = true;

    static FileQuestion openFile(const QString& caption, const QString& start, const QString& filter) {
        return {OpenFile, caption, start, filter, QString(), true};
    }
    static FileQuestion saveFile(const QString& caption, const QString& proposed, const QString& filter,
                                 const QString& defaultSuffix = {}, bool confirmOverwrite = true) {
        return {SaveFile, caption, proposed, filter, defaultSuffix, confirmOverwrite};
    }
    static FileQuestion folder(const QString& caption, const QString& start) {
        return {Folder, caption, start, QString(), QString(), true};
    }
};

// Asks the user for a file or a folder. Commands ask through the one their
// context carries: dialogs in the program, a script in tests, and in
// olvendctl (which never asks) one that always answers "cancelled".
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The path chosen, empty when the user cancelled. `chosenFilter`, when
    // given, receives the filter the user picked.
    virtual QString choose(const FileQuestion& question, QString* chosenFilter = nullptr) = 0;
};

// Answers every question with "cancelled".
class NoFileChooser : public FileChooser {
public:
    QString choose(const FileQuestion&, QString* = nullptr) override { return {}; }
};
