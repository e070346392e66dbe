#pragma once

#include <QString>
#include <QStringList>

// The program's folder and the fixed places inside it. The folder is the
// executable's own unless `--home DIR` or the environment variable
// OLVEND_HOME names another.
class AppPaths {
public:
    explicit AppPaths(const QString& programFolder);

    // Picks the folder from the command line, the environment or the
    // executable, in that order. `arguments` are the program's arguments.
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

    // A path stored relative to the program's folder, possibly written with
    // backslashes, as an absolute path.
    QString resolve(const QString& storedPath) const;
    // Stored paths use '/' whatever they were written with.
    static QString normalizeSeparators(const QString& path);

private:
    QString m_folder;
};
