#pragma once

#include <QString>
#include <QStringList>

// The program's folder and the fixed places inside it. The folder is the
// one `--home DIR` or the environment variable OLVEND_HOME names; else the
// executable's own (a build tree, a program unpacked into a folder of its
// own, or one an administrator prepared with its config.ini); else, for an
// installed program (its executables in the system's folder, or in one it
// cannot write), the user's data folder ($XDG_DATA_HOME/olvend,
// ~/.local/share/olvend).
class AppPaths {
public:
    explicit AppPaths(const QString& programFolder);

    // What the folder is chosen from.
    struct FolderChoice {
        QString homeArgument;  // --home DIR
        QString homeVariable;  // OLVEND_HOME
        QString executableFolder;
        bool executableFolderWritable = true;
        bool executableFolderHasConfig = false;  // a config.ini lies beside the executable
        QString installedBinDir;                 // where an installed program's executables lie
        QString dataHome;                        // the user's data folder ($XDG_DATA_HOME)
    };
    static QString chooseFolder(const FolderChoice& choice);

    // Picks the folder from the command line, the environment and the
    // executable's place. `arguments` are the program's arguments.
    static AppPaths fromArguments(const QStringList& arguments);
    // The value of `--home DIR` or `--home=DIR`, or empty.
    static QString homeArgument(const QStringList& arguments);

    // Always ends with '/'.
    QString programFolder() const { return m_folder; }
    QString configFile() const { return m_folder + "config.ini"; }
    QString dbFolder() const { return m_folder + "db/"; }
    QString systemDatabase() const { return m_folder + "db/System.db"; }
    QString reportFolder() const { return m_folder + "Report/"; }
    QString resourceFolder() const { return m_folder + "Resource/"; }
    QString defaultPictureFolder() const { return m_folder + "Pic/Goods/"; }
    // A report template or a picture of the program's artwork by its name:
    // the program folder's copy when there is one, so an office can change
    // a template, otherwise the copy built into the program. A name found in
    // neither gives the program folder's path, which does not exist.
    // Templates may be named without their ".rmf".
    QString reportFile(const QString& name) const;
    QString resourceFile(const QString& name) const;

    // A path stored relative to the program's folder, possibly written with
    // backslashes, as an absolute path.
    QString resolve(const QString& storedPath) const;
    // Stored paths use '/' whatever they were written with.
    static QString normalizeSeparators(const QString& path);

private:
    QString m_folder;
};
