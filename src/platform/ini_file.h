#pragma once

#include <QString>
#include <QStringList>

// An INI file whose sections and keys match without regard to letter case.
// Keys and values are read without the blanks around them; every line the
// program does not change (comments, unknown keys, blank lines) is written
// back untouched.
// Saving goes through a temporary file that is renamed into place, so a
// crash never leaves half a file. A missing file reads as empty.
class IniFile {
public:
    IniFile() = default;
    explicit IniFile(const QString& path);

    // Reads the file again; a missing file gives an empty document.
    void load();
    // Writes the document; throws UserError naming the file when it cannot.
    void save() const;

    QString path() const { return m_path; }
    QString readString(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    bool hasKey(const QString& section, const QString& key) const;
    // Sets a value and saves the file at once, as the system's settings
    // writes do.
    void writeString(const QString& section, const QString& key, const QString& value);
    // Sets a value in memory only.
    void setString(const QString& section, const QString& key, const QString& value);
    QStringList sections() const;

    QString toText() const;
    void fromText(const QString& text);

private:
    struct Line {
        QString text;     // the raw line as read or written
        QString section;  // section it belongs to ("" before the first header)
        QString key;      // key of a key=value line, else empty
        bool isHeader = false;
    };
    int findKey(const QString& section, const QString& key) const;
    int findHeader(const QString& section) const;

    QString m_path;
    QList<Line> m_lines;
};
