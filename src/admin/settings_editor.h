#pragma once

#include <QString>

class AppContext;

// The two settings of the settings dialog: the custom filter switch and the
// picture folder (written to config.ini and taking effect at once).
class SettingsEditor {
public:
    explicit SettingsEditor(AppContext& context) : m_context(context) {}

    bool showCustomFilter() const;
    QString pictureFolder() const;
    // Writes both settings; the folder always ends with a separator.
    // Throws UserError when config.ini cannot be written; neither setting
    // takes effect then.
    void apply(bool showCustomFilter, const QString& pictureFolder);

private:
    AppContext& m_context;
};
