#include "platform/ansi_text.h"

namespace {
int charBytes(QChar c) {
    return c.unicode() < 0x80 ? 1 : 2;
}
}  // namespace

int ansiByteLength(const QString& text) {
    int n = 0;
    for (int i = 0; i < text.size(); ++i) {
        // A surrogate pair is one character.
        if (text.at(i).isHighSurrogate() && i + 1 < text.size()) {
            ++i;
        }
        n += charBytes(text.at(i));
    }
    return n;
}

QString cutToAnsiBytes(const QString& text, int maxBytes) {
    if (ansiByteLength(text) <= maxBytes) {
        return text;
    }
    int bytes = 0;
    int i = 0;
    while (i < text.size()) {
        const int len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const int b = charBytes(text.at(i));
        if (bytes + b > maxBytes) {
            break;
        }
        bytes += b;
        i += len;
    }
    return text.left(i) + QStringLiteral("...");
}
