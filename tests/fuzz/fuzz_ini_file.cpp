// config.ini as IniFile reads it: any bytes, then every section and key read
// back, values set in memory and through the file, and read again.

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include "harness.h"
#include "platform/errors.h"
#include "platform/ini_file.h"

namespace {

struct Entry {
    QString section;
    QString key;
};

// Sections and keys match without regard to the case of letters.
QString nameOf(const QString& section, const QString& key) {
    return section.toCaseFolded() + QChar(0) + key.toCaseFolded();
}

// The name with its ASCII letters turned.
QString otherCase(QString name) {
    for (QChar& c : name) {
        if (c.unicode() < 128 && c.isLetter()) {
            c = c.isUpper() ? c.toLower() : c.toUpper();
        }
    }
    return name;
}

// A value as a settings dialog may write it: one line of text of at most
// 200 code units, never ending in half of a character outside the BMP (a
// typed text holds none; it would not survive UTF-8).
QString oneLine(QString v) {
    v = v.replace('\r', ' ').replace('\n', ' ').trimmed().left(200);
    if (!v.isEmpty() && v.back().isHighSurrogate()) {
        v.chop(1);
    }
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(Fuzz::bytes(data, size));
    IniFile ini;
    ini.fromText(text);
    // The text written back is the text read, line for line.
    const QString written = ini.toText();
    IniFile again;
    again.fromText(written);
    FUZZ_CHECK(again.toText() == written, QStringLiteral("the text changes on a second read"));
    FUZZ_CHECK(again.sections() == ini.sections(), QStringLiteral("sections differ after a round trip"));
    // Every key line of the text, found by walking it as a reader of INI
    // files would; IniFile must find each of them and agree on the value of
    // the first line of each name.
    QList<Entry> entries;
    QSet<QString> seen;
    QString section;
    static const QRegularExpression byteOrderMarks(QStringLiteral("^\\x{FEFF}+"));
    const QString body = QString(text).remove(byteOrderMarks);
    for (QString line : body.split('\n')) {
        line.chop(line.endsWith('\r') ? 1 : 0);
        const QString t = line.trimmed();
        const qsizetype eq = line.indexOf('=');
        if (t.startsWith('[') && t.endsWith(']') && t.size() >= 2) {
            section = t.mid(1, t.size() - 2).trimmed();
            continue;
        }
        if (t.startsWith(';') || t.startsWith('#') || eq <= 0 || line.left(eq).trimmed().isEmpty()) {
            continue;
        }
        const QString key = line.left(eq).trimmed();
        FUZZ_CHECK(ini.hasKey(section, key), QStringLiteral("[%1] %2 not found").arg(section, key));
        FUZZ_CHECK(ini.hasKey(otherCase(section), otherCase(key)),
                   QStringLiteral("[%1] %2 not found in other letter case").arg(section, key));
        if (!seen.contains(nameOf(section, key))) {
            const QString value = line.mid(eq + 1).trimmed();
            FUZZ_CHECK(ini.readString(section, key, QStringLiteral("\x01")) == value,
                       QStringLiteral("[%1] %2 reads %3, the line holds %4")
                           .arg(section, key, ini.readString(section, key), value));
            seen.insert(nameOf(section, key));
            entries.append({section, key});
        }
    }
    FUZZ_CHECK(!ini.hasKey(QStringLiteral("\x02no such section"), QStringLiteral("key")), QString());
    // Setting a value: every key read so far, a key new to a section and a
    // section new to the file. A value is one line; it reads back trimmed.
    // What was set survives the file.
    QStringList values;
    for (const QString& part : text.split(';').mid(0, 4)) {
        values.append(oneLine(part));
    }
    values.append(QStringLiteral("D:\\Olvend\\Data\\账套.db"));
    QList<Entry> targets = entries.mid(0, 8);
    if (!ini.sections().isEmpty()) {
        targets.append({ini.sections().first(), QStringLiteral("FuzzNewKey")});
    }
    targets.append({QStringLiteral("FuzzNewSection"), QStringLiteral("Path")});
    QHash<QString, std::pair<Entry, QString>> set;  // the last value given to each name
    int next = 0;
    for (const Entry& e : targets) {
        // A program's key is a plain name: it never starts a comment or a
        // header.
        if (e.key.startsWith('[') || e.key.contains('\r')) {
            continue;
        }
        const QString value = values[next++ % values.size()];
        ini.setString(e.section, e.key, value);
        FUZZ_CHECK(ini.readString(e.section, e.key) == value.trimmed(),
                   QStringLiteral("[%1] %2 set to %3 reads %4")
                       .arg(e.section, e.key, value, ini.readString(e.section, e.key)));
        set.insert(nameOf(e.section, e.key), {e, value});
    }
    const QString path = Fuzz::scratchFolder() + QStringLiteral("/config.ini");
    QFile::remove(path);
    FUZZ_CHECK(IniFile(path).toText().isEmpty(), QStringLiteral("a missing file does not read as empty"));
    try {
        IniFile file(path);
        file.fromText(ini.toText());
        file.save();
    } catch (const UserError& e) {
        Fuzz::broken("save() of the scratch file failed", e.message());
    }
    const IniFile reread(path);
    FUZZ_CHECK(reread.toText() == ini.toText(), QStringLiteral("the saved file reads differently"));
    for (const auto& [e, value] : std::as_const(set)) {
        FUZZ_CHECK(reread.readString(e.section, e.key) == value.trimmed(),
                   QStringLiteral("[%1] %2 saved as %3 reads %4")
                       .arg(e.section, e.key, value, reread.readString(e.section, e.key)));
    }
    QFile::remove(path);
    return 0;
}
