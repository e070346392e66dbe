#pragma once

#include <QtGlobal>

// The initials of the CJK ideographs the Unicode Han database reads, made at
// build time by tools/make_pinyin_initials.py: `codes` in ascending order,
// and for each its letters a-z as bits 0-25 with the letter of its customary
// reading in bits 26-30 (the letter's index + 1).
namespace PinyinInitialsData {
extern const int count;
extern const char32_t codes[];
extern const quint32 initials[];
}  // namespace PinyinInitialsData
