#include "platform/font_setup.h"

#include <QFont>
#include <mutex>

void installFontSubstitutions() {
    static std::once_flag once;
    std::call_once(once, [] {
        const QStringList cjk{QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC"),
                              QStringLiteral("WenQuanYi Zen Hei")};
        QFont::insertSubstitutions(QStringLiteral("SimSun"), cjk);
        QFont::insertSubstitutions(QStringLiteral("宋体"), cjk);
    });
}

QStringList reportFontFamilies(const QString& family) {
    // Faces whose every character has a glyph of its own, so that a PDF's
    // text reads back as drawn (Noto CJK shares glyphs between ideographs
    // and radicals). A template's Song face is drawn with AR PL UMing, a
    // Hei face with WenQuanYi Zen Hei; any other family keeps its place
    // and these take the characters it lacks.
    const QString uming = QStringLiteral("AR PL UMing CN");
    const QString zenHei = QStringLiteral("WenQuanYi Zen Hei");
    static const QStringList song{QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("NSimSun"),
                                  QStringLiteral("新宋体")};
    static const QStringList hei{QStringLiteral("SimHei"), QStringLiteral("黑体"), QStringLiteral("Microsoft YaHei"),
                                 QStringLiteral("微软雅黑")};
    auto named = [&family](const QStringList& names) {
        for (const QString& n : names) {
            if (family.compare(n, Qt::CaseInsensitive) == 0) {
                return true;
            }
        }
        return false;
    };
    if (family.isEmpty() || named(song)) {
        return {uming, zenHei, family.isEmpty() ? QStringLiteral("SimSun") : family};
    }
    if (named(hei)) {
        return {zenHei, uming, family};
    }
    return {family, uming, zenHei};
}
