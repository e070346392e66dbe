#pragma once

// The program's font, 宋体 (SimSun), is replaced by the CJK fonts installed
// here: Noto Serif CJK SC first, then Noto Sans CJK SC and WenQuanYi Zen Hei.
// Safe to call more than once.
void installFontSubstitutions();
