#include "platform/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/errors.h"

namespace {
bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
}  // namespace

IniFile::IniFile(const QString& path) : m_path(path) {
    load();
}

void IniFile::load() {
    m_lines.clear();
    if (m_path.isEmpty()) {
        return;
    }
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly)) {
        return;
    }
    fromText(QString::fromUtf8(f.readAll()));
}

void IniFile::fromText(const QString& text) {
    m_lines.clear();
    QString body = text;
    // Every byte-order mark before the text and every carriage return at a
    // line's end go, not only one of each: a line is written back with a
    // line feed alone, so what is kept of a line reads the same the next
    // time (a line ending in "\r\r\n" would otherwise lose one "\r" at each
    // save).
    while (body.startsWith(QChar(0xFEFF))) {
        body.remove(0, 1);
    }
    QStringList raw = body.split('\n');
    if (!raw.isEmpty() && raw.last().isEmpty()) {
        raw.removeLast();
    }
    QString section;
    for (QString line : raw) {
        while (line.endsWith('\r')) {
            line.chop(1);
        }
        Line l;
        l.text = line;
        const QString t = line.trimmed();
        if (t.startsWith('[') && t.endsWith(']')) {
            section = t.mid(1, t.size() - 2).trimmed();
            l.isHeader = true;
            l.section = section;
        } else {
            l.section = section;
            const int eq = line.indexOf('=');
            if (eq > 0 && !t.startsWith(';') && !t.startsWith('#')) {
                l.key = line.left(eq).trimmed();
            }
        }
        m_lines.append(l);
    }
}

QString IniFile::toText() const {
    QString out;
    for (const Line& l : m_lines) {
        out += l.text;
        out += '\n';
    }
    return out;
}

namespace {
// Why the settings file cannot be written, in the user's words; Qt's own
// text goes to the details.
UserError saveError(const QString& path, const QString& qtText) {
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    QString reason;
    if (file.isDir()) {
        reason = QStringLiteral("同名的文件夹占用了这个位置");
    } else if (file.exists() && !file.isWritable()) {
        reason = QStringLiteral("文件是只读的");
    } else if (!folder.isWritable()) {
        reason = QStringLiteral("所在的文件夹(%1)不能写入").arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    } else {
        reason = QStringLiteral("写入失败，磁盘可能已满");
    }
    return UserError(QStringLiteral("无法写入配置文件[%1]: %2，设置没有保存。请检查后再试。")
                         .arg(QDir::toNativeSeparators(path), reason),
                     qtText);
}
}  // namespace

void IniFile::save() const {
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly)) {
        throw saveError(m_path, f.errorString());
    }
    f.write(toText().toUtf8());
    if (!f.commit()) {
        throw saveError(m_path, f.errorString());
    }
}

int IniFile::findHeader(const QString& section) const {
    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].isHeader && sameName(m_lines[i].section, section)) {
            return i;
        }
    }
    return -1;
}

int IniFile::findKey(const QString& section, const QString& key) const {
    for (int i = 0; i < m_lines.size(); ++i) {
        const Line& l = m_lines[i];
        if (!l.isHeader && !l.key.isEmpty() && sameName(l.section, section) && sameName(l.key, key)) {
            return i;
        }
    }
    return -1;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& defaultValue) const {
    const int i = findKey(section, key);
    if (i < 0) {
        return defaultValue;
    }
    // Blanks around "=" belong to neither key nor value, as in every INI
    // reader ("DBType = SQLSERVER").
    const QString& text = m_lines[i].text;
    return text.mid(text.indexOf('=') + 1).trimmed();
}

bool IniFile::hasKey(const QString& section, const QString& key) const {
    return findKey(section, key) >= 0;
}

void IniFile::setString(const QString& section, const QString& key, const QString& value) {
    const int i = findKey(section, key);
    if (i >= 0) {
        const QString& text = m_lines[i].text;
        m_lines[i].text = text.left(text.indexOf('=') + 1) + value;
        return;
    }
    Line l;
    l.section = findHeader(section) >= 0 ? m_lines[findHeader(section)].section : section;
    l.key = key;
    l.text = key + '=' + value;
    int header = findHeader(section);
    if (header < 0) {
        if (!m_lines.isEmpty() && !m_lines.last().text.trimmed().isEmpty()) {
            m_lines.append(Line{QString(), m_lines.last().section, QString(), false});
        }
        Line h;
        h.isHeader = true;
        h.section = section;
        h.text = '[' + section + ']';
        m_lines.append(h);
        m_lines.append(l);
        return;
    }
    // Insert after the last key line of the section, before trailing blanks.
    int pos = header + 1;
    for (int j = header + 1; j < m_lines.size() && !m_lines[j].isHeader; ++j) {
        if (!m_lines[j].text.trimmed().isEmpty()) {
            pos = j + 1;
        }
    }
    m_lines.insert(pos, l);
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    setString(section, key, value);
    save();
}

QStringList IniFile::sections() const {
    QStringList out;
    for (const Line& l : m_lines) {
        if (l.isHeader) {
            out.append(l.section);
        }
    }
    return out;
}
