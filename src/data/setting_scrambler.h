#pragma once

#include <QString>

// The scrambling of the server settings in config.ini: the plain value's
// k-th character is stored at position 2k-1 with its code raised by k
// (wrapping within 0-255); the characters at even positions are filler.
QString UnscrambleSetting(const QString& stored);
// The inverse, for writing settings by tool; the filler is taken from
// `filler` in turn.
QString ScrambleSetting(const QString& plain, const QString& filler = QStringLiteral("olvend"));
