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
    const bool song = family.isEmpty() || family.compare(QLatin1String("SimSun"), Qt::CaseInsensitive) == 0 ||
                      family == QStringLiteral("宋体");
    if (!song) {
        return {family};
    }
    return {QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Zen Hei"),
            family.isEmpty() ? QStringLiteral("SimSun") : family};
}
