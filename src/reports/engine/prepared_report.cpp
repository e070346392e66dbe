#include "reports/engine/prepared_report.h"

#include "platform/font_setup.h"

QFont ReportFontStyle::toFont() const {
    QFont f;
    // Preview, print and every export draw with the same faces.
    f.setFamilies(reportFontFamilies(family));
    f.setPixelSize(std::max(1, qRound(pixelSize)));
    f.setBold(bold);
    f.setItalic(italic);
    // The same layout on every device: no hinting toward a screen's pixels.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferOutline);
    return f;
}

int PreparedReport::fontIndex(const ReportFontStyle& style) {
    const int i = static_cast<int>(fonts.indexOf(style));
    if (i >= 0) {
        return i;
    }
    fonts.append(style);
    return static_cast<int>(fonts.size()) - 1;
}
