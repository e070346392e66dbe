#pragma once

class QSqlDriver;

// Whether a Qt SQL driver plugin runs on the very library this program
// links: the plugin resolves `symbol` to the same loaded object as `ours`.
// Only then may the driver's native handle be used with that library here
// (a second copy of a library keeps its own state and structures).
class DriverLibrary {
public:
    static bool resolvesLikeUs(const QSqlDriver* driver, const char* symbol, const void* ours);
};
