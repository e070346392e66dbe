#include "data/setting_scrambler.h"

#include <QByteArray>
#include <QStringDecoder>

// The scrambling works on bytes, as the settings file of the system's own
// platform held them: a text is scrambled as its UTF-8 bytes, so that any
// character (Chinese ones too) comes back as it was. ASCII texts scramble
// to the same characters either way.
QString UnscrambleSetting(const QString& stored) {
    QByteArray bytes;
    int k = 0;
    for (int i = 0; i < stored.size(); i += 2) {
        ++k;
        bytes.append(static_cast<char>((stored.at(i).unicode() - k) & 0xFF));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    // A value scrambled from the system's own code page (GB2312 and its
    // successors) rather than from UTF-8.
    QStringDecoder gb("GB18030");
    if (gb.isValid()) {
        const QString legacy = gb.decode(bytes);
        if (!gb.hasError()) {
            return legacy;
        }
    }
    return QString::fromLatin1(bytes);
}

QString ScrambleSetting(const QString& plain, const QString& filler) {
    const QByteArray bytes = plain.toUtf8();
    QString out;
    for (int i = 0; i < bytes.size(); ++i) {
        const int code = (static_cast<unsigned char>(bytes.at(i)) + i + 1) & 0xFF;
        out.append(QChar(code));
        out.append(filler.isEmpty() ? QChar('x') : filler.at(i % filler.size()));
    }
    return out;
}
