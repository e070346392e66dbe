#pragma once

#include <QString>

// Byte counts as the old GB2312 code page had them: one byte for an ASCII
// character, two for any other.
int ansiByteLength(const QString& text);
// The text cut to its first `maxBytes` bytes (never splitting a character)
// with "..." appended, when it is longer than that; otherwise unchanged.
QString cutToAnsiBytes(const QString& text, int maxBytes);
