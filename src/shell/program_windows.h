#pragma once

#include "shell/window_opener.h"

// The windows of the program, by window name, as the main window and the
// windows that open others find them.
namespace ProgramWindows {
const WindowOpener& table();
}  // namespace ProgramWindows
