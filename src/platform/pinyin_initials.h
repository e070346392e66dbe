#pragma once

#include <QString>
#include <QStringList>

// The first letters of the pinyin of a text, as a clerk types them to find a
// name: 中空玻璃 is "zkbl". Letters and digits stand for themselves (in lower
// case, full-width ones as their plain forms); an ideograph stands for the
// first letters of its readings; anything else is left out. A character with
// several readings (长: cháng, zhǎng) has each of their letters.
class PinyinInitials {
public:
    // The letters a-z (bits 0-25) one character may be typed as; 0 for a
    // character that is typed as nothing. A letter or digit has none of
    // them: see typedAs().
    static quint32 lettersOf(char32_t c);
    // The letter of the customary reading of an ideograph ('z' for 长); 0
    // for anything else.
    static char customaryLetter(char32_t c);

    // The initials with each ideograph's customary letter.
    static QString of(const QString& text);
    // Every way the text's initials may be typed, the customary one first,
    // at most `most` of them (the later ideographs keep their customary
    // letter once the count would pass it).
    static QStringList variants(const QString& text, int most = 8);
    // Whether `typed` (letters and digits, any case) begins the initials of
    // `text` in some reading of its characters.
    static bool startsWith(const QString& text, const QString& typed);

private:
    // The characters that count, each as the set of what it may be typed as:
    // a letter or digit as itself, an ideograph as its letters.
    struct Unit {
        QString choices;  // customary first
    };
    static QList<Unit> units(const QString& text);
};
