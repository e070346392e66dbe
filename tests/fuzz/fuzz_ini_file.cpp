// config.ini as IniFile reads it: any bytes, then every section and key read
// back, values set in memory and through the file, and read again.

#include <QFile>
#include <QStringList>

#include "harness.h"
#include "platform/errors.h"
#include "platform/ini_file.h"

namespace {

// A key line of the text: the section it stands in and its name.
struct Entry {
    QString section;
    QString key;
};

// A value as a settings dialog may write it: one line of text of at most
// 200 code units, never ending in half of a character outside the BMP (a
// typed text holds none; it would not survive UTF-8).
QString oneLine(const QString& text) {
    QString v = text;
    v.replace('\r', ' ');
    v.replace('\n', ' ');
    v = v.trimmed().left(200);
    if (!v.isEmpty() && v.back().isHighSurrogate()) {
        v.chop(1);
    }
    return v;
}

// The name with its ASCII letters turned: keys and sections match without
// regard to the case of these.
QString otherCase(const QString& name) {
    QString out = name;
    for (QChar& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = QChar(c.unicode() - 'a' + 'A');
        } else if (c >= 'A' && c <= 'Z') {
            c = QChar(c.unicode() - 'A' + 'a');
        }
    }
    return out;
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
    QString section;
    QString body = text;
    while (body.startsWith(QChar(0xFEFF))) {
        body.remove(0, 1);
    }
    for (QString line : body.split('\n')) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        const QString t = line.trimmed();
        if (t.startsWith('[') && t.endsWith(']') && t.size() >= 2) {
            section = t.mid(1, t.size() - 2).trimmed();
            continue;
        }
        if (t.startsWith(';') || t.startsWith('#')) {
            continue;
        }
        const int eq = static_cast<int>(line.indexOf('='));
        if (eq <= 0 || line.left(eq).trimmed().isEmpty()) {
            continue;
        }
        const QString key = line.left(eq).trimmed();
        FUZZ_CHECK(ini.hasKey(section, key), QStringLiteral("[%1] %2 not found").arg(section, key));
        FUZZ_CHECK(ini.hasKey(otherCase(section), otherCase(key)),
                   QStringLiteral("[%1] %2 not found in other letter case").arg(section, key));
        bool first = true;
        for (const Entry& e : entries) {
            if (e.section.compare(section, Qt::CaseInsensitive) == 0 && e.key.compare(key, Qt::CaseInsensitive) == 0) {
                first = false;
                break;
            }
        }
        if (first) {
            const QString value = line.mid(eq + 1).trimmed();
            FUZZ_CHECK(ini.readString(section, key, QStringLiteral("\x01")) == value,
                       QStringLiteral("[%1] %2 reads %3, the line holds %4")
                           .arg(section, key, ini.readString(section, key), value));
            entries.append({section, key});
        }
    }
    FUZZ_CHECK(!ini.hasKey(QStringLiteral("\x02no such section"), QStringLiteral("key")), QString());

    // Setting a value: every key read so far, a key new to a section and a
    // section new to the file. A value is one line; it reads back trimmed.
    QStringList values;
    for (const QString& part : text.split(';')) {
        values.append(oneLine(part));
        if (values.size() >= 4) {
            break;
        }
    }
    values.append(QStringLiteral("D:\\Olvend\\Data\\账套.db"));
    int next = 0;
    auto pick = [&values, &next] { return values[next++ % values.size()]; };
    QList<Entry> targets = entries.mid(0, 8);
    const QStringList sections = ini.sections();
    if (!sections.isEmpty()) {
        targets.append({sections.first(), QStringLiteral("FuzzNewKey")});
    }
    targets.append({QStringLiteral("FuzzNewSection"), QStringLiteral("Path")});
    QList<std::pair<Entry, QString>> set;
    for (const Entry& e : targets) {
        // A program's key is a plain name: it never starts a comment or a
        // header.
        if (e.key.startsWith('[') || e.key.contains('\r')) {
            continue;
        }
        const QString value = pick();
        ini.setString(e.section, e.key, value);
        FUZZ_CHECK(ini.readString(e.section, e.key) == value.trimmed(),
                   QStringLiteral("[%1] %2 set to %3 reads %4")
                       .arg(e.section, e.key, value, ini.readString(e.section, e.key)));
        // A later value of the same name replaces the earlier one.
        for (auto& s : set) {
            if (s.first.section.compare(e.section, Qt::CaseInsensitive) == 0 &&
                s.first.key.compare(e.key, Qt::CaseInsensitive) == 0) {
                s.second = value;
            }
        }
        set.append({e, value});
    }
    // What was set survives the file: saved, read by a new reader.
    const QString path = Fuzz::scratchFolder() + QStringLiteral("/config.ini");
    IniFile source;
    source.fromText(text);
    for (const auto& [e, value] : set) {
        source.setString(e.section, e.key, value);
    }
    QFile::remove(path);
    FUZZ_CHECK(IniFile(path).toText().isEmpty(), QStringLiteral("a missing file does not read as empty"));
    try {
        IniFile file(path);
        file.fromText(source.toText());
        file.save();
    } catch (const UserError& e) {
        Fuzz::broken("save() of the scratch file failed", e.message());
    }
    const IniFile reread(path);
    FUZZ_CHECK(reread.toText() == source.toText(), QStringLiteral("the saved file reads differently"));
    for (const auto& [e, value] : set) {
        FUZZ_CHECK(reread.readString(e.section, e.key) == value.trimmed(),
                   QStringLiteral("[%1] %2 saved as %3 reads %4")
                       .arg(e.section, e.key, value, reread.readString(e.section, e.key)));
    }
    QFile::remove(path);
    return 0;
}
