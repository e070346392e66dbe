#include "platform/font_setup.h"

#include <QFont>
#include <QStringList>
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
