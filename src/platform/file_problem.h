#pragma once

#include <QString>

class QFileDevice;

// Why a file could not be read or written, in the user's words: Qt gives
// the system's English text, which a clerk should not meet.
namespace FileProblem {
QString reading(const QFileDevice& file);
QString writing(const QFileDevice& file);
}  // namespace FileProblem
