#include "platform/pinyin_initials.h"

#include <algorithm>

#include "platform/pinyin_initials_data.h"

namespace {
quint32 entryOf(char32_t c) {
    const char32_t* end = PinyinInitialsData::codes + PinyinInitialsData::count;
    const char32_t* it = std::lower_bound(PinyinInitialsData::codes, end, c);
    return it != end && *it == c ? PinyinInitialsData::initials[it - PinyinInitialsData::codes] : 0;
}

// A letter or digit as typed: plain ASCII in lower case (full-width forms
// folded); 0 for anything else.
char plainCharacter(char32_t c) {
    if (c >= 0xFF10 && c <= 0xFF5A) {  // full-width digits and letters
        c -= 0xFEE0;
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<char>(c - 'A' + 'a');
    }
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
        return static_cast<char>(c);
    }
    return 0;
}
}  // namespace

quint32 PinyinInitials::lettersOf(char32_t c) {
    return entryOf(c) & ((1u << 26) - 1);
}

char PinyinInitials::customaryLetter(char32_t c) {
    const quint32 first = entryOf(c) >> 26;
    return first == 0 ? 0 : static_cast<char>('a' + first - 1);
}

QList<PinyinInitials::Unit> PinyinInitials::units(const QString& text) {
    QList<Unit> out;
    for (char32_t c : text.toUcs4()) {
        if (const char plain = plainCharacter(c)) {
            out.append({QString(QChar(plain))});
            continue;
        }
        const quint32 letters = lettersOf(c);
        if (letters == 0) {
            continue;
        }
        Unit unit;
        const char first = customaryLetter(c);
        unit.choices += QChar(first);
        for (int i = 0; i < 26; ++i) {
            if ((letters >> i & 1u) && 'a' + i != first) {
                unit.choices += QChar('a' + i);
            }
        }
        out.append(unit);
    }
    return out;
}

QString PinyinInitials::of(const QString& text) {
    QString out;
    for (const Unit& u : units(text)) {
        out += u.choices.at(0);
    }
    return out;
}

QStringList PinyinInitials::variants(const QString& text, int most) {
    QStringList out{QString()};
    for (const Unit& u : units(text)) {
        const bool widen = out.size() * u.choices.size() <= qMax(1, most);
        QStringList next;
        for (const QString& v : out) {
            for (int i = 0; i < (widen ? u.choices.size() : 1); ++i) {
                next << v + u.choices.at(i);
            }
        }
        out = next;
    }
    return out;
}

bool PinyinInitials::startsWith(const QString& text, const QString& typed) {
    const QList<Unit> list = units(text);
    int i = 0;
    for (char32_t c : typed.toUcs4()) {
        const char plain = plainCharacter(c);
        if (!plain) {
            continue;  // a space or a mark typed between letters
        }
        if (i >= list.size() || !list[i].choices.contains(QChar(plain))) {
            return false;
        }
        ++i;
    }
    return true;
}
