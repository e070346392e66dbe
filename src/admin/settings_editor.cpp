#include "admin/settings_editor.h"

#include <QDir>

#include "data/app_context.h"

bool SettingsEditor::showCustomFilter() const {
    return m_context.showCustomFilter();
}

QString SettingsEditor::pictureFolder() const {
    return QDir::toNativeSeparators(m_context.PictureFolder);
}

void SettingsEditor::apply(bool showCustomFilter, const QString& pictureFolder) {
    QString folder = AppPaths::normalizeSeparators(pictureFolder.trimmed());
    IniFile& ini = m_context.SettingsFile;
    // Settings that could not be written do not take effect either: the
    // dialog stays open with them, and a later write of other settings must
    // not carry them along.
    const IniFile before = ini;
    const QString folderBefore = m_context.PictureFolder;
    ini.setString("SYS_Setting", "ShowCustomFilter", showCustomFilter ? "true" : "false");
    if (folder.isEmpty()) {
        // No folder given: the program's own picture folder, never the root.
        ini.setString("SYS_Setting", "picPath", QStringLiteral("default"));
        m_context.PictureFolder = m_context.paths().defaultPictureFolder();
    } else {
        if (!folder.endsWith('/')) {
            folder += '/';
        }
        ini.setString("SYS_Setting", "picPath", folder);
        m_context.PictureFolder = folder;
    }
    try {
        ini.save();
    } catch (...) {
        ini = before;
        m_context.PictureFolder = folderBefore;
        throw;
    }
}
