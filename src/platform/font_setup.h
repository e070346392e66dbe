#pragma once

#include <QString>
#include <QStringList>

// The program's font, 宋体 (SimSun), is replaced by the CJK fonts installed
// here: Noto Serif CJK SC first, then Noto Sans CJK SC and WenQuanYi Zen Hei.
// Safe to call more than once.
void installFontSubstitutions();

// The faces report pages (preview, print, PDF, pictures) draw a template's
// family with, best first. 宋体 is drawn with AR PL UMing, a Song face in
// which every character has a glyph of its own: Noto CJK draws 274 common
// ideographs (门, 页, 角, ...) with the glyph of the look-alike radical, and
// the text map of a PDF then gives back the radical (⻔, ⻚, ⻆), so copied or
// searched text is wrong. The template's family comes last, so the
// substitutions above still apply where AR PL UMing is not installed. Other
// families are used as they are.
QStringList reportFontFamilies(const QString& family);
