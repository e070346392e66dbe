#include "platform/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "platform/build_info.h"

AppPaths::AppPaths(const QString& programFolder) {
    QString f = QDir::cleanPath(QFileInfo(normalizeSeparators(programFolder)).absoluteFilePath());
    if (!f.endsWith('/')) {
        f += '/';
    }
    m_folder = f;
}

QString AppPaths::homeArgument(const QStringList& arguments) {
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == "--home" && i + 1 < arguments.size()) {
            return arguments[i + 1];
        }
        if (a.startsWith("--home=")) {
            return a.mid(7);
        }
    }
    return {};
}

QString AppPaths::chooseFolder(const FolderChoice& choice) {
    if (!choice.homeArgument.isEmpty()) {
        return choice.homeArgument;
    }
    if (!choice.homeVariable.isEmpty()) {
        return choice.homeVariable;
    }
    // /usr/bin is writable for root: the install folder is recognised by
    // its place, not by its permissions alone.
    const QString executable = QDir::cleanPath(choice.executableFolder);
    const bool installed = !choice.installedBinDir.isEmpty() && executable == QDir::cleanPath(choice.installedBinDir);
    // A shared copy an administrator set up (its config.ini beside it)
    // stays the folder even where the user may not write.
    if (!installed && (choice.executableFolderWritable || choice.executableFolderHasConfig)) {
        return choice.executableFolder;
    }
    return QDir::cleanPath(choice.dataHome) + QStringLiteral("/olvend");
}

AppPaths AppPaths::fromArguments(const QStringList& arguments) {
    FolderChoice choice;
    choice.homeArgument = homeArgument(arguments);
    choice.homeVariable = qEnvironmentVariable("OLVEND_HOME");
    choice.executableFolder =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    choice.executableFolderWritable = QFileInfo(choice.executableFolder).isWritable();
    choice.executableFolderHasConfig = QFileInfo::exists(choice.executableFolder + QStringLiteral("/config.ini"));
    // The executable's folder comes with its links resolved (/bin is
    // /usr/bin on a merged system): the install folder is compared alike.
    const QString bin = QFileInfo(BuildInfo::installedBinDir()).canonicalFilePath();
    choice.installedBinDir = bin.isEmpty() ? BuildInfo::installedBinDir() : bin;
    // A relative XDG_DATA_HOME is to be ignored.
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    choice.dataHome =
        !xdg.isEmpty() && QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + QStringLiteral("/.local/share");
    return AppPaths(chooseFolder(choice));
}

QString AppPaths::normalizeSeparators(const QString& path) {
    QString p = path;
    p.replace('\\', '/');
    return p;
}

QString AppPaths::resolve(const QString& storedPath) const {
    const QString p = normalizeSeparators(storedPath);
    if (QDir::isAbsolutePath(p)) {
        return p;
    }
    return m_folder + p;
}

namespace {
QString shippedFile(const QString& folder, const QString& builtIn, const QString& name, const QStringList& suffixes) {
    const QString relative = AppPaths::normalizeSeparators(name);
    for (const QString& base : {folder, builtIn}) {
        for (const QString& suffix : suffixes) {
            const QString path = base + relative + suffix;
            if (QFileInfo(path).isFile()) {
                return path;
            }
        }
    }
    return folder + relative;
}
}  // namespace

QString AppPaths::reportFile(const QString& name) const {
    const QStringList suffixes =
        QFileInfo(name).suffix().isEmpty() ? QStringList{QString(), QStringLiteral(".rmf")} : QStringList{QString()};
    return shippedFile(reportFolder(), QStringLiteral(":/Report/"), name, suffixes);
}

QString AppPaths::resourceFile(const QString& name) const {
    return shippedFile(resourceFolder(), QStringLiteral(":/Resource/"), name, {QString()});
}
