#pragma once

// Hands the memory freed by a large piece of work (a long report closed)
// back to the system: the C library keeps freed blocks for later use,
// so the program would go on holding the peak it reached.
void releaseFreeMemory();
